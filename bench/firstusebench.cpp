// The screens the title's first frame does not show, at their first use in a fresh window, timed
// to the frame the X server receives; and the peak memory of a game process after 20 games,
// played in a child process of its own.

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
constexpr int kGames = 20;
constexpr int kPointsEvery = 4;  // the played games answer right at every 4th tick
constexpr double kGamesOverFloorTarget = 1.10;

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
const std::array<const char*, 4> kFirstUses{"colour panel (ColorOption)", "name entry (a new best)",
                                            "level dialog (Enter)",
                                            "best-score table (High Score)"};

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
    std::printf("%.3f %.3f %.3f %.3f\n", panel, nameEntry, levelDialog, table);
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
        const double median = percentile(times[i], 50);
        printRow({QString::fromLatin1(kFirstUses[i]), QString::number(median, 'f', 1),
                  QString::number(percentile(times[i], 100), 'f', 1),
                  QString::number(times[i].size()), QString::number(kOneFrameMs, 'f', 1),
                  verdict(!times[i].empty() && median <= kOneFrameMs)});
    }
    std::printf(
        "(median of one first use in each child; the target is one frame of a 60 Hz "
        "screen)\n");
}

int playGames(int argc, char** argv) {
    QApplication app(argc, argv);
    BenchWindow window;
    Form1& form = *window.form;
    form.Form_Load();
    QCoreApplication::processEvents();
    const long atStart = statusKb("VmHWM");
    for (int game = 0; game < kGames; ++game) {
        form.Command1_Click(0);  // "Game Start"
        form.HScroll1->setValue(kMinLevel + game % kLevelCount);
        form.Label4_Click(1);  // "OK"
        for (int tick = 0; form.mode != Mode::GameOver; ++tick) {
            if (form.mode == Mode::Measuring && tick % kPointsEvery == 0)
                form.Label1_Click(form.answerIndex);
            form.Timer1_Timer();
            QCoreApplication::processEvents();
        }
        form.Picture3_Click();  // a new best asks for a name, which Enter stores
        if (form.mode == Mode::NameEntry) form.Form_KeyPress(kEnter);
        QCoreApplication::processEvents();
    }
    std::printf("%ld %ld\n", atStart, statusKb("VmHWM"));
    return 0;
}

void benchGamesMemory() {
    printHeading(QStringLiteral("Peak memory of a fresh game window after %1 games").arg(kGames));
    const QList<QByteArray> figures = childFigures(QStringLiteral("--play-games"));
    const QList<QByteArray> floor = childFigures(QStringLiteral("--minimal-window-peak"));
    if (figures.size() != 2 || floor.size() != 1) {
        std::printf("not measured: the child playing the games or the floor did not finish\n");
        return;
    }
    const long games = figures[1].toLong(), floorKb = floor[0].toLong();
    const double ratio = floorKb > 0 ? double(games) / floorKb : 0;
    printRow({QStringLiteral("VmHWM kB"), QStringLiteral("started"), QStringLiteral("after games"),
              QStringLiteral("floor"), QStringLiteral("x floor"), QStringLiteral("target")});
    printRow({QStringLiteral("%1 games, levels 1 to 9").arg(kGames),
              QString::fromLatin1(figures[0]), QString::number(games), QString::number(floorKb),
              QString::number(ratio, 'f', 3),
              QStringLiteral("x%1 ").arg(kGamesOverFloorTarget, 0, 'f', 2) +
                  verdict(ratio > 0 && ratio <= kGamesOverFloorTarget)});
    std::printf("(floor: the minimal window, one line in the game's fonts, at its first frame)\n");
}
