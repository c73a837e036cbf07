#include "window/fileparts.h"

#include "window/datafile.h"

#include <QFile>
#include <QRandomGenerator>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <thread>

namespace fileparts {

namespace {

constexpr int kMostLinksInARow = 40;  // as many as the system itself follows
constexpr qint64 kCopyChunkBytes = 64 * 1024;
constexpr auto kLockPatience = std::chrono::seconds(5);
constexpr auto kLockRetry = std::chrono::milliseconds(10);
constexpr int kCopyNameAttempts = 100;
const char kCopyNameLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

bool isCopyNameLetter(char c) {
    return c != '\0' && std::strchr(kCopyNameLetters, c) != nullptr;
}

// True for `name`, kSaveCopyMarker and kSaveCopyUniqueChars letters or digits.
bool isCopyOf(const QByteArray& entry, const QByteArray& name) {
    const QByteArray prefix = name + QFile::encodeName(kSaveCopyMarker);
    if (!entry.startsWith(prefix) || entry.size() != prefix.size() + kSaveCopyUniqueChars)
        return false;
    const QByteArray unique = entry.mid(prefix.size());
    return std::all_of(unique.begin(), unique.end(), isCopyNameLetter);
}

QByteArray uniqueLetters() {
    QByteArray letters;
    for (int i = 0; i < kSaveCopyUniqueChars; ++i)
        letters +=
            kCopyNameLetters[QRandomGenerator::system()->bounded(int(sizeof kCopyNameLetters - 1))];
    return letters;
}

// Copies every extended attribute the system lets this user read and set; an access control
// list is one of them.
void copyExtendedAttributes(int from, int to) {
    const ssize_t listSize = ::flistxattr(from, nullptr, 0);
    if (listSize <= 0) return;
    QByteArray names(listSize, Qt::Uninitialized);
    const ssize_t got = ::flistxattr(from, names.data(), size_t(names.size()));
    if (got <= 0) return;
    for (const QByteArray& attribute : names.left(got).split('\0')) {
        if (attribute.isEmpty()) continue;
        const ssize_t size = ::fgetxattr(from, attribute.constData(), nullptr, 0);
        if (size < 0) continue;
        QByteArray value(size, Qt::Uninitialized);
        const ssize_t read = ::fgetxattr(from, attribute.constData(), value.data(), size_t(size));
        if (read >= 0) ::fsetxattr(to, attribute.constData(), value.constData(), size_t(read), 0);
    }
}

}  // namespace

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

Fd::~Fd() {
    if (fd_ >= 0) ::close(fd_);
}

bool fail(QString* why, const QString& reason) {
    if (why) *why = reason;
    return false;
}

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

Fd openForReading(int folder, const QByteArray& name, bool followLinks) {
    const int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW);
    return Fd(::openat(folder, name.constData(), flags));
}

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

std::optional<Target> resolveLinks(int folder, const QByteArray& name, QString* why) {
    Target target;
    target.folder = folder;
    target.name = name;
    for (int hop = 0; hop <= kMostLinksInARow; ++hop) {
        struct stat status;
        if (::fstatat(target.folder, target.name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISLNK(status.st_mode))
            return target;
        QByteArray link(PATH_MAX, Qt::Uninitialized);
        const ssize_t size =
            ::readlinkat(target.folder, target.name.constData(), link.data(), size_t(link.size()));
        if (size < 0) return target;  // gone meanwhile: opening it tells what is there now
        link.truncate(size);
        const qsizetype slash = link.lastIndexOf('/');
        const QByteArray base = link.mid(slash + 1);
        if (base.isEmpty() || base == "." || base == "..")
            return fail(why, QStringLiteral("is a link to a folder")), std::nullopt;
        if (slash >= 0) {
            const QByteArray into = slash == 0 ? QByteArray("/") : link.left(slash);
            Fd next(::openat(target.folder, into.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
            if (!next) return fail(why, QStringLiteral("is a link into no folder")), std::nullopt;
            target.otherFolder = std::move(next);
            target.folder = target.otherFolder.get();
        }
        target.name = base;
        target.throughLink = true;
    }
    return fail(why, QStringLiteral("is a link that leads round in circles")), std::nullopt;
}

std::optional<Fd> lockFolder(int folder, QString* why) {
    Fd held(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!held) return Fd();
    const auto giveUp = std::chrono::steady_clock::now() + kLockPatience;
    while (::flock(held.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) return Fd();
        if (std::chrono::steady_clock::now() >= giveUp)
            return fail(why, QStringLiteral("another copy of the game keeps saving")), std::nullopt;
        std::this_thread::sleep_for(kLockRetry);
    }
    return held;
}

bool openOld(const Target& target, OldFile* old, QString* why) {
    old->fd = openForReading(target.folder, target.name, false);
    if (!old->fd) {
        if (errno == ENOENT && !target.throughLink) return true;  // none yet: it is created
        if (errno == ENOENT) return fail(why, QStringLiteral("is a link to no file"));
        return fail(why, QStringLiteral("cannot be read: ") + systemError());
    }
    if (::fstat(old->fd.get(), &old->status) != 0)
        return fail(why, QStringLiteral("cannot be read: ") + systemError());
    if (S_ISDIR(old->status.st_mode)) return fail(why, QStringLiteral("is a folder"));
    if (!S_ISREG(old->status.st_mode)) return fail(why, QStringLiteral("is not a plain file"));
    return true;
}

bool CopyWriter::put(const char* data, qint64 size, qint64 offset) {
    const qint64 allowed = limit_ < 0 ? size : std::clamp<qint64>(limit_ - written_, 0, size);
    qint64 done = 0;
    while (done < allowed) {
        const ssize_t n = ::pwrite(fd_, data + done, size_t(allowed - done), offset + done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error_ = n < 0 ? errno : 0;
            break;
        }
        done += n;
    }
    written_ += done;
    return done == size;
}

QString CopyWriter::problem() const {
    if (error_ != 0) return QString::fromLocal8Bit(std::strerror(error_));
    return QStringLiteral("the new copy took only %1 bytes").arg(written_);
}

bool copyTail(int old, qint64 from, qint64 size, CopyWriter& writer, QString* why) {
    QByteArray buffer(kCopyChunkBytes, Qt::Uninitialized);
    qint64 offset = from;
    while (offset < size) {
        off_t data = ::lseek(old, offset, SEEK_DATA);
        if (data < 0 && errno == ENXIO) break;  // only a hole is left
        if (data < 0) data = offset;            // no word on holes: everything is copied
        off_t hole = ::lseek(old, data, SEEK_HOLE);
        hole = hole < 0 ? size : std::min<qint64>(hole, size);
        for (qint64 at = data; at < hole;) {
            const ssize_t n =
                ::pread(old, buffer.data(), size_t(std::min(kCopyChunkBytes, hole - at)), at);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return fail(why, QStringLiteral("cannot read the old file's end"));
            if (!writer.put(buffer.constData(), n, at)) return false;
            at += n;
        }
        offset = hole;
    }
    return true;
}

bool keepAttributes(int copy, int old, const struct stat& status) {
    // Root gives the file back to its owner; anyone else keeps at least its group where allowed.
    if ((status.st_uid != ::geteuid() || status.st_gid != ::getegid()) &&
        ::fchown(copy, status.st_uid, status.st_gid) != 0)
        (void)::fchown(copy, uid_t(-1), status.st_gid);
    if (::fchmod(copy, status.st_mode & 07777) != 0) return false;
    copyExtendedAttributes(old, copy);
    return true;
}

void giveNewFileToFolderOwner(int file, int folder) {
    struct stat status;
    if (::geteuid() == 0 && ::fstat(folder, &status) == 0)
        (void)::fchown(file, status.st_uid, status.st_gid);
}

Fd createCopy(int folder, const QByteArray& name, mode_t mode, QByteArray* copyName) {
    for (int attempt = 0; attempt < kCopyNameAttempts; ++attempt) {
        *copyName = name + QFile::encodeName(kSaveCopyMarker) + uniqueLetters();
        Fd copy(::openat(folder, copyName->constData(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (copy || errno != EEXIST) return copy;
    }
    return Fd();
}

bool commitCopy(int folder, const QByteArray& copyName, const QByteArray& name,
                const struct stat* old, QString* why) {
    if (old) {
        struct stat now;
        if (::fstatat(folder, name.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0 ||
            now.st_dev != old->st_dev || now.st_ino != old->st_ino)
            return fail(why, QStringLiteral("another program replaced the file meanwhile"));
        if (::renameat(folder, copyName.constData(), folder, name.constData()) == 0) return true;
        return fail(why, systemError());
    }
    if (::renameat2(folder, copyName.constData(), folder, name.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EINVAL || errno == ENOSYS) {
        // A file system that cannot rename without replacing: a new link never replaces either.
        if (::linkat(folder, copyName.constData(), folder, name.constData(), 0) == 0) {
            ::unlinkat(folder, copyName.constData(), 0);
            return true;
        }
    }
    if (errno == EEXIST) return fail(why, QStringLiteral("a file of that name appeared meanwhile"));
    return fail(why, systemError());
}

void removeLeftovers(int folder, const QByteArray& name) {
    const int listed = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listed < 0) return;
    DIR* entries = ::fdopendir(listed);
    if (!entries) {
        ::close(listed);
        return;
    }
    while (const dirent* entry = ::readdir(entries)) {
        struct stat status;
        if (isCopyOf(entry->d_name, name) &&
            ::fstatat(folder, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode))
            ::unlinkat(folder, entry->d_name, 0);
    }
    ::closedir(entries);
}

}  // namespace fileparts
