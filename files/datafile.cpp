// The data files read and saved in place, on the folder's open handle. A name is looked at
// without being opened, a link or a folder on the way is passed through only where nobody else
// could have put it, and only what turns out to be a plain file is opened for real and locked:
// copies of the game take turns through a lock on the file itself.

#include "files/datafile.h"
#include "files/inflight.h"

#include <QFile>
#include <QList>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
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
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

  private:
    int fd_;
};

namespace {

using State = DataFileRead::State;
using Outcome = SaveResult::Outcome;
using Clock = std::chrono::steady_clock;

constexpr int kMostLinks = 40;                         // followed in a row, as the kernel does
constexpr auto kStep = std::chrono::milliseconds(10);  // between two tries past another program
const QString kReplaced = QStringLiteral("keeps being replaced");

// Why the system refused to do `what` to a file, in its words: "cannot be written: Permission
// denied". Reasons never name the file.
QString cannot(const char* what, int error = errno) {
    return QStringLiteral("cannot be %1: %2")
        .arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(error)));
}

// Where a name leads: the plain file there opened for real, with the folder it lies in and its
// name in it; or what is there instead, and why it is not opened.
struct Opened {
    Fd linkedFolder;  // the folder a link led to, when not the game's
    int folder = -1;  // the folder the file lies in
    QByteArray name;
    Fd file;
    struct stat status {};
    DataFileRead::State state = DataFileRead::State::Read;
    bool absent = false;    // nothing at all of that name in the game's folder
    bool created = false;   // by this call, empty
    bool inTheWay = false;  // another program still held the lock, a lease, or swapped the file
    QString reason;
};

// Records that `opened` leads to no file it may use, for `reason`.
bool refused(Opened& opened, State state, const QString& reason) {
    opened.state = state;
    opened.reason = reason;
    return false;
}

// Records why `opened` leads to no file, after `links` links, from the `error` of the last step.
bool leadsNowhere(Opened& opened, int error, int links) {
    const bool missing = error == ENOENT || error == ENOTDIR || error == ELOOP;
    opened.absent = links == 0 && error == ENOENT;
    return refused(opened, missing ? State::Missing : State::Unreadable,
                   !missing          ? cannot("opened", error)
                   : links == 0      ? QStringLiteral("does not exist")
                   : error == ENOENT ? QStringLiteral("is a link to a file that does not exist")
                                     : QStringLiteral("is a link that leads to no file"));
}

// Records that another program is in the way of `opened` for now, as `reason` says.
void inTheWay(Opened& opened, const QString& reason) {
    refused(opened, State::Unreadable, reason);
    opened.inTheWay = true;
}

QString userName(uid_t uid) {
    const passwd* user = ::getpwuid(uid);
    return user ? QString::fromLocal8Bit(user->pw_name) : QString::number(uid);
}

// Whether a user other than the player and root may belong to the group `gid`: a member it lists,
// or a user whose own group it is. A group of the player's own (umask 002's) holds the player
// alone.
bool othersIn(gid_t gid, const QList<uid_t>& us) {
    const group* found = ::getgrgid(gid);
    if (!found) return true;
    for (char* const* member = found->gr_mem; *member; ++member) {
        const passwd* user = ::getpwnam(*member);
        if (!user || !us.contains(user->pw_uid)) return true;
    }
    bool others = false;
    ::setpwent();
    while (const passwd* user = ::getpwent())
        others = others || (user->pw_gid == gid && !us.contains(user->pw_uid));
    ::endpwent();
    return others;
}

// Whether an access control list lets named users or groups write to `folder` (its group bits then
// are the list's mask), or that cannot be known.
bool listedWriters(int folder) {
    const Fd listed(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return !listed || ::fgetxattr(listed.get(), "system.posix_acl_access", nullptr, 0) >= 0 ||
           errno != ENODATA;
}

// Who other than the player and root may have put an entry owned by `owner` in `folder`, as the end
// of a reason: "that user bob made", "in a folder every user may write to"; empty where nobody
// could have. A sticky folder keeps entries to their owners, but not a new name: `anyName` counts
// any new name, such as a second one of a file.
QString whoMayHavePut(uid_t owner, int folder, bool anyName = false) {
    static std::mutex database;  // the user and group database's answers are shared
    const std::lock_guard lock(database);
    const QList<uid_t> us{::geteuid(), 0};
    struct stat where {};
    const bool seen = ::fstat(folder, &where) == 0;
    // The bits that let others put a new entry there: none in a sticky folder, but for `anyName`.
    const mode_t open = anyName || !(where.st_mode & S_ISVTX) ? where.st_mode : 0;
    if (!us.contains(owner)) return QStringLiteral("that user %1 made").arg(userName(owner));
    if (!seen || ((open & S_IWGRP) && listedWriters(folder)))
        return QStringLiteral("in a folder other users may write to");
    if (open & S_IWOTH) return QStringLiteral("in a folder every user may write to");
    if ((open & S_IWGRP) && othersIn(where.st_gid, us)) {
        const group* writers = ::getgrgid(where.st_gid);
        return QStringLiteral("in a folder the group %1 may write to")
            .arg(writers ? QString::fromLocal8Bit(writers->gr_name)
                         : QString::number(where.st_gid));
    }
    if (!us.contains(where.st_uid))
        return QStringLiteral("in a folder that user %1 owns").arg(userName(where.st_uid));
    return {};
}

// Follows the name in `opened` to what it leads to, one name at a time and opening nothing for
// real: every link and folder on the way, in the last name or in a link's target, is passed
// through only where no other user could have put it, a link's target read from the very link
// looked at. Leaves the folder and name of what is there and its status; false when nothing is.
bool follow(Opened& opened) {
    QList<QByteArray> names{opened.name};  // still to follow
    for (int links = 0;;) {
        const QByteArray name = names.takeFirst();
        if (name == "." && !names.isEmpty()) continue;
        Fd path(::openat(opened.folder, name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat status {};
        if (!path || ::fstat(path.get(), &status) != 0) return leadsNowhere(opened, errno, links);
        const bool link = S_ISLNK(status.st_mode);
        if (!link && names.isEmpty()) {
            opened.name = name;
            opened.status = status;
            if (S_ISDIR(status.st_mode)) return refused(opened, State::Missing, "is a folder");
            if (!S_ISREG(status.st_mode))
                return refused(opened, State::Missing, "is not a plain file");
            // Anyone who may make a name in its folder may have made a second one of our file.
            const QString who =
                status.st_nlink > 1 ? whoMayHavePut(::geteuid(), opened.folder, true) : "";
            return who.isEmpty() || refused(opened, State::Unreadable, "has another name " + who);
        }
        if (!link && !S_ISDIR(status.st_mode)) return leadsNowhere(opened, ENOTDIR, links);
        // ".." too lies in its folder: only who may move that folder may change where it leads.
        const QString who = whoMayHavePut(status.st_uid, opened.folder);
        const char* what = !link                           ? "leads through a folder "
                           : links == 0 && names.isEmpty() ? "is a link "
                                                           : "leads through a link ";
        if (!who.isEmpty()) return refused(opened, State::Unreadable, what + who);
        if (link) {
            QByteArray target(PATH_MAX, Qt::Uninitialized);
            const ssize_t size = ::readlinkat(path.get(), "", target.data(), size_t(target.size()));
            if (size <= 0 || ++links > kMostLinks)
                return leadsNowhere(opened, size <= 0 ? errno : ELOOP, links);
            target.truncate(size);
            names = target.split('/') + names;
            names.removeAll(QByteArray());
            if (names.isEmpty()) names << ".";  // a target of only slashes: that folder itself
            if (!target.startsWith('/')) continue;
            path = Fd(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
        }
        opened.linkedFolder = std::move(path);
        opened.folder = opened.linkedFolder.get();
    }
}

// Opens the plain file `opened` found for real, checked to be the very file looked at; or, for a
// save where nothing has the name, creates it empty, to be locked at once so that every reader and
// saver waits until it holds its records (a file root creates belongs to the folder's owner, so
// that running the game once as root leaves a player's folder with files the player can save).
// Another copy of the game creating it first (whatever the error says: sshfs answers EPERM where
// a file is there) counts as the file swapped. A file the player may read but not write is told
// as a read tells it.
void openFound(Opened& opened, bool save) {
    const int create = opened.absent ? O_CREAT | O_EXCL : 0;
    opened.file = Fd(::openat(
        opened.folder, opened.name.constData(),
        (save ? O_RDWR : O_RDONLY) | create | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY,
        0666));
    const int error = errno;
    struct stat now {};
    if (opened.file && ::fstat(opened.file.get(), &now) == 0 &&
        (create || (now.st_dev == opened.status.st_dev && now.st_ino == opened.status.st_ino))) {
        opened.created = create;
        if (create && ::geteuid() == 0 && ::fstat(opened.folder, &now) == 0 &&
            ::fchown(opened.file.get(), now.st_uid, now.st_gid) != 0) {
            // left root's: the player is told at the next start that it cannot be written
        }
        return;
    }
    const bool swapped = opened.file || error == ELOOP || error == ENOENT ||
                         (create && ::fstatat(opened.folder, opened.name.constData(), &now,
                                              AT_SYMLINK_NOFOLLOW) == 0);
    opened.file = Fd();
    if (swapped || error == EWOULDBLOCK)
        return inTheWay(opened, swapped ? kReplaced : QStringLiteral("is held by another program"));
    const bool written = save && !create &&
                         ::faccessat(opened.folder, opened.name.constData(), R_OK, AT_EACCESS) == 0;
    const char* what = create ? "created" : written ? "written" : "opened";
    refused(opened, State::Unreadable, cannot(what, error));
}

// Whether the flock `how` (LOCK_SH or LOCK_EX) on `fd` is taken by `deadline`, else another program
// held it all the while (a file system without such locks counts as taken).
bool locked(int fd, int how, Clock::time_point deadline) {
    for (; ::flock(fd, how | LOCK_NB) != 0 && (errno == EWOULDBLOCK || errno == EINTR);
         std::this_thread::sleep_for(kStep))
        if (Clock::now() >= deadline) return false;
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

// Opens `name` in `folder` if it leads to a plain file, for a read (its lock shared) or for a save
// (its lock for this call alone, the file created empty where nothing has that name); a folder,
// pipe, device, socket or a link leading nowhere is only looked at. Another program in the way is
// waited out for at most `wait`; past it, a file whose lock another program holds, or that was
// swapped once it was locked, is left open with `inTheWay` and the reason.
Opened openPlainFile(int folder, const QByteArray& name, bool save, Clock::duration wait) {
    const Clock::time_point deadline = Clock::now() + wait;
    for (bool created = false;; std::this_thread::sleep_for(kStep)) {
        Opened opened;
        opened.folder = folder;
        opened.name = name;
        if (follow(opened) || (save && opened.absent)) openFound(opened, save);
        opened.created = created = created || opened.created;
        if (opened.file && !locked(opened.file.get(), save ? LOCK_EX : LOCK_SH, deadline))
            inTheWay(opened, QStringLiteral("is locked by another program"));
        else if (opened.file && !stillNamed(opened))
            inTheWay(opened, kReplaced);
        if (!opened.inTheWay || Clock::now() >= deadline) return opened;
    }
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

DataFolder::DataFolder(const QString& path)
    : fd_(std::make_shared<const Fd>(
          ::open(QFile::encodeName(path).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC))) {}

int DataFolder::fd() const {
    return fd_ ? fd_->get() : -1;
}

DataFileRead readDataFile(const DataFolder& folder, const QString& name, qsizetype bytes) {
    const InFlight call(InFlight::kCall);
    const Opened opened = openPlainFile(folder.fd(), QFile::encodeName(name), false, kReadLockWait);
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
    Opened opened = openPlainFile(folder.fd(), QFile::encodeName(name), true, kSaveLockWait);
    if (!opened.file || opened.inTheWay) return {Outcome::Failed, opened.reason};
    if (const QString refused = someoneElses(opened); !refused.isEmpty())
        return {Outcome::Failed, refused};
    const std::optional<QByteArray> old = readStart(opened.file.get(), bytes);
    if (!old) return {Outcome::Failed, cannot("read")};
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
    return {Outcome::Failed, reason};
}
