// The window's wait for a data file. The work runs off the window's thread; a call that answers
// within a moment nobody notices changes nothing anyone can see or hear. A longer one covers the
// window, which a screen reader hears of once: the window then takes no input of any kind but
// keeps painting, and no handler runs but the one that ends the game, until the call answers or
// its patience, counted from when the call started, runs out.

#include "window/form1.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Longer than this, a player notices that the game waits.
constexpr std::chrono::milliseconds kUnnoticed{100};

// One call's progress, shared by the window and the thread that runs it, under the mutex of the
// files in flight.
struct Call {
    std::condition_variable answered;
    std::optional<Clock::time_point> started;
    bool done = false;
    QEventLoop* loop = nullptr;  // the window's wait, on the window's thread only
};

// How long from now the patience of `call` lasts, which counts from when the call started; zero
// once it ran out.
std::chrono::milliseconds patienceLeft(const Call& call, std::chrono::milliseconds patience) {
    if (!call.started) return patience;
    const auto left = *call.started + patience - Clock::now();
    return std::max(std::chrono::ceil<std::chrono::milliseconds>(left),
                    std::chrono::milliseconds::zero());
}

// A cover over the whole window while it waits: clicks, the wheel and drops stop at it, access
// keys do not act, and it has the focus, so that typed keys and an input method's text reach
// nothing that acts. Transparent: the window shows through as it is.
class WaitCover : public QWidget {
  public:
    explicit WaitCover(QWidget* window) : QWidget(window) {
        setAttribute(Qt::WA_NoMousePropagation);
        setFocusPolicy(Qt::StrongFocus);
        hide();
    }

    // Covers the window, named for a screen reader by what it waits for, until `loop` ends.
    void coverDuring(QEventLoop& loop, const QString& name) {
        const QPointer<QWidget> focus = QApplication::focusWidget();
        setAccessibleName(QStringLiteral("Waiting for ") + name);
        setGeometry(parentWidget()->rect());
        raise();
        show();
        setFocus();
        loop.exec();
        hide();
        if (focus && focus->isVisible()) focus->setFocus();
    }

  protected:
    bool event(QEvent* event) override {
        if (event->type() != QEvent::ShortcutOverride) return QWidget::event(event);
        event->accept();  // an access key comes as a key to the cover, not as a shortcut
        return true;
    }
    bool focusNextPrevChild(bool) override { return true; }
};

}  // namespace

// The data files some work is still running on, and the threads still running that work, which
// may outlive the wait that started it.
struct Form1::FilesInFlight {
    std::mutex mutex;
    std::condition_variable idle;
    QSet<QString> names;
    int threads = 0;

    // Waits until no work is left running.
    void waitUntilIdle() {
        std::unique_lock lock(mutex);
        idle.wait(lock, [this] { return threads == 0; });
    }
};

void Form1::waitForWorkLeftBehind() {
    if (filesInFlight_) filesInFlight_->waitUntilIdle();
}

bool Form1::waiting() const {
    return waitCover_ && waitCover_->isVisible();
}

QString Form1::waitForFile(const QString& name, std::chrono::milliseconds patience,
                           const std::function<void()>& work) {
    if (!filesInFlight_) filesInFlight_ = std::make_shared<FilesInFlight>();
    const auto call = std::make_shared<Call>();
    std::unique_lock lock(filesInFlight_->mutex);
    if (filesInFlight_->names.contains(name))
        return QStringLiteral("has not yet answered the game's last call");
    try {
        std::thread([work, call, name, files = filesInFlight_] {
            std::unique_lock lock(files->mutex);
            call->started = Clock::now();
            lock.unlock();
            work();
            lock.lock();
            files->names.remove(name);
            call->done = true;
            call->answered.notify_all();
            QMetaObject::invokeMethod(qApp, [call] {
                if (call->loop) call->loop->quit();
            });
            if (--files->threads == 0) files->idle.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        lock.unlock();
        work();  // no thread to be had: the window does not paint for that moment
        return {};
    }
    filesInFlight_->names.insert(name);
    ++filesInFlight_->threads;
    if (call->answered.wait_for(lock, kUnnoticed, [&] { return call->done; })) return {};

    // The player would notice: the window waits, covered, until the call answers or its
    // patience runs out.
    QEventLoop loop;
    QTimer patienceTimer;
    patienceTimer.setSingleShot(true);
    const auto answeredOrOutOfPatience = [&] {
        const std::lock_guard looking(filesInFlight_->mutex);
        const auto left = patienceLeft(*call, patience);
        if (call->done || left.count() == 0) return loop.quit();
        patienceTimer.start(left);
    };
    connect(&patienceTimer, &QTimer::timeout, &loop, answeredOrOutOfPatience);
    call->loop = &loop;
    lock.unlock();
    if (!waitCover_) waitCover_ = new WaitCover(this);
    QTimer::singleShot(0, &loop, answeredOrOutOfPatience);
    static_cast<WaitCover*>(waitCover_)->coverDuring(loop, name);
    lock.lock();
    call->loop = nullptr;
    return call->done ? QString() : QStringLiteral("does not answer");
}

DataFileRead Form1::readFile(const QString& name, qsizetype bytes) {
    const auto read = std::make_shared<DataFileRead>();
    const QString late =
        waitForFile(name, kReadPatience, [read, folder = seams_.dataFolder, name, bytes] {
            *read = readDataFile(folder, name, bytes);
        });
    if (!late.isEmpty()) return {DataFileRead::State::Unreadable, {}, late, {}};
    return *read;
}

SaveResult Form1::saveFile(const QString& name, qsizetype bytes, const SaveDecision& decide) {
    const auto saved = std::make_shared<SaveResult>();
    const QString late =
        waitForFile(name, kSavePatience, [saved, folder = seams_.dataFolder, name, bytes, decide] {
            *saved = saveDataFile(folder, name, bytes, decide);
        });
    if (!late.isEmpty()) return {SaveResult::Outcome::Failed, late};
    return *saved;
}
