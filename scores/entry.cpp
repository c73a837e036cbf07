// After a game: a score that beats its level's best asks for a name; and the table view's rows.

#include "game/modes.h"
#include "window/form1.h"

void Form1::High() {
    Reset(false);
    if (score > highScores[level].bestScore) {
        enterMode(Mode::NameEntry);
        Picture2->setVisible(false);
        Picture1->setVisible(false);
        Text1->setVisible(true);
        Text2->setVisible(true);
        // The player can type at once: the box has the focus with its name selected.
        Text1->setFocus();
        Text1->selectAll();
    }
}

void Form1::commitHighScore() {
    highScores[level].playerName = fixedLengthName(enteredName(Text1->text()));
    highScores[level].bestScore = score;
    storeBestScore();
    enterMode(Mode::Load);
    Picture2->setVisible(true);
    Picture1->setVisible(true);
    Text1->setVisible(false);
    Text2->setVisible(false);
    nameNotice->setVisible(false);
    Reset(false);
}

void Form1::nameLettersRefused(const QStringList& letters, bool full) {
    const QString line = refusedLettersLine(letters, full);
    nameNotice->setCaption(line);
    nameNotice->setVisible(true);
    seams_.tellScreenReaders(this, line);
}

QString Form1::tableWords() const {
    QStringList rows;
    for (int row = 0; row < kLevelCount; ++row) {
        const int slot = kLevelCount - 1 - row;
        QStringList words{Label7[row]->shownText(), Label8[slot]->shownText(),
                          Label9[slot]->shownText()};
        words.removeAll(QString());
        rows << words.join(QStringLiteral(", "));
    }
    return rows.join(QStringLiteral(". ")) + QLatin1Char('.');
}

void Form1::Label7_Click(qint16) {
    Reset(false);
}

void Form1::Label8_Click(qint16) {
    Reset(false);
}

void Form1::Label9_Click(qint16) {
    Reset(false);
}
