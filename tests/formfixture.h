#pragma once
// A game window for tests: warnings and the end of the program are recorded instead of shown,
// boards come from a seeded source, and the data files live in a fresh temporary folder.

#include "testfiles.h"

#include "game/modes.h"
#include "game/random.h"
#include "window/form1.h"
#include "window/messages.h"

#include <QList>
#include <QMessageBox>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

// A way of bringing a started window to one of its screens, or of acting on one.
using Road = std::function<void(Form1&)>;

// The visible cells that repeat the target in word and colour.
inline QList<int> matchingCells(const Form1& form) {
    QList<int> matches;
    for (int i = 0; i < kCellCount; ++i)
        if (form.Label1[i]->visible() && form.Label1[i]->caption() == form.Label2->caption() &&
            form.Label1[i]->foreColor() == form.Label2->foreColor())
            matches << i;
    return matches;
}

// The warning box on the screen over `owner`, if one shows (one answered stays, hidden, a while).
inline QMessageBox* shownBox(const QWidget& owner) {
    for (QMessageBox* box : owner.findChildren<QMessageBox*>())
        if (box->isVisible()) return box;
    return nullptr;
}

// The files a fresh start writes.
inline QByteArray defaultHighScoreBytes() {
    return (QByteArray("No Name") + QByteArray(47, ' ') + QByteArray(2, '\0')).repeated(9);
}
inline QByteArray defaultPaletteBytes() {
    return QByteArray::fromHex(
        "000000000000"
        "00000000ff00"
        "0000ff000000"
        "ff0000000000"
        "ff000000ff00"
        "ff00ff000000"
        "c000c000c000");
}

// The warnings as FormFixture records them.
inline const QString kHighScoreRead = kReadErrorTitle + '|' + kHighScoreReadError;
inline const QString kPaletteRead = kReadErrorTitle + '|' + kPaletteReadError;
inline const QString kHighScoreUnreadable = kReadErrorTitle + '|' + kHighScoreFile.readFailed;
inline const QString kPaletteUnreadable = kReadErrorTitle + '|' + kPaletteFile.readFailed;
inline const QString kHighScoreWrite = kWriteErrorTitle + '|' + kHighScoreWriteError;
inline const QString kPaletteWrite = kWriteErrorTitle + '|' + kPaletteWriteError;

struct FormFixture {
    QTemporaryDir folder;
    QStringList warnings;  // "title|text" of every warning box, in order
    QStringList details;   // the line under the text of each box that has one, in order
    // Run while a warning box is up, as a player might act then.
    std::function<void(const QString& warning)> whileWarning;
    QStringList notOverTheGame;  // titles of warnings not owned by the game's shown window
    bool windowShown = false;    // the game has asked for its window to be shown
    QStringList missingGlyphs;   // what the fonts lack for the colour words: nothing
    int endRequests = 0;
    QStringList told;  // what a screen reader was told at once, wherever the focus was
    // Time the game did not run (stopped, in a debugger), as the window's clock shows it.
    std::chrono::steady_clock::duration stopped{};
    std::chrono::steady_clock::duration stoppedAtEachLook{};  // added to `stopped` at each look
    std::unique_ptr<Form1> form;

    // A screen of the given size in twips, its origin at `screenOrigin` pixels; keeps the data
    // files in `dataFolder` when given.
    explicit FormFixture(QSize screenTwips = QSize(15360, 11520), quint64 seed = 1,
                         std::optional<DataFolder> dataFolder = std::nullopt,
                         QPoint screenOrigin = {}) {
        Form1Seams seams;
        seams.warn = [this](QWidget* owner, const QString& title, const QString& text,
                            const QString& detail) {
            warnings << title + QLatin1Char('|') + text;
            if (!detail.isEmpty()) details << detail;
            if (whileWarning) whileWarning(warnings.last());
            if (owner != form.get() || !windowShown) notOverTheGame << title;
        };
        seams.endProgram = [this] { ++endRequests; };
        seams.tellScreenReaders = [this](QWidget*, const QString& words) { told << words; };
        seams.random = std::make_shared<SeededRandom>(seed);
        seams.now = [this] {
            return std::chrono::steady_clock::now() + (stopped += stoppedAtEachLook);
        };
        seams.dataFolder = dataFolder ? *dataFolder : DataFolder(folder.path());
        const QRect screen(screenOrigin, QSize(twipsToPixels(screenTwips.width()),
                                               twipsToPixels(screenTwips.height())));
        seams.screenGeometry = [screen] { return screen; };
        seams.showWindow = [this](QWidget*) { windowShown = true; };
        seams.missingGlyphs = [this] { return missingGlyphs; };
        form = std::make_unique<Form1>(seams);
    }

    QString path(const QString& name) const { return folder.filePath(name); }

    QByteArray read(const QString& name) const { return contentOf(path(name)); }

    void write(const QString& name, const QByteArray& bytes) const { writeFile(path(name), bytes); }

    // Starts the game with both data files already in place, so no warning is shown.
    void startWithFiles(const QByteArray& highScores, const QByteArray& palette) {
        write(QStringLiteral("jx.hsd"), highScores);
        write(QStringLiteral("jx.iro"), palette);
        form->Form_Load();
    }
};

// A fixture whose window has started (Form_Load has run); the warnings it gave are in `warnings`.
struct StartedForm : FormFixture {
    template <typename... Arguments>
    explicit StartedForm(Arguments&&... arguments)
        : FormFixture(std::forward<Arguments>(arguments)...) {
        form->Form_Load();
    }
};

// From the title, starts a game at `level` and counts down to its first board.
inline void startGame(Form1& form, int level) {
    form.Command1_Click(0);  // "Game Start"
    form.HScroll1->setValue(level);
    form.Label4_Click(1);  // the level dialog's "OK"
    for (int tick = 0; tick < 3; ++tick) form.Timer1_Timer();
}

// From the title, plays a game at `level` that scores `points` and ends on the game-over screen.
inline void playToGameOver(Form1& form, int level, int points = 0) {
    startGame(form, level);
    for (int point = 0; point < points; ++point) {
        form.Label1_Click(form.answerIndex);
        form.Timer1_Timer();
    }
    while (form.mode == Mode::Measuring) form.Timer1_Timer();
}

// From the title, plays a game at `level` that scores `points`, a best, and clicks the game-over
// picture, which opens the name entry.
inline void playToNameEntry(Form1& form, int level, int points = 1) {
    playToGameOver(form, level, points);
    QTest::mouseClick(form.Picture3, Qt::LeftButton);
}
