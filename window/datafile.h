// The one place the game touches its data files jx.hsd and jx.iro. Qt Core and plain POSIX calls
// only: nothing here needs a widget.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace fileparts {
class Fd;
}

// The folder that holds the data files, held open from the moment it is named: nothing ever
// names it again, so any bytes in its path work and a folder renamed while the game runs stays
// the game's folder.
class DataFolder {
  public:
    // The process's current folder.
    DataFolder();
    // The folder at `path`, its bytes as the system takes them.
    explicit DataFolder(const QByteArray& path);
    // The folder at `path`, encoded as the system's file names are.
    explicit DataFolder(const QString& path);
    // The open folder, or -1 when it could not be opened (every read and save then fails).
    int fd() const;

  private:
    std::shared_ptr<const fileparts::Fd> fd_;  // closed with its last copy
};

// What looking for a data file found: at most the bytes asked for from its start, or that there
// is none, or that what is there cannot be read. Only a plain file (or a link to one) is read;
// anything else of that name, a folder, a pipe or a device, counts as missing.
struct DataFileRead {
    enum class State { Read, Missing, Unreadable };
    State state = State::Missing;
    QByteArray bytes;
};

// Opens `name` in `folder` without ever waiting (a pipe swapped in is seen, not waited on) and
// takes at most `bytes` bytes from its start, whatever the file's size.
DataFileRead readDataFile(const DataFolder& folder, const QString& name, qsizetype bytes);

// What a save did.
enum class SaveOutcome { Saved, LeftAlone, Failed };

// Given what the file holds at the moment of saving, the bytes to write over its start, or
// nullopt to leave it as it is.
using SaveDecision = std::function<std::optional<QByteArray>(const DataFileRead& now)>;

// Saves `name` in `folder` under a lock every copy of the game takes on the folder the file lives
// in, so that two saves never interleave: reads the file's first `bytes` bytes, asks `decide`,
// and replaces the file in one step with the new bytes followed by whatever the old file held
// past them. A file that cannot be read, a folder, a pipe and a link that leads to no plain file
// are never replaced, and a missing file is created only while nothing of its name appears. The
// new file keeps the old one's owner, group, mode and extended attributes; a link is followed
// and kept. Leftovers of this game's own crashed saves beside the file are removed, nothing
// else. On failure the old file stays byte for byte as it was and `why` (if given) says what
// failed.
SaveOutcome saveDataFile(const DataFolder& folder, const QString& name, qsizetype bytes,
                         const SaveDecision& decide, QString* why = nullptr);

// Writes `records` over the start of the file, whatever it holds now; true when saved.
bool saveOverStart(const DataFolder& folder, const QString& name, const QByteArray& records,
                   QString* why = nullptr);

// Creates the missing file `name` holding `defaults`. A file that appeared meanwhile (a copy the
// player put there while a warning was up) is never replaced but read instead. Returns Read with
// the bytes the file now holds (`defaults` when it was created), or the state of what is there
// when it could not be created.
DataFileRead createDataFile(const DataFolder& folder, const QString& name,
                            const QByteArray& defaults);

// A modal warning with a title and a text.
using DataFileWarning = std::function<void(const QString& title, const QString& text)>;

// Reads `name` in `folder` (its first defaults.size() bytes), or on failure warns with
// `readError`; a missing file is created from `defaults`, or read if it appeared meanwhile, and
// `writeError` says when neither worked. A file that is there but cannot be read is left as it is.
DataFileRead loadOrCreate(const DataFolder& folder, const QString& name, const QByteArray& defaults,
                          const QString& readError, const QString& writeError,
                          const DataFileWarning& warn);

// The names this game gives the new copy of `name` while saving it: `name`, this marker, and six
// letters or digits. Only names of this form are ever removed as leftovers of a crashed save.
inline const QString kSaveCopyMarker = QStringLiteral(".tintmaze-save-");
constexpr int kSaveCopyUniqueChars = 6;

// A fault that tests inject into every later save to prove that an interrupted save never
// loses the old file. The game never injects one.
struct SaveFault {
    enum class Point {
        Write,   // the write of the new copy takes only `bytes` bytes, as on a full disk
        Commit,  // the commit that replaces the old file fails
    };
    Point point = Point::Write;
    qint64 bytes = 0;
    // When set, run at the point instead of failing there: a test's crash, which never returns.
    std::function<void()> stop;
};

// Injects `fault` into every later save; nullopt takes it away.
void injectSaveFault(std::optional<SaveFault> fault);
