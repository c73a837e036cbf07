// Names a player can type or paste into the name box after a best score: very long ones,
// control characters, characters code page 932 lacks, right-to-left text and lone surrogates.
// Each is stored as at most 27 characters of valid code page 932 in its 54-byte field, the rest
// of jx.hsd keeps its bytes, and the table shows what the field holds.

#include "formfixture.h"
#include "palette/palette.h"
#include "scores/cp932.h"
#include "scores/highscores.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>

namespace {

enum class Entry { Typed, Pasted };
constexpr int kStoredScore = 1;
const QByteArray kTail("bytes after the nine records");

// Nine slots that all differ from the defaults (27 double-byte characters each, the field's
// whole width), best score 0, and bytes after the records.
QByteArray startingFile() {
    const QString words = QStringLiteral("黒青緑赤紫黄灰白金");
    HighScoreTable table;
    for (int level = 1; level <= kLevelCount; ++level)
        table[level] = {fixedLengthName(QString(kEnteredNameMaxChars, words[level - 1])), 0};
    return encodeHighScores(table) + kTail;
}

// Every character as its own key press, as a keyboard or input method delivers it.
void typeInto(QWidget* box, const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, text.mid(i, length),
                            Qt::NoModifier);
        i += length - 1;
    }
}

// The name field with the spaces after the name taken off.
QString withoutPadding(QString text) {
    while (text.endsWith(QLatin1Char(' '))) text.chop(1);
    return text;
}

}  // namespace

class HostileNamesTest : public QObject {
    Q_OBJECT

  private slots:
    void namesAreStoredAsTheyFit_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Entry>("entry");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("stored");

        const QString latin = QStringLiteral("abcdefghij").repeated(1000);
        QTest::newRow("10,000 Latin characters") << latin << Entry::Typed << 1 << latin.left(27);
        const QString kanji = QStringLiteral("赤青").repeated(5000);
        QTest::newRow("10,000 double-byte characters")
            << kanji << Entry::Pasted << 2 << kanji.left(27);
        const QString controls = QStringLiteral("a\tb\nc\rd\x01") + QStringLiteral("e\x7f") + "f";
        QTest::newRow("control characters") << controls << Entry::Pasted << 3 << controls;
        QTest::newRow("emoji") << QStringLiteral("😀😀😀") << Entry::Typed << 4 << "???";
        QTest::newRow("27 emoji keep 13") << QStringLiteral("😀").repeated(27) << Entry::Typed << 5
                                          << QString(13, QLatin1Char('?'));
        QTest::newRow("Hangul") << QStringLiteral("한국어 이름") << Entry::Typed << 6 << "??? ??";
        QTest::newRow("Hebrew") << QStringLiteral("שלום") << Entry::Typed << 7 << "????";
        QTest::newRow("Arabic") << QStringLiteral("مرحبا بك") << Entry::Pasted << 8 << "????? ??";
        QTest::newRow("right-to-left override")
            << QStringLiteral("\u202Eevil\u202C") << Entry::Pasted << 9 << "?evil?";
        QTest::newRow("a lone surrogate")
            << QString(QChar(0xD800)) << Entry::Pasted << 1 << QStringLiteral("?");
        QTest::newRow("a lone second half")
            << QStringLiteral("x") + QChar(0xDC00) + "y" << Entry::Pasted << 2 << "x?y";
        QTest::newRow("an emoji cut at the 27th character")
            << QString(26, QLatin1Char('a')) + QStringLiteral("😀tail") << Entry::Typed << 3
            << QString(26, QLatin1Char('a'));
        QTest::newRow("a lone surrogate as the 27th character")
            << QString(26, QLatin1Char('b')) + QChar(0xD800) + QStringLiteral("c") << Entry::Pasted
            << 4 << QString(26, QLatin1Char('b')) + QStringLiteral("?");
        QTest::newRow("an empty box") << QString() << Entry::Typed << 8 << QString();
        QTest::newRow("code page 932 extensions")
            << QStringLiteral("①Ⅱ㈱髙ｱｲ") << Entry::Typed << 5 << QStringLiteral("①Ⅱ㈱髙ｱｲ");
        QTest::newRow("a mix") << QStringLiteral("赤😀한a\tש\u202Eｱ") + QChar(0xD800) +
                                      QStringLiteral("é名")
                               << Entry::Pasted << 6 << QStringLiteral("赤??a\t??ｱ??名");
        const QString mixed = QStringLiteral("名😀x\u202E").repeated(2500);
        QTest::newRow("10,000 mixed characters")
            << mixed << Entry::Pasted << 7 << QStringLiteral("名?x?").repeated(5) + "名";
    }
    void namesAreStoredAsTheyFit() {
        QFETCH(QString, name);
        QFETCH(Entry, entry);
        QFETCH(int, level);
        QFETCH(QString, stored);
        FormFixture f;
        const QByteArray before = startingFile();
        f.startWithFiles(before, encodePalette(defaultPalette()));
        Form1& form = *f.form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));

        playToNameEntry(form, level);
        QCOMPARE(form.mode, Mode::NameEntry);
        QCOMPARE(QApplication::focusWidget(), form.Text1);
        if (entry == Entry::Typed) {
            QTest::keyClick(form.Text1, Qt::Key_Backspace);  // the name offered goes
            typeInto(form.Text1, name);
        } else {
            QApplication::clipboard()->setText(name);
            QTest::keyClick(form.Text1, Qt::Key_V, Qt::ControlModifier);
        }
        QCOMPARE(form.Text1->text(), name);
        QTest::keyClick(form.Text1, Qt::Key_Return);
        QCOMPARE(form.mode, Mode::Load);

        // Only this level's record changed; the other eight and the bytes after them did not.
        const QByteArray after = f.read(QStringLiteral("jx.hsd"));
        QCOMPARE(allButRecord(after, level), allButRecord(before, level));
        QCOMPARE(recordOf(after, level).mid(kNameBytes), QByteArray::fromHex("0100"));

        // The field holds valid code page 932: it decodes without a replacement character and
        // encodes back to the same bytes; what it holds is at most 27 characters.
        const QByteArray field = recordOf(after, level).left(kNameBytes);
        const QString decoded = cp932::decode(field);
        QVERIFY2(!decoded.contains(QChar::ReplacementCharacter), field.toHex().constData());
        QCOMPARE(cp932::encode(decoded), field);
        QVERIFY(withoutPadding(decoded).size() <= kEnteredNameMaxChars);
        QCOMPARE(withoutPadding(decoded), stored);

        // The table view shows what the field holds.
        QTest::mouseClick(form.Command1[1], Qt::LeftButton);
        QCOMPARE(form.mode, Mode::HighScores);
        Label* row = form.Label8[level - 1];
        QVERIFY(row->isVisible());
        QCOMPARE(row->caption(), fixedLengthName(decoded));
        QCOMPARE(row->shownText(), stored);
        QCOMPARE(form.Label9[level - 1]->caption(), QString::number(kStoredScore));
    }
};

QTEST_MAIN(HostileNamesTest)
#include "test_hostile_names.moc"
