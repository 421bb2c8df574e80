// The slider tells its owner only of the user's changes: values the program
// sets never come back, and a drag reports once, on release.
#include <QtTest>

#include "gdip_slider.h"
#include "mouse.h"

class SliderTest : public QObject {
    Q_OBJECT

    struct Rig {
        QWidget parent;
        CGdipSlider* slider = new CGdipSlider(&parent);
        QList<int> user;
        Rig() {
            QVERIFY(slider->LoadImages(2120));
            slider->setRange(0, 30);
            slider->setGeometry(0, 0, 176, 18);
            QObject::connect(slider, &CGdipSlider::userChanged, [this](int v) { user << v; });
            parent.resize(200, 40);
            parent.show();
        }
        int XOf(int value) const {
            slider->setSliderPosition(value);  // only to read where it would sit
            return slider->ThumbRect().center().x();
        }
    };

private slots:
    void programValueDoesNotEcho() {
        Rig rig;
        QSignalSpy changed(rig.slider, &QAbstractSlider::valueChanged);
        for (int v : {5, 17, 30, 0}) rig.slider->setValue(v);
        rig.slider->setRange(0, 10);  // clamps nothing: value is 0
        rig.slider->setValue(40);     // clamped to 10 by the program's own call
        QCOMPARE(changed.count(), 5);
        QVERIFY(rig.user.isEmpty());
        // A user step right after still comes through, exactly once.
        rig.slider->setFocus();
        QTest::keyClick(rig.slider, Qt::Key_Left);
        QCOMPARE(rig.user, QList<int>{9});
        // A step that cannot move (at the end) reports nothing, and the next
        // program value is still not taken for the user's.
        QTest::keyClick(rig.slider, Qt::Key_End);
        QTest::keyClick(rig.slider, Qt::Key_End);
        rig.slider->setValue(3);
        QCOMPARE(rig.user, (QList<int>{9, 10}));
    }

    void dragSendsOnlyOnRelease() {
        Rig rig;
        rig.slider->setValue(10);
        QSignalSpy changed(rig.slider, &QAbstractSlider::valueChanged);
        const int from = rig.XOf(10);
        const int to = rig.XOf(20);
        rig.slider->setSliderPosition(10);
        Press(rig.slider, {from, 9});
        QVERIFY(rig.slider->isSliderDown());
        for (int x = from; x <= to; x += 3) MoveHeld(rig.slider, {x, 9});
        MoveHeld(rig.slider, {to, 9});
        QVERIFY(rig.user.isEmpty());
        QCOMPARE(changed.count(), 0);
        QCOMPARE(rig.slider->value(), 10);
        QCOMPARE(rig.slider->sliderPosition(), 20);
        Release(rig.slider, {to, 9});
        QCOMPARE(rig.user, QList<int>{20});
        QCOMPARE(rig.slider->value(), 20);
        QCOMPARE(changed.count(), 1);
    }

    // A camera update arriving while the user drags: it does not count as the
    // user's, and a release back where the value now is sends nothing.
    void programValueDuringDrag() {
        Rig rig;
        rig.slider->setValue(10);
        const int x10 = rig.XOf(10);
        const int x25 = rig.XOf(25);
        rig.slider->setSliderPosition(10);
        Press(rig.slider, {x10, 9});
        MoveHeld(rig.slider, {x25, 9});
        rig.slider->setValue(25);
        Release(rig.slider, {x25, 9});
        QVERIFY(rig.user.isEmpty());
    }

    void clickOnChannelStepsTowardsPointer() {
        Rig rig;
        rig.slider->setValue(10);
        Press(rig.slider, {170, 9});
        Release(rig.slider, {170, 9});
        Press(rig.slider, {2, 9});
        Release(rig.slider, {2, 9});
        Press(rig.slider, {2, 9});
        Release(rig.slider, {2, 9});
        QCOMPARE(rig.user, (QList<int>{11, 10, 9}));
    }

    void thumbUnderPointerLooksHot() {
        Rig rig;
        rig.slider->setValue(15);
        QCOMPARE(rig.slider->CurrentThumb(), CGdipSlider::Thumb::kNormal);
        MoveFree(rig.slider, rig.slider->ThumbRect().center());
        QCOMPARE(rig.slider->CurrentThumb(), CGdipSlider::Thumb::kHot);
        MoveFree(rig.slider, {2, 9});
        QCOMPARE(rig.slider->CurrentThumb(), CGdipSlider::Thumb::kNormal);
        rig.slider->setEnabled(false);
        QCOMPARE(rig.slider->CurrentThumb(), CGdipSlider::Thumb::kDisabled);
    }

    void missingChannelFallsBackToPlainLook() {
        CGdipSlider slider;
        QVERIFY(!slider.LoadImages(99999));
        slider.resize(176, 18);
        QVERIFY(!slider.grab().isNull());  // paints without pictures
    }
};

int RunSliderTests(int argc, char** argv) {
    SliderTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "slider_test.moc"
