// Code page 932 (the Japanese Windows code page) for the names in the high-score file.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace cp932 {

// Decodes code page 932 bytes; every invalid or cut-off byte sequence becomes one U+FFFD and
// decoding goes on.
QString decode(QByteArrayView bytes);

// Encodes to code page 932; a character that code page 932 cannot represent (checked by decoding
// the result back) becomes "?". The forms input methods type for 〜 − ‖ ¢ £ ¬ take the codes
// Windows gives them, which decode to the code page's own forms (～ － ∥ ￠ ￡ ￢).
QByteArray encode(QStringView text);

// True for a character that encode() stores as itself: one the code page has, or an input
// method's form of one; false for one that would become "?" and for half of a surrogate pair.
bool storable(QChar character);

// True for a byte that opens a double-byte character (0x81-0x9F, 0xE0-0xFC).
constexpr bool isLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// True for a byte that may close a double-byte character (0x40-0x7E, 0x80-0xFC).
constexpr bool isTrailByte(unsigned char byte) {
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

}  // namespace cp932
