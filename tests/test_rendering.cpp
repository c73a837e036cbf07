// What the player sees: the fonts the controls get, the pictures they carry, and the title screen
// and colour panel as drawn.

#include "formfixture.h"
#include "window/theme.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QFontInfo>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QTest>

#include <map>

namespace {

bool isDark(QRgb pixel) {
    return qGray(pixel) < 64;
}
bool isWhite(QRgb pixel) {
    return qRed(pixel) > 240 && qGreen(pixel) > 240 && qBlue(pixel) > 240;
}

int countPixels(const QImage& image, const QRect& area, bool (*test)(QRgb)) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) count += test(image.pixel(x, y));
    return count;
}

// The lines drawn across `area` of the image: runs of rows (or of columns, for vertical lines)
// dark all along the area's middle, as (first, width) pairs.
QList<QPoint> linesAcross(const QImage& image, const QRect& area, Qt::Orientation orientation) {
    const bool rows = orientation == Qt::Horizontal;
    const QRect middle = rows ? area.adjusted(area.width() / 8, 0, -area.width() / 8, 0)
                              : area.adjusted(0, area.height() / 8, 0, -area.height() / 8);
    QList<QPoint> lines;
    for (int at = rows ? area.top() : area.left(); at <= (rows ? area.bottom() : area.right());
         ++at) {
        const QRect line = rows ? QRect(middle.left(), at, middle.width(), 1)
                                : QRect(at, middle.top(), 1, middle.height());
        if (countPixels(image, line, isDark) < line.width() * line.height()) continue;
        if (!lines.isEmpty() && lines.last().x() + lines.last().y() == at)
            lines.last().ry() += 1;
        else
            lines << QPoint(at, 1);
    }
    return lines;
}

// A dark desktop palette: light text on dark faces.
QPalette darkPalette() {
    QPalette dark(QColor(53, 53, 53));
    for (const auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        dark.setColor(role, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(35, 35, 35));
    return dark;
}

// The title once the logo has come to rest, and the level dialog, as drawn; with `blankSlider`
// the level slider is painted over.
std::pair<QImage, QImage> titleAndLevelDialog(bool blankSlider = false) {
    StartedForm f;
    for (int tick = 0; tick < 73; ++tick) f.form->Timer1_Timer();
    const QImage title = f.form->grab().toImage();
    f.form->Command1_Click(0);
    QImage dialog = f.form->grab().toImage();
    if (blankSlider)
        QPainter(&dialog).fillRect(
            QRect(f.form->HScroll1->mapTo(f.form.get(), QPoint()), f.form->HScroll1->size()),
            Qt::black);
    return {title, dialog};
}

}  // namespace

class RenderingTest : public QObject {
    Q_OBJECT

  private slots:
    void describedFamiliesResolveToTheStandIns_data() {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("standIn");
        QTest::newRow("ＭＳ Ｐゴシック") << kPGothic << kPGothicStandIn;
        QTest::newRow("Comic Sans MS") << kComicSans << kComicSansStandIn;
    }
    void describedFamiliesResolveToTheStandIns() {
        QFETCH(QString, family);
        QFETCH(QString, standIn);
        FormFixture f;
        const QFont font =
            family == kPGothic ? f.form->Label2->font() : f.form->Command1[0]->font();
        QCOMPARE(QFont::substitute(family).toLower(), standIn.toLower());
        QCOMPARE(QFontInfo(font).family(), standIn);
        QCOMPARE(QFontInfo(describedFont(family, 12)).family(), standIn);
        QVERIFY(QFontInfo(font).bold());
        QVERIFY(missingColourWordGlyphs().isEmpty());
    }

    void picturesAreCarriedAtTheirOwnSize() {
        StartedForm f;
        // The board is painted, pixel for pixel the 352-pixel bitmap it was once stored as.
        QImage board(352, 352, QImage::Format_RGB32);
        f.form->Picture1->render(&board, {}, {}, QWidget::DrawWindowBackground);
        QCOMPARE(QCryptographicHash::hash(
                     QByteArray::fromRawData(reinterpret_cast<const char*>(board.constBits()),
                                             board.sizeInBytes()),
                     QCryptographicHash::Md5)
                     .toHex(),
                 QByteArray("ecdf5de905513730b0c2b6df5b224d00"));
        QCOMPARE(f.form->Picture2->picture().size(), QSize(650, 90));
        QCOMPARE(f.form->Picture3->picture().size(), QSize(360, 120));
        QVERIFY(!f.form->windowIcon().isNull());
        QCOMPARE(f.form->windowIcon().pixmap(48, 48).size(), QSize(48, 48));
        // The lattice arrow is the pointer over the window and the controls that keep no own.
        const QCursor pointer = f.form->cursor();
        QCOMPARE(pointer.shape(), Qt::BitmapCursor);
        QCOMPARE(pointer.hotSpot(), QPoint(15, 15));
        QCOMPARE(pointer.pixmap().size(), QSize(32, 32));
        QCOMPARE(f.form->Label1[5]->cursor().hotSpot(), QPoint(15, 15));
        QCOMPARE(f.form->Command1[0]->cursor().hotSpot(), QPoint(15, 15));
    }

    // Captions keep the pixel size that the described points have at 96 dpi, so that they fit
    // their twips-sized controls whatever resolution the desktop gives its fonts (a second run of
    // this test reports 192 dpi).
    void captionsAreSizedInPixels_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("pixels");
        QTest::newRow("target, 123.75 points") << "Label2" << 165;
        QTest::newRow("menu, 27.75 points") << "Command1" << 37;
        QTest::newRow("cell, 21.75 points") << "Label1" << 29;
        QTest::newRow("name box, 27.75 points") << "Text1" << 37;
        QTest::newRow("colour letter, 14.25 points") << "Label11" << 19;
    }
    void captionsAreSizedInPixels() {
        QFETCH(QString, control);
        QFETCH(int, pixels);
        StartedForm f;
        const Form1& form = *f.form;
        const std::map<QString, const QWidget*> byName{{"Label2", form.Label2},
                                                       {"Command1", form.Command1[0]},
                                                       {"Label1", form.Label1[0]},
                                                       {"Text1", form.Text1},
                                                       {"Label11", form.Label11[0]}};
        QCOMPARE(QFontInfo(byName.at(control)->font()).pixelSize(), pixels);
        const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInch();
        QFont inPoints = byName.at(control)->font();
        inPoints.setPointSizeF(pixels * 72.0 / 96.0);
        QCOMPARE(QFontInfo(inPoints).pixelSize(), qRound(pixels * dpi / 96.0));
        // The default font of the gauge's frame and the panel's buttons is in pixels as well.
        QVERIFY(form.Command2->font().pixelSize() > 0);
        QVERIFY(form.Frame1->font().pixelSize() > 0);
    }

    // The pointer's arrow at the screen's device pixel ratio: twice the pixels from 1.5 on, its
    // tip the hot spot, counted in the unit the desktop takes.
    void pointerAtEveryRatio_data() {
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<bool>("hotSpotInPicturePixels");
        QTest::addColumn<int>("side");
        QTest::addColumn<QPoint>("hotSpot");
        QTest::newRow("1") << 1.0 << false << 32 << QPoint(15, 15);
        QTest::newRow("1 on X11") << 1.0 << true << 32 << QPoint(15, 15);
        QTest::newRow("1.25") << 1.25 << true << 32 << QPoint(15, 15);
        QTest::newRow("2") << 2.0 << false << 64 << QPoint(15, 15);
        QTest::newRow("2 on X11") << 2.0 << true << 64 << QPoint(30, 30);
        QTest::newRow("3 on X11") << 3.0 << true << 64 << QPoint(30, 30);
    }
    void pointerAtEveryRatio() {
        QFETCH(qreal, ratio);
        QFETCH(bool, hotSpotInPicturePixels);
        QFETCH(int, side);
        QFETCH(QPoint, hotSpot);
        const QCursor pointer = gamePointer(ratio, hotSpotInPicturePixels);
        const QPixmap picture = pointer.pixmap();
        QCOMPARE(picture.size(), QSize(side, side));
        QCOMPARE(picture.devicePixelRatio(), side / 32.0);
        QCOMPARE(pointer.hotSpot(), hotSpot);
        // The arrow's tip is the first opaque pixel, black, at the hot spot in picture pixels.
        const QImage image = picture.toImage();
        const int tip = 15 * side / 32;
        QCOMPARE(image.pixel(tip, tip), qRgba(0, 0, 0, 255));
        QCOMPARE(qAlpha(image.pixel(tip - 1, tip - 1)), 0);
        QCOMPARE(qAlpha(image.pixel(tip - 1, tip)), 0);
    }

    void iconAtEverySizeThatShips() {
        const QIcon icon = gameIcon();
        const QList<int> sides{16, 22, 24, 32, 48, 64, 128};
        QCOMPARE(icon.availableSizes().size(), sides.size());
        for (const int side : sides) {
            const QImage rendering = icon.pixmap(side, side).toImage();
            QCOMPARE(rendering.size(), QSize(side, side));
            QCOMPARE(rendering.pixel(0, 0), qRgb(0, 0, 0));  // the black ground, not a scaled edge
        }
        // The window takes it once it is up, not before its first frame.
        FormFixture f;
        QVERIFY(f.form->windowIcon().isNull());
        f.form->Form_Load();
        QCOMPARE(f.form->windowIcon().availableSizes().size(), sides.size());
    }

    // The title and the level dialog look as described whatever the desktop: its palette (the
    // captions keep their colours) and the player's reading direction (nothing is mirrored).
    // Only the level slider takes the desktop's colours.
    void titleAndLevelDialogAsDrawn_data() {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<Qt::LayoutDirection>("direction");
        QTest::newRow("dark desktop palette") << true << Qt::LeftToRight;
        QTest::newRow("right-to-left language") << false << Qt::RightToLeft;
    }
    void titleAndLevelDialogAsDrawn() {
        QFETCH(bool, dark);
        QFETCH(Qt::LayoutDirection, direction);
        const auto [titleAsDescribed, dialogAsDescribed] = titleAndLevelDialog(dark);
        const QPalette desktop = QApplication::palette();
        if (dark) QApplication::setPalette(darkPalette());
        QApplication::setLayoutDirection(direction);
        auto [shot, dialog] = titleAndLevelDialog(dark);
        QApplication::setPalette(desktop);
        QApplication::setLayoutDirection(Qt::LeftToRight);
        QCOMPARE(shot.size(), QSize(1024, 768));
        // The board: a dark edge at its outline, white inside; black window around it.
        QVERIFY(isDark(shot.pixel(337, 380)));
        QVERIFY(isWhite(shot.pixel(352, 224)));
        QVERIFY(isDark(shot.pixel(330, 380)));
        // Four white buttons stacked on it, with dark captions.
        for (int i = 0; i < 4; ++i) {
            const QRect button(352 + 20, 224 + 80 * i + 10, 280, 60);
            QVERIFY(countPixels(shot, button, isWhite) > button.width() * button.height() / 2);
            QVERIFY(countPixels(shot, button, isDark) > 50);
        }
        // The logo has come to rest above the board.
        QVERIFY(countPixels(shot, QRect(185, 63, 650, 83), isWhite) > 10000);
        QVERIFY(countPixels(shot, QRect(185, 150, 650, 50), isDark) == 650 * 50);
        QVERIFY(shot == titleAsDescribed);
        QVERIFY(dialog == dialogAsDescribed);
    }
    // At every scale the level dialog's boxes and the board's cells have four whole lines, those
    // between cells all of one width and those round them too, and the dialog's captions stand
    // inside their boxes, clear of the lines.
    void boxesAreWholeAtEveryScale_data() {
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<bool>("playing");
        QTest::newRow("level dialog at 1") << 1.0 << false;
        QTest::newRow("level dialog at 1.5") << 1.5 << false;
        QTest::newRow("level dialog at 2") << 2.0 << false;
        QTest::newRow("board at 1.25") << 1.25 << true;
        QTest::newRow("board at 1.5") << 1.5 << true;
        QTest::newRow("board at 2") << 2.0 << true;
    }
    void boxesAreWholeAtEveryScale() {
        QFETCH(qreal, ratio);
        QFETCH(bool, playing);
        StartedForm f;
        QList<QRect> boxes;
        if (playing) {
            startGame(*f.form, 3);
            QRect grid;
            for (const Label* cell : f.form->Label1)
                if (cell->visible()) grid |= cell->geometry();
            boxes << grid;
        } else {
            f.form->Command1_Click(0);
            for (const Label* box : f.form->Label4) boxes << box->geometry();
        }
        QPixmap canvas(f.form->Picture1->size() * ratio);
        canvas.setDevicePixelRatio(ratio);
        f.form->Picture1->render(&canvas);
        const QImage shot = canvas.toImage();
        for (const QRect& box : boxes) {
            const QRect area = QRectF(QPointF(box.topLeft()) * ratio, QSizeF(box.size()) * ratio)
                                   .toAlignedRect()
                                   .adjusted(-1, -1, 1, 1);
            const QList<QPoint> rows = linesAcross(shot, area, Qt::Horizontal);
            const QList<QPoint> columns = linesAcross(shot, area, Qt::Vertical);
            for (const QList<QPoint>& lines : {rows, columns}) {
                QCOMPARE(lines.size(), playing ? 5 : 2);  // a level-3 grid: 4 cells a side
                QCOMPARE(lines.last().y(), lines.first().y());
                for (const QPoint& inner : lines.mid(1, lines.size() - 2))
                    QCOMPARE(inner.y(), lines[1].y());
            }
            if (playing) continue;
            const QRect inside(QPoint(columns[0].x() + columns[0].y(), rows[0].x() + rows[0].y()),
                               QPoint(columns[1].x() - 1, rows[1].x() - 1));
            QVERIFY(countPixels(shot, inside, isDark) > 50);
            for (const int y : {inside.top(), inside.bottom()})  // the letters touch no line
                QCOMPARE(countPixels(shot, QRect(inside.left(), y, inside.width(), 1), isDark), 0);
        }
    }

    void colourPanelShowsEveryPreview() {
        StartedForm f;
        f.form->Command1_Click(2);
        const QImage shot = f.form->grab().toImage();
        // Each preview word is drawn in its colour on white; the black one too.
        for (int k = 0; k < 7; ++k) {
            const QRect preview =
                f.form->Label10[k]->geometry().translated(f.form->Frame2->geometry().topLeft());
            int coloured = 0;
            const QColor expected = colourFromValue(f.form->colourValues[k]);
            for (int y = preview.top(); y <= preview.bottom(); ++y)
                for (int x = preview.left(); x <= preview.right(); ++x)
                    coloured += QColor(shot.pixel(x, y)) == expected;
            QVERIFY2(coloured > 300, qPrintable(QStringLiteral("preview %1").arg(k)));
        }
        // Each slider's arrows stand out from their light buttons, as on the desktop's own.
        for (const ScrollBar* slider : f.form->VScroll1) {
            const int extent = slider->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
            const QRect arrow(slider->mapTo(f.form.get(), QPoint(slider->width() / 4, 2)),
                              QSize(slider->width() / 2, extent - 4));
            QVERIFY(countPixels(shot, arrow, [](QRgb pixel) { return qGray(pixel) < 128; }) > 0);
        }
        // The slider with the focus shows it with a frame, as the buttons do; the others do not.
        ScrollBar* first = f.form->VScroll1[0];
        f.form->show();
        QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
        first->setFocus();
        const QImage focused = first->grab().toImage();
        f.form->VScroll1[1]->setFocus();
        const QImage unfocused = first->grab().toImage();
        const QRect frameSide(1, first->height() / 2, 1, first->height() / 4);
        QVERIFY(countPixels(focused, frameSide, isDark) -
                    countPixels(unfocused, frameSide, isDark) >
                frameSide.height() / 4);
    }
};

QTEST_MAIN(RenderingTest)
#include "test_rendering.moc"
