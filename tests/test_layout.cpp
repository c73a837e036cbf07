#include <QTest>

#include <limits>
#include <map>

#include "game/layout.h"
#include "window/layout.h"

namespace {

// The window-level control of the layout by its name, for data tables.
TwipRect placed(const WindowLayout& l, const QString& name) {
    const std::map<QString, TwipRect> byName{
        {"Picture1", l.picture1}, {"Text1", l.text1},   {"Text2", l.text2},
        {"Label2", l.label2},     {"Frame2", l.frame2}, {"Picture3", l.picture3},
        {"Frame1", l.frame1},     {"Label6", l.label6}, {"Picture2", l.picture2},
    };
    return byName.at(name);
}

}  // namespace

class TestLayout : public QObject {
    Q_OBJECT
  private slots:
    void halve_data() {
        QTest::addColumn<double>("x");
        QTest::addColumn<qint32>("half");
        QTest::newRow("2.5 rounds to even 2") << 2.5 << 1;
        QTest::newRow("3.5 rounds to even 4") << 3.5 << 2;
        QTest::newRow("-2.5 rounds to even -2") << -2.5 << -1;
        QTest::newRow("5.4 rounds down") << 5.4 << 2;
        QTest::newRow("5.6 rounds up") << 5.6 << 3;
        QTest::newRow("odd 7 drops the half") << 7.0 << 3;
        QTest::newRow("odd -7 toward zero") << -7.0 << -3;
        QTest::newRow("beyond 32 bits is held") << 1e12 << std::numeric_limits<qint32>::max() / 2;
        QTest::newRow("below 32 bits is held") << -1e12 << std::numeric_limits<qint32>::min() / 2;
    }

    void halve() {
        QFETCH(double, x);
        QFETCH(qint32, half);
        QCOMPARE(::halve(x), half);
    }

    void gridCorners_data() {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("end");  // where the last cell ends, right and bottom
        const int ends[] = {3120, 3360, 3600, 3840, 4080, 4320, 4560, 4800, 5040};
        const int firsts[] = {2160, 1920, 1680, 1440, 1200, 960, 720, 480, 240};
        for (int level = 1; level <= 9; ++level)
            QTest::addRow("level %d", level) << level << firsts[level - 1] << ends[level - 1];
    }

    void gridCorners() {
        QFETCH(int, level);
        QFETCH(int, first);
        QFETCH(int, end);
        const int n = level + 1, last = end - kCellSize;
        QCOMPARE(cellPosition(level, 0), QPoint(first, first));
        QCOMPARE(cellPosition(level, n - 1), QPoint(last, first));           // top right
        QCOMPARE(cellPosition(level, n), QPoint(first, first + kCellSize));  // second row
        QCOMPARE(cellPosition(level, n * n - n), QPoint(first, last));       // bottom left
        QCOMPARE(cellPosition(level, n * n - 1), QPoint(last, last));
    }

    void titleLogoThresholdAndRest_data() {
        QTest::addColumn<double>("picture1Top");
        QTest::addColumn<qint32>("threshold");
        QTest::addColumn<qint32>("rest");
        QTest::newRow("1024x768 board: 73 steps") << 3120.0 << 938 << 945;
        QTest::newRow("1920x1080 board") << 5460.0 << 2108 << 2115;
        QTest::newRow("threshold on a step: the next one") << 3134.0 << 945 << 975;
        QTest::newRow("board above the window: one step") << -2640.0 << -1942 << -1215;
    }

    // The rest is where the title's slide stops: past the threshold, a step earlier not.
    void titleLogoThresholdAndRest() {
        QFETCH(double, picture1Top);
        QFETCH(qint32, threshold);
        QFETCH(qint32, rest);
        QCOMPARE(::titleLogoThreshold(picture1Top), threshold);
        QCOMPARE(::titleLogoRestTop(picture1Top), rest);
        QVERIFY(rest > threshold);
        QVERIFY(rest - kTitleLogoStep <= threshold || rest - kTitleLogoStep == kTitleLogoStartTop);
    }

    void titleLogoTopAfterMove_data() {
        QTest::addColumn<qint32>("logoTop");
        QTest::addColumn<qint32>("oldBoardTop");
        QTest::addColumn<qint32>("newBoardTop");
        QTest::addColumn<qint32>("top");
        QTest::newRow("at rest, board moves up") << 2115 << 5460 << 3120 << 945;
        QTest::newRow("at rest, board moves down") << 945 << 3120 << 5460 << 2115;
        QTest::newRow("at rest, board stays") << 945 << 3120 << 3120 << 945;
        QTest::newRow("sliding above the new rest") << 555 << 5460 << 3120 << 555;
        QTest::newRow("sliding past the new rest") << 1455 << 5460 << 3120 << 915;
        QTest::newRow("sliding one step before the rest") << 915 << 5460 << 3120 << 915;
        QTest::newRow("waiting above the window") << -1245 << 3120 << 1860 << -1245;
    }

    void titleLogoTopAfterMove() {
        QFETCH(qint32, logoTop);
        QFETCH(qint32, oldBoardTop);
        QFETCH(qint32, newBoardTop);
        QFETCH(qint32, top);
        QCOMPARE(::titleLogoTopAfterMove(logoTop, oldBoardTop, newBoardTop), top);
    }

    void markerTop_data() {
        QTest::addColumn<qint32>("timeLeft");
        QTest::addColumn<qint32>("top");
        QTest::newRow("before the first tick") << 300 << 240;
        QTest::newRow("first tick") << 299 << 255;
        QTest::newRow("half time") << 150 << 2500;
        QTest::newRow("after a verdict, four units") << 296 << 300;
        QTest::newRow("last unit") << 1 << 4744;
    }

    void markerTop() {
        QFETCH(qint32, timeLeft);
        QFETCH(qint32, top);
        const WindowLayout l = layoutWindow(15360, 11520);
        QCOMPARE(::markerTop(l.line1.y1, l.line1.y2, l.shape1.height, timeLeft), top);
    }

    void windowPlaces_data() {
        QTest::addColumn<qint32>("width");
        QTest::addColumn<qint32>("height");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QPoint>("place");
        const QList<QPair<QString, QPoint>> xga{
            {"Picture1", {5040, 3120}}, {"Text1", {4030, 5760}},  {"Text2", {4030, 5260}},
            {"Label2", {6330, 500}},    {"Frame2", {2280, 3120}}, {"Picture3", {4972, 4860}},
            {"Frame1", {11040, 3120}},  {"Label6", {5040, 8400}}, {"Picture2", {2775, -1245}},
        };
        for (const auto& [control, place] : xga)
            QTest::addRow("1024x768 %s", qPrintable(control)) << 15360 << 11520 << control << place;
        QTest::newRow("1920x1080 Picture1") << 28800 << 16200 << "Picture1" << QPoint(11760, 5460);
        QTest::newRow("1920x1080 Picture3") << 28800 << 16200 << "Picture3" << QPoint(11692, 7200);
        QTest::newRow("1920x1080 Frame1") << 28800 << 16200 << "Frame1" << QPoint(17760, 5460);
        QTest::newRow("odd width Picture3") << 15361 << 11520 << "Picture3" << QPoint(4973, 4860);
    }

    void windowPlaces() {
        QFETCH(qint32, width);
        QFETCH(qint32, height);
        QFETCH(QString, control);
        QFETCH(QPoint, place);
        const TwipRect r = placed(layoutWindow(width, height), control);
        QCOMPARE(QPoint(r.left, r.top), place);
    }

    void boardControls() {
        const WindowLayout l = layoutWindow(15360, 11520);
        QCOMPARE(l.picture1, (TwipRect{5040, 3120, kBoardSize, kBoardSize}));
        // The four menu buttons fill the board from 240 to 5040 without gaps.
        for (int i = 0; i < 4; ++i)
            QCOMPARE(l.command1[i], (TwipRect{240, 240 + 1200 * i, 4800, 1200}));
        QCOMPARE(l.text2.top + l.text2.height, l.text1.top);  // the prompt sits on the name box
        QCOMPARE(l.label6.top, l.picture1.top + l.picture1.height);
        QCOMPARE(l.picture3.width, 5415);
        QCOMPARE(l.picture2.width, 9810);
        QCOMPARE(l.picture2.top + l.picture2.height, 0);  // the logo waits just above the window
    }

    void gauge() {
        const WindowLayout l = layoutWindow(15360, 11520);
        QCOMPARE(l.frame1.width, 720);
        QCOMPARE(l.frame1.left, l.picture1.left + l.picture1.width + 720);
        QCOMPARE(l.line1, (TwipLine{360, 240, 360, 5160}));
        QCOMPARE(l.shape1, (TwipRect{160, 240, 400, 400}));
    }

    void scoreRows() {
        const WindowLayout l = layoutWindow(15360, 11520);
        QCOMPARE(l.label7Caption[0], QStringLiteral("Level9"));
        QCOMPARE(l.label7[0].top, 240);
        QCOMPARE(l.rowColour[0], 0x000000);
        QCOMPARE(l.label7Caption[8], QStringLiteral("Level1"));
        QCOMPARE(l.label7[8].top, 4504);
        QCOMPARE(l.rowColour[8], 0x808080);
        QCOMPARE(l.label7[8].top + l.label7[8].height, 5037);
        // Record i (level i + 1) stands on the row whose caption names that level, in its colour.
        for (int i = 0; i < kScoreRows; ++i) {
            const int k = kScoreRows - 1 - i;
            QCOMPARE(l.label7Caption[k], QStringLiteral("Level%1").arg(i + 1));
            QCOMPARE(l.label8[i].top, l.label7[k].top);
            QCOMPARE(l.label9[i].top, l.label7[k].top);
            QCOMPARE(l.recordColour[i], l.rowColour[k]);
            QCOMPARE(l.label7[k].left + l.label7[k].width <= l.label8[i].left, true);
            QCOMPARE(l.label8[i].left + l.label8[i].width, l.label9[i].left);
        }
    }

    void targetOnShortScreens_data() {
        QTest::addColumn<qint32>("heightPixels");
        QTest::addColumn<qint32>("top");
        QTest::newRow("1080: as described") << 1080 << 500;
        QTest::newRow("768: as described") << 768 << 500;
        QTest::newRow("767: one pixel short") << 767 << 492;
        QTest::newRow("720: raised") << 720 << 140;
        QTest::newRow("701: nearly at the top") << 701 << 0;  // 2617 - 2620 held at 0
        QTest::newRow("0: at the window's top") << 0 << 0;
    }

    void targetOnShortScreens() {
        QFETCH(qint32, heightPixels);
        QFETCH(qint32, top);
        const qint32 height = heightPixels * 15;
        const WindowLayout shortScreen = layoutWindow(15360, height);
        QCOMPARE(shortScreen.label2.top, top);
        // The board never covers more of the target than at 768 pixels, unless the target is
        // already at the window's top.
        const qint32 covered =
            shortScreen.label2.top + shortScreen.label2.height - shortScreen.picture1.top;
        QVERIFY(covered <= 80 || shortScreen.label2.top == 0);
        // The target keeps its size and its place across; the count-down digits show in it too.
        QCOMPARE(shortScreen.label2.height, 2700);
        QCOMPARE(shortScreen.label2.left, 6330);
    }
};

QTEST_GUILESS_MAIN(TestLayout)
#include "test_layout.moc"
