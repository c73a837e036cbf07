// A window whose size changes while the game runs: every control is placed as a window started
// at the new size would place it, and the game carries on exactly where it was.

#include "formfixture.h"
#include "window/cover.h"
#include "window/layout.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

namespace {

void tick(Form1& form, int times) {
    for (int i = 0; i < times; ++i) form.Timer1_Timer();
}

void intoPlay(Form1& form) {
    startGame(form, 4);
    tick(form, 20);
}

// What the game holds and shows, apart from where the window-level controls stand: its state,
// the timer, and for every control its visibility, text or value, and its place when it lies
// inside the board, the gauge or the colour panel.
QStringList gameAsShown(const Form1& form) {
    QStringList shown{form.mode,
                      QString::number(form.timeLeft),
                      QString::number(form.score),
                      QString::number(form.level),
                      QString::number(form.answerIndex),
                      QString::number(form.Timer1.interval()),
                      QString::number(form.Timer1.enabled())};
    for (const QWidget* w : form.findChildren<QWidget*>()) {
        QString text;
        if (const auto* label = dynamic_cast<const Label*>(w))
            text = label->caption() + QString::number(label->foreColor());
        else if (const auto* button = qobject_cast<const QAbstractButton*>(w))
            text = button->text();
        else if (const auto* box = qobject_cast<const QLineEdit*>(w))
            text = box->text();
        else if (const auto* slider = qobject_cast<const QScrollBar*>(w))
            text = QString::number(slider->value());
        QString line = QStringLiteral("%1 %2 %3")
                           .arg(w->metaObject()->className(), text)
                           .arg(w->isHidden() ? QStringLiteral("hidden") : QStringLiteral("shown"));
        if (w->parentWidget() != &form) {
            const QRect r = w->geometry();
            line += QStringLiteral(" at %1,%2 %3x%4")
                        .arg(r.x())
                        .arg(r.y())
                        .arg(r.width())
                        .arg(r.height());
        }
        shown << line;
    }
    return shown;
}

// Where every control stands, in pixels within its container, in the order they were made; not
// a cover, made the first time a file is slow to answer.
QList<QRect> places(const Form1& form) {
    QList<QRect> rects;
    for (const QWidget* w : form.findChildren<QWidget*>())
        if (!dynamic_cast<const Cover*>(w)) rects << w->geometry();
    return rects;
}

QSize twipsOf(QSize pixels) {
    return {pixelsToTwips(pixels.width()), pixelsToTwips(pixels.height())};
}

// A started window whose timer ticks only when the test ticks it: the real one would also tick
// while the test waits for the new size to arrive, as often as the machine's load makes it.
struct TickedForm : StartedForm {
    explicit TickedForm(QSize pixels) : StartedForm(twipsOf(pixels)) { form->Timer1.onTimer = {}; }
};

}  // namespace

class ResizeTest : public QObject {
    Q_OBJECT

  private slots:
    void aNewSizeLaysOutAsAStartAtThatSize_data() {
        QTest::addColumn<Road>("road");
        QTest::addColumn<QSize>("from");
        QTest::addColumn<QSize>("to");
        const QList<QPair<const char*, Road>> roads{
            {"load", [](Form1&) {}},
            {"lv選択", [](Form1& form) { form.Command1_Click(0); }},
            {"gamestart",
             [](Form1& form) {
                 form.Command1_Click(0);
                 form.Label4_Click(1);
                 tick(form, 1);
             }},
            {"keisoku", intoPlay},
            {"kekkahyouji",
             [](Form1& form) {
                 intoPlay(form);
                 form.Label1_Click(form.answerIndex);
             }},
            {"gameover", [](Form1& form) { playToGameOver(form, 4, 1); }},
            {"hs入力",
             [](Form1& form) {
                 playToNameEntry(form, 4);
                 form.Text1->setText(QStringLiteral("Typed so far"));
             }},
            {"hs", [](Form1& form) { form.Command1_Click(1); }},
            {"colour panel",
             [](Form1& form) {
                 form.Command1_Click(2);
                 form.VScroll1[4]->setValue(100);
             }},
        };
        const QList<QPair<QSize, QSize>> changes{
            {{1920, 1080}, {1024, 768}}, {{1024, 768}, {1280, 720}}, {{1280, 720}, {800, 600}}};
        for (const auto& [name, road] : roads)
            for (const auto& [from, to] : changes)
                QTest::addRow("%s, %dx%d to %dx%d", name, from.width(), from.height(), to.width(),
                              to.height())
                    << road << from << to;
    }
    void aNewSizeLaysOutAsAStartAtThatSize() {
        QFETCH(Road, road);
        QFETCH(QSize, from);
        QFETCH(QSize, to);
        TickedForm resized(from);
        TickedForm fresh(to);
        resized.form->show();
        road(*resized.form);
        const QStringList before = gameAsShown(*resized.form);
        resized.form->resize(to);
        QTRY_COMPARE(resized.form->size(), to);

        fresh.form->show();
        road(*fresh.form);
        QCOMPARE(gameAsShown(*resized.form), before);
        QCOMPARE(places(*resized.form), places(*fresh.form));
        const TwipRect target =
            layoutWindow(pixelsToTwips(to.width()), pixelsToTwips(to.height())).label2;
        QCOMPARE(resized.form->Label2->top(), target.top);
    }

    // The logo that has come to rest follows the board; one still sliding in stops at the new
    // resting place, as it would have on a window of the new size.
    void theTitleLogoRestsAboveTheBoard_data() {
        QTest::addColumn<int>("ticksBefore");
        QTest::addColumn<QSize>("from");
        QTest::addColumn<QSize>("to");
        QTest::newRow("at rest, smaller screen") << 200 << QSize(1920, 1080) << QSize(1024, 768);
        QTest::newRow("at rest, larger screen") << 200 << QSize(1024, 768) << QSize(1920, 1080);
        QTest::newRow("sliding, smaller screen: already past")
            << 90 << QSize(1920, 1080) << QSize(1024, 768);
        QTest::newRow("sliding, larger screen") << 30 << QSize(1024, 768) << QSize(1920, 1080);
        QTest::newRow("just started") << 0 << QSize(1280, 720) << QSize(800, 600);
    }
    void theTitleLogoRestsAboveTheBoard() {
        QFETCH(int, ticksBefore);
        QFETCH(QSize, from);
        QFETCH(QSize, to);
        TickedForm resized(from), fresh(to);
        for (FormFixture* f : {&resized, &fresh}) f->form->show();
        for (int i = 0; i < ticksBefore && resized.form->Timer1.enabled(); ++i)
            resized.form->Timer1_Timer();
        resized.form->resize(to);
        QTRY_COMPARE(resized.form->size(), to);
        for (FormFixture* f : {&resized, &fresh})
            for (int i = 0; i < 1000 && f->form->Timer1.enabled(); ++i) f->form->Timer1_Timer();
        QCOMPARE(resized.form->Picture2->top(), fresh.form->Picture2->top());
        QCOMPARE(resized.form->Picture2->left(), fresh.form->Picture2->left());
        QCOMPARE(resized.form->mode, Mode::Load);
    }

    // The window starts on the screen the game was given, at its origin and with its size.
    void theWindowCoversItsScreen_data() {
        QTest::addColumn<QPoint>("origin");
        QTest::addColumn<QSize>("size");
        QTest::newRow("primary at the origin") << QPoint(0, 0) << QSize(1024, 768);
        QTest::newRow("primary right of a larger monitor") << QPoint(1280, 0) << QSize(1024, 768);
        QTest::newRow("primary below another") << QPoint(0, 1080) << QSize(1280, 720);
    }
    void theWindowCoversItsScreen() {
        QFETCH(QPoint, origin);
        QFETCH(QSize, size);
        StartedForm f(twipsOf(size), 1, std::nullopt, origin);
        QCOMPARE(f.form->geometry(), QRect(origin, size));
        const TwipRect board =
            layoutWindow(pixelsToTwips(size.width()), pixelsToTwips(size.height())).picture1;
        QCOMPARE(f.form->Picture1->left(), board.left);
        QCOMPARE(f.form->Picture1->top(), board.top);
    }
};

QTEST_MAIN(ResizeTest)
#include "test_resize.moc"
