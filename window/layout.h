#pragma once

#include "game/rules.h"

#include <QString>
#include <QtGlobal>

#include <array>

// A control's place in twips, relative to its container.
struct TwipRect {
    qint32 left = 0, top = 0, width = 0, height = 0;
    bool operator==(const TwipRect&) const = default;
};

// A line's end points in twips, relative to its container.
struct TwipLine {
    qint32 x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool operator==(const TwipLine&) const = default;
};

constexpr int kScoreRows = kLevelCount;  // one row of the table view a level

// Where the full start puts every control that the game moves. Containers: the window for
// picture1, text1, text2, nameNotice, picture3, label2, frame2, frame1, label6 and picture2;
// Picture1 for label4, hScroll1, command1, label3 and the score rows; Frame1 for line1 and shape1.
// The grid cells are kCellSize square and placed by cellPosition().
struct WindowLayout {
    TwipRect picture1, text1, text2, nameNotice;
    std::array<TwipRect, 3> label4;
    TwipRect hScroll1, picture3;
    std::array<TwipRect, 4> command1;
    TwipRect label2, frame2, label3, frame1;
    TwipLine line1;
    // Label7(k) is row k from the top; Label8(i) and Label9(i) belong to level i + 1, which is
    // row kScoreRows - 1 - i.
    std::array<TwipRect, kScoreRows> label7, label8, label9;
    // "Level9" for Label7(0) ... "Level1" for Label7(8) (with nine levels).
    std::array<QString, kScoreRows> label7Caption;
    // Text colour of Label7(k), k * 0x101010, and of Label8(i) and Label9(i), their row's.
    std::array<qint32, kScoreRows> rowColour, recordColour;
    TwipRect label6;
    TwipRect picture2;  // the title logo's starting place, just above the window
    TwipRect shape1;    // the gauge's marker at the top of its track
};

// The layout of a window of the given outer width and height in twips, at start-up and whenever
// the window's size changes.
WindowLayout layoutWindow(qint32 windowWidth, qint32 windowHeight);
