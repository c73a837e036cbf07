// The best results: reading and writing jx.hsd, and showing them in the table's rows.

#include "window/datafile.h"
#include "window/form1.h"
#include "window/messages.h"

// A missing file is created with the defaults; one that is there but cannot be read is left as
// it is for the player to rescue, and the game goes on with the defaults.
void Form1::loadHighScores() {
    const DataFileRead file = lookForDataFile(dataFile(kHighScoreFileName));
    if (file.state == DataFileRead::State::Read) {
        highScores = decodeHighScores(file.bytes);
        return;
    }
    seams_.warn(this, kReadErrorTitle, kHighScoreReadError);
    highScores = defaultHighScores();
    if (file.state == DataFileRead::State::Missing) saveHighScores();
}

bool Form1::saveHighScores() {
    if (saveOverStart(dataFile(kHighScoreFileName), encodeHighScores(highScores))) return true;
    seams_.warn(this, kWriteErrorTitle, kHighScoreWriteError);
    return false;
}

void Form1::showHighScores() {
    for (int i = 0; i < kLevelCount; ++i) {
        Label8[i]->setCaption(highScores[i + 1].playerName);
        Label9[i]->setCaption(QString::number(highScores[i + 1].bestScore));
    }
}
