// Tintmaze: find the cell that repeats the target colour word in word and colour.

#include "window/form1.h"
#include "window/theme.h"

#include <QApplication>

#include <csignal>
#include <cstdio>

int main(int argc, char** argv) {
    std::signal(SIGXFSZ, SIG_IGN);  // a write past the file-size limit fails instead of ending us
    QApplication app(argc, argv);
    for (const QString& problem : missingColourWordGlyphs())
        std::fprintf(stderr, "%s\n", qPrintable(problem));
    Form1 form;
    form.Form_Load();  // shows the window full screen before it reads the data files
    return app.exec();
}
