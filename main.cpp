// Tintmaze: find the cell that repeats the target colour word in word and colour.

#include "window/commandline.h"
#include "window/ending.h"
#include "window/form1.h"
#include "window/translations.h"

#include <QApplication>
#include <QThreadPool>

#include <csignal>

namespace {

// Qt draws large pictures on the threads of a pool, and each thread takes a file descriptor as it
// starts; where the game may open no more files (the player's limit) one could not start, and the
// game would end there. Qt's own pool for it (Debian 13 and later) is switched off with
// QT_NO_GUI_THREADPOOL, keeping that drawing on the window's thread; Qt 6.4 (Debian 12) draws on
// the global pool, which gets its one thread now, kept for good.
void startTheOneDrawingThread() {
    QThreadPool* pool = QThreadPool::globalInstance();
    pool->setMaxThreadCount(1);
    pool->setExpiryTimeout(-1);
    pool->start([] {});
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGXFSZ, SIG_IGN);  // a write past the file-size limit fails instead of ending us
    endGameOnSignals();
    if (const auto status = answerCommandLine(argc, argv)) return *status;
    qputenv("QT_NO_GUI_THREADPOOL", "1");  // see startTheOneDrawingThread
    sayWhenNoDisplay(argc, argv);
    QApplication app(argc, argv);
    displayConnected();
    rememberDisplayConnection();
    startTheOneDrawingThread();
    loadQtTranslations(app);
    Form1 form;
    form.Form_Load();
    // Nothing is left to close (no file stays open between two events), so the program ends
    // through the one end, at once, rather than in the windowing system's teardown, which Qt's
    // Wayland plugin can hang in.
    endGame(app.exec());
}
