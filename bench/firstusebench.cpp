// The screens the title's first frame does not show, at their first use in a fresh window, timed
// to the frame the X server receives.

#include "bench.h"

#include "game/modes.h"
#include "game/rules.h"

#include <QApplication>
#include <QElapsedTimer>

#include <array>
#include <cstdio>
#include <functional>

namespace {

constexpr double kOneFrameMs = 1000.0 / 60;  // one refresh of a 60 Hz screen
constexpr int kFrameWaitMs = 2000;
constexpr int kSettleMs = 5000;  // the title's logo slides in for about 1.5 s
constexpr int kQuietMs = 200;

// Lets the window run until its timer has stopped (the title's logo at rest) and the screen has
// not changed for a while, so that the next frame is the one an action causes.
void settle(Form1& form, const ScreenWatch& screen) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < kSettleMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        const auto quietSince = BenchClock::now() - std::chrono::milliseconds(kQuietMs);
        if (!form.Timer1.enabled() && waited.elapsed() > kQuietMs &&
            !screen.firstDrawnAfter(quietSince))
            return;
    }
}

// Milliseconds from the start of `action` to the first change of the screen after it; -1 when
// none came.
double toNextFrame(const ScreenWatch& screen, const std::function<void()>& action) {
    const auto started = BenchClock::now();
    action();
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < kFrameWaitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (const auto frame = screen.firstDrawnAfter(started))
            return millisBetween(started, *frame);
    }
    return -1;
}

// The screens timed at their first use, in the order a child process opens them.
const std::array<const char*, 5> kFirstUses{"colour panel (ColorOption)", "name entry (a new best)",
                                            "level dialog (Enter)", "best-score table (High Score)",
                                            "verdict (the right cell)"};

}  // namespace

int firstUses(int argc, char** argv) {
    QApplication app(argc, argv);
    const ScreenWatch screen;
    if (!screen.problem().isEmpty()) return 1;
    BenchWindow window;
    Form1& form = *window.form;
    form.Form_Load();
    settle(form, screen);
    const double panel = toNextFrame(screen, [&form] { form.Command1_Click(2); });
    form.Command4_Click();  // "Cansel"
    settle(form, screen);
    const double nameEntry = toNextFrame(screen, [&form] {
        form.level = 1;
        form.score = 99;
        form.High();
    });
    form.Form_KeyPress(kEnter);
    settle(form, screen);
    const double table = toNextFrame(screen, [&form] { form.Command1_Click(1); });
    form.Form_Click();  // back to the title
    settle(form, screen);
    const double levelDialog = toNextFrame(screen, [&form] { form.Form_KeyPress(kEnter); });
    form.Label4_Click(1);  // "OK": the count-down, then the first board, its timer stopped
    for (int tick = 0; tick < 3; ++tick) form.Timer1_Timer();
    form.Timer1.setEnabled(false);
    settle(form, screen);
    const double answered = toNextFrame(screen, [&form] { form.Label1_Click(form.answerIndex); });
    std::printf("%.3f %.3f %.3f %.3f %.3f\n", panel, nameEntry, levelDialog, table, answered);
    return 0;
}

void benchFirstUse(int runs, const ScreenWatch& screen) {
    printHeading(QStringLiteral("First use of each screen, from the action to its frame at the X "
                                "server, in %1 fresh game windows (child processes)")
                     .arg(runs));
    if (!screenMeasurable(screen)) return;
    std::array<std::vector<double>, kFirstUses.size()> times;
    for (int run = 0; run < runs; ++run) {
        const QList<QByteArray> figures = childFigures(QStringLiteral("--first-use"));
        if (figures.size() != static_cast<qsizetype>(times.size())) continue;
        for (std::size_t i = 0; i < times.size(); ++i)
            if (figures[i].toDouble() >= 0) times[i].push_back(figures[i].toDouble());
    }
    printRow({QStringLiteral("ms to the frame"), QStringLiteral("median"), QStringLiteral("max"),
              QStringLiteral("runs"), QStringLiteral("target"), QString()});
    for (std::size_t i = 0; i < times.size(); ++i) {
        const double median = percentile(times[i], 50), most = percentile(times[i], 100);
        printRow({QString::fromLatin1(kFirstUses[i]), QString::number(median, 'f', 1),
                  QString::number(most, 'f', 1), QString::number(times[i].size()),
                  QString::number(kOneFrameMs, 'f', 1),
                  verdict(!times[i].empty() && most <= kOneFrameMs)});
    }
    std::printf(
        "(median and largest of one first use in each child; the target, for the largest too, is "
        "one frame of a 60 Hz screen)\n");
}
