// The code page 932 wrapper on any input, read both as bytes to decode and as UTF-16 text to
// encode. Decoding never yields invalid UTF-16; valid bytes come back unchanged except for the
// second codes of characters that have two; encoding never yields bytes that decode to anything
// but the text, "?" standing for what has no code and the code page's own form for the six
// characters input methods type in other forms.
#include "fuzz/fuzzcheck.h"
#include "scores/cp932.h"

#include <cstring>
#include <map>

namespace {

// NEC row 13, the NEC-selected IBM extensions and the IBM extensions: the only places where a
// character can have a second code.
bool isDuplicateArea(uchar lead) {
    return lead == 0x87 || lead == 0xED || lead == 0xEE || (lead >= 0xFA && lead <= 0xFC);
}

// Every double-byte code that decodes to a character whose encoding is another code, with that
// code (its usual form).
std::map<QByteArray, QByteArray> secondCodes;

// Fills secondCodes from all double-byte codes and stops the run if it does not look like code
// page 932 (about 400 such codes, all in the areas above, their usual forms outside the map).
void findSecondCodes() {
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!cp932::isLeadByte(uchar(lead))) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (!cp932::isTrailByte(uchar(trail))) continue;
            const QByteArray code = QByteArray(1, char(lead)) + char(trail);
            const QString text = cp932::decode(code);
            if (text == QString(QChar::ReplacementCharacter)) continue;
            const QByteArray usual = cp932::encode(text);
            if (usual == code) continue;
            FUZZ_CHECK(isDuplicateArea(uchar(lead)), "a second code lies in an extension area");
            FUZZ_CHECK(cp932::decode(usual) == text, "the usual form is the same character");
            secondCodes[code] = usual;
        }
    }
    for (const auto& [code, usual] : secondCodes) {
        FUZZ_CHECK(!secondCodes.contains(usual), "a usual form is no second code");
    }
    const size_t count = secondCodes.size();
    std::fprintf(stderr, "code page 932: %zu characters have a second code\n", count);
    FUZZ_CHECK(count >= 350 && count <= 450, "about 400 characters have a second code");
}

// Checks that exactly the six input-method forms (〜 − ‖ ¢ £ ¬) encode to a code that decodes to
// another character, and that one of two bytes.
void checkOtherForms() {
    int count = 0;
    for (char16_t unit = 1; unit != 0; ++unit) {
        const QChar character(unit);
        if (character.isSurrogate()) continue;
        const QByteArray code = cp932::encode(QStringView(&character, 1));
        if (code == "?" || cp932::decode(code) == QString(character)) continue;
        FUZZ_CHECK(code.size() == 2, "another form takes a double-byte code");
        ++count;
    }
    std::fprintf(stderr, "code page 932: %d characters typed in another form\n", count);
    FUZZ_CHECK(count == 6, "six characters have another form");
}

// Valid bytes with each second code turned into its usual form: what encoding their text must
// give. The input must decode without a replacement character.
QByteArray usualFormOf(QByteArrayView bytes) {
    QByteArray usual;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (!cp932::isLeadByte(uchar(bytes[i]))) {
            usual += bytes[i];
            continue;
        }
        FUZZ_CHECK(i + 1 < bytes.size(), "valid bytes end with a whole character");
        const QByteArray code = bytes.sliced(i, 2).toByteArray();
        const auto second = secondCodes.find(code);
        usual += second == secondCodes.end() ? code : second->second;
        ++i;
    }
    return usual;
}

void checkDecoding(QByteArrayView bytes) {
    const QString text = cp932::decode(bytes);
    FUZZ_CHECK(QStringView(text).isValidUtf16(), "decoding yields valid UTF-16");
    FUZZ_CHECK(text.size() <= bytes.size(), "no byte makes more than one character");
    const QByteArray reencoded = cp932::encode(text);
    FUZZ_CHECK(cp932::decode(reencoded) == replacementsAsQuestionMarks(text),
               "encoding decoded text keeps every character but the bad bytes");
    FUZZ_CHECK(cp932::encode(cp932::decode(reencoded)) == reencoded,
               "re-encoded bytes are their own usual form");
    if (!text.contains(QChar::ReplacementCharacter)) {
        FUZZ_CHECK(reencoded == usualFormOf(bytes),
                   "valid bytes come back unchanged but for second codes");
    }
}

void checkEncoding(QStringView text) {
    const QByteArray bytes = cp932::encode(text);
    FUZZ_CHECK(bytes.size() <= 2 * text.size(), "at most two bytes a character");
    const QString decoded = cp932::decode(bytes);
    qsizetype j = 0;
    for (qsizetype i = 0; i < text.size(); ++i, ++j) {
        FUZZ_CHECK(j < decoded.size(), "every character of the text comes back");
        const QChar character = text[i];
        if (character.isSurrogate()) {
            FUZZ_CHECK(decoded[j] == QLatin1Char('?'), "what lies beyond 16 bits becomes \"?\"");
            const bool pair =
                character.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
            if (pair) ++i;
            continue;
        }
        if (decoded[j] == character) continue;
        const QByteArray code = cp932::encode(QStringView(&character, 1));
        if (decoded[j] != QLatin1Char('?')) {
            FUZZ_CHECK(cp932::encode(QStringView(decoded).sliced(j, 1)) == code,
                       "a character comes back as itself, \"?\" or another form of its code");
            continue;
        }
        FUZZ_CHECK(code == "?", "only a character without a code becomes \"?\"");
    }
    FUZZ_CHECK(j == decoded.size(), "nothing comes back that was not in the text");
    FUZZ_CHECK(cp932::encode(decoded) == bytes, "encoding is stable");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    findSecondCodes();
    checkOtherForms();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    checkDecoding(bytesOf(data, size));

    // The same bytes as UTF-16, little-endian, as a typed name might hold anything.
    QString text(qsizetype(size / sizeof(char16_t)), Qt::Uninitialized);
    std::memcpy(text.data(), data, size_t(text.size()) * sizeof(char16_t));
    checkEncoding(text);
    return 0;
}
