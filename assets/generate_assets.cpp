// Draws four of the game's five pictures (the game paints the board itself), the icon's other
// renderings and its scalable drawing into a folder:
//   generate_assets <folder>
// Everything is painted here from paths and pixels; the output is the same bytes on every run.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>
#include <QtEndian>
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <utility>
#include <vector>

#include "glyphs.h"
#include "icon.h"

namespace {

constexpr QSize kLogoSize(650, 90);
constexpr QSize kGameOverSize(360, 120);
constexpr int kPointerSize = 32;
constexpr QPoint kPointerTip(15, 15);
constexpr qreal kHighlightLift = 0.16;  // highlight offset, in stroke widths
constexpr qreal kHighlightWidth = 0.3;  // highlight width, in stroke widths
constexpr QColor kHighlight(255, 255, 255, 70);

// A picture as a BMP whose pixels are those of a QImage of 32 bits a pixel (blue, green, red and
// alpha or unused), rows top down: the game draws them as they are stored, decoding nothing. A
// picture with transparency gets the header that names its alpha (BITMAPV4HEADER, bit fields).
// The pixels start at a multiple of four bytes into the file, as a QImage's rows must lie in
// memory once the resource system stores the file after its four-byte length.
QByteArray readyToDrawBmp(const QImage& image) {
    const bool alpha = image.hasAlphaChannel();
    const QImage pixels =
        image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    const int info = alpha ? 108 : 40, pixelsAt = (14 + info + 3) / 4 * 4;
    const qint32 bytes = qint32(pixels.sizeInBytes());
    QByteArray file(pixelsAt, '\0');
    const auto put = [&file](int at, quint32 value) { qToLittleEndian(value, file.data() + at); };
    file[0] = 'B';
    file[1] = 'M';
    put(2, pixelsAt + bytes);
    put(10, pixelsAt);
    put(14, info);
    put(18, pixels.width());
    put(22, -pixels.height());  // negative: top down
    put(26, 1 | 32 << 16);      // one plane, 32 bits a pixel
    put(30, alpha ? 3 : 0);     // bit fields, or no compression
    put(34, bytes);
    if (alpha) {
        for (const auto& [at, mask] :
             {std::pair{54, 0x00FF0000u}, {58, 0x0000FF00u}, {62, 0x000000FFu}, {66, 0xFF000000u}})
            put(at, mask);
        put(70, 0x73524742);  // "sRGB"
    }
    return file + QByteArray(reinterpret_cast<const char*>(pixels.constBits()), bytes);
}

// Saves `image` as `name` in `folder`; reports and returns false when the file cannot be written.
bool save(const QImage& image, const QDir& folder, const QString& name) {
    const QString path = folder.filePath(name);
    QFile bmp(path);
    const bool ready = name.endsWith(QLatin1String(".bmp"));
    if (ready ? bmp.open(QIODevice::WriteOnly) && bmp.write(readyToDrawBmp(image)) > 0
              : image.save(path)) {
        std::printf("wrote %s\n", qPrintable(path));
        return true;
    }
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

// Blurs the alpha of a premultiplied black image in place with three box passes of `radius`
// (close to a Gaussian); pixels beyond the edges count as transparent.
void blurAlpha(QImage& image, int radius) {
    const int w = image.width();
    const int h = image.height();
    std::vector<int> alpha(w * h);
    for (int y = 0; y < h; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) alpha[y * w + x] = qAlpha(line[x]);
    }
    const int span = 2 * radius + 1;
    std::vector<int> scratch(std::max(w, h));
    auto pass = [&](int count, int length, int step, int stride) {
        for (int i = 0; i < count; ++i) {
            int* base = alpha.data() + i * stride;
            for (int k = 0; k < length; ++k) scratch[k] = base[k * step];
            int sum = 0;
            for (int k = 0; k < std::min(radius, length); ++k) sum += scratch[k];
            for (int k = 0; k < length; ++k) {
                if (k + radius < length) sum += scratch[k + radius];
                if (k - radius - 1 >= 0) sum -= scratch[k - radius - 1];
                base[k * step] = (sum + span / 2) / span;
            }
        }
    };
    for (int round = 0; round < 3; ++round) {
        pass(h, w, 1, w);
        pass(w, h, w, 1);
    }
    for (int y = 0; y < h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) line[x] = qRgba(0, 0, 0, alpha[y * w + x]);
    }
}

// Paints a soft black shadow of the letters of `skeleton` stroked `width` wide, moved by `offset`,
// blurred by `radius`, at `opacity`.
void paintShadow(QPainter& painter, const QPainterPath& skeleton, qreal width, QPointF offset,
                 int radius, qreal opacity) {
    QImage shadow(painter.device()->width(), painter.device()->height(),
                  QImage::Format_ARGB32_Premultiplied);
    shadow.fill(Qt::transparent);
    {
        QPainter p(&shadow);
        p.setRenderHint(QPainter::Antialiasing);
        strokeLetters(p, skeleton.translated(offset), width, Qt::black);
    }
    blurAlpha(shadow, radius);
    painter.save();
    painter.setOpacity(opacity);
    painter.drawImage(0, 0, shadow);
    painter.restore();
}

// Draws the letters of `skeleton` in `style`: an outline `edgeWidth` wide in `edge`, filled with a
// vertical gradient from `top` to `bottom` over the letters' height around `centreY`, and a faint
// highlight along the upper left of each stroke.
void paintLetters(QPainter& painter, const QPainterPath& skeleton, const LetterStyle& style,
                  qreal centreY, QColor top, QColor bottom, QColor edge, qreal edgeWidth) {
    const qreal half = (style.capHeight + style.strokeWidth) / 2.0;
    QLinearGradient fill(0.0, centreY - half, 0.0, centreY + half);
    fill.setColorAt(0.0, top);
    fill.setColorAt(1.0, bottom);
    strokeLetters(painter, skeleton, style.strokeWidth + 2.0 * edgeWidth, edge);
    strokeLetters(painter, skeleton, style.strokeWidth, fill);
    const qreal lift = style.strokeWidth * kHighlightLift;
    strokeLetters(painter, skeleton.translated(-0.75 * lift, -lift),
                  style.strokeWidth * kHighlightWidth, kHighlight);
}

// The name in mid-grey curved capitals with dark outlines and a soft shadow, on white.
QImage drawLogo() {
    QImage logo(kLogoSize, QImage::Format_RGB32);
    logo.fill(Qt::white);
    LetterStyle style{54.0, 11.0, 9.0};
    style.stretch = stretchToWidth(kGameName, style, 600.0);
    const QPointF centre(kLogoSize.width() / 2.0 - 2.0, 41.0);
    const QPainterPath skeleton = centredWordSkeleton(kGameName, style, centre);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    paintShadow(painter, skeleton, style.strokeWidth + 5.0, QPointF(4.0, 4.0), 3, 0.55);
    paintLetters(painter, skeleton, style, centre.y(), QColor(0xa8, 0xa8, 0xa8),
                 QColor(0x70, 0x70, 0x70), QColor(0x40, 0x40, 0x40), 2.5);
    return logo;
}

// "GAME" over "OVER" in light grey curved capitals on black.
QImage drawGameOver() {
    QImage picture(kGameOverSize, QImage::Format_RGB32);
    picture.fill(Qt::black);
    LetterStyle style{40.0, 9.0, 8.0};
    style.stretch = stretchToWidth(QStringLiteral("GAME"), style, 250.0);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal rows[] = {32.0, 88.0};
    const QString words[] = {QStringLiteral("GAME"), QStringLiteral("OVER")};
    for (int i = 0; i < 2; ++i) {
        const QPointF centre(kGameOverSize.width() / 2.0, rows[i]);
        paintLetters(painter, centredWordSkeleton(words[i], style, centre), style, rows[i],
                     QColor(0xe4, 0xe4, 0xe4), QColor(0xb0, 0xb0, 0xb0), QColor(0x78, 0x78, 0x78),
                     1.5);
    }
    return picture;
}

// Writes `bytes` as `name` in `folder`; reports and returns false when the file cannot be written.
bool saveText(const QByteArray& bytes, const QDir& folder, const QString& name) {
    QFile file(folder.filePath(name));
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush()) {
        std::printf("wrote %s\n", qPrintable(file.fileName()));
        return true;
    }
    std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
    return false;
}

// The pointer's arrow, one row of pixels per line from the tip down: 'B' is the black rim, 'o' the
// inside, which becomes a white lattice with holes where both offsets from the tip are even.
// clang-format off
const char* const kArrowRows[] = {
    "B",
    "BB",
    "BoB",
    "BooB",
    "BoooB",
    "BooooB",
    "BoooooB",
    "BooooooB",
    "BoooooooB",
    "BooooooooB",
    "BoooooBBBBB",
    "BooBooB",
    "BoB BooB",
    "BB  BooB",
    "B    BooB",
    "     BooB",
    "      BB",
};
// clang-format on

// The pointer: an arrow pointing up and left with its tip at kPointerTip, a black rim around an
// open white lattice; everything else transparent.
QImage drawPointer() {
    QImage pointer(kPointerSize, kPointerSize, QImage::Format_ARGB32);
    pointer.fill(Qt::transparent);
    for (int dy = 0; dy < int(std::size(kArrowRows)); ++dy) {
        const QByteArray row(kArrowRows[dy]);
        for (int dx = 0; dx < row.size(); ++dx) {
            const QPoint at = kPointerTip + QPoint(dx, dy);
            if (row[dx] == 'B')
                pointer.setPixel(at, qRgba(0, 0, 0, 255));
            else if (row[dx] == 'o' && (dx % 2 == 1 || dy % 2 == 1))
                pointer.setPixel(at, qRgba(255, 255, 255, 255));
        }
    }
    return pointer;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: generate_assets <folder>\n");
        return 2;
    }
    QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    bool ok = save(drawLogo(), folder, QStringLiteral("logo.bmp"));
    ok = save(drawGameOver(), folder, QStringLiteral("gameover.bmp")) && ok;
    for (int size : kIconSizes) {
        const QString name = size == kIconDesign ? QStringLiteral("icon.png")
                                                 : QStringLiteral("icon-%1.png").arg(size);
        ok = save(drawIcon(size), folder, name) && ok;
    }
    for (int size : kWindowIconSizes)
        ok = save(drawIcon(size), folder, QStringLiteral("icon-%1.bmp").arg(size)) && ok;
    ok = saveText(drawIconSvg(), folder, QStringLiteral("icon.svg")) && ok;
    ok = save(drawPointer(), folder, QStringLiteral("pointer.bmp")) && ok;
    return ok ? 0 : 1;
}
