// The control kinds the window is built from: twips, colours, captions, clicks that stay with the
// control that takes them, and slider events. (The timer's test is tests/test_timer.cpp.)

#include "window/controls.h"
#include "window/twips.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QSignalSpy>
#include <QTest>

#include <memory>

class ControlsTest : public QObject {
    Q_OBJECT

  private slots:
    void twipsBecomeTheNearestPixel_data() {
        QTest::addColumn<int>("twips");
        QTest::addColumn<int>("pixels");
        QTest::newRow("board") << 5280 << 352;
        QTest::newRow("game-over left on 1024 px") << 4972 << 331;
        QTest::newRow("more than half a pixel rounds up") << 7 * 15 + 8 << 8;
        QTest::newRow("logo above the window") << -1245 << -83;
        QTest::newRow("zero") << 0 << 0;
    }
    void twipsBecomeTheNearestPixel() {
        QFETCH(int, twips);
        QFETCH(int, pixels);
        QCOMPARE(twipsToPixels(twips), pixels);
    }

    void placesReadBackExactly() {
        QWidget window;
        Label label(&window, 0xFFFFFF, 0);
        label.place(4972, -1245, 5415, 1800);
        QCOMPARE(label.left(), 4972);
        QCOMPARE(label.top(), -1245);
        QCOMPARE(label.twipsWidth(), 5415);
        QCOMPARE(label.geometry(), QRect(331, -83, 361, 120));
        label.setTop(label.top() + 30);
        QCOMPARE(label.top(), -1215);
    }

    void colourValuesAreRedGreenBlueFromTheLowByte() {
        QCOMPARE(colourFromValue(0x0000FF), QColor(255, 0, 0));
        QCOMPARE(colourFromValue(0xC08040), QColor(0x40, 0x80, 0xC0));
    }

    void captionsShowUpToTheirFirstNul_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("shown");
        QTest::newRow("name padded with spaces") << QStringLiteral("No Name   ") << "No Name";
        QTest::newRow("cleared name") << QString(54, QChar(0)) << "";
        QTest::newRow("short file's name")
            << QStringLiteral("Ab") + QString(3, QChar(0)) + QStringLiteral("cd") << "Ab";
        QTest::newRow("leading spaces stay") << QStringLiteral("  x ") << "  x";
    }
    void captionsShowUpToTheirFirstNul() {
        QFETCH(QString, caption);
        QFETCH(QString, shown);
        QWidget window;
        Label label(&window, 0xFFFFFF, 0);
        label.setCaption(caption);
        QCOMPARE(label.caption(), caption);
        QCOMPARE(label.shownText(), shown);
    }

    // A click stays with the control that takes it, handler or not; a hidden control takes none.
    void clicksStayWithTheControl() {
        QWidget window;
        window.resize(200, 200);
        PictureBox board(&window, QString(), 0xFFFFFF);
        board.place(0, 0, 3000, 3000);
        Label cell(&board, 0xFFFFFF, 0);
        cell.place(150, 150, 480, 480);
        int boardClicks = 0, cellClicks = 0;
        board.onClick = [&] { ++boardClicks; };
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QTest::mouseClick(&cell, Qt::LeftButton);
        QCOMPARE(boardClicks, 0);  // no handler on the cell, and the board hears nothing
        cell.onClick = [&] { ++cellClicks; };
        QTest::mouseClick(&cell, Qt::LeftButton);
        QCOMPARE(cellClicks, 1);
        QCOMPARE(boardClicks, 0);
        cell.setVisible(false);
        QTest::mouseClick(&board, Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(cellClicks, 1);
        QCOMPARE(boardClicks, 1);
        QTest::mouseClick(&board, Qt::RightButton);
        QCOMPARE(boardClicks, 1);
    }

    void slidersFireChangeAndScroll() {
        QWidget window;
        ScrollBar slider(&window, Qt::Vertical, 0, 255, 0);
        int changes = 0, scrolls = 0;
        slider.onChange = [&] { ++changes; };
        slider.onScroll = [&] { ++scrolls; };
        slider.setValue(55);  // the program's change fires "changed"
        QCOMPARE(changes, 1);
        slider.setValue(55);  // the same value fires nothing
        QCOMPARE(changes, 1);
        slider.setSliderDown(true);
        slider.setSliderPosition(60);
        slider.setSliderPosition(70);
        QCOMPARE(scrolls, 2);
        QCOMPARE(changes, 1);
        slider.setSliderDown(false);  // let go at a new value
        QCOMPARE(changes, 2);
        slider.setSliderDown(true);
        slider.setSliderDown(false);  // let go where it was
        QCOMPARE(changes, 2);
    }

    // A horizontal slider rises with Right and Up like its right arrow; a vertical one's thumb
    // follows the arrow keys (its value grows downwards, from 0 at the top).
    void sliderKeys_data() {
        QTest::addColumn<Qt::Orientation>("orientation");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("value");
        QTest::newRow("horizontal Up raises") << Qt::Horizontal << int(Qt::Key_Up) << 4;
        QTest::newRow("horizontal Down lowers") << Qt::Horizontal << int(Qt::Key_Down) << 2;
        QTest::newRow("vertical Down moves down") << Qt::Vertical << int(Qt::Key_Down) << 4;
        QTest::newRow("vertical Up moves up") << Qt::Vertical << int(Qt::Key_Up) << 2;
        QTest::newRow("Page Down, a sixteenth of the range")
            << Qt::Vertical << int(Qt::Key_PageDown) << 3 + 16;
    }
    void sliderKeys() {
        QFETCH(Qt::Orientation, orientation);
        QFETCH(int, key);
        QFETCH(int, value);
        QWidget window;
        ScrollBar slider(&window, orientation, 0, 255, 3);  // a colour slider's range
        int changes = 0;
        slider.onChange = [&] { ++changes; };
        QTest::keyClick(&slider, Qt::Key(key));
        QCOMPARE(slider.value(), value);
        QCOMPARE(changes, 1);
    }

    // What a screen reader hears of each kind: its role, its name (its caption as drawn, a
    // button's without the access key's mark; a slider's, what it sets, is the window's to give:
    // aScreenReaderReadsInScreenOrder) and a slider's value as the
    // window shows it; a control that a shown frame covers whole is neither showing nor
    // focusable until the frame is hidden; a label drawn where it is not meant to be read is not
    // showing.
    // While no screen reader listens (the offscreen platform has none), the window's words make
    // nothing: no notice.
    void nothingIsMadeWhileNobodyListens() {
        QWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!QAccessible::isActive());
        tellScreenReaders(&window, QStringLiteral("Time up. Score:3"));
        QCoreApplication::processEvents();
        QCOMPARE(window.findChildren<QWidget*>().size(), 0);
    }

    void screenReadersHearWhatIsShown_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("label") << "label" << int(QAccessible::StaticText) << "What's Level?"
                               << QVariant();
        QTest::newRow("label not meant to be read")
            << "unheard label" << int(QAccessible::StaticText) << "" << QVariant();
        QTest::newRow("button") << "button" << int(QAccessible::Button) << "OK" << QVariant();
        QTest::newRow("frame") << "frame" << int(QAccessible::Grouping) << "Option" << QVariant();
        QTest::newRow("picture") << "picture" << int(QAccessible::Graphic) << "" << QVariant();
        QTest::newRow("slider showing its value")
            << "slider" << int(QAccessible::Slider) << "" << QVariant(3);
        QTest::newRow("slider showing 255 minus its value")
            << "inverted slider" << int(QAccessible::Slider) << "" << QVariant(252);
        QTest::newRow("button behind a shown frame")
            << "covered button" << int(QAccessible::Button) << "OK" << QVariant();
    }
    void screenReadersHearWhatIsShown() {
        QFETCH(QString, kind);
        QFETCH(int, role);
        QFETCH(QString, name);
        QFETCH(QVariant, value);
        describeControlsToScreenReaders();
        QWidget window;
        window.resize(200, 200);
        std::unique_ptr<QWidget> control;
        const bool unheard = kind == "unheard label";
        if (kind.endsWith("label")) {
            auto* label = new Label(&window, 0xFFFFFF, 0);
            label->setCaption(QStringLiteral("What's Level?  "));
            label->setHeardByScreenReaders(!unheard);
            control.reset(label);
        } else if (kind.endsWith("button")) {
            control = std::make_unique<CommandButton>(&window, QStringLiteral("&OK"));
        } else if (kind == "frame") {
            control = std::make_unique<Frame>(&window, QStringLiteral("Option"), 0, 0xFFFFFF);
        } else if (kind == "picture") {
            control = std::make_unique<PictureBox>(&window, QString(), 0xFFFFFF);
        } else {
            auto* slider = new ScrollBar(&window, Qt::Vertical, 0, 255, 3);
            if (kind.startsWith("inverted")) slider->shownValue = [](int v) { return 255 - v; };
            control.reset(slider);
        }
        control->setGeometry(10, 10, 100, 30);
        Frame cover(&window, QString(), 0, 0xFFFFFF);
        cover.setGeometry(window.rect());
        cover.hide();
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const bool takesFocus = control->focusPolicy() != Qt::NoFocus;
        if (takesFocus) control->setFocus();
        const bool covered = kind.startsWith("covered");
        if (covered) cover.show();
        QAccessibleInterface* heard = QAccessible::queryAccessibleInterface(control.get());
        QCOMPARE(int(heard->role()), role);
        QCOMPARE(heard->text(QAccessible::Name), name);
        QAccessibleValueInterface* shown = heard->valueInterface();
        QCOMPARE(shown ? shown->currentValue() : QVariant(), value);
        QCOMPARE(heard->state().invisible, covered || unheard);
        QCOMPARE(heard->state().focusable, takesFocus && !covered);
        cover.hide();
        QCOMPARE(heard->state().invisible, unheard);
        QCOMPARE(heard->state().focusable, takesFocus);
    }
};

QTEST_MAIN(ControlsTest)
#include "test_controls.moc"
