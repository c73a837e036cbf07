// The palette, one colour for each colour word (game/rules.h), its file jx.iro and the arithmetic
// of the colour panel's sliders.
#pragma once

#include "game/records.h"
#include "game/rules.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <array>

constexpr int kComponentMax = 255;
// jx.iro: one record a colour, each of red, green and blue as a 16-bit component.
constexpr int kComponentBytes = int(sizeof(qint16));
constexpr int kColourRecordBytes = 3 * kComponentBytes;
constexpr int kPaletteFileBytes = kColourRecordBytes * kColourCount;

// One palette entry; the game keeps each component within 0..255.
struct ColourRecord {
    qint16 red = 0, green = 0, blue = 0;
    bool operator==(const ColourRecord&) const = default;
};

// colourRGB: record k + 1 is colour k.
using ColourTable = RecordTable<ColourRecord, kColourCount>;

// Black, blue, green, red, purple, yellow and grey 192.
ColourTable defaultPalette();

// Decodes jx.iro: components missing from a short file read as 0; a component outside 0..255 is
// clamped; bytes past kPaletteFileBytes are ignored.
ColourTable decodePalette(QByteArrayView file);

// The kPaletteFileBytes bytes of the table, each component little-endian signed 16-bit.
QByteArray encodePalette(const ColourTable& table);

// The packed colour value red + 256 * green + 65536 * blue.
constexpr qint32 packColour(int red, int green, int blue) {
    return red + 256 * green + 65536 * blue;
}
constexpr qint32 kBlack = packColour(0, 0, 0);
constexpr qint32 kWhite = packColour(kComponentMax, kComponentMax, kComponentMax);

// colourValues: entry k is the packed colour of record k+1.
std::array<qint32, kColourCount> colourValuesOf(const ColourTable& table);

// The colour panel's sliders: value v (0 top .. 255 bottom) stands for component 255 - v.
constexpr int componentOfSlider(int value) {
    return kComponentMax - value;
}
constexpr int sliderOfComponent(int component) {
    return kComponentMax - component;
}

// Preview colour of one colour's three slider values: kWhite - (vr + 256*vg + 65536*vb).
constexpr qint32 previewColour(int vr, int vg, int vb) {
    return kWhite - packColour(vr, vg, vb);
}
