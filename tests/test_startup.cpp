// Starting the game and returning to the title: the warnings, the files they create, the laid-out
// window, the rows and sliders filled from the files, and the sliding logo.

#include "files/inflight.h"
#include "formfixture.h"
#include "palette/palette.h"
#include "scores/highscores.h"
#include "window/ending.h"
#include "window/messages.h"
#include "window/theme.h"
#include "window/translations.h"
#include "window/warningbox.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <optional>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

class StartupTest : public QObject {
    Q_OBJECT

  private slots:
    void freshFolderWarnsTwiceAndCreatesDefaults() {
        StartedForm f;
        QCOMPARE(f.warnings, QStringList({kHighScoreRead, kPaletteRead}));
        QVERIFY2(f.notOverTheGame.isEmpty(), "the window is shown before the files are read");
        QCOMPARE(f.read("jx.hsd"), defaultHighScoreBytes());
        QCOMPARE(f.read("jx.iro"), defaultPaletteBytes());

        Form1& form = *f.form;
        QCOMPARE(form.mode, Mode::Load);
        QCOMPARE(form.timeLeft, qint16(300));
        QCOMPARE(form.colourNames,
                 (std::array<QString, 7>{"黒", "青", "緑", "赤", "紫", "黄", "灰"}));
        QCOMPARE(form.colourValues, (std::array<qint32, 7>{0x000000, 0xFF0000, 0x00FF00, 0x0000FF,
                                                           0xFF00FF, 0x00FFFF, 0xC0C0C0}));
        for (int i = 0; i < kLevelCount; ++i) {
            QCOMPARE(form.Label8[i]->shownText(), QStringLiteral("No Name"));
            QCOMPARE(form.Label9[i]->caption(), QStringLiteral("0"));
        }
        QCOMPARE(form.VScroll1[0]->value(), 255);
        QCOMPARE(form.Label12[0]->caption(), QStringLiteral("0"));
        QCOMPARE(form.VScroll1[5]->value(), 0);
        QCOMPARE(form.Label12[5]->caption(), QStringLiteral("255"));
        QCOMPARE(form.Label10[6]->foreColor(), 0xC0C0C0);
    }

    void secondStartInTheSameFolderIsQuiet() {
        StartedForm first;
        FormFixture second;
        second.startWithFiles(first.read("jx.hsd"), first.read("jx.iro"));
        QVERIFY(second.warnings.isEmpty());
        QCOMPARE(second.read("jx.hsd"), defaultHighScoreBytes());
    }

    // Where no font draws the colour words, the start says so once, in a box over the window that
    // names the package to install, after the files' boxes; the game goes on to its title.
    void aMissingFontIsToldAtTheStart() {
        FormFixture f;
        f.missingGlyphs = QStringList{QStringLiteral("The font DejaVu Sans has no glyph for 黒.")};
        f.form->Form_Load();
        QCOMPARE(f.warnings, QStringList({kHighScoreRead, kPaletteRead,
                                          kMissingFontTitle + '|' + kMissingFontText}));
        QCOMPARE(f.details.last(), f.missingGlyphs.first());
        QVERIFY(kMissingFontText.contains(QStringLiteral("fonts-ipafont-gothic")));
        QVERIFY(f.notOverTheGame.isEmpty());
        QCOMPARE(f.form->mode, Mode::Load);
    }

    void titleScreenAfterStart() {
        StartedForm f;
        Form1& form = *f.form;
        QCOMPARE(QRect(form.Picture1->left(), form.Picture1->top(), form.Picture1->twipsWidth(),
                       form.Picture1->twipsHeight()),
                 QRect(5040, 3120, 5280, 5280));
        QCOMPARE(form.Picture1->geometry(), QRect(336, 208, 352, 352));
        QCOMPARE(form.Picture2->top(), -1245);
        QCOMPARE(form.Picture2->left(), 2775);
        for (auto* button : form.Command1) QVERIFY(button->visible());
        for (auto* cell : form.Label1) QVERIFY(!cell->visible());
        for (Placement* hidden :
             std::initializer_list<Placement*>{form.Label2, form.Label6, form.Frame1, form.Picture3,
                                               form.Label3, form.Text1, form.Text2, form.Frame2})
            QVERIFY(!hidden->visible());
        QCOMPARE(form.Shape1->top(), 240);
        QCOMPARE(form.Shape1->left(), 160);
        QCOMPARE(form.Label7[0]->caption(), QStringLiteral("Level9"));
        QCOMPARE(form.Label7[8]->top(), 4504);
        QCOMPARE(form.Label8[0]->top(), 4504);
        QCOMPARE(form.Label9[8]->foreColor(), 0x000000);
        QCOMPARE(form.Label9[0]->foreColor(), 0x808080);
    }

    void windowIsLaidOutFromTheScreen_data() {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QPoint>("picture1");
        QTest::addColumn<QPoint>("picture3");
        QTest::addColumn<QPoint>("frame1");
        QTest::newRow("1024x768") << QSize(15360, 11520) << QPoint(5040, 3120) << QPoint(4972, 4860)
                                  << QPoint(11040, 3120);
        QTest::newRow("1920x1080") << QSize(28800, 16200) << QPoint(11760, 5460)
                                   << QPoint(11692, 7200) << QPoint(17760, 5460);
    }
    void windowIsLaidOutFromTheScreen() {
        QFETCH(QSize, screen);
        QFETCH(QPoint, picture1);
        QFETCH(QPoint, picture3);
        QFETCH(QPoint, frame1);
        StartedForm f(screen);
        QCOMPARE(QPoint(f.form->Picture1->left(), f.form->Picture1->top()), picture1);
        QCOMPARE(QPoint(f.form->Picture3->left(), f.form->Picture3->top()), picture3);
        QCOMPARE(QPoint(f.form->Frame1->left(), f.form->Frame1->top()), frame1);
        QCOMPARE(f.form->size(), QSize(screen.width() / 15, screen.height() / 15));
    }

    void describedWindowBeforeStart() {
        FormFixture f;
        Form1& form = *f.form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Tintmaze"));
        QVERIFY(!form.Frame2->visible());
        QVERIFY(!form.HScroll1->visible());
        QVERIFY(!form.Label3->visible());
        for (auto* label : form.Label4) QVERIFY(!label->visible());
        QVERIFY(form.Picture3->visible());
        QCOMPARE(form.HScroll1->value(), 3);
        QCOMPARE(form.Label4[2]->caption(), QStringLiteral("3"));
        // The name entry, the colour panel's contents, the rows and the cells are built once the
        // window is up.
        QVERIFY(!form.Text1 && !form.Command3 && !form.VScroll1[0] && !form.Label7[0] &&
                !form.Label1[0]);
        form.Form_Load();
        for (auto* cell : form.Label1) QCOMPARE(cell->caption(), QStringLiteral("赤"));
        QVERIFY(!form.Text1->visible() && !form.Text2->visible());
        QCOMPARE(form.Text1->text(), QStringLiteral("No Name"));
        // In front of the logo, behind the colour panel (children run from back to front).
        const QObjectList& order = form.children();
        QVERIFY(order.indexOf(form.Picture2) < order.indexOf(form.Text2));
        QVERIFY(order.indexOf(form.Text2) < order.indexOf(form.Text1));
        QVERIFY(order.indexOf(form.Text1) < order.indexOf(form.Frame2));
        // The captions follow the sliders' places: the second letter of a colour is its blue.
        QCOMPARE(form.Label11[1]->caption(), QStringLiteral("B"));
        QCOMPARE(form.Label11[1]->left(), form.VScroll1[2]->left());
        QCOMPARE(form.Label11[2]->caption(), QStringLiteral("G"));
        QCOMPARE(form.Label11[2]->left(), form.VScroll1[1]->left());
        QCOMPARE(form.Label11[4]->top(), 2265);
        QCOMPARE(form.Label11[9]->top(), 2250);
    }

    // Each tick of the title moves the logo a step, then stops the timer once the logo is past
    // the middle of the strip above the board.
    void titleLogoSlidesInAndStops() {
        StartedForm f;
        Form1& form = *f.form;
        QCOMPARE(form.Picture1->top(), 3120);
        QCOMPARE(form.mode, Mode::Load);
        int ticks = 0;
        while (form.Timer1.enabled() && ticks < 1000) {
            form.Timer1_Timer();
            ++ticks;
        }
        QCOMPARE(ticks, 73);
        QCOMPARE(form.Picture2->top(), 945);
        QVERIFY(!form.Timer1.enabled());
        QCOMPARE(form.mode, Mode::Load);
    }

    void missingHighScoresAreRecreatedAtTheNextTitle() {
        StartedForm f;
        const QByteArray palette = QByteArray::fromHex(
                                       "0a00"
                                       "1400"
                                       "1e00") +
                                   f.read("jx.iro").mid(6);
        f.write("jx.iro", palette);
        QFile::remove(f.path("jx.hsd"));
        f.warnings.clear();
        f.form->Reset(false);
        QCOMPARE(f.warnings, QStringList({kHighScoreRead}));
        QCOMPARE(f.read("jx.hsd"), defaultHighScoreBytes());
        QCOMPARE(f.read("jx.iro"), palette);
        QCOMPARE(f.form->colourValues[0], 0x1E140A);
    }

    void unusualPaletteFilesAreReadWithoutWarning_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<qint32>("black");
        QTest::addColumn<qint32>("grey");
        QTest::newRow("short: missing parts read as 0") << QByteArray::fromHex("ff00") << 0xFF << 0;
        QTest::newRow("out of range: clamped") << (QByteArray::fromHex("2c01"
                                                                       "ffff"
                                                                       "0000") +
                                                   defaultPaletteBytes().mid(6))
                                               << 0xFF << 0xC0C0C0;
        QTest::newRow("long: the tail is not read")
            << defaultPaletteBytes() + "tail" << 0 << 0xC0C0C0;
    }
    void unusualPaletteFilesAreReadWithoutWarning() {
        QFETCH(QByteArray, file);
        QFETCH(qint32, black);
        QFETCH(qint32, grey);
        FormFixture f;
        f.startWithFiles(defaultHighScoreBytes(), file);
        QVERIFY(f.warnings.isEmpty());
        QCOMPARE(f.form->colourValues[0], black);
        QCOMPARE(f.form->colourValues[6], grey);
        QCOMPARE(f.read("jx.iro"), file);
        QCOMPARE(f.read("jx.hsd"), defaultHighScoreBytes());
    }

    void whatThePlayerMayNotDoIsToldOnce_data() {
        QTest::addColumn<QFile::Permissions>("files");  // what the player may do with them
        QTest::addColumn<bool>("folderWritable");
        QTest::addColumn<QStringList>("atStart");  // the boxes, then the line under each
        QTest::addColumn<QStringList>("details");
        const auto rw = QFile::ReadOwner | QFile::WriteOwner;
        QTest::newRow("files that cannot be read")
            << QFile::Permissions(QFile::WriteOwner) << true
            << QStringList{kHighScoreUnreadable, kPaletteUnreadable}
            << QStringList{"jx.hsd cannot be opened: Permission denied",
                           "jx.iro cannot be opened: Permission denied"};
        QTest::newRow("files that cannot be written")
            << QFile::Permissions(QFile::ReadOwner) << true
            << QStringList{kHighScoreWrite, kPaletteWrite}
            << QStringList{"jx.hsd cannot be written: Permission denied",
                           "jx.iro cannot be written: Permission denied"};
        QTest::newRow("an empty folder that cannot be written")
            << QFile::Permissions(rw) << false << QStringList{kHighScoreWrite, kPaletteWrite}
            << QStringList{"jx.hsd cannot be created: Permission denied",
                           "jx.iro cannot be created: Permission denied"};
    }

    // Files the player may not read are left alone, and results the player cannot keep are told
    // once, at the start, before any game: each box says what happened and what the game did. A
    // new best then gets one box as it cannot be stored, in the start's words, and no return to
    // the title repeats them.
    // Root reads and writes every file, so as root the test runs itself again as another user.
    void whatThePlayerMayNotDoIsToldOnce() {
        QFETCH(QFile::Permissions, files);
        QFETCH(bool, folderWritable);
        QFETCH(QStringList, atStart);
        QFETCH(QStringList, details);
        if (geteuid() == 0 && qEnvironmentVariableIsEmpty("TINTMAZE_TEST_AS_OTHER_USER")) {
            QProcess child;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("TINTMAZE_TEST_AS_OTHER_USER"), QStringLiteral("1"));
            environment.insert(QStringLiteral("HOME"), QDir::tempPath());
            environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
            child.setProcessEnvironment(environment);
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(
                QStringLiteral("setpriv"),
                {"--reuid=65534", "--regid=65534", "--clear-groups",
                 QCoreApplication::applicationFilePath(),
                 QStringLiteral("whatThePlayerMayNotDoIsToldOnce:") + QTest::currentDataTag()});
            if (!child.waitForStarted()) QSKIP("setpriv is needed to run as another user");
            QVERIFY(child.waitForFinished(60000));
            if (child.exitCode() == 126 || child.exitCode() == 127)
                QSKIP("the other user may not run this test program from its folder");
            QCOMPARE(child.exitCode(), 0);
            return;
        }
        FormFixture f;
        const QByteArray scores = defaultHighScoreBytes().replace(0, 7, "Keep me");
        const QByteArray palette = defaultPaletteBytes().replace(0, 2, "\x10\x00");
        if (folderWritable) {
            f.write("jx.hsd", scores);
            f.write("jx.iro", palette);
        }
        for (const char* name : {"jx.hsd", "jx.iro"}) QFile::setPermissions(f.path(name), files);
        QVERIFY(QFile::setPermissions(f.folder.path(), folderWritable
                                                           ? QFile::Permissions(0x7700)
                                                           : QFile::Permissions(0x5500)));
        f.form->Form_Load();
        QCOMPARE(f.warnings, atStart);
        QCOMPARE(f.details, details);
        const bool readable = files.testFlag(QFile::ReadOwner) && folderWritable;
        QCOMPARE(f.form->highScores, readable ? decodeHighScores(scores) : defaultHighScores());
        QCOMPARE(f.form->colourValues[0], readable ? 0x10 : 0);
        playToNameEntry(*f.form, 9, 95);
        f.form->Text1->setText("kept?");
        f.form->Form_KeyPress(kEnter);
        const QStringList afterGame =
            files.testFlag(QFile::ReadOwner)
                ? QStringList{kHighScoreWrite}
                : QStringList{kHighScoreUnreadable, kPaletteUnreadable, kHighScoreWrite,
                              kHighScoreUnreadable, kPaletteUnreadable};
        QCOMPARE(f.warnings.mid(atStart.size()), afterGame);
        // One cause, one wording: the new best's box says what the start's said of jx.hsd.
        QCOMPARE(f.details.value(details.size() + afterGame.indexOf(kHighScoreWrite)),
                 details.first());
        QVERIFY(QFile::setPermissions(f.folder.path(), QFile::Permissions(0x7700)));
        for (const char* name : {"jx.hsd", "jx.iro"})
            QFile::setPermissions(f.path(name), QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(f.read("jx.hsd"), folderWritable ? scores : "<unreadable>");
        QCOMPARE(f.read("jx.iro"), folderWritable ? palette : "<unreadable>");
    }

    // Qt's own texts, such as the name box's menu, come in the player's language and reading
    // direction; English needs no translation and loads none. The game's screen stays left to
    // right.
    void nameBoxMenuSpeaksThePlayersLanguage_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<bool>("loads");
        QTest::addColumn<QString>("undo");
        QTest::addColumn<Qt::LayoutDirection>("direction");
        QTest::newRow("Japanese") << QLocale(QLocale::Japanese, QLocale::Japan) << true
                                  << QStringLiteral("元に戻す(&U)") << Qt::LeftToRight;
        QTest::newRow("Arabic, right to left") << QLocale(QLocale::Arabic, QLocale::Egypt) << true
                                               << QStringLiteral("&تراجع") << Qt::RightToLeft;
        QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedKingdom) << false
                                 << QStringLiteral("&Undo") << Qt::LeftToRight;
        QTest::newRow("C") << QLocale::c() << false << QStringLiteral("&Undo") << Qt::LeftToRight;
    }
    void nameBoxMenuSpeaksThePlayersLanguage() {
        QFETCH(QLocale, locale);
        QFETCH(bool, loads);
        QFETCH(QString, undo);
        QFETCH(Qt::LayoutDirection, direction);
        const QLocale before;
        QLocale::setDefault(locale);
        const bool loaded = loadQtTranslations(*qApp);
        StartedForm f;
        const std::unique_ptr<QMenu> menu(f.form->Text1->createStandardContextMenu());
        const QString first = menu->actions().value(0)->text().section(QLatin1Char('\t'), 0, 0);
        const Qt::LayoutDirection menuDirection = menu->layoutDirection();
        const Qt::LayoutDirection screenDirection = f.form->Label4[0]->layoutDirection();
        qDeleteAll(qApp->findChildren<QTranslator*>());
        QLocale::setDefault(before);
        QCOMPARE(loaded, loads);
        QCOMPARE(first, undo);
        QCOMPARE(menuDirection, direction);
        QCOMPARE(screenDirection, Qt::LeftToRight);
    }

    // The box is drawn in the middle of the game's window, titled, in the desktop's colours
    // rather than the window's black, modal (a click, an access key or Tab reaches nothing
    // behind it) and answered with Enter, Space, Escape or a click on OK; typing then goes on
    // where it was.
    // Where the game may open no more files, each box still has a descriptor free while it shows,
    // the second as the first, though all the others were taken meanwhile: also where the first
    // box took it for good and only a data-file call's freed one since.
    void boxesShowAtTheLimitOfOpenFiles_data() {
        QTest::addColumn<bool>("takenByTheBox");
        QTest::newRow("a box after a box") << false;
        QTest::newRow("a box taking it, a data-file call, a box") << true;
    }
    void boxesShowAtTheLimitOfOpenFiles() {
#ifdef __SANITIZE_ADDRESS__
        QSKIP("the sanitizers open files of their own, which the limit would refuse them");
#endif
        QFETCH(bool, takenByTheBox);
        QWidget owner;
        owner.resize(600, 400);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        StartedForm game;  // whose data files are read between the boxes
        keepADescriptorForBoxes();
        const int result = inChild([&] {
            const int lowestFree = ::open("/dev/null", O_RDONLY);
            ::close(lowestFree);
            rlimit limit{};
            getrlimit(RLIMIT_NOFILE, &limit);
            limit.rlim_cur = lowestFree;
            if (setrlimit(RLIMIT_NOFILE, &limit) != 0) return 1;
            int shownWithADescriptor = 0, taken = -1;
            for (int box = 0; box < 2; ++box) {
                if (taken >= 0) {
                    ::close(taken);
                    game.form->Reset(false);  // reads both files
                }
                // The game's other work takes whatever a box left free.
                while (::open("/dev/null", O_RDONLY) >= 0) continue;
                QTimer::singleShot(100, &owner, [&] {
                    auto* shown = shownBox(owner);
                    const int free = ::open("/dev/null", O_RDONLY);
                    if (shown && free >= 0) ++shownWithADescriptor;
                    if (free >= 0 && takenByTheBox) taken = free;
                    if (free >= 0 && !takenByTheBox) ::close(free);
                    if (shown) shown->button(QMessageBox::Ok)->click();
                });
                showWarningBox(&owner, kReadErrorTitle, kHighScoreReadError, {});
            }
            return 10 + shownWithADescriptor;
        });
        QCOMPARE(result, 12);
    }

    void realWarningBoxIsModalWithOneOkButtonOverItsOwner_data() {
        QTest::addColumn<int>("key");  // 0: a click on OK, through the window's QWindow
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Space") << int(Qt::Key_Space);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
        QTest::newRow("answered by a click on OK") << 0;
    }
    void realWarningBoxIsModalWithOneOkButtonOverItsOwner() {
        QFETCH(int, key);
        struct : QWidget {
            int clicks = 0;  // that reach the window behind the box
            void mousePressEvent(QMouseEvent*) override { ++clicks; }
        } owner;
        QPalette black = owner.palette();
        black.setColor(QPalette::Window, Qt::black);
        owner.setPalette(black);
        owner.setGeometry(200, 100, 900, 700);
        QLineEdit elsewhere(&owner), typing(&owner);  // the player was typing in the second
        QPushButton behind(QStringLiteral("&Behind"), &owner);
        behind.move(0, 600);
        int pressedBehind = 0;
        QObject::connect(&behind, &QPushButton::pressed, [&] { ++pressedBehind; });
        owner.show();
        owner.activateWindow();
        typing.setFocus();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        QString title, text;
        bool warningPicture = false;
        int buttons = 0;
        QPoint offCentre;
        QColor background;
        QPointer<QMessageBox> box;
        QTimer::singleShot(0, [&] {
            box = shownBox(owner);
            QVERIFY(box);
            const QWidget* outer = box->parentWidget();
            title = outer->findChild<QLabel*>(QString(), Qt::FindDirectChildrenOnly)->text();
            text = box->text();
            warningPicture = !box->iconPixmap().isNull();
            buttons = box->buttons().size();
            offCentre = outer->mapTo(&owner, outer->rect().center()) - owner.rect().center();
            background = box->palette().color(QPalette::Window);
            QWindow* window = owner.windowHandle();
            QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(10, 10));
            QTest::keyClick(window, Qt::Key_B, Qt::AltModifier);
            QTest::keyClick(window, Qt::Key_Tab);
            QAbstractButton* ok = box->button(QMessageBox::Ok);
            if (key)
                QTest::keyClick(window, Qt::Key(key));
            else
                QTest::mouseClick(window, Qt::LeftButton, {},
                                  ok->mapTo(&owner, ok->rect().center()));
        });
        QTimer::singleShot(2000, &owner, [&] {  // should the answer not reach it
            if (box && box->isVisible()) box->button(QMessageBox::Ok)->click();
            buttons = -1;
        });
        showWarningBox(&owner, kReadErrorTitle, kHighScoreReadError, {});
        QCOMPARE(title, kReadErrorTitle);
        QCOMPARE(text, kHighScoreReadError);
        QVERIFY(warningPicture);
        QCOMPARE(buttons, 1);
        QVERIFY2(
            offCentre.manhattanLength() <= 1,
            qPrintable(QStringLiteral("box off by %1,%2").arg(offCentre.x()).arg(offCentre.y())));
        QCOMPARE(background, QApplication::palette().color(QPalette::Window));
        QCOMPARE(owner.clicks, 0);
        QCOMPARE(pressedBehind, 0);
        QCOMPARE(QApplication::focusWidget(), &typing);
        // Answered, it keeps its words for a screen reader running late.
        QVERIFY(box && !box->isVisible());
        QCOMPARE(QAccessible::queryAccessibleInterface(box)->text(QAccessible::Name),
                 kReadErrorTitle);
        QCOMPARE(box->text(), kHighScoreReadError);
    }

    // The end, with a socket pair as the display's connection whose other end this test holds
    // (so only a shutdown, not the child's exit, reads as its end). `held`: 0 nothing, 1 a read,
    // 2 a save writing on a thread, 3 on the window's thread, where the signal runs. Steps: T
    // SIGTERM, H SIGHUP, E Escape, L a write starting afterwards, R the write let finish.
    void theEndTakesTheWindowAndWaitsForTheWrite_data() {
        QTest::addColumn<int>("held");
        QTest::addColumn<QByteArray>("steps");
        QTest::addColumn<bool>("shut");
        QTest::addColumn<int>("status");
        QTest::newRow("no call: at once") << 0 << QByteArray("T") << false << 143;
        QTest::newRow("a read: shut, then ends") << 1 << QByteArray("T") << true << 143;
        QTest::newRow("a write: shut, ends after it") << 2 << QByteArray("TR") << true << 143;
        QTest::newRow("signal on the writing thread") << 3 << QByteArray("TR") << true << 143;
        QTest::newRow("Escape during a write") << 2 << QByteArray("ER") << true << 0;
        QTest::newRow("asked twice: the first holds") << 2 << QByteArray("THR") << true << 143;
        QTest::newRow("a write after the end never starts") << 2 << QByteArray("TL") << true << 143;
    }

    void theEndTakesTheWindowAndWaitsForTheWrite() {
        QFETCH(int, held);
        QFETCH(QByteArray, steps);
        QFETCH(bool, shut);
        QFETCH(int, status);
        int display[2], pipes[4][2];  // to the parent: held; to the child: R, E, L
        QVERIFY(socketpair(AF_UNIX, SOCK_STREAM, 0, display) == 0);
        for (auto* ends : pipes) QVERIFY(pipe(ends) == 0);
        const auto await = [&](char step) {
            char byte;
            return read(pipes[QByteArray(" REL").indexOf(step)][0], &byte, 1) == 1;
        };
        const pid_t pid = fork();
        if (pid == 0) {  // ends by itself within 5 s, whatever the parent's checks do
            alarm(5);
            rememberDisplayConnection(display[1]);
            endGameOnSignals();
            const auto hold = [&] {
                std::optional<datafile::InFlight> call, write;
                if (held >= 1) call.emplace(datafile::InFlight::kCall);
                if (held >= 2) write.emplace(datafile::InFlight::kWrite);
                if (::write(pipes[0][1], "h", 1) != 1 || !await('R')) _exit(98);
            };
            std::thread([&] {
                if (!await('L')) return;
                const datafile::InFlight write(datafile::InFlight::kWrite);
                for (;;) pause();
            }).detach();
            held == 3 ? hold() : std::thread(hold).detach();
            if (await('E')) endGame(0);
            for (;;) pause();
        }
        char byte;
        QCOMPARE(read(pipes[0][0], &byte, 1), 1);
        struct stat ours {};
        fstat(display[1], &ours);
        const QByteArray childsDisplay =
            "/proc/" + QByteArray::number(pid) + "/fd/" + QByteArray::number(display[1]);
        for (qsizetype i = 0; i < steps.size(); ++i) {
            if (i > 0) {  // the window gone, the program still there, Qt's descriptor quiet
                pollfd gone{display[0], POLLIN, 0};
                QCOMPARE(poll(&gone, 1, 5000), 1);
                QCOMPARE(recv(display[0], &byte, 1, 0), 0);
                QCOMPARE(waitpid(pid, nullptr, WNOHANG), 0);
                struct stat theirs {};
                QCOMPARE(stat(childsDisplay.constData(), &theirs), 0);
                QVERIFY(theirs.st_ino != ours.st_ino);
            }
            const char step = steps[i];
            if (step == 'T' || step == 'H')
                kill(pid, step == 'T' ? SIGTERM : SIGHUP);
            else
                QCOMPARE(write(pipes[QByteArray(" REL").indexOf(step)][1], &step, 1), 1);
        }
        int ended = 0;
        QCOMPARE(waitpid(pid, &ended, 0), pid);
        QVERIFY2(WIFEXITED(ended), qPrintable(QString::number(ended)));
        QCOMPARE(WEXITSTATUS(ended), status);
        pollfd gone{display[0], POLLIN, 0};
        QCOMPARE(poll(&gone, 1, 0), shut ? 1 : 0);
        for (const int fd : {display[0], display[1]}) close(fd);
        for (auto* ends : pipes) close(ends[0]), close(ends[1]);
    }
};

QTEST_MAIN(StartupTest)
#include "test_startup.moc"
