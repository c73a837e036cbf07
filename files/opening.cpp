// Where a data file's name leads. A name is looked at without being opened, a link or a folder on
// the way is passed through only where nobody else could have put it, and only what turns out to
// be a plain file is opened for real, checked to be the very file looked at.

#include "files/opening.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
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

namespace {

using State = DataFileRead::State;

constexpr int kMostLinks = 40;  // followed in a row, as the kernel does

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

// The names of a link's target, first first; a target of only slashes names its folder itself.
QList<QByteArray> namesOf(const QByteArray& target) {
    QList<QByteArray> names = target.split('/');
    names.removeAll(QByteArray());
    if (names.isEmpty()) names << ".";
    return names;
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
            if (target.startsWith('/')) path = Fd(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
            names = namesOf(target) + names;
            if (!target.startsWith('/')) continue;
        }
        opened.linkedFolder = std::move(path);
        opened.folder = opened.linkedFolder.get();
    }
}

}  // namespace

Opened openPlainFile(int folder, const QByteArray& name, int access, Clock::time_point deadline) {
    for (;;) {
        Opened opened;
        opened.folder = folder;
        opened.name = name;
        if (!follow(opened)) return opened;
        opened.file = Fd(::openat(opened.folder, opened.name.constData(),
                                  access | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
        const int error = errno;
        struct stat status {};
        if (opened.file && ::fstat(opened.file.get(), &status) == 0 &&
            status.st_dev == opened.status.st_dev && status.st_ino == opened.status.st_ino)
            return opened;
        opened.file = Fd();
        const bool leased = error == EWOULDBLOCK;
        if (!leased && error != ELOOP && error != ENOENT) {
            // A file the player may read but not write is told as a read tells it.
            const bool readable =
                ::faccessat(opened.folder, opened.name.constData(), R_OK, AT_EACCESS) == 0;
            refused(opened, State::Unreadable,
                    cannot(access != O_RDONLY && readable ? "written" : "opened", error));
            return opened;
        }
        if (Clock::now() >= deadline) {
            refused(opened, State::Unreadable,
                    leased ? QStringLiteral("is held by another program") : kReplaced);
            return opened;
        }
        std::this_thread::sleep_for(kStep);
    }
}

}  // namespace datafile
