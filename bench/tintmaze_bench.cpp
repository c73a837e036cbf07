// The game's benchmark: timer precision, dealing and repainting boards, start-up, the first use
// of the screens, memory and huge data files.
// Prints figures beside their targets; asserts nothing.
//
//   tintmaze_bench [timer] [boards] [startup] [firstuse] [memory] [hugefiles]
//                  [--runs N] [--boards N] [--click-every N] [--late-ticks] [--game PATH]
//                  [--games N]
//                  [--quiet-wait S]
//
// With no part named, every part runs. `--minimal-window`, `--minimal-window-peak`, `--first-use`
// are the child modes the start-up, first-use and memory parts run the bench itself in.

#include "bench.h"

#include <QApplication>
#include <QStringList>

#include <cstdio>

namespace {

constexpr int kDefaultRuns = 11;
constexpr int kDefaultStartUpRounds = 21;
constexpr int kDefaultFirstUseRuns = 30;
constexpr int kDefaultGames = 20;
constexpr int kDefaultQuietWaitSeconds = 60;
constexpr int kDefaultBoards = 1000;
constexpr int kDefaultClickEvery = 10;

// The text after option `name`, or `fallback`.
QString option(const QStringList& args, const QString& name, const QString& fallback) {
    const qsizetype at = args.indexOf(name);
    return at < 0 || at + 1 >= args.size() ? fallback : args[at + 1];
}

// The positive number after option `name`, or `fallback`.
int option(const QStringList& args, const QString& name, int fallback) {
    bool ok = false;
    const int value = option(args, name, QString()).toInt(&ok);
    return ok && value > 0 ? value : fallback;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // figures appear as they come, also in a pipe
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    if (args == QStringList{QStringLiteral("--minimal-window")})
        return minimalWindow(argc, argv, false);
    if (args == QStringList{QStringLiteral("--minimal-window-peak")})
        return minimalWindow(argc, argv, true);
    if (args == QStringList{QStringLiteral("--first-use")}) return firstUses(argc, argv);

    QApplication app(argc, argv);
    const QStringList parts{QStringLiteral("timer"),   QStringLiteral("boards"),
                            QStringLiteral("startup"), QStringLiteral("firstuse"),
                            QStringLiteral("memory"),  QStringLiteral("hugefiles")};
    bool any = false;
    for (const QString& part : parts) any = any || args.contains(part);
    const auto wanted = [&](const char* part) {
        return !any || args.contains(QLatin1String(part));
    };

    std::printf("Tintmaze benchmark on the \"%s\" platform\n",
                QGuiApplication::platformName().toUtf8().constData());
    const bool lateTicks = args.contains(QStringLiteral("--late-ticks"));
    const int clickEvery = option(args, QStringLiteral("--click-every"), kDefaultClickEvery);
    if (wanted("timer") || wanted("startup") || wanted("firstuse")) {
        // The parts that time frames; the watch keeps every change of the screen, so it is gone
        // before the memory is measured.
        const ScreenWatch screen;
        if (wanted("timer")) {
            benchTimer(0, lateTicks, screen);
            benchTimer(clickEvery, lateTicks, screen);
        }
        if (wanted("startup"))
            benchStartUp(option(args, QStringLiteral("--runs"), kDefaultStartUpRounds), screen,
                         option(args, QStringLiteral("--game"), QStringLiteral(TINTMAZE_PROGRAM)),
                         option(args, QStringLiteral("--quiet-wait"), kDefaultQuietWaitSeconds));
        if (wanted("firstuse"))
            benchFirstUse(option(args, QStringLiteral("--runs"), kDefaultFirstUseRuns), screen);
    }
    if (wanted("boards")) benchBoards(option(args, QStringLiteral("--boards"), kDefaultBoards));
    if (wanted("memory")) {
        benchMemoryGrowth(option(args, QStringLiteral("--boards"), kDefaultBoards));
        benchGamesMemory(option(args, QStringLiteral("--games"), kDefaultGames),
                         option(args, QStringLiteral("--game"), QStringLiteral(TINTMAZE_PROGRAM)));
    }
    if (wanted("hugefiles")) benchHugeFiles(option(args, QStringLiteral("--runs"), kDefaultRuns));
    return 0;
}
