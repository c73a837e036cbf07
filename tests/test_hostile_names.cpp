// Names a player can type, paste or commit through an input method into the name box after a best
// score: very long ones, control characters, characters code page 932 lacks, right-to-left text
// and lone surrogates. The box refuses every character code page 932 cannot store, so each name is
// stored as the box shows it, as at most 27 characters of valid code page 932 in its 54-byte
// field; the rest of jx.hsd keeps its bytes, and the table shows what the field holds.

#include "formfixture.h"
#include "palette/palette.h"
#include "scores/cp932.h"
#include "scores/highscores.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QToolTip>

namespace {

enum class Entry { Typed, Pasted, Composed };
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

// The text as an input method delivers it: composed first, then committed in one piece.
void composeInto(QWidget* box, const QString& text) {
    QInputMethodEvent composing(text, {});
    QApplication::sendEvent(box, &composing);
    QInputMethodEvent committed;
    committed.setCommitString(text);
    QApplication::sendEvent(box, &committed);
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
        QTest::addColumn<QString>("told");  // the line under the box, last told

        const QString full = QStringLiteral("jx.hsd keeps 27 letters of a name.");
        const QString latin = QStringLiteral("abcdefghij").repeated(1000);
        QTest::newRow("10,000 Latin characters")
            << latin << Entry::Typed << 1 << latin.left(27) << full;
        const QString kanji = QStringLiteral("赤青").repeated(5000);
        QTest::newRow("10,000 double-byte characters")
            << kanji << Entry::Pasted << 2 << kanji.left(27) << full;
        QTest::newRow("30 double-byte characters typed")
            << kanji.left(30) << Entry::Typed << 3 << kanji.left(27) << full;
        const QString controls = QStringLiteral("a\tb\nc\rd\x01") + QStringLiteral("e\x7f") + "f";
        QTest::newRow("control characters")
            << controls << Entry::Pasted << 3 << "abcdef"
            << "jx.hsd cannot keep U+0009, U+000A, U+000D, U+0001, U+007F.";
        QTest::newRow("NUL, ESC and a C1 control")
            << QStringLiteral("A") + QChar(0) + QStringLiteral("B C\x1b D\u0085 E")
            << Entry::Composed << 4 << "AB C D E"
            << "jx.hsd cannot keep U+0000, U+001B, U+0085.";
        QTest::newRow("a line break pasted")
            << QStringLiteral("Tab\there\r\nNew Line") << Entry::Pasted << 5
            << "Tabhere"
               "New Line"
            << "jx.hsd cannot keep U+0009, U+000D, U+000A.";
        QTest::newRow("emoji") << QStringLiteral("😀😀😀") << Entry::Typed << 4 << ""
                               << "jx.hsd cannot keep “😀”.";
        QTest::newRow("German") << QStringLiteral("Jürgen Groß") << Entry::Typed << 5 << "Jrgen Gro"
                                << "jx.hsd cannot keep “ß”.";
        QTest::newRow("French") << QStringLiteral("Hélène") << Entry::Pasted << 6 << "Hlne"
                                << "jx.hsd cannot keep “é”, “è”.";
        QTest::newRow("Greek, accents and final sigma refused")
            << QStringLiteral("Νίκος") << Entry::Composed << 7 << "Νκο"
            << "jx.hsd cannot keep “ί”, “ς”.";
        QTest::newRow("Cyrillic") << QStringLiteral("Иван") << Entry::Composed << 8 << "Иван"
                                  << "";
        QTest::newRow("the input methods' forms of the code page's own")
            << QStringLiteral("〜−‖¢£¬") << Entry::Composed << 9 << "～－∥￠￡￢"
            << "";
        QTest::newRow("Hangul") << QStringLiteral("한국어 Kim") << Entry::Typed << 6 << " Kim"
                                << "jx.hsd cannot keep “어”.";
        QTest::newRow("Hebrew") << QStringLiteral("שלום") << Entry::Typed << 7 << ""
                                << "jx.hsd cannot keep “ם”.";
        QTest::newRow("Arabic") << QStringLiteral("مرحبا Ali") << Entry::Pasted << 8 << " Ali"
                                << "jx.hsd cannot keep “م”, “ر”, “ح”, “ب”, “ا”.";
        QTest::newRow("right-to-left override")
            << QStringLiteral("\u202Eevil\u202C") << Entry::Pasted << 9 << "evil"
            << "jx.hsd cannot keep U+202E, U+202C.";
        QTest::newRow("a lone surrogate") << QString(QChar(0xD800)) << Entry::Pasted << 1
                                          << QString() << "jx.hsd cannot keep U+D800.";
        QTest::newRow("a lone second half")
            << QStringLiteral("x") + QChar(0xDC00) + "y" << Entry::Pasted << 2 << "xy"
            << "jx.hsd cannot keep U+DC00.";
        QTest::newRow("an emoji as the 27th character")
            << QString(26, QLatin1Char('a')) + QStringLiteral("😀tail") << Entry::Typed << 3
            << QString(26, QLatin1Char('a')) + "t" << full;
        QTest::newRow("a lone surrogate as the 27th character")
            << QString(26, QLatin1Char('b')) + QChar(0xD800) + QStringLiteral("c") << Entry::Pasted
            << 4 << QString(26, QLatin1Char('b')) + QStringLiteral("c")
            << "jx.hsd cannot keep U+D800.";
        QTest::newRow("an empty box") << QString() << Entry::Typed << 8 << QString() << "";
        QTest::newRow("code page 932 extensions")
            << QStringLiteral("①Ⅱ㈱髙ｱｲ") << Entry::Typed << 5 << QStringLiteral("①Ⅱ㈱髙ｱｲ") << "";
        QTest::newRow("a mix") << QStringLiteral("赤😀한a\tש\u202Eｱ") + QChar(0xD800) +
                                      QStringLiteral("é名")
                               << Entry::Pasted << 6 << QStringLiteral("赤aｱ名")
                               << "jx.hsd cannot keep “😀”, “한”, U+0009, “ש”, U+202E, U+D800, “é”.";
        const QString mixed = QStringLiteral("名😀x\u202E").repeated(2500);
        QTest::newRow("10,000 mixed characters")
            << mixed << Entry::Pasted << 7 << QStringLiteral("名x").repeated(13) + "名"
            << "jx.hsd cannot keep “😀”, U+202E. " + full;
    }
    void namesAreStoredAsTheyFit() {
        QFETCH(QString, name);
        QFETCH(Entry, entry);
        QFETCH(int, level);
        QFETCH(QString, stored);
        QFETCH(QString, told);
        FormFixture f;
        const QByteArray before = startingFile();
        f.startWithFiles(before, encodePalette(defaultPalette()));
        Form1& form = *f.form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));

        playToNameEntry(form, level);
        QCOMPARE(form.mode, Mode::NameEntry);
        QCOMPARE(QApplication::focusWidget(), form.Text1);
        QTest::keyClick(form.Text1, Qt::Key_Backspace);  // the name offered goes
        const qsizetype toldBefore = f.told.size();
        if (entry == Entry::Typed) {
            typeInto(form.Text1, name);
        } else if (entry == Entry::Composed) {
            composeInto(form.Text1, name);
        } else {
            QApplication::clipboard()->setText(name);
            QTest::keyClick(form.Text1, Qt::Key_V, Qt::ControlModifier);
        }
        // What the box shows is what is stored: a character it refuses never appears, nor one past
        // what is stored. What it kept out last is told under it, and to a screen reader.
        QCOMPARE(cp932::decode(cp932::encode(form.Text1->text())), stored);
        QCOMPARE(form.nameNotice->isVisible() ? form.nameNotice->caption() : QString(), told);
        QCOMPARE(f.told.size() == toldBefore ? QString() : f.told.last(), told);
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
        // A name too long for its row is cut there, but shows whole on hover, and a screen
        // reader hears it whole.
        if (stored.size() == kEnteredNameMaxChars) QVERIFY(row->captionCut());
        if (row->captionCut()) {
            QVERIFY(row->drawnText().endsWith(u'…'));
            QVERIFY(stored.startsWith(row->drawnText().chopped(1)));
        }
        const QPoint middle = row->rect().center();
        QHelpEvent hover(QEvent::ToolTip, middle, row->mapToGlobal(middle));
        QApplication::sendEvent(row, &hover);
        QCOMPARE(QToolTip::isVisible() ? QToolTip::text() : QString(),
                 row->captionCut() ? stored : QString());
        QToolTip::hideText();
        QCOMPARE(QAccessible::queryAccessibleInterface(row)->text(QAccessible::Name), stored);
        QCOMPARE(form.Label9[level - 1]->caption(), QString::number(kStoredScore));
    }
};

QTEST_MAIN(HostileNamesTest)
#include "test_hostile_names.moc"
