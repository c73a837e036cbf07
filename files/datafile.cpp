// Reading and saving the data files in place, on the folder's open handle, opened as opening.h
// says. Copies of the game take turns through a lock on the file itself; whoever got the lock
// checks that the name still leads to the file it locked.

#include "files/datafile.h"
#include "files/inflight.h"
#include "files/opening.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <utility>

namespace {

using datafile::CallInFlight;
using datafile::cannot;
using datafile::Clock;
using datafile::Fd;
using datafile::kReplaced;
using datafile::kStep;
using datafile::Opened;
using datafile::openPlainFile;
using datafile::WriteInFlight;
using State = DataFileRead::State;
using Outcome = SaveResult::Outcome;

// A save waits for a lock or a lease another program holds four fifths of its patience, the rest
// left for the answer; then it gives up.
constexpr auto kSaveLockWait = kSavePatience * 4 / 5;

SaveResult failed(const QString& reason) {
    return {Outcome::Failed, reason};
}

// Takes the flock `how` (LOCK_SH or LOCK_EX) on `fd`, trying until `deadline`; false where another
// program still held it then (a file system without such locks counts as taken).
bool tookLock(int fd, int how, Clock::time_point deadline) {
    while (::flock(fd, how | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) return true;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kStep);
    }
    return true;
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

// Puts back the `old` bytes of the file's start that a write of `written` bytes changed, and its
// `oldSize`; the reason the write failed with `error`, saying so where the file now holds other
// bytes than the old ones.
QString putBack(int fd, const QByteArray& old, qint64 oldSize, qsizetype written, int error) {
    const QByteArrayView changed = QByteArrayView(old).first(qMin(written, old.size()));
    writeStart(fd, changed);
    const bool cut = written <= oldSize || ::ftruncate(fd, oldSize) == 0;
    ::fsync(fd);
    struct stat now {};
    const bool restored =
        cut && readStart(fd, old.size()) == old && ::fstat(fd, &now) == 0 && now.st_size == oldSize;
    return cannot("written", error) +
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

// Why a save does not write the plain file `opened` found even where it may: in a folder anyone
// may write to that keeps entries to their owners (sticky, as /tmp), only the player's own files
// and the folder owner's are written, the kernel's rule for creating opens. Empty where it does.
QString someoneElses(const Opened& opened) {
    struct stat shared {};
    const uid_t owner = opened.status.st_uid;
    if (::fstat(opened.folder, &shared) == 0 && (shared.st_mode & S_ISVTX) &&
        (shared.st_mode & S_IWOTH) && owner != ::geteuid() && owner != shared.st_uid)
        return QStringLiteral("belongs to another user in a shared folder");
    return {};
}

// Why a save would not write over the plain file `opened` found; empty where it would be tried.
QString whyNotWritable(const Opened& opened) {
    if (::faccessat(opened.folder, opened.name.constData(), W_OK, AT_EACCESS) != 0)
        return cannot("written");
    return someoneElses(opened);
}

// What the first bytes of a file say: none count as no file.
DataFileRead found(const QByteArray& start) {
    if (start.isEmpty()) return {State::Missing, {}, QStringLiteral("is empty"), {}};
    return {State::Read, start, {}, {}};
}

// Creates `name` in `folder`, empty, to be locked at once, so that every reader and saver waits
// until it holds its records; or the reason it could not be, "" when another copy of the game
// created it first (whatever the error says: sshfs answers EPERM where a file is there). A file
// root creates belongs to the folder's owner, so that running the game once as root leaves a
// player's folder with files the player can save.
QString create(Opened& opened, int folder, const QByteArray& name) {
    opened.file =
        Fd(::openat(folder, name.constData(),
                    O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666));
    const int error = errno;
    struct stat there {};
    if (opened.file && ::geteuid() == 0 && ::fstat(folder, &there) == 0 &&
        ::fchown(opened.file.get(), there.st_uid, there.st_gid) != 0) {
        // left root's: the player is told at the next start that it cannot be written
    }
    if (opened.file || ::fstatat(folder, name.constData(), &there, AT_SYMLINK_NOFOLLOW) == 0)
        return {};
    return cannot("created", error);
}

}  // namespace

DataFolder::DataFolder() : DataFolder(QStringLiteral(".")) {}

DataFolder::DataFolder(const QString& path)
    : fd_(std::make_shared<const Fd>(
          ::open(QFile::encodeName(path).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC))) {}

int DataFolder::fd() const {
    return fd_ ? fd_->get() : -1;
}

DataFileRead readDataFile(const DataFolder& folder, const QString& name, qsizetype bytes) {
    const CallInFlight call;
    const QByteArray fileName = QFile::encodeName(name);
    const auto deadline = Clock::now() + kReadLockWait;
    for (;;) {
        Opened opened = openPlainFile(folder.fd(), fileName, O_RDONLY, deadline);
        if (!opened.file) {  // where there is no file, why no new one can be made
            const bool creatable =
                !opened.absent || ::faccessat(folder.fd(), ".", W_OK | X_OK, AT_EACCESS) == 0;
            return {opened.state, {}, opened.reason, creatable ? QString() : cannot("created")};
        }
        const bool locked = tookLock(opened.file.get(), LOCK_SH, deadline);
        if (!stillNamed(opened) && Clock::now() < deadline) continue;  // replaced: read that
        std::optional<QByteArray> start = readStart(opened.file.get(), bytes);
        if (!start) return {State::Unreadable, {}, cannot("read"), {}};
        DataFileRead read = found(*start);
        if (read.state == State::Missing) return read;
        if (!locked) read.reason = QStringLiteral("read while another program held it");
        read.unwritable = whyNotWritable(opened);
        return read;
    }
}

SaveResult saveDataFile(const DataFolder& folder, const QString& name, qsizetype bytes,
                        const SaveDecision& decide) {
    const CallInFlight call;
    const QByteArray fileName = QFile::encodeName(name);
    const auto deadline = Clock::now() + kSaveLockWait;
    for (;;) {
        Opened opened = openPlainFile(folder.fd(), fileName, O_RDWR, deadline);
        const bool created = opened.absent;
        if (created) {
            const QString refused = create(opened, folder.fd(), fileName);
            if (!refused.isEmpty()) return failed(refused);
            if (!opened.file && Clock::now() < deadline) continue;  // another copy created it
        }
        if (!opened.file) return failed(opened.reason);
        if (!tookLock(opened.file.get(), LOCK_EX, deadline))
            return failed(QStringLiteral("is locked by another program"));
        if (!stillNamed(opened)) {
            if (Clock::now() < deadline) continue;  // replaced meanwhile: save the new one
            return failed(kReplaced);
        }
        if (const QString refused = someoneElses(opened); !refused.isEmpty())
            return failed(refused);
        const std::optional<QByteArray> old = readStart(opened.file.get(), bytes);
        if (!old) return failed(cannot("read"));
        const std::optional<QByteArray> records = decide(found(*old));
        if (!records) return {Outcome::LeftAlone, {}};
        const QString reason = writeOver(opened.file.get(), *records, *old, opened.status.st_size);
        if (reason.isEmpty() && created) {  // the new name reaches the disk with its folder
            const Fd listed(::openat(opened.folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (listed) ::fsync(listed.get());
        }
        if (reason.isEmpty()) return {Outcome::Saved, {}};
        // A file it created that nobody filled meanwhile loses its name again.
        if (created && old->isEmpty() && stillNamed(opened))
            ::unlinkat(opened.folder, opened.name.constData(), 0);
        return failed(reason);
    }
}
