// The colour panel: sliders and previews, "Default", "OK" and "Cansel", its keys, and boards dealt
// from the colours it saves.

#include "formfixture.h"
#include "palette/palette.h"

#include <QApplication>
#include <QTest>

namespace {

// A saved palette that differs from the defaults in every colour.
QByteArray customPaletteBytes() {
    ColourTable table;
    for (int k = 1; k <= kColourCount; ++k)
        table[k] = {qint16(10 * k), qint16(20 * k), qint16(30 * k)};
    return encodePalette(table);
}

QRect twipRect(const Placement* p) {
    return QRect(p->left(), p->top(), p->twipsWidth(), p->twipsHeight());
}

}  // namespace

class PanelTest : public QObject {
    Q_OBJECT

  private slots:
    void openingThePanel() {
        StartedForm f;
        Form1& form = *f.form;
        form.Command1_Click(2);
        QVERIFY(form.Frame2->visible());
        QVERIFY(!form.Timer1.enabled());
        QCOMPARE(form.mode, Mode::Load);
        // The panel lies over the whole board with its menu.
        const QRect panel = twipRect(form.Frame2);
        QVERIFY(panel.contains(twipRect(form.Picture1)));
        QVERIFY(form.Frame2->geometry().contains(form.Picture1->geometry()));
    }

    void slidersShowTheirComponent_data() {
        QTest::addColumn<int>("slider");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<qint32>("preview");
        // Colour 1 (blue) starts as red 0, green 0, blue 255.
        QTest::newRow("green of blue at 55") << 4 << 55 << "200" << qint32(0xFFC800);
        QTest::newRow("red of blue at the top") << 3 << 0 << "255" << qint32(0xFF00FF);
        QTest::newRow("blue of blue at the bottom") << 5 << 255 << "0" << qint32(0x000000);
        QTest::newRow("grey's blue at 100") << 20 << 100 << "155" << qint32(0x9BC0C0);
    }
    void slidersShowTheirComponent() {
        QFETCH(int, slider);
        QFETCH(int, value);
        QFETCH(QString, shown);
        QFETCH(qint32, preview);
        StartedForm f;
        Form1& form = *f.form;
        form.Command1_Click(2);
        const std::array<qint32, 7> before = form.colourValues;
        form.VScroll1[slider]->setValue(value);
        QCOMPARE(form.Label12[slider]->caption(), shown);
        QCOMPARE(form.Label10[slider / 3]->foreColor(), preview);
        QCOMPARE(form.colourValues, before);  // nothing reaches the game before "OK"
    }

    void draggingUpdatesWhileTheThumbMoves() {
        StartedForm f;
        Form1& form = *f.form;
        ScrollBar* slider = form.VScroll1[9];  // red of red
        slider->setSliderDown(true);
        slider->setSliderPosition(40);
        QCOMPARE(form.Label12[9]->caption(), QStringLiteral("215"));
        QCOMPARE(form.Label10[3]->foreColor(), 215);
        slider->setSliderPosition(41);
        QCOMPARE(form.Label12[9]->caption(), QStringLiteral("214"));
        slider->setSliderDown(false);
        QCOMPARE(form.Label12[9]->caption(), QStringLiteral("214"));
    }

    void defaultThenCanselRestoresTheSavedPalette() {
        FormFixture f;
        f.startWithFiles(QByteArray(), customPaletteBytes());
        Form1& form = *f.form;
        form.Command1_Click(2);
        form.Command2_Click();
        QCOMPARE(form.Label12[20]->caption(), QStringLiteral("192"));
        QCOMPARE(form.VScroll1[18]->value(), 63);
        QCOMPARE(form.Label10[1]->foreColor(), 0xFF0000);
        QCOMPARE(f.read("jx.iro"), customPaletteBytes());
        form.Command4_Click();
        QVERIFY(!form.Frame2->visible());
        QCOMPARE(form.mode, Mode::Load);
        QVERIFY(form.Timer1.enabled());
        QCOMPARE(f.read("jx.iro"), customPaletteBytes());
        QCOMPARE(form.Label12[20]->caption(), QStringLiteral("210"));
        QCOMPARE(form.Label10[0]->foreColor(), packColour(10, 20, 30));
    }

    void okSavesWhatThePanelShows_data() {
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<bool>("pressDefault");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("Default then OK") << customPaletteBytes() << true << defaultPaletteBytes();
        QTest::newRow("OK without a change")
            << customPaletteBytes() << false << customPaletteBytes();
        QTest::newRow("a longer file keeps its tail")
            << customPaletteBytes() + "tail" << true << defaultPaletteBytes() + "tail";
    }
    void okSavesWhatThePanelShows() {
        QFETCH(QByteArray, saved);
        QFETCH(bool, pressDefault);
        QFETCH(QByteArray, written);
        FormFixture f;
        f.startWithFiles(QByteArray(), saved);
        const QByteArray highScores = f.read("jx.hsd");
        Form1& form = *f.form;
        form.Command1_Click(2);
        if (pressDefault) form.Command2_Click();
        form.Command3_Click();
        QCOMPARE(f.read("jx.iro"), written);
        QCOMPARE(f.read("jx.hsd"), highScores);
        QVERIFY(!form.Frame2->visible());
        QCOMPARE(form.mode, Mode::Load);
        QCOMPARE(form.colourValues, colourValuesOf(decodePalette(written)));
    }

    void theNextBoardsUseTheNewColours() {
        FormFixture f;
        f.startWithFiles(QByteArray(), defaultPaletteBytes());
        Form1& form = *f.form;
        form.Command1_Click(2);
        for (int i = 0; i < 21; ++i) form.VScroll1[i]->setValue(10 * i);
        // Make blue and green one colour: the answer must stay the only match.
        for (int c = 0; c < 3; ++c) form.VScroll1[6 + c]->setValue(form.VScroll1[3 + c]->value());
        form.Command3_Click();
        const std::array<qint32, 7> palette = form.colourValues;
        QCOMPARE(palette[1], palette[2]);
        startGame(form, 9);
        for (int board = 0; board < 200; ++board) {
            for (int i = 0; i < kCellCount; ++i)
                QVERIFY(std::find(palette.begin(), palette.end(), form.Label1[i]->foreColor()) !=
                        palette.end());
            QCOMPARE(matchingCells(form), QList<int>{form.answerIndex});
            form.Label1_Click(form.answerIndex);
            form.Timer1_Timer();
        }
    }

    void keysWhileThePanelIsOpen() {
        StartedForm f;
        Form1& form = *f.form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));

        // The panel opens with its first slider focused; Tab goes left to right, through the
        // sliders, then "Default", "OK" and "Cansel", past the title's buttons it covers.
        form.Command1_Click(2);
        QTRY_COMPARE(QApplication::focusWidget(), form.VScroll1[0]);
        QList<QWidget*> tabbed, expected(form.VScroll1.begin() + 1, form.VScroll1.end());
        expected << form.Command2 << form.Command3 << form.Command4 << form.VScroll1[0];
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            tabbed << QApplication::focusWidget();
        }
        QCOMPARE(tabbed, expected);

        form.VScroll1[0]->setValue(0);
        QTest::keyClick(form.VScroll1[0], Qt::Key_Return);  // Enter presses "OK"
        QVERIFY(!form.Frame2->visible());
        QCOMPARE(form.mode, Mode::Load);  // and starts no game behind the panel
        QCOMPARE(form.colourValues[0], 0xFF);

        form.Command1_Click(2);
        form.VScroll1[0]->setValue(255);
        QTest::keyClick(&form, Qt::Key_O, Qt::AltModifier);  // Alt+O presses "OK" too
        QTRY_VERIFY(!form.Frame2->visible());
        QCOMPARE(form.colourValues[0], 0);

        // A press of Alt+O completes a moment later; once "Cansel" has closed the panel and a
        // game has begun, that late press saves nothing and leaves the game alone.
        form.Command1_Click(2);
        form.VScroll1[2]->setValue(0);
        QTest::keyClick(&form, Qt::Key_O, Qt::AltModifier);
        form.Command4_Click();
        form.Command1_Click(0);
        form.Label4_Click(1);
        QTest::qWait(300);
        QCOMPARE(form.mode, Mode::GameStart);
        QCOMPARE(form.colourValues[0], 0);

        form.Reset(false);
        form.Command1_Click(2);
        form.VScroll1[1]->setValue(0);
        const QByteArray saved = f.read("jx.iro");
        QTest::keyClick(&form, Qt::Key_Escape);  // Escape ends the program, saving nothing
        QCOMPARE(f.endRequests, 1);
        QCOMPARE(f.read("jx.iro"), saved);
    }
};

QTEST_MAIN(PanelTest)
#include "test_panel.moc"
