// The table of the best result of each level and its file jx.hsd.
#pragma once

#include "game/records.h"
#include "game/rules.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QtGlobal>

#include <optional>

// jx.hsd: one record a level, from level 1 up: the name's bytes, then the score as a 16-bit
// little-endian number.
constexpr int kNameChars = 54, kNameBytes = 54;
constexpr int kScoreBytes = int(sizeof(qint16));
constexpr int kHighScoreRecordBytes = kNameBytes + kScoreBytes;
constexpr int kHighScoreFileBytes = kHighScoreRecordBytes * kLevelCount;
constexpr int kEnteredNameMaxChars = 27;

// One slot: the holder's name and the best score of its level.
struct HighScoreRecord {
    QString playerName;  // always exactly kNameChars characters
    qint16 bestScore = 0;
    bool operator==(const HighScoreRecord&) const = default;
};

// One slot a level; slot n belongs to level n.
using HighScoreTable = RecordTable<HighScoreRecord, kLevelCount>;

// The text padded with spaces, or cut, to exactly kNameChars characters.
QString fixedLengthName(QStringView text);

// "No Name" followed by spaces, score 0.
HighScoreRecord defaultHighScoreRecord();

// The default record in every slot.
HighScoreTable defaultHighScores();

// Every name kNameChars NUL characters, every score 0: the table before a file is read over it.
HighScoreTable clearedHighScores();

// Decodes the start of a jx.hsd file; bytes not covered by a short file keep the cleared state;
// bytes past kHighScoreFileBytes are ignored.
HighScoreTable decodeHighScores(QByteArrayView file);

// The kHighScoreFileBytes bytes of the table: each name encoded from its whole field, cut to
// kNameBytes without splitting a double-byte character, padded with spaces; scores little-endian.
QByteArray encodeHighScores(const HighScoreTable& table);

// The first kHighScoreFileBytes bytes of `file` (zeros past a short one) with slot `level` holding
// `record`, if its score beats what that slot of the file holds; nullopt otherwise. Every other
// slot keeps the file's bytes.
std::optional<QByteArray> withBestScore(QByteArrayView file, int level,
                                        const HighScoreRecord& record);

// Whether the name box takes the character: one jx.hsd stores as itself (cp932::storable), and
// no control character, which the table could not show.
bool takenInName(QChar character);

// The line under the name box when it keeps letters out: that jx.hsd cannot keep them (each
// quoted, one that shows nothing by its code, "U+0009"), and, when the name has its
// kEnteredNameMaxChars characters, that jx.hsd keeps no more.
QString refusedLettersLine(const QStringList& letters, bool full);

// The name the entry box stores: at most its first kEnteredNameMaxChars characters, never half
// of a surrogate pair.
QString enteredName(QStringView typed);
