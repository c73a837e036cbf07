// Start-up and the title reset: the one routine that puts the window into its title state; and
// placing every control again when the window's size changes.

#include "game/layout.h"
#include "game/modes.h"
#include "window/form1.h"
#include "window/layout.h"
#include "window/theme.h"
#include "window/warningbox.h"

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
    if (fullStart)
        startUp();
    else
        showTitle();
    // The best results, then the colours.
    loadHighScores();
    showHighScores();
    loadPalette();
    showPalette();
    deriveColourValues();
}

// The start up to the data files, each step on what the one before made ready: the title laid
// out on the screen and in the window's first frame; what that frame does not show, built once it
// is there; a descriptor kept for warning boxes before any file is opened.
void Form1::startUp() {
    for (int i = 0; i < kColourCount; ++i) colourNames[i] = QString(QChar(kColourWords[i]));
    setGeometry(seams_.screenGeometry());
    placeControls(currentLayout());
    laidOut_ = true;
    showTitle();
    seams_.showWindow(this);
    buildUnseenControls();
    placeUnseenControls(currentLayout());
    keepADescriptorForBoxes();
}

// The title state. The logo and the gauge's marker go back to where the layout starts them; the
// best results and the cells, where they are built, are hidden.
void Form1::showTitle() {
    const WindowLayout layout = currentLayout();
    timeLeft = kGameTimeUnits;
    enterMode(Mode::Load);
    if (unseenBuilt_) {
        for (int i = 0; i < kLevelCount; ++i) {
            Label7[i]->setVisible(false);
            Label8[i]->setVisible(false);
            Label9[i]->setVisible(false);
        }
        for (auto* cell : Label1) cell->setVisible(false);
    }
    placeAt(Picture2, layout.picture2);
    Picture2->setVisible(true);
    Frame1->setVisible(false);
    for (auto* button : Command1) button->setVisible(true);
    Label2->setBackStyle(BackStyle::Transparent);
    Label2->setForeColor(kWhite);
    Label2->setVisible(false);
    Label6->setVisible(false);
    placeAt(Shape1, layout.shape1);
    Picture3->setVisible(false);
    Label3->setVisible(false);
}

WindowLayout Form1::currentLayout() const {
    return layoutWindow(pixelsToTwips(QWidget::width()), pixelsToTwips(QWidget::height()));
}

// Where the layout puts each control that moves with the window's size; nothing else changes.
void Form1::placeControls(const WindowLayout& layout) {
    placeAt(Picture1, layout.picture1);
    if (unseenBuilt_) placeUnseenControls(layout);
    for (int i = 0; i < 3; ++i) placeAt(Label4[i], layout.label4[i]);
    placeAt(HScroll1, layout.hScroll1);
    placeAt(Picture3, layout.picture3);
    for (int i = 0; i < 4; ++i) placeAt(Command1[i], layout.command1[i]);
    placeAt(Label2, layout.label2);
    placeAt(Frame2, layout.frame2);
    placeAt(Label3, layout.label3);
    placeAt(Frame1, layout.frame1);
    Line1->setPoints(layout.line1.x1, layout.line1.y1, layout.line1.x2, layout.line1.y2);
    placeAt(Label6, layout.label6);
}

// The places of what the title's first frame does not show: the name entry, the cells' size and
// the rows of the best results.
void Form1::placeUnseenControls(const WindowLayout& layout) {
    placeAt(Text1, layout.text1);
    placeAt(Text2, layout.text2);
    placeAt(nameNotice, layout.nameNotice);
    for (auto* cell : Label1) cell->place(cell->left(), cell->top(), kCellSize, kCellSize);
    for (int i = 0; i < kLevelCount; ++i) {
        placeAt(Label7[i], layout.label7[i]);
        placeAt(Label8[i], layout.label8[i]);
        placeAt(Label9[i], layout.label9[i]);
    }
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
