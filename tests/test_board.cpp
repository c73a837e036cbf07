#include <QTest>

#include <deque>
#include <limits>

#include "game/board.h"
#include "game/random.h"

using Names = std::array<QString, kColourCount>;
using Values = std::array<qint32, kColourCount>;
Q_DECLARE_METATYPE(Names)
Q_DECLARE_METATYPE(Values)

namespace {

const Names kNames{QStringLiteral("黒"), QStringLiteral("青"), QStringLiteral("緑"),
                   QStringLiteral("赤"), QStringLiteral("紫"), QStringLiteral("黄"),
                   QStringLiteral("灰")};
const Values kDefaultValues{0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xC0C0C0};

// Hands out a fixed list of draws and notes whether anyone asked for more than it had.
class ScriptedRandom final : public RandomSource {
  public:
    explicit ScriptedRandom(std::initializer_list<double> draws) : draws_(draws) {}
    void reseed() override { ++reseeds; }
    double next() override {
        if (draws_.empty()) {
            overrun = true;
            return 0.0;
        }
        const double r = draws_.front();
        draws_.pop_front();
        return r;
    }
    qsizetype left() const { return draws_.size(); }
    bool overrun = false;
    int reseeds = 0;

  private:
    std::deque<double> draws_;
};

// The draw that picks entry k of n.
constexpr double pick(int k, int n = kColourCount) {
    return (k + 0.5) / n;
}

bool isTargetCopy(const Board& b, const Names& names, int i) {
    return names[b.cellWord[i]] == names[b.targetWord] && b.cellColour[i] == b.targetColour;
}

}  // namespace

class TestBoard : public QObject {
    Q_OBJECT
  private slots:
    void exactlyOneAnswer_data() {
        QTest::addColumn<int>("level");
        QTest::addColumn<Names>("names");
        QTest::addColumn<Values>("values");
        Values sharedColour = kDefaultValues;
        sharedColour[6] = sharedColour[5];  // grey tuned to yellow
        Names sharedWord = kNames;
        sharedWord[4] = sharedWord[3];
        for (int level = kMinLevel; level <= kMaxLevel; ++level)
            QTest::addRow("level %d", level) << level << kNames << kDefaultValues;
        QTest::newRow("shared colour, level 1") << 1 << kNames << sharedColour;
        QTest::newRow("shared colour, level 9") << 9 << kNames << sharedColour;
        QTest::newRow("shared word, level 4") << 4 << sharedWord << kDefaultValues;
    }

    void exactlyOneAnswer() {
        QFETCH(int, level);
        QFETCH(Names, names);
        QFETCH(Values, values);
        constexpr int kBoards = 100000;
        const int cells = (level + 1) * (level + 1);
        SeededRandom random(0x7417 + level);
        std::array<bool, kCellCount> answerSeen{};
        for (int n = 0; n < kBoards; ++n) {
            const Board b = dealBoard(random, quint8(level), names, values);
            if (b.cellCount != cells || b.answerIndex >= cells)
                QFAIL(qPrintable(QStringLiteral("board %1: %2 cells, answer %3")
                                     .arg(n)
                                     .arg(b.cellCount)
                                     .arg(b.answerIndex)));
            int copies = 0, copyAt = -1;
            for (int i = 0; i < cells; ++i) {
                if (isTargetCopy(b, names, i)) {
                    ++copies;
                    copyAt = i;
                }
            }
            if (copies != 1 || copyAt != b.answerIndex)
                QFAIL(qPrintable(QStringLiteral("board %1: %2 copies of the target, answer %3")
                                     .arg(n)
                                     .arg(copies)
                                     .arg(b.answerIndex)));
            answerSeen[b.answerIndex] = true;
        }
        for (int i = 0; i < cells; ++i) QVERIFY2(answerSeen[i], qPrintable(QString::number(i)));
    }

    void allColoursEqualLeavesOnlyOtherWords() {
        Values grey;
        grey.fill(0xC0C0C0);
        SeededRandom random(99);
        for (int n = 0; n < 2000; ++n) {
            const Board b = dealBoard(random, 9, kNames, grey);
            for (int i = 0; i < b.cellCount; ++i) {
                if (i == b.answerIndex) {
                    QCOMPARE(b.cellWord[i], b.targetWord);
                } else {
                    QVERIFY(b.cellWord[i] != b.targetWord);
                }
            }
        }
    }

    void drawOrderAndRedraw() {
        Values values = kDefaultValues;
        values[6] = values[5];  // yellow and grey look alike
        // level 1: four cells; the target is 赤 (word 3) in yellow (colour 5), the answer cell 2.
        ScriptedRandom random{
            pick(3), pick(5), pick(2, 4), pick(5), pick(3),  // cell 0: a full copy, so drawn again
            pick(5), pick(2),                                //         yellow 緑 stays
            pick(6), pick(3),  // cell 1: 赤 in grey, the same colour value: drawn again
            pick(1), pick(3),  //         赤 in blue stays
            pick(0), pick(5),  // cell 3: 黄 in black stays at once
            pick(4),           // not used
        };
        const Board b = dealBoard(random, 1, kNames, values);
        QVERIFY(!random.overrun);
        QCOMPARE(random.left(), 1);
        QCOMPARE(random.reseeds, 0);
        QCOMPARE(b.targetWord, 3);
        QCOMPARE(b.targetColour, values[5]);
        QCOMPARE(b.answerIndex, quint8(2));
        const std::array<int, 4> words{2, 3, 3, 5};
        const std::array<qint32, 4> colours{values[5], values[1], values[5], values[0]};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(b.cellWord[i], words[i]);
            QCOMPARE(b.cellColour[i], colours[i]);
        }
    }

    void drawOfOneStaysInRange() {
        // A faulty source that returns 1.0 must still give valid indices: the last entry, the last
        // cell.
        ScriptedRandom random{1.0, 1.0, 1.0, pick(0), pick(0), pick(0), pick(0), pick(0), pick(0)};
        const Board b = dealBoard(random, 1, kNames, kDefaultValues);
        QVERIFY(!random.overrun);
        QCOMPARE(b.targetWord, kColourCount - 1);
        QCOMPARE(b.targetColour, kDefaultValues[kColourCount - 1]);
        QCOMPARE(b.answerIndex, quint8(3));
    }

    void onePairPaletteDoesNotHang() {
        // Seven equal names in seven equal colours cannot give a unique answer; dealing still ends.
        Names same;
        same.fill(QStringLiteral("黒"));
        Values black{};
        SeededRandom random(1);
        const Board b = dealBoard(random, 9, same, black);
        QCOMPARE(b.cellCount, 100);
        QCOMPARE(b.cellColour[b.answerIndex], 0);
    }

    void scaleDraw_data() {
        QTest::addColumn<double>("r");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("index");
        QTest::newRow("zero") << 0.0 << 7 << 0;
        QTest::newRow("just below a seventh") << 0.1428 << 7 << 0;
        QTest::newRow("just below one") << std::nextafter(1.0, 0.0) << 7 << 6;
        QTest::newRow("one") << 1.0 << 7 << 6;
        QTest::newRow("above one") << 3.0 << 100 << 99;
        QTest::newRow("negative") << -0.25 << 7 << 0;
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << 4 << 0;
        QTest::newRow("half of a 10x10 grid") << 0.5 << 100 << 50;
    }

    void scaleDraw() {
        QFETCH(double, r);
        QFETCH(int, count);
        QFETCH(int, index);
        QCOMPARE(::scaleDraw(r, count), index);
    }

    void seededRandomRepeats() {
        SeededRandom a(42), b(42);
        b.reseed();
        for (int i = 0; i < 1000; ++i) QCOMPARE(a.next(), b.next());
    }

    void clockRandomReseedsDiffer() {
        // Reseeds within the same microsecond must still start different sequences.
        ClockRandom random;
        QList<QList<double>> starts;
        for (int n = 0; n < 50; ++n) {
            random.reseed();
            QList<double> start;
            for (int i = 0; i < 4; ++i) {
                const double r = random.next();
                QVERIFY(r >= 0.0 && r < 1.0);
                start << r;
            }
            QVERIFY2(!starts.contains(start), qPrintable(QString::number(n)));
            starts << start;
        }
        ClockRandom other;
        QVERIFY(!starts.contains(
            QList<double>{other.next(), other.next(), other.next(), other.next()}));
    }
};

QTEST_GUILESS_MAIN(TestBoard)
#include "test_board.moc"
