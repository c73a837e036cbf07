// Timer precision: one whole game in the shown window through the real event loop, from the
// title's logo slide through the count-down and the boards to the game-over tick, with every tick
// stamped by the bench clock, from the window's own timer.

#include "bench.h"

#include "game/modes.h"

#include <QEventLoop>
#include <QMetaObject>

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
constexpr double kMedianTargetMs = 1.0, kP99TargetMs = 2.0, kBudgetTargetMs = 5.0;
constexpr int kBenchLevel = kMaxLevel;  // the largest board
constexpr double kLateListMs = 1.0;     // --late-ticks lists the ticks this far off their period

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
    void report() const;

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
};

void TimedGame::play() {
    form_.Timer1.onTimer = [this] { tick(); };
    const auto before = BenchClock::now();
    form_.Form_Load();  // starts the 20 ms timer part way through
    formLoadMs_ = millisBetween(before, BenchClock::now());
    restartAt(BenchClock::now());
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
            later([this] { loop_.quit(); });
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

void TimedGame::report() const {
    printRow({QStringLiteral("phase (period)"), QStringLiteral("intervals"),
              QStringLiteral("mean ms"), QStringLiteral("median |dev|"),
              QStringLiteral("p99 |dev|"), QStringLiteral("max |dev|"), QStringLiteral("mean late"),
              QStringLiteral("median/p99")});
    for (int phase = 0; phase < kPhaseCount; ++phase) {
        const auto& values = intervals_[phase];
        if (values.empty()) continue;
        std::vector<double> deviations;
        for (double v : values) deviations.push_back(std::abs(v - kPeriodMs[phase]));
        const double median = percentile(deviations, 50), p99 = percentile(deviations, 99);
        printRow(
            {QStringLiteral("%1 (%2 ms)").arg(kPhaseName[phase]).arg(kPeriodMs[phase]),
             QString::number(values.size()), ms(mean(values)), ms(median), ms(p99),
             ms(percentile(deviations, 100)), ms(mean(lateness_[phase])),
             verdict(median < kMedianTargetMs) + QLatin1Char('/') + verdict(p99 < kP99TargetMs)});
    }
    std::printf(
        "(title: intervals from its first tick, which came %.3f ms after Form_Load "
        "returned; Form_Load took %.3f ms)\n",
        firstTitleTickMs_, formLoadMs_);

    const int units = kGameUnits - form_.timeLeft;
    const double wall = millisBetween(firstBoard_, gameOver_);
    const double nominal = double(units) * kUnitMs;
    const double timerError = wall - nominal - clickGapMs_ - dealFirstMs_;
    std::printf("\n");
    printRow({QStringLiteral("first board to game over"), QStringLiteral("wall s"),
              QStringLiteral("nominal s"), QStringLiteral("wall-nominal"),
              QStringLiteral("tick>click"), QStringLiteral("deal>restart"),
              QStringLiteral("timer error"), QStringLiteral("within 5 ms")});
    printRow({QStringLiteral("%1 ticks+%2 verdicts=%3 units")
                  .arg(measuringTicks_)
                  .arg(verdicts_)
                  .arg(units),
              ms(wall / 1000.0, 4), ms(nominal / 1000.0, 4), ms(wall - nominal), ms(clickGapMs_),
              ms(dealFirstMs_), ms(timerError), verdict(std::abs(timerError) < kBudgetTargetMs)});
}

}  // namespace

void benchTimer(int clickEvery, bool listLateTicks) {
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
    game.report();
}
