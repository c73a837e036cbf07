// Tintmaze: find the cell that repeats the target colour word in word and colour.

#include "window/commandline.h"
#include "window/form1.h"
#include "window/theme.h"
#include "window/translations.h"

#include <QApplication>

#include <csignal>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    std::signal(SIGXFSZ, SIG_IGN);  // a write past the file-size limit fails instead of ending us
    if (const auto status = answerCommandLine(argc, argv)) return *status;
    QApplication app(argc, argv);
    loadQtTranslations(app);
    Form1 form;
    form.Form_Load();  // shows the window full screen before it reads the data files
    // Checked once the window is up, so that the check holds no frame back.
    for (const QString& problem : missingColourWordGlyphs())
        std::fprintf(stderr, "%s\n", qPrintable(problem));
    const int status = app.exec();
    // Nothing is left to close (no file stays open between two events), so the program ends
    // here, at once, rather than in the windowing system's teardown, which Qt's Wayland plugin
    // can hang in.
    std::fflush(nullptr);
    std::_Exit(status);
}
