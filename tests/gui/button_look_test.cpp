// Which picture a button shows for each combination of look and state.
#include <QtTest>

#include "gdip_button.h"
#include "gdip_toggle_button_ex.h"

using Pic = CGdipButton::Picture;
using TPic = CGdipToggleButtonEx::Picture;
Q_DECLARE_METATYPE(Pic)
Q_DECLARE_METATYPE(TPic)

class ButtonLookTest : public QObject {
    Q_OBJECT
private slots:
    void buttonPicture_data() {
        QTest::addColumn<bool>("disabled");
        QTest::addColumn<bool>("pushed");
        QTest::addColumn<bool>("hover");
        QTest::addColumn<int>("state");
        QTest::addColumn<Pic>("picture");
        QTest::newRow("normal") << false << false << false << 0 << Pic::kNormal;
        QTest::newRow("hover") << false << false << true << 0 << Pic::kHover;
        QTest::newRow("pushed") << false << true << true << 0 << Pic::kPushed;
        QTest::newRow("disabled beats pushed") << true << true << true << 0 << Pic::kDisabled;
        QTest::newRow("checked, disabled: no mark")
            << true << false << false << 2 << Pic::kDisabled;
        QTest::newRow("checked") << false << false << false << 2 << Pic::kNormalChecked;
        QTest::newRow("checked, hover") << false << false << true << 2 << Pic::kHoverChecked;
        QTest::newRow("checked, pushed") << false << true << true << 2 << Pic::kPushedChecked;
        QTest::newRow("selected radio") << false << false << false << 1 << Pic::kAlternate;
        QTest::newRow("selected radio, hover") << false << false << true << 1 << Pic::kAlternate;
        QTest::newRow("selected radio, pushed") << false << true << false << 1 << Pic::kAlternate;
    }
    void buttonPicture() {
        QFETCH(bool, disabled);
        QFETCH(bool, pushed);
        QFETCH(bool, hover);
        QFETCH(int, state);
        QFETCH(Pic, picture);
        QCOMPARE(CGdipButton::ChoosePicture(disabled, pushed, hover, state), picture);
    }

    // The widget itself follows its owner's settings and the press.
    void buttonFollowsOwner() {
        CGdipButton b;
        QCOMPARE(b.CurrentPicture(), Pic::kNone);  // nothing loaded, nothing drawn
        QVERIFY(!b.SetImages(3, 175, 176, 176, 99999, 0, 174));
        QCOMPARE(b.CurrentPicture(), Pic::kNone);
        QVERIFY(b.SetImages(3, 175, 176, 176, 177, 0, 174));
        b.resize(120, 13);
        b.SetState(2);
        QCOMPARE(b.CurrentPicture(), Pic::kNormalChecked);
        b.setDown(true);
        QCOMPARE(b.CurrentPicture(), Pic::kPushedChecked);
        b.setDown(false);
        b.SetDisabledLook(true);
        QCOMPARE(b.CurrentPicture(), Pic::kDisabled);
        // The check mark really shows: checked and unchecked paint differently.
        b.SetDisabledLook(false);
        const QImage checked = b.grab().toImage();
        b.SetState(0);
        QVERIFY(b.grab().toImage() != checked);
    }

    void togglePicture_data() {
        QTest::addColumn<bool>("disabled");
        QTest::addColumn<bool>("pushed_or_hover");
        QTest::addColumn<int>("state");
        QTest::addColumn<TPic>("picture");
        QTest::newRow("off") << false << false << 0 << TPic::kOff;
        QTest::newRow("on") << false << false << 1 << TPic::kOn;
        QTest::newRow("off, hover") << false << true << 0 << TPic::kOffHover;
        QTest::newRow("on, hover") << false << true << 1 << TPic::kOnHover;
        QTest::newRow("disabled, on") << true << true << 1 << TPic::kDisabled;
    }
    void togglePicture() {
        QFETCH(bool, disabled);
        QFETCH(bool, pushed_or_hover);
        QFETCH(int, state);
        QFETCH(TPic, picture);
        QCOMPARE(CGdipToggleButtonEx::ChoosePicture(disabled, pushed_or_hover, state), picture);
    }
};

int RunButtonLookTests(int argc, char** argv) {
    ButtonLookTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "button_look_test.moc"
