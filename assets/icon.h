// The window icon: a grey X of two striped bars with the game's name across its middle from 48
// pixels up; below that, and as the scalable drawing, a white board of coloured cells, which still
// reads as the game where the X would blur into a grey cross. Drawn at every size the icon theme
// wants.
#pragma once

#include <QByteArray>
#include <QImage>

constexpr int kIconDesign = 48;  // the icon is drawn on a 48-unit square at every size
constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};  // PNGs for the icon theme
// Bitmaps drawn as stored for the window's own icon; a 256-pixel one would make the icon property
// the window sends some 350 kB instead of 100 kB, and desktops that show icons that large (menus,
// switchers) take them from the icon theme the package installs.
constexpr int kWindowIconSizes[] = {16, 22, 24, 32, 48, 64, 128};

constexpr int kSmallestDetailedIcon = 48;  // the X from this size on, the board of cells below

// The icon at `size` pixels.
QImage drawIcon(int size);

// The board of cells as a scalable drawing on the icon's square, for the icon theme.
QByteArray drawIconSvg();
