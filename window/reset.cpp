// Start-up and the title reset: the one routine that puts the window into its title state.

#include "game/layout.h"
#include "game/modes.h"
#include "window/form1.h"
#include "window/layout.h"

namespace {

constexpr int kTitleTickMs = 20;
const QString kColourWordsInOrder = QStringLiteral("黒青緑赤紫黄灰");

void placeAt(Placement* control, const TwipRect& r) {
    control->place(r.left, r.top, r.width, r.height);
}

}  // namespace

void Form1::Form_Load() {
    Reset(true);
}

void Form1::Reset(bool fullStart) {
    if (fullStart) {
        for (int i = 0; i < kColourCount; ++i) colourNames[i] = kColourWordsInOrder.mid(i, 1);
        layOutWindow();
    }

    // The title state. The logo and the gauge's marker go back to where the layout starts them.
    const WindowLayout layout =
        layoutWindow(pixelsToTwips(QWidget::width()), pixelsToTwips(QWidget::height()));
    timeLeft = kGameTimeUnits;
    mode = Mode::Load;
    Timer1.setInterval(kTitleTickMs);
    Timer1.setEnabled(true);
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
    Label2->setForeColor(0xFFFFFF);
    Label2->setVisible(false);
    for (auto* cell : Label1) cell->setVisible(false);
    Label6->setVisible(false);
    placeAt(Shape1, layout.shape1);
    Picture3->setVisible(false);
    Label3->setVisible(false);

    // The window is up on its screen before a warning box about the files can show over it.
    if (fullStart) seams_.showWindow(this);

    // The best results, then the colours.
    loadHighScores();
    showHighScores();
    loadPalette();
    showPalette();
    deriveColourValues();
}

// Covers the screen and places every control that moves with the screen size.
void Form1::layOutWindow() {
    const QSize screen = seams_.screenSize();
    setGeometry(0, 0, twipsToPixels(screen.width()), twipsToPixels(screen.height()));
    const WindowLayout layout =
        layoutWindow(pixelsToTwips(QWidget::width()), pixelsToTwips(QWidget::height()));

    placeAt(Picture1, layout.picture1);
    placeAt(Text1, layout.text1);
    Text1->setVisible(false);
    placeAt(Text2, layout.text2);
    Text2->setVisible(false);
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
        Label7[i]->setCaption(layout.label7Caption[i]);
        Label7[i]->setForeColor(layout.rowColour[i]);
        placeAt(Label8[i], layout.label8[i]);
        Label8[i]->setForeColor(layout.recordColour[i]);
        Label8[i]->setVisible(false);
        placeAt(Label9[i], layout.label9[i]);
        Label9[i]->setForeColor(layout.recordColour[i]);
        Label9[i]->setVisible(false);
    }
    placeAt(Label6, layout.label6);
}
