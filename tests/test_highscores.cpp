// The high-score table and the bytes of jx.hsd.
#include "testfiles.h"

#include "scores/cp932.h"
#include "scores/highscores.h"

#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray spaces(int count) {
    return QByteArray(count, ' ');
}

// Two bytes, as a score or a double-byte character stands in the file.
QByteArray twoBytes(int first, int second) {
    return QByteArray(1, char(first)) + char(second);
}

// One 56-byte record as it stands in the file.
QByteArray recordBytes(const QByteArray& nameField, const QByteArray& score) {
    return nameField + score;
}

const QString kRed = u"赤"_s;

}  // namespace

class TestHighScores : public QObject {
    Q_OBJECT

  private slots:
    void defaultFileIsNineDefaultRecords() {
        const QByteArray expected =
            recordBytes(QByteArray("\x4E\x6F\x20\x4E\x61\x6D\x65") + spaces(47), twoBytes(0, 0));
        const QByteArray file = encodeHighScores(defaultHighScores());
        QCOMPARE(file.size(), kHighScoreFileBytes);
        for (int level = 1; level <= kLevelCount; ++level)
            QCOMPARE(recordOf(file, level), expected);
        QCOMPARE(decodeHighScores(file), defaultHighScores());
    }

    void readsAndWritesRecord_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("score");
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QString>("readBack");  // the name as the file gives it back
        const QByteArray red = twoBytes(0x90, 0xD4);

        QTest::newRow("red and blue, 1234")
            << u"赤青"_s << 1234
            << recordBytes("\x90\xD4\x90\xC2" + spaces(50), twoBytes(0xD2, 0x04)) << u"赤青"_s;
        QTest::newRow("negative score")
            << u"Ann"_s << -100 << recordBytes("Ann" + spaces(51), twoBytes(0x9C, 0xFF))
            << u"Ann"_s;
        QTest::newRow("lowest score")
            << QString() << -32768 << recordBytes(spaces(54), twoBytes(0x00, 0x80)) << QString();
        QTest::newRow("highest score")
            << u"x"_s << 32767 << recordBytes("x" + spaces(53), twoBytes(0xFF, 0x7F)) << u"x"_s;
        QTest::newRow("27 double-byte characters fill the field")
            << kRed.repeated(27) << 1 << recordBytes(red.repeated(27), twoBytes(0x01, 0x00))
            << kRed.repeated(27);
        QTest::newRow("more double-byte characters are cut to 54 bytes")
            << kRed.repeated(40) << 1 << recordBytes(red.repeated(27), twoBytes(0x01, 0x00))
            << kRed.repeated(27);
        QTest::newRow("a double-byte character is never split")
            << QString(53, u'a') + kRed << 7
            << recordBytes(QByteArray(53, 'a') + " ", twoBytes(7, 0)) << QString(53, u'a');
        QTest::newRow("unrepresentable characters")
            << u"é😀"_s << 3 << recordBytes("??" + spaces(52), twoBytes(0x03, 0x00)) << u"??"_s;
        QTest::newRow("nul characters") << u"Bo"_s + QString(52, QChar::Null) << 5
                                        << recordBytes("Bo" + QByteArray(52, '\0'), twoBytes(5, 0))
                                        << u"Bo"_s + QString(52, QChar::Null);
        QTest::newRow("cleared slot")
            << QString(kNameChars, QChar::Null) << 0 << QByteArray(kHighScoreRecordBytes, '\0')
            << QString(kNameChars, QChar::Null);
    }

    void readsAndWritesRecord() {
        QFETCH(QString, name);
        QFETCH(int, score);
        QFETCH(QByteArray, record);
        QFETCH(QString, readBack);
        for (int level : {1, 5, 9}) {
            HighScoreTable table = defaultHighScores();
            table[level] = {fixedLengthName(name), qint16(score)};
            const QByteArray file = encodeHighScores(table);
            QCOMPARE(file.size(), kHighScoreFileBytes);
            QCOMPARE(recordOf(file, level), record);

            const HighScoreTable reread = decodeHighScores(file);
            QCOMPARE(reread[level].playerName, fixedLengthName(readBack));
            QCOMPARE(reread[level].bestScore, qint16(score));
            QCOMPARE(reread[level == 1 ? 2 : 1], defaultHighScoreRecord());
        }
    }

    void slotsSitAtTheirLevelsOffsets() {
        QByteArray file;
        for (int level = 1; level <= kLevelCount; ++level) {
            file += QByteArray::number(level) + spaces(53) + char(10 * level) + '\0';
        }
        const HighScoreTable table = decodeHighScores(file);
        for (int level = 1; level <= kLevelCount; ++level) {
            QCOMPARE(table[level].playerName.trimmed(), QString::number(level));
            QCOMPARE(table[level].bestScore, qint16(10 * level));
        }
    }

    void shortFileKeepsTheClearedState_data() {
        QTest::addColumn<int>("length");
        QTest::newRow("empty") << 0;
        QTest::newRow("part of the first name") << 20;
        QTest::newRow("first name and one score byte") << 55;
        QTest::newRow("one record and one byte") << 57;
        QTest::newRow("100 bytes") << 100;
        QTest::newRow("one byte short") << kHighScoreFileBytes - 1;
        QTest::newRow("100 bytes past the table") << kHighScoreFileBytes + 100;
    }

    // Each byte a short file holds is read; the bytes it lacks stay zero as in the cleared table.
    // Bytes past the table are not read.
    void shortFileKeepsTheClearedState() {
        QFETCH(int, length);
        HighScoreTable full = defaultHighScores();
        for (int level = 1; level <= kLevelCount; ++level) {
            full[level].bestScore = qint16(0x0101 * level);
        }
        const QByteArray fullFile = encodeHighScores(full) + QByteArray(100, '\x90');
        QByteArray expected = fullFile.left(qMin(length, kHighScoreFileBytes));
        expected.append(kHighScoreFileBytes - expected.size(), '\0');

        const HighScoreTable table = decodeHighScores(fullFile.left(length));
        QCOMPARE(encodeHighScores(table), expected);
        if (length == 0) QCOMPARE(table, clearedHighScores());
        const int firstUntouched = length / kHighScoreRecordBytes + 2;
        for (int level = firstUntouched; level <= kLevelCount; ++level) {
            QCOMPARE(table[level], clearedHighScores()[level]);
        }
    }

    void invalidNameBytesBecomeReplacementCharacters() {
        QByteArray file = encodeHighScores(defaultHighScores());
        file.replace(0, 4, "A\xFF\x85\x40");
        const QString name = decodeHighScores(file)[1].playerName;
        QCOMPARE(name.size(), kNameChars);
        QCOMPARE(name, fixedLengthName(u"A\uFFFD\uFFFDame"_s));
    }

    void doubleByteNameSurvivesSavingAnotherSlot() {
        const QString name = u"緑紫黄灰黒"_s.repeated(6).left(kEnteredNameMaxChars);
        HighScoreTable written = defaultHighScores();
        written[6] = {fixedLengthName(name), 321};
        const QByteArray file = encodeHighScores(written);
        QCOMPARE(recordOf(file, 6).left(kNameBytes), cp932::encode(name));
        QCOMPARE(cp932::encode(name).size(), kNameBytes);

        HighScoreTable reread = decodeHighScores(file);
        reread[2] = {fixedLengthName(u"Eve"_s), 50};
        const QByteArray saved = encodeHighScores(reread);
        QCOMPARE(recordOf(saved, 6), recordOf(file, 6));
        QCOMPARE(saved.mid(kHighScoreRecordBytes * 2), file.mid(kHighScoreRecordBytes * 2));
    }

    // Files made of characters in their usual code, nul bytes and any scores are read and written
    // back unchanged.
    void validFilesComeBackByteForByte() {
        QList<QByteArray> singles, doubles;
        for (int byte = 0; byte < 0x100; ++byte) {
            if (byte < 0x80 || (byte >= 0xA1 && byte <= 0xDF)) singles += QByteArray(1, char(byte));
            if (!cp932::isLeadByte(uchar(byte))) continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                const QByteArray code = twoBytes(byte, trail);
                const QString text = cp932::decode(code);
                if (text.size() == 1 && text[0] != QChar::ReplacementCharacter &&
                    cp932::encode(text) == code) {
                    doubles += code;
                }
            }
        }
        QRandomGenerator random(932);
        for (int round = 0; round < 300; ++round) {
            QByteArray file;
            for (int level = 1; level <= kLevelCount; ++level) {
                QByteArray name;
                const int wanted = random.bounded(kNameBytes + 1);
                while (name.size() < wanted) {
                    QByteArray piece = random.bounded(2) ? doubles[random.bounded(doubles.size())]
                                                         : singles[random.bounded(singles.size())];
                    if (name.size() + piece.size() > kNameBytes) piece = " ";
                    name += piece;
                }
                const QByteArray filler = random.bounded(2) ? spaces(1) : QByteArray(1, '\0');
                file += name + filler.repeated(kNameBytes - name.size());
                file += char(random.bounded(256));
                file += char(random.bounded(256));
            }
            QCOMPARE(encodeHighScores(decodeHighScores(file)), file);
        }
    }

    void keepsTheStartOfATypedName_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        const QString emoji = u"😀"_s;
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("short") << u"Ann"_s << u"Ann"_s;
        QTest::newRow("27 characters") << QString(27, u'n') << QString(27, u'n');
        QTest::newRow("30 characters")
            << u"abcdefghijklmnopqrstuvwxyz0123"_s << u"abcdefghijklmnopqrstuvwxyz0"_s;
        QTest::newRow("30 double-byte characters") << kRed.repeated(30) << kRed.repeated(27);
        QTest::newRow("40 half-width katakana") << u"ｱ"_s.repeated(40) << u"ｱ"_s.repeated(27);
        QTest::newRow("20 emoji") << emoji.repeated(20) << emoji.repeated(13);
        QTest::newRow("double-byte characters across the limit")
            << QString(26, u'a') + kRed + kRed << QString(26, u'a') + kRed;
        QTest::newRow("pair ends at the limit")
            << QString(25, u'n') + emoji << QString(25, u'n') + emoji;
        QTest::newRow("pair across the limit") << QString(26, u'n') + emoji << QString(26, u'n');
    }

    // The name entered keeps the start of what was typed, and fits the record's field whole.
    void keepsTheStartOfATypedName() {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QCOMPARE(enteredName(typed), stored);
        HighScoreTable table = defaultHighScores();
        table[3] = {fixedLengthName(enteredName(typed)), 9};
        const QByteArray field = cp932::encode(enteredName(typed));
        QVERIFY(field.size() <= kNameBytes);
        const QByteArray record = recordOf(encodeHighScores(table), 3);
        QCOMPARE(record.left(kNameBytes), field + spaces(kNameBytes - int(field.size())));
    }
};

QTEST_GUILESS_MAIN(TestHighScores)
#include "test_highscores.moc"
