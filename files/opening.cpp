// Where a data file's name leads. A name is looked at without being opened, a link or a folder on
// the way is passed through only where nobody else could have put it, and only what turns out to
// be a plain file is opened for real, checked to be the very file looked at, and locked. Another
// program in the way (its lock, its lease, the file swapped) is tried again every few
// milliseconds.

#include "files/opening.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/xattr.h>

#include <QList>

#include <climits>
#include <cstring>
#include <mutex>
#include <thread>

namespace datafile {

QString cannot(const char* what, int error) {
    return QStringLiteral("cannot be %1: %2")
        .arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(error)));
}

bool stillNamed(Opened& opened) {
    struct stat named {};
    return ::fstat(opened.file.get(), &opened.status) == 0 && opened.status.st_nlink > 0 &&
           ::fstatat(opened.folder, opened.name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           named.st_dev == opened.status.st_dev && named.st_ino == opened.status.st_ino;
}

namespace {

using State = DataFileRead::State;

constexpr int kMostLinks = 40;                         // followed in a row, as the kernel does
constexpr auto kStep = std::chrono::milliseconds(10);  // between two tries past another program
const QString kReplaced = QStringLiteral("keeps being replaced");

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
    const bool open = anyName || !(where.st_mode & S_ISVTX);
    if (!us.contains(owner)) return QStringLiteral("that user %1 made").arg(userName(owner));
    if (!seen || (open && (where.st_mode & S_IWGRP) && listedWriters(folder)))
        return QStringLiteral("in a folder other users may write to");
    if (open && (where.st_mode & S_IWOTH))
        return QStringLiteral("in a folder every user may write to");
    if (open && (where.st_mode & S_IWGRP) && othersIn(where.st_gid, us)) {
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

// Opens the plain file `opened` found for real, for a save with `O_RDWR`, checked to be the very
// file looked at. A file the player may read but not write is told as a read tells it.
void openFound(Opened& opened, bool save) {
    opened.file =
        Fd(::openat(opened.folder, opened.name.constData(),
                    (save ? O_RDWR : O_RDONLY) | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    const int error = errno;
    struct stat status {};
    if (opened.file && ::fstat(opened.file.get(), &status) == 0 &&
        status.st_dev == opened.status.st_dev && status.st_ino == opened.status.st_ino)
        return;
    const bool swapped = opened.file || error == ELOOP || error == ENOENT;
    opened.file = Fd();
    if (swapped || error == EWOULDBLOCK)
        return inTheWay(opened, swapped ? kReplaced : QStringLiteral("is held by another program"));
    const bool readable =
        ::faccessat(opened.folder, opened.name.constData(), R_OK, AT_EACCESS) == 0;
    refused(opened, State::Unreadable, cannot(save && readable ? "written" : "opened", error));
}

// Creates the name `opened` found absent, empty, to be locked at once, so that every reader and
// saver waits until it holds its records; where another copy of the game created it first
// (whatever the error says: sshfs answers EPERM where a file is there), that one is tried next. A
// file root creates belongs to the folder's owner, so that running the game once as root leaves a
// player's folder with files the player can save.
void create(Opened& opened) {
    opened.file =
        Fd(::openat(opened.folder, opened.name.constData(),
                    O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666));
    const int error = errno;
    struct stat there {};
    opened.created = bool(opened.file);
    if (opened.file && ::geteuid() == 0 && ::fstat(opened.folder, &there) == 0)
        ::fchown(opened.file.get(), there.st_uid, there.st_gid);
    else if (!opened.file &&
             ::fstatat(opened.folder, opened.name.constData(), &there, AT_SYMLINK_NOFOLLOW) == 0)
        inTheWay(opened, kReplaced);
    else if (!opened.file)
        refused(opened, State::Unreadable, cannot("created", error));
}

// One try at opening `name` in `folder` as openPlainFile says.
Opened tryOpening(int folder, const QByteArray& name, bool save) {
    Opened opened;
    opened.folder = folder;
    opened.name = name;
    if (follow(opened))
        openFound(opened, save);
    else if (opened.absent && save)
        create(opened);
    if (!opened.file) return opened;
    if (::flock(opened.file.get(), (save ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0 &&
        (errno == EWOULDBLOCK || errno == EINTR))  // a file system without locks counts as taken
        inTheWay(opened, QStringLiteral("is locked by another program"));
    else if (!stillNamed(opened))
        inTheWay(opened, kReplaced);
    return opened;
}

}  // namespace

Opened openPlainFile(int folder, const QByteArray& name, bool save,
                     std::chrono::steady_clock::time_point deadline) {
    for (bool created = false;; std::this_thread::sleep_for(kStep)) {
        const bool last = std::chrono::steady_clock::now() >= deadline;
        Opened opened = tryOpening(folder, name, save);
        opened.created = created = created || opened.created;
        if (!opened.inTheWay || last) return opened;
    }
}

}  // namespace datafile
