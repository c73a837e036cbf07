// Huge data files: a return to the title, a stored best and a saved palette, each with the
// ordinary 504- and 42-byte files and with both files kHugeFileBytes long (all but their start a
// hole). The game reads and writes only the bytes it uses, so the two columns should match.

#include "bench.h"

#include "game/modes.h"

#include <QElapsedTimer>

#include <cstdio>
#include <functional>

namespace {

// The median ms of `runs` runs of `step`.
double medianMs(int runs, const std::function<void()>& step) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = BenchClock::now();
        step();
        times.push_back(millisBetween(start, BenchClock::now()));
    }
    return percentile(times, 50);
}

// A game at level 1 that scores one more than the last, its name stored.
void storeBest(Form1& form) {
    form.level = 1;
    form.score = qint16(form.highScores[1].bestScore + 1);
    form.mode = Mode::GameOver;
    form.High();
    form.Form_KeyPress(kEnter);
}

// "ColorOption", then "OK": the palette saved and the title back.
void savePaletteFromPanel(Form1& form) {
    form.Command1_Click(2);
    form.Command3_Click();
}

}  // namespace

void benchHugeFiles(int runs) {
    printHeading(
        QStringLiteral("Huge data files: median ms of %1 runs; 2 GiB = both files %2 bytes")
            .arg(runs)
            .arg(kHugeFileBytes));
    BenchWindow ordinary, huge;
    makeDataFiles(huge.folder.path(), kHugeFileBytes);
    ordinary.form->Form_Load();
    huge.form->Form_Load();

    printRow({QStringLiteral("median ms"), QStringLiteral("ordinary"), QStringLiteral("2 GiB")});
    const std::pair<const char*, std::function<void(Form1&)>> steps[] = {
        {"return to the title", [](Form1& form) { form.Reset(false); }},
        {"store a best", storeBest},
        {"save the palette (OK)", savePaletteFromPanel},
    };
    for (const auto& entry : steps) {
        // Not a structured binding: clang 14 lets no lambda capture one.
        const auto& step = entry.second;
        printRow({QString::fromLatin1(entry.first),
                  QString::number(medianMs(runs, [&] { step(*ordinary.form); }), 'f', 2),
                  QString::number(medianMs(runs, [&] { step(*huge.form); }), 'f', 2)});
    }
    std::printf("peak memory of this process: %ld kB\n", statusKb("VmHWM"));
}
