// The steps a data file's read and save are made of, on open handles: opening without waiting,
// following links, the folder's lock, the new copy and its commit. Used by datafile.cpp only.
#pragma once

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

#include <optional>
#include <utility>

namespace fileparts {

// A file descriptor, closed when it goes.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept;
    ~Fd();
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

  private:
    int fd_;
};

// Puts `reason` into `why` (if given) and returns false: how every step here reports a failure.
bool fail(QString* why, const QString& reason);

// The text of the last system error.
QString systemError();

// Opens `name` in `folder` for reading without waiting on a pipe or device.
Fd openForReading(int folder, const QByteArray& name, bool followLinks);

// Up to `bytes` bytes from the start of `fd`; nullopt on a read error.
std::optional<QByteArray> readStart(int fd, qsizetype bytes);

// Where a save really writes: the folder and name of the entry a data file's name leads to once
// every link is followed.
struct Target {
    Fd otherFolder;  // held when a link leads into another folder
    int folder = -1;
    QByteArray name;
    bool throughLink = false;
};

// Follows the links from `name` in `folder`; nullopt (with the reason) when one leads to a
// folder, into a missing folder, or round in circles.
std::optional<Target> resolveLinks(int folder, const QByteArray& name, QString* why);

// Takes the lock every copy of the game takes on `folder` while saving there: flock on the
// folder itself, so that no file is added to it. Returns the held folder, or an empty handle
// when the folder cannot be opened for reading or its file system has no such locks (the save
// then goes on unlocked), or nullopt when another copy has held it for too long.
std::optional<Fd> lockFolder(int folder, QString* why);

// The file a save replaces, opened for reading; no handle when there is none yet.
struct OldFile {
    Fd fd;
    struct stat status {};
};

// Opens what `target` names without following a link or waiting. False (with the reason) for a
// file that cannot be read, anything that is not a plain file, and a link leading to no file.
bool openOld(const Target& target, OldFile* old, QString* why);

// Writes the new copy, taking no more than `limit` bytes in all (a fault a test injects), or
// everything when `limit` is negative.
class CopyWriter {
  public:
    CopyWriter(int fd, qint64 limit) : fd_(fd), limit_(limit) {}
    // Writes `size` bytes at `offset`; false when not all of them could be written.
    bool put(const char* data, qint64 size, qint64 offset);
    // Why the last put() fell short.
    QString problem() const;

  private:
    int fd_;
    qint64 limit_;
    qint64 written_ = 0;
    int error_ = 0;
};

// Copies what `old` holds from `from` to `size` to the same places of the new copy, in bounded
// memory; holes are skipped, so a sparse file stays sparse.
bool copyTail(int old, qint64 from, qint64 size, CopyWriter& writer, QString* why);

// Gives `copy` the owner, group, mode and extended attributes of `old`, as far as this user may;
// false when even the mode cannot be set.
bool keepAttributes(int copy, int old, const struct stat& status);

// Gives a new file that root creates to the owner and group of the folder it is made in, so that
// running the game once as root leaves a player's folder with files the player can save.
void giveNewFileToFolderOwner(int file, int folder);

// Creates a new copy of `name` in `folder`, named `name`, kSaveCopyMarker and unique letters.
Fd createCopy(int folder, const QByteArray& name, mode_t mode, QByteArray* copyName);

// Puts the copy in the place of `name`: over the file `old` if that is still the one there, or,
// when there was none, only if nothing of that name has appeared meanwhile.
bool commitCopy(int folder, const QByteArray& copyName, const QByteArray& name,
                const struct stat* old, QString* why);

// Removes the copies of `name` in `folder` that this game's crashed saves left; nothing else.
void removeLeftovers(int folder, const QByteArray& name);

}  // namespace fileparts
