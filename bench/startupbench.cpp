// Start-up as a player sees it: from starting the process to the first frame the X server
// receives from its window, for the game and for a minimal window with one line of text in the
// game's fonts, started in turn and timed from outside by a ScreenWatch; and their peak memory.
// The game is judged by the ratio of each run to the minimal window's run beside it, once the
// machine is quiet enough for the pairs to mean something.

#include "bench.h"

#include "game/rules.h"
#include "window/theme.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int kChildTimeoutMs = 30000;
constexpr double kStartUpRatioTarget = 1.05;
constexpr double kCpuOverFloorTargetMs = 4;
constexpr long kPeakMemoryTargetKb = 40 * 1024;
const QStringList kPeers{QStringLiteral("gnome-mines"), QStringLiteral("kmines")};

// One kind of child: the game's `program`, or the minimal window when that is empty; its data
// files in `folder`.
struct Kind {
    QString label;
    QString program;
    const QTemporaryDir* folder;
};

struct ChildFigures {
    double mappedMs = -1, drawnMs = -1, cpuMs = -1;
    long peakKb = -1;
};

// The CPU time all threads of process `pid` have run so far, in ms (from each thread's schedstat,
// in ns); -1 when it cannot be read.
double cpuMsOf(qint64 pid) {
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    double ns = 0;
    bool any = false;
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile schedstat(tasks.filePath(task + QStringLiteral("/schedstat")));
        if (!schedstat.open(QIODevice::ReadOnly)) continue;
        ns += schedstat.readAll().split(' ').value(0).toDouble();
        any = true;
    }
    return any ? ns / 1e6 : -1;
}

// Starts a child of `kind` and times its window's map and first frame against the moment it
// was started; ends it and waits for its window to be gone. Nothing when it showed no frame.
std::optional<ChildFigures> runChild(const Kind& kind, const ScreenWatch& screen) {
    QProcess child;
    const bool minimal = kind.program.isEmpty();
    child.setProgram(minimal ? QCoreApplication::applicationFilePath() : kind.program);
    if (minimal) child.setArguments({QStringLiteral("--minimal-window")});
    child.setWorkingDirectory(kind.folder->path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    child.setProcessEnvironment(environment);
    child.setStandardOutputFile(QProcess::nullDevice());
    child.setStandardErrorFile(QProcess::nullDevice());

    const std::size_t from = screen.mark();
    const auto started = BenchClock::now();
    child.start();
    screen.stopAtFirstFrame(child.processId());
    std::optional<ChildFigures> figures;
    const auto mapped = screen.waitFor(ScreenEvent::Mapped, from, kChildTimeoutMs);
    const auto drawn =
        mapped ? screen.waitFor(ScreenEvent::Drawn, *mapped + 1, kChildTimeoutMs) : std::nullopt;
    if (drawn) {
        figures = ChildFigures{millisBetween(started, screen.at(*mapped).at),
                               millisBetween(started, screen.at(*drawn).at),
                               cpuMsOf(child.processId()), statusKb("VmHWM", child.processId())};
    } else {
        std::fprintf(stderr, "%s showed no frame\n", kind.label.toUtf8().constData());
    }
    child.kill();
    child.waitForFinished();
    // Its window is gone, and so is whatever that changed on the screen, before the next starts.
    if (mapped)
        screen.waitFor(ScreenEvent::Destroyed, *mapped, kChildTimeoutMs, screen.at(*mapped).window);
    return figures;
}

double median(const std::vector<ChildFigures>& runs, double ChildFigures::*figure) {
    std::vector<double> values;
    values.reserve(runs.size());
    for (const ChildFigures& run : runs) values.push_back(run.*figure);
    return percentile(values, 50);
}

long peak(const std::vector<ChildFigures>& runs) {
    long most = -1;
    for (const ChildFigures& run : runs) most = std::max(most, run.peakKb);
    return most;
}

// One round: a child of each kind, the kinds in turn; the order rotates from round to round, so
// that no kind always runs first after a pause. Nothing for a kind that showed no frame.
using Round = std::vector<std::optional<ChildFigures>>;
Round runRound(const std::vector<Kind>& kinds, std::size_t round, const ScreenWatch& screen) {
    Round figures(kinds.size());
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        const std::size_t k = (round + i) % kinds.size();
        figures[k] = runChild(kinds[k], screen);
    }
    return figures;
}

// The first frame of kind `k` over the minimal window's in the same round, for every round
// where both showed one.
std::vector<double> ratiosToFloor(const std::vector<Round>& rounds, std::size_t k) {
    std::vector<double> ratios;
    for (const Round& round : rounds)
        if (round[0] && round[k]) ratios.push_back(round[k]->drawnMs / round[0]->drawnMs);
    return ratios;
}

// The CPU time of kind `k` to its first frame less the minimal window's in the same round.
std::vector<double> cpuOverFloor(const std::vector<Round>& rounds, std::size_t k) {
    std::vector<double> differences;
    for (const Round& round : rounds)
        if (round[0] && round[k]) differences.push_back(round[k]->cpuMs - round[0]->cpuMs);
    return differences;
}

// The floor's window; with `printPeak`, its first paint is followed by the peak memory and the end.
class FloorWindow : public QLabel {
  public:
    FloorWindow(const QString& text, bool printPeak) : QLabel(text), printPeak_(printPeak) {}

  protected:
    void paintEvent(QPaintEvent* event) override {
        QLabel::paintEvent(event);
        if (!printPeak_) return;
        QTimer::singleShot(0, [] {
            std::printf("%ld\n", statusKb("VmHWM"));
            QCoreApplication::quit();
        });
    }

  private:
    bool printPeak_;
};

}  // namespace

int minimalWindow(int argc, char** argv, bool printPeak) {
    QApplication app(argc, argv);
    FloorWindow window(
        QStringLiteral("Game Start ") + QString::fromUtf16(kColourWords, kColourCount), printPeak);
    QFont font = describedFont(kComicSans, 27.75, true);
    font.setFamilies({kComicSansStandIn, kPGothicStandIn});
    window.setFont(font);
    // Covering the screen as the game does, also where no window manager makes it full screen.
    window.setGeometry(QGuiApplication::primaryScreen()->geometry());
    window.showFullScreen();
    return app.exec();
}

void benchStartUp(int runs, const ScreenWatch& screen, const QString& program,
                  int quietWaitSeconds) {
    printHeading(QStringLiteral("Start-up to the first frame at the X server, %1 rounds of one "
                                "child process of each kind, started in turn")
                     .arg(runs));
    if (!screenMeasurable(screen)) return;
    std::printf("%s\n", waitForQuietMachine(quietWaitSeconds).toUtf8().constData());
    QTemporaryDir folder, hugeFolder;
    makeDataFiles(folder.path(), 0);
    makeDataFiles(hugeFolder.path(), kHugeFileBytes);
    std::vector<Kind> kinds{
        {QStringLiteral("minimal: QLabel, one line"), QString(), &folder},
        {QStringLiteral("game: %1").arg(program.section(QLatin1Char('/'), -1)), program, &folder},
        {QStringLiteral("game, both files 2 GiB sparse"), program, &hugeFolder},
    };
    // Games a player might pick instead, where they are installed.
    for (const QString& peer : kPeers) {
        const QString path = QStandardPaths::findExecutable(peer, {QStringLiteral("/usr/games")});
        if (!path.isEmpty())
            kinds.push_back({QStringLiteral("peer: ") + peer, path, &folder});
        else
            std::printf("peer %s: not installed\n", peer.toUtf8().constData());
    }
    // The first round only brings the programs and their fonts into the page cache.
    runRound(kinds, 0, screen);
    std::vector<Round> rounds;
    rounds.reserve(runs);
    for (int i = 0; i < runs; ++i) rounds.push_back(runRound(kinds, i, screen));
    const QString loadAfter = machineLoad();

    std::vector<std::vector<ChildFigures>> runsOf(kinds.size());
    for (const Round& round : rounds)
        for (std::size_t k = 0; k < kinds.size(); ++k)
            if (round[k]) runsOf[k].push_back(*round[k]);
    printRow({QStringLiteral("ms from process start"), QStringLiteral("mapped"),
              QStringLiteral("first frame"), QStringLiteral("x minimal"),
              QStringLiteral("(p25-p75)"), QStringLiteral("CPU ms"), QStringLiteral("CPU-minimal"),
              QStringLiteral("peak kB")});
    for (std::size_t k = 0; k < kinds.size(); ++k) {
        const std::vector<double> ratios = ratiosToFloor(rounds, k);
        printRow({kinds[k].label,
                  QString::number(median(runsOf[k], &ChildFigures::mappedMs), 'f', 1),
                  QString::number(median(runsOf[k], &ChildFigures::drawnMs), 'f', 1),
                  QString::number(percentile(ratios, 50), 'f', 3),
                  QStringLiteral("%1-%2")
                      .arg(percentile(ratios, 25), 0, 'f', 2)
                      .arg(percentile(ratios, 75), 0, 'f', 2),
                  QString::number(median(runsOf[k], &ChildFigures::cpuMs), 'f', 1),
                  QString::number(percentile(cpuOverFloor(rounds, k), 50), 'f', 1),
                  QString::number(peak(runsOf[k]))});
    }
    std::printf(
        "(times: medians over the rounds; x minimal: median over the rounds of the kind's "
        "first frame over the minimal window's in the same round; CPU ms: all its threads' CPU "
        "time up to the first frame, stopped by the screen watch as the frame arrives; "
        "CPU-minimal: the median "
        "over the rounds of that less the minimal window's; peak kB: the largest VmHWM at the "
        "first frame)\n(after the rounds: %s)\n",
        loadAfter.toUtf8().constData());
    const std::vector<double> ratios = ratiosToFloor(rounds, 1);
    if (ratios.empty()) {
        std::printf("start-up not measured: a kind of child showed no frame\n");
        return;
    }
    const double ratio = percentile(ratios, 50);
    const double cpuOver = percentile(cpuOverFloor(rounds, 1), 50);
    std::printf(
        "start-up x%.3f the minimal window (target x%.2f) %s; CPU to the first frame %+.1f ms "
        "over the minimal window's (target within %.0f ms) %s; "
        "peak memory at the first frame %ld kB (target under %ld kB) %s\n",
        ratio, kStartUpRatioTarget, verdict(ratio <= kStartUpRatioTarget).toUtf8().constData(),
        cpuOver, kCpuOverFloorTargetMs,
        verdict(cpuOver <= kCpuOverFloorTargetMs).toUtf8().constData(), peak(runsOf[1]),
        kPeakMemoryTargetKb,
        verdict(peak(runsOf[1]) > 0 && peak(runsOf[1]) < kPeakMemoryTargetKb).toUtf8().constData());
}
