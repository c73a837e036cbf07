#include "window/datafile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

bool fail(QString* why, const QString& reason) {
    if (why) *why = reason;
    return false;
}

std::optional<SaveFault> injectedFault;

// The injected fault if it lies at `point`, else null.
const SaveFault* faultAt(SaveFault::Point point) {
    return injectedFault && injectedFault->point == point ? &*injectedFault : nullptr;
}

// Writes `content` to `file` and returns the bytes taken; an injected fault cuts it short, or
// stops the program after its bytes.
qint64 writeContent(QSaveFile& file, const QByteArray& content) {
    const SaveFault* fault = faultAt(SaveFault::Point::Write);
    if (!fault) return file.write(content);
    const qint64 written = file.write(content.left(fault->bytes));
    if (fault->stop) fault->stop();
    return written;
}

// Replaces the old file by the new copy; an injected fault stops the program before, or makes
// the commit fail.
bool commitContent(QSaveFile& file) {
    if (const SaveFault* fault = faultAt(SaveFault::Point::Commit)) {
        if (fault->stop) fault->stop();
        file.cancelWriting();
    }
    return file.commit();
}

}  // namespace

bool dataFileExists(const QString& path) {
    return QFileInfo(path).isFile();
}

std::optional<QByteArray> readDataFile(const QString& path) {
    // Opening a pipe would wait for a writer, and a folder cannot be read.
    if (!dataFileExists(path)) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return bytes;
}

DataFileRead lookForDataFile(const QString& path) {
    if (!dataFileExists(path)) return {DataFileRead::State::Missing, {}};
    std::optional<QByteArray> bytes = readDataFile(path);
    if (!bytes) return {DataFileRead::State::Unreadable, {}};
    return {DataFileRead::State::Read, std::move(*bytes)};
}

bool saveOverStart(const QString& path, const QByteArray& records, QString* why) {
    const QFileInfo existing(path);  // follows a link to its target
    // Only a plain file is replaced: never a folder, nor a pipe or a device a link leads to.
    if (existing.isDir()) return fail(why, QStringLiteral("%1 is a folder").arg(path));
    if (existing.exists() && !existing.isFile())
        return fail(why, QStringLiteral("%1 is not a plain file").arg(path));

    QByteArray content = records;
    if (existing.exists()) {
        // Replacing the file needs only the folder's permission, so its own is checked here.
        if (!existing.isWritable()) return fail(why, QStringLiteral("%1 is read-only").arg(path));
        if (existing.size() > records.size()) {
            const std::optional<QByteArray> old = readDataFile(path);
            if (!old) return fail(why, QStringLiteral("cannot read the end of %1").arg(path));
            content += old->mid(records.size());
        }
    }

    // Unbuffered, so that a failed write shows in write() and not as a lost final flush.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return fail(why, QStringLiteral("cannot create %1: %2").arg(path, file.errorString()));
    }
    const qint64 written = writeContent(file, content);
    if (written != content.size()) {
        // A full disk may take part of the bytes without an error.
        const QString reason =
            file.error() != QFileDevice::NoError
                ? file.errorString()
                : QStringLiteral("only %1 of %2 bytes written").arg(written).arg(content.size());
        file.cancelWriting();
        return fail(why, QStringLiteral("cannot write %1: %2").arg(path, reason));
    }
    if (!commitContent(file)) {
        return fail(why, QStringLiteral("cannot save %1: %2").arg(path, file.errorString()));
    }
    return true;
}

void injectSaveFault(std::optional<SaveFault> fault) {
    injectedFault = std::move(fault);
}
