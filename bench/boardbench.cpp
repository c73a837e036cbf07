// Dealing and repainting level-9 boards in the shown window, and the memory that 1,000 boards
// leave behind.

#include "bench.h"

#include "game/modes.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPixmap>
#include <QWindow>

#include <malloc.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

constexpr int kBenchLevel = kMaxLevel;  // the largest board
constexpr int kExposeWaitMs = 5000;
constexpr int kWarmUpBoards = 200;
constexpr double kMedianTargetMs = 2.0, kP99TargetMs = 5.0;
constexpr long kGrowthLimitKb = 4;  // either way: a page now and then is the allocator's

// Counts the paint events of the grid's cells.
class CellPaints : public QObject {
  public:
    long count = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++count;
        return false;
    }
};

// Shows the window and brings it, through the title and the level dialog, to the first board of
// a level-9 game; then stops the timer so that no tick falls into a measurement.
void bringToFirstBoard(Form1& form) {
    form.Form_Load();
    form.showFullScreen();
    QElapsedTimer waited;
    waited.start();
    while (!(form.windowHandle() && form.windowHandle()->isExposed()) &&
           waited.elapsed() < kExposeWaitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    form.Command1_Click(0);
    form.HScroll1->setValue(kBenchLevel);
    form.Label4_Click(1);
    for (int tick = 0; tick < 3; ++tick) form.Timer1_Timer();
    form.Timer1.setEnabled(false);
    QCoreApplication::processEvents();
}

// Times `boards` runs of one way of dealing and showing a board.
std::vector<double> timeBoards(int boards, const std::function<void()>& dealAndShow) {
    std::vector<double> times;
    times.reserve(boards);
    for (int i = 0; i < boards; ++i) {
        const auto start = BenchClock::now();
        dealAndShow();
        times.push_back(millisBetween(start, BenchClock::now()));
    }
    return times;
}

void reportBoards(const QString& way, const std::vector<double>& times, double cellsPerBoard) {
    const double median = percentile(times, 50), p99 = percentile(times, 99);
    printRow({way, QString::number(times.size()), QString::number(median, 'f', 3),
              QString::number(p99, 'f', 3), QString::number(percentile(times, 100), 'f', 3),
              QString::number(cellsPerBoard, 'f', 1),
              verdict(median < kMedianTargetMs) + QLatin1Char('/') + verdict(p99 < kP99TargetMs)});
}

}  // namespace

void benchBoards(int boards) {
    printHeading(
        QStringLiteral("Deal and repaint a level-9 board (100 cells) in the shown window"));
    BenchWindow window;
    Form1& form = *window.form;
    bringToFirstBoard(form);
    CellPaints paints;
    for (auto* cell : form.Label1) cell->installEventFilter(&paints);
    std::printf("window %dx%d pixels, mode %s, %d cells shown\n", form.width(), form.height(),
                form.mode.toUtf8().constData(),
                int(std::count_if(form.Label1.begin(), form.Label1.end(),
                                  [](Label* cell) { return cell->isVisible(); })));
    printRow({QStringLiteral("Iroduke() and then"), QStringLiteral("boards"),
              QStringLiteral("median ms"), QStringLiteral("p99 ms"), QStringLiteral("max ms"),
              QStringLiteral("cells/board"), QStringLiteral("targets")});

    const std::vector<std::pair<QString, std::function<void()>>> ways{
        {QStringLiteral("nothing (the deal alone)"), [&form] { form.Iroduke(); }},
        {QStringLiteral("repaint() Picture1, Label2"),
         [&form] {
             form.Iroduke();
             form.Picture1->repaint();
             form.Label2->repaint();
         }},
        {QStringLiteral("the event loop's update"),
         [&form] {
             form.Iroduke();
             QCoreApplication::processEvents();
         }},
        {QStringLiteral("grab() of the whole window"),
         [&form] {
             form.Iroduke();
             const QPixmap frame = form.grab();
             Q_UNUSED(frame);
         }},
    };
    for (const auto& [way, dealAndShow] : ways) {
        timeBoards(kWarmUpBoards / 4, dealAndShow);
        paints.count = 0;
        const auto times = timeBoards(boards, dealAndShow);
        reportBoards(way, times, double(paints.count) / boards);
    }
}

void benchMemoryGrowth(int boards) {
    printHeading(QStringLiteral("Memory over %1 level-9 boards (deal and repaint)").arg(boards));
    BenchWindow window;
    Form1& form = *window.form;
    bringToFirstBoard(form);
    const auto dealAndShow = [&form] {
        form.Iroduke();
        form.Picture1->repaint();
        form.Label2->repaint();
        QCoreApplication::processEvents();
    };
    timeBoards(kWarmUpBoards, dealAndShow);
    // All resident pages, and those of the heap alone (no code or font pages read in late); each
    // read once the allocator has given back what is free, so that only what is held counts.
    const std::array<const char*, 2> fields{"VmRSS", "RssAnon"};
    std::array<long, 2> before{};
    malloc_trim(0);
    for (std::size_t i = 0; i < fields.size(); ++i) before[i] = statusKb(fields[i]);
    timeBoards(boards, dealAndShow);
    malloc_trim(0);
    printRow({QStringLiteral("kB after %1 warm-up boards").arg(kWarmUpBoards),
              QStringLiteral("before"), QStringLiteral("after"), QStringLiteral("growth"),
              QStringLiteral("target")});
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const long after = statusKb(fields[i]);
        printRow({QString::fromLatin1(fields[i]), QString::number(before[i]),
                  QString::number(after), QString::number(after - before[i]),
                  QStringLiteral("0 +-%1 ").arg(kGrowthLimitKb) +
                      verdict(std::abs(after - before[i]) <= kGrowthLimitKb)});
    }
    std::printf("VmHWM of the bench process so far: %ld kB\n", statusKb("VmHWM"));
}
