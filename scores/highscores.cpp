#include "scores/highscores.h"

#include "scores/cp932.h"

#include <QtEndian>

namespace {

const QString kDefaultPlayerName = QStringLiteral("No Name");
constexpr char kPaddingByte = ' ';

// The name's bytes cut to the field without leaving the first half of a double-byte character
// at its end (a space takes that place), then padded with spaces.
QByteArray nameField(QStringView name) {
    const QByteArray encoded = cp932::encode(fixedLengthName(name));
    QByteArray field;
    field.reserve(kNameBytes);
    for (qsizetype i = 0; i < encoded.size() && field.size() < kNameBytes; ++i) {
        const auto byte = uchar(encoded[i]);
        const bool doubleByte = cp932::isLeadByte(byte) && i + 1 < encoded.size();
        if (doubleByte && field.size() + 2 > kNameBytes) break;
        field += encoded[i];
        if (doubleByte) field += encoded[++i];
    }
    field.append(kNameBytes - field.size(), kPaddingByte);
    return field;
}

// The kHighScoreRecordBytes bytes of one slot: its name field, then its score little-endian.
QByteArray encodeRecord(const HighScoreRecord& record) {
    QByteArray bytes = nameField(record.playerName);
    char score[kScoreBytes];
    qToLittleEndian<qint16>(record.bestScore, score);
    bytes.append(score, sizeof score);
    return bytes;
}

}  // namespace

QString fixedLengthName(QStringView text) {
    QString name = text.left(kNameChars).toString();
    name.append(QString(kNameChars - name.size(), QLatin1Char(' ')));
    return name;
}

HighScoreRecord defaultHighScoreRecord() {
    return {fixedLengthName(kDefaultPlayerName), 0};
}

HighScoreTable defaultHighScores() {
    HighScoreTable table;
    table.records.fill(defaultHighScoreRecord());
    return table;
}

HighScoreTable clearedHighScores() {
    HighScoreTable table;
    table.records.fill({QString(kNameChars, QChar::Null), 0});
    return table;
}

HighScoreTable decodeHighScores(QByteArrayView file) {
    // What the file does not cover reads as zero bytes, which decode to the cleared state.
    const QByteArray bytes = paddedStart(file, kHighScoreFileBytes);
    HighScoreTable table;
    for (int level = 1; level <= kLevelCount; ++level) {
        const char* record = bytes.constData() + kHighScoreRecordBytes * (level - 1);
        table[level].playerName =
            fixedLengthName(cp932::decode(QByteArrayView(record, kNameBytes)));
        table[level].bestScore = qFromLittleEndian<qint16>(record + kNameBytes);
    }
    return table;
}

QByteArray encodeHighScores(const HighScoreTable& table) {
    QByteArray bytes;
    bytes.reserve(kHighScoreFileBytes);
    for (int level = 1; level <= kLevelCount; ++level) bytes += encodeRecord(table[level]);
    return bytes;
}

std::optional<QByteArray> withBestScore(QByteArrayView file, int level,
                                        const HighScoreRecord& record) {
    QByteArray bytes = paddedStart(file, kHighScoreFileBytes);
    const qsizetype at = kHighScoreRecordBytes * (level - 1);
    if (record.bestScore <= qFromLittleEndian<qint16>(bytes.constData() + at + kNameBytes))
        return std::nullopt;
    bytes.replace(at, kHighScoreRecordBytes, encodeRecord(record));
    return bytes;
}

QString enteredName(QStringView typed) {
    QStringView name = typed.left(kEnteredNameMaxChars);
    const bool splitsPair = name.size() < typed.size() && name.back().isHighSurrogate() &&
                            typed[name.size()].isLowSurrogate();
    if (splitsPair) name.chop(1);
    return name.toString();
}

bool takenInName(QChar character) {
    return character.category() != QChar::Other_Control && cp932::storable(character);
}

QString refusedLettersLine(const QStringList& letters, bool full) {
    QStringList shown;
    for (const QString& letter : letters)
        shown << (letter.size() == 1 && !letter[0].isPrint()
                      ? QStringLiteral("U+%1")
                            .arg(letter[0].unicode(), 4, 16, QLatin1Char('0'))
                            .toUpper()
                      : u'“' + letter + u'”');
    QStringList line;
    if (!shown.isEmpty()) line << QStringLiteral("jx.hsd cannot keep ") + shown.join(u", ") + u'.';
    if (full)
        line << QStringLiteral("jx.hsd keeps %1 letters of a name.").arg(kEnteredNameMaxChars);
    return line.join(u' ');
}
