// The palette: reading and writing jx.iro, showing it on the colour panel, and the colours
// boards are dealt from.

#include "window/form1.h"
#include "window/messages.h"

// A missing file is created with the defaults; one that is there but cannot be read is left as
// it is for the player to rescue, and the game goes on with the defaults.
void Form1::loadPalette() {
    const DataFileRead file = loadDataFile(kPaletteFileName, encodePalette(defaultPalette()),
                                           kPaletteReadError, kPaletteWriteError);
    colourRGB =
        file.state == DataFileRead::State::Read ? decodePalette(file.bytes) : defaultPalette();
}

// The colours the player confirmed win over whatever the file holds; the lock only keeps two
// saves from interleaving.
bool Form1::savePalette() {
    const auto confirmed = [records = encodePalette(colourRGB)](const DataFileRead&) {
        return std::optional(records);
    };
    const SaveResult save = saveFile(kPaletteFileName, kPaletteFileBytes, confirmed);
    if (save.outcome == SaveResult::Outcome::Saved) return true;
    seams_.warn(this, kWriteErrorTitle, kPaletteWriteError, save.reason);
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
