// The value selector and its drop list: what is offered, where the list
// opens, what a pick, a cancel and the owner's own calls report.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QWidget>

#include "pick.h"

namespace {

class Selector : public ::testing::Test {
protected:
    void SetUp() override {
        parent.resize(400, 300);
        combo = new CStaticCombo(&parent);
        combo->Place(40, 100, 218);
        combo->AddItem("---", 0, 0);
        combo->AddItem("A", 1, 7);
        combo->AddItem("B", 2, 9);
        combo->SetFirstOffered(1);
        combo->Select(0);
        parent.show();
    }
    QWidget parent;
    CStaticCombo* combo = nullptr;
};

TEST_F(Selector, ListOffersItemsAfterThePlaceholderDirectlyBelowTheField) {
    QSignalSpy picked(combo, &CStaticCombo::picked);
    Press(combo, {10, 10});
    Release(combo, {10, 10});
    CDialogComboList* list = combo->DropList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->List()->RowCount(), 2);
    EXPECT_EQ(list->height(), 36);
    const QPoint field = combo->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(list->geometry().topLeft(), field + QPoint(1, 22));
    EXPECT_EQ(picked.count(), 0);
    list->close();
    EXPECT_EQ(picked.count(), 0);  // a cancel sends nothing

    ASSERT_TRUE(PickText(combo, "B"));
    ASSERT_EQ(picked.count(), 1);
    EXPECT_EQ(picked[0][0].toInt(), 2);
    EXPECT_EQ(combo->Selected(), 2);
    EXPECT_EQ(combo->SelectedCode(), 9);
    EXPECT_FALSE(combo->IsDropped());
}

TEST_F(Selector, KeysInTheListMoveAndPickEscapeCancels) {
    QSignalSpy picked(combo, &CStaticCombo::picked);
    combo->Select(1);
    combo->OpenList();
    CStaticList* rows = combo->DropList()->List();
    EXPECT_EQ(rows->HotRow(), 0);  // "A", the selected item
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QCoreApplication::sendEvent(rows, &down);
    QCoreApplication::sendEvent(rows, &down);  // stays on the last row
    EXPECT_EQ(rows->HotRow(), 1);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(rows, &enter);
    ASSERT_EQ(picked.count(), 1);
    EXPECT_EQ(picked[0][0].toInt(), 2);

    combo->OpenList();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(combo->DropList(), &escape);
    EXPECT_EQ(picked.count(), 1);
    EXPECT_FALSE(combo->IsDropped());
    EXPECT_EQ(combo->Selected(), 2);
}

TEST_F(Selector, OwnerCallsNeverReportAndNeverSelectPastTheEnd) {
    QSignalSpy picked(combo, &CStaticCombo::picked);
    combo->Select(2);
    combo->Select(3);
    EXPECT_EQ(combo->Selected(), -1);
    combo->Select(-7);
    EXPECT_EQ(combo->Selected(), -1);
    combo->Clear();
    EXPECT_EQ(combo->Count(), 0);
    EXPECT_EQ(combo->Selected(), -1);
    EXPECT_EQ(combo->FirstOffered(), 0);
    for (int i = 0; i < 30; ++i) combo->AddItem(QString::number(i), 0, uint8_t(i));
    EXPECT_EQ(combo->Count(), CStaticCombo::kMaxItems);
    EXPECT_EQ(combo->Text(25), "25");
    EXPECT_EQ(picked.count(), 0);
}

TEST_F(Selector, NothingOfferedOrDisabledOpensNoList) {
    combo->SetFirstOffered(3);
    combo->OpenList();
    EXPECT_FALSE(combo->IsDropped());
    combo->SetFirstOffered(1);
    combo->Enable(false);
    Press(combo, {10, 10});
    EXPECT_FALSE(combo->IsDropped());
}

TEST_F(Selector, NarrowStyleOpensUpwardsSixtyWide) {
    combo->SetNarrowStyle();
    combo->Place(40, 100, 62);
    combo->OpenList();
    CDialogComboList* list = combo->DropList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->width(), 60);
    EXPECT_EQ(list->geometry().bottom() + 1, combo->mapToGlobal(QPoint(0, 0)).y());
    list->close();
}

TEST_F(Selector, OpenListClosesWhenTheOwnerClearsIt) {
    QSignalSpy picked(combo, &CStaticCombo::picked);
    combo->OpenList();
    ASSERT_TRUE(combo->IsDropped());
    combo->Clear();
    QCoreApplication::processEvents();
    EXPECT_FALSE(combo->IsDropped());
    EXPECT_EQ(picked.count(), 0);
}

}  // namespace
