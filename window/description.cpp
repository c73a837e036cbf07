// The window as it is described: every control with its container, caption, colours, font,
// border, alignment, first visibility, stacking and design-time place. Start-up then lays the
// moving parts out from the screen size.
//
// Beware: a place marked "laid out" below is the description's only. Form_Load lays the control
// out from the screen (Form1::startUp, window/layout.cpp) before the window first shows, so
// the player never sees it; changing it changes nothing. A place not so marked (the colour
// panel's contents, Label5) is the one the player sees.

#include "scores/highscores.h"
#include "window/form1.h"
#include "window/theme.h"

#include <QApplication>

#include <algorithm>
#include <vector>

namespace {

struct LabelLook {
    QString caption;
    qint32 left, top, width, height;
    BackStyle backStyle;
    qint32 back, fore;
    QFont font;
    Border border = Border::None;
    Align align = Align::Left;
    bool visible = true;
};

Label* makeLabel(QWidget* container, const LabelLook& look) {
    auto* label = new Label(container, look.back, look.fore);
    label->place(look.left, look.top, look.width, look.height);
    label->setCaption(look.caption);
    label->setBackStyle(look.backStyle);
    label->setFont(look.font);
    label->setBorder(look.border);
    label->setAlignment(look.align);
    label->setVisible(look.visible);
    return label;
}

CommandButton* makeButton(QWidget* container, const QString& caption, qint32 left, qint32 top,
                          qint32 width, qint32 height, const QFont& font) {
    auto* button = new CommandButton(container, caption);
    button->place(left, top, width, height);
    button->setBackColor(kWhite);
    button->setFont(font);
    return button;
}

// The colour panel's seven columns: the Left of each colour's red, green and blue slider, and of
// the value labels under them.
constexpr std::array<std::array<qint32, 3>, kColourCount> kSliderLefts{{{240, 630, 1020},
                                                                        {1770, 2160, 2550},
                                                                        {3285, 3675, 4065},
                                                                        {4860, 5250, 5640},
                                                                        {6360, 6750, 7140},
                                                                        {7890, 8280, 8670},
                                                                        {9360, 9750, 10140}}};
constexpr std::array<std::array<qint32, 3>, kColourCount> kValueLefts{{{240, 630, 1020},
                                                                       {1770, 2175, 2595},
                                                                       {3285, 3690, 4110},
                                                                       {4860, 5265, 5685},
                                                                       {6360, 6765, 7185},
                                                                       {7890, 8295, 8715},
                                                                       {9360, 9765, 10185}}};
constexpr std::array kPreviewLefts{120, 1635, 3150, 4665, 6180, 7695, 9210};
// Every column of the panel is described: a colour more or less needs a column more or less.
static_assert(kPreviewLefts.size() == kColourCount);
constexpr bool everyColumnDescribed(const std::array<std::array<qint32, 3>, kColourCount>& lefts) {
    for (const auto& column : lefts)
        if (column[0] == 0) return false;
    return true;
}
static_assert(everyColumnDescribed(kSliderLefts) && everyColumnDescribed(kValueLefts));
// Windowed controls lie in front of the labels, the shape and the line of their container; within
// each layer, a control described earlier lies in front of one described later.
void stackFrontToBack(std::vector<QWidget*> order) {
    auto drawnOnContainer = [](QWidget* w) {
        return dynamic_cast<Label*>(w) || dynamic_cast<Shape*>(w) || dynamic_cast<Line*>(w);
    };
    std::stable_partition(order.begin(), order.end(),
                          [&](QWidget* w) { return !drawnOnContainer(w); });
    for (auto it = order.rbegin(); it != order.rend(); ++it) (*it)->raise();
}

}  // namespace

Form1::Form1(Form1Seams seams) : QWidget(nullptr), seams_(std::move(seams)) {
    registerFontStandIns();
    describeControlsToScreenReaders();
    readChildrenInScreenOrder(this);
    // The name a desktop shows for the window: its title, its icon's name, and its class (X11's
    // WM_CLASS, taken from the application's name when the window is first shown).
    setWindowTitle(kGameName);
    setWindowIconText(kGameName);
    QCoreApplication::setApplicationName(kGameName);
    // The screen is laid out as described whatever the player's language; Qt's own texts (the
    // name box's menu, the warning box) still read in the language's direction.
    setLayoutDirection(Qt::LeftToRight);
    setBackAndForeColours(this, kBlack, kBlack);
    setAutoFillBackground(true);
    resize(twipsToPixels(3795), twipsToPixels(3750));

    buildWindowControls();
    buildBoardControls();
    buildGaugeControls();
    stackControls();
    wireEvents();
    followScreens();
    qApp->installEventFilter(this);
}

Form1::~Form1() {
    qApp->removeEventFilter(this);
    waitForWorkLeftBehind();
}

void Form1::buildWindowControls() {
    const QFont defaultFont = ::defaultFont();
    takePointerForScreen();

    Picture3 = new PictureBox(this, QStringLiteral(":/assets/gameover.bmp"), kWindowBackground);
    Picture3->place(120, 15, 255, 780);  // laid out

    Frame2 = new Frame(this, QStringLiteral("Option"), kBlack, kWhite);
    Frame2->place(1020, 120, 1020, 375);  // laid out
    Frame2->setFont(describedFont(kPGothic, 15.75));
    Frame2->setVisible(false);

    Picture2 = new PictureBox(this, QStringLiteral(":/assets/logo.bmp"), kButtonFace);
    Picture2->setAccessibleName(kGameName);  // the logo shows the game's name
    Picture2->place(1020, 510, 840, 435);    // laid out

    Picture1 = new PictureBox(this, paintBoard, kButtonFace);
    Picture1->place(1920, 90, 1770, 3555);  // laid out

    Frame1 = new Frame(this, QStringLiteral("Time"), kBlack, kWhite);
    Frame1->place(90, 120, 945, 615);  // laid out
    Frame1->setFont(defaultFont);

    const QFont gothic = describedFont(kPGothic, 15.75);
    // Label6 and Label2 laid out; Label5 stays where it is described.
    Label6 = makeLabel(this, {QStringLiteral("label6"), 1410, 1515, 390, 375,
                              BackStyle::Transparent, kWindowBackground, kWhite, gothic});
    Label5 = makeLabel(this, {QStringLiteral("What's Level?"), 3390, 1215, 405, 360,
                              BackStyle::Transparent, kWindowBackground, kWindowText,
                              describedFont(kPGothic, 26.25), Border::Single, Align::Centre});
    Label5->setHeardByScreenReaders(false);  // drawn black on black: not meant to be read
    Label2 =
        makeLabel(this, {QString(), 1020, 960, 360, 885, BackStyle::Opaque, kWhite, kWindowText,
                         describedFont(kPGothic, 123.75, true), Border::Single, Align::Centre});
}

// What the title's first frame does not show is built once that frame is on the screen, hidden:
// the rows of the best results and the cells, the name entry, the colour panel's contents and
// the window icon, whose pictures and large property would otherwise hold the frame back.
void Form1::buildUnseenControls() {
    buildScoreRows(currentLayout());
    buildCells();
    stackBoard();
    wireBoardEvents();
    buildNameEntry();
    buildPanelControls();
    wirePanelEvents();
    setWindowIcon(gameIcon());
    unseenBuilt_ = true;
}

// The score rows: every place here is laid out; the captions of the level column and the colours
// are the layout's.
void Form1::buildScoreRows(const WindowLayout& layout) {
    const QFont rowFont = describedFont(kPGothic, 18);
    const QFont nameFont = describedFont(kPGothic, 18, true);
    for (int i = 0; i < kLevelCount; ++i) {
        Label9[i] =
            makeLabel(Picture1, {QStringLiteral("0"), 0, 0, 1515, 555, BackStyle::Transparent,
                                 kWindowBackground, layout.recordColour[i], rowFont, Border::None,
                                 Align::Right, false});
        if (i == 0) Label9[i]->place(4350, 990, 600, 555);
        if (i == 7) Label9[i]->place(-60, -120, 1515, 330);
        Label8[i] =
            makeLabel(Picture1, {i == 0 ? QString() : QStringLiteral("名無しさん"), 0, 0, 1350, 495,
                                 BackStyle::Transparent, kWindowBackground, layout.recordColour[i],
                                 nameFont, Border::None, Align::Centre, false});
        if (i == 0) Label8[i]->place(2100, 555, 2480, 360);
        Label8[i]->setElidesLongCaption(true);  // a long name is cut with "…", whole on hover
        Label7[i] =
            makeLabel(Picture1, {layout.label7Caption[i], 0, 0, 1125, 540, BackStyle::Transparent,
                                 kWindowBackground, layout.rowColour[i], rowFont, Border::None,
                                 Align::Left, false});
        if (i == 0) Label7[i]->place(2115, 390, 1000, 540);
    }
}

// The cells: sized by the layout and placed by Haiti when a board is dealt; hidden until then.
void Form1::buildCells() {
    const QFont cellFont = describedFont(kPGothic, 21.75, true);
    for (int i = 0; i < kCellCount; ++i) {
        Label1[i] =
            makeLabel(Picture1, {QStringLiteral("赤"), 0, 0, 480, 480, BackStyle::Transparent,
                                 kWindowBackground, i == kCellCount - 2 ? kBlack : kWindowText,
                                 cellFont, Border::Single, Align::Centre, false});
    }
    Label1[0]->place(0, 90);
    Label1[kCellCount - 2]->place(60, 75);
    Label1[kCellCount - 1]->place(150, 240);
}

void Form1::buildNameEntry() {
    Text1 = new TextBox(this, QStringLiteral("No Name"), describedFont(kPGothic, 27.75));
    Text1->place(-45, 1200, 1035, 645);  // laid out
    Text1->setColours(kWindowBackground, kWindowText);
    Text1->setAlignment(Qt::AlignCenter);
    // A name keeps every letter the player sees, and the player is told of any kept out.
    Text1->takeOnly(
        takenInName, kEnteredNameMaxChars,
        [this](const QStringList& letters, bool full) { nameLettersRefused(letters, full); });

    // The prompt is only read: it is disabled, so it takes neither focus nor typing.
    Text2 = new TextBox(this, QStringLiteral("You entered HighScore.Type your name."),
                        describedFont(kPGothic, 15.75));
    Text2->place(-15, 810, 1065, 405);  // laid out
    Text2->setColours(kWindowBackground, kWindowText);
    Text2->setAlignment(Qt::AlignCenter);
    Text2->setEnabled(false);
    Text1->setAccessibleName(Text2->text());  // a screen reader names the name box by its prompt
    nameNotice = makeLabel(
        this, {QString(), -45, 1845, 1035, 450, BackStyle::Transparent, kWindowBackground, kWhite,
               describedFont(kPGothic, 15.75), Border::None, Align::Centre, false});  // laid out

    // In front of the logo, behind the colour panel; hidden until a best result asks for a name.
    for (QWidget* control : std::initializer_list<QWidget*>{nameNotice, Text2, Text1}) {
        control->stackUnder(Frame2);
        control->setVisible(false);
    }
}

void Form1::buildPanelControls() {
    const QFont defaultFont = ::defaultFont();
    Command4 = makeButton(Frame2, QStringLiteral("Cansel"), 7485, 6795, 2970, 285, defaultFont);
    Command3 = makeButton(Frame2, QStringLiteral("&OK"), 3360, 6735, 4035, 420, defaultFont);
    Command3->setDefault(true);
    Command2 = makeButton(Frame2, QStringLiteral("Default"), 255, 6810, 2970, 285, defaultFont);

    for (int i = 0; i < kSliderCount; ++i) {
        VScroll1[i] = new ScrollBar(Frame2, Qt::Vertical, 0, 255, i % 3 == 0 ? 0 : 255);
        VScroll1[i]->place(kSliderLefts[i / 3][i % 3], 2610, 390, 3810);
        // What it sets: its colour's word and its letter ("赤 R"); it shows the component.
        VScroll1[i]->setAccessibleName(QString(QChar(kColourWords[i / 3])) + QLatin1Char(' ') +
                                       QLatin1Char("RGB"[i % 3]));
        VScroll1[i]->shownValue = componentOfSlider;
    }
    // Each letter stands over the slider at its place: the middle slider of a colour is green,
    // though its letter is the colour's third label.
    const QFont letterFont = describedFont(kPGothic, 14.25, true);
    for (int k = 0; k < kColourCount; ++k) {
        const qint32 top = (k == 1 || k == 2) ? 2265 : 2250;
        const struct {
            int index;
            const char* letter;
            qint32 colour;
            int column;
        } letters[3] = {{3 * k, "R", 0x0000FF, 0},
                        {3 * k + 1, "B", 0xFF0000, 2},
                        {3 * k + 2, "G", 0x00FF00, 1}};
        for (const auto& letter : letters)
            Label11[letter.index] =
                makeLabel(Frame2, {QString::fromLatin1(letter.letter),
                                   kSliderLefts[k][letter.column], top, 390, 360, BackStyle::Opaque,
                                   kWhite, letter.colour, letterFont, Border::None, Align::Centre});
    }
    const QFont previewFont = describedFont(kPGothic, 72, true);
    const std::array<qint32, kColourCount> defaultColours = colourValuesOf(defaultPalette());
    for (int k = 0; k < kColourCount; ++k)
        Label10[k] =
            makeLabel(Frame2, {QString(QChar(kColourWords[k])), kPreviewLefts[k], 495, 1500, 1500,
                               BackStyle::Opaque, kWhite, defaultColours[k], previewFont});
    for (int i = 0; i < kSliderCount; ++i)
        Label12[i] = makeLabel(Frame2, {QStringLiteral("255"), kValueLefts[i / 3][i % 3], 6420, 390,
                                        225, BackStyle::Transparent, kWindowBackground, kWhite,
                                        defaultFont, Border::None, Align::Centre});

    std::vector<QWidget*> panel{Command4, Command3, Command2};
    panel.insert(panel.end(), VScroll1.begin(), VScroll1.end());
    panel.insert(panel.end(), Label11.begin(), Label11.end());
    panel.insert(panel.end(), Label10.begin(), Label10.end());
    panel.insert(panel.end(), Label12.begin(), Label12.end());
    stackFrontToBack(panel);
}

void Form1::buildBoardControls() {
    HScroll1 = new ScrollBar(Picture1, Qt::Horizontal, kMinLevel, kMaxLevel, 3);
    HScroll1->place(120, 2160, 1455, 375);  // laid out
    HScroll1->setVisible(false);
    HScroll1->setAccessibleName(QStringLiteral("Level"));

    const QFont menuFont = describedFont(kComicSans, 27.75, true);
    const std::array<QString, 4> menu{QStringLiteral("Game Start"), QStringLiteral("High Score"),
                                      QStringLiteral("ColorOption"), QStringLiteral("End")};
    const std::array<std::array<qint32, 4>, 4> menuPlaces{
        {{720, 960, 225, 720}, {975, 960, 270, 720}, {1200, 960, 225, 720}, {1440, 960, 225, 720}}};
    for (int i = 0; i < 4; ++i)  // laid out
        Command1[i] = makeButton(Picture1, menu[i], menuPlaces[i][0], menuPlaces[i][1],
                                 menuPlaces[i][2], menuPlaces[i][3], menuFont);

    const QFont dialogFont = describedFont(kPGothic, 26.25);
    const std::array<LabelLook, 3> dialog{{
        {QStringLiteral("What's Level?"), 120, 1680, 1515, 495, BackStyle::Transparent,
         kWindowBackground, kWindowText, dialogFont, Border::Single, Align::Centre, false},
        {QStringLiteral("OK"), 120, 2520, 1095, 495, BackStyle::Transparent, kWindowBackground,
         kWindowText, dialogFont, Border::Single, Align::Centre, false},
        {QStringLiteral("3"), 150, 3015, 660, 495, BackStyle::Transparent, kWindowBackground,
         kWindowText, dialogFont, Border::Single, Align::Centre, false},
    }};
    for (int i = 0; i < 3; ++i) Label4[i] = makeLabel(Picture1, dialog[i]);  // laid out

    Label3 = makeLabel(  // laid out
        Picture1, {QStringLiteral("Bad"), 120, 720, 630, 885, BackStyle::Opaque, kWindowBackground,
                   kWindowText, describedFont(kPGothic, 48), Border::Single, Align::Centre, false});
}

void Form1::buildGaugeControls() {
    Shape1 = new Shape(Frame1);
    Shape1->place(300, 500, 400, 400);  // laid out
    Shape1->setColours(kWhite, kWindowText);
    Line1 = new Line(Frame1);
    Line1->setPoints(525, 255, 405, 5595);  // laid out
    Line1->setBorderColor(kWhite);
}

// The name entry (Text1, Text2) stands between Frame2 and Picture2 once it is built; the panel's
// contents are stacked as they are built, the board's once its rows and cells are (stackBoard).
void Form1::stackControls() {
    stackFrontToBack({Picture3, Frame2, Picture2, Picture1, Frame1, Label6, Label5, Label2});
    stackFrontToBack({Shape1, Line1});
}

void Form1::stackBoard() {
    std::vector<QWidget*> board{HScroll1};
    board.insert(board.end(), Command1.begin(), Command1.end());
    for (const auto* row : {&Label9, &Label8, &Label7})
        board.insert(board.end(), row->begin(), row->end());
    board.insert(board.end(), Label4.begin(), Label4.end());
    board.push_back(Label3);
    board.insert(board.end(), Label1.begin(), Label1.end());
    stackFrontToBack(board);
}
