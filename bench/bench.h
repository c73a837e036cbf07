#pragma once
// Shared pieces of the benchmark program: clocks, figures over samples, the process's memory, the
// printed tables, and a game window that shows no warning boxes and keeps its files in a
// temporary folder.

#include "window/form1.h"

#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <memory>
#include <vector>

using BenchClock = std::chrono::steady_clock;

// Milliseconds between two readings of the bench clock.
double millisBetween(BenchClock::time_point from, BenchClock::time_point to);

// Nearest-rank percentile (0 < p <= 100) of the values; 0 when there are none.
double percentile(std::vector<double> values, double p);

// A line of /proc/self/status such as "VmHWM", in kB; -1 when it cannot be read.
long statusKb(const char* field);

// One row of a printed table: label, figure and target cells, padded to a fixed width.
void printRow(const std::vector<QString>& cells);
// A heading, followed by the CPU count and load average the figures were taken under.
void printHeading(const QString& title);
QString machineLoad();
// "ok" or "MISSED" for a figure against its target.
QString verdict(bool met);

// A game window with its data files in a fresh temporary folder, warnings dropped, boards from the
// game's own clock-seeded source, sized to the screen as the game is.
struct BenchWindow {
    QTemporaryDir folder;
    std::unique_ptr<Form1> form;
    BenchWindow();
};

// Form1's seams for a benchmark: warnings dropped, the program's end ignored, files in `folder`.
Form1Seams benchSeams(const QString& folder);

// Puts a jx.hsd and a jx.iro of kHugeFileBytes into `folder`: a played table and a tuned palette,
// then a hole up to that size.
constexpr qint64 kHugeFileBytes = 2LL << 30;
void makeHugeDataFiles(const QString& folder);

// The parts of the benchmark; each prints its own table.
// One timed game; clickEvery 0 plays without a click; listLateTicks prints every tick more than
// 1 ms off its period as it comes.
void benchTimer(int clickEvery, bool listLateTicks);
void benchBoards(int boards);
void benchMemoryGrowth(int boards);
void benchStartUp(int runs);
// Returns to the title, a stored best and a saved palette with ordinary and with huge files.
void benchHugeFiles(int runs);

// The child side of the start-up figure: shows the game's title (`kind` "game", data files in
// `folder`) or a minimal window (`kind` "minimal"), prints the bench clock in ns at its first
// painted frame and its peak memory in kB, and ends. Returns the process's exit code.
int firstPaintChild(int argc, char** argv, const QString& kind, const QString& folder);
