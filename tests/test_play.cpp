// One game from the title to the game-over screen, driven through the handlers and the timer's
// ticks: the count-down, the boards, judging, the verdict display, the gauge and the time budget.

#include "formfixture.h"

#include <QTest>

namespace {

const Road kToLevelDialog = [](Form1& form) { form.Command1_Click(0); };
const Road kToTableView = [](Form1& form) { form.Command1_Click(1); };

int visibleCells(const Form1& form) {
    int count = 0;
    for (auto* cell : form.Label1) count += cell->visible();
    return count;
}

int wrongCell(const Form1& form) {
    return form.answerIndex == 0 ? 1 : 0;
}

// What a tick or click that should change nothing could change.
QString snapshot(const Form1& form) {
    QStringList parts{form.mode,
                      QString::number(form.timeLeft),
                      QString::number(form.score),
                      form.Label2->caption(),
                      QString::number(form.Label2->foreColor()),
                      QString::number(form.Picture2->top()),
                      QString::number(form.Shape1->top()),
                      QString::number(form.Timer1.enabled()),
                      QString::number(form.Timer1.interval()),
                      QString::number(form.Label3->visible()),
                      QString::number(form.answerIndex)};
    for (auto* cell : form.Label1) parts << cell->caption();
    return parts.join(QLatin1Char(','));
}

}  // namespace

class PlayTest : public QObject {
    Q_OBJECT

  private slots:
    // In the level dialog the arrow keys go the way the player reads the slider: Right and Up
    // raise the level, Left and Down lower it, and Enter confirms what the dialog shows.
    void arrowKeysChooseTheLevel() {
        StartedForm f;
        Form1& form = *f.form;
        form.Form_KeyPress(13);
        QStringList shown;
        for (const Qt::Key key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Up, Qt::Key_Left,
                                  Qt::Key_Down, Qt::Key_Down, Qt::Key_Down}) {
            QTest::keyClick(form.HScroll1, key);
            shown << form.Label4[2]->caption();
        }
        QCOMPARE(shown, QStringList({"4", "5", "6", "5", "4", "3", "2"}));
        QTest::keyClick(form.HScroll1, Qt::Key_Return);
        QCOMPARE(form.mode, Mode::GameStart);
        QCOMPARE(form.level, quint8(2));
    }

    void countDownLeadsToTheFirstBoard() {
        StartedForm f;
        Form1& form = *f.form;
        form.Form_KeyPress(13);
        QCOMPARE(form.mode, Mode::LevelChoice);
        QCOMPARE(form.score, qint16(0));
        QVERIFY(form.HScroll1->visible());
        form.HScroll1->setValue(1);
        QCOMPARE(form.Label4[2]->caption(), QStringLiteral("1"));
        form.Form_KeyPress(13);
        QCOMPARE(form.mode, Mode::GameStart);
        QCOMPARE(form.level, quint8(1));
        QVERIFY(form.Label2->visible());

        QStringList shown{form.Label2->caption()};
        form.Form_KeyPress(13);  // a second Enter does nothing
        QCOMPARE(form.mode, Mode::GameStart);
        for (int tick = 0; tick < 3; ++tick) {
            form.Timer1_Timer();
            shown << form.Label2->caption();
        }
        QCOMPARE(shown.mid(0, 3), QStringList({"3", "2", "1"}));
        QVERIFY(shown.last() != QStringLiteral("0"));
        QCOMPARE(form.mode, Mode::Measuring);
        QCOMPARE(form.Label2->backStyle(), BackStyle::Opaque);
        QCOMPARE(form.Label2->backColor(), 0xFFFFFF);
        QCOMPARE(form.Label6->caption(), QStringLiteral("Score:0"));
        QVERIFY(form.Label6->visible());
        QVERIFY(form.Frame1->visible());
        QCOMPARE(visibleCells(form), 4);
        QCOMPARE(matchingCells(form), QList<int>{form.answerIndex});
    }

    void boardsAreCentredGridsWithOneAnswer_data() {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("firstPlace");
        QTest::newRow("level 1") << 1 << 2160;
        QTest::newRow("level 5") << 5 << 1200;
        QTest::newRow("level 9") << 9 << 240;
    }
    void boardsAreCentredGridsWithOneAnswer() {
        QFETCH(int, level);
        QFETCH(int, firstPlace);
        StartedForm f;
        Form1& form = *f.form;
        startGame(form, level);
        const int side = level + 1;
        for (int board = 0; board < 20; ++board) {
            QCOMPARE(visibleCells(form), side * side);
            QCOMPARE(matchingCells(form), QList<int>{form.answerIndex});
            QCOMPARE(form.Label1[0]->left(), firstPlace);
            QCOMPARE(form.Label1[side * side - 1]->top(), firstPlace + 480 * level);
            form.Label1_Click(wrongCell(form));
            form.Timer1_Timer();
        }
    }

    void clicksAreJudged() {
        StartedForm f;
        Form1& form = *f.form;
        startGame(form, 3);
        form.Label1_Click(form.answerIndex);
        QCOMPARE(form.score, qint16(1));
        QCOMPARE(form.Label6->caption(), QStringLiteral("Score:1"));
        QCOMPARE(form.Label3->caption(), QStringLiteral("OK"));
        QVERIFY(form.Label3->visible());
        QCOMPARE(form.mode, Mode::ResultDisplay);

        const QString during = snapshot(form);
        form.Label1_Click(form.answerIndex);  // a second click while the verdict shows
        QCOMPARE(snapshot(form), during);

        form.Timer1_Timer();
        QVERIFY(!form.Label3->visible());
        QCOMPARE(form.timeLeft, qint16(297));  // the verdict's 300 ms are charged
        QCOMPARE(form.mode, Mode::Measuring);

        form.Label1_Click(wrongCell(form));
        QCOMPARE(form.Label3->caption(), QStringLiteral("Bad"));
        QCOMPARE(form.score, qint16(1));
        QCOMPARE(form.Label6->caption(), QStringLiteral("Score:1"));
    }

    void theGaugeRunsDownAndTheGameEnds() {
        StartedForm f;
        Form1& form = *f.form;
        startGame(form, 2);
        QCOMPARE(form.Shape1->top(), 240);
        form.Timer1_Timer();
        QCOMPARE(form.Shape1->top(), 255);
        while (form.timeLeft > 1) form.Timer1_Timer();
        QCOMPARE(form.Shape1->top(), 4744);
        QCOMPARE(form.mode, Mode::Measuring);
        form.Timer1_Timer();
        QCOMPARE(form.mode, Mode::GameOver);
        QCOMPARE(form.Shape1->top(), 4744);  // not moved on the last tick
        QVERIFY(form.Picture3->visible());
        QCOMPARE(visibleCells(form), 9);  // the last board stays
    }

    void aVerdictCanTakeTheTimeBelowZero() {
        StartedForm f;
        Form1& form = *f.form;
        startGame(form, 1);
        while (form.timeLeft > 5) form.Timer1_Timer();
        form.Label1_Click(0);
        form.Timer1_Timer();  // the verdict's tick: 3 units go
        QCOMPARE(form.timeLeft, qint16(2));
        form.Label1_Click(0);
        form.Timer1_Timer();
        QCOMPARE(form.timeLeft, qint16(-1));
        QCOMPARE(form.mode, Mode::Measuring);
        form.Timer1_Timer();
        QCOMPARE(form.timeLeft, qint16(-2));
        QCOMPARE(form.mode, Mode::GameOver);
    }

    void aWholeGameMeasuresThreeHundredUnits() {
        StartedForm f;
        Form1& form = *f.form;
        startGame(form, 4);
        int ticks = 0;
        while (form.mode == Mode::Measuring) {
            form.Timer1_Timer();
            ++ticks;
        }
        QCOMPARE(ticks, 300);  // 30 seconds of 100 ms ticks
        QCOMPARE(form.mode, Mode::GameOver);
    }

    void inputsThatDoNothing_data() {
        QTest::addColumn<Road>("road");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<Road>("input");
        const Road ticks = [](Form1& form) {
            for (int tick = 0; tick < 5; ++tick) form.Timer1_Timer();
        };
        const Road cellClicks = [](Form1& form) {
            for (qint16 cell : {0, 3, 99}) form.Label1_Click(cell);
        };
        const Road toGameOver = [](Form1& form) { playToGameOver(form, 1, 1); };
        const Road toNameEntry = [](Form1& form) { playToNameEntry(form, 1); };
        const Road toCountDown = [](Form1& form) {
            form.Command1_Click(0);
            form.Label4_Click(1);
        };
        QTest::newRow("ticks, level dialog") << kToLevelDialog << Mode::LevelChoice << ticks;
        QTest::newRow("ticks, game over") << toGameOver << Mode::GameOver << ticks;
        QTest::newRow("ticks, table view") << kToTableView << Mode::HighScores << ticks;
        QTest::newRow("ticks, name entry") << toNameEntry << Mode::NameEntry << ticks;
        QTest::newRow("cell clicks, title") << Road([](Form1&) {}) << Mode::Load << cellClicks;
        QTest::newRow("cell clicks, level dialog")
            << kToLevelDialog << Mode::LevelChoice << cellClicks;
        QTest::newRow("cell clicks, count-down") << toCountDown << Mode::GameStart << cellClicks;
        QTest::newRow("cell clicks, table view") << kToTableView << Mode::HighScores << cellClicks;
    }
    void inputsThatDoNothing() {
        QFETCH(Road, road);
        QFETCH(QString, mode);
        QFETCH(Road, input);
        StartedForm f;
        Form1& form = *f.form;
        road(form);
        QCOMPARE(form.mode, mode);
        const QString before = snapshot(form);
        input(form);
        QCOMPARE(snapshot(form), before);
    }

    void aNewGameStartsFromAFullBudget() {
        StartedForm f;
        Form1& form = *f.form;
        playToGameOver(form, 9);
        form.Picture3_Click();
        QCOMPARE(form.mode, Mode::Load);
        QCOMPARE(form.timeLeft, qint16(300));
        QCOMPARE(visibleCells(form), 0);
        QCOMPARE(form.Shape1->top(), 240);
        QCOMPARE(form.level, quint8(9));
        form.Command1_Click(0);
        QCOMPARE(form.HScroll1->value(), 9);  // the dialog opens on the level played last
        QCOMPARE(form.Label4[2]->caption(), QStringLiteral("9"));
    }
};

QTEST_MAIN(PlayTest)
#include "test_play.moc"
