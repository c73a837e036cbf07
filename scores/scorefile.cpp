// The best results: reading and writing jx.hsd, and showing them in the table's rows.

#include "window/datafile.h"
#include "window/form1.h"
#include "window/messages.h"

void Form1::loadHighScores() {
    const QString path = dataFile(kHighScoreFileName);
    if (dataFileExists(path)) {
        if (const auto bytes = readDataFile(path)) {
            highScores = decodeHighScores(*bytes);
            return;
        }
        // A file that is there but cannot be read is left as it is for the player to rescue.
        seams_.warn(kReadErrorTitle, kHighScoreReadError);
        highScores = defaultHighScores();
        return;
    }
    seams_.warn(kReadErrorTitle, kHighScoreReadError);
    highScores = defaultHighScores();
    saveHighScores();
}

bool Form1::saveHighScores() {
    if (saveOverStart(dataFile(kHighScoreFileName), encodeHighScores(highScores))) return true;
    seams_.warn(kWriteErrorTitle, kHighScoreWriteError);
    return false;
}

void Form1::showHighScores() {
    for (int i = 0; i < kLevelCount; ++i) {
        Label8[i]->setCaption(highScores[i + 1].playerName);
        Label9[i]->setCaption(QString::number(highScores[i + 1].bestScore));
    }
}
