#pragma once

#include "game/rules.h"

#include <QPoint>
#include <QtGlobal>

// Board, grid and gauge arithmetic in twips (1/1440 inch), 32-bit signed like the game's layout.

constexpr int kCellSize = 480;    // a grid cell is square
constexpr int kBoardSize = 5280;  // Picture1, the board, is square
static_assert(kMaxGridSide * kCellSize <= kBoardSize, "the top level's grid fits on the board");
constexpr qint32 kTitleLogoHeight = 1245;
constexpr qint32 kTitleLogoStartTop = -kTitleLogoHeight;  // just above the window's top edge
constexpr qint32 kTitleLogoStep = 30;                     // moved down on each title tick

// x \ 2 of the game: x rounded to the nearest whole number (halfway to even), then halved toward
// zero. Values beyond the 32-bit range are held at its ends.
qint32 halve(double x);

// Left and Top of cell `index` of the grid of `level` inside the board: row index \ n, column
// index mod n, with n = level + 1 (level held to kMinLevel..kMaxLevel); the grid stays centred on
// the board.
QPoint cellPosition(int level, int index);

// Where the sliding title logo stops: Picture1's top halved, minus 622 (half the logo's height).
qint32 titleLogoThreshold(double picture1Top);

// Where the sliding logo comes to rest below a board at picture1Top: the first place on its way
// down (start, then a step a tick) below the threshold; at least one step from the start.
qint32 titleLogoRestTop(double picture1Top);

// Where the logo goes when the board moves from oldPicture1Top to newPicture1Top: a logo at rest
// moves to its new resting place; one on its way keeps its place while that lies above the new
// resting place, and is otherwise put one step before it, so that it stops there.
qint32 titleLogoTopAfterMove(qint32 logoTop, qint32 oldPicture1Top, qint32 newPicture1Top);

// Top of the time gauge's marker after a measuring tick:
// y1 + ((y2 - markerHeight - y1) * (kGameTimeUnits - timeLeft)) \ kGameTimeUnits, truncated toward
// zero.
qint32 markerTop(qint32 y1, qint32 y2, qint32 markerHeight, qint32 timeLeft);
