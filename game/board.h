#pragma once

#include <QString>
#include <QtGlobal>

#include <array>

#include "game/random.h"
#include "game/rules.h"

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
// cell equals the target in word text and colour value. Does not reseed. A level outside
// kMinLevel..kMaxLevel is taken as the nearest of them.
Board dealBoard(RandomSource& random, quint8 level,
                const std::array<QString, kColourCount>& colourNames,
                const std::array<qint32, kColourCount>& colourValues);
