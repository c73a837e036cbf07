// Capitals built of curved strokes, shared by the logo, the game-over picture and the icon.
#include "glyphs.h"

#include <QTransform>

namespace {

// One letter: its centre lines in a box one unit high (y down), and the width of that box.
struct Glyph {
    QPainterPath path;
    qreal width = 0.0;
};

Glyph glyphT() {
    QPainterPath p;
    p.moveTo(0.0, 0.10);
    p.quadTo(0.42, -0.08, 0.84, 0.10);
    p.moveTo(0.42, 0.03);
    p.cubicTo(0.36, 0.35, 0.48, 0.70, 0.42, 1.0);
    return {p, 0.84};
}

Glyph glyphI() {
    QPainterPath p;
    p.moveTo(0.10, 0.0);
    p.cubicTo(0.02, 0.35, 0.18, 0.65, 0.10, 1.0);
    return {p, 0.20};
}

Glyph glyphN() {
    QPainterPath p;
    p.moveTo(0.0, 1.0);
    p.quadTo(-0.06, 0.50, 0.0, 0.0);
    p.cubicTo(0.32, 0.12, 0.50, 0.88, 0.80, 1.0);
    p.quadTo(0.86, 0.50, 0.80, 0.0);
    return {p, 0.80};
}

Glyph glyphM() {
    QPainterPath p;
    p.moveTo(0.0, 1.0);
    p.quadTo(-0.02, 0.45, 0.08, 0.0);
    p.cubicTo(0.22, 0.25, 0.36, 0.55, 0.50, 0.68);
    p.cubicTo(0.64, 0.55, 0.78, 0.25, 0.92, 0.0);
    p.quadTo(1.02, 0.45, 1.0, 1.0);
    return {p, 1.0};
}

Glyph glyphA() {
    QPainterPath p;
    p.moveTo(0.0, 1.0);
    p.cubicTo(0.10, 0.55, 0.24, 0.12, 0.43, 0.0);
    p.cubicTo(0.62, 0.12, 0.76, 0.55, 0.86, 1.0);
    p.moveTo(0.17, 0.66);
    p.quadTo(0.43, 0.56, 0.69, 0.66);
    return {p, 0.86};
}

Glyph glyphZ() {
    QPainterPath p;
    p.moveTo(0.02, 0.06);
    p.quadTo(0.42, -0.06, 0.82, 0.04);
    p.cubicTo(0.56, 0.34, 0.26, 0.62, 0.0, 0.96);
    p.quadTo(0.40, 1.06, 0.82, 0.94);
    return {p, 0.82};
}

Glyph glyphE() {
    QPainterPath p;
    p.moveTo(0.72, 0.04);
    p.quadTo(0.36, -0.04, 0.02, 0.04);
    p.quadTo(-0.06, 0.50, 0.02, 0.96);
    p.quadTo(0.36, 1.04, 0.72, 0.96);
    p.moveTo(0.0, 0.50);
    p.quadTo(0.30, 0.44, 0.58, 0.50);
    return {p, 0.72};
}

Glyph glyphG() {
    QPainterPath p;
    const QRectF ring(0.0, 0.0, 0.86, 1.0);
    p.arcMoveTo(ring, 40.0);
    p.arcTo(ring, 40.0, 290.0);
    p.quadTo(0.88, 0.80, 0.86, 0.56);
    p.quadTo(0.68, 0.52, 0.48, 0.56);
    return {p, 0.86};
}

Glyph glyphO() {
    QPainterPath p;
    p.addEllipse(QRectF(0.0, 0.0, 0.86, 1.0));
    return {p, 0.86};
}

Glyph glyphV() {
    QPainterPath p;
    p.moveTo(0.0, 0.0);
    p.cubicTo(0.08, 0.45, 0.26, 0.88, 0.42, 1.0);
    p.cubicTo(0.58, 0.88, 0.76, 0.45, 0.84, 0.0);
    return {p, 0.84};
}

Glyph glyphR() {
    QPainterPath p;
    p.moveTo(0.0, 1.0);
    p.quadTo(-0.05, 0.50, 0.0, 0.0);
    p.cubicTo(0.96, -0.04, 0.96, 0.58, 0.02, 0.54);
    p.moveTo(0.30, 0.55);
    p.cubicTo(0.56, 0.62, 0.66, 0.86, 0.78, 1.0);
    return {p, 0.78};
}

// The glyph for a capital; an empty glyph for characters the game never writes.
Glyph glyphFor(QChar c) {
    switch (c.unicode()) {
        case 'T':
            return glyphT();
        case 'I':
            return glyphI();
        case 'N':
            return glyphN();
        case 'M':
            return glyphM();
        case 'A':
            return glyphA();
        case 'Z':
            return glyphZ();
        case 'E':
            return glyphE();
        case 'G':
            return glyphG();
        case 'O':
            return glyphO();
        case 'V':
            return glyphV();
        case 'R':
            return glyphR();
        default:
            return {};
    }
}

}  // namespace

QPainterPath wordSkeleton(const QString& word, const LetterStyle& style, QPointF origin) {
    QPainterPath result;
    qreal x = origin.x();
    for (QChar c : word) {
        const Glyph glyph = glyphFor(c);
        if (glyph.path.isEmpty()) continue;
        QTransform place;
        place.translate(x, origin.y());
        place.scale(style.capHeight * style.stretch, style.capHeight);
        result.addPath(place.map(glyph.path));
        x += glyph.width * style.capHeight * style.stretch + style.strokeWidth + style.letterGap;
    }
    return result;
}

qreal wordWidth(const QString& word, const LetterStyle& style) {
    qreal width = 0.0;
    int letters = 0;
    for (QChar c : word) {
        const Glyph glyph = glyphFor(c);
        if (glyph.path.isEmpty()) continue;
        width += glyph.width * style.capHeight * style.stretch + style.strokeWidth;
        ++letters;
    }
    return letters == 0 ? 0.0 : width + (letters - 1) * style.letterGap;
}

QPainterPath centredWordSkeleton(const QString& word, const LetterStyle& style, QPointF centre) {
    const qreal left = centre.x() - wordWidth(word, style) / 2.0 + style.strokeWidth / 2.0;
    const qreal top = centre.y() - style.capHeight / 2.0;
    return wordSkeleton(word, style, QPointF(left, top));
}

void strokeLetters(QPainter& painter, const QPainterPath& skeleton, qreal width,
                   const QBrush& brush) {
    painter.strokePath(skeleton, QPen(brush, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

qreal stretchToWidth(const QString& word, LetterStyle style, qreal width) {
    style.stretch = 0.0;
    const qreal fixed = wordWidth(word, style);
    style.stretch = 1.0;
    return (width - fixed) / (wordWidth(word, style) - fixed);
}
