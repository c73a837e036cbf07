// Dealing and placing boards, the one timer's phases, and judging a click on a cell.

#include "game/board.h"
#include "game/counters.h"
#include "game/layout.h"
#include "game/modes.h"
#include "window/form1.h"

namespace {

QString scoreCaption(qint16 score) {
    return QStringLiteral("Score:") + QString::number(score);
}

// What a screen reader is told as the game-over picture shows.
QString timeUpWords(qint16 score) {
    return QStringLiteral("Time up. ") + scoreCaption(score);
}

}  // namespace

void Form1::Iroduke() {
    seams_.random->reseed();
    const Board board = dealBoard(*seams_.random, level, colourNames, colourValues);
    Label2->setCaption(colourNames[board.targetWord]);
    Label2->setForeColor(board.targetColour);
    answerIndex = board.answerIndex;
    for (int i = 0; i < board.cellCount; ++i) {
        Label1[i]->setForeColor(board.cellColour[i]);
        Label1[i]->setCaption(colourNames[board.cellWord[i]]);
    }
    Haiti();
}

void Form1::Haiti() {
    const int side = level + 1;
    for (int k = 0; k < side * side; ++k) Label1[k]->setVisible(true);
    for (int k = 0; k < side * side; ++k) {
        const QPoint place = cellPosition(level, k);
        Label1[k]->place(place.x(), place.y());
    }
}

void Form1::enterMode(const QString& next) {
    mode = next;
    for (const Mode::Timing& row : Mode::kTable) {
        if (row.mode != next || row.periodMs == kTimerKept) continue;
        if (row.periodMs != kTimerStopped) Timer1.setInterval(row.periodMs);  // a count from now
        Timer1.setEnabled(row.periodMs != kTimerStopped);
    }
}

void Form1::Timer1_Timer() {
    if (mode == Mode::Load)
        slideTitleLogo();
    else if (mode == Mode::GameStart)
        countDown();
    else if (mode == Mode::Measuring)
        measureTick();
    else if (mode == Mode::ResultDisplay)
        endVerdictDisplay();
}

// The logo moves down a step a tick and stays where it first passes the middle of the strip
// above the board.
void Form1::slideTitleLogo() {
    Picture2->setTop(Picture2->top() + kTitleLogoStep);
    if (Picture2->top() > titleLogoThreshold(Picture1->top())) Timer1.setEnabled(false);
}

// "3", "2", "1" a second each; the tick that would show "0" starts play instead.
// The count itself lives in the caption of Label2, as the game has always kept it: the level
// dialog's "OK" writes "3" there (menu/level.cpp) and each tick reads it back, so what the player
// sees and what is counted can never differ.
void Form1::countDown() {
    const int shown = Label2->caption().toInt();
    Label2->setCaption(QString::number(shown - 1));
    if (shown - 1 == 0) startPlay();
}

void Form1::startPlay() {
    Label2->setForeColor(0);
    Label2->setBackColor(kWhite);
    Label2->setBackStyle(BackStyle::Opaque);
    Label6->setVisible(true);
    Label6->setCaption(scoreCaption(score));
    enterMode(Mode::Measuring);  // the 100 ms count starts before the first board is dealt
    Frame1->setVisible(true);
    Iroduke();
}

// One unit of time gone; the game ends on the measuring tick that uses up the budget.
void Form1::measureTick() {
    timeLeft = addSaturating(timeLeft, -1);
    if (timeLeft <= 0) {
        GameOver();
        return;
    }
    Shape1->setTop(markerTop(Line1->y1(), Line1->y2(), Shape1->twipsHeight(), timeLeft));
}

// The verdict has been shown for its tick: a new board, and the tick is charged to the time.
void Form1::endVerdictDisplay() {
    Label3->setVisible(false);
    Iroduke();
    timeLeft = addSaturating(timeLeft, -kVerdictUnits);
    enterMode(Mode::Measuring);
}

void Form1::GameOver() {
    enterMode(Mode::GameOver);
    Picture3->setVisible(true);
    seams_.tellScreenReaders(this, timeUpWords(score));
}

void Form1::Label1_Click(qint16 Index) {
    if (mode == Mode::Measuring) {
        if (Index == answerIndex) {
            score = addSaturating(score, 1);
            Label6->setCaption(scoreCaption(score));
            Label3->setCaption(QStringLiteral("OK"));
        } else {
            Label3->setCaption(QStringLiteral("Bad"));
        }
        Label3->setVisible(true);
        enterMode(Mode::ResultDisplay);
    } else if (mode == Mode::GameOver) {
        High();
    }
}
