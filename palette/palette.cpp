#include "palette/palette.h"

#include <QtEndian>

namespace {

qint16 clampedComponent(const char* bytes) {
    return qint16(qBound(0, int(qFromLittleEndian<qint16>(bytes)), kComponentMax));
}

void appendComponent(QByteArray& bytes, qint16 component) {
    char little[kComponentBytes];
    qToLittleEndian<qint16>(component, little);
    bytes.append(little, kComponentBytes);
}

}  // namespace

ColourTable defaultPalette() {
    constexpr std::array kDefaults{
        ColourRecord{0, 0, 0},        // black
        ColourRecord{0, 0, 255},      // blue
        ColourRecord{0, 255, 0},      // green
        ColourRecord{255, 0, 0},      // red
        ColourRecord{255, 0, 255},    // purple
        ColourRecord{255, 255, 0},    // yellow
        ColourRecord{192, 192, 192},  // grey
    };
    static_assert(kDefaults.size() == kColourCount, "a default colour for each colour word");
    return {kDefaults};
}

ColourTable decodePalette(QByteArrayView file) {
    const QByteArray bytes = paddedStart(file, kPaletteFileBytes);
    ColourTable table;
    for (int index = 1; index <= kColourCount; ++index) {
        const char* record = bytes.constData() + kColourRecordBytes * (index - 1);
        table[index] = {clampedComponent(record), clampedComponent(record + kComponentBytes),
                        clampedComponent(record + 2 * kComponentBytes)};
    }
    return table;
}

QByteArray encodePalette(const ColourTable& table) {
    QByteArray bytes;
    bytes.reserve(kPaletteFileBytes);
    for (int index = 1; index <= kColourCount; ++index) {
        appendComponent(bytes, table[index].red);
        appendComponent(bytes, table[index].green);
        appendComponent(bytes, table[index].blue);
    }
    return bytes;
}

std::array<qint32, kColourCount> colourValuesOf(const ColourTable& table) {
    std::array<qint32, kColourCount> values{};
    for (int k = 0; k < kColourCount; ++k) {
        const ColourRecord& record = table[k + 1];
        values[size_t(k)] = packColour(record.red, record.green, record.blue);
    }
    return values;
}
