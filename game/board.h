#pragma once

#include <QString>
#include <QtGlobal>

#include <array>

#include "game/random.h"

constexpr int kCellCount = 100, kPaletteSize = 7;
constexpr int kMinLevel = 1, kMaxLevel = 9;

// One dealt board: the target and every cell of the grid, as palette word indices and colour
// values.
struct Board {
    int targetWord = 0;       // index into colourNames
    qint32 targetColour = 0;  // colour value
    quint8 answerIndex = 0;
    int cellCount = 0;                       // (level + 1)^2
    std::array<int, kCellCount> cellWord{};  // index into colourNames, cells 0..cellCount-1
    std::array<qint32, kCellCount> cellColour{};
};

// floor(r * count), kept within 0..count-1 even for a draw of 1.0, a negative draw or NaN.
int scaleDraw(double r, int count);

// Deals one board in the game's order of draws: target word, target colour, answer cell, then for
// every other cell in ascending order colour then word, both drawn again (colour first) while the
// cell equals the target in word text and colour value. Does not reseed. A level outside 1..9 is
// taken as the nearest of them.
Board dealBoard(RandomSource& random, quint8 level, const std::array<QString, 7>& colourNames,
                const std::array<qint32, 7>& colourValues);
