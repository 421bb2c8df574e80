#include "dialog_combo_list.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "static_combo.h"
#include "static_list.h"

CDialogComboList::CDialogComboList(CStaticCombo& combo)
    : QWidget(&combo, Qt::Popup | Qt::FramelessWindowHint),
      combo_(combo),
      first_offered_(combo.FirstOffered()) {
    setAttribute(Qt::WA_DeleteOnClose);
    const bool narrow = combo.GetStyle() == CStaticCombo::Style::kNarrow;
    list_ = new CStaticList(narrow, combo.ImageMode(), combo.TextOffset(), this);
    list_->setFont(combo.font());
    for (int i = first_offered_; i < combo.Count(); ++i)
        list_->AddRow(combo.Text(i), combo.ItemImage(i, false));
    const int rows = list_->RowCount();
    const int w = narrow ? 60 : std::max(60, combo.width() - 2);
    const int h = rows * CStaticList::kRowHeight;
    const QPoint top_left = combo.mapToGlobal(QPoint(0, 0));
    const int y = narrow ? top_left.y() - h : top_left.y() + CStaticCombo::kHeight;
    setGeometry(top_left.x() + 1, y, w, h);
    list_->setGeometry(0, 0, w, h);
    list_->SetHotRow(combo.Selected() - first_offered_);
    setFocusProxy(list_);
    connect(list_, &CStaticList::rowPicked, this, &CDialogComboList::Pick);
}

CDialogComboList::~CDialogComboList() = default;

void CDialogComboList::Pick(int row) {
    if (row < 0 || row >= list_->RowCount()) return;
    Finish(row + first_offered_);
}

void CDialogComboList::Finish(int index) {
    if (finished_) return;
    finished_ = true;
    emit closed(index);
    close();
}

void CDialogComboList::hideEvent(QHideEvent* event) {
    // Hidden without a pick (a click elsewhere, Escape, the owner closing it):
    // a cancel, which sends nothing.
    Finish(-1);
    QWidget::hideEvent(event);
}

void CDialogComboList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Finish(-1);
        return;
    }
    QWidget::keyPressEvent(event);
}

void CDialogComboList::mousePressEvent(QMouseEvent* event) {
    // A press outside the list closes it as cancelled. On the selector's own
    // field it must not reach the selector afterwards, or it would open the
    // list again at once.
    const QPoint global = event->globalPosition().toPoint();
    if (!rect().contains(event->position().toPoint())) {
        if (QRect(combo_.mapToGlobal(QPoint(0, 0)), combo_.size()).contains(global))
            setAttribute(Qt::WA_NoMouseReplay);
        Finish(-1);
        return;
    }
    QWidget::mousePressEvent(event);
}
