#include "icon.h"

#include "glyphs.h"

#include <QColor>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QString>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr QRectF kIconBar(-29.0, -6.5, 58.0, 13.0);  // a bar of the X before it is turned
constexpr qreal kIconBarCorner = 3.0;
constexpr qreal kIconStripeStep = 4.0;
constexpr qreal kIconStripeWidth = 1.6;
constexpr QRectF kIconBand(1.0, 18.5, kIconDesign - 2.0, 11.0);  // the black band of the name
const LetterStyle kIconLetters{5.6, 1.15, 0.9};
constexpr QColor kIconBarTop(0xb8, 0xb8, 0xb8), kIconBarBottom(0x78, 0x78, 0x78);
constexpr QColor kIconStripe(0x50, 0x50, 0x50), kIconBarEdge(0xd0, 0xd0, 0xd0);
constexpr QColor kIconBandEdge(0x90, 0x90, 0x90), kIconName(0xc8, 0xc8, 0xc8);

// The left edges of the stripes across a bar of the icon.
std::vector<qreal> iconStripeLefts() {
    std::vector<qreal> lefts;
    for (int i = 0; kIconBar.left() + 1.0 + kIconStripeStep * i < kIconBar.right(); ++i)
        lefts.push_back(kIconBar.left() + 1.0 + kIconStripeStep * i);
    return lefts;
}

// The centre lines of the name across the icon's band.
QPainterPath iconNameSkeleton() {
    LetterStyle style = kIconLetters;
    style.stretch = stretchToWidth(kGameName, style, 42.0);
    return centredWordSkeleton(kGameName, style, kIconBand.center());
}

// One bar of the icon's X: a rounded grey band at `angle` degrees through the centre, crossed by
// darker stripes and edged in light grey.
void paintIconBar(QPainter& painter, qreal angle) {
    const qreal half = kIconDesign / 2.0;
    QPainterPath band;
    band.addRoundedRect(kIconBar, kIconBarCorner, kIconBarCorner);
    painter.save();
    painter.translate(half, half);
    painter.rotate(angle);
    QLinearGradient body(0.0, kIconBar.top(), 0.0, kIconBar.bottom());
    body.setColorAt(0.0, kIconBarTop);
    body.setColorAt(1.0, kIconBarBottom);
    painter.fillPath(band, body);
    painter.setClipPath(band);
    for (const qreal left : iconStripeLefts())
        painter.fillRect(QRectF(left, kIconBar.top(), kIconStripeWidth, kIconBar.height()),
                         kIconStripe);
    painter.setClipping(false);
    painter.strokePath(band, QPen(kIconBarEdge, 1.0));
    painter.restore();
}

// The board of the small icons: kCellsSide x kCellsSide cells in the game's colours on white,
// inside a black margin; margin and gaps are a sixteenth of the side, at least a pixel.
constexpr int kCellsSide = 3;
constexpr QColor kCellColours[kCellsSide][kCellsSide] = {
    {QColor(255, 0, 0), QColor(0, 0, 255), QColor(255, 255, 0)},
    {QColor(0, 255, 0), QColor(0, 0, 0), QColor(255, 0, 255)},
    {QColor(0, 0, 255), QColor(255, 0, 0), QColor(0, 255, 0)}};

// Where the board and the cells lie on a square of `side` (pixels or units): the black margin, the
// gap between cells and the cells' own side.
struct CellsGeometry {
    qreal margin, gap, cell;
};
CellsGeometry cellsGeometry(qreal side, bool wholePixels) {
    const qreal step = wholePixels ? std::max(1, int(side) / 16) : side / 16;
    const qreal board = side - 2 * step;
    const qreal cells = board - (kCellsSide + 1) * step;
    return {step, step, wholePixels ? std::floor(cells / kCellsSide) : cells / kCellsSide};
}

// The board of coloured cells, each on whole pixels so that none blurs at 16 pixels.
QImage drawCellsIcon(int size) {
    QImage icon(size, size, QImage::Format_RGB32);
    icon.fill(Qt::black);
    QPainter painter(&icon);
    const CellsGeometry at = cellsGeometry(size, true);
    const int board = size - 2 * int(at.margin);
    painter.fillRect(int(at.margin), int(at.margin), board, board, Qt::white);
    const int used = kCellsSide * int(at.cell) + (kCellsSide - 1) * int(at.gap);
    const int first = (size - used) / 2;
    for (int row = 0; row < kCellsSide; ++row)
        for (int column = 0; column < kCellsSide; ++column)
            painter.fillRect(first + column * int(at.cell + at.gap),
                             first + row * int(at.cell + at.gap), int(at.cell), int(at.cell),
                             kCellColours[row][column]);
    return icon;
}

}  // namespace

// Below kSmallestDetailedIcon the board of cells; from there on a grey X of two patterned bars
// with the name across its middle on a black band, on black.
QImage drawIcon(int size) {
    if (size < kSmallestDetailedIcon) return drawCellsIcon(size);
    QImage icon(size, size, QImage::Format_RGB32);
    icon.fill(Qt::black);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(qreal(size) / kIconDesign, qreal(size) / kIconDesign);
    paintIconBar(painter, 45.0);
    paintIconBar(painter, -45.0);
    painter.fillRect(kIconBand, Qt::black);
    painter.setPen(QPen(kIconBandEdge, 0.8));
    painter.drawLine(kIconBand.topLeft(), kIconBand.topRight());
    painter.drawLine(kIconBand.bottomLeft(), kIconBand.bottomRight());
    strokeLetters(painter, iconNameSkeleton(), kIconLetters.strokeWidth, kIconName);
    return icon;
}

QByteArray drawIconSvg() {
    const CellsGeometry at = cellsGeometry(kIconDesign, false);
    QString svg = QStringLiteral(
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                      "viewBox=\"0 0 %1 %1\">\n<rect width=\"%1\" height=\"%1\" "
                      "fill=\"#000000\"/>\n<rect x=\"%2\" y=\"%2\" width=\"%3\" height=\"%3\" "
                      "fill=\"#ffffff\"/>\n")
                      .arg(kIconDesign)
                      .arg(at.margin)
                      .arg(kIconDesign - 2 * at.margin);
    for (int row = 0; row < kCellsSide; ++row)
        for (int column = 0; column < kCellsSide; ++column)
            svg +=
                QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%3\" fill=\"%4\"/>\n")
                    .arg(at.margin + at.gap + column * (at.cell + at.gap))
                    .arg(at.margin + at.gap + row * (at.cell + at.gap))
                    .arg(at.cell)
                    .arg(kCellColours[row][column].name());
    return (svg + QStringLiteral("</svg>\n")).toUtf8();
}
