// Capitals built of curved strokes, shared by the logo, the game-over picture and the icon.
#pragma once

#include <QBrush>
#include <QPainter>
#include <QPainterPath>
#include <QPointF>
#include <QString>

// How a word is laid out: cap height and stroke width in pixels, the gap between letters, and a
// horizontal stretch of the letter skeletons (the stroke keeps its width).
struct LetterStyle {
    qreal capHeight;
    qreal strokeWidth;
    qreal letterGap;
    qreal stretch = 1.0;
};

// The centre lines of `word` (capitals from "TINTMAZEGOVR"; other characters are skipped) with
// the top left of the first letter's skeleton at `origin`.
QPainterPath wordSkeleton(const QString& word, const LetterStyle& style, QPointF origin);

// Width in pixels that `word` covers from the left edge of its first stroke to the right edge of
// its last, including the round stroke ends.
qreal wordWidth(const QString& word, const LetterStyle& style);

// The centre lines of `word` centred on `centre`, horizontally and on the cap height.
QPainterPath centredWordSkeleton(const QString& word, const LetterStyle& style, QPointF centre);

// Draws the letters of `skeleton` as strokes of `width` pixels with round ends and joins.
void strokeLetters(QPainter& painter, const QPainterPath& skeleton, qreal width,
                   const QBrush& brush);

// The game's name, as the logo and the icon spell it.
inline const QString kGameName = QStringLiteral("TINTMAZE");

// The stretch that makes `word` in `style` exactly `width` pixels wide.
qreal stretchToWidth(const QString& word, LetterStyle style, qreal width);
