// Where a data file's name leads. A name is looked at without being opened, a link is followed
// only where nobody else could have planted it, and only what turns out to be a plain file is
// opened for real, checked to be the very file looked at.

#include "files/opening.h"

#include <fcntl.h>

#include <QList>

#include <climits>
#include <cstring>
#include <thread>

namespace datafile {

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

namespace {

using State = DataFileRead::State;

constexpr int kMostLinks = 40;  // followed in a row, as the kernel does

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

// Whether a user other than the player and root may have put an entry in `folder`: it is theirs,
// or others may write to it and it is not sticky (where the kernel keeps entries to their owners).
bool othersMayPlace(int folder) {
    struct stat status {};
    if (::fstat(folder, &status) != 0) return true;
    return (status.st_uid != ::geteuid() && status.st_uid != 0) ||
           ((status.st_mode & (S_IWGRP | S_IWOTH)) && !(status.st_mode & S_ISVTX));
}

// Why the `link` lying in `folder` is not followed: another user made it, or anyone who may write
// the folder could have put it there; empty where only the player or root could have.
QString plantedLink(const struct stat& link, int folder, bool last) {
    const QString where =
        last ? QStringLiteral("is a link ") : QStringLiteral("leads through a link ");
    if (link.st_uid != ::geteuid() && link.st_uid != 0)
        return where + QStringLiteral("another user made");
    if (othersMayPlace(folder))
        return where + QStringLiteral("in a folder other users may write to");
    return {};
}

// Follows the name in `opened` to what it leads to, one name at a time and opening nothing for
// real: every link on the way, in the last name or in the folders of a link's target, is followed
// only where no other user could have put it, its target read from the very link looked at.
// Leaves the folder and name of what is there and its status; false when nothing is.
bool follow(Opened& opened) {
    QList<QByteArray> names{opened.name};  // still to follow
    for (int links = 0;;) {
        const QByteArray name = names.takeFirst();
        Fd path(::openat(opened.folder, name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat status {};
        if (!path || ::fstat(path.get(), &status) != 0) return leadsNowhere(opened, errno, links);
        if (S_ISLNK(status.st_mode)) {
            opened.reason = plantedLink(status, opened.folder, links == 0 && names.isEmpty());
            if (!opened.reason.isEmpty()) {
                opened.state = State::Unreadable;
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

}  // namespace

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

}  // namespace datafile
