// The title menu, the ways out of the game-over screen and the table view, the keys, and storing
// a best score with the player's name.

#include "formfixture.h"
#include "scores/cp932.h"
#include "scores/highscores.h"
#include "window/warningbox.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// The names a screen reader reads under `node`, in its order, of what shows.
void readShowing(QAccessibleInterface* node, QStringList& read) {
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        if (!child || child->state().invisible) continue;
        if (const QString name = child->text(QAccessible::Name); !name.isEmpty()) read << name;
        readShowing(child, read);
    }
}

}  // namespace

class MenuScoresTest : public QObject {
    Q_OBJECT

  private slots:
    void menuButtons() {
        StartedForm f;
        Form1& form = *f.form;

        form.Command1_Click(2);  // "ColorOption"
        QVERIFY(form.Frame2->visible());
        QVERIFY(!form.Timer1.enabled());
        QVERIFY(!form.Picture2->visible());
        QCOMPARE(form.mode, Mode::Load);
        form.Form_Click();  // the background does nothing on the title
        QCOMPARE(form.mode, Mode::Load);
        form.Command4_Click();

        form.Command1_Click(1);  // "High Score"
        QCOMPARE(form.mode, Mode::HighScores);
        for (int i = 0; i < kLevelCount; ++i)
            QVERIFY(form.Label7[i]->visible() && form.Label8[i]->visible() &&
                    form.Label9[i]->visible());
        for (auto* button : form.Command1) QVERIFY(!button->visible());

        form.Command1_Click(3);  // "End"
        QCOMPARE(f.endRequests, 1);
        form.Command1_Click(7);  // no such button
        QCOMPARE(form.mode, Mode::HighScores);
    }

    // A change of screen moves the focus once, straight to where the keys act, never through the
    // controls that go.
    void eachScreenChangeMovesTheFocusOnce_data() {
        QTest::addColumn<Road>("to");  // from the title to the screen before the change
        QTest::addColumn<Road>("change");
        QTest::addColumn<QString>("focus");  // empty: it stays
        QTest::addColumn<QString>("told");   // what a screen reader is told at once
        QTest::addColumn<bool>("boxes");     // jx.hsd is a folder, each box shown and answered
        const Road title = [](Form1&) {};
        QStringList table;
        for (int level = kLevelCount; level >= 1; --level)
            table << (level == 2 ? QStringLiteral("Level2, Kim, 1")
                                 : QStringLiteral("Level%1, No Name, 0").arg(level));
        const Road kimAtLevelTwo = [](Form1& f) {
            playToNameEntry(f, 2);
            f.Text1->setText(QStringLiteral("Kim"));
            f.Form_KeyPress(kEnter);
        };
        QTest::newRow("level dialog")
            << title << Road([](Form1& f) { f.Command1_Click(0); }) << "HScroll1"
            << "" << false;
        QTest::newRow("table") << kimAtLevelTwo << Road([](Form1& f) { f.Command1_Click(1); })
                               << "Form1" << table.join(". ") + '.' << false;
        QTest::newRow("panel") << title << Road([](Form1& f) { f.Command1_Click(2); }) << "VScroll1"
                               << "" << false;
        QTest::newRow("count-down") << Road([](Form1& f) { f.Command1_Click(0); })
                                    << Road([](Form1& f) { f.Label4_Click(1); }) << "Form1"
                                    << "" << false;
        QTest::newRow("time up") << Road([](Form1& f) {
            startGame(f, 2);
            for (int point = 0; point < 3; ++point) {
                f.Label1_Click(f.answerIndex);
                f.Timer1_Timer();
            }
            while (f.timeLeft > 1) f.Timer1_Timer();
        }) << Road(&Form1::Timer1_Timer)
                                 << ""
                                 << "Time up. Score:3" << false;
        QTest::newRow("panel closed") << Road([](Form1& f) { f.Command1_Click(2); })
                                      << Road(&Form1::Command4_Click) << "Command1"
                                      << "" << false;
        QTest::newRow("table left")
            << Road([](Form1& f) { f.Command1_Click(1); }) << Road(&Form1::Form_Click) << "Command1"
            << "" << false;
        QTest::newRow("name entry") << Road([](Form1& f) { playToGameOver(f, 1, 1); })
                                    << Road(&Form1::Form_Click) << "Text1"
                                    << "" << false;
        QTest::newRow("name entered") << Road([](Form1& f) { playToNameEntry(f, 2); })
                                      << Road([](Form1& f) { f.Form_KeyPress(13); }) << "Command1"
                                      << "" << false;
        QTest::newRow("panel closed on Cansel, two boxes") << Road([](Form1& f) {
            f.Command1_Click(2);
            f.Command4->setFocus();
        }) << Road(&Form1::Command4_Click) << "Command1"
                                                           << "" << true;
    }
    void eachScreenChangeMovesTheFocusOnce() {
        QFETCH(Road, to);
        QFETCH(Road, change);
        QFETCH(QString, focus);
        QFETCH(QString, told);
        QFETCH(bool, boxes);
        StartedForm f;
        Form1& form = *f.form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        to(form);
        QCoreApplication::processEvents();
        if (boxes) {
            QVERIFY(QFile::remove(f.path("jx.hsd")) && QDir().mkdir(f.path("jx.hsd")));
            f.whileWarning = [&form](const QString& warning) {
                QTimer::singleShot(0, &form,
                                   [&form] { shownBox(form)->button(QMessageBox::Ok)->click(); });
                showWarningBox(&form, warning, warning, {});
            };
        }
        f.warnings.clear();  // the start's
        const QWidget* before = QApplication::focusWidget();
        QList<const QWidget*> landed;  // of the window's controls, not the boxes'
        int landedUnseen = 0;
        connect(qApp, &QApplication::focusChanged, &form, [&](QWidget*, QWidget* now) {
            landedUnseen += now && !now->isVisible();
            if (now && now != before && !landed.contains(now) && !insideWarningBox(now))
                landed << now;
        });
        const qsizetype toldBefore = f.told.size();
        change(form);
        QCoreApplication::processEvents();
        QCOMPARE(f.told.mid(toldBefore), told.isEmpty() ? QStringList() : QStringList{told});
        const QHash<QString, const QWidget*> controls{{"HScroll1", form.HScroll1},
                                                      {"VScroll1", form.VScroll1[0]},
                                                      {"Form1", &form},
                                                      {"Command1", form.Command1[0]},
                                                      {"Text1", form.Text1}};
        QCOMPARE(landed, focus.isEmpty() ? QList<const QWidget*>() : QList{controls[focus]});
        QCOMPARE(landedUnseen, 0);
        QCOMPARE(QApplication::focusWidget(), focus.isEmpty() ? before : controls[focus]);
        QCOMPARE(f.warnings.size(), boxes ? 2 : 0);
        if (focus == "Command1") {  // marked on the button, and Tab moves it and its mark on
            const auto black = [](QWidget* button) {  // the dotted frame's dots and the text's
                const QImage image = button->grab().toImage();
                int dots = 0;
                for (int y = 0; y < image.height(); ++y)
                    for (int x = 0; x < image.width(); ++x)
                        dots += image.pixelColor(x, y) == QColor(Qt::black);
                return dots;
            };
            const int marked = black(form.Command1[0]);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), form.Command1[1]);
            QVERIFY(black(form.Command1[0]) < marked);
        }
    }

    // A screen reader reads each screen as it shows, top to bottom and each row from the left,
    // and hears what each control is or sets: these names come in this order.
    void aScreenReaderReadsInScreenOrder_data() {
        QTest::addColumn<Road>("to");
        QTest::addColumn<QStringList>("heard");
        QTest::newRow("title") << Road([](Form1& f) {
            while (f.Timer1.enabled()) f.Timer1_Timer();  // the logo has slid in
        }) << QStringList{"Tintmaze", "Game Start", "High Score", "ColorOption", "End"};
        QTest::newRow("level dialog") << Road([](Form1& f) { f.Command1_Click(0); })
                                      << QStringList{"What's Level?", "Level", "3", "OK"};
        QStringList sliders;  // each under its letter
        for (const QString word : {"黒", "青", "緑", "赤", "紫", "黄", "灰"})
            sliders << "R" << word + " R"
                    << "G" << word + " G"
                    << "B" << word + " B";
        QTest::newRow("colour panel")
            << Road([](Form1& f) { f.Command1_Click(2); })
            << QStringList{"Option", "黒", "灰"} + sliders + QStringList{"Default", "OK", "Cansel"};
    }
    void aScreenReaderReadsInScreenOrder() {
        QFETCH(Road, to);
        QFETCH(QStringList, heard);
        StartedForm f;
        Form1& form = *f.form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        to(form);
        QWidget notice(&form);  // of no size, at the top left, as the notice for screen readers
        notice.setGeometry(0, 0, 0, 0);
        QStringList read;
        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&form);
        readShowing(window, read);
        QCOMPARE(window->child(-1), nullptr);
        QCOMPARE(window->child(window->childCount()), nullptr);
        // Each name heard comes after the one before it.
        qsizetype at = 0;
        for (const QString& name : heard) {
            at = read.indexOf(name, at);
            QVERIFY2(at >= 0, qPrintable(name + " is not read after what comes before it in: " +
                                         read.join(u'|')));
            ++at;
        }
    }

    // Enter leaves the table view for the title; at game over Enter and Space go on as a click on
    // the board does, and other keys do nothing. (Which clicks leave these two screens, the random
    // session checks.)
    void keysLeaveTheTableAndGameOver_data() {
        QTest::addColumn<bool>("table");  // else game over
        QTest::addColumn<int>("key");
        QTest::newRow("table, Enter") << true << int(Qt::Key_Return);
        QTest::newRow("game over, Enter") << false << int(Qt::Key_Return);
        QTest::newRow("game over, Space") << false << int(Qt::Key_Space);
    }
    void keysLeaveTheTableAndGameOver() {
        QFETCH(bool, table);
        QFETCH(int, key);
        StartedForm f;
        Form1& form = *f.form;
        if (table) {
            form.Command1_Click(1);
        } else {
            playToGameOver(form, 2);
            QTest::keyClick(&form, Qt::Key_Tab);  // other keys do nothing here
            QCOMPARE(form.mode, Mode::GameOver);
        }
        QTest::keyClick(&form, Qt::Key(key));
        QCOMPARE(form.mode, Mode::Load);  // no points: no name asked
        for (int i = 0; i < kLevelCount; ++i) QVERIFY(!form.Label8[i]->visible());
        QVERIFY(!form.Picture3->visible());
    }

    void aBestScoreIsStoredWithTheTypedName() {
        StartedForm f;
        Form1& form = *f.form;
        playToGameOver(form, 1, 3);
        form.Label1_Click(0);
        QCOMPARE(form.mode, Mode::NameEntry);
        QVERIFY(form.Text1->visible() && form.Text2->visible());
        QVERIFY(!form.Picture1->visible() && !form.Picture2->visible());
        QCOMPARE(form.Text1->text(), QStringLiteral("No Name"));
        form.Text1->setText(QStringLiteral("赤青"));
        form.Form_KeyPress(13);
        QCOMPARE(form.mode, Mode::Load);
        QVERIFY(form.Picture1->visible() && !form.Text1->visible());
        const QByteArray file = f.read("jx.hsd");
        QCOMPARE(recordOf(file, 1), QByteArray::fromHex("90d490c2") + QByteArray(50, ' ') +
                                        QByteArray::fromHex("0300"));
        QCOMPARE(allButRecord(file, 1), allButRecord(defaultHighScoreBytes(), 1));
        QCOMPARE(form.Label8[0]->shownText(), QStringLiteral("赤青"));
        QCOMPARE(form.Label9[0]->caption(), QStringLiteral("3"));

        // The next entry of the run offers the name typed last.
        playToNameEntry(form, 5);
        QCOMPARE(form.Text1->text(), QStringLiteral("赤青"));
    }

    void whatEntersTheTable_data() {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("points");
        QTest::addColumn<bool>("enters");
        QTest::newRow("equal score stays out") << 2 << 2 << false;
        QTest::newRow("one point above enters") << 2 << 3 << true;
        QTest::newRow("one point at a default slot") << 0 << 1 << true;
        QTest::newRow("no points never") << 0 << 0 << false;
        QTest::newRow("above a negative best") << -5 << 0 << true;
    }
    void whatEntersTheTable() {
        QFETCH(int, stored);
        QFETCH(int, points);
        QFETCH(bool, enters);
        FormFixture f;
        QByteArray file = defaultHighScoreBytes();
        const qint16 best = qint16(stored);
        file[56 * 3 + 54] = char(best & 0xFF);
        file[56 * 3 + 55] = char((best >> 8) & 0xFF);
        f.startWithFiles(file, defaultPaletteBytes());
        playToGameOver(*f.form, 4, points);
        f.form->Form_Click();
        QCOMPARE(f.form->mode, enters ? Mode::NameEntry : Mode::Load);
        QCOMPARE(f.read("jx.hsd"), file);
    }

    void theTableShowsLevelNineOnTop() {
        FormFixture f;
        QByteArray file = defaultHighScoreBytes();
        file.replace(56 * 8, 5, "Nine!");
        file[56 * 8 + 54] = 42;
        file.replace(0, 3, "One");
        file[54] = char(0xF6);  // -10
        file[55] = char(0xFF);
        f.startWithFiles(file, defaultPaletteBytes());
        Form1& form = *f.form;
        form.Command1_Click(1);
        // Label8(8) and Label9(8) hold level 9 and stand in the top row, beside Label7(0).
        QCOMPARE(form.Label7[0]->caption(), QStringLiteral("Level9"));
        QCOMPARE(form.Label8[8]->top(), form.Label7[0]->top());
        QCOMPARE(form.Label8[8]->shownText(), QStringLiteral("Nine!me"));
        QCOMPARE(form.Label9[8]->caption(), QStringLiteral("42"));
        QCOMPARE(form.Label9[0]->caption(), QStringLiteral("-10"));
        QCOMPARE(form.Label8[0]->shownText(), QStringLiteral("OneName"));
        QCOMPARE(form.Label9[0]->top(), 4504);
        QCOMPARE(form.Label7[8]->foreColor(), 0x808080);
    }

    // Enter and Escape reach the window's key handler whichever control has the focus; the name
    // box keeps every other key as typed text.
    void keysReachTheWindowFirst() {
        StartedForm f;
        Form1& form = *f.form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        playToGameOver(form, 3, 1);
        form.Frame1_Click();
        QCOMPARE(form.mode, Mode::NameEntry);
        QCOMPARE(QApplication::focusWidget(), form.Text1);
        QTest::keyClicks(form.Text1, QStringLiteral("Kim"));
        QCOMPARE(form.Text1->text(), QStringLiteral("Kim"));
        QTest::keyClick(form.Text1, Qt::Key_Return);
        QCOMPARE(form.mode, Mode::Load);
        QVERIFY(recordOf(f.read("jx.hsd"), 3).startsWith("Kim   "));

        QTest::keyClick(form.Command1[1], Qt::Key_Enter);  // Enter on the title starts a game
        QCOMPARE(form.mode, Mode::LevelChoice);
        QTest::keyClick(&form, Qt::Key_Escape);
        QCOMPARE(f.endRequests, 1);
    }
};

QTEST_MAIN(MenuScoresTest)
#include "test_menu_scores.moc"
