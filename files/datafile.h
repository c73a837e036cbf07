// The one place the game touches its data files jx.hsd and jx.iro: each is read and written in
// place at its start, so the file stays the file it is (its owner, permissions, links, mount and
// the bytes past the records are never touched). Plain blocking calls that return what they found;
// Qt Core and POSIX only.
#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace datafile {
class Fd;
}

// The folder that holds the data files, held open from the moment it is named: nothing ever
// names it again, so any bytes in its path work and a folder renamed while the game runs stays
// the game's folder.
class DataFolder {
  public:
    // The folder at `path` (by default the process's current folder), encoded as the system's
    // file names are.
    explicit DataFolder(const QString& path = QStringLiteral("."));
    // The open folder, or -1 when it could not be opened (every read and save then fails).
    int fd() const;

  private:
    std::shared_ptr<const datafile::Fd> fd_;  // closed with its last copy
};

// What reading a data file found: at most the bytes asked for from its start; or that there is no
// file of that name (an empty file, a folder, a pipe, a device or a link leading to none counts as
// none); or that the file is there but cannot be read. `reason` says why not; `unwritable` why a
// save would fail where it is already plain (a file the player may not write, a folder that takes
// no new file), else empty. Reasons never name the file: "cannot be read: Permission denied".
struct DataFileRead {
    enum class State { Read, Missing, Unreadable };
    State state = State::Missing;
    QByteArray bytes;
    QString reason;
    QString unwritable;
};

// What a save did, and why it failed (not naming the file, as a read's reason).
struct SaveResult {
    enum class Outcome { Saved, LeftAlone, Failed };
    Outcome outcome = Outcome::Failed;
    QString reason;
};

// How long the player waits for a data file, counted from when the call starts: for a read (room
// for a machine busy starting desktops), and for a save. A save waits for a lock or a lease
// another program holds four fifths of that, so that the answer comes within the patience; a read
// waits a moment for a lock, then reads anyway, and for a lease, then gives up.
constexpr std::chrono::milliseconds kReadPatience{2000};
constexpr std::chrono::milliseconds kSavePatience{5000};
constexpr std::chrono::milliseconds kReadLockWait{400};
constexpr std::chrono::milliseconds kSaveLockWait = kSavePatience * 4 / 5;

// Reads at most `bytes` bytes from the start of `name` in `folder`, whatever the file's size,
// while no copy of the game is saving it; after waiting a moment for one, reads it anyway.
DataFileRead readDataFile(const DataFolder& folder, const QString& name, qsizetype bytes);

// Given what the file holds at the moment of saving (its first `bytes` bytes; Missing for a file
// still to be created or an empty one), the records to write over its start, or nullopt to leave
// it as it is.
using SaveDecision = std::function<std::optional<QByteArray>(const DataFileRead& now)>;

// Saves `name` in `folder` under a lock on the file that every copy of the game takes: reads its
// first `bytes` bytes, asks `decide`, writes the answer over the file's start and syncs it; a
// missing file is created holding the answer. Saved only once the bytes are on the disk; on any
// failure the file holds its old bytes. Never writes a file the player may not read and write,
// nor another user's file in a shared folder such as /tmp; waits at most a few seconds for the
// lock or a lease another program holds, and never on a pipe or a device.
SaveResult saveDataFile(const DataFolder& folder, const QString& name, qsizetype bytes,
                        const SaveDecision& decide);
