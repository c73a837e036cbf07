// The best results: reading and writing jx.hsd, and showing them in the table's rows.

#include "window/form1.h"
#include "window/messages.h"

// A missing file is created with the defaults; one that is there but cannot be read is left as
// it is for the player to rescue, and the game goes on with the defaults.
void Form1::loadHighScores() {
    const DataFileRead file =
        loadDataFile(kHighScoreFileName, encodeHighScores(defaultHighScores()), kHighScoreReadError,
                     kHighScoreWriteError);
    highScores = file.state == DataFileRead::State::Read ? decodeHighScores(file.bytes)
                                                         : defaultHighScores();
}

// Another copy of the game may have stored a best since the table was read: the file is read
// again under the lock every copy takes, and only the slot of `level` is replaced, only if its
// score still beats what the file's slot holds. A failed save says so.
bool Form1::storeBestScore() {
    const auto merge = [level = level, best = highScores[level],
                        table = highScores](const DataFileRead& now) -> std::optional<QByteArray> {
        if (now.state == DataFileRead::State::Missing) return encodeHighScores(table);
        return withBestScore(now.bytes, level, best);
    };
    const SaveResult save = saveFile(kHighScoreFileName, kHighScoreFileBytes, merge);
    if (save.outcome != SaveResult::Outcome::Failed) return true;
    seams_.warn(this, kWriteErrorTitle, kHighScoreWriteError, save.reason);
    return false;
}

void Form1::showHighScores() {
    for (int i = 0; i < kLevelCount; ++i) {
        Label8[i]->setCaption(highScores[i + 1].playerName);
        Label9[i]->setCaption(QString::number(highScores[i + 1].bestScore));
    }
}
