// The one place the game touches its data files jx.hsd and jx.iro.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// True when a file (or a link to one) of that name exists; a directory of that name does not
// count.
bool dataFileExists(const QString& path);

// The whole file, or nullopt when it cannot be opened or read.
std::optional<QByteArray> readDataFile(const QString& path);

// What looking for a data file found: its bytes, or that there is none, or that what is there
// cannot be read.
struct DataFileRead {
    enum class State { Read, Missing, Unreadable };
    State state = State::Missing;
    QByteArray bytes;
};
DataFileRead lookForDataFile(const QString& path);

// Writes `records` over the start of the file, keeping any bytes of a longer existing file past
// them, by replacing the file atomically; a link is followed and kept, permissions are kept.
// On failure the old file stays byte for byte as it was, `why` (if given) says what failed, and
// it returns false.
bool saveOverStart(const QString& path, const QByteArray& records, QString* why = nullptr);

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
