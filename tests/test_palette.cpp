// The palette, the bytes of jx.iro and the colour panel's slider arithmetic.
#include "palette/palette.h"

#include <QTest>

Q_DECLARE_METATYPE(ColourRecord)

namespace {

QByteArray hexBytes(const char* hex) {
    return QByteArray::fromHex(hex);
}

}  // namespace

class TestPalette : public QObject {
    Q_OBJECT

  private slots:
    void defaultPaletteFile() {
        const QByteArray expected = hexBytes(
            "000000000000"
            "00000000FF00"
            "0000FF000000"
            "FF0000000000"
            "FF000000FF00"
            "FF00FF000000"
            "C000C000C000");
        QCOMPARE(encodePalette(defaultPalette()), expected);
        QCOMPARE(decodePalette(expected), defaultPalette());
    }

    void defaultColourValues() {
        const std::array<qint32, kColourCount> expected = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF,
                                                           0xFF00FF, 0x00FFFF, 0xC0C0C0};
        QVERIFY(colourValuesOf(defaultPalette()) == expected);
    }

    // A file's records in order, red, green and blue each; a short file reads 0 where it lacks
    // bytes, and bytes past the seven records are not read.
    void recordsAsRead_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<ColourRecord>("first");
        QTest::addColumn<ColourRecord>("second");
        QTest::addColumn<ColourRecord>("last");
        const ColourRecord none;
        const QByteArray defaults = encodePalette(defaultPalette());

        QTest::newRow("the first record")
            << hexBytes("0A00 1400 1E00") + defaults.mid(6) << ColourRecord{10, 20, 30}
            << ColourRecord{0, 0, 255} << ColourRecord{192, 192, 192};
        QTest::newRow("bytes past the palette")
            << defaults + hexBytes("0A00 1400 1E00") << ColourRecord{0, 0, 0}
            << ColourRecord{0, 0, 255} << ColourRecord{192, 192, 192};
        QTest::newRow("empty") << QByteArray() << none << none << none;
        QTest::newRow("one byte") << hexBytes("7B") << ColourRecord{123, 0, 0} << none << none;
        QTest::newRow("half a record")
            << hexBytes("0A 00 14") << ColourRecord{10, 20, 0} << none << none;
        QTest::newRow("one record and a byte")
            << hexBytes("0A00 1400 1E00 28") << ColourRecord{10, 20, 30} << ColourRecord{40, 0, 0}
            << none;
        QTest::newRow("one byte short") << defaults.chopped(1) << ColourRecord{0, 0, 0}
                                        << ColourRecord{0, 0, 255} << ColourRecord{192, 192, 192};
    }

    void recordsAsRead() {
        QFETCH(QByteArray, file);
        QFETCH(ColourRecord, first);
        QFETCH(ColourRecord, second);
        QFETCH(ColourRecord, last);
        const ColourTable table = decodePalette(file);
        QCOMPARE(table[1], first);
        QCOMPARE(table[2], second);
        QCOMPARE(table[kColourCount], last);
    }

    void clampsComponents_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("component");
        QTest::newRow("255 stays") << hexBytes("FF00") << 255;
        QTest::newRow("256") << hexBytes("0001") << 255;
        QTest::newRow("largest") << hexBytes("FF7F") << 255;
        QTest::newRow("minus one") << hexBytes("FFFF") << 0;
        QTest::newRow("smallest") << hexBytes("0080") << 0;
    }

    void clampsComponents() {
        QFETCH(QByteArray, stored);
        QFETCH(int, component);
        for (int offset : {0, 2, 4, 40}) {
            QByteArray file = encodePalette(defaultPalette());
            file.replace(offset, 2, stored);
            const ColourTable table = decodePalette(file);
            const ColourRecord& record = table[offset / 6 + 1];
            const int read =
                std::array{record.red, record.green, record.blue}[size_t(offset % 6 / 2)];
            QCOMPARE(read, component);
        }
    }

    void slidersRunUpsideDown_data() {
        QTest::addColumn<int>("redSlider");
        QTest::addColumn<int>("greenSlider");
        QTest::addColumn<int>("blueSlider");
        QTest::addColumn<int>("preview");
        QTest::newRow("all at the top: white") << 0 << 0 << 0 << 0xFFFFFF;
        QTest::newRow("all at the bottom: black") << 255 << 255 << 255 << 0x000000;
        QTest::newRow("red") << 0 << 255 << 255 << 0x0000FF;
        QTest::newRow("grey") << 63 << 63 << 63 << 0xC0C0C0;
        // Blue's green slider (the fifth of the panel) at 55 stands for green 200.
        QTest::newRow("blue with green at 55") << 255 << 55 << 0 << 0xFFC800;
    }

    // The preview shows the colour whose components the three sliders stand for.
    void slidersRunUpsideDown() {
        QFETCH(int, redSlider);
        QFETCH(int, greenSlider);
        QFETCH(int, blueSlider);
        QFETCH(int, preview);
        QCOMPARE(previewColour(redSlider, greenSlider, blueSlider), preview);
        const int red = componentOfSlider(redSlider), green = componentOfSlider(greenSlider),
                  blue = componentOfSlider(blueSlider);
        QCOMPARE(packColour(red, green, blue), preview);
        QCOMPARE(sliderOfComponent(green), greenSlider);
    }
};

QTEST_GUILESS_MAIN(TestPalette)
#include "test_palette.moc"
