// The player's files when something else touches them too: a copy put in while a warning is up,
// a file the player cannot read, a second copy of the game storing bests, a folder whose name is
// not UTF-8 or that is renamed, huge files and a pipe swapped in.
#include "formfixture.h"
#include "testfiles.h"
#include "window/messages.h"

#include <QDir>
#include <QTest>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The window's game state after a game at `level` that scored `score`: the click that leaves the
// game-over picture, and the name entry if it is a best.
void finishGame(Form1& form, int level, qint16 score) {
    form.level = quint8(level);
    form.score = score;
    form.mode = Mode::GameOver;
    form.High();
}

// Types `name` and presses Enter in the name entry.
void enterName(Form1& form, const QString& name) {
    form.Text1->setText(name);
    form.Form_KeyPress(kEnter);
}

QByteArray systemPath(const QString& path) {
    return QFile::encodeName(path);
}

// The bytes of the file at `path`, bytes that need not be UTF-8, or "<missing>".
QByteArray rawContent(const QByteArray& path) {
    QFile file;
    const int fd = open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return "<missing>";
    return file.readAll();
}

}  // namespace

class TestSharedFiles : public QObject {
    Q_OBJECT

  private slots:
    void lateCopyIsRead_data();
    void lateCopyIsRead();
    void unreadableFileSurvivesNewBest();
    void twoCopiesStoreBests_data();
    void twoCopiesStoreBests();
    void twoCopiesStoreAtOnce();
    void folderNamedInCodePage932();
    void hugeFiles();
    void pipeSwappedIn();
};

void TestSharedFiles::lateCopyIsRead_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("copy");
    QTest::newRow("jx.hsd") << "jx.hsd" << playedHighScores();
    QTest::newRow("jx.iro") << "jx.iro" << tunedPalette();
}

// The player copies an old file in while the box says a new one will be made: it is read, not
// replaced; at start-up and at a return to the title.
void TestSharedFiles::lateCopyIsRead() {
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
void TestSharedFiles::unreadableFileSurvivesNewBest() {
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
        if (fixture.warnings != QStringList{kHighScoreRead}) return 3;
        if (fixture.form->highScores != defaultHighScores()) return 4;
        finishGame(*fixture.form, 2, 5);
        if (fixture.form->mode != Mode::NameEntry) return 5;
        enterName(*fixture.form, "winner");
        // Every return to the title warns again: the one before the name entry, the one after.
        const QStringList warned = {kHighScoreRead, kHighScoreRead, kHighScoreWrite,
                                    kHighScoreRead};
        if (fixture.warnings != warned) return 6;
        if (chmod(systemPath(fixture.path("jx.hsd")).constData(), 0644) != 0) return 7;
        return fixture.read("jx.hsd") == old ? 0 : 8;
    });
    QCOMPARE(result, 0);
}

void TestSharedFiles::twoCopiesStoreBests_data() {
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
// the game-over picture through the name entry: no best is lost, the higher one of a level stays,
// and every other slot keeps what the file held.
void TestSharedFiles::twoCopiesStoreBests() {
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
            finishGame(*fixture.form, level, qint16(score));
            if (fixture.form->mode != Mode::NameEntry) return 1;
            char byte = 'x';
            if (waits && (write(ready[1], &byte, 1) != 1 || read(go[0], &byte, 1) != 1)) return 2;
            enterName(*fixture.form, name);
            return fixture.warnings.isEmpty() ? 0 : 3;
        };
    };
    const pid_t waiting = fork();
    if (waiting == 0) _exit(copyOfTheGame(waitingLevel, waitingScore, "waiting", true)());
    char byte = 0;
    QCOMPARE(read(ready[0], &byte, 1), ssize_t(1));
    QCOMPARE(inChild(copyOfTheGame(otherLevel, otherScore, "other", false)), 0);
    QCOMPARE(write(go[1], &byte, 1), ssize_t(1));
    int status = 0;
    QCOMPARE(waitpid(waiting, &status, 0), waiting);
    QVERIFY(WIFEXITED(status));
    for (int fd : {ready[0], ready[1], go[0], go[1]}) close(fd);
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
void TestSharedFiles::twoCopiesStoreAtOnce() {
    constexpr int kBests = 40;
    QTemporaryDir folder;
    writeFile(folder.filePath("jx.hsd"), defaultHighScoreBytes());
    writeFile(folder.filePath("jx.iro"), tunedPalette());
    const auto storeBests = [&folder](int level) {
        return [&folder, level] {
            StartedForm fixture(QSize(15360, 11520), 1, DataFolder(folder.path()));
            for (int score = 1; score <= kBests; ++score) {
                finishGame(*fixture.form, level, qint16(score));
                enterName(*fixture.form, QStringLiteral("level %1").arg(level));
            }
            return fixture.warnings.isEmpty() ? 0 : 1;
        };
    };
    const pid_t first = fork();
    if (first == 0) _exit(storeBests(5)());
    QCOMPARE(inChild(storeBests(6), 60), 0);
    int status = 0;
    QCOMPARE(waitpid(first, &status, 0), first);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const HighScoreTable table = decodeHighScores(contentOf(folder.filePath("jx.hsd")));
    QCOMPARE(table[5].bestScore, qint16(kBests));
    QCOMPARE(table[6].bestScore, qint16(kBests));
}

// A folder named in code page 932 bytes works like any other, and renamed while the game runs it
// stays the game's folder: a new folder of the old name is left alone.
void TestSharedFiles::folderNamedInCodePage932() {
    QTemporaryDir parent;
    const QByteArray base = systemPath(parent.path()) + '/';
    const QByteArray named = base + "\x83\x65\x83\x58\x83\x67", renamed = base + "\x90\xd4\x90\xc2";
    QCOMPARE(mkdir(named.constData(), 0700), 0);
    const QByteArray started = QFile::encodeName(QDir::currentPath());
    QCOMPARE(chdir(named.constData()), 0);
    FormFixture fixture(QSize(15360, 11520), 1, DataFolder());
    QCOMPARE(chdir(started.constData()), 0);

    fixture.form->Form_Load();
    QCOMPARE(fixture.warnings, (QStringList{kHighScoreRead, kPaletteRead}));
    QCOMPARE(rawContent(named + "/jx.hsd"), defaultHighScoreBytes());
    QCOMPARE(rawContent(named + "/jx.iro"), defaultPaletteBytes());

    QCOMPARE(rename(named.constData(), renamed.constData()), 0);
    QCOMPARE(mkdir(named.constData(), 0700), 0);
    fixture.warnings.clear();
    finishGame(*fixture.form, 1, 3);
    enterName(*fixture.form, "moved");
    QCOMPARE(fixture.warnings, QStringList{});
    QCOMPARE(decodeHighScores(rawContent(renamed + "/jx.hsd"))[1].bestScore, qint16(3));
    QCOMPARE(rmdir(named.constData()), 0);  // only an empty folder can be removed
    for (const char* name : {"/jx.hsd", "/jx.iro"}) unlink(renamed + name);
    QCOMPARE(rmdir(renamed.constData()), 0);
}

// Files of 30 GiB, nearly all of it a hole: read at start without a crash, saved over with their
// size kept and nothing filled in.
void TestSharedFiles::hugeFiles() {
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

    finishGame(*fixture.form, 9, 1000);
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
    QCOMPARE(fixture.form->highScores[9].bestScore, qint16(1000));
    QCOMPARE(fixture.form->colourRGB, defaultPalette());
}

// Another program swaps a pipe and the file in and out of jx.hsd all the while: returns to the
// title never wait on the pipe, and the file itself is never replaced.
void TestSharedFiles::pipeSwappedIn() {
    constexpr int kResets = 400;
    FormFixture fixture;
    fixture.write("jx.iro", tunedPalette());
    fixture.write("file", playedHighScores());
    QCOMPARE(mkfifo(systemPath(fixture.path("pipe")).constData(), 0644), 0);
    const QByteArray swap = systemPath(fixture.path("swap")),
                     target = systemPath(fixture.path("jx.hsd"));
    const pid_t swapper = fork();
    if (swapper == 0) {
        for (;;) {
            for (const char* thing : {"pipe", "file"}) {
                if (link(systemPath(fixture.path(thing)).constData(), swap.constData()) == 0)
                    rename(swap.constData(), target.constData());
            }
        }
    }
    const int result = inChild([&] {
        for (int i = 0; i < kResets; ++i) fixture.form->Reset(false);
        return 0;
    });
    kill(swapper, SIGKILL);
    waitpid(swapper, nullptr, 0);
    QVERIFY2(result != -SIGALRM, "a return to the title waited on the pipe");
    QCOMPARE(result, 0);
    QCOMPARE(fixture.read("file"), playedHighScores());
}

QTEST_MAIN(TestSharedFiles)
#include "test_shared_files.moc"
