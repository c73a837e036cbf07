// The colour panel: 21 sliders, their values, the seven previews, "Default", "OK" and "Cansel".

#include "window/form1.h"

void Form1::VScroll1_Change(qint16 Index) {
    Label12[Index]->setCaption(QString::number(componentOfSlider(VScroll1[Index]->value())));
    const int k = Index / 3;
    Label10[k]->setForeColor(previewColour(VScroll1[3 * k]->value(), VScroll1[3 * k + 1]->value(),
                                           VScroll1[3 * k + 2]->value()));
}

void Form1::VScroll1_Scroll(qint16 Index) {
    VScroll1_Change(Index);
}

// Puts the default palette on the sliders, in slider order; nothing is saved.
void Form1::Command2_Click() {
    const ColourTable defaults = defaultPalette();
    for (int k = 0; k < kColourCount; ++k) {
        const ColourRecord& colour = defaults[k + 1];
        VScroll1[3 * k]->setValue(sliderOfComponent(colour.red));
        VScroll1[3 * k + 1]->setValue(sliderOfComponent(colour.green));
        VScroll1[3 * k + 2]->setValue(sliderOfComponent(colour.blue));
    }
}

// The colours are read back from the value labels under the sliders (Label12), not from the
// sliders: those captions are the panel's state, as the game has always kept it, and each is
// written only by VScroll1_Change and showPalette.
void Form1::Command3_Click() {
    for (int k = 0; k < kColourCount; ++k)
        colourRGB[k + 1] = {static_cast<qint16>(Label12[3 * k]->caption().toInt()),
                            static_cast<qint16>(Label12[3 * k + 1]->caption().toInt()),
                            static_cast<qint16>(Label12[3 * k + 2]->caption().toInt())};
    savePalette();
    Frame2->setVisible(false);
    Reset(false);
}

void Form1::Command4_Click() {
    Frame2->setVisible(false);
    Reset(false);
}
