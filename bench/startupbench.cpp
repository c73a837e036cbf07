// Start-up: from starting the process to the first painted frame of the game's title screen,
// beside the same for a minimal window built in this program, and the peak memory of both. Each
// figure comes from a child process running this program in its first-paint mode.

#include "bench.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QProcess>

#include <array>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kChildTimeoutMs = 30000;
constexpr double kStartUpRatioTarget = 1.25;
constexpr long kPeakMemoryTargetKb = 40 * 1024;
const std::array<QString, 3> kKinds{QStringLiteral("minimal"), QStringLiteral("game"),
                                    QStringLiteral("game")};
const std::array<QString, 3> kKindLabels{QStringLiteral("minimal QWidget + QLabel"),
                                         QStringLiteral("game: Form1, Form_Load, show"),
                                         QStringLiteral("game, both files 2 GiB sparse")};

// Notes when the watched window has painted.
class PaintWatch : public QObject {
  public:
    bool painted = false;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted = true;
        return false;
    }
};

// The stages of a child's start: QApplication made, window built, Form_Load done (the game only),
// first frame painted.
enum Stage { kApplication, kBuilt, kLoaded, kPainted, kStageCount };

struct ChildFigures {
    std::array<double, kStageCount> stageMs{-1, -1, -1, -1};
    long peakKb = -1;
    bool ok() const { return stageMs[kPainted] >= 0; }
};

long long stamp() {
    return static_cast<long long>(
        std::chrono::nanoseconds(BenchClock::now().time_since_epoch()).count());
}

// Runs this program as a first-paint child of `kind` and reads its figures.
ChildFigures runChild(const QString& kind, const QString& folder) {
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments({QStringLiteral("--first-paint"), kind, folder});
    const auto started = BenchClock::now();
    child.start();
    if (!child.waitForFinished(kChildTimeoutMs)) {
        child.kill();
        child.waitForFinished();
        return {};
    }
    const QList<QByteArray> words = child.readAllStandardOutput().trimmed().split(' ');
    if (words.size() != kStageCount + 2 || words[0] != "first-paint") {
        std::fprintf(stderr, "first-paint child %s failed: %s\n", kind.toUtf8().constData(),
                     child.readAllStandardError().constData());
        return {};
    }
    ChildFigures figures;
    for (int stage = 0; stage < kStageCount; ++stage) {
        const auto at =
            BenchClock::time_point(std::chrono::nanoseconds(words[1 + stage].toLongLong()));
        figures.stageMs[stage] = millisBetween(started, at);
    }
    figures.peakKb = words[kStageCount + 1].toLong();
    return figures;
}

}  // namespace

int firstPaintChild(int argc, char** argv, const QString& kind, const QString& folder) {
    std::array<long long, kStageCount> stamps{};
    QApplication app(argc, argv);
    stamps[kApplication] = stamp();
    std::unique_ptr<QWidget> window;
    if (kind == QLatin1String("game")) {
        auto form = std::make_unique<Form1>(benchSeams(folder));
        stamps[kBuilt] = stamp();
        form->Form_Load();
        window = std::move(form);
    } else {
        window = std::make_unique<QWidget>();
        new QLabel(QStringLiteral("Tintmaze"), window.get());
        stamps[kBuilt] = stamp();
    }
    stamps[kLoaded] = stamp();
    PaintWatch watch;
    window->installEventFilter(&watch);
    // The first time the event loop goes idle after a paint, the frame is painted and flushed.
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     [&watch, &stamps] {
                         if (!watch.painted) return;
                         stamps[kPainted] = stamp();
                         std::printf("first-paint %lld %lld %lld %lld %ld\n", stamps[0], stamps[1],
                                     stamps[2], stamps[3], statusKb("VmHWM"));
                         std::fflush(stdout);
                         std::_Exit(0);
                     });
    window->showFullScreen();
    return app.exec();
}

void benchStartUp(int runs) {
    printHeading(QStringLiteral("Start-up to the first painted frame, median of %1 child processes")
                     .arg(runs));
    QTemporaryDir folder, hugeFolder;
    makeHugeDataFiles(hugeFolder.path());
    const std::array<QString, 3> folders{folder.path(), folder.path(), hugeFolder.path()};
    // The first run of the game writes its two data files; every counted run then reads them.
    for (int kind = 0; kind < 3; ++kind) runChild(kKinds[kind], folders[kind]);

    std::array<std::vector<ChildFigures>, 3> runsOf;  // minimal, game, game with huge files
    for (int i = 0; i < runs; ++i) {
        for (int kind = 0; kind < 3; ++kind) {
            const ChildFigures figures = runChild(kKinds[kind], folders[kind]);
            if (figures.ok()) runsOf[kind].push_back(figures);
        }
    }
    const auto stageMedian = [&runsOf](int kind, int stage) {
        std::vector<double> values;
        for (const ChildFigures& f : runsOf[kind]) values.push_back(f.stageMs[stage]);
        return percentile(values, 50);
    };
    const auto peak = [&runsOf](int kind) {
        long most = -1;
        for (const ChildFigures& f : runsOf[kind]) most = std::max(most, f.peakKb);
        return most;
    };

    printRow({QStringLiteral("median ms from process start"), QStringLiteral("QApplication"),
              QStringLiteral("built"), QStringLiteral("loaded"), QStringLiteral("painted"),
              QStringLiteral("runs"), QStringLiteral("peak kB")});
    for (int kind = 0; kind < 3; ++kind) {
        std::vector<QString> row{kKindLabels[kind]};
        for (int stage = 0; stage < kStageCount; ++stage)
            row.push_back(QString::number(stageMedian(kind, stage), 'f', 1));
        row.push_back(QString::number(runsOf[kind].size()));
        row.push_back(QString::number(peak(kind)));
        printRow(row);
    }
    const double floor = stageMedian(0, kPainted), game = stageMedian(1, kPainted);
    const double ratio = floor > 0 ? game / floor : 0;
    std::printf(
        "start-up %.1f ms against the floor's %.1f ms: x%.2f (target x%.2f) %s; "
        "peak memory %ld kB (target under %ld kB) %s\n",
        game, floor, ratio, kStartUpRatioTarget,
        verdict(ratio <= kStartUpRatioTarget).toUtf8().constData(), peak(1), kPeakMemoryTargetKb,
        verdict(peak(1) > 0 && peak(1) < kPeakMemoryTargetKb).toUtf8().constData());
}
