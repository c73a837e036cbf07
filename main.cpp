// Tintmaze: find the cell that repeats the target colour word in word and colour.

#include "window/form1.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Form1 form;
    form.Form_Load();
    form.showFullScreen();
    return app.exec();
}
