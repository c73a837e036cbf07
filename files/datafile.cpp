// Reading and saving the data files in place, on the folder's open handle. A name is looked at
// without being opened, a link is followed only where nobody else could have planted it, and only
// what turns out to be a plain file is opened for real, checked to be the very file looked at.
// Copies of the game take turns through a lock on the file itself; whoever got the lock checks
// that the name still leads to the file it locked.

#include "files/datafile.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
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

constexpr auto kStep = std::chrono::milliseconds(10);
// A lock or a lease another program holds is waited for four fifths of the patience, the rest
// left for the answer: then a locked file is read anyway, a save gives up, and a file another
// program holds a lease on is given up.
Clock::time_point lockDeadline(std::chrono::milliseconds patience) {
    return Clock::now() + patience * 4 / 5;
}
constexpr int kMostLinks = 40;  // followed in a row, as the kernel does

QString systemError(int error = errno) {
    return QString::fromLocal8Bit(std::strerror(error));
}

SaveResult failed(const QByteArray& name, const QString& reason) {
    return {Outcome::Failed, QFile::decodeName(name) + QLatin1Char(' ') + reason};
}

// Where a name leads: the plain file there opened for real, with the folder it lies in and its
// name in it; or what is there instead.
struct Opened {
    Fd linkedFolder;  // the folder a link led to, when not the game's
    int folder = -1;  // the folder the file lies in
    QByteArray name;
    Fd file;
    struct stat status {};
    State state = State::Read;
    bool absent = false;  // nothing at all of that name in the game's folder
    QString reason;
};

// Records why `opened` leads to no file, after `links` links, from the `error` of the last step.
bool leadsNowhere(Opened& opened, int error, int links) {
    const bool missing = error == ENOENT || error == ENOTDIR || error == ELOOP;
    opened.state = missing ? State::Missing : State::Unreadable;
    opened.absent = links == 0 && error == ENOENT;
    opened.reason = !missing          ? QStringLiteral("cannot be opened: ") + systemError(error)
                    : links == 0      ? QStringLiteral("does not exist")
                    : error == ENOENT ? QStringLiteral("is a link to a file that does not exist")
                                      : QStringLiteral("is a link that leads to no file");
    return false;
}

// The names of a link's target, first first; a target of only slashes names its folder itself.
QList<QByteArray> namesOf(const QByteArray& target) {
    QList<QByteArray> names = target.split('/');
    names.removeAll(QByteArray());
    if (names.isEmpty()) names << ".";
    return names;
}

// Follows the name in `opened` to what it leads to, one name at a time and opening nothing for
// real: every link on the way, in the last name or in the folders of a link's target, is followed
// only when the player or root made it, its target read from the very link looked at. Leaves the
// folder and name of what is there and its status; false when nothing is.
bool follow(Opened& opened) {
    QList<QByteArray> names{opened.name};  // still to follow
    for (int links = 0;;) {
        const QByteArray name = names.takeFirst();
        Fd path(::openat(opened.folder, name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat status {};
        if (!path || ::fstat(path.get(), &status) != 0) return leadsNowhere(opened, errno, links);
        if (S_ISLNK(status.st_mode)) {
            if (status.st_uid != ::geteuid() && status.st_uid != 0) {
                opened.state = State::Unreadable;
                opened.reason = links == 0 && names.isEmpty()
                                    ? QStringLiteral("is a link another user made")
                                    : QStringLiteral("leads through a link another user made");
                return false;
            }
            QByteArray target(PATH_MAX, Qt::Uninitialized);
            const ssize_t size = ::readlinkat(path.get(), "", target.data(), size_t(target.size()));
            if (size <= 0 || ++links > kMostLinks)
                return leadsNowhere(opened, size <= 0 ? errno : ELOOP, links);
            target.truncate(size);
            if (target.startsWith('/')) {
                opened.linkedFolder = Fd(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
                opened.folder = opened.linkedFolder.get();
            }
            names = namesOf(target) + names;
        } else if (names.isEmpty()) {
            opened.name = name;
            opened.status = status;
            return true;
        } else if (!S_ISDIR(status.st_mode)) {
            return leadsNowhere(opened, ENOTDIR, links);
        } else {
            opened.linkedFolder = std::move(path);
            opened.folder = opened.linkedFolder.get();
        }
    }
}

// Whether a user other than the player and root may write to `folder`: anyone could have put a
// second name of one of the player's files there.
bool othersMayWrite(int folder) {
    struct stat status {};
    return ::fstat(folder, &status) != 0 || (status.st_mode & (S_IWGRP | S_IWOTH)) ||
           (status.st_uid != ::geteuid() && status.st_uid != 0);
}

// Opens `name` in `folder` with `access` if it leads to a plain file; a folder, pipe, device,
// socket or a link leading nowhere is only looked at. Another program's lease on the file, or the
// file swapped meanwhile, is waited out until `deadline`.
Opened openPlainFile(int folder, const QByteArray& name, int access, Clock::time_point deadline) {
    for (;;) {
        Opened opened;
        opened.folder = folder;
        opened.name = name;
        if (!follow(opened)) return opened;
        if (!S_ISREG(opened.status.st_mode)) {
            opened.state = State::Missing;
            opened.reason = S_ISDIR(opened.status.st_mode) ? QStringLiteral("is a folder")
                                                           : QStringLiteral("is not a plain file");
            return opened;
        }
        if (opened.status.st_nlink > 1 && othersMayWrite(opened.folder)) {
            opened.state = State::Unreadable;
            opened.reason = QStringLiteral("has another name in a folder other users may write to");
            return opened;
        }
        opened.file = Fd(::openat(opened.folder, opened.name.constData(),
                                  access | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        const int error = errno;
        struct stat status {};
        if (opened.file && ::fstat(opened.file.get(), &status) == 0 &&
            status.st_dev == opened.status.st_dev && status.st_ino == opened.status.st_ino)
            return opened;
        opened.file = Fd();
        const bool leased = error == EWOULDBLOCK;
        if (error != EWOULDBLOCK && error != ELOOP && error != ENOENT) {
            opened.state = State::Unreadable;
            opened.reason = QStringLiteral("cannot be opened: ") + systemError(error);
            return opened;
        }
        if (Clock::now() >= deadline) {
            opened.state = State::Unreadable;
            opened.reason = leased ? QStringLiteral("is held by another program")
                                   : QStringLiteral("keeps being replaced");
            return opened;
        }
        std::this_thread::sleep_for(kStep);
    }
}

enum class Lock { Held, Busy, Unavailable };

// Takes the flock `how` (LOCK_SH or LOCK_EX) on `fd`, trying until `deadline`; Unavailable where
// the file system has no such locks.
Lock waitForLock(int fd, int how, Clock::time_point deadline) {
    while (::flock(fd, how | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) return Lock::Unavailable;
        if (Clock::now() >= deadline) return Lock::Busy;
        std::this_thread::sleep_for(kStep);
    }
    return Lock::Held;
}

// Whether the name in `opened` still leads to its open file, which still has a name; refreshes
// the file's status.
bool stillNamed(Opened& opened) {
    struct stat named {};
    return ::fstat(opened.file.get(), &opened.status) == 0 && opened.status.st_nlink > 0 &&
           ::fstatat(opened.folder, opened.name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
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

// Ending the program waits for a write in flight, and no write starts once it was asked for:
// each side first says what it does, then looks at the other (both sequentially consistent), so
// that at least one of them sees the other.
std::atomic<int> writesInFlight{0};
std::atomic<int> endStatus{-1};  // the status the program ends with once no write is in flight

// One write of a data file's records, and of its old bytes where they must be put back.
class WriteInFlight {
  public:
    WriteInFlight() {
        ++writesInFlight;
        endIfAsked();
    }
    ~WriteInFlight() {
        --writesInFlight;
        endIfAsked();
    }
    WriteInFlight(const WriteInFlight&) = delete;
    WriteInFlight& operator=(const WriteInFlight&) = delete;

  private:
    static void endIfAsked() {
        if (const int status = endStatus; status >= 0) ::_exit(status);
    }
};

// Puts back the `old` bytes of the file's start that a write of `written` bytes changed, and its
// `oldSize`; the reason the write failed with `error`.
QString putBack(int fd, const QByteArray& old, qint64 oldSize, qsizetype written, int error) {
    const QByteArrayView changed = QByteArrayView(old).first(qMin(written, old.size()));
    bool restored = writeStart(fd, changed) == changed.size();
    if (written > oldSize) restored = ::ftruncate(fd, oldSize) == 0 && restored;
    restored = ::fsync(fd) == 0 && restored;
    return QStringLiteral("cannot be written: ") + systemError(error) +
           (restored ? QString() : QStringLiteral(", and its old bytes could not be put back"));
}

// Writes `records` over the start of `fd` and syncs them. Both data files are smaller than one
// disk sector, so a crash cannot tear such a write: the disk holds the old or the new records.
// On a failure (a full disk, a file-size limit, an error of the disk) the `old` bytes that the
// file held there and its `oldSize` are put back; the empty reason means saved. The program ends
// meanwhile only with the old or the new records in place.
QString writeOver(int fd, const QByteArray& records, const QByteArray& old, qint64 oldSize) {
    {
        const WriteInFlight writing;
        const qsizetype written = writeStart(fd, records);
        if (written != records.size()) return putBack(fd, old, oldSize, written, errno);
    }
    if (::fsync(fd) == 0) return {};
    const int error = errno;
    const WriteInFlight writing;
    return putBack(fd, old, oldSize, records.size(), error);
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

// Creates `name` in `folder`, empty, to be locked at once, so that every reader and saver waits
// until it holds its records; or the reason it could not be, "" when another copy of the game
// created it first (whatever the error says: sshfs answers EPERM where a file is there).
QString create(Opened& opened, int folder, const QByteArray& name) {
    opened.file =
        Fd(::openat(folder, name.constData(),
                    O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666));
    struct stat there {};
    if (opened.file) giveToFolderOwner(opened.file.get(), folder);
    if (opened.file || ::fstatat(folder, name.constData(), &there, AT_SYMLINK_NOFOLLOW) == 0)
        return {};
    return QStringLiteral("cannot be created: ") + systemError();
}

// A new name reaches the disk with the folder it lies in.
void syncFolder(const Opened& opened) {
    const Fd listed(::openat(opened.folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (listed) ::fsync(listed.get());
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
    const auto deadline = lockDeadline(kReadPatience);
    for (;;) {
        Opened opened = openPlainFile(folder.fd(), fileName, O_RDONLY, deadline);
        if (!opened.file) return {opened.state, {}, opened.reason};
        const Lock lock = waitForLock(opened.file.get(), LOCK_SH, deadline);
        if (!stillNamed(opened) && Clock::now() < deadline) continue;  // replaced: read that
        std::optional<QByteArray> start = readStart(opened.file.get(), bytes);
        if (!start)
            return {State::Unreadable, {}, QStringLiteral("cannot be read: ") + systemError()};
        if (start->isEmpty()) return {State::Missing, {}, QStringLiteral("is empty")};
        return {
            State::Read, std::move(*start),
            lock == Lock::Busy ? QStringLiteral("read while another program held it") : QString()};
    }
}

void endWhenFilesAreSafe(int status) {
    endStatus = status;
    if (writesInFlight == 0) ::_exit(status);
}

SaveResult saveDataFile(const DataFolder& folder, const QString& name, qsizetype bytes,
                        const SaveDecision& decide) {
    const QByteArray fileName = QFile::encodeName(name);
    const auto deadline = lockDeadline(kSavePatience);
    for (;;) {
        Opened opened = openPlainFile(folder.fd(), fileName, O_RDWR, deadline);
        const bool created = opened.absent;
        if (created) {
            const QString refused = create(opened, folder.fd(), fileName);
            if (!refused.isEmpty()) return failed(fileName, refused);
            if (!opened.file && Clock::now() < deadline) continue;  // another copy created it
        }
        if (!opened.file) return failed(fileName, opened.reason);
        if (waitForLock(opened.file.get(), LOCK_EX, deadline) == Lock::Busy)
            return failed(fileName, QStringLiteral("is locked by another program"));
        if (!stillNamed(opened)) {
            if (Clock::now() < deadline) continue;  // replaced meanwhile: save the new one
            return failed(fileName, QStringLiteral("keeps being replaced"));
        }
        if (someoneElsesInSharedFolder(opened.folder, opened.status))
            return failed(fileName, QStringLiteral("belongs to another user in a shared folder"));
        const std::optional<QByteArray> old = readStart(opened.file.get(), bytes);
        if (!old) return failed(fileName, QStringLiteral("cannot be read: ") + systemError());
        const std::optional<QByteArray> records =
            decide(old->isEmpty() ? DataFileRead{State::Missing, {}, QStringLiteral("is empty")}
                                  : DataFileRead{State::Read, *old, {}});
        if (!records) return {Outcome::LeftAlone, {}};
        const QString reason = writeOver(opened.file.get(), *records, *old, opened.status.st_size);
        if (reason.isEmpty() && created) syncFolder(opened);
        if (reason.isEmpty()) return {Outcome::Saved, {}};
        // A file it created that nobody filled meanwhile loses its name again.
        if (created && old->isEmpty() && stillNamed(opened))
            ::unlinkat(opened.folder, opened.name.constData(), 0);
        return failed(fileName, reason);
    }
}
