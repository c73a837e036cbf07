// Start-up and the title reset: the one routine that puts the window into its title state; and
// placing every control again when the window's size changes.

#include "game/layout.h"
#include "game/modes.h"
#include "window/form1.h"
#include "window/layout.h"
#include "window/theme.h"

#include <QResizeEvent>

namespace {

void placeAt(Placement* control, const TwipRect& r) {
    control->place(r.left, r.top, r.width, r.height);
}

}  // namespace

void Form1::Form_Load() {
    Reset(true);
    warnOfMissingFonts();  // once the window is up, so that the check holds no frame back
}

void Form1::Reset(bool fullStart) {
    if (fullStart) {
        for (int i = 0; i < kColourCount; ++i) colourNames[i] = QString(QChar(kColourWords[i]));
        coverScreen();
    }

    // The title state. The logo and the gauge's marker go back to where the layout starts them.
    const WindowLayout layout = currentLayout();
    timeLeft = kGameTimeUnits;
    enterMode(Mode::Load);
    for (int i = 0; i < kLevelCount; ++i) {
        Label7[i]->setVisible(false);
        Label8[i]->setVisible(false);
        Label9[i]->setVisible(false);
    }
    placeAt(Picture2, layout.picture2);
    Picture2->setVisible(true);
    Frame1->setVisible(false);
    for (auto* button : Command1) button->setVisible(true);
    Label2->setBackStyle(BackStyle::Transparent);
    Label2->setForeColor(kWhite);
    Label2->setVisible(false);
    for (auto* cell : Label1) cell->setVisible(false);
    Label6->setVisible(false);
    placeAt(Shape1, layout.shape1);
    Picture3->setVisible(false);
    Label3->setVisible(false);

    // The window is up on its screen before a warning box about the files can show over it; what
    // the first frame does not show is built once it is there.
    if (fullStart) {
        seams_.showWindow(this);
        buildUnseenControls();
        placeNameEntry(currentLayout());
    }

    // The best results, then the colours.
    loadHighScores();
    showHighScores();
    loadPalette();
    showPalette();
    deriveColourValues();
}

// Covers the screen the window starts on, places every control that moves with the window's
// size, and gives the score rows their captions and colours; the rows' records start hidden.
void Form1::coverScreen() {
    setGeometry(seams_.screenGeometry());
    const WindowLayout layout = currentLayout();
    placeControls(layout);
    laidOut_ = true;
    for (int i = 0; i < kLevelCount; ++i) {
        Label7[i]->setCaption(layout.label7Caption[i]);
        Label7[i]->setForeColor(layout.rowColour[i]);
        Label8[i]->setForeColor(layout.recordColour[i]);
        Label8[i]->setVisible(false);
        Label9[i]->setForeColor(layout.recordColour[i]);
        Label9[i]->setVisible(false);
    }
}

WindowLayout Form1::currentLayout() const {
    return layoutWindow(pixelsToTwips(QWidget::width()), pixelsToTwips(QWidget::height()));
}

// Where the layout puts each control that moves with the window's size; nothing else changes.
void Form1::placeControls(const WindowLayout& layout) {
    placeAt(Picture1, layout.picture1);
    if (Text1) placeNameEntry(layout);
    for (int i = 0; i < 3; ++i) placeAt(Label4[i], layout.label4[i]);
    placeAt(HScroll1, layout.hScroll1);
    placeAt(Picture3, layout.picture3);
    for (int i = 0; i < 4; ++i) placeAt(Command1[i], layout.command1[i]);
    placeAt(Label2, layout.label2);
    for (auto* cell : Label1) cell->place(cell->left(), cell->top(), kCellSize, kCellSize);
    placeAt(Frame2, layout.frame2);
    placeAt(Label3, layout.label3);
    placeAt(Frame1, layout.frame1);
    Line1->setPoints(layout.line1.x1, layout.line1.y1, layout.line1.x2, layout.line1.y2);
    for (int i = 0; i < kLevelCount; ++i) {
        placeAt(Label7[i], layout.label7[i]);
        placeAt(Label8[i], layout.label8[i]);
        placeAt(Label9[i], layout.label9[i]);
    }
    placeAt(Label6, layout.label6);
}

void Form1::placeNameEntry(const WindowLayout& layout) {
    placeAt(Text1, layout.text1);
    placeAt(Text2, layout.text2);
}

// The pointer is drawn for the pixel ratio of the screen the window is on, again only when that
// ratio changes.
void Form1::takePointerForScreen() {
    const qreal ratio = devicePixelRatioF();
    if (ratio == pointerRatio_) return;
    pointerRatio_ = ratio;
    setCursor(gamePointer(ratio, hotSpotInPicturePixels()));
}

// A new screen size (another mode, another monitor) lays the window out again wherever the game
// is; the title logo follows the board to its new resting place, and the pointer takes the pixel
// ratio of the screen the window is now on.
void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    takePointerForScreen();
    if (!laidOut_) return;
    const qint32 oldBoardTop = Picture1->top();
    const WindowLayout layout = currentLayout();
    placeControls(layout);
    Picture2->place(layout.picture2.left,
                    titleLogoTopAfterMove(Picture2->top(), oldBoardTop, layout.picture1.top));
}
