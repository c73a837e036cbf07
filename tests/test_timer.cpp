// The window's one timer: it ticks at its period, a change of period starts the count again, and
// a stopped timer ticks no more.

#include "window/timer.h"

#include <QElapsedTimer>
#include <QTest>

class TimerTest : public QObject {
    Q_OBJECT

  private slots:
    void timerTicksAtItsPeriodAndRestartsOnAChange() {
        Timer timer;
        QList<qint64> ticks;
        QElapsedTimer clock;
        timer.onTimer = [&] { ticks << clock.elapsed(); };
        timer.setInterval(50);
        QVERIFY(!timer.enabled());
        clock.start();
        timer.setEnabled(true);
        QTRY_COMPARE_WITH_TIMEOUT(ticks.size(), 3, 2000);
        QVERIFY(ticks[0] >= 49);
        QVERIFY(ticks[2] >= 149);

        // A new period counts from the change: nothing at the old 50 ms, a tick after 200 ms.
        ticks.clear();
        clock.restart();
        timer.setInterval(200);
        QTest::qWait(120);
        QVERIFY(ticks.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(ticks.size(), 1, 2000);
        QVERIFY(ticks[0] >= 199);

        timer.setEnabled(false);
        ticks.clear();
        QTest::qWait(250);
        QVERIFY(ticks.isEmpty());
        QCOMPARE(timer.interval(), 200);
    }
};

QTEST_GUILESS_MAIN(TimerTest)
#include "test_timer.moc"
