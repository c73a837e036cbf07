// The palette: reading and writing jx.iro, showing it on the colour panel, and the colours
// boards are dealt from.

#include "window/datafile.h"
#include "window/form1.h"
#include "window/messages.h"

void Form1::loadPalette() {
    const QString path = dataFile(kPaletteFileName);
    if (dataFileExists(path)) {
        if (const auto bytes = readDataFile(path)) {
            colourRGB = decodePalette(*bytes);
            return;
        }
        // A file that is there but cannot be read is left as it is for the player to rescue.
        seams_.warn(kReadErrorTitle, kPaletteReadError);
        colourRGB = defaultPalette();
        return;
    }
    seams_.warn(kReadErrorTitle, kPaletteReadError);
    colourRGB = defaultPalette();
    savePalette();
}

bool Form1::savePalette() {
    if (saveOverStart(dataFile(kPaletteFileName), encodePalette(colourRGB))) return true;
    seams_.warn(kWriteErrorTitle, kPaletteWriteError);
    return false;
}

void Form1::showPalette() {
    for (int k = 0; k < kColourCount; ++k) {
        const ColourRecord& colour = colourRGB[k + 1];
        const int components[3] = {colour.red, colour.green, colour.blue};
        for (int c = 0; c < 3; ++c) {
            VScroll1[3 * k + c]->setValue(sliderOfComponent(components[c]));
            Label12[3 * k + c]->setCaption(QString::number(components[c]));
        }
        Label10[k]->setForeColor(packColour(colour.red, colour.green, colour.blue));
    }
}

void Form1::deriveColourValues() {
    colourValues = colourValuesOf(colourRGB);
}
