#include "window/theme.h"

#include "game/layout.h"
#include "game/rules.h"
#include "window/twips.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImageReader>
#include <QResource>
#include <QtEndian>

void registerFontStandIns() {
    static const bool registered = [] {
        QFont::insertSubstitution(kPGothic, kPGothicStandIn);
        QFont::insertSubstitution(kComicSans, kComicSansStandIn);
        return true;
    }();
    Q_UNUSED(registered);
}

namespace {

constexpr QPoint kPointerTip(15, 15);     // the arrow's tip in the pointer's picture
constexpr qreal kFinePointerRatio = 1.5;  // from this device pixel ratio on, the pointer is doubled

// The icon's renderings for the window, 16 to 128 pixels, each drawn for its size and stored ready
// to draw (assets/README.md says why not 256).
constexpr const char* kIconFiles[] = {
    ":/assets/icon-16.bmp", ":/assets/icon-22.bmp", ":/assets/icon-24.bmp", ":/assets/icon-32.bmp",
    ":/assets/icon-48.bmp", ":/assets/icon-64.bmp", ":/assets/icon-128.bmp"};

int layoutPixels(double points) {
    return qRound(points * kLayoutDotsPerInch / kPointsPerInch);
}

}  // namespace

QFont describedFont(const QString& family, double points, bool bold) {
    // The stand-in is named directly, so that no search for the missing family is made.
    QFont font(QFont::substitute(family));
    font.setPixelSize(layoutPixels(points));
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return font;
}

QFont defaultFont() {
    QFont font = QApplication::font();
    if (font.pointSizeF() > 0) font.setPixelSize(layoutPixels(font.pointSizeF()));
    return font;
}

QCursor gamePointer(qreal devicePixelRatio, bool hotSpotInPicturePixels) {
    const int scale = devicePixelRatio >= kFinePointerRatio ? 2 : 1;
    const QImage arrow = readPicture(QStringLiteral(":/assets/pointer.bmp"));
    QPixmap pixmap = QPixmap::fromImage(
        arrow.scaled(arrow.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    pixmap.setDevicePixelRatio(scale);
    const QPoint hotSpot = hotSpotInPicturePixels ? kPointerTip * scale : kPointerTip;
    return QCursor(pixmap, hotSpot.x(), hotSpot.y());
}

bool hotSpotInPicturePixels() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

void paintBoard(QPainter& painter) {
    constexpr int kSide = kBoardSize / kTwipsPerPixel;
    constexpr int kEdge = 5, kFade = 6;  // black rings, then rings fading to white
    for (int ring = 0; ring <= kEdge + kFade; ++ring) {
        const int level = std::clamp(ring - kEdge + 1, 0, kFade + 1);
        const int grey = (255 * level + (kFade + 1) / 2) / (kFade + 1);
        const int side = kSide - 2 * ring;
        const QColor shade(grey, grey, grey);
        if (ring == kEdge + kFade) {
            painter.fillRect(ring, ring, side, side, shade);
            break;
        }
        painter.fillRect(ring, ring, side, 1, shade);
        painter.fillRect(ring, ring + side - 1, side, 1, shade);
        painter.fillRect(ring, ring + 1, 1, side - 2, shade);
        painter.fillRect(ring + side - 1, ring + 1, 1, side - 2, shade);
    }
}

QIcon gameIcon() {
    QIcon icon;
    for (const char* file : kIconFiles)
        icon.addPixmap(QPixmap::fromImage(readPicture(QString::fromLatin1(file))));
    return icon;
}

namespace {

// A picture stored uncompressed in the program as a BMP of 32 bits a pixel, rows top down: with no
// compression, its pixels are those of an opaque QImage already; with bit fields that name blue,
// green, red and alpha in that order of bytes, those of a QImage with alpha. It is drawn from the
// program's own pages with nothing decoded (copied only where the pixels do not start on 32 bits,
// as a QImage's rows must; assets/bitmaps.qrc stores them so that they do). Null for any other
// file.
QImage storedReadyToDraw(const QString& path) {
    constexpr int kHeaders = 14 + 40, kAlphaHeaders = 14 + 108;
    const QResource stored(path);
    if (!stored.isValid() || stored.compressionAlgorithm() != QResource::NoCompression ||
        stored.size() < kHeaders)
        return {};
    const uchar* bytes = stored.data();
    const auto field = [bytes](int at) { return qFromLittleEndian<quint32>(bytes + at); };
    const quint32 start = field(10), width = field(18), height = -field(22);
    const bool alpha = field(30) == 3 && stored.size() >= kAlphaHeaders &&
                       field(14) >= kAlphaHeaders - 14 && field(54) == 0x00FF0000 &&
                       field(58) == 0x0000FF00 && field(62) == 0x000000FF &&
                       field(66) == 0xFF000000;
    const bool ready = bytes[0] == 'B' && bytes[1] == 'M' && field(26) == (1 | 32 << 16) &&
                       (field(30) == 0 || alpha) && width > 0 && width < 0x8000 && height > 0 &&
                       height < 0x8000 && start >= kHeaders &&
                       start + 4 * qint64(width) * height <= stored.size();
    if (!ready) return {};
    const QImage pixels(bytes + start, int(width), int(height), 4 * int(width),
                        alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    return quintptr(bytes + start) % 4 == 0 ? pixels : pixels.copy();
}

}  // namespace

QImage readPicture(const QString& path) {
    if (QImage stored = storedReadyToDraw(path); !stored.isNull()) return stored;
    QImageReader reader(path, path.section(QLatin1Char('.'), -1).toLatin1());
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

QStringList missingColourWordGlyphs() {
    registerFontStandIns();
    const QString words = QString::fromUtf16(kColourWords, kColourCount);
    const QFont font = describedFont(kPGothic, 21.75, true);
    const QFontMetrics metrics(font);
    QString missing;
    for (const QChar word : words)
        if (!metrics.inFont(word)) missing += word;
    if (missing.isEmpty()) return {};
    return {QStringLiteral("The font %1, found for %2, has no glyph for the colour words %3.")
                .arg(QFontInfo(font).family(), kPGothicStandIn, missing)};
}
