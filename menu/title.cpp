// The title menu, the clicks that leave the game-over screen and the table view, and the keys.

#include "game/modes.h"
#include "window/form1.h"

void Form1::Command1_Click(qint16 Index) {
    switch (Index) {
        case 0:  // "Game Start": the level dialog
            score = 0;
            Picture2->setVisible(false);
            for (auto* button : Command1) button->setVisible(false);
            HScroll1->setVisible(true);
            for (auto* label : Label4) label->setVisible(true);
            HScroll1->setFocus();  // the arrow keys choose the level, as on any slider
            enterMode(Mode::LevelChoice);
            break;
        case 1:  // "High Score": the table view
            enterMode(Mode::HighScores);
            Picture2->setVisible(false);
            for (auto* button : Command1) button->setVisible(false);
            for (int i = 0; i < kLevelCount; ++i) {
                Label7[i]->setVisible(true);
                Label8[i]->setVisible(true);
                Label9[i]->setVisible(true);
            }
            seams_.tellScreenReaders(this, tableWords());
            break;
        case 2:  // "ColorOption": the colour panel over the title
            Frame2->setVisible(true);
            Timer1.setEnabled(false);
            Picture2->setVisible(false);
            break;
        case 3:  // "End"
            seams_.endProgram();
            break;
        default:
            break;
    }
}

void Form1::Form_Click() {
    if (mode == Mode::GameOver)
        High();
    else if (mode == Mode::HighScores)
        Reset(false);
}

void Form1::Picture1_Click() {
    if (mode == Mode::GameOver)
        High();
    else if (mode == Mode::HighScores)
        Reset(false);
}

void Form1::Picture2_Click() {
    if (mode == Mode::GameOver) High();
}

void Form1::Picture3_Click() {
    if (mode == Mode::GameOver) High();
}

void Form1::Frame1_Click() {
    if (mode == Mode::GameOver) High();
}

void Form1::Form_KeyPress(qint16 KeyAscii) {
    if (KeyAscii == kEscape) {
        seams_.endProgram();
        return;
    }
    if (mode == Mode::GameOver && (KeyAscii == kEnter || KeyAscii == kSpace)) {
        High();  // goes on as a click on the board does
        return;
    }
    if (KeyAscii != kEnter) return;
    if (mode == Mode::Load)
        Command1_Click(0);
    else if (mode == Mode::LevelChoice)
        Label4_Click(1);
    else if (mode == Mode::NameEntry)
        commitHighScore();
    else if (mode == Mode::HighScores)
        Reset(false);
}
