// A long random session in the shown window: real clicks anywhere on the screen, Enter, typed
// keys, slider moves and timer ticks over many games, with the game's rules checked after every
// event. TINTMAZE_SESSION_SEED replaces the seed of every row, to replay or widen a run.

#include "formfixture.h"
#include "palette/palette.h"
#include "scores/highscores.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QKeySequence>
#include <QTest>

#include <sys/stat.h>

#include <array>
#include <deque>
#include <random>

namespace {

const QStringList kModes{Mode::Load,          Mode::LevelChoice, Mode::GameStart, Mode::Measuring,
                         Mode::ResultDisplay, Mode::GameOver,    Mode::NameEntry, Mode::HighScores};
constexpr int kHistory = 30;  // events listed with a failure
constexpr int kAnimationLimitMs = 1000;

// Keeps the real ticks of the window's timer from the window, counting them, so that the
// session's own ticks are the only ones and a seed replays exactly. The timer still keeps its
// period and whether it runs, which the checks read.
struct TimerHold {
    int held = 0;
    explicit TimerHold(Form1& form) {
        form.Timer1.onTimer = [this] { ++held; };
    }
};

// A data file, read and decoded again only when its inode, size or times changed.
struct WatchedFile {
    QByteArray path;
    struct stat seen {};
    QByteArray bytes;
    bool missing = true;

    // True when the file changed since the last call.
    bool refresh() {
        struct stat now {};
        if (::stat(path.constData(), &now) != 0) {
            const bool changed = !missing;
            missing = true;
            bytes.clear();
            return changed;
        }
        const bool same = !missing && now.st_ino == seen.st_ino && now.st_size == seen.st_size &&
                          now.st_mtim.tv_sec == seen.st_mtim.tv_sec &&
                          now.st_mtim.tv_nsec == seen.st_mtim.tv_nsec &&
                          now.st_ctim.tv_nsec == seen.st_ctim.tv_nsec;
        if (same) return false;
        seen = now;
        missing = false;
        bytes = contentOf(path);
        return true;
    }
};

// One event as the session made it.
struct Event {
    QString text;               // what was done, for a failure report
    QWidget* target = nullptr;  // where a click landed (the window itself for its background)
    int cell = -1;              // the grid cell a click landed on
    bool click = false;
    bool ends = false;       // Escape, or a press of the visible "End"
    bool hiddenEnd = false;  // Space while the hidden "End" has the keyboard focus
};

// What an event may change, taken before it.
struct Before {
    QString mode;
    qint16 score = 0;
    quint8 answer = 0;
    int ends = 0;
    qint16 best = 0;  // the stored best of the level played last
    QByteArray highScoreFile;
};

class Session {
  public:
    Session(FormFixture& fixture, quint64 seed) : f(fixture), form(*fixture.form), random(seed) {
        hsd.path = QFile::encodeName(f.path(QStringLiteral("jx.hsd")));
        iro.path = QFile::encodeName(f.path(QStringLiteral("jx.iro")));
        nameControls();
        warningsAtStart = f.warnings.size();
    }

    // Makes one random event and returns what was wrong afterwards, or nothing.
    QString step() {
        Before before{form.mode, form.score, form.answerIndex, f.endRequests, 0, hsd.bytes};
        if (form.level >= 1 && form.level <= kLevelCount)
            before.best = hsdTable[form.level].bestScore;
        const Event event = randomEvent();
        history.push_back(event.text);
        if (history.size() > kHistory) history.pop_front();
        trace << QStringLiteral("%1 -> %2 %3 %4 %5")
                     .arg(event.text, form.mode)
                     .arg(form.score)
                     .arg(form.timeLeft)
                     .arg(form.Picture2->top());
        ++events;
        return problems(event, before);
    }

    QString recentEvents() const { return QStringList(history.begin(), history.end()).join('\n'); }

    // Reads both files, so that the first step has them to compare with.
    QString start() {
        QStringList found;
        checkFiles(found);
        return found.join(QStringLiteral("; "));
    }

    int events = 0, gamesStarted = 0, gamesFinished = 0, namesStored = 0;
    int hiddenEndPresses = 0, firstHiddenEndPress = 0;
    QSet<QString> modesSeen;
    QStringList trace;  // every event and what the game held after it

  private:
    enum Kind { Tick, Click, Background, Enter, Typing, Key, Slider, Escape };

    FormFixture& f;
    Form1& form;
    std::mt19937 random;
    std::discrete_distribution<int> kinds{{48, 28, 4, 6, 5, 4, 4, 1}};
    QList<std::pair<QWidget*, QString>> controls;
    QHash<const QWidget*, QString> names;
    QHash<const QWidget*, int> cells;
    WatchedFile hsd, iro;
    HighScoreTable hsdTable;
    ColourTable iroTable;
    QString hsdProblem, iroProblem;
    qsizetype warningsAtStart = 0;
    std::deque<QString> history;

    int uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }

    void name(QWidget* widget, const QString& text) {
        controls.append({widget, text});
        names.insert(widget, text);
    }
    template <size_t N, typename T>
    void name(const std::array<T*, N>& array, const QString& text) {
        for (size_t i = 0; i < N; ++i) name(array[i], QStringLiteral("%1(%2)").arg(text).arg(i));
    }
    void nameControls() {
        const std::pair<QWidget*, const char*> single[] = {
            {form.Picture3, "Picture3"}, {form.Frame2, "Frame2"},     {form.Text1, "Text1"},
            {form.Text2, "Text2"},       {form.Picture2, "Picture2"}, {form.Picture1, "Picture1"},
            {form.Frame1, "Frame1"},     {form.Label6, "Label6"},     {form.Label5, "Label5"},
            {form.Label2, "Label2"},     {form.Command4, "Command4"}, {form.Command3, "Command3"},
            {form.Command2, "Command2"}, {form.HScroll1, "HScroll1"}, {form.Label3, "Label3"},
            {form.Shape1, "Shape1"},     {form.Line1, "Line1"}};
        for (const auto& [widget, text] : single) name(widget, QString::fromLatin1(text));
        name(form.VScroll1, "VScroll1");
        name(form.Label11, "Label11");
        name(form.Label10, "Label10");
        name(form.Label12, "Label12");
        name(form.Command1, "Command1");
        name(form.Label9, "Label9");
        name(form.Label8, "Label8");
        name(form.Label7, "Label7");
        name(form.Label4, "Label4");
        name(form.Label1, "Label1");
        names.insert(&form, QStringLiteral("the background"));
        for (int i = 0; i < kCellCount; ++i) cells.insert(form.Label1[i], i);
    }
    QString nameOf(const QWidget* widget) const {
        return names.value(widget, QString::fromLatin1(widget->metaObject()->className()));
    }

    Event randomEvent() {
        switch (kinds(random)) {
            case Click:
                return clickControl();
            case Background:
                return clickAt(QPoint(uniform(0, form.width() - 1), uniform(0, form.height() - 1)),
                               QStringLiteral("click the window"));
            case Enter:
                return key(uniform(0, 1) ? Qt::Key_Return : Qt::Key_Enter, QStringLiteral("Enter"));
            case Typing:
                return typeText();
            case Key:
                return specialKey();
            case Slider:
                return moveSlider();
            case Escape: {
                Event event = key(Qt::Key_Escape, QStringLiteral("Escape"));
                event.ends = true;
                return event;
            }
            default:
                return tick();
        }
    }

    Event tick() {
        Event event{QStringLiteral("tick in ") + form.mode};
        form.Timer1_Timer();
        return event;
    }

    // A random point of a random visible control; on a slider, often one of its arrows.
    Event clickControl() {
        QList<std::pair<QWidget*, QString>> shown;
        for (const auto& control : controls)
            if (control.first->isVisible() && !control.first->rect().isEmpty()) shown << control;
        const auto& [widget, text] = shown[uniform(0, int(shown.size()) - 1)];
        const QRect r = widget->rect();
        QPoint point(uniform(r.left(), r.right()), uniform(r.top(), r.bottom()));
        auto* bar = qobject_cast<QScrollBar*>(widget);
        if (bar && uniform(0, 1)) {
            const bool vertical = bar->orientation() == Qt::Vertical;
            const int arrow = vertical ? r.width() : r.height();
            const int along = uniform(0, 1)
                                  ? uniform(0, arrow / 2)
                                  : (vertical ? r.bottom() : r.right()) - uniform(0, arrow / 2);
            (vertical ? point.ry() : point.rx()) = along;
        }
        return clickAt(widget->mapTo(&form, point), QStringLiteral("click ") + text);
    }

    Event clickAt(QPoint point, const QString& what) {
        point.setX(qBound(0, point.x(), form.width() - 1));
        point.setY(qBound(0, point.y(), form.height() - 1));
        if (point.isNull()) point.setY(1);  // QTest reads (0, 0) as the window's middle
        Event event;
        event.click = true;
        event.target = form.childAt(point);
        if (!event.target) event.target = &form;
        event.cell = cells.value(event.target, -1);
        event.ends = event.target == form.Command1[3];
        event.text = QStringLiteral("%1 at %2,%3 -> %4 in %5")
                         .arg(what)
                         .arg(point.x())
                         .arg(point.y())
                         .arg(nameOf(event.target), form.mode);
        QTest::mouseClick(form.windowHandle(), Qt::LeftButton, Qt::NoModifier, point);
        return event;
    }

    QWidget* focused() const {
        QWidget* widget = QApplication::focusWidget();
        return widget && widget->window() == &form ? widget : &form;
    }

    Event key(Qt::Key code, const QString& what, Qt::KeyboardModifiers modifiers = {}) {
        QWidget* target = focused();
        Event event{QStringLiteral("%1 to %2 in %3").arg(what, nameOf(target), form.mode)};
        // Space presses the focused button, "End" included.
        const bool end = code == Qt::Key_Space && target == form.Command1[3];
        event.ends = end && target->isVisible();
        event.hiddenEnd = end && !target->isVisible();
        QTest::keyClick(target, code, modifiers);
        // An access key presses its button after a short animation; a player cannot act
        // faster than that, so the session waits for it.
        QElapsedTimer animation;
        animation.start();
        while (form.Command3->isDown() && animation.elapsed() < kAnimationLimitMs) QTest::qWait(5);
        return event;
    }

    // A few printable characters, each typed as its own key: Latin, Japanese, Hangul, an emoji.
    Event typeText() {
        static const QStringList pool{"a", "Z", "7", "-", "é", "赤", "青", "ｱ", "한", "😀", "ש"};
        QString text;
        for (int n = uniform(1, 4); n > 0; --n) text += pool[uniform(0, int(pool.size()) - 1)];
        QWidget* target = focused();
        for (qsizetype i = 0; i < text.size(); ++i) {
            const qsizetype length = text[i].isHighSurrogate() ? 2 : 1;
            QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, text.mid(i, length),
                                Qt::NoModifier);
            i += length - 1;
        }
        return {QStringLiteral("type \"%1\" to %2 in %3").arg(text, nameOf(target), form.mode)};
    }

    // Keys that move the focus, edit the name box, move a slider, press a button or an access key.
    Event specialKey() {
        static const QKeyCombination keys[] = {
            Qt::Key_Space, Qt::Key_Tab,   Qt::Key_Backspace, Qt::Key_Delete,
            Qt::Key_Left,  Qt::Key_Right, Qt::Key_Up,        Qt::Key_Down,
            Qt::Key_Home,  Qt::Key_End,   Qt::Key_PageDown,  Qt::ALT | Qt::Key_O};
        const QKeyCombination chosen = keys[uniform(0, std::size(keys) - 1)];
        return key(chosen.key(), QKeySequence(chosen).toString(), chosen.keyboardModifiers());
    }

    // setValue on one of the visible sliders, sometimes beyond its range; a tick when none shows.
    Event moveSlider() {
        QList<ScrollBar*> shown;
        if (form.HScroll1->isVisible()) shown << form.HScroll1;
        for (auto* bar : form.VScroll1)
            if (bar->isVisible()) shown << bar;
        if (shown.isEmpty()) return tick();
        ScrollBar* bar = shown[uniform(0, int(shown.size()) - 1)];
        const int value = uniform(bar->minimum() - 2, bar->maximum() + 2);
        bar->setValue(value);
        return {QStringLiteral("%1 set to %2").arg(nameOf(bar)).arg(value)};
    }

    // --- Checks ------------------------------------------------------------------------------

    QString problems(const Event& event, const Before& before) {
        QStringList found;
        modesSeen.insert(form.mode);
        if (!kModes.contains(form.mode)) found << QStringLiteral("mode \"%1\"").arg(form.mode);
        const int ends = f.endRequests - before.ends;
        if (event.hiddenEnd && ends == 1) {
            if (hiddenEndPresses++ == 0) firstHiddenEndPress = events;
        } else if (ends != (event.ends ? 1 : 0)) {
            found << QStringLiteral("%1 requests to end").arg(ends);
        }
        if (f.warnings.size() != warningsAtStart) found << "a warning box: " + f.warnings.last();
        checkFiles(found);
        checkBoard(found);
        checkTimer(found);
        checkScore(event, before, found);
        checkWaysOut(event, before, found);
        checkNameEntry(before, found);
        if (before.mode == Mode::LevelChoice && form.mode == Mode::GameStart) ++gamesStarted;
        if (before.mode == Mode::Measuring && form.mode == Mode::GameOver) ++gamesFinished;
        return found.join(QStringLiteral("; "));
    }

    // Both files are long enough and decode, and the window holds what they hold.
    void checkFiles(QStringList& found) {
        if (hsd.refresh()) {
            hsdTable = decodeHighScores(hsd.bytes);
            hsdProblem.clear();
            if (hsd.bytes.size() < kHighScoreFileBytes)
                hsdProblem += QStringLiteral("jx.hsd has %1 bytes ").arg(hsd.bytes.size());
            for (const auto& record : hsdTable.records)
                if (record.playerName.contains(QChar::ReplacementCharacter))
                    hsdProblem += "jx.hsd holds an undecodable name " + record.playerName;
            if (encodeHighScores(hsdTable) != hsd.bytes.left(kHighScoreFileBytes))
                hsdProblem += QStringLiteral("jx.hsd does not encode back to its bytes");
        }
        if (iro.refresh()) {
            iroTable = decodePalette(iro.bytes);
            iroProblem.clear();
            if (iro.bytes.size() < kPaletteFileBytes)
                iroProblem += QStringLiteral("jx.iro has %1 bytes ").arg(iro.bytes.size());
            if (encodePalette(iroTable) != iro.bytes.left(kPaletteFileBytes))
                iroProblem += QStringLiteral("jx.iro holds a component outside 0..255");
        }
        for (const QString* problem : {&hsdProblem, &iroProblem})
            if (!problem->isEmpty()) found << *problem;
        if (form.highScores != hsdTable) found << QStringLiteral("the table differs from jx.hsd");
        if (form.colourRGB != iroTable) found << QStringLiteral("the palette differs from jx.iro");
        if (form.colourValues != colourValuesOf(form.colourRGB))
            found << QStringLiteral("the board colours differ from the palette");
    }

    // During play: exactly the grid's cells show, and exactly one of them is the target.
    void checkBoard(QStringList& found) {
        const bool measuring = form.mode == Mode::Measuring;
        if (!measuring && form.mode != Mode::ResultDisplay) return;
        const int count = (form.level + 1) * (form.level + 1);
        if (form.level < kMinLevel || form.level > kMaxLevel)
            found << QStringLiteral("level %1").arg(form.level);
        for (int i = 0; i < kCellCount; ++i)
            if (form.Label1[i]->visible() != (i < count))
                found << QStringLiteral("cell %1 %2").arg(i).arg(i < count ? "hidden" : "shown");
        if (!form.Picture1->isVisible()) found << QStringLiteral("the board is hidden");
        if (form.answerIndex >= count) found << QStringLiteral("answer %1").arg(form.answerIndex);
        const QList<int> matches = matchingCells(form);
        if (matches != QList<int>{form.answerIndex}) {
            QStringList shown;
            for (int i : matches) shown << QString::number(i);
            found << QStringLiteral("answer %1, matching cells %2")
                         .arg(form.answerIndex)
                         .arg(shown.join(QLatin1Char(',')));
        }
        if (form.Label3->visible() == measuring)
            found << QStringLiteral("the verdict shows wrongly");
        if (form.Label6->caption() != QStringLiteral("Score:%1").arg(form.score))
            found << "score label " + form.Label6->caption();
    }

    // The timer runs at the phase's period and stands still where the game waits for the player.
    void checkTimer(QStringList& found) {
        const auto& mode = form.mode;
        const bool still = mode == Mode::GameOver || mode == Mode::NameEntry ||
                           mode == Mode::HighScores || form.Frame2->visible();
        static const QHash<QString, int> paces{
            {Mode::GameStart, 1000}, {Mode::Measuring, 100}, {Mode::ResultDisplay, 300}};
        const int period = paces.value(mode);
        if (still && form.Timer1.enabled()) found << "the timer runs in " + mode;
        if (period && (!form.Timer1.enabled() || form.Timer1.interval() != period))
            found
                << QStringLiteral("the timer at %1 ms in %2").arg(form.Timer1.interval()).arg(mode);
    }

    // The score grows by one with each "OK" and falls to 0 only on "Game Start"; a click on a
    // cell in play is judged against the answer it had.
    void checkScore(const Event& event, const Before& before, QStringList& found) {
        const bool verdict = before.mode == Mode::Measuring && form.mode == Mode::ResultDisplay;
        const bool ok = verdict && form.Label3->caption() == QStringLiteral("OK");
        const bool gameStart = before.mode == Mode::Load && form.mode == Mode::LevelChoice;
        if (form.score != before.score) {
            if (!(ok && form.score == before.score + 1) && !(gameStart && form.score == 0))
                found << QStringLiteral("score %1 -> %2").arg(before.score).arg(form.score);
        } else if (ok) {
            found << QStringLiteral("\"OK\" without a point");
        }
        if (event.cell >= 0 && before.mode == Mode::Measuring) {
            if (!verdict)
                found << QStringLiteral("a click on cell %1 was not judged").arg(event.cell);
            else if (ok != (event.cell == before.answer))
                found << QStringLiteral("cell %1 judged %2, answer %3")
                             .arg(event.cell)
                             .arg(form.Label3->caption())
                             .arg(before.answer);
        } else if (verdict) {
            found << QStringLiteral("a verdict without a click on a cell");
        }
    }

    // The game-over screen and the table view are left by a click on their areas and no other.
    void checkWaysOut(const Event& event, const Before& before, QStringList& found) {
        if (!event.click) return;
        const QWidget* t = event.target;
        const bool anywhere = t == &form || t == form.Picture1;
        bool way = false;
        if (before.mode == Mode::GameOver) {
            way = anywhere || t == form.Picture2 || t == form.Picture3 || t == form.Frame1 ||
                  event.cell >= 0;
        } else if (before.mode == Mode::HighScores) {
            const auto isRow = [t](const auto& row) {
                return std::find(row.begin(), row.end(), t) != row.end();
            };
            way = anywhere || isRow(form.Label7) || isRow(form.Label8) || isRow(form.Label9);
        } else {
            return;
        }
        if (way != (form.mode != before.mode))
            found << QStringLiteral("%1 left by a click: %2").arg(before.mode).arg(!way);
        if (before.mode == Mode::GameOver && way) {
            const bool enters = form.score > before.best;
            if (form.mode != (enters ? Mode::NameEntry : Mode::Load))
                found << QStringLiteral("score %1 against best %2 gave %3")
                             .arg(form.score)
                             .arg(before.best)
                             .arg(form.mode);
        }
    }

    // Enter on the name entry stores the name and the score in the level's slot and nowhere else.
    void checkNameEntry(const Before& before, QStringList& found) {
        if (before.mode != Mode::NameEntry || form.mode == Mode::NameEntry) return;
        ++namesStored;
        if (allButRecord(hsd.bytes, form.level) != allButRecord(before.highScoreFile, form.level))
            found << QStringLiteral("a save changed another slot");
        const HighScoreRecord& stored = hsdTable[form.level];
        if (stored.bestScore != form.score)
            found << QStringLiteral("stored score %1 of %2").arg(stored.bestScore).arg(form.score);
        if (!stored.playerName.mid(kEnteredNameMaxChars).trimmed().isEmpty())
            found << "a name longer than 27 characters: " + stored.playerName;
        if (form.Label8[form.level - 1]->caption() != stored.playerName)
            found << "the table row shows " + form.Label8[form.level - 1]->caption();
    }
};

// A press of the menu's "End" button that is not on screen, through the keyboard focus it kept.
bool spaceEndsFromHiddenMenu(FormFixture& f, int way) {
    Form1& form = *f.form;
    const auto clickAt = [&form](QWidget* widget) {
        QTest::mouseClick(form.windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          widget->mapTo(&form, widget->rect().center()));
    };
    if (way == 0) clickAt(form.Command1[0]);
    if (way == 1) QTest::keyClick(form.windowHandle(), Qt::Key_Return);
    if (way == 2) clickAt(form.Command1[1]);
    if (way == 3) {
        clickAt(form.Command1[0]);
        clickAt(form.Label4[1]);
        for (int tick = 0; tick < 3; ++tick) form.Timer1_Timer();
    }
    QTest::keyClick(form.windowHandle(), Qt::Key_Space);
    return f.endRequests > 0;
}

// A started window, shown, its timer held, for a session from `seed`.
struct SessionWindow {
    StartedForm f;
    TimerHold hold;
    SessionWindow(QSize screen, quint64 seed) : f(screen, seed), hold(*f.form) { f.form->show(); }
};

// Makes `eventCount` events; returns the first problem found with the events before it, or
// nothing.
QString play(Session& session, quint64 seed, int eventCount) {
    for (int i = 0; i < eventCount; ++i) {
        const QString problem = session.step();
        if (!problem.isEmpty())
            return QStringLiteral("seed %1, event %2: %3\nlast events:\n%4")
                .arg(seed)
                .arg(i + 1)
                .arg(problem, session.recentEvents());
    }
    return {};
}

}  // namespace

class RandomSessionTest : public QObject {
    Q_OBJECT

    struct Totals {
        int events = 0, gamesStarted = 0, gamesFinished = 0, namesStored = 0, hiddenEnd = 0;
        qint64 ms = 0;
    } totals;

  private slots:
    void randomEventsKeepTheGameSound_data() {
        QTest::addColumn<quint64>("seed");
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<int>("eventCount");
        QTest::newRow("1024x768") << quint64(20240611) << QSize(15360, 11520) << 24000;
        QTest::newRow("1920x1080") << quint64(7) << QSize(28800, 16200) << 16000;
        QTest::newRow("800x600") << quint64(1999) << QSize(12000, 9000) << 10000;
    }
    void randomEventsKeepTheGameSound() {
        QFETCH(quint64, seed);
        QFETCH(QSize, screen);
        QFETCH(int, eventCount);
        if (qEnvironmentVariableIsSet("TINTMAZE_SESSION_SEED"))
            seed = qEnvironmentVariable("TINTMAZE_SESSION_SEED").toULongLong();

        SessionWindow window(screen, seed);
        QVERIFY(QTest::qWaitForWindowActive(window.f.form.get()));
        Session session(window.f, seed);
        QCOMPARE(session.start(), QString());
        QElapsedTimer clock;
        clock.start();
        const QString problem = play(session, seed, eventCount);
        if (!problem.isEmpty()) QFAIL(qPrintable(problem));
        const qint64 ms = clock.elapsed();
        qInfo(
            "seed %llu: %d events in %lld ms, %d games started, %d finished, %d names stored, "
            "%d requests to end, %d of them by Space on the hidden End (first at event %d), "
            "%d real ticks held",
            seed, session.events, ms, session.gamesStarted, session.gamesFinished,
            session.namesStored, window.f.endRequests, session.hiddenEndPresses,
            session.firstHiddenEndPress, window.hold.held);
        totals.events += session.events;
        totals.gamesStarted += session.gamesStarted;
        totals.gamesFinished += session.gamesFinished;
        totals.namesStored += session.namesStored;
        totals.hiddenEnd += session.hiddenEndPresses;
        totals.ms += ms;

        QCOMPARE(session.modesSeen.size(), kModes.size());
        QVERIFY(session.gamesFinished >= 10);
        QVERIFY(session.namesStored >= 3);
        QCOMPARE(session.hiddenEndPresses, 0);
    }

    // A seed played twice gives the same events and the same game after each: nothing but the
    // session reaches the window.
    void aSeedReplaysExactly() {
        constexpr quint64 kSeed = 5;
        std::array<QStringList, 2> traces;
        for (QStringList& trace : traces) {
            SessionWindow window(QSize(15360, 11520), kSeed);
            QVERIFY(QTest::qWaitForWindowActive(window.f.form.get()));
            Session session(window.f, kSeed);
            QCOMPARE(session.start(), QString());
            QCOMPARE(play(session, kSeed, 3000), QString());
            trace = session.trace;
        }
        QCOMPARE(traces[1], traces[0]);
    }

    // What the session found, step by step: after the menu hides itself its End button keeps
    // the focus, and Space ends the program from the screens that follow.
    void hiddenMenuButtonsTakeNoKeys_data() {
        QTest::addColumn<int>("way");
        QTest::newRow("level dialog opened by a click") << 0;
        QTest::newRow("level dialog opened by Enter") << 1;
        QTest::newRow("table view") << 2;
        QTest::newRow("a game") << 3;
    }
    void hiddenMenuButtonsTakeNoKeys() {
        QFETCH(int, way);
        StartedForm f;
        f.form->show();
        QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
        const bool ended = spaceEndsFromHiddenMenu(f, way);
        QVERIFY(!f.form->Command1[3]->isVisible());
        QVERIFY(!ended);
    }

    void cleanupTestCase() {
        qInfo(
            "in all: %d events in %lld ms, %d games started, %d finished, %d names stored, "
            "%d presses of the hidden End",
            totals.events, totals.ms, totals.gamesStarted, totals.gamesFinished, totals.namesStored,
            totals.hiddenEnd);
    }
};

QTEST_MAIN(RandomSessionTest)
#include "test_random_session.moc"
