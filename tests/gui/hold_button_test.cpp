// The hold button's repeat sequence: repeats while held, one end notice, and
// the click that ends a repeating press never counts as an extra step.
#include <QtTest>

#include "gdip_hold_button.h"
#include "mouse.h"

namespace {

struct Message {
    unsigned message;
    int param;
    bool operator==(const Message&) const = default;
};

char* toString(const Message& m) {
    return QTest::toString(QString("%1(%2)")
                               .arg(m.message == HOLD_REPEAT ? "HOLD_REPEAT"
                                    : m.message == HOLD_END  ? "HOLD_END"
                                                             : "?")
                               .arg(m.param));
}

}  // namespace

class HoldButtonTest : public QObject {
    Q_OBJECT

    struct Rig {
        QWidget parent;
        CGdipHoldButton* button = new CGdipHoldButton(&parent);
        QList<Message> messages;
        int steps = 0;
        int clicks = 0;

        explicit Rig(int delay_ms) {
            button->SetImages(0, 2104, 2105, 2106, 2107);
            button->setGeometry(10, 10, 17, 18);
            button->SetTiming(delay_ms, 1);
            QObject::connect(button, &CGdipHoldButton::holdMessage,
                             [this](CGdipHoldButton* b, unsigned m, int p) {
                                 QCOMPARE(b, button);
                                 messages.append({m, p});
                             });
            QObject::connect(button, &CGdipHoldButton::stepped, [this] { ++steps; });
            QObject::connect(button, &QAbstractButton::clicked, [this] { ++clicks; });
            parent.resize(100, 100);
            parent.show();
        }
        int Repeats() const {
            int n = 0;
            for (const Message& m : messages) n += m.message == HOLD_REPEAT;
            return n;
        }
        // Runs the button's own timers until it has repeated `n` times.
        void HoldFor(int n) {
            while (Repeats() < n) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    };

    static void CheckRepeatsThenEnd(const QList<Message>& messages, int min_repeats,
                                    int end_param) {
        QVERIFY(messages.size() >= min_repeats + 1);
        for (int i = 0; i + 1 < messages.size(); ++i)
            QCOMPARE(messages[i], (Message{HOLD_REPEAT, i}));
        QCOMPARE(messages.last(), (Message{HOLD_END, end_param}));
    }

private slots:
    void numbersKept() {
        QCOMPARE(HOLD_REPEAT, 0x9000u);
        QCOMPARE(HOLD_END, 0x9001u);
    }

    // How a repeating press ends, and what each way must notify.
    void repeatSequenceEnds_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("end_param");
        QTest::addColumn<int>("clicks");
        QTest::newRow("released on the button") << "release" << 1 << 1;
        QTest::newRow("pointer moved off") << "move off" << 0 << 0;
        QTest::newRow("disabled") << "disable" << 0 << 0;
        QTest::newRow("hidden") << "hide" << 0 << 0;
    }
    void repeatSequenceEnds() {
        QFETCH(QString, how);
        QFETCH(int, end_param);
        QFETCH(int, clicks);
        Rig rig(1);
        Press(rig.button, {5, 5});
        rig.HoldFor(3);
        if (how == "release") {
            Release(rig.button, {5, 5});
        } else if (how == "move off") {
            MoveHeld(rig.button, {40, 5});
            Release(rig.button, {40, 5});
        } else if (how == "disable") {
            rig.button->setEnabled(false);
        } else {
            rig.button->hide();
        }
        CheckRepeatsThenEnd(rig.messages, 3, end_param);
        // One step per repeat; the click that ends the press adds none.
        QCOMPARE(rig.steps, rig.Repeats());
        QCOMPARE(rig.clicks, clicks);

        // Nothing follows the end.
        const int before = rig.messages.size();
        QCoreApplication::processEvents();
        QCOMPARE(rig.messages.size(), before);

        // However the sequence ended, the next plain click counts as a step
        // (no swallow is left over), and a new hold counts again from 0.
        rig.button->setEnabled(true);
        rig.button->show();
        rig.messages.clear();
        const int steps_before = rig.steps;
        rig.button->SetTiming(60 * 60 * 1000, 1);
        Press(rig.button, {5, 5});
        Release(rig.button, {5, 5});
        QCOMPARE(rig.steps, steps_before + 1);
        QVERIFY(rig.messages.isEmpty());
        rig.button->SetTiming(1, 1);
        Press(rig.button, {5, 5});
        rig.HoldFor(1);
        Release(rig.button, {5, 5});
        CheckRepeatsThenEnd(rig.messages, 1, 1);
    }

    // A click shorter than the delay: no hold messages, one ordinary step.
    void shortClickIsOneStep() {
        Rig rig(60 * 60 * 1000);
        for (int i = 0; i < 3; ++i) {
            Press(rig.button, {5, 5});
            Release(rig.button, {5, 5});
        }
        QVERIFY(rig.messages.isEmpty());
        QCOMPARE(rig.steps, 3);
        QCOMPARE(rig.clicks, 3);
    }

    // Leaving and coming back during a repeating press: the sequence ends
    // once, and the release on the button still adds no step of its own.
    void returningPointerAddsNoStep() {
        Rig rig(1);
        Press(rig.button, {5, 5});
        rig.HoldFor(2);
        MoveHeld(rig.button, {40, 5});
        MoveHeld(rig.button, {5, 5});
        Release(rig.button, {5, 5});
        CheckRepeatsThenEnd(rig.messages, 2, 0);
        QCOMPARE(rig.steps, rig.Repeats());
        // The next plain click counts again.
        rig.button->SetTiming(60 * 60 * 1000, 1);
        Press(rig.button, {5, 5});
        Release(rig.button, {5, 5});
        QCOMPARE(rig.steps, rig.Repeats() + 1);
    }

    void refusesRadioAndCheckBoxKinds() {
        CGdipHoldButton button;
        QVERIFY(button.SetImages(0, 2104, 2105, 2106, 2107));
        QVERIFY(button.SetImages(1, 2104, 2105, 2106, 2107));
        QVERIFY(!button.SetImages(2, 179, 179, 179, 179, 178));
        QVERIFY(!button.SetImages(3, 175, 176, 176, 177, 0, 174));
    }
};

int RunHoldButtonTests(int argc, char** argv) {
    HoldButtonTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "hold_button_test.moc"
