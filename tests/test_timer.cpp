// What the window's one timer adds to QTimer: precise ticks handed to `onTimer`, and an enabling
// that leaves a running timer's count alone.

#include "window/timer.h"

#include <QTest>

class TimerTest : public QObject {
    Q_OBJECT

  private slots:
    void enablingARunningTimerKeepsItsCount() {
        Timer timer;
        int ticks = 0;
        timer.onTimer = [&] { ++ticks; };
        QCOMPARE(timer.timerType(), Qt::PreciseTimer);
        timer.setInterval(1000);
        timer.setEnabled(true);
        QTest::qWait(300);
        timer.setEnabled(true);
        QVERIFY(timer.remainingTime() <= 700);
        QTRY_COMPARE_WITH_TIMEOUT(ticks, 1, 2000);
    }
};

QTEST_GUILESS_MAIN(TimerTest)
#include "test_timer.moc"
