// The pictures embedded in the game: sizes, file layout and what a player sees in them.
#include "window/theme.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QResource>
#include <QtEndian>
#include <QtTest>

#include <map>

namespace {

constexpr int kBoardEdge = 5;      // black pixels at each side of the board
constexpr int kBoardFadeEnd = 11;  // first white pixel inward from each side
constexpr int kGreyTolerance = 6;  // a grey pixel's channels may differ by a few levels
constexpr QPoint kPointerTip(15, 15);

// The bytes of an embedded picture; an empty array when it is missing.
QByteArray resourceBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Brightness of a grey pixel (the mean of its channels).
int brightness(QRgb pixel) {
    return (qRed(pixel) + qGreen(pixel) + qBlue(pixel)) / 3;
}

// True when the channels of `pixel` differ by no more than kGreyTolerance.
bool isGrey(QRgb pixel) {
    const int lo = std::min({qRed(pixel), qGreen(pixel), qBlue(pixel)});
    const int hi = std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)});
    return hi - lo <= kGreyTolerance;
}

// Little-endian integer of `size` bytes at `offset` in `bytes`.
qint64 field(const QByteArray& bytes, int offset, int size) {
    const auto* at = reinterpret_cast<const uchar*>(bytes.constData()) + offset;
    return size == 2 ? qFromLittleEndian<quint16>(at) : qint64(qFromLittleEndian<qint32>(at));
}

}  // namespace

class TestAssets : public QObject {
    Q_OBJECT

  private slots:
    void picturesHaveTheirPixelSizes_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        QTest::newRow("logo") << ":/assets/logo.bmp" << QSize(650, 90);
        QTest::newRow("game over") << ":/assets/gameover.bmp" << QSize(360, 120);
        QTest::newRow("icon") << ":/assets/icon-48.bmp" << QSize(48, 48);
        QTest::newRow("icon, 16 pixels") << ":/assets/icon-16.bmp" << QSize(16, 16);
        QTest::newRow("pointer") << ":/assets/pointer.bmp" << QSize(32, 32);
    }

    // Every picture is embedded, decodes as the format its name ends in (as the game reads it, with
    // no plugin guessing), and has exactly the size its box expects.
    void picturesHaveTheirPixelSizes() {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        QVERIFY2(QFile::exists(path), qPrintable(path + " is not embedded"));
        const QImage image = readPicture(path);
        QVERIFY2(!image.isNull(), qPrintable(path + " does not decode"));
        QCOMPARE(image.size(), size);
    }

    void bitmapsAreReadyToDraw_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("logo") << ":/assets/logo.bmp" << 650 << 90;
        QTest::newRow("game over") << ":/assets/gameover.bmp" << 360 << 120;
        QTest::newRow("icon, 128 pixels") << ":/assets/icon-128.bmp" << 128 << 128;
    }

    // The bitmaps are BMP files whose pixels are a QImage's: 54-byte header, 32 bits per pixel, no
    // compression, rows stored top down (a negative height), and the size field matches the file.
    // The game draws them from the program's own bytes, neither decoded nor copied.
    void bitmapsAreReadyToDraw() {
        QFETCH(QString, path);
        QFETCH(int, width);
        QFETCH(int, height);
        const QByteArray bytes = resourceBytes(path);
        QVERIFY(bytes.size() >= 54);
        QCOMPARE(bytes.left(2), QByteArray("BM"));
        QCOMPARE(field(bytes, 2, 4), qint64(bytes.size()));
        QCOMPARE(field(bytes, 10, 4), 56);  // pixels two bytes after the headers
        QCOMPARE(field(bytes, 14, 4), 40);  // BITMAPINFOHEADER
        QCOMPARE(field(bytes, 18, 4), width);
        QCOMPARE(qint32(field(bytes, 22, 4)), -height);
        QCOMPARE(field(bytes, 26, 2), 1);   // planes
        QCOMPARE(field(bytes, 28, 2), 32);  // bits per pixel
        QCOMPARE(field(bytes, 30, 4), 0);   // no compression
        QCOMPARE(bytes.size(), 56 + 4 * width * height);
        QCOMPARE(readPicture(path).constBits(), QResource(path).data() + 56);
    }

    void boardEdgeFadesToWhite_data() {
        QTest::addColumn<QPoint>("start");  // a pixel on the outermost ring
        QTest::addColumn<QPoint>("inward");
        QTest::newRow("left") << QPoint(0, 176) << QPoint(1, 0);
        QTest::newRow("top") << QPoint(200, 0) << QPoint(0, 1);
        QTest::newRow("right") << QPoint(351, 100) << QPoint(-1, 0);
        QTest::newRow("bottom") << QPoint(30, 351) << QPoint(0, -1);
        QTest::newRow("top left corner") << QPoint(0, 0) << QPoint(1, 1);
        QTest::newRow("bottom right corner") << QPoint(351, 351) << QPoint(-1, -1);
    }

    // Walking in from any side: five black pixels, a fade that brightens at every step, then white
    // up to the middle of the board.
    void boardEdgeFadesToWhite() {
        QFETCH(QPoint, start);
        QFETCH(QPoint, inward);
        QImage board(352, 352, QImage::Format_RGB32);
        board.fill(Qt::red);
        QPainter painter(&board);
        paintBoard(painter);
        for (int step = 0; step < kBoardEdge; ++step)
            QCOMPARE(board.pixel(start + step * inward), qRgb(0, 0, 0));
        for (int step = kBoardEdge - 1; step < kBoardFadeEnd; ++step) {
            const QRgb here = board.pixel(start + step * inward);
            const QRgb next = board.pixel(start + (step + 1) * inward);
            QVERIFY(isGrey(here));
            QVERIFY2(brightness(next) > brightness(here), qPrintable(QString::number(step)));
        }
        for (int step = kBoardFadeEnd; step <= 175; ++step)
            QCOMPARE(board.pixel(start + step * inward), qRgb(255, 255, 255));
    }

    void lettersAreGreyOnTheirBackground_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("background");  // brightness of the background
        QTest::addColumn<int>("letterLow");   // range of the letters' own grey
        QTest::addColumn<int>("letterHigh");
        QTest::newRow("logo, mid grey on white") << ":/assets/logo.bmp" << 255 << 0x60 << 0xa0;
        QTest::newRow("game over, light grey on black")
            << ":/assets/gameover.bmp" << 0 << 0xb0 << 0xe8;
    }

    // The words are drawn in grey over a plain background: the letters' grey covers a fair share of
    // the picture, the background most of the rest, no pixel is coloured, and no letter touches the
    // picture's edge (nothing is cut off).
    void lettersAreGreyOnTheirBackground() {
        QFETCH(QString, path);
        QFETCH(int, background);
        QFETCH(int, letterLow);
        QFETCH(int, letterHigh);
        const QImage image = QImage(path).convertToFormat(QImage::Format_RGB32);
        QVERIFY(!image.isNull());
        const int total = image.width() * image.height();
        int backgroundCount = 0;
        int letterCount = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                QVERIFY2(isGrey(pixel), qPrintable(QString("colour at %1,%2").arg(x).arg(y)));
                const int level = brightness(pixel);
                const bool isBackground = std::abs(level - background) <= kGreyTolerance;
                backgroundCount += isBackground;
                letterCount += level >= letterLow && level <= letterHigh;
                const bool onEdge =
                    x == 0 || y == 0 || x == image.width() - 1 || y == image.height() - 1;
                if (onEdge) QVERIFY2(isBackground, qPrintable(QString("edge %1,%2").arg(x).arg(y)));
            }
        }
        QVERIFY2(letterCount > total / 8, qPrintable(QString::number(letterCount)));
        QVERIFY2(backgroundCount > total / 3, qPrintable(QString::number(backgroundCount)));
    }

    // The icon: black corners and background, grey bars along both diagonals, grey lettering on a
    // black band across the middle, and only greys.
    void iconIsGreyCrossOnBlack() {
        const QImage icon = readPicture(":/assets/icon-48.bmp");
        QVERIFY(!icon.isNull());
        for (QPoint corner : {QPoint(0, 0), QPoint(47, 0), QPoint(0, 47), QPoint(47, 47)})
            QCOMPARE(icon.pixel(corner), qRgb(0, 0, 0));
        // The sides between the arms stay black.
        for (QPoint side : {QPoint(24, 1), QPoint(24, 46), QPoint(1, 16), QPoint(46, 32)})
            QCOMPARE(icon.pixel(side), qRgb(0, 0, 0));
        int lettering = 0;
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 48; ++x) {
                const QRgb pixel = icon.pixel(x, y);
                QVERIFY(isGrey(pixel));
                if (y >= 20 && y <= 27 && brightness(pixel) > 0x60) ++lettering;
            }
        }
        QVERIFY2(lettering > 60, qPrintable(QString::number(lettering)));
        for (int i = 6; i <= 14; i += 4) {
            // Each arm of the X, away from the band, is lit.
            QVERIFY(brightness(icon.pixel(i, i)) > 0x30);
            QVERIFY(brightness(icon.pixel(47 - i, i)) > 0x30);
            QVERIFY(brightness(icon.pixel(i, 47 - i)) > 0x30);
            QVERIFY(brightness(icon.pixel(47 - i, 47 - i)) > 0x30);
        }
    }

    // Below 48 pixels the icon is a white board of coloured cells in a black margin: red, blue,
    // green and yellow cells each cover whole pixels, and the X's grey is gone.
    void smallIconsAreColouredCells_data() {
        QTest::addColumn<int>("side");
        for (const int side : {16, 22, 24, 32}) QTest::addRow("%d pixels", side) << side;
    }
    void smallIconsAreColouredCells() {
        QFETCH(int, side);
        const QImage icon = readPicture(QStringLiteral(":/assets/icon-%1.bmp").arg(side));
        QCOMPARE(icon.size(), QSize(side, side));
        QCOMPARE(icon.pixel(0, 0), qRgb(0, 0, 0));
        std::map<QRgb, int> counts;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) ++counts[icon.pixel(x, y)];
        for (const QRgb colour :
             {qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 255, 0), qRgb(255, 255, 0)})
            QVERIFY2(counts[colour] >= 9, qPrintable(QString::number(colour, 16)));
        QVERIFY(counts[qRgb(255, 255, 255)] > 0);
        QCOMPARE(int(counts.size()), 7);  // no blurred pixel between the cells
    }

    // The pointer: its tip pixel at (15, 15) is opaque, nothing lies above or left of the tip,
    // every drawn pixel is opaque black or white, both occur, and the arrow has see-through holes
    // (transparent pixels with drawn pixels on all four sides).
    void pointerIsLatticeArrowFromTip() {
        const QImage pointer =
            QImage(":/assets/pointer.bmp").convertToFormat(QImage::Format_ARGB32);
        QVERIFY(!pointer.isNull());
        QVERIFY(pointer.hasAlphaChannel());
        QCOMPARE(qAlpha(pointer.pixel(kPointerTip)), 255);
        for (QPoint corner : {QPoint(0, 0), QPoint(31, 0), QPoint(0, 31), QPoint(31, 31)})
            QCOMPARE(qAlpha(pointer.pixel(corner)), 0);
        int black = 0;
        int white = 0;
        int holes = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const QRgb pixel = pointer.pixel(x, y);
                if (qAlpha(pixel) == 0) {
                    const bool enclosed =
                        x > 0 && x < 31 && y > 0 && y < 31 && qAlpha(pointer.pixel(x - 1, y)) &&
                        qAlpha(pointer.pixel(x + 1, y)) && qAlpha(pointer.pixel(x, y - 1)) &&
                        qAlpha(pointer.pixel(x, y + 1));
                    holes += enclosed;
                    continue;
                }
                QVERIFY2(x >= kPointerTip.x() && y >= kPointerTip.y(),
                         qPrintable(QString("drawn at %1,%2").arg(x).arg(y)));
                QCOMPARE(qAlpha(pixel), 255);
                black += pixel == qRgb(0, 0, 0);
                white += pixel == qRgb(255, 255, 255);
                QVERIFY(pixel == qRgb(0, 0, 0) || pixel == qRgb(255, 255, 255));
            }
        }
        QVERIFY(black > 0);
        QVERIFY(white > 0);
        QVERIFY(holes > 0);
    }
};

QTEST_GUILESS_MAIN(TestAssets)
#include "test_assets.moc"
