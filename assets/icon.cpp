#include "icon.h"

#include "glyphs.h"

#include <QColor>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QString>

#include <vector>

namespace {

// Below this size the name and the stripes would blur the icon grey: it is the plain X.
constexpr int kSmallestDetailedIcon = 48;
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
// darker stripes (when `striped`) and edged in light grey.
void paintIconBar(QPainter& painter, qreal angle, bool striped) {
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
    for (const qreal left : striped ? iconStripeLefts() : std::vector<qreal>())
        painter.fillRect(QRectF(left, kIconBar.top(), kIconStripeWidth, kIconBar.height()),
                         kIconStripe);
    painter.setClipping(false);
    painter.strokePath(band, QPen(kIconBarEdge, 1.0));
    painter.restore();
}

}  // namespace

// A grey X of two patterned bars with the name across its middle on a black band, on black.
QImage drawIcon(int size) {
    QImage icon(size, size, QImage::Format_RGB32);
    icon.fill(Qt::black);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(qreal(size) / kIconDesign, qreal(size) / kIconDesign);
    const bool detailed = size >= kSmallestDetailedIcon;
    paintIconBar(painter, 45.0, detailed);
    paintIconBar(painter, -45.0, detailed);
    if (!detailed) return icon;
    painter.fillRect(kIconBand, Qt::black);
    painter.setPen(QPen(kIconBandEdge, 0.8));
    painter.drawLine(kIconBand.topLeft(), kIconBand.topRight());
    painter.drawLine(kIconBand.bottomLeft(), kIconBand.bottomRight());
    strokeLetters(painter, iconNameSkeleton(), kIconLetters.strokeWidth, kIconName);
    return icon;
}

namespace {

// A path as the commands of an SVG path's "d".
QString svgPath(const QPainterPath& path) {
    QString d;
    auto point = [](const QPainterPath::Element& e) {
        return QStringLiteral("%1 %2 ").arg(e.x, 0, 'f', 3).arg(e.y, 0, 'f', 3);
    };
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            d += QStringLiteral("M") + point(e);
        } else if (e.isLineTo()) {
            d += QStringLiteral("L") + point(e);
        } else if (e.isCurveTo()) {
            d += QStringLiteral("C") + point(e) + point(path.elementAt(i + 1)) +
                 point(path.elementAt(i + 2));
            i += 2;
        }
    }
    return d.trimmed();
}

}  // namespace

QByteArray drawIconSvg() {
    const auto hex = [](QColor c) { return c.name(); };
    QString bar = QStringLiteral(
                      "<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" "
                      "fill=\"url(#body)\"/>\n<g clip-path=\"url(#bar)\" fill=\"%6\">\n")
                      .arg(kIconBar.left())
                      .arg(kIconBar.top())
                      .arg(kIconBar.width())
                      .arg(kIconBar.height())
                      .arg(kIconBarCorner)
                      .arg(hex(kIconStripe));
    for (const qreal left : iconStripeLefts())
        bar += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\"/>\n")
                   .arg(left)
                   .arg(kIconBar.top())
                   .arg(kIconStripeWidth)
                   .arg(kIconBar.height());
    bar += QStringLiteral(
               "</g>\n<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" "
               "fill=\"none\" stroke=\"%6\"/>\n")
               .arg(kIconBar.left())
               .arg(kIconBar.top())
               .arg(kIconBar.width())
               .arg(kIconBar.height())
               .arg(kIconBarCorner)
               .arg(hex(kIconBarEdge));
    const qreal half = kIconDesign / 2.0;
    QString svg = QStringLiteral(
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                      "viewBox=\"0 0 %1 %1\">\n<defs>\n"
                      "<linearGradient id=\"body\" gradientUnits=\"userSpaceOnUse\" x1=\"0\" "
                      "y1=\"%2\" x2=\"0\" y2=\"%3\"><stop offset=\"0\" stop-color=\"%4\"/>"
                      "<stop offset=\"1\" stop-color=\"%5\"/></linearGradient>\n"
                      "<clipPath id=\"bar\"><rect x=\"%6\" y=\"%2\" width=\"%7\" "
                      "height=\"%8\" rx=\"%9\"/></clipPath>\n</defs>\n"
                      "<rect width=\"%1\" height=\"%1\" fill=\"#000000\"/>\n")
                      .arg(kIconDesign)
                      .arg(kIconBar.top())
                      .arg(kIconBar.bottom())
                      .arg(hex(kIconBarTop), hex(kIconBarBottom))
                      .arg(kIconBar.left())
                      .arg(kIconBar.width())
                      .arg(kIconBar.height())
                      .arg(kIconBarCorner);
    for (const int angle : {45, -45})
        svg += QStringLiteral("<g transform=\"translate(%1 %1) rotate(%2)\">\n%3</g>\n")
                   .arg(half)
                   .arg(angle)
                   .arg(bar);
    svg += QStringLiteral(
               "<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"#000000\"/>\n"
               "<path d=\"M%1 %2 H%5 M%1 %6 H%5\" stroke=\"%7\" stroke-width=\"0.8\"/>\n")
               .arg(kIconBand.left())
               .arg(kIconBand.top())
               .arg(kIconBand.width())
               .arg(kIconBand.height())
               .arg(kIconBand.right())
               .arg(kIconBand.bottom())
               .arg(hex(kIconBandEdge));
    svg += QStringLiteral(
               "<path d=\"%1\" fill=\"none\" stroke=\"%2\" stroke-width=\"%3\" "
               "stroke-linecap=\"round\" stroke-linejoin=\"round\"/>\n</svg>\n")
               .arg(svgPath(iconNameSkeleton()), hex(kIconName))
               .arg(kIconLetters.strokeWidth);
    return svg.toUtf8();
}
