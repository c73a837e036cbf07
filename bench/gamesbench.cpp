// The peak memory of the game's own program after whole games played in real time, driven from
// outside as a player would (xdotool's clicks and keys on the X server), against the floor: the
// minimal window of the start-up part at its first frame.

#include "bench.h"

#include "game/layout.h"
#include "game/modes.h"
#include "game/rules.h"
#include "scores/highscores.h"
#include "window/layout.h"
#include "window/twips.h"

#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QThread>

#include <cstdio>
#include <random>

namespace {

constexpr int kCellPixels = kCellSize / kTwipsPerPixel;
constexpr int kClickPeriodMs = kVerdictTickMs + kMeasureTickMs * 3 / 2;  // a verdict, then a tick
constexpr int kStopClickingMs = kGameTimeMs - 2000;  // no click meets the game-over screen
constexpr int kGameOverWaitMs = 3000;                // after the budget, the picture is up
constexpr int kTitleWaitMs = 3000;                   // the title's logo has come to rest
constexpr int kNameWaitMs = 5000;
constexpr double kGamesOverFloorTarget = 1.10;
const QString kPlayerName = QStringLiteral("Bench");

// Runs xdotool with `arguments` on this bench's display, waiting for it.
void xdotool(const QStringList& arguments) {
    QProcess::execute(QStringLiteral("xdotool"), arguments);
}

void clickAt(QPoint at) {
    xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
             QStringLiteral("click"), QStringLiteral("1")});
}

// A table every score beats, so that each game ends in the name entry and a stored name.
void writeBeatableTable(const QString& folder) {
    HighScoreTable table = defaultHighScores();
    for (int level = kMinLevel; level <= kMaxLevel; ++level) table[level].bestScore = -1;
    QFile file(folder + QStringLiteral("/jx.hsd"));
    if (!file.open(QIODevice::WriteOnly) || file.write(encodeHighScores(table)) < 0)
        std::fprintf(stderr, "cannot write jx.hsd\n");
}

QByteArray storedTable(const QString& folder) {
    QFile file(folder + QStringLiteral("/jx.hsd"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Where the game's window puts the board, in pixels of the screen it covers.
QPoint boardOrigin() {
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    const TwipRect board =
        layoutWindow(screen.width() * kTwipsPerPixel, screen.height() * kTwipsPerPixel).picture1;
    return {board.left / kTwipsPerPixel, board.top / kTwipsPerPixel};
}

struct GameCount {
    int clicks = 0, namesStored = 0;
};

// One whole game at `level` from the title: Enter, the level chosen with the keys, Enter, the
// count-down, a click on a random cell every kClickPeriodMs, the game over, a click on the board
// and a name stored.
void playOneGame(int level, const QString& folder, std::mt19937& random, GameCount& count) {
    const QPoint board = boardOrigin();
    writeBeatableTable(folder);
    xdotool({QStringLiteral("mousemove"), QString::number(board.x() + 64),
             QString::number(board.y() + 42)});
    QStringList keys{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("50"),
                     QStringLiteral("Return"), QStringLiteral("Home")};
    for (int step = kMinLevel; step < level; ++step) keys << QStringLiteral("Right");
    xdotool(keys << QStringLiteral("Return"));
    QThread::msleep(3 * kCountDownTickMs + kMeasureTickMs);
    const auto firstBoard = BenchClock::now();
    const int side = level + 1;
    std::uniform_int_distribution<int> cell(0, side * side - 1);
    while (millisBetween(firstBoard, BenchClock::now()) < kStopClickingMs) {
        const auto clicked = BenchClock::now();
        clickAt(board + cellPosition(level, cell(random)) / kTwipsPerPixel +
                QPoint(kCellPixels / 2, kCellPixels / 2));
        ++count.clicks;
        const double left = kClickPeriodMs - millisBetween(clicked, BenchClock::now());
        if (left > 0) QThread::msleep(static_cast<unsigned long>(left));
    }
    QThread::msleep(kGameTimeMs - kStopClickingMs + kGameOverWaitMs);
    const QByteArray before = storedTable(folder);
    clickAt(board + QPoint(64, 42));  // High: the name entry of a new best
    QThread::msleep(kVerdictTickMs);
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), kPlayerName});
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    for (int waited = 0; waited < kNameWaitMs && storedTable(folder) == before; waited += 100)
        QThread::msleep(100);
    if (storedTable(folder) != before) ++count.namesStored;
    QThread::msleep(kTitleWaitMs);
}

}  // namespace

void benchGamesMemory(int games, const QString& program) {
    printHeading(QStringLiteral("Peak memory of the game's program after %1 whole games, played "
                                "in real time with clicks and keys from outside")
                     .arg(games));
    if (qgetenv("DISPLAY").isEmpty() || QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::printf("not measured: no X server (run it under Xvfb, see bench/README.md)\n");
        return;
    }
    QTemporaryDir folder;
    makeDataFiles(folder.path(), 0);
    QProcess game;
    game.setProgram(program);
    game.setWorkingDirectory(folder.path());
    game.setStandardOutputFile(QProcess::nullDevice());
    game.setStandardErrorFile(QProcess::nullDevice());
    game.start();
    if (!game.waitForStarted()) {
        std::printf("not measured: %s did not start\n", program.toUtf8().constData());
        return;
    }
    QThread::msleep(kTitleWaitMs);
    const long atTitle = statusKb("VmHWM", game.processId());
    std::mt19937 random(std::random_device{}());
    GameCount count;
    for (int i = 0; i < games && game.state() == QProcess::Running; ++i)
        playOneGame(kMinLevel + i % kLevelCount, folder.path(), random, count);
    const long afterGames = statusKb("VmHWM", game.processId());
    game.kill();
    game.waitForFinished();
    const QList<QByteArray> floor = childFigures(QStringLiteral("--minimal-window-peak"));
    const long floorKb = floor.value(0).toLong();
    const double ratio = floorKb > 0 && afterGames > 0 ? double(afterGames) / floorKb : 0;
    printRow({QStringLiteral("VmHWM kB"), QStringLiteral("at title"), QStringLiteral("after games"),
              QStringLiteral("floor"), QStringLiteral("x floor"), QStringLiteral("target")});
    printRow({QStringLiteral("%1 games, levels 1 to 9").arg(games), QString::number(atTitle),
              QString::number(afterGames), QString::number(floorKb), QString::number(ratio, 'f', 3),
              QStringLiteral("x%1 ").arg(kGamesOverFloorTarget, 0, 'f', 2) +
                  verdict(ratio > 0 && ratio <= kGamesOverFloorTarget)});
    std::printf(
        "(%d cell clicks, %d names stored; floor: the minimal window, one line in the "
        "game's fonts, at its first frame)\n",
        count.clicks, count.namesStored);
}
