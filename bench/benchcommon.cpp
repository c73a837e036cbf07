// Clocks, figures, memory readings and tables shared by the parts of the benchmark.

#include "bench.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace {

constexpr int kColumnWidth = 14;
constexpr int kFirstColumnWidth = 32;

}  // namespace

double millisBetween(BenchClock::time_point from, BenchClock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * values.size()));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

long statusKb(const char* field, qint64 pid) {
    QFile status(pid > 0 ? QStringLiteral("/proc/%1/status").arg(pid)
                         : QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (!line.startsWith(prefix)) continue;
        const QByteArray number = line.mid(prefix.size()).trimmed().split(' ').value(0);
        bool ok = false;
        const long kb = number.toLong(&ok);
        return ok ? kb : -1;
    }
    return -1;
}

void printRow(const std::vector<QString>& cells) {
    QString line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const int width = i == 0 ? kFirstColumnWidth : kColumnWidth;
        line += i == 0 ? cells[i].leftJustified(width) : cells[i].rightJustified(width);
    }
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

void printHeading(const QString& title) {
    std::printf("\n== %s ==\n(%s)\n", title.toUtf8().constData(),
                machineLoad().toUtf8().constData());
    std::fflush(stdout);
}

QString machineLoad() {
    QFile loadavg(QStringLiteral("/proc/loadavg"));
    const QByteArray averages =
        loadavg.open(QIODevice::ReadOnly) ? loadavg.readAll().trimmed() : QByteArray("?");
    return QStringLiteral("%1 CPUs, load average %2")
        .arg(QThread::idealThreadCount())
        .arg(QString::fromLatin1(averages.split(' ').mid(0, 3).join(' ')));
}

namespace {

constexpr double kQuietBusyShare = 0.2;  // of all CPUs: a machine this busy counts as quiet
constexpr int kBusySampleMs = 1000;

// The CPUs' busy and total time so far, in ticks, from /proc/stat.
std::pair<double, double> cpuTicks() {
    QFile stat(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly)) return {0, 0};
    const QList<QByteArray> fields = stat.readLine().simplified().split(' ');
    double total = 0, idle = 0;
    for (qsizetype i = 1; i < fields.size(); ++i) {
        total += fields[i].toDouble();
        if (i == 4 || i == 5) idle += fields[i].toDouble();  // idle and waiting for the disk
    }
    return {total - idle, total};
}

// The share of all CPUs that was busy over the next second.
double busyShare() {
    const auto [busyBefore, totalBefore] = cpuTicks();
    QThread::msleep(kBusySampleMs);
    const auto [busyAfter, totalAfter] = cpuTicks();
    return totalAfter > totalBefore ? (busyAfter - busyBefore) / (totalAfter - totalBefore) : 1.0;
}

}  // namespace

QString waitForQuietMachine(int maxWaitSeconds) {
    const auto started = BenchClock::now();
    std::printf("waiting up to %d s for the CPUs to be under %.0f%% busy ...\n", maxWaitSeconds,
                100 * kQuietBusyShare);
    std::fflush(stdout);
    double busy = busyShare();
    while (busy >= kQuietBusyShare &&
           millisBetween(started, BenchClock::now()) < 1000.0 * maxWaitSeconds)
        busy = busyShare();
    const double waited = millisBetween(started, BenchClock::now()) / 1000;
    return QStringLiteral("%1 after %2 s: %3% of the CPUs busy over the last second (%4)")
        .arg(busy < kQuietBusyShare ? QStringLiteral("quiet")
                                    : QStringLiteral("NOT QUIET, measured anyway"))
        .arg(waited, 0, 'f', 0)
        .arg(100 * busy, 0, 'f', 0)
        .arg(machineLoad());
}

QString verdict(bool met) {
    return met ? QStringLiteral("ok") : QStringLiteral("MISSED");
}

Form1Seams benchSeams(const QString& folder) {
    Form1Seams seams = Form1Seams::real();
    seams.warn = [](QWidget*, const QString&, const QString&, const QString&) {};
    seams.endProgram = [] {};
    seams.dataFolder = DataFolder(folder);
    return seams;
}

void makeDataFiles(const QString& folder, qint64 bytes) {
    ColourTable palette = defaultPalette();
    palette[1] = {10, 20, 30};
    HighScoreTable table = defaultHighScores();
    table[1] = {fixedLengthName(u"played"), 3};
    const std::pair<const char*, QByteArray> files[] = {{"jx.hsd", encodeHighScores(table)},
                                                        {"jx.iro", encodePalette(palette)}};
    for (const auto& [name, start] : files) {
        QFile file(folder + '/' + name);
        if (!file.open(QIODevice::WriteOnly) || file.write(start) != start.size() ||
            !file.resize(std::max<qint64>(bytes, start.size())))
            std::fprintf(stderr, "cannot make %s\n", name);
    }
}

BenchWindow::BenchWindow() : form(std::make_unique<Form1>(benchSeams(folder.path()))) {}

bool screenMeasurable(const ScreenWatch& screen) {
    if (screen.problem().isEmpty()) return true;
    std::printf("not measured: %s (run it under Xvfb, see bench/README.md)\n",
                screen.problem().toUtf8().constData());
    return false;
}

QList<QByteArray> childFigures(const QString& argument) {
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments({argument});
    child.setStandardErrorFile(QProcess::nullDevice());
    child.start();
    child.waitForFinished(-1);
    return child.readAllStandardOutput().trimmed().split(' ');
}
