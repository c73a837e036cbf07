// What the window tells the player about the data files: a file that cannot be read, one that is
// missing and is created with the defaults, and one whose results cannot be kept.

#include "window/form1.h"

namespace {

// The line under a box's text: the file's name and what is wrong with it.
QString aboutFile(const QString& name, const QString& reason) {
    return name + QLatin1Char(' ') + reason;
}

}  // namespace

void Form1::tellIfUnsaved(const DataFileWords& file, const QString& reason) {
    if (reason.isEmpty()) {
        toldUnsaved_.remove(file.name);
        return;
    }
    if (toldUnsaved_.value(file.name) == reason) return;  // the player knows already
    toldUnsaved_.insert(file.name, reason);
    seams_.warn(this, kWriteErrorTitle, file.writeError, aboutFile(file.name, reason));
}

void Form1::warnUnsaved(const DataFileWords& file, const SaveResult& save) {
    if (save.outcome == SaveResult::Outcome::Failed)
        seams_.warn(this, kWriteErrorTitle, file.writeError, aboutFile(file.name, save.reason));
}

DataFileRead Form1::loadDataFile(const DataFileWords& words, const QByteArray& defaults) {
    DataFileRead file = readFile(words.name, defaults.size());
    if (file.state == DataFileRead::State::Unreadable)  // left for the player
        seams_.warn(this, kReadErrorTitle, words.readFailed, aboutFile(words.name, file.reason));
    if (file.state != DataFileRead::State::Missing || !file.unwritable.isEmpty()) {
        tellIfUnsaved(words, file.unwritable);
        return file;
    }
    // Created with the defaults after the warning, unless a file turned up meanwhile: that one is
    // read.
    seams_.warn(this, kReadErrorTitle, words.readError, QString());
    const auto defaultsIfMissing = [defaults](const DataFileRead& now) {
        return now.state == DataFileRead::State::Missing ? std::optional(defaults) : std::nullopt;
    };
    const SaveResult made = saveFile(words.name, defaults.size(), defaultsIfMissing);
    if (made.outcome == SaveResult::Outcome::Saved)
        return {DataFileRead::State::Read, defaults, {}, {}};
    file = readFile(words.name, defaults.size());
    if (file.state != DataFileRead::State::Read) warnUnsaved(words, made);
    return file;
}
