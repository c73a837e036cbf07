#include "window/layout.h"

#include "game/layout.h"

#include <algorithm>

namespace {

constexpr qint32 kTextWidth = 7300, kText1Height = 750, kText2Height = 500, kNoticeHeight = 450;
constexpr qint32 kGameOverWidth = 5415, kGameOverHeight = 1800;
constexpr qint32 kMenuMargin = 240, kMenuButtonHeight = 1200;
constexpr qint32 kTargetSize = 2700, kTargetTop = 500;
// The board covers the target's lowest 80 twips on a 768-pixel screen, and never more.
constexpr qint32 kTargetBoardOverlap = 80;
constexpr qint32 kPanelWidth = 10800, kPanelHeight = 7200;
constexpr qint32 kGaugeOffset = 6000, kGaugeWidth = 720, kGaugeHeight = 5400;
constexpr qint32 kGaugeMargin = 240, kMarkerSize = 400;
constexpr qint32 kRowTop = 240, kRowPitch = 533;
static_assert(kRowTop + kRowPitch * kScoreRows <= kBoardSize,
              "the table view's rows, one a level, fit on the board: shorten kRowPitch");
constexpr qint32 kRowColourStep = 0x101010;
constexpr qint32 kScoreLabelWidth = 1400, kScoreLabelHeight = 375;
constexpr qint32 kTitleLogoWidth = 9810;

}  // namespace

WindowLayout layoutWindow(qint32 windowWidth, qint32 windowHeight) {
    const qint32 midX = halve(windowWidth), midY = halve(windowHeight);
    constexpr qint32 halfBoard = kBoardSize / 2;
    WindowLayout l;

    l.picture1 = {midX - halfBoard, midY - halfBoard, kBoardSize, kBoardSize};
    l.text1 = {midX - kTextWidth / 2, midY, kTextWidth, kText1Height};
    l.text2 = {midX - kTextWidth / 2, midY - kText2Height, kTextWidth, kText2Height};
    l.nameNotice = {l.text1.left, l.text1.top + kText1Height, kTextWidth, kNoticeHeight};
    l.label4 = {{{350, 1575, 3195, 500}, {3585, 2565, 1455, 495}, {3525, 1575, 1500, 495}}};
    l.hScroll1 = {350, 2070, 4700, 500};
    // The game-over picture is sized first; its centre then comes from that size.
    l.picture3.width = kGameOverWidth;
    l.picture3.height = kGameOverHeight;
    l.picture3.left = halve(double(windowWidth) - l.picture3.width);
    l.picture3.top = halve(double(windowHeight) - l.picture3.height);
    for (int i = 0; i < int(l.command1.size()); ++i)
        l.command1[i] = {kMenuMargin, kMenuMargin + kMenuButtonHeight * i,
                         l.picture1.width - 2 * kMenuMargin, kMenuButtonHeight};
    // On a short screen the target rises to keep clear of the board, but not above the window.
    const qint32 targetTop =
        std::max(0, std::min(kTargetTop, l.picture1.top - (kTargetSize - kTargetBoardOverlap)));
    l.label2 = {midX - kTargetSize / 2, targetTop, kTargetSize, kTargetSize};
    l.frame2 = {midX - kPanelWidth / 2, midY - halfBoard, kPanelWidth, kPanelHeight};
    l.label3 = {1700, 2200, 2000, 1000};
    l.frame1 = {l.picture1.left + kGaugeOffset, l.picture1.top, kGaugeWidth, kGaugeHeight};
    const qint32 trackX = halve(l.frame1.width);
    l.line1 = {trackX, kGaugeMargin, trackX, l.frame1.height - kGaugeMargin};

    for (int i = 0; i < kScoreRows; ++i) {
        const int k = kScoreRows - 1 - i;  // row from the top
        const qint32 top = kRowTop + kRowPitch * k;
        l.label7[k] = {240, top, 1000, kRowPitch};
        l.label7Caption[k] = QStringLiteral("Level") + QString::number(i + 1);
        l.rowColour[k] = k * kRowColourStep;
        l.label8[i] = {1720, top, 2480, 360};
        l.label9[i] = {4200, top, 600, kRowPitch};
        l.recordColour[i] = k * kRowColourStep;
    }

    l.label6 = {l.picture1.left, l.picture1.top + kBoardSize, kScoreLabelWidth, kScoreLabelHeight};
    l.picture2 = {midX - kTitleLogoWidth / 2, kTitleLogoStartTop, kTitleLogoWidth,
                  kTitleLogoHeight};
    l.shape1 = {0, l.line1.y1, kMarkerSize, kMarkerSize};
    l.shape1.left = halve(l.frame1.width - l.shape1.width);
    return l;
}
