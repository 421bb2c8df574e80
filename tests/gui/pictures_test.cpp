// The generated pictures: every numbered picture is embedded at the size the
// windows lay it out at, and the pictures that must differ do.
#include <QtTest>

#include "resource_images.h"

namespace {

struct Expected {
    int number, width, height;
};

// Written out here, independently of the generator's own tables.
// clang-format off
constexpr Expected kPictures[] = {
    // Value selector: bodies, drop buttons, list rows (regular and narrow).
    {130, 60, 18}, {131, 60, 18}, {132, 36, 22}, {133, 36, 22}, {134, 36, 22},
    {188, 26, 22}, {189, 26, 22}, {190, 26, 22}, {191, 26, 22},
    {192, 218, 18}, {193, 218, 18}, {194, 192, 22}, {195, 192, 22}, {196, 192, 22},
    // Main window background: the panel frame, readouts and buttons fit in it.
    {149, 528, 546},
    {151, 440, 130},
    // Main window buttons.
    {155, 40, 40}, {156, 40, 40}, {157, 40, 40}, {158, 40, 40},
    {159, 50, 50}, {160, 50, 50}, {161, 50, 50}, {162, 50, 50},
    {163, 50, 50}, {164, 50, 50}, {165, 50, 50}, {166, 50, 50},
    {167, 50, 50}, {168, 50, 50}, {169, 50, 50}, {170, 50, 50},
    {171, 17, 17}, {172, 17, 17}, {173, 17, 17},
    // Check boxes, radio buttons, text buttons.
    {174, 13, 13}, {175, 13, 13}, {176, 13, 13}, {177, 13, 13}, {178, 13, 13}, {179, 13, 13},
    {217, 109, 22}, {218, 109, 22}, {219, 109, 22}, {220, 109, 22},
    // Live view button.
    {268, 40, 40}, {269, 40, 40}, {270, 40, 40}, {271, 40, 40}, {272, 40, 40},
    // Readout glyph strips.
    {350, 540, 25}, {351, 6, 25}, {352, 92, 35}, {353, 342, 21}, {354, 70, 16},
    {355, 108, 27}, {356, 100, 16}, {357, 51, 20}, {358, 21, 20}, {359, 468, 20},
    {360, 121, 15}, {361, 96, 12}, {362, 135, 21}, {363, 196, 7}, {364, 6, 20},
    {365, 212, 3}, {366, 10, 12}, {367, 36, 19}, {368, 22, 12}, {369, 34, 12},
    {370, 57, 12}, {371, 68, 12}, {372, 38, 25}, {373, 30, 12}, {374, 38, 12},
    {375, 68, 10}, {376, 154, 20}, {377, 46, 12}, {378, 98, 12}, {379, 12, 12},
    // Slider thumbs and the step buttons beside the sliders.
    {2100, 9, 14}, {2101, 9, 14}, {2102, 9, 14}, {2103, 9, 14},
    {2104, 17, 18}, {2105, 17, 18}, {2106, 17, 18}, {2107, 17, 18},
    {2108, 17, 18}, {2109, 17, 18}, {2110, 17, 18}, {2111, 17, 18},
    {2112, 17, 18}, {2113, 17, 18}, {2114, 17, 18}, {2115, 17, 18},
    {2116, 17, 18}, {2117, 17, 18}, {2118, 17, 18}, {2119, 17, 18},
    // Slider channels are drawn 160 wide; panel headers.
    {2120, 160, 6}, {2121, 160, 6}, {2122, 393, 21}, {2123, 393, 21},
    // Program icon.
    {128, 256, 256},
};
// clang-format on

QImage Glyph(const QImage& strip, int glyph_width, int g) {
    return strip.copy(g * glyph_width, 0, glyph_width, strip.height());
}

}  // namespace

class PicturesTest : public QObject {
    Q_OBJECT
private slots:
    void everyPictureAtItsSize_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<QSize>("size");
        for (const Expected& e : kPictures)
            QTest::addRow("%d", e.number) << e.number << QSize(e.width, e.height);
    }
    void everyPictureAtItsSize() {
        QFETCH(int, number);
        QFETCH(QSize, size);
        const QImage image = kvx::res::LoadPicture(number);
        QVERIFY2(!image.isNull(), qPrintable(kvx::res::ResourcePath(number)));
        QCOMPARE(image.size(), size);
    }

    void smallIconSizes() {
        for (int size : {16, 32, 48})
            QCOMPARE(QImage(QString(":/res/128_%1.png").arg(size)).size(), QSize(size, size));
    }

    void programIconHasEverySize() {
        const QList<QSize> sizes = kvx::res::ProgramIcon().availableSizes();
        for (int size : {16, 32, 48, 256}) QVERIFY(sizes.contains(QSize(size, size)));
    }

    void unknownNumberGivesNoPicture() { QVERIFY(kvx::res::LoadPicture(99999).isNull()); }

    // Every state of a button must be told apart from the others.
    void buttonStatesDiffer_data() {
        QTest::addColumn<QList<int>>("numbers");
        QTest::newRow("AB Setting") << QList<int>{155, 156, 157, 158};
        QTest::newRow("AF Capture") << QList<int>{159, 160, 161, 162};
        QTest::newRow("Capture") << QList<int>{163, 164, 165, 166};
        QTest::newRow("AF") << QList<int>{167, 168, 169, 170};
        QTest::newRow("lock") << QList<int>{171, 172, 173};
        QTest::newRow("check box") << QList<int>{175, 176, 177};
        QTest::newRow("radio") << QList<int>{178, 179};
        QTest::newRow("text button") << QList<int>{217, 218, 219, 220};
        QTest::newRow("live view") << QList<int>{268, 269, 270, 271, 272};
        QTest::newRow("thumb") << QList<int>{2100, 2101, 2102, 2103};
        QTest::newRow("left") << QList<int>{2104, 2105, 2106, 2107};
        QTest::newRow("plus") << QList<int>{2116, 2117, 2118, 2119};
        QTest::newRow("header") << QList<int>{2122, 2123};
        QTest::newRow("selector body") << QList<int>{194, 195, 196};
        QTest::newRow("narrow body") << QList<int>{132, 133, 134};
        QTest::newRow("drop button") << QList<int>{188, 189, 190, 191};
        QTest::newRow("list row") << QList<int>{192, 193};
        QTest::newRow("narrow row") << QList<int>{130, 131};
    }
    void buttonStatesDiffer() {
        QFETCH(QList<int>, numbers);
        for (int i = 0; i < numbers.size(); ++i)
            for (int j = i + 1; j < numbers.size(); ++j)
                QVERIFY2(kvx::res::LoadPicture(numbers[i]) != kvx::res::LoadPicture(numbers[j]),
                         qPrintable(QString("%1 == %2").arg(numbers[i]).arg(numbers[j])));
    }

    // The character strips: 36 different glyphs, so no two characters of
    // the map can be mistaken for each other on the readout.
    void characterGlyphsDistinct_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("glyphs");
        QTest::addColumn<int>("glyph_width");
        QTest::newRow("large 350") << 350 << 36 << 15;
        QTest::newRow("small 359") << 359 << 36 << 13;
        QTest::newRow("interval 360") << 360 << 10 << 11;
        QTest::newRow("interval count 361") << 361 << 10 << 8;
    }
    void characterGlyphsDistinct() {
        QFETCH(int, number);
        QFETCH(int, glyphs);
        QFETCH(int, glyph_width);
        const QImage strip = kvx::res::LoadPicture(number);
        for (int a = 0; a < glyphs; ++a)
            for (int b = a + 1; b < glyphs; ++b)
                QVERIFY2(Glyph(strip, glyph_width, a) != Glyph(strip, glyph_width, b),
                         qPrintable(QString("glyphs %1 and %2 look the same").arg(a).arg(b)));
    }

    // Lit and off glyphs of the two-state marks differ.
    void indicatorsLightUp_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("glyph_width");
        QTest::addColumn<int>("off");
        QTest::addColumn<int>("lit");
        QTest::newRow("large point") << 351 << 3 << 1 << 0;
        QTest::newRow("small point") << 364 << 3 << 1 << 0;
        QTest::newRow("top bar") << 365 << 106 << 1 << 0;
        QTest::newRow("colon") << 366 << 5 << 0 << 1;
        for (int n = 368; n <= 379; ++n)
            if (n != 370 && n != 376)
                QTest::addRow("mark %d", n) << n << kvx::res::LoadPicture(n).width() / 2 << 0 << 1;
    }
    void indicatorsLightUp() {
        QFETCH(int, number);
        QFETCH(int, glyph_width);
        QFETCH(int, off);
        QFETCH(int, lit);
        const QImage strip = kvx::res::LoadPicture(number);
        QVERIFY(Glyph(strip, glyph_width, off) != Glyph(strip, glyph_width, lit));
    }
};

QTEST_GUILESS_MAIN(PicturesTest)
#include "pictures_test.moc"
