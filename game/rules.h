#pragma once
// The numbers and words the game is made of, each written once: its levels and its colours.
// Everything sized by them (the grid's cells, the score rows, the level slider, the high-score
// and palette files, the colour panel) is derived from here, and a fact that must agree with
// them is checked by a static_assert where it lives.

#include <QtGlobal>

#include <iterator>

// The levels the slider offers; a level-n board is a grid of (n + 1) x (n + 1) cells.
constexpr int kMinLevel = 1, kMaxLevel = 9;
constexpr int kLevelCount = kMaxLevel - kMinLevel + 1;
constexpr int kMaxGridSide = kMaxLevel + 1;
constexpr int kCellCount = kMaxGridSide * kMaxGridSide;  // the cells of the top level's grid
static_assert(kMinLevel == 1, "high-score slots, score rows and the file are indexed from level 1");
static_assert(kCellCount - 1 <= 255, "the answer cell's index is kept in 8 bits");

// The colour words, in palette order (the order of jx.iro's records and of the colour panel).
constexpr char16_t kColourWords[] = u"黒青緑赤紫黄灰";
constexpr int kColourCount = int(std::size(kColourWords)) - 1;  // one word per colour
