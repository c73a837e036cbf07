// Any bytes read as jx.hsd: decoding never fails, every name field that was code page 932 in its
// usual form is written back byte for byte, every score always is, and a second round changes
// nothing.
#include "fuzz/fuzzcheck.h"
#include "scores/cp932.h"
#include "scores/highscores.h"

namespace {

QByteArrayView nameFieldOf(const QByteArray& file, int level) {
    return QByteArrayView(file).sliced(kHighScoreRecordBytes * (level - 1), kNameBytes);
}

QByteArrayView scoreOf(const QByteArray& file, int level) {
    return QByteArrayView(file).sliced(kHighScoreRecordBytes * (level - 1) + kNameBytes,
                                       kHighScoreRecordBytes - kNameBytes);
}

// True when the field is code page 932 that encoding its text gives back unchanged (about 400
// characters have a second code that encodes to the first; a field using one is not).
bool isUsualForm(QByteArrayView field) {
    return cp932::encode(cp932::decode(field)) == field;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView input = bytesOf(data, size);
    const QByteArray file = paddedStart(input, kHighScoreFileBytes);
    const HighScoreTable table = decodeHighScores(input);
    FUZZ_CHECK(decodeHighScores(file) == table, "bytes past a short file read as zeros");

    const QByteArray encoded = encodeHighScores(table);
    FUZZ_CHECK(encoded.size() == kHighScoreFileBytes, "the written table has its fixed size");
    for (int level = 1; level <= kLevelCount; ++level) {
        const QString& name = table[level].playerName;
        FUZZ_CHECK(name.size() == kNameChars, "a decoded name fills its field");
        FUZZ_CHECK(QStringView(name).isValidUtf16(), "a decoded name is valid UTF-16");
        FUZZ_CHECK(scoreOf(encoded, level) == scoreOf(file, level), "scores come back unchanged");
        const QByteArrayView field = nameFieldOf(file, level);
        if (nameFieldOf(encoded, level) != field) {
            FUZZ_CHECK(!isUsualForm(field), "a usual-form name field comes back byte for byte");
        }
    }

    // Writing what was read and reading it again gives the same table, except that bytes which
    // were no character come back as "?"; from then on nothing changes.
    const HighScoreTable reread = decodeHighScores(encoded);
    HighScoreTable expected = table;
    for (HighScoreRecord& record : expected.records) {
        record.playerName = replacementsAsQuestionMarks(record.playerName);
    }
    FUZZ_CHECK(reread == expected, "decode, encode, decode keeps the table");
    FUZZ_CHECK(encodeHighScores(reread) == encoded, "a second round writes the same bytes");
    return 0;
}
