#pragma once
// Every position and size the game stores is in twips; the screen works in logical pixels.

#include <QtGlobal>

#include <cmath>

constexpr int kTwipsPerPixel = 15;

// The nearest logical pixel to a length or position in twips.
inline int twipsToPixels(qint32 twips) {
    return static_cast<int>(std::lround(static_cast<double>(twips) / kTwipsPerPixel));
}

// A length or position in logical pixels, in twips.
constexpr qint32 pixelsToTwips(int pixels) {
    return pixels * kTwipsPerPixel;
}
