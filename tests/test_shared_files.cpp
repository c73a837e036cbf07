// The player's files when something else touches them too: a copy put in while a warning is up,
// a file the player cannot read, a second copy of the game storing bests, another user holding a
// lock, a folder whose name is not UTF-8 or that is renamed, a FUSE folder, huge files and odd
// things named like a data file.
#include "formfixture.h"
#include "testfiles.h"
#include "window/messages.h"

#include <QDir>
#include <QElapsedTimer>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace {

constexpr qint64 kHugeFileBytes = 30LL << 30;  // 30 GiB, all but its start a hole

// A table the player has played: level n holds "player n" and 10 n points.
QByteArray playedHighScores() {
    HighScoreTable table;
    for (int level = 1; level <= kLevelCount; ++level)
        table[level] = {fixedLengthName(QStringLiteral("player %1").arg(level)),
                        qint16(10 * level)};
    return encodeHighScores(table);
}

QByteArray tunedPalette() {
    ColourTable table = defaultPalette();
    table[1] = {10, 20, 30};
    return encodePalette(table);
}

// Types `name` and presses Enter in the name entry.
void enterName(Form1& form, const QString& name) {
    form.Text1->setText(name);
    form.Form_KeyPress(kEnter);
}

// The pointer over the middle of `window`: the one of the control there.
Qt::CursorShape pointerAtTheMiddle(const QWidget& window) {
    const QWidget* there = window.childAt(window.rect().center());
    return (there ? there : &window)->cursor().shape();
}

QByteArray systemPath(const QString& path) {
    return QFile::encodeName(path);
}

}  // namespace

class TestSharedFiles : public QObject {
    Q_OBJECT

  private slots:
    void lateCopyIsRead_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("copy");
        QTest::newRow("jx.hsd") << "jx.hsd" << playedHighScores();
        QTest::newRow("jx.iro") << "jx.iro" << tunedPalette();
    }

    // The player copies an old file in while the box says a new one will be made: it is read, not
    // replaced; at start-up and at a return to the title.
    void lateCopyIsRead() {
        QFETCH(QString, name);
        QFETCH(QByteArray, copy);
        const bool scores = name == QLatin1String("jx.hsd");
        FormFixture fixture;
        fixture.write(scores ? "jx.iro" : "jx.hsd", scores ? tunedPalette() : playedHighScores());
        fixture.whileWarning = [&](const QString&) { fixture.write(name, copy); };
        const auto check = [&] {
            QCOMPARE(fixture.warnings, QStringList{scores ? kHighScoreRead : kPaletteRead});
            QCOMPARE(fixture.read(name), copy);
            if (scores)
                QCOMPARE(fixture.form->highScores, decodeHighScores(copy));
            else
                QCOMPARE(fixture.form->colourRGB, decodePalette(copy));
        };
        fixture.form->Form_Load();
        check();

        QVERIFY(QFile::remove(fixture.path(name)));
        fixture.warnings.clear();
        fixture.form->Reset(false);
        check();
    }

    // A jx.hsd the player cannot read is left alone: the game warns, plays with the defaults, and a
    // new best says it cannot be stored.
    void unreadableFileSurvivesNewBest() {
        const passwd* other = otherUser();
        if (geteuid() == 0 && !other) QSKIP("cannot switch to another user");
        const QByteArray old = playedHighScores();
        const int result = inChild([&] {
            if (other && !becomeUser(*other)) return 1;
            FormFixture fixture;
            fixture.write("jx.hsd", old);
            fixture.write("jx.iro", tunedPalette());
            if (chmod(systemPath(fixture.path("jx.hsd")).constData(), 0222) != 0) return 2;
            fixture.form->Form_Load();
            if (fixture.warnings != QStringList{kHighScoreUnreadable}) return 3;
            if (fixture.form->highScores != defaultHighScores()) return 4;
            playToNameEntry(*fixture.form, 2, 5);
            if (fixture.form->mode != Mode::NameEntry) return 5;
            enterName(*fixture.form, "winner");
            // Every return to the title warns again: the one before the name entry, the one after.
            const QStringList warned = {kHighScoreUnreadable, kHighScoreUnreadable, kHighScoreWrite,
                                        kHighScoreUnreadable};
            if (fixture.warnings != warned) return 6;
            if (!fixture.details.value(0).startsWith("jx.hsd cannot be opened: ")) return 9;
            if (chmod(systemPath(fixture.path("jx.hsd")).constData(), 0644) != 0) return 7;
            return fixture.read("jx.hsd") == old ? 0 : 8;
        });
        QCOMPARE(result, 0);
    }

    void twoCopiesStoreBests_data() {
        QTest::addColumn<int>("waitingLevel");  // the copy that waits at the name box
        QTest::addColumn<int>("waitingScore");
        QTest::addColumn<int>("otherLevel");  // the copy that stores its best meanwhile
        QTest::addColumn<int>("otherScore");
        QTest::newRow("level 3 waits, level 2 stored") << 3 << 50 << 2 << 40;
        QTest::newRow("level 2 waits, level 3 stored") << 2 << 40 << 3 << 50;
        QTest::newRow("same level, the waiting one higher") << 4 << 70 << 4 << 60;
        QTest::newRow("same level, the waiting one lower") << 4 << 60 << 4 << 70;
    }

    // Two copies of the game in one folder, each a process of its own going the game's own way from
    // the game-over picture through the name entry: no best is lost, the higher one of a level
    // stays, and every other slot keeps what the file held.
    void twoCopiesStoreBests() {
        QFETCH(int, waitingLevel);
        QFETCH(int, waitingScore);
        QFETCH(int, otherLevel);
        QFETCH(int, otherScore);
        QTemporaryDir folder;
        writeFile(folder.filePath("jx.hsd"), playedHighScores() + "tail");
        writeFile(folder.filePath("jx.iro"), tunedPalette());
        int ready[2], go[2];
        QCOMPARE(pipe(ready), 0);
        QCOMPARE(pipe(go), 0);

        // Plays to the name entry, tells it is there, waits for the word, stores the name.
        const auto copyOfTheGame = [&](int level, int score, const QString& name, bool waits) {
            return [&folder, level, score, name, waits, ready, go] {
                StartedForm fixture(QSize(15360, 11520), 1, DataFolder(folder.path()));
                playToNameEntry(*fixture.form, level, score);
                if (fixture.form->mode != Mode::NameEntry) return 1;
                char byte = 'x';
                if (waits && (write(ready[1], &byte, 1) != 1 || read(go[0], &byte, 1) != 1))
                    return 2;
                enterName(*fixture.form, name);
                return fixture.warnings.isEmpty() ? 0 : 3;
            };
        };
        const pid_t waiting = fork();
        if (waiting == 0) {
            alarm(20);
            _exit(copyOfTheGame(waitingLevel, waitingScore, "waiting", true)());
        }
        close(ready[1]);  // a copy that ends early is read as the end of its pipe
        close(go[0]);
        char byte = 0;
        QCOMPARE(read(ready[0], &byte, 1), ssize_t(1));
        QCOMPARE(inChild(copyOfTheGame(otherLevel, otherScore, "other", false)), 0);
        QCOMPARE(write(go[1], &byte, 1), ssize_t(1));
        int status = 0;
        QCOMPARE(waitpid(waiting, &status, 0), waiting);
        QVERIFY(WIFEXITED(status));
        for (int fd : {ready[0], go[1]}) close(fd);
        // The copy whose score is not above the other's best at the same level stores nothing.
        QCOMPARE(WEXITSTATUS(status), 0);

        HighScoreTable expected = decodeHighScores(playedHighScores());
        expected[otherLevel] = {fixedLengthName(u"other"), qint16(otherScore)};
        if (waitingLevel != otherLevel || waitingScore > otherScore)
            expected[waitingLevel] = {fixedLengthName(u"waiting"), qint16(waitingScore)};
        const QByteArray file = contentOf(folder.filePath("jx.hsd"));
        QCOMPARE(decodeHighScores(file), expected);
        QVERIFY(file.endsWith("tail"));
    }

    // Two copies storing bests at two levels as fast as they can: every save sees the other's.
    void twoCopiesStoreAtOnce() {
        constexpr int kBests = 40;
        QTemporaryDir folder;
        writeFile(folder.filePath("jx.hsd"), defaultHighScoreBytes());
        writeFile(folder.filePath("jx.iro"), tunedPalette());
        const auto storeBests = [&folder](int child) {
            const int level = 5 + child;
            StartedForm fixture(QSize(15360, 11520), 1, DataFolder(folder.path()));
            for (int score = 1; score <= kBests; ++score) {
                playToNameEntry(*fixture.form, level, score);
                enterName(*fixture.form, QStringLiteral("level %1").arg(level));
            }
            return fixture.warnings.isEmpty() ? 0 : 1;
        };
        QVERIFY(together(2, storeBests, 60));
        const HighScoreTable table = decodeHighScores(contentOf(folder.filePath("jx.hsd")));
        QCOMPARE(table[5].bestScore, qint16(kBests));
        QCOMPARE(table[6].bestScore, qint16(kBests));
    }

    // A folder named in code page 932 bytes works like any other, and renamed while the game runs
    // it stays the game's folder: a new folder of the old name is left alone.
    void folderNamedInCodePage932() {
        QTemporaryDir parent;
        const QByteArray base = systemPath(parent.path()) + '/';
        const QByteArray named = base + "\x83\x65\x83\x58\x83\x67",
                         renamed = base + "\x90\xd4\x90\xc2";
        QCOMPARE(mkdir(named.constData(), 0700), 0);
        const QByteArray started = QFile::encodeName(QDir::currentPath());
        QCOMPARE(chdir(named.constData()), 0);
        FormFixture fixture(QSize(15360, 11520), 1, DataFolder());
        QCOMPARE(chdir(started.constData()), 0);

        fixture.form->Form_Load();
        QCOMPARE(fixture.warnings, (QStringList{kHighScoreRead, kPaletteRead}));
        QCOMPARE(contentOf(named + "/jx.hsd"), defaultHighScoreBytes());
        QCOMPARE(contentOf(named + "/jx.iro"), defaultPaletteBytes());

        QCOMPARE(rename(named.constData(), renamed.constData()), 0);
        QCOMPARE(mkdir(named.constData(), 0700), 0);
        fixture.warnings.clear();
        playToNameEntry(*fixture.form, 1, 3);
        enterName(*fixture.form, "moved");
        QCOMPARE(fixture.warnings, QStringList{});
        QCOMPARE(decodeHighScores(contentOf(renamed + "/jx.hsd"))[1].bestScore, qint16(3));
        QCOMPARE(rmdir(named.constData()), 0);  // only an empty folder can be removed
        for (const char* name : {"/jx.hsd", "/jx.iro"}) unlink(renamed + name);
        QCOMPARE(rmdir(renamed.constData()), 0);
    }

    // Files of 30 GiB, nearly all of it a hole: read at start without a crash, saved over with
    // their size kept and nothing filled in.
    void hugeFiles() {
        FormFixture fixture;
        const auto makeHuge = [&](const QString& name, const QByteArray& start) {
            fixture.write(name, start);
            return truncate(systemPath(fixture.path(name)).constData(), kHugeFileBytes) == 0;
        };
        QVERIFY(makeHuge("jx.hsd", playedHighScores()));
        QVERIFY(makeHuge("jx.iro", tunedPalette()));
        fixture.form->Form_Load();
        QCOMPARE(fixture.warnings, QStringList{});
        QCOMPARE(fixture.form->highScores, decodeHighScores(playedHighScores()));
        QCOMPARE(fixture.form->colourRGB, decodePalette(tunedPalette()));

        playToNameEntry(*fixture.form, 9, 95);
        enterName(*fixture.form, "huge");
        fixture.form->Command1_Click(2);  // "ColorOption"
        fixture.form->Command2_Click();   // "Default"
        fixture.form->Command3_Click();   // "OK"
        QCOMPARE(fixture.warnings, QStringList{});
        for (const char* name : {"jx.hsd", "jx.iro"}) {
            struct stat status;
            QCOMPARE(stat(systemPath(fixture.path(name)).constData(), &status), 0);
            QCOMPARE(qint64(status.st_size), kHugeFileBytes);
            QVERIFY2(status.st_blocks * 512 < (1 << 20), qPrintable(name));
        }
        QCOMPARE(fixture.form->highScores[9].bestScore, qint16(95));
        QCOMPARE(fixture.form->colourRGB, defaultPalette());
    }

    void waitsWithTheWindowPainting_data() {
        QTest::addColumn<QString>("slow");  // what holds the save up
        QTest::addColumn<bool>("best");     // a best is stored, else the colour panel's OK
        QTest::addColumn<Road>("meanwhile");
        QTest::addColumn<QStringList>("boxes");  // the lines under the boxes' texts
        const Road keys = [](Form1& form) {
            for (const auto& [key, text] :
                 {std::pair(Qt::Key_Return, "\r"), {Qt::Key_Escape, "\x1b"}})
                QCoreApplication::postEvent(&form, new QKeyEvent(QEvent::KeyPress, key, {}, text));
        };
        const Road altO = [keys](Form1& form) {
            keys(form);
            QTimer::singleShot(0, &form, [&form] {
                QTest::keyClick(form.windowHandle(), Qt::Key_O, Qt::AltModifier);
            });
        };
        const Road composed = [keys](Form1& form) {
            keys(form);
            QTimer::singleShot(0, &form, [] {
                QInputMethodEvent commit;
                commit.setCommitString(QStringLiteral("名"));
                if (QObject* focus = QGuiApplication::focusObject())
                    QCoreApplication::sendEvent(focus, &commit);
            });
        };
        // A larger screen (1024x768 to 1280x1024) once the wait covers the window; a click then
        // at its new corner.
        const Road larger = [keys](Form1& form) {
            keys(form);
            struct Corner : QObject {
                bool eventFilter(QObject* window, QEvent* event) override {
                    if (event->type() != QEvent::Resize) return false;
                    auto* form = static_cast<QWidget*>(window);
                    QTimer::singleShot(0, form, [form] {
                        QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {},
                                          form->rect().bottomRight());
                    });
                    deleteLater();
                    return false;
                }
            };
            form.installEventFilter(new Corner);
            QTimer::singleShot(0, &form, [&form] { form.resize(1280, 1024); });
        };
        const QString locked = QStringLiteral("jx.iro is locked by another program");
        QTest::newRow("a local file answering at once") << "" << false << Road() << QStringList{};
        QTest::newRow("lock held by another user")
            << "lock" << false << keys << QStringList{locked};
        QTest::newRow("slow fsync on a FUSE folder")
            << "fsync 1 s" << false << keys << QStringList{};
        QTest::newRow("Alt+O while another user holds the lock")
            << "lock" << false << altO << QStringList{locked};
        QTest::newRow("input-method text while a best is saved")
            << "fsync 1 s" << true << composed << QStringList{};
        QTest::newRow("an fsync that does not answer")
            << "fsync held" << false << keys
            << QStringList{"jx.iro does not answer",
                           "jx.iro has not yet answered the game's last call"};
        QTest::newRow("a larger screen during a slow fsync")
            << "fsync 1 s" << false << larger << QStringList{};
        QTest::newRow("the game stopped for 10 s during a slow fsync")
            << "fsync 1 s, stopped" << false << Road() << QStringList{};
        QTest::newRow("the game starved at each look during a 6 s fsync")
            << "fsync 6 s, starved" << false << Road() << QStringList{};
        QTest::newRow("no thread to be had") << "no thread" << true << keys << QStringList{};
    }

    // A file that answers at once changes nothing anyone sees: nothing is covered, no control
    // changes its state. Any user who may read jx.iro can lock it: a return to the title reads it
    // after a moment, the colour panel's OK gives up after a few seconds with the box and writes
    // nothing. Slow storage
    // takes its time to save, and a file that does not answer gets the box when the patience runs
    // out, its call left to finish by itself. The window paints all the while and takes nothing:
    // a key, an access key or an input method's text does nothing, then or afterwards; Escape
    // still ends the game. Where no thread can be had, the window's own thread does the work.
    void waitsWithTheWindowPainting() {
        QFETCH(QString, slow);
        QFETCH(bool, best);
        QFETCH(Road, meanwhile);
        QFETCH(QStringList, boxes);
        QTemporaryDir top;
        const QString real = top.filePath("real"), mounted = top.filePath("mounted");
        const QString released = top.filePath("released");
        QVERIFY(QDir().mkdir(real) && QDir().mkdir(mounted));
        chmodAt(top.path(), 0755);
        chmodAt(real, 0755);
        std::unique_ptr<FuseFolder> fuse;
        if (slow.startsWith("fsync")) {
            fuse = std::make_unique<FuseFolder>(
                plainFuseFolder(slow.endsWith("held")
                                    ? QStringList{"--hold", "fsync:" + released}
                                    : QStringList{"--slow-sync", slow.split(' ')[1]}),
                real, mounted);
            if (!fuse->skipped.isEmpty()) QSKIP(qPrintable(fuse->skipped));
        }
        writeFile(real + "/jx.hsd", playedHighScores());
        writeFile(real + "/jx.iro", tunedPalette());
        chmodAt(real + "/jx.iro", 0644);
        if (slow == "no thread") {
            const passwd* other = otherUser();
            if (other) QCOMPARE(chown(systemPath(real).constData(), other->pw_uid, 0), 0);
            for (const char* name : {"/jx.hsd", "/jx.iro"}) chmodAt(real + name, 0666);
            const rlimit none{0, 0};
            QCOMPARE(inChild([&] {
                         if ((other && !becomeUser(*other)) || setrlimit(RLIMIT_NPROC, &none) != 0)
                             return 10;
                         FormFixture fixture(QSize(15360, 11520), 1, DataFolder(real));
                         fixture.form->Form_Load();
                         playToNameEntry(*fixture.form, 9, 95);
                         enterName(*fixture.form, "threadless");
                         const HighScoreRecord stored =
                             decodeHighScores(contentOf(real + "/jx.hsd"))[9];
                         return fixture.warnings.isEmpty() && stored.bestScore == 95 ? 0 : 1;
                     }),
                     0);
            return;
        }
        FormFixture fixture(QSize(15360, 11520), 1, DataFolder(fuse ? mounted : real));
        std::optional<HoldingChild> lock;
        if (slow == "lock") {
            lock.emplace([&] {
                const int fd = open(systemPath(real + "/jx.iro").constData(), O_RDONLY);
                const passwd* other = otherUser();
                return (!other || becomeUser(*other)) && ::flock(fd, LOCK_EX) == 0;
            });
            QVERIFY(lock->holds);
        }
        Form1& form = *fixture.form;
        form.Form_Load();
        QCOMPARE(fixture.warnings, QStringList{});
        QCOMPARE(form.colourRGB, decodePalette(tunedPalette()));
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));

        struct Watch : QObject {
            QWidget* window = nullptr;
            std::function<void()> onCover;
            int paints = 0, stateChanges = 0, clicksPastTheCover = 0;
            bool covered = false, coverUp = false;
            Qt::CursorShape pointer = Qt::ArrowCursor;  // over the window while covered
            bool eventFilter(QObject* watched, QEvent* event) override {
                paints += watched == window && event->type() == QEvent::Paint;
                stateChanges += event->type() == QEvent::EnabledChange;
                auto* widget = qobject_cast<QWidget*>(watched);
                const bool cover = widget && widget->accessibleName().startsWith("Waiting for");
                clicksPastTheCover +=
                    coverUp && event->type() == QEvent::MouseButtonPress && widget && !cover;
                if (cover && event->type() == QEvent::Hide) coverUp = false;
                if (cover && event->type() == QEvent::Show) {
                    covered = coverUp = true;
                    pointer = pointerAtTheMiddle(*window);
                    if (onCover) onCover();
                }
                return false;
            }
        } count;
        count.window = &form;
        if (slow.endsWith("stopped"))
            count.onCover = [&fixture] { fixture.stopped += std::chrono::seconds(10); };
        if (slow.endsWith("starved"))
            count.onCover = [&fixture] { fixture.stoppedAtEachLook = std::chrono::seconds(10); };
        qApp->installEventFilter(&count);
        if (best) {
            playToNameEntry(form, 9, 95);
            form.Text1->setText("typed");
        } else {
            form.Command1_Click(2);  // "ColorOption"
            form.Command2_Click();   // "Default"
        }
        form.update();
        if (meanwhile) meanwhile(form);
        QElapsedTimer waited;
        waited.start();
        if (best)
            form.Form_KeyPress(kEnter);  // stores the name
        else
            form.Command3_Click();  // "OK"
        lock.reset();
        QVERIFY(waited.elapsed() < 10000);
        QCOMPARE(count.covered, !slow.isEmpty());
        QCOMPARE(count.pointer, slow.isEmpty() ? Qt::ArrowCursor : Qt::WaitCursor);
        QVERIFY(pointerAtTheMiddle(form) != Qt::WaitCursor);  // the game's own again
        QCOMPARE(count.clicksPastTheCover, 0);
        QCOMPARE(count.stateChanges, 0);
        QVERIFY(count.paints > 0 || slow.isEmpty());
        QCoreApplication::processEvents();
        QCOMPARE(form.mode,
                 Mode::Load);  // the Enter pressed during the wait opened no level dialog
        QCOMPARE(fixture.endRequests, meanwhile ? 1 : 0);  // Escape, pressed meanwhile
        QCOMPARE(fixture.details, boxes);
        QCOMPARE(form.Text1->text(), best ? "typed" : "No Name");
        writeFile(released, {});
        fixture.form.reset();  // once the call left behind is done
        QCOMPARE(contentOf(real + "/jx.iro"),
                 best || slow == "lock" ? tunedPalette() : defaultPaletteBytes());
    }

    void firstStartInFuseFolders_data() {
        QTest::addColumn<QStringList>("server");
        QTest::newRow("no hard links, no rename flags") << plainFuseFolder();
        QTest::newRow("no chmod, no chown")
            << QStringList{"bindfs", "-f", "--chmod-deny", "--chown-deny"};
    }

    // A folder on a FUSE file system (a phone, an exFAT stick, a network share): the first start
    // creates both files after its two warnings, and a later best is stored there.
    void firstStartInFuseFolders() {
        QFETCH(QStringList, server);
        QTemporaryDir top;
        QVERIFY(QDir().mkdir(top.filePath("real")) && QDir().mkdir(top.filePath("mounted")));
        FuseFolder fuse(server, top.filePath("real"), top.filePath("mounted"));
        if (!fuse.skipped.isEmpty()) QSKIP(qPrintable(fuse.skipped));
        StartedForm fixture(QSize(15360, 11520), 1, DataFolder(fuse.mountPoint));
        QCOMPARE(fixture.warnings, (QStringList{kHighScoreRead, kPaletteRead}));
        QCOMPARE(contentOf(top.filePath("real/jx.hsd")), defaultHighScoreBytes());
        QCOMPARE(contentOf(top.filePath("real/jx.iro")), defaultPaletteBytes());
        playToNameEntry(*fixture.form, 3, 2);
        enterName(*fixture.form, "on the stick");
        QCOMPARE(fixture.warnings.size(), 2);
        QCOMPARE(decodeHighScores(contentOf(top.filePath("real/jx.hsd")))[3].bestScore, qint16(2));
    }

    void startsWithSomethingNamedLikeTheFile_data() {
        QTest::addColumn<bool>("scores");    // jx.hsd, else jx.iro
        QTest::addColumn<QString>("after");  // what the name and elsewhere/target are then
        QTest::newRow("pipe") << true << "pipe, missing";
        QTest::newRow("folder") << false << "folder, missing";
        QTest::newRow("link to a pipe in another folder") << true << "link, pipe";
        QTest::newRow("link to a folder") << false << "link, folder";
        QTest::newRow("link to a terminal device") << true << "link, missing";
        QTest::newRow("dangling link into a missing folder") << false << "link, missing";
        QTest::newRow("dangling link") << true << "link, missing";
        QTest::newRow("link to itself") << false << "link, missing";
        QTest::newRow("empty file") << false << "file, missing";
    }

    // Something named like a data file that is not a file with records holds up neither start-up
    // nor saving. An empty file is a missing one: the warning, then the defaults written into it.
    // Anything else is never opened for real, waited on or written (a writer waiting at a pipe
    // stays waiting): the game warns that it cannot read it, then that it cannot create it, runs
    // with the defaults, leaves it as it is and creates nothing where a link points.
    void startsWithSomethingNamedLikeTheFile() {
        QFETCH(bool, scores);
        QFETCH(QString, after);
        const QByteArray thing = QTest::currentDataTag();
        FormFixture fixture;
        const QString name = scores ? "jx.hsd" : "jx.iro";
        const QString otherName = scores ? "jx.iro" : "jx.hsd";
        const QByteArray other = scores ? tunedPalette() : playedHighScores();
        fixture.write(otherName, other);
        const QString path = fixture.path(name), target = fixture.path("elsewhere/target");
        const QString pipe = thing == "pipe" ? path : target;
        if (thing != "dangling link into a missing folder" && thing != "pipe")
            QVERIFY(QDir().mkdir(fixture.path("elsewhere")));
        if (thing.contains("pipe")) QCOMPARE(mkfifo(systemPath(pipe).constData(), 0666), 0);
        if (thing == "folder") QVERIFY(QDir().mkdir(path));
        if (thing == "link to a folder") QVERIFY(QDir().mkdir(target));
        if (thing == "link to a terminal device") QVERIFY(QFile::link("/dev/ptmx", path));
        if (thing == "link to itself") QVERIFY(QFile::link(name, path));
        if (thing == "empty file") fixture.write(name, {});
        if ((thing.startsWith("link to a") && !thing.contains("device")) ||
            thing.startsWith("dangling"))
            QVERIFY(QFile::link("elsewhere/target", path));
        const pid_t writer = thing.contains("pipe") ? fork() : -1;
        if (writer == 0) _exit(open(systemPath(pipe).constData(), O_WRONLY) >= 0 ? 0 : 1);
        QTest::qWait(50);  // the writer waits at the pipe
        const QString before = identityOf(path);

        const int result = inChild([&] {
            fixture.form->Form_Load();
            const bool empty = thing == "empty file";
            const QStringList warned = {scores ? kHighScoreRead : kPaletteRead};
            if (fixture.warnings !=
                    warned + (empty ? QStringList()
                                    : QStringList{scores ? kHighScoreWrite : kPaletteWrite}) ||
                !fixture.notOverTheGame.isEmpty())
                return 1;
            return (scores ? fixture.form->highScores == defaultHighScores()
                           : fixture.form->colourRGB == defaultPalette())
                       ? 0
                       : 2;
        });
        QCOMPARE(result, 0);
        if (writer > 0) {
            QCOMPARE(waitpid(writer, nullptr, WNOHANG), 0);  // never opened for real
            kill(writer, SIGKILL);
            waitpid(writer, nullptr, 0);
        }
        QCOMPARE(kindOf(path) + ", " + kindOf(target), after);
        if (thing == "folder") QCOMPARE(entriesOf(path), QStringList{});
        if (thing == "empty file") QCOMPARE(fixture.read(name), defaultPaletteBytes());
        if (thing == "empty file") QCOMPARE(identityOf(path), before);
        QCOMPARE(fixture.read(otherName), other);
    }
};

QTEST_MAIN(TestSharedFiles)
#include "test_shared_files.moc"
