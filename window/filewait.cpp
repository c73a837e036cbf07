// The window's wait for a data file. The work runs off the window's thread; a call that answers
// within a moment nobody notices changes nothing anyone can see or hear. A longer one covers the
// window, which a screen reader hears of once and the pointer shows as the desktop's busy one:
// the window then takes no input of any kind but keeps painting, and no handler runs but the one
// that ends the game, until the call answers or its patience runs out. The patience counts only
// time the game ran while the call waited on the file.

#include "window/cover.h"
#include "window/form1.h"
#include "window/warningbox.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QSet>
#include <QTimer>

#include <sys/types.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Longer than this, a player notices that the game waits.
constexpr std::chrono::milliseconds kUnnoticed{100};
// The wait looks at its call once a step; a gap between two looks longer than kLate means the
// game did not run meanwhile (stopped, in a debugger, starved).
constexpr std::chrono::milliseconds kStep{50};
constexpr std::chrono::milliseconds kLate = 4 * kStep;

// One call's progress, shared by the window and the thread that runs it, under the mutex of the
// files in flight.
struct Call {
    std::condition_variable answered;
    pid_t thread = 0;  // the thread that runs it, once it runs
    bool done = false;
    QEventLoop* loop = nullptr;  // the window's wait, on the window's thread only
};

// Whether the thread `tid` of this process waits in the kernel (on a file, a lock) rather than
// being ready to run; true where that cannot be told.
bool threadWaits(pid_t tid) {
    QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
    if (!stat.open(QIODevice::ReadOnly)) return true;
    const QByteArray line = stat.readAll();
    const qsizetype end = line.lastIndexOf(')');  // the state follows the name in brackets
    return end < 0 || line.size() <= end + 2 || line.at(end + 2) != 'R';
}

// Counts a step of the wait, `gap` after the step before, against the patience `left`: only
// while the call waits on the file, and a gap far longer than a step as one step. Whether the
// patience ran out, which only a step in time tells.
bool patienceRunsOut(Clock::duration& left, Clock::duration gap, bool callWaits) {
    if (!callWaits) return false;
    const bool inTime = gap <= kLate;
    left -= inTime ? gap : Clock::duration(kStep);
    return inTime && left <= Clock::duration::zero();
}

// The cover of a window that waits: it has the focus, so that typed keys and an input method's
// text reach nothing that acts, and shows the desktop's busy pointer. Transparent: the window
// shows through as it is.
class WaitCover : public Cover {
  public:
    explicit WaitCover(QWidget* window) : Cover(window) {
        setFocusPolicy(Qt::StrongFocus);
        setCursor(Qt::WaitCursor);
    }

    // Covers the window, named for a screen reader by what it waits for, until `loop` ends.
    void coverDuring(QEventLoop& loop, const QString& name) {
        setAccessibleName(QStringLiteral("Waiting for ") + name);
        Cover::coverDuring(loop, this);
    }
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
    return waitCover_ && !waitCover_->isHidden();  // also over a window not yet shown
}

QString Form1::waitForFile(const QString& name, std::chrono::milliseconds patience,
                           const std::function<void()>& work) {
    if (!filesInFlight_) filesInFlight_ = std::make_shared<FilesInFlight>();
    const auto call = std::make_shared<Call>();
    std::unique_lock lock(filesInFlight_->mutex);
    if (filesInFlight_->names.contains(name))
        return QStringLiteral("has not yet answered the game's last call");
    Clock::time_point looked = seams_.now();
    try {
        std::thread([work, call, name, files = filesInFlight_] {
            std::unique_lock lock(files->mutex);
            call->thread = gettid();
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
    // patience runs out, looking at it once a step.
    QEventLoop loop;
    QTimer step;
    Clock::duration left = patience;
    connect(&step, &QTimer::timeout, &loop, [&] {
        const std::lock_guard looking(filesInFlight_->mutex);
        const Clock::time_point now = seams_.now();
        const bool waits = call->thread != 0 && threadWaits(call->thread);
        if (call->done || patienceRunsOut(left, now - std::exchange(looked, now), waits))
            loop.quit();
    });
    call->loop = &loop;
    lock.unlock();
    if (!waitCover_) waitCover_ = new WaitCover(this);
    step.start(kStep);
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
    keepADescriptorForBoxes();  // the call's own is free again
    if (!late.isEmpty()) return {DataFileRead::State::Unreadable, {}, late, {}};
    return *read;
}

SaveResult Form1::saveFile(const QString& name, qsizetype bytes, const SaveDecision& decide) {
    const auto saved = std::make_shared<SaveResult>();
    const QString late =
        waitForFile(name, kSavePatience, [saved, folder = seams_.dataFolder, name, bytes, decide] {
            *saved = saveDataFile(folder, name, bytes, decide);
        });
    keepADescriptorForBoxes();  // the call's own is free again
    if (!late.isEmpty()) return {SaveResult::Outcome::Failed, late};
    return *saved;
}
