// Timer precision: one whole game in the shown window through the real event loop, from the
// title's logo slide through the count-down and the boards to the game-over tick, with every tick
// stamped by the bench clock, from the window's own timer; and, on an X server, the frames that
// each measuring tick sends, as a ScreenWatch sees them arrive.

#include "bench.h"

#include "game/modes.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QMetaObject>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

enum Phase { kTitle, kCountDown, kMeasuring, kVerdict, kPhaseCount };
constexpr std::array<int, kPhaseCount> kPeriodMs{kTitleTickMs, kCountDownTickMs, kMeasureTickMs,
                                                 kVerdictTickMs};
constexpr std::array<const char*, kPhaseCount> kPhaseName{"title logo", "count-down", "measuring",
                                                          "verdict"};
constexpr int kUnitMs = kMeasureTickMs;
constexpr int kGameUnits = kGameTimeUnits;
constexpr double kMedianTargetMs = 1.0, kP99TargetMs = 2.0;
// A frame can show only at the screen's next refresh: a gauge step that reaches the X server
// less than one refresh of a 60 Hz screen off its time shows at most one refresh off it.
constexpr double kFrameP99TargetMs = 1000.0 / 60;
// Fewer intervals than this have no 99th percentile worth judging (the title's 72, the
// count-down's 3, the verdicts' score or so): they are shown, not judged.
constexpr std::size_t kJudgedIntervals = 100;
// A player reads the game's time only off the gauge, one step a unit: a game that runs long by
// less than one step over its whole length ends no later than the gauge can show.
constexpr double kGameLengthTargetMs = kUnitMs;
constexpr int kBenchLevel = kMaxLevel;  // the largest board
constexpr double kLateListMs = 1.0;     // --late-ticks lists the ticks this far off their period
constexpr int kLastFrameMs = 200;       // the game-over frame's time to reach the X server

int phaseOf(const QString& mode) {
    if (mode == Mode::Load) return kTitle;
    if (mode == Mode::GameStart) return kCountDown;
    if (mode == Mode::Measuring) return kMeasuring;
    if (mode == Mode::ResultDisplay) return kVerdict;
    return -1;
}

// Plays one game from start-up to game over, stamping every tick. A tick's interval runs from
// the moment its count started: the previous tick, or the click, level confirmation or end of
// verdict that set the period anew. Its lateness is measured against the period's grid from the
// last such new start.
class TimedGame {
  public:
    TimedGame(Form1& form, int clickEvery, bool listLateTicks)
        : form_(form), clickEvery_(clickEvery), listLateTicks_(listLateTicks) {}
    void play();
    void report(const ScreenWatch* screen) const;

  private:
    void tick();
    void startGame();
    void click();
    void restartAt(BenchClock::time_point at) {
        restart_ = anchor_ = at;
        sinceAnchor_ = 0;
    }
    void later(std::function<void()> work) {
        QMetaObject::invokeMethod(&form_, std::move(work), Qt::QueuedConnection);
    }
    void reportLength(const QString& seenBy, double wallMs) const;

    Form1& form_;
    int clickEvery_;
    bool listLateTicks_;
    QEventLoop loop_;
    std::array<std::vector<double>, kPhaseCount> intervals_, lateness_;
    BenchClock::time_point restart_, anchor_, firstBoard_, gameOver_;
    int sinceAnchor_ = 0;
    bool titleStarted_ = false;
    double firstTitleTickMs_ = 0, formLoadMs_ = 0;
    double clickGapMs_ = 0;   // from a measuring tick to the click that replaces the next
    double dealFirstMs_ = 0;  // a verdict tick's deal, before the period goes back to 100 ms
    int measuringTicks_ = 0, verdicts_ = 0;
    // Each measuring tick, and whether its count ran from the measuring tick before it.
    std::vector<std::pair<BenchClock::time_point, bool>> gaugeMoves_;
};

void TimedGame::play() {
    form_.Timer1.onTimer = [this] { tick(); };
    // Form_Load starts the 20 ms timer part way through, and on a screen its first ticks may come
    // while it waits for the window to show.
    const auto before = BenchClock::now();
    restartAt(before);
    form_.Form_Load();
    formLoadMs_ = millisBetween(before, BenchClock::now());
    form_.showFullScreen();
    loop_.exec();
    form_.Timer1.onTimer = [] {};
}

void TimedGame::tick() {
    const auto t0 = BenchClock::now();
    const QString before = form_.mode;
    form_.Timer1_Timer();
    const auto t1 = BenchClock::now();
    const int phase = phaseOf(before);
    if (phase < 0) return;
    if (phase == kTitle && !titleStarted_) {
        // The timer started somewhere inside Form_Load: the title's intervals count from here.
        titleStarted_ = true;
        firstTitleTickMs_ = millisBetween(restart_, t0);
        restartAt(t0);
        return;
    }
    if (phase == kMeasuring)
        gaugeMoves_.emplace_back(t0, !gaugeMoves_.empty() && gaugeMoves_.back().first == restart_);
    intervals_[phase].push_back(millisBetween(restart_, t0));
    if (listLateTicks_ && std::abs(intervals_[phase].back() - kPeriodMs[phase]) > kLateListMs)
        std::printf("  %s tick %zu: interval %.3f ms, its step took %.3f ms\n", kPhaseName[phase],
                    intervals_[phase].size(), intervals_[phase].back(), millisBetween(t0, t1));
    ++sinceAnchor_;
    lateness_[phase].push_back(millisBetween(anchor_, t0) - sinceAnchor_ * kPeriodMs[phase]);
    restart_ = t0;
    if (phase == kCountDown && form_.mode == Mode::Measuring) {
        // The window's timer takes its 100 ms period before the first board is dealt.
        firstBoard_ = t0;
        restartAt(firstBoard_);
    }
    if (phase == kVerdict) {
        // The window's timer goes back to 100 ms after the new board is dealt.
        restartAt(t1);
        dealFirstMs_ += std::max(0.0, millisBetween(t0, restart_));
    }
    if (phase == kTitle && !form_.Timer1.enabled()) later([this] { startGame(); });
    if (phase == kMeasuring) {
        ++measuringTicks_;
        if (form_.mode == Mode::GameOver) {
            gameOver_ = t0;
            // Its frame is painted and reaches the X server before the game is left.
            QTimer::singleShot(kLastFrameMs, &loop_, &QEventLoop::quit);
        } else if (clickEvery_ > 0 && measuringTicks_ % clickEvery_ == 0) {
            later([this] { click(); });
        }
    }
}

void TimedGame::startGame() {
    form_.Command1_Click(0);
    form_.HScroll1->setValue(kBenchLevel);
    const auto at = BenchClock::now();
    form_.Label4_Click(1);
    restartAt(at);
}

// The player answers right: the time since the last measuring tick is not charged.
void TimedGame::click() {
    if (form_.mode != Mode::Measuring) return;
    const auto at = BenchClock::now();
    ++verdicts_;
    form_.Label1_Click(form_.answerIndex);
    clickGapMs_ += millisBetween(restart_, at);
    restartAt(at);
}

QString ms(double value, int decimals = 3) {
    return QString::number(value, 'f', decimals);
}

double mean(const std::vector<double>& values) {
    double sum = 0;
    for (double v : values) sum += v;
    return values.empty() ? 0 : sum / values.size();
}

// One row of intervals against their period: their count and mean, the median, 99th percentile
// and largest deviation, the mean lateness when it is known, and the verdicts.
void printIntervals(const QString& label, int periodMs, const std::vector<double>& values,
                    const QString& meanLate, double p99TargetMs = kP99TargetMs) {
    if (values.empty()) return;
    std::vector<double> deviations;
    deviations.reserve(values.size());
    for (double v : values) deviations.push_back(std::abs(v - periodMs));
    const double median = percentile(deviations, 50), p99 = percentile(deviations, 99);
    printRow(
        {QStringLiteral("%1 (%2 ms)").arg(label).arg(periodMs), QString::number(values.size()),
         ms(mean(values)), ms(median), ms(p99), ms(percentile(deviations, 100)), meanLate,
         values.size() < kJudgedIntervals
             ? QStringLiteral("-")
             : verdict(median < kMedianTargetMs) + QLatin1Char('/') + verdict(p99 < p99TargetMs)});
}

void TimedGame::report(const ScreenWatch* screen) const {
    printRow({QStringLiteral("phase (period)"), QStringLiteral("intervals"),
              QStringLiteral("mean ms"), QStringLiteral("median |dev|"),
              QStringLiteral("p99 |dev|"), QStringLiteral("max |dev|"), QStringLiteral("mean late"),
              QStringLiteral("median/p99")});
    for (int phase = 0; phase < kPhaseCount; ++phase)
        printIntervals(QString::fromLatin1(kPhaseName[phase]), kPeriodMs[phase], intervals_[phase],
                       ms(mean(lateness_[phase])));
    // The gauge as the X server receives it: the frame of each measuring tick whose count ran
    // from the tick before, against that tick's frame.
    const auto frameOf = [screen](BenchClock::time_point tick) {
        return screen ? screen->firstDrawnAfter(tick) : std::nullopt;
    };
    std::vector<double> frameIntervals;
    for (std::size_t i = 1; i < gaugeMoves_.size(); ++i) {
        const auto from = frameOf(gaugeMoves_[i - 1].first), to = frameOf(gaugeMoves_[i].first);
        if (gaugeMoves_[i].second && from && to)
            frameIntervals.push_back(millisBetween(*from, *to));
    }
    printIntervals(QStringLiteral("gauge frames at X"), kUnitMs, frameIntervals,
                   QStringLiteral("-"), kFrameP99TargetMs);
    std::printf(
        "(title: intervals from its first tick, which came %.3f ms after Form_Load "
        "began; Form_Load took %.3f ms)\n",
        firstTitleTickMs_, formLoadMs_);

    std::printf("\n%d measuring ticks + %d verdicts = %d units of the game's time\n",
                measuringTicks_, verdicts_, kGameUnits - form_.timeLeft);
    printRow({QStringLiteral("first board to game over"), QStringLiteral("wall s"),
              QStringLiteral("nominal s"), QStringLiteral("wall-nominal"),
              QStringLiteral("tick>click"), QStringLiteral("deal>restart"),
              QStringLiteral("timer error"), QStringLiteral("under a step")});
    reportLength(QStringLiteral("the timer's ticks"), millisBetween(firstBoard_, gameOver_));
    const auto firstFrame = frameOf(firstBoard_), lastFrame = frameOf(gameOver_);
    if (firstFrame && lastFrame)
        reportLength(QStringLiteral("frames at the X server"),
                     millisBetween(*firstFrame, *lastFrame));
}

// The game's length from its first board to game over as `seenBy` times it, less what the rules
// charge to no unit; what remains is the timer error.
void TimedGame::reportLength(const QString& seenBy, double wallMs) const {
    const double nominal = double(kGameUnits - form_.timeLeft) * kUnitMs;
    const double timerError = wallMs - nominal - clickGapMs_ - dealFirstMs_;
    printRow({seenBy, ms(wallMs / 1000.0, 4), ms(nominal / 1000.0, 4), ms(wallMs - nominal),
              ms(clickGapMs_), ms(dealFirstMs_), ms(timerError),
              verdict(std::abs(timerError) < kGameLengthTargetMs)});
}

}  // namespace

void benchTimer(int clickEvery, bool listLateTicks, const ScreenWatch& screen) {
    const QString source = QStringLiteral("the window's Timer (a precise QTimer)");
    printHeading(
        clickEvery > 0
            ? QStringLiteral("%1: level-9 game, the right cell clicked after every "
                             "%2th measuring tick")
                  .arg(source)
                  .arg(clickEvery)
            : QStringLiteral("%1: level-9 game played to the end without a click").arg(source));
    BenchWindow window;
    TimedGame game(*window.form, clickEvery, listLateTicks);
    game.play();
    // The frames are this window's only while it is on the watched X server.
    const bool seen = screen.problem().isEmpty() && QGuiApplication::platformName() == "xcb";
    if (!seen)
        std::printf("(frames not seen: %s)\n", screen.problem().isEmpty()
                                                   ? "the window is not on an X server"
                                                   : screen.problem().toUtf8().constData());
    game.report(seen ? &screen : nullptr);
}
