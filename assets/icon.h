// The window icon: a grey X of two striped bars with the game's name across its middle, drawn at
// every size the icon theme wants and as a scalable drawing.
#pragma once

#include <QByteArray>
#include <QImage>

constexpr int kIconDesign = 48;  // the icon is drawn on a 48-unit square at every size
constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// The icon at `size` pixels; at the small sizes the X alone, in plain bars.
QImage drawIcon(int size);

// The icon's detailed design as a scalable drawing on its square, for the icon theme.
QByteArray drawIconSvg();
