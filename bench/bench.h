#pragma once
// Shared pieces of the benchmark program: clocks, figures over samples, the process's memory, the
// printed tables, and a game window that shows no warning boxes and keeps its files in a
// temporary folder.

#include "window/form1.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

struct xcb_connection_t;

using BenchClock = std::chrono::steady_clock;

// Milliseconds between two readings of the bench clock.
double millisBetween(BenchClock::time_point from, BenchClock::time_point to);

// Nearest-rank percentile (0 < p <= 100) of the values; 0 when there are none.
double percentile(std::vector<double> values, double p);

// A line of /proc/PID/status (this process's without a pid) such as "VmHWM", in kB; -1 when it
// cannot be read.
long statusKb(const char* field, qint64 pid = 0);

// One row of a printed table: label, figure and target cells, padded to a fixed width.
void printRow(const std::vector<QString>& cells);
// A heading, followed by the CPU count and load average the figures were taken under.
void printHeading(const QString& title);
QString machineLoad();
// Waits until the CPUs have been under a fifth busy for a second, or `maxWaitSeconds` have passed;
// says which, with the share busy and the load average.
QString waitForQuietMachine(int maxWaitSeconds);
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

// Puts a jx.hsd and a jx.iro into `folder`: a played table and a tuned palette, then, when `bytes`
// is larger than the records, a hole up to that size.
constexpr qint64 kHugeFileBytes = 2LL << 30;
void makeDataFiles(const QString& folder, qint64 bytes);

// What happens on the X server at $DISPLAY, seen from outside the programs that draw: top-level
// windows mapped and destroyed and every change of the screen's contents, each stamped with the
// bench clock when it reaches this watch's own connection (a thread of its own reads it).
enum class ScreenEvent { Mapped, Destroyed, Drawn };
class ScreenWatch {
  public:
    struct Event {
        ScreenEvent kind;
        BenchClock::time_point at;
        quint32 window;  // the window mapped or destroyed
    };
    ScreenWatch();
    ~ScreenWatch();
    // Empty while watching; otherwise what is missing (no X server, no DAMAGE).
    QString problem() const { return problem_; }
    // The index the next event will have.
    std::size_t mark() const;
    // Waits up to `timeoutMs` for the first event of `kind` (of `window`, unless 0) from index
    // `from` on; its index, or nothing.
    std::optional<std::size_t> waitFor(ScreenEvent kind, std::size_t from, int timeoutMs,
                                       quint32 window = 0) const;
    Event at(std::size_t index) const;
    // When the first change of the screen at or after `moment` reached the watch, if one did.
    std::optional<BenchClock::time_point> firstDrawnAfter(BenchClock::time_point moment) const;
    // Stops process `pid` (SIGSTOP) as soon as the next change of the screen after the next
    // window mapped reaches the watch: its CPU time and memory are then (nearly) those up to
    // its first frame.
    void stopAtFirstFrame(qint64 pid) const;

  private:
    void watch();
    xcb_connection_t* connection_ = nullptr;
    int drawnEvent_ = -1;
    QString problem_;
    mutable std::mutex lock_;
    mutable std::condition_variable arrived_;
    std::vector<Event> events_;
    std::atomic<bool> stop_ = false;
    mutable std::atomic<qint64> stopAtFirstFrame_ = 0;  // negative once its window is mapped
    std::thread thread_;
};

// Whether `screen` can time frames; if not, says so under a part's heading.
bool screenMeasurable(const ScreenWatch& screen);

// Runs this bench again with `argument` and gives the figures it prints on one line.
QList<QByteArray> childFigures(const QString& argument);

// The parts of the benchmark; each prints its own table.
// One timed game; clickEvery 0 plays without a click; listLateTicks prints every tick more than
// 1 ms off its period as it comes. With `screen` watching, the game's frames are timed as well.
void benchTimer(int clickEvery, bool listLateTicks, const ScreenWatch& screen);
void benchBoards(int boards);
void benchMemoryGrowth(int boards);
// Times the game's `program` against a minimal window, in `runs` rounds, once the machine is quiet
// or `quietWaitSeconds` have passed.
void benchStartUp(int runs, const ScreenWatch& screen, const QString& program,
                  int quietWaitSeconds);
// The colour panel, the name entry and the level dialog at their first use, to their frames, in
// `runs` child processes (firstUses).
void benchFirstUse(int runs, const ScreenWatch& screen);
// The peak memory of the game's `program` after `games` whole games played from outside in real
// time, and its ratio to the floor's (minimalWindow).
void benchGamesMemory(int games, const QString& program);
// Returns to the title, a stored best and a saved palette with ordinary and with huge files.
void benchHugeFiles(int runs);

// The floor the start-up and the games' memory are measured against, run as a child process: a
// minimal Qt program whose one full-screen window shows one line of text in the game's fonts,
// until it is ended; or, with `printPeak`, until it has drawn, and then prints its peak memory
// (VmHWM, kB) and ends.
int minimalWindow(int argc, char** argv, bool printPeak);
// The child of benchFirstUse: a fresh window, each screen opened once; prints the three times.
int firstUses(int argc, char** argv);
