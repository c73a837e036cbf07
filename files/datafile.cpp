// Reading and saving the data files in place, on the folder's open handle, opened and locked as
// opening.h says: copies of the game take turns through a lock on the file itself.

#include "files/datafile.h"
#include "files/inflight.h"
#include "files/opening.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace datafile {
namespace {

using State = DataFileRead::State;
using Outcome = SaveResult::Outcome;

SaveResult failed(const QString& reason) {
    return {Outcome::Failed, reason};
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
    const bool restored = writeStart(fd, changed) == changed.size() &&
                          (written <= oldSize || ::ftruncate(fd, oldSize) == 0);
    ::fsync(fd);
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
        const InFlight writing(InFlight::kWrite);
        const qsizetype written = writeStart(fd, records);
        if (written != records.size()) return putBack(fd, old, oldSize, written, errno);
    }
    if (::fsync(fd) == 0) return {};
    const int error = errno;
    const InFlight writing(InFlight::kWrite);
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

// What the first bytes of a file say: none count as no file.
DataFileRead found(const QByteArray& start) {
    if (start.isEmpty()) return {State::Missing, {}, QStringLiteral("is empty"), {}};
    return {State::Read, start, {}, {}};
}

}  // namespace
}  // namespace datafile

using namespace datafile;

DataFolder::DataFolder() : DataFolder(QStringLiteral(".")) {}

DataFolder::DataFolder(const QString& path)
    : fd_(std::make_shared<const Fd>(
          ::open(QFile::encodeName(path).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC))) {}

int DataFolder::fd() const {
    return fd_ ? fd_->get() : -1;
}

DataFileRead readDataFile(const DataFolder& folder, const QString& name, qsizetype bytes) {
    const InFlight call(InFlight::kCall);
    const Opened opened = openPlainFile(folder.fd(), QFile::encodeName(name), false,
                                        std::chrono::steady_clock::now() + kReadLockWait);
    if (!opened.file) {  // where there is no file, why no new one can be made
        const bool creatable =
            !opened.absent || ::faccessat(folder.fd(), ".", W_OK | X_OK, AT_EACCESS) == 0;
        return {opened.state, {}, opened.reason, creatable ? QString() : cannot("created")};
    }
    const std::optional<QByteArray> start = readStart(opened.file.get(), bytes);
    if (!start) return {State::Unreadable, {}, cannot("read"), {}};
    DataFileRead read = found(*start);
    if (read.state == State::Missing) return read;
    read.reason = opened.reason;  // where another program was in the way all the while
    read.unwritable = ::faccessat(opened.folder, opened.name.constData(), W_OK, AT_EACCESS) != 0
                          ? cannot("written")
                          : someoneElses(opened);
    return read;
}

SaveResult saveDataFile(const DataFolder& folder, const QString& name, qsizetype bytes,
                        const SaveDecision& decide) {
    const InFlight call(InFlight::kCall);
    Opened opened = openPlainFile(folder.fd(), QFile::encodeName(name), true,
                                  std::chrono::steady_clock::now() + kSaveLockWait);
    if (!opened.file || opened.inTheWay) return failed(opened.reason);
    if (const QString refused = someoneElses(opened); !refused.isEmpty()) return failed(refused);
    const std::optional<QByteArray> old = readStart(opened.file.get(), bytes);
    if (!old) return failed(cannot("read"));
    const std::optional<QByteArray> records = decide(found(*old));
    if (!records) return {Outcome::LeftAlone, {}};
    const QString reason = writeOver(opened.file.get(), *records, *old, opened.status.st_size);
    if (reason.isEmpty() && opened.created) {  // the new name reaches the disk with its folder
        const Fd listed(::openat(opened.folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (listed) ::fsync(listed.get());
    }
    if (reason.isEmpty()) return {Outcome::Saved, {}};
    // A file it created that nobody filled meanwhile loses its name again.
    if (opened.created && old->isEmpty() && stillNamed(opened))
        ::unlinkat(opened.folder, opened.name.constData(), 0);
    return failed(reason);
}
