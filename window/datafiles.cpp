// The data files as the window handles them: their work runs off the window's thread while the
// window waits for it, painting but taking no input; and the boxes about a file that cannot be
// read or created.

#include "window/form1.h"
#include "window/messages.h"
#include "window/timer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QKeyEvent>

#include <thread>

namespace {

// Swallows every key, click, wheel turn and touch while the window waits, and the ticks of the
// game's timers, whose handler never runs in the middle of another; Escape is remembered.
struct InputSwallowed : QObject {
    bool escape = false;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress)
            escape = escape || static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape;
        return event->isInputEvent() ||
               (event->type() == QEvent::Timer && dynamic_cast<Timer*>(watched));
    }
};

}  // namespace

void Form1::waitForFiles(const std::function<void()>& work) {
    QEventLoop loop;
    InputSwallowed swallowed;
    QCoreApplication::instance()->installEventFilter(&swallowed);
    std::thread worker([&] {
        work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    QCoreApplication::instance()->removeEventFilter(&swallowed);
    if (swallowed.escape) Form_KeyPress(kEscape);  // ends the game, once its files are safe
}

DataFileRead Form1::loadDataFile(const QString& name, const QByteArray& defaults,
                                 const QString& readError, const QString& writeError) {
    const auto read = [&] {
        DataFileRead file;
        waitForFiles([&] { file = readDataFile(seams_.dataFolder, name, defaults.size()); });
        return file;
    };
    DataFileRead file = read();
    if (file.state == DataFileRead::State::Read) return file;
    // A file that is there but cannot be read says why (a plainly missing one needs no reason).
    const bool unreadable = file.state == DataFileRead::State::Unreadable;
    seams_.warn(this, kReadErrorTitle, readError,
                unreadable ? name + QLatin1Char(' ') + file.reason : QString());
    if (unreadable) return file;  // left for the player
    // Created with the defaults, unless a file turned up meanwhile: that one is read.
    const auto defaultsIfMissing = [&](const DataFileRead& now) {
        return now.state == DataFileRead::State::Missing ? std::optional(defaults) : std::nullopt;
    };
    SaveResult made;
    waitForFiles(
        [&] { made = saveDataFile(seams_.dataFolder, name, defaults.size(), defaultsIfMissing); });
    if (made.outcome == SaveResult::Outcome::Saved)
        return {DataFileRead::State::Read, defaults, {}};
    file = read();
    if (file.state != DataFileRead::State::Read)
        seams_.warn(this, kWriteErrorTitle, writeError, made.reason);
    return file;
}
