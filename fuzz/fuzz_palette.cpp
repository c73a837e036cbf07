// Any bytes read as jx.iro: decoding never fails, every component is the stored one clamped to
// 0..255, components that were in range are written back byte for byte, and a second round
// changes nothing.
#include "fuzz/fuzzcheck.h"
#include "palette/palette.h"

#include <QtEndian>

namespace {

constexpr int kComponentBytes = 2, kComponentsPerColour = 3;

// The stored value of component c (0 red, 1 green, 2 blue) of colour index k.
int storedComponent(const QByteArray& file, int k, int c) {
    return qFromLittleEndian<qint16>(file.constData() +
                                     kComponentBytes * (kComponentsPerColour * k + c));
}

int componentOf(const ColourRecord& record, int c) {
    return c == 0 ? record.red : c == 1 ? record.green : record.blue;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView input = bytesOf(data, size);
    const QByteArray file = paddedStart(input, kPaletteFileBytes);
    const ColourTable table = decodePalette(input);
    const QByteArray encoded = encodePalette(table);
    FUZZ_CHECK(encoded.size() == kPaletteFileBytes, "the written palette has its fixed size");

    for (int k = 0; k < kColourCount; ++k) {
        for (int c = 0; c < kComponentsPerColour; ++c) {
            const int stored = storedComponent(file, k, c);
            const int component = componentOf(table[k + 1], c);
            FUZZ_CHECK(component == qBound(0, stored, kComponentMax),
                       "a component is the stored value clamped to 0..255");
            const int slider = sliderOfComponent(component);
            FUZZ_CHECK(slider >= 0 && slider <= kComponentMax, "its slider can show it");
            if (stored == component) {
                FUZZ_CHECK(storedComponent(encoded, k, c) == stored,
                           "a component in range comes back byte for byte");
            }
        }
        const qint32 value = colourValuesOf(table)[size_t(k)];
        FUZZ_CHECK(value >= 0 && value <= 0xFFFFFF, "a colour value is 24 bits");
    }

    FUZZ_CHECK(decodePalette(encoded) == table, "decode, encode, decode keeps the palette");
    FUZZ_CHECK(encodePalette(decodePalette(encoded)) == encoded,
               "a second round writes the same bytes");
    return 0;
}
