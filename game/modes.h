#pragma once
// The mode machine in one place: what the screen is showing (Form1::mode, named by the short
// texts the game has always used, compared as text), the one timer's period in each mode, the
// game's time budget and what a verdict costs, and where each mode goes. Form1::enterMode sets
// the mode and the timer from the table below.

#include <QString>

#include <array>

// The periods of the window's one timer, in milliseconds.
constexpr int kTitleTickMs = 20;        // the title logo slides down one step
constexpr int kCountDownTickMs = 1000;  // "3", "2", "1"
constexpr int kMeasureTickMs = 100;     // one unit of the game's time budget goes
constexpr int kVerdictTickMs = 300;     // how long "OK" or "Bad" shows
// In the table below instead of a period: the timer stops, or goes on as it runs.
constexpr int kTimerStopped = 0;
constexpr int kTimerKept = -1;

// A game lasts kGameTimeMs of measuring ticks, counted in units of one measuring tick; each
// verdict's display is charged to it in the same units.
constexpr int kGameTimeMs = 30000;
constexpr int kGameTimeUnits = kGameTimeMs / kMeasureTickMs;    // Form1::timeLeft at the start
constexpr int kVerdictUnits = kVerdictTickMs / kMeasureTickMs;  // charged for each verdict
static_assert(kGameTimeMs % kMeasureTickMs == 0, "the budget is a whole number of ticks");
static_assert(kVerdictTickMs % kMeasureTickMs == 0,
              "a verdict is charged in whole measuring ticks: make it a multiple of them");
static_assert(kGameTimeUnits <= 32767, "Form1::timeLeft is a 16-bit counter");

namespace Mode {
inline const QString Load = QStringLiteral("load");                  // title screen
inline const QString LevelChoice = QStringLiteral("lv選択");         // level dialog
inline const QString GameStart = QStringLiteral("gamestart");        // count-down
inline const QString Measuring = QStringLiteral("keisoku");          // a board in play
inline const QString ResultDisplay = QStringLiteral("kekkahyouji");  // "OK" or "Bad" showing
inline const QString GameOver = QStringLiteral("gameover");          // the game-over picture
inline const QString NameEntry = QStringLiteral("hs入力");  // typing a name for a best score
inline const QString HighScores = QStringLiteral("hs");     // the table view

// The machine at a glance: each mode, its timer's period (the constants above; kTable below is
// the same in data), what a tick does, and what leaves it.
//
//  mode           period       a tick (Form1::Timer1_Timer)     leaves to, on
//  Load           20 ms        slides the logo; stops the       LevelChoice: "Game Start" or Enter
//                              timer once the logo rests        HighScores: "High Score"
//                                                               (the colour panel stops the timer
//                                                               and keeps Load; its OK/Cansel
//                                                               reset to Load)
//  LevelChoice    as Load      nothing                          GameStart: "OK" or Enter
//                 left it
//  GameStart      1000 ms      "3", "2", "1"; the next tick     Measuring
//                              starts play
//  Measuring      100 ms       one unit of time goes; none      ResultDisplay: a click on a cell
//                              left: GameOver                   GameOver: the time is up
//  ResultDisplay  300 ms       a new board, kVerdictUnits go    Measuring
//  GameOver       stopped      -                                a click: Load (Form1::High), and
//                                                               from there NameEntry for a best
//  NameEntry      stopped      -                                Load: Enter
//  HighScores     stopped      -                                Load: a click or Enter
//
// Escape ends the program in every mode.
struct Timing {
    const QString& mode;
    int periodMs;  // counted afresh from entering the mode; or kTimerStopped, or kTimerKept
};
inline const std::array<Timing, 8> kTable{{
    {Load, kTitleTickMs},
    {LevelChoice, kTimerKept},
    {GameStart, kCountDownTickMs},
    {Measuring, kMeasureTickMs},
    {ResultDisplay, kVerdictTickMs},
    {GameOver, kTimerStopped},
    {NameEntry, kTimerStopped},
    {HighScores, kTimerStopped},
}};
}  // namespace Mode
