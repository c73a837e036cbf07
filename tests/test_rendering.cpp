// What the player sees: the fonts the controls get, the pictures they carry, and the title screen
// and colour panel as drawn.

#include "formfixture.h"
#include "window/theme.h"

#include <QFontInfo>
#include <QTest>

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
            family == kPGothic ? f.form->Label1[0]->font() : f.form->Command1[0]->font();
        QCOMPARE(QFont::substitute(family).toLower(), standIn.toLower());
        QCOMPARE(QFontInfo(font).family(), standIn);
        QCOMPARE(QFontInfo(describedFont(family, 12)).family(), standIn);
        QVERIFY(QFontInfo(font).bold());
        QVERIFY(missingColourWordGlyphs().isEmpty());
    }

    void picturesAreCarriedAtTheirOwnSize() {
        FormFixture f;
        QCOMPARE(f.form->Picture1->picture().size(), QSize(352, 352));
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

    void titleScreenAsDrawn() {
        FormFixture f;
        f.form->Form_Load();
        for (int tick = 0; tick < 73; ++tick) f.form->Timer1_Timer();
        const QImage shot = f.form->grab().toImage();
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
    }

    void colourPanelShowsEveryPreview() {
        FormFixture f;
        f.form->Form_Load();
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
    }
};

QTEST_MAIN(RenderingTest)
#include "test_rendering.moc"
