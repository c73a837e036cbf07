// Tintmaze: find the cell that repeats the target colour word in word and colour.

#include "window/form1.h"
#include "window/theme.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Form1 form;
    form.Form_Load();  // shows the window full screen before it reads the data files
    // Checked once the window is up, so that the check holds no frame back.
    for (const QString& problem : missingColourWordGlyphs())
        std::fprintf(stderr, "%s\n", qPrintable(problem));
    return app.exec();
}
