// The level dialog: the slider, its value beside it, and "OK", which starts the count-down.

#include "game/modes.h"
#include "window/form1.h"

void Form1::HScroll1_Change() {
    Label4[2]->setCaption(QString::number(HScroll1->value()));
}

void Form1::HScroll1_Scroll() {
    HScroll1_Change();
}

void Form1::Label4_Click(qint16 Index) {
    if (Index != 1) return;
    level = static_cast<quint8>(HScroll1->value());
    for (auto* label : Label4) label->setVisible(false);
    HScroll1->setVisible(false);
    Label2->setCaption(QStringLiteral("3"));
    Label2->setVisible(true);
    enterMode(Mode::GameStart);
}
