// The readout panel: texts through the character map into cells, the six
// layouts, and that cells really paint their glyphs.
#include "digital_panel.h"

#include <QPainter>
#include <QtTest>

namespace {

// The character map as the readouts need it, written out independently:
// every character that has a glyph, in glyph order.
constexpr char16_t kMapped[] = u"0123456789AbCcdEFGHh-JLNnoPr\"'tU_uy";

int ExpectedGlyph(char16_t c) {
    if (c == u'`' || c == u'~') return 29;
    for (int g = 0; kMapped[g]; ++g)
        if (kMapped[g] == c) return g;
    return 35;
}

QList<int> Glyphs(const CDigitalPanel& panel, int first, int count) {
    QList<int> out;
    for (int i = 0; i < count; ++i) out << panel.Cell(first + i).glyph;
    return out;
}

}  // namespace

class DigitalPanelTest : public QObject {
    Q_OBJECT
private slots:
    // Readout 1, count cells 1..4 (small characters).
    void writeText_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("glyphs");
        QTest::newRow("card full") << ""
                                   << "FULL" << QList<int>{16, 31, 22, 22};
        QTest::newRow("card error") << ""
                                    << " Err" << QList<int>{35, 15, 27, 27};
        QTest::newRow("no card") << ""
                                 << "----" << QList<int>{20, 20, 20, 20};
        QTest::newRow("count cap") << ""
                                   << "9999" << QList<int>{9, 9, 9, 9};
        QTest::newRow("bracketing") << "" << QString("Ab-%1").arg(3) << QList<int>{10, 11, 20, 3};
        QTest::newRow("short text blanks the rest") << "8888"
                                                    << "12" << QList<int>{1, 2, 35, 35};
        QTest::newRow("empty text blanks all") << "8888"
                                               << "" << QList<int>{35, 35, 35, 35};
        QTest::newRow("lower-case e has no glyph") << "8888"
                                                   << "e" << QList<int>{35, 35, 35, 35};
        QTest::newRow("beyond 0x7F leaves the cell")
            << "8888" << QString::fromUtf8("1\u00e9\u20ac4") << QList<int>{1, 8, 8, 4};
        QTest::newRow("control character leaves the cell")
            << "8888" << QString("\t7") << QList<int>{8, 7, 35, 35};
        QTest::newRow("longer text is cut") << ""
                                            << "123456" << QList<int>{1, 2, 3, 4};
    }
    void writeText() {
        QFETCH(QString, before);
        QFETCH(QString, text);
        QFETCH(QList<int>, glyphs);
        CDigitalPanel panel;
        QVERIFY(panel.LayOut(1));
        panel.WriteText(1, 4, before);
        panel.WriteText(1, 4, text);
        QCOMPARE(Glyphs(panel, 1, 4), glyphs);
        // The run's neighbours (the count brackets) are left alone.
        QCOMPARE(panel.Cell(0).glyph, 0);
        QCOMPARE(panel.Cell(5).glyph, 0);
    }

    void characterMapCoversEveryPrintable() {
        CDigitalPanel panel;
        panel.LayOut(1);
        for (char16_t c = 0x20; c <= 0x7F; ++c) {
            panel.WriteText(6, 1, QStringView(&c, 1));
            QCOMPARE(panel.Cell(6).glyph, ExpectedGlyph(c));
        }
    }

    void layouts_data() {
        QTest::addColumn<int>("readout");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("cells");
        QTest::newRow("1") << 1 << QSize(114, 86) << 17;
        QTest::newRow("2") << 2 << QSize(114, 32) << 6;
        QTest::newRow("3") << 3 << QSize(114, 36) << 7;
        QTest::newRow("4") << 4 << QSize(114, 28) << 4;
        QTest::newRow("5") << 5 << QSize(114, 45) << 11;
        QTest::newRow("6") << 6 << QSize(114, 70) << 21;
    }
    void layouts() {
        QFETCH(int, readout);
        QFETCH(QSize, size);
        QFETCH(int, cells);
        CDigitalPanel panel;
        QVERIFY(panel.LayOut(readout));
        QCOMPARE(panel.size(), size);
        QCOMPARE(CDigitalPanel::ReadoutSize(readout), size);
        for (int c = 0; c < CDigitalPanel::kCellCount; ++c) {
            const CDigitalChar& cell = panel.Cell(c);
            QCOMPARE(cell.visible, c < cells);
            if (!cell.visible) continue;
            // Every cell lies inside its readout.
            QVERIFY2(QRect(0, 0, size.width(), size.height())
                         .contains(QRect(cell.x, cell.y, cell.width, cell.height)),
                     qPrintable(QString("readout %1 cell %2").arg(readout).arg(c)));
        }
    }

    void cellGeometryAndReset() {
        CDigitalPanel panel;
        panel.LayOut(6);
        const CDigitalChar& no_count = panel.Cell(20);  // over the count cells
        QCOMPARE(QRect(no_count.x, no_count.y, no_count.width, no_count.height),
                 QRect(72, 56, 23, 12));
        QCOMPARE(panel.Cell(9).glyph, 10);  // interval digits start blank
        panel.WriteText(9, 4, u"0125");
        panel.SetGlyph(13, 1);
        panel.Reset();
        QCOMPARE(Glyphs(panel, 9, 5), (QList<int>{10, 10, 10, 10, 0}));

        panel.LayOut(1);
        QCOMPARE(panel.Cell(11).strip, 3);
        QCOMPARE(panel.Cell(11).glyph, 1);  // aperture point starts off
        QCOMPARE(
            QRect(panel.Cell(12).x, panel.Cell(12).y, panel.Cell(12).width, panel.Cell(12).height),
            QRect(95, 33, 15, 25));
        QVERIFY(!panel.LayOut(0));
        QVERIFY(!panel.LayOut(7));
    }

    // What a cell shows on screen is the glyph it holds, cut from its strip:
    // "8" and blank paint differently, equal glyphs paint alike.
    void paintsGlyphsFromStrips() {
        QWidget back;
        back.resize(114, 86);
        back.setAutoFillBackground(true);
        back.setPalette(QPalette(Qt::black));
        auto* panel = new CDigitalPanel(&back);
        QVERIFY(panel->LoadStrips());
        panel->LayOut(1);
        auto cell_pixels = [&](int cell) {
            const CDigitalChar& c = panel->Cell(cell);
            return back.grab().toImage().copy(c.x, c.y, c.width, c.height);
        };
        panel->WriteText(6, 4, u"8 88");
        QVERIFY(cell_pixels(6) != cell_pixels(7));
        QCOMPARE(cell_pixels(6), cell_pixels(8));
        // A hidden cell shows what lies beneath.
        panel->SetCellVisible(6, false);
        QCOMPARE(cell_pixels(6).pixel(7, 12), QColor(Qt::black).rgb());
    }

    // Without its strips a panel draws nothing at all (and does not fail).
    void withoutStripsDrawsNothing() {
        QWidget back;
        back.resize(114, 86);
        back.setAutoFillBackground(true);
        back.setPalette(QPalette(Qt::black));
        auto* panel = new CDigitalPanel(&back);
        panel->LayOut(1);
        panel->WriteText(6, 4, u"8888");
        const QImage shot = back.grab().toImage();
        QImage black(shot.size(), shot.format());
        black.fill(Qt::black);
        QCOMPARE(shot, black);
    }
};

int RunDigitalPanelTests(int argc, char** argv) {
    DigitalPanelTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "digital_panel_test.moc"
