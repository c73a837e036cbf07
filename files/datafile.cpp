// Reading and saving the data files in place, on the folder's open handle. A name is followed the
// kernel's way (its protection of links in shared folders applies), and only what turns out to be
// a plain file is opened for real. Copies of the game take turns through a lock on the file
// itself; whoever got the lock checks that the name still leads to the file it locked.

#include "files/datafile.h"

#include "files/messages.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>
#include <utility>

namespace datafile {

// A file descriptor, closed when it goes.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

  private:
    int fd_;
};

}  // namespace datafile

namespace {

using datafile::Fd;
using Clock = std::chrono::steady_clock;
using State = DataFileRead::State;
using Outcome = SaveResult::Outcome;

constexpr auto kLockStep = std::chrono::milliseconds(10);
constexpr auto kSavePatience = std::chrono::seconds(5);  // then the save fails, nothing written
constexpr auto kReadPatience = std::chrono::milliseconds(500);  // then the file is read unlocked
// How long a reader takes an empty file for one that another copy is creating (see createFile).
constexpr auto kCreatePatience = std::chrono::milliseconds(100);

QString systemError(int error = errno) {
    return QString::fromLocal8Bit(std::strerror(error));
}

SaveResult failed(const QByteArray& name, const QString& reason) {
    return {Outcome::Failed, QFile::decodeName(name) + QLatin1Char(' ') + reason};
}

// The name under which the kernel reopens or links what the open handle `fd` holds.
QByteArray handlePath(int fd) {
    return "/proc/self/fd/" + QByteArray::number(fd);
}

// The same file under another handle, opened for real with `access`: for an O_PATH handle the
// kernel checks the player's permission as for a new open.
Fd reopen(int fd, int access) {
    return Fd(::open(handlePath(fd).constData(), access | O_CLOEXEC | O_NOCTTY));
}

// A plain file opened by name, or what is there instead.
struct Opened {
    Fd file;
    struct stat status {};
    State state = State::Read;
    QString reason;
};

// Opens `name` in `folder` with `access` if it leads to a plain file, following links as the
// kernel does; a folder, pipe, device, socket, a link leading nowhere or round in circles is only
// looked at, never opened for real.
Opened openPlainFile(int folder, const QByteArray& name, int access) {
    Opened opened;
    const Fd path(::openat(folder, name.constData(), O_PATH | O_CLOEXEC));
    const int error = errno;
    struct stat link {};
    if (!path && (error == ENOENT || error == ELOOP || error == ENOTDIR)) {
        const bool isLink = ::fstatat(folder, name.constData(), &link, AT_SYMLINK_NOFOLLOW) == 0;
        opened.state = State::Missing;
        opened.reason = !isLink ? QStringLiteral("does not exist")
                        : error == ENOENT
                            ? QStringLiteral("is a link to a file that does not exist")
                            : QStringLiteral("is a link that leads to no file");
        return opened;
    }
    if (!path || ::fstat(path.get(), &opened.status) != 0) {
        opened.state = State::Unreadable;
        opened.reason = QStringLiteral("cannot be opened: ") + systemError(path ? errno : error);
        return opened;
    }
    if (!S_ISREG(opened.status.st_mode)) {
        opened.state = State::Missing;
        opened.reason = S_ISDIR(opened.status.st_mode) ? QStringLiteral("is a folder")
                                                       : QStringLiteral("is not a plain file");
        return opened;
    }
    opened.file = reopen(path.get(), access);
    if (!opened.file) {
        opened.state = State::Unreadable;
        opened.reason = QStringLiteral("cannot be opened: ") + systemError();
    }
    return opened;
}

void pause(const DataFolder& folder) {
    if (folder.whileWaiting) folder.whileWaiting();
    std::this_thread::sleep_for(kLockStep);
}

enum class Lock { Held, Busy, Unavailable };

// Takes the flock `how` (LOCK_SH or LOCK_EX) on `fd`, trying until `deadline`; Unavailable where
// the file system has no such locks.
Lock waitForLock(const DataFolder& folder, int fd, int how, Clock::time_point deadline) {
    while (::flock(fd, how | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) return Lock::Unavailable;
        if (Clock::now() >= deadline) return Lock::Busy;
        pause(folder);
    }
    return Lock::Held;
}

// Whether `name` in `folder` still leads to the open file, which still has a name; refreshes
// the file's status.
bool stillNamed(int folder, const QByteArray& name, Opened& opened) {
    struct stat named {};
    return ::fstat(opened.file.get(), &opened.status) == 0 && opened.status.st_nlink > 0 &&
           ::fstatat(folder, name.constData(), &named, 0) == 0 &&
           named.st_dev == opened.status.st_dev && named.st_ino == opened.status.st_ino;
}

// At most `bytes` bytes from the start of `fd`; nullopt on a read error.
std::optional<QByteArray> readStart(int fd, qsizetype bytes) {
    QByteArray data(bytes, Qt::Uninitialized);
    qsizetype got = 0;
    while (got < bytes) {
        const ssize_t n = ::pread(fd, data.data() + got, size_t(bytes - got), got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        got += n;
    }
    data.truncate(got);
    return data;
}

// Writes `bytes` from offset 0 of `fd`; how many it wrote before the first failure (errno says
// why; ENOSPC when the disk took nothing more).
qsizetype writeStart(int fd, QByteArrayView bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, size_t(bytes.size() - done), done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            break;
        }
        done += n;
    }
    return done;
}

// Writes `records` over the start of `fd` and syncs them. Both data files are smaller than one
// disk sector, so a crash cannot tear such a write: the disk holds the old or the new records.
// On a failure (a full disk, a file-size limit, an error of the disk) the `old` bytes that the
// file held there and its `oldSize` are put back; the empty reason means saved.
QString writeOver(int fd, const QByteArray& records, const QByteArray& old, qint64 oldSize) {
    const qsizetype written = writeStart(fd, records);
    if (written == records.size() && ::fsync(fd) == 0) return {};
    const int error = errno;
    const QByteArrayView changed = QByteArrayView(old).first(qMin(written, old.size()));
    bool restored = writeStart(fd, changed) == changed.size();
    if (written > oldSize) restored = ::ftruncate(fd, oldSize) == 0 && restored;
    restored = ::fsync(fd) == 0 && restored;
    return QStringLiteral("cannot be written: ") + systemError(error) +
           (restored ? QString() : QStringLiteral(", and its old bytes could not be put back"));
}

// In a folder that anyone may write to and that keeps entries to their owners (sticky, as /tmp),
// only the player's own files and its owner's are written: the kernel's rule for creating opens.
bool someoneElsesInSharedFolder(int folder, const struct stat& file) {
    struct stat shared {};
    return ::fstat(folder, &shared) == 0 && (shared.st_mode & S_ISVTX) &&
           (shared.st_mode & S_IWOTH) && file.st_uid != ::geteuid() && file.st_uid != shared.st_uid;
}

// A new file that root creates belongs to the folder's owner, so that running the game once as
// root leaves a player's folder with files the player can save. False where that cannot be.
bool giveToFolderOwner(int file, int folder) {
    struct stat owner {};
    return ::geteuid() != 0 ||
           (::fstat(folder, &owner) == 0 && ::fchown(file, owner.st_uid, owner.st_gid) == 0);
}

// A new name reaches the disk with the folder.
void syncFolder(int folder) {
    const Fd listed = reopen(folder, O_RDONLY | O_DIRECTORY);
    if (listed) ::fsync(listed.get());
}

SaveResult created(int folder) {
    syncFolder(folder);
    return {Outcome::Saved, {}};
}

QString cannotCreate() {
    return QStringLiteral("cannot be created: ") + systemError();
}

// Creates `name` holding `bytes` as a file without a name (O_TMPFILE), filled first and named
// only while the name is free, so that nobody ever sees it empty or half-written; nullopt where
// the folder cannot hold such a file.
std::optional<SaveResult> createNamedLast(int folder, const QByteArray& name,
                                          const QByteArray& bytes) {
    const Fd file(::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666));
    if (!file && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) return std::nullopt;
    if (!file) return failed(name, cannotCreate());
    giveToFolderOwner(file.get(), folder);
    const QString reason = writeOver(file.get(), bytes, {}, 0);
    if (!reason.isEmpty()) return failed(name, reason);
    const QByteArray self = handlePath(file.get());
    if (::linkat(AT_FDCWD, self.constData(), folder, name.constData(), AT_SYMLINK_FOLLOW) == 0)
        return created(folder);
    if (errno == EEXIST) return SaveResult{Outcome::LeftAlone, {}};
    if (errno == EPERM || errno == EOPNOTSUPP) return std::nullopt;  // such a file, but no links
    return failed(name, cannotCreate());
}

// Creates `name` holding `bytes` where the folder cannot hold a file without a name (many FUSE
// and network folders): the name is created exclusively and locked at once, and readers wait a
// moment on an empty file. A file another copy wrote first is left alone; a failed one removed.
SaveResult createLocked(const DataFolder& folder, const QByteArray& name, const QByteArray& bytes,
                        Clock::time_point deadline) {
    Opened opened;
    opened.file = Fd(::openat(folder.fd(), name.constData(),
                              O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!opened.file && errno == EEXIST) return {Outcome::LeftAlone, {}};
    if (!opened.file) return failed(name, cannotCreate());
    if (waitForLock(folder, opened.file.get(), LOCK_EX, deadline) == Lock::Busy ||
        ::fstat(opened.file.get(), &opened.status) != 0 || opened.status.st_size > 0)
        return {Outcome::LeftAlone, {}};
    giveToFolderOwner(opened.file.get(), folder.fd());
    const QString reason = writeOver(opened.file.get(), bytes, {}, 0);
    if (reason.isEmpty()) return created(folder.fd());
    if (stillNamed(folder.fd(), name, opened)) ::unlinkat(folder.fd(), name.constData(), 0);
    return failed(name, reason);
}

// Creates the missing `name` holding `bytes`; LeftAlone when something of that name is there.
SaveResult createFile(const DataFolder& folder, const QByteArray& name, const QByteArray& bytes,
                      Clock::time_point deadline) {
    if (std::optional<SaveResult> done = createNamedLast(folder.fd(), name, bytes)) return *done;
    return createLocked(folder, name, bytes, deadline);
}

// A write past the process's file-size limit (ulimit -f) fails with EFBIG, and its old bytes are
// put back, instead of ending the game.
void ignoreFileSizeLimitSignal() {
    static const bool ignored = std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
    (void)ignored;
}

}  // namespace

DataFolder::DataFolder() : DataFolder(QByteArray(".")) {}

DataFolder::DataFolder(const QByteArray& path)
    : fd_(std::make_shared<const Fd>(::open(path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC))) {}

DataFolder::DataFolder(const QString& path) : DataFolder(QFile::encodeName(path)) {}

int DataFolder::fd() const {
    return fd_ ? fd_->get() : -1;
}

DataFileRead readDataFile(const DataFolder& folder, const QString& name, qsizetype bytes) {
    const QByteArray fileName = QFile::encodeName(name);
    const auto started = Clock::now();
    for (;;) {
        Opened opened = openPlainFile(folder.fd(), fileName, O_RDONLY);
        if (!opened.file) return {opened.state, {}, opened.reason};
        const Lock lock = waitForLock(folder, opened.file.get(), LOCK_SH, started + kReadPatience);
        const bool inTime = Clock::now() < started + kReadPatience;
        if (!stillNamed(folder.fd(), fileName, opened) && inTime) continue;  // replaced: read that
        if (lock == Lock::Held && opened.status.st_size == 0 &&
            Clock::now() < started + kCreatePatience) {
            opened.file = Fd();
            pause(folder);
            continue;
        }
        std::optional<QByteArray> start = readStart(opened.file.get(), bytes);
        if (!start)
            return {State::Unreadable, {}, QStringLiteral("cannot be read: ") + systemError()};
        return {State::Read, std::move(*start), {}};
    }
}

SaveResult saveDataFile(const DataFolder& folder, const QString& name, qsizetype bytes,
                        const SaveDecision& decide) {
    ignoreFileSizeLimitSignal();
    const QByteArray fileName = QFile::encodeName(name);
    const auto deadline = Clock::now() + kSavePatience;
    // Copies of the game from before in-place saves replace the file under a lock on its folder.
    const Fd olderCopies(::openat(folder.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (olderCopies && waitForLock(folder, olderCopies.get(), LOCK_EX, deadline) == Lock::Busy)
        return failed(fileName, QStringLiteral("is being saved by another copy of the game"));
    bool created = false;
    for (;;) {
        Opened opened = openPlainFile(folder.fd(), fileName, O_RDWR);
        if (opened.state == State::Missing && !created) {
            const std::optional<QByteArray> records = decide({State::Missing, {}, opened.reason});
            if (!records) return {Outcome::LeftAlone, {}};
            SaveResult made = createFile(folder, fileName, *records, deadline);
            if (made.outcome != Outcome::LeftAlone) return made;
            created = true;  // something of that name appeared: it is saved over or refused
            continue;
        }
        if (!opened.file) return failed(fileName, opened.reason);
        if (someoneElsesInSharedFolder(folder.fd(), opened.status))
            return failed(fileName, QStringLiteral("belongs to another user in a shared folder"));
        const Lock lock = waitForLock(folder, opened.file.get(), LOCK_EX, deadline);
        if (lock == Lock::Busy)
            return failed(fileName, QStringLiteral("is locked by another program"));
        if (!stillNamed(folder.fd(), fileName, opened)) {
            if (Clock::now() < deadline) continue;  // replaced meanwhile: save the new one
            return failed(fileName, QStringLiteral("keeps being replaced"));
        }
        const std::optional<QByteArray> old = readStart(opened.file.get(), bytes);
        if (!old) return failed(fileName, QStringLiteral("cannot be read: ") + systemError());
        const std::optional<QByteArray> records = decide({State::Read, *old, {}});
        if (!records) return {Outcome::LeftAlone, {}};
        const QString reason = writeOver(opened.file.get(), *records, *old, opened.status.st_size);
        if (!reason.isEmpty()) return failed(fileName, reason);
        return {Outcome::Saved, {}};
    }
}

SaveResult createDataFile(const DataFolder& folder, const QString& name, const QByteArray& bytes) {
    return createFile(folder, QFile::encodeName(name), bytes, Clock::now() + kSavePatience);
}

DataFileRead loadOrCreate(const DataFolder& folder, const QString& name, const QByteArray& defaults,
                          const QString& readError, const QString& writeError,
                          const DataFileWarning& warn) {
    DataFileRead file = readDataFile(folder, name, defaults.size());
    if (file.state == State::Read) return file;
    warn(kReadErrorTitle, readError);
    if (file.state == State::Unreadable) return file;  // left for the player
    if (createDataFile(folder, name, defaults).outcome == Outcome::Saved)
        return {State::Read, defaults, {}};
    file = readDataFile(folder, name, defaults.size());
    if (file.state != State::Read) warn(kWriteErrorTitle, writeError);
    return file;
}
