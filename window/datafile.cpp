// Reading and saving the data files with plain POSIX calls on the folder's open handle. QSaveFile
// is not used: it takes a path, so it could not name the file relative to the folder's handle,
// and it neither keeps the old file's owner nor waits for the other copies of the game.

#include "window/datafile.h"

#include "window/fileparts.h"
#include "window/messages.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

using namespace fileparts;

std::optional<SaveFault> injectedFault;

// The injected fault if it lies at `point`, else null.
const SaveFault* faultAt(SaveFault::Point point) {
    return injectedFault && injectedFault->point == point ? &*injectedFault : nullptr;
}

SaveOutcome failed(QString* why, const QString& reason) {
    fail(why, reason);
    return SaveOutcome::Failed;
}

std::shared_ptr<const Fd> openFolder(const QByteArray& path) {
    return std::make_shared<const Fd>(::open(path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
}

// Fills the new copy in `folder`: `records`, then what the old file holds past them (holes stay
// holes), then the old file's owner, group, mode and extended attributes; an injected fault cuts
// the bytes short, or stops the program after them.
bool fillCopy(int copy, int folder, const OldFile& old, const QByteArray& records, QString* why) {
    const SaveFault* fault = faultAt(SaveFault::Point::Write);
    CopyWriter writer(copy, fault ? fault->bytes : -1);
    const qint64 oldSize = old.fd ? qint64(old.status.st_size) : 0;
    QString reason;
    bool whole = writer.put(records.constData(), records.size(), 0);
    if (whole && oldSize > records.size())
        whole = copyTail(old.fd.get(), records.size(), oldSize, writer, &reason);
    if (fault && fault->stop) fault->stop();
    if (!whole) return fail(why, reason.isEmpty() ? writer.problem() : reason);
    if (::ftruncate(copy, std::max<qint64>(oldSize, records.size())) != 0)
        return fail(why, systemError());
    if (old.fd && !keepAttributes(copy, old.fd.get(), old.status)) return fail(why, systemError());
    if (!old.fd) giveNewFileToFolderOwner(copy, folder);
    if (::fsync(copy) != 0) return fail(why, systemError());
    return true;
}

// Writes the new copy beside the file and puts it in the file's place; on failure nothing of
// it is left.
bool replaceWithCopy(int folder, const QByteArray& name, const OldFile& old,
                     const QByteArray& records, QString* why) {
    QByteArray copyName;
    Fd copy = createCopy(folder, name, old.fd ? 0600 : 0666, &copyName);
    if (!copy) return fail(why, QStringLiteral("cannot create a new copy: ") + systemError());
    bool done = fillCopy(copy.get(), folder, old, records, why);
    if (const SaveFault* fault = done ? faultAt(SaveFault::Point::Commit) : nullptr) {
        if (fault->stop) fault->stop();
        done = fail(why, QStringLiteral("the commit was cancelled"));
    }
    done = done && commitCopy(folder, copyName, name, old.fd ? &old.status : nullptr, why);
    if (!done) ::unlinkat(folder, copyName.constData(), 0);
    return done;
}

}  // namespace

DataFolder::DataFolder() : DataFolder(QByteArray(".")) {}

DataFolder::DataFolder(const QByteArray& path) : fd_(openFolder(path)) {}

int DataFolder::fd() const {
    return fd_ ? fd_->get() : -1;
}

DataFolder::DataFolder(const QString& path) : DataFolder(QFile::encodeName(path)) {}

DataFileRead readDataFile(const DataFolder& folder, const QString& name, qsizetype bytes) {
    const Fd file = openForReading(folder.fd(), QFile::encodeName(name), true);
    if (!file) {
        const bool missing = errno == ENOENT || errno == ELOOP || errno == ENOTDIR;
        return {missing ? DataFileRead::State::Missing : DataFileRead::State::Unreadable, {}};
    }
    struct stat status;
    if (::fstat(file.get(), &status) != 0) return {DataFileRead::State::Unreadable, {}};
    if (!S_ISREG(status.st_mode)) return {DataFileRead::State::Missing, {}};
    std::optional<QByteArray> start = readStart(file.get(), bytes);
    if (!start) return {DataFileRead::State::Unreadable, {}};
    return {DataFileRead::State::Read, std::move(*start)};
}

SaveOutcome saveDataFile(const DataFolder& folder, const QString& name, qsizetype bytes,
                         const SaveDecision& decide, QString* why) {
    QString reason;
    std::optional<Target> target = resolveLinks(folder.fd(), QFile::encodeName(name), &reason);
    if (!target) return failed(why, QStringLiteral("%1 %2").arg(name, reason));
    std::optional<Fd> lock = lockFolder(target->folder, &reason);
    if (!lock) return failed(why, QStringLiteral("%1: %2").arg(name, reason));

    OldFile old;
    DataFileRead now;
    if (!openOld(*target, &old, &reason))
        return failed(why, QStringLiteral("%1 %2").arg(name, reason));
    if (old.fd) {
        std::optional<QByteArray> start = readStart(old.fd.get(), bytes);
        if (!start)
            return failed(why, QStringLiteral("cannot read %1: %2").arg(name, systemError()));
        now = {DataFileRead::State::Read, std::move(*start)};
    }
    const std::optional<QByteArray> records = decide(now);
    if (!records) return SaveOutcome::LeftAlone;
    // Replacing the file needs only the folder's permission, so its own is checked here.
    if (old.fd && ::faccessat(target->folder, target->name.constData(), W_OK, AT_EACCESS) != 0)
        return failed(why, QStringLiteral("%1 is read-only").arg(name));

    if (*lock) removeLeftovers(target->folder, target->name);
    if (!replaceWithCopy(target->folder, target->name, old, *records, &reason))
        return failed(why, QStringLiteral("cannot save %1: %2").arg(name, reason));
    if (*lock) ::fsync(lock->get());  // the new name reaches the disk too
    return SaveOutcome::Saved;
}

bool saveOverStart(const DataFolder& folder, const QString& name, const QByteArray& records,
                   QString* why) {
    const auto always = [&records](const DataFileRead&) { return std::optional(records); };
    return saveDataFile(folder, name, records.size(), always, why) == SaveOutcome::Saved;
}

DataFileRead createDataFile(const DataFolder& folder, const QString& name,
                            const QByteArray& defaults) {
    const auto whileMissing = [&defaults](const DataFileRead& now) -> std::optional<QByteArray> {
        if (now.state == DataFileRead::State::Missing) return defaults;
        return std::nullopt;
    };
    if (saveDataFile(folder, name, 0, whileMissing) == SaveOutcome::Saved)
        return {DataFileRead::State::Read, defaults};
    return readDataFile(folder, name, defaults.size());
}

void injectSaveFault(std::optional<SaveFault> fault) {
    injectedFault = std::move(fault);
}

DataFileRead loadOrCreate(const DataFolder& folder, const QString& name, const QByteArray& defaults,
                          const QString& readError, const QString& writeError,
                          const DataFileWarning& warn) {
    DataFileRead file = readDataFile(folder, name, defaults.size());
    if (file.state == DataFileRead::State::Read) return file;
    warn(kReadErrorTitle, readError);
    if (file.state == DataFileRead::State::Unreadable) return file;  // left for the player
    file = createDataFile(folder, name, defaults);
    if (file.state != DataFileRead::State::Read) warn(kWriteErrorTitle, writeError);
    return file;
}
