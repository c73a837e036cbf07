// Code page 932 conversion of player names.
#include "scores/cp932.h"

#include <QTest>

#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

class TestCp932 : public QObject {
    Q_OBJECT

  private slots:
    void decodesBytes_data();
    void decodesBytes();
    void encodesText_data();
    void encodesText();
    void everyCodeDecodesToOneCharacterThatSurvivesEncoding();
    void duplicateCodesEncodeToTheirUsualForm();
    void convertsOnSeveralThreadsAtOnce();
};

void TestCp932::decodesBytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const QChar bad = QChar::ReplacementCharacter;

    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("ascii") << QByteArray("No Name") << u"No Name"_s;
    QTest::newRow("red and blue") << QByteArray("\x90\xD4\x90\xC2") << u"赤青"_s;
    QTest::newRow("backslash and tilde stay ascii") << QByteArray("\\~") << u"\\~"_s;
    QTest::newRow("half-width katakana") << QByteArray("\xB1\xDF") << u"ｱﾟ"_s;
    QTest::newRow("nul bytes") << QByteArray("a\0\0b", 4) << QStringView(u"a\0\0b", 4).toString();
    QTest::newRow("user-defined area") << QByteArray("\xF0\x40") << u"\uE000"_s;
    QTest::newRow("bytes that are no character")
        << QByteArray("\x80.\xA0.\xFD.\xFE.\xFF")
        << QString(bad) + u"."_s + bad + u"."_s + bad + u"."_s + bad + u"."_s + bad;
    QTest::newRow("lead byte before a space") << QByteArray("\x81 x") << QString(bad) + u" x"_s;
    QTest::newRow("lead byte before DEL") << QByteArray("\x81\x7F") << QString(bad) + QChar(0x7F);
    QTest::newRow("unassigned pair is one character")
        << QByteArray("\x85\x40\x90\xD4") << QString(bad) + u"赤"_s;
    QTest::newRow("codes of the input-method forms read as the code page's forms")
        << QByteArray("\x81\x60\x81\x7C\x81\x61\x81\x91\x81\x92\x81\xCA") << u"～－∥￠￡￢"_s;
    QTest::newRow("cut off at the end") << QByteArray("A\x90") << u"A"_s + bad;
    QTest::newRow("cut off after invalid") << QByteArray("\xFF\x90") << QString(2, bad);
}

void TestCp932::decodesBytes() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(cp932::decode(bytes), text);
}

void TestCp932::encodesText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("ascii") << u"No Name"_s << QByteArray("No Name");
    QTest::newRow("red and blue") << u"赤青"_s << QByteArray("\x90\xD4\x90\xC2");
    QTest::newRow("half-width katakana") << u"ｱﾟ"_s << QByteArray("\xB1\xDF");
    QTest::newRow("nul characters")
        << QStringView(u"a\0b\0", 4).toString() << QByteArray("a\0b\0", 4);
    QTest::newRow("full-width tilde") << u"～"_s << QByteArray("\x81\x60");
    // Input methods type other forms of six characters: they take the code Windows gives them.
    QTest::newRow("wave dash") << u"ゆう〜"_s << QByteArray("\x82\xE4\x82\xA4\x81\x60");
    QTest::newRow("minus sign") << u"−−"_s << QByteArray("\x81\x7C\x81\x7C");
    QTest::newRow("double vertical line") << u"‖"_s << QByteArray("\x81\x61");
    QTest::newRow("cent sign") << u"¢"_s << QByteArray("\x81\x91");
    QTest::newRow("pound sign") << u"£"_s << QByteArray("\x81\x92");
    QTest::newRow("not sign") << u"¬"_s << QByteArray("\x81\xCA");
    QTest::newRow("the code page's own forms keep their codes")
        << u"－∥￠￡￢"_s << QByteArray("\x81\x7C\x81\x61\x81\x91\x81\x92\x81\xCA");
    QTest::newRow("duplicate kanji takes the usual code") << u"纊"_s << QByteArray("\xFA\x5C");
    // These have a code only one way: decoding it gives another character.
    QTest::newRow("yen sign") << u"¥"_s << QByteArray("?");
    QTest::newRow("overline") << u"‾"_s << QByteArray("?");
    QTest::newRow("latin letter") << u"café"_s << QByteArray("caf?");
    QTest::newRow("replacement character")
        << QString(QChar::ReplacementCharacter) << QByteArray("?");
    QTest::newRow("beyond the BMP is one character") << u"a😀b"_s << QByteArray("a?b");
    QTest::newRow("lone high surrogate") << QStringView(
                                                u"a\xD83D"
                                                u"b",
                                                3)
                                                .toString()
                                         << QByteArray("a?b");
    QTest::newRow("lone low surrogate") << QStringView(
                                               u"a\xDE00"
                                               u"b",
                                               3)
                                               .toString()
                                        << QByteArray("a?b");
    QTest::newRow("high surrogate at the end")
        << QStringView(u"a\xD83D", 2).toString() << QByteArray("a?");
    QTest::newRow("two high surrogates")
        << QStringView(u"\xD83D\xD83D", 2).toString() << QByteArray("??");
}

void TestCp932::encodesText() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(cp932::encode(text), bytes);
}

// Every byte and byte pair either decodes to one character that encodes and decodes back to
// itself, or is invalid; and the usual byte values come back unchanged.
void TestCp932::everyCodeDecodesToOneCharacterThatSurvivesEncoding() {
    int doubleByteCharacters = 0;
    for (int lead = 0; lead < 256; ++lead) {
        const bool isLead = cp932::isLeadByte(uchar(lead));
        for (int trail = 0; trail < (isLead ? 256 : 1); ++trail) {
            QByteArray code(1, char(lead));
            if (isLead) code += char(trail);
            const QString text = cp932::decode(code);
            QVERIFY2(text.size() == 1 || (isLead && !cp932::isTrailByte(uchar(trail))),
                     code.toHex().constData());
            if (text.size() != 1 || text[0] == QChar::ReplacementCharacter) continue;
            QCOMPARE(cp932::decode(cp932::encode(text)), text);
            if (!isLead) {
                QCOMPARE(cp932::encode(text), code);
            } else {
                ++doubleByteCharacters;
            }
        }
    }
    // JIS X 0208, the NEC and IBM extensions and the user-defined area.
    QVERIFY2(doubleByteCharacters > 9000, QByteArray::number(doubleByteCharacters).constData());
}

// Characters with two codes (NEC row 13 and the NEC-selected IBM extensions) always encode to
// the same one of the two, the form the game itself writes.
void TestCp932::duplicateCodesEncodeToTheirUsualForm() {
    QCOMPARE(cp932::encode(cp932::decode("\xED\x40")), QByteArray("\xFA\x5C"));
    QCOMPARE(cp932::encode(cp932::decode("\x87\x90")), QByteArray("\x81\xE0"));
    QCOMPARE(cp932::encode(cp932::decode("\xEE\xF9")), QByteArray("\x81\xCA"));
}

void TestCp932::convertsOnSeveralThreadsAtOnce() {
    const QString name = u"赤青緑 No Name ｱｲｳ"_s;
    const QByteArray bytes = cp932::encode(name);
    std::vector<int> failures(4, 0);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < failures.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                if (cp932::encode(name) != bytes || cp932::decode(bytes) != name) ++failures[t];
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    QCOMPARE(failures, std::vector<int>(failures.size(), 0));
}

QTEST_GUILESS_MAIN(TestCp932)
#include "test_cp932.moc"
