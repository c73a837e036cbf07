#pragma once
// Form1, the game's one window: every control it ever shows, the state of the game, and the
// handlers and routines that drive it. Member functions live in the folder of their part of the
// game: window/ builds the window and resets it to the title, game/ deals and times the boards,
// menu/ handles the title menu, screen clicks, keys and the level dialog, scores/ the best
// results, palette/ the colours.

#include "files/datafile.h"
#include "game/board.h"
#include "game/random.h"
#include "palette/palette.h"
#include "scores/highscores.h"
#include "window/controls.h"
#include "window/layout.h"
#include "window/messages.h"
#include "window/timer.h"
#include "window/twips.h"

#include <QHash>
#include <QRect>
#include <QString>
#include <QStringList>

#include <array>
#include <chrono>
#include <functional>
#include <memory>

// The colour panel's sliders: red, green and blue of each colour.
constexpr int kSliderCount = 3 * kColourCount;

// The character codes of the keys Form_KeyPress acts on.
constexpr qint16 kEnter = 13;
constexpr qint16 kEscape = 27;
constexpr qint16 kSpace = 32;

// The window's outside effects, each replaceable by a test.
struct Form1Seams {
    // A modal warning box with one OK button, drawn in the middle of the game's window. A
    // `detail`, when there is one, says why in a line under the text.
    std::function<void(QWidget* owner, const QString& title, const QString& text,
                       const QString& detail)>
        warn;
    // Ends the program at once, saving nothing: the window leaves the screen, and the program
    // ends as soon as no data file is being written. Needs no event loop.
    std::function<void()> endProgram;
    // Tells a listening screen reader `words` at once, wherever the focus is.
    std::function<void(QWidget* window, const QString& words)> tellScreenReaders;
    // The random source every board is dealt from; reseeded for every board.
    std::shared_ptr<RandomSource> random;
    // The folder that holds jx.hsd and jx.iro: the current folder at start.
    DataFolder dataFolder;
    // The screen the window starts on, its origin and size in logical pixels.
    std::function<QRect()> screenGeometry;
    // Shows the window covering its screen.
    std::function<void(QWidget* window)> showWindow;
    // The clock a wait for a data file counts its patience by.
    std::function<std::chrono::steady_clock::time_point()> now;
    // What keeps the colour words from being drawn, a line for each font that lacks one; empty
    // when all is well.
    std::function<QStringList()> missingGlyphs;

    // The seams of the real game.
    static Form1Seams real();
};

class Form1 : public QWidget {
  public:
    explicit Form1(Form1Seams seams = Form1Seams::real());
    ~Form1() override;

    // --- Window-level state ---
    quint8 level = 0;
    std::array<qint32, kColourCount> colourValues{};
    std::array<QString, kColourCount> colourNames;
    quint8 answerIndex = 0;
    qint16 score = 0;
    qint16 timeLeft = 0;
    ColourTable colourRGB;
    HighScoreTable highScores;
    QString mode;

    // --- Controls of the window, front to back ---
    // The name entry (Text1, Text2), the colour panel's contents, the rows of the best results
    // (Label7 to Label9) and the cells (Label1) are built by Form_Load once the title's first
    // frame is on the screen; until then they are null.
    PictureBox* Picture3;
    Frame* Frame2;
    TextBox* Text1 = nullptr;
    TextBox* Text2 = nullptr;
    Label* nameNotice = nullptr;  // under the name box: the letters it kept out, and why
    PictureBox* Picture2;
    Timer Timer1;
    PictureBox* Picture1;
    Frame* Frame1;
    Label* Label6;
    Label* Label5;
    Label* Label2;  // the target word; in the count-down its caption is the count (game state)
    // inside Frame2, the colour panel
    CommandButton* Command4 = nullptr;
    CommandButton* Command3 = nullptr;
    CommandButton* Command2 = nullptr;
    std::array<ScrollBar*, kSliderCount> VScroll1{};
    std::array<Label*, kSliderCount> Label11{};
    std::array<Label*, kColourCount> Label10{};
    // The sliders' values; their captions are the panel's state, read by "OK" (Command3_Click).
    std::array<Label*, kSliderCount> Label12{};
    // inside Picture1, the board
    ScrollBar* HScroll1;
    std::array<CommandButton*, 4> Command1;
    std::array<Label*, kLevelCount> Label9{};
    std::array<Label*, kLevelCount> Label8{};
    std::array<Label*, kLevelCount> Label7{};
    std::array<Label*, 3> Label4;
    Label* Label3;
    std::array<Label*, kCellCount> Label1{};
    // inside Frame1, the time gauge
    Shape* Shape1;
    Line* Line1;

    // --- Start-up and title reset (window/) ---
    void Form_Load();
    void Reset(bool fullStart);
    // Says so in a box when no font draws the colour words; the game goes on all the same.
    void warnOfMissingFonts();

    // --- Boards, timing and judging (game/) ---
    // "Iroduke" (colouring): deals a new board from the palette and shows it.
    void Iroduke();
    // "Haiti" (placement): shows the level's grid of cells and puts each in its place.
    void Haiti();
    void Timer1_Timer();
    void GameOver();
    void Label1_Click(qint16 Index);

    // --- Title menu, screen clicks, keys, level dialog (menu/) ---
    void Command1_Click(qint16 Index);
    void Form_Click();
    void Picture1_Click();
    void Picture2_Click();
    void Picture3_Click();
    void Frame1_Click();
    void Form_KeyPress(qint16 KeyAscii);
    void HScroll1_Change();
    void HScroll1_Scroll();
    void Label4_Click(qint16 Index);

    // --- Best results (scores/) ---
    void loadHighScores();
    void storeBestScore();
    void showHighScores();
    // "High" (after a game): resets to the title, then asks for a name if the score beats the
    // level's best, and otherwise leaves the title showing.
    void High();
    void commitHighScore();
    // Tells the player, on the screen and to a screen reader, what the name box kept out.
    void nameLettersRefused(const QStringList& letters, bool full);
    void Label7_Click(qint16 Index);
    void Label8_Click(qint16 Index);
    void Label9_Click(qint16 Index);
    // What a screen reader is told as the table view opens: each row from the top, its level,
    // name and score as shown.
    QString tableWords() const;

    // --- Colours (palette/) ---
    void loadPalette();
    void savePalette();
    void showPalette();
    void deriveColourValues();
    void VScroll1_Change(qint16 Index);
    void VScroll1_Scroll(qint16 Index);
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();

  protected:
    void mousePressEvent(QMouseEvent* event) override { background_.pressed(event); }
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // Runs `work` on the data file `name` off the window's thread and waits for it at most
    // `patience` of the time the game ran while the work waited on the file. Within a moment
    // nobody notices, nothing shows the wait; after it, the window takes no input but keeps
    // painting under the busy pointer, and Escape or a close still end the game. Empty when the
    // work is done; else why not: the file did not answer in time (the work goes on by itself), or
    // work an earlier wait left behind on it still runs.
    QString waitForFile(const QString& name, std::chrono::milliseconds patience,
                        const std::function<void()>& work);
    // Whether the window waits for a data file, taking no input.
    bool waiting() const;
    // Reading and saving a data file of the game's folder, as the window waits for them.
    DataFileRead readFile(const QString& name, qsizetype bytes);
    SaveResult saveFile(const QString& name, qsizetype bytes, const SaveDecision& decide);
    // Reads the file of `words` (its first defaults.size() bytes), or on failure warns; a missing
    // or empty file is created from `defaults` after a warning, or read if it appeared meanwhile.
    // A file there that cannot be read is left as it is. Where results cannot be kept (a file
    // the player may not write, a folder that takes no new file) the player is told once.
    DataFileRead loadDataFile(const DataFileWords& words, const QByteArray& defaults);
    // Tells the player, once while it holds, that the file cannot be saved for `reason`; an empty
    // reason forgets what was told.
    void tellIfUnsaved(const DataFileWords& file, const QString& reason);
    // Warns when `save` of the file failed.
    void warnUnsaved(const DataFileWords& file, const SaveResult& save);
    // Waits until the work that waits left behind is done.
    void waitForWorkLeftBehind();

    // Sets `mode` to `next` and the timer as the mode table has it there.
    void enterMode(const QString& next);
    // The steps of the one timer, by phase.
    void slideTitleLogo();
    void countDown();
    void startPlay();
    void measureTick();
    void endVerdictDisplay();

    void buildWindowControls();
    void buildBoardControls();
    void buildGaugeControls();
    void stackControls();
    void wireEvents();
    void startUp();
    void showTitle();
    void buildUnseenControls();
    void buildScoreRows(const WindowLayout& layout);
    void buildCells();
    void stackBoard();
    void wireBoardEvents();
    void buildNameEntry();
    void buildPanelControls();
    void wirePanelEvents();
    void followScreens();
    WindowLayout currentLayout() const;
    void placeControls(const WindowLayout& layout);
    void placeUnseenControls(const WindowLayout& layout);
    void takePointerForScreen();
    // The one focus rule, run once a change of screen is done and no box or wait covers the
    // window (checkFocusSoon, again as a cover goes): a focus left on a control the player does
    // not see, or on the window, goes to the first control in Tab order that the player sees, or
    // else to the window.
    void keepFocusOnSeenControls();
    void checkFocusSoon();

    // Lets the window background take clicks like a control.
    struct Background : Clickable {
        using Clickable::pressed;
        using Clickable::released;
    } background_;
    Form1Seams seams_;
    struct FilesInFlight;
    std::shared_ptr<FilesInFlight> filesInFlight_;
    QWidget* waitCover_ = nullptr;  // made the first time the window waits
    QHash<QString, QString>
        toldUnsaved_;  // each data file the player was told cannot be saved, why
    bool focusCheckPending_ = false;
    bool laidOut_ = false;      // the description's places stand until the start-up lays it out
    bool unseenBuilt_ = false;  // what the title's first frame does not show is built
    qreal pointerRatio_ = 0;    // the device pixel ratio the pointer was drawn for
};
