// The data files as the window handles them: their work runs off the window's thread while the
// window waits for it, within the player's patience; and the boxes about a file that cannot be
// read or created.

#include "window/form1.h"
#include "window/messages.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

// The data files some work is still running on, on the window's thread, and the threads still
// running that work, which may outlive the wait that started it.
struct Form1::FilesInFlight {
    QSet<QString> names;
    std::mutex mutex;
    std::condition_variable idle;
    int threads = 0;

    // Waits until no work is left running.
    void waitUntilIdle() {
        std::unique_lock lock(mutex);
        idle.wait(lock, [this] { return threads == 0; });
    }
};

Form1::FilesInFlight& Form1::filesInFlight() {
    if (!filesInFlight_) filesInFlight_ = std::make_shared<FilesInFlight>();
    return *filesInFlight_;
}

void Form1::waitForWorkLeftBehind() {
    if (filesInFlight_) filesInFlight_->waitUntilIdle();
}

QString Form1::waitForFile(const QString& name, std::chrono::milliseconds patience,
                           const std::function<void()>& work) {
    if (filesInFlight().names.contains(name))
        return QStringLiteral("has not yet answered the game's last call");
    filesInFlight_->names.insert(name);
    struct Wait {
        QEventLoop* loop = nullptr;
        bool done = false;
    };
    const auto wait = std::make_shared<Wait>();
    const auto done = [wait, name, files = std::weak_ptr(filesInFlight_)] {
        if (const auto inFlight = files.lock()) inFlight->names.remove(name);
        wait->done = true;
        if (wait->loop) wait->loop->quit();
    };
    try {
        const std::lock_guard counting(filesInFlight_->mutex);
        std::thread([work, done, files = filesInFlight_] {
            work();
            QMetaObject::invokeMethod(qApp, done, Qt::QueuedConnection);
            const std::lock_guard counting(files->mutex);
            if (--files->threads == 0) files->idle.notify_all();
        }).detach();
        ++filesInFlight_->threads;
    } catch (const std::system_error&) {
        work();  // no thread to be had: the window does not paint for that moment
        done();
        return {};
    }
    // The wait is a state of the window: disabled, it takes no input of any kind, and no handler
    // runs but the one that ends the game (Escape, a close); it keeps painting.
    QEventLoop loop;
    wait->loop = &loop;
    QTimer::singleShot(patience, &loop, &QEventLoop::quit);
    const QPointer<QWidget> focus = focusWidget();
    setEnabled(false);
    if (!wait->done) loop.exec();
    wait->loop = nullptr;
    setEnabled(true);
    if (focus && focus->isVisible()) focus->setFocus();
    return wait->done ? QString() : QStringLiteral("does not answer");
}

DataFileRead Form1::readFile(const QString& name, qsizetype bytes) {
    const auto read = std::make_shared<DataFileRead>();
    const QString late =
        waitForFile(name, kReadPatience, [read, folder = seams_.dataFolder, name, bytes] {
            *read = readDataFile(folder, name, bytes);
        });
    if (!late.isEmpty()) return {DataFileRead::State::Unreadable, {}, late};
    return *read;
}

SaveResult Form1::saveFile(const QString& name, qsizetype bytes, const SaveDecision& decide) {
    const auto saved = std::make_shared<SaveResult>();
    const QString late =
        waitForFile(name, kSavePatience, [saved, folder = seams_.dataFolder, name, bytes, decide] {
            *saved = saveDataFile(folder, name, bytes, decide);
        });
    if (!late.isEmpty()) return {SaveResult::Outcome::Failed, name + QLatin1Char(' ') + late};
    return *saved;
}

DataFileRead Form1::loadDataFile(const QString& name, const QByteArray& defaults,
                                 const QString& readError, const QString& writeError) {
    DataFileRead file = readFile(name, defaults.size());
    if (file.state == DataFileRead::State::Read) return file;
    // A file that is there but cannot be read says why (a plainly missing one needs no reason).
    const bool unreadable = file.state == DataFileRead::State::Unreadable;
    seams_.warn(this, kReadErrorTitle, readError,
                unreadable ? name + QLatin1Char(' ') + file.reason : QString());
    if (unreadable) return file;  // left for the player
    // Created with the defaults, unless a file turned up meanwhile: that one is read.
    const auto defaultsIfMissing = [defaults](const DataFileRead& now) {
        return now.state == DataFileRead::State::Missing ? std::optional(defaults) : std::nullopt;
    };
    const SaveResult made = saveFile(name, defaults.size(), defaultsIfMissing);
    if (made.outcome == SaveResult::Outcome::Saved)
        return {DataFileRead::State::Read, defaults, {}};
    file = readFile(name, defaults.size());
    if (file.state != DataFileRead::State::Read)
        seams_.warn(this, kWriteErrorTitle, writeError, made.reason);
    return file;
}
