// Saves interrupted at every byte and at the commit, crashes in the middle of a save, a full
// disk, and odd things named like a data file (tested here and nowhere else): the old file always
// survives whole, a failure is always reported, and nothing ever holds up the game.
#include "formfixture.h"
#include "testfiles.h"
#include "window/datafile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace {

constexpr int kStopped = 42;  // exit code of a child stopped by an injected crash
const QByteArray kTail = "-- kept beyond it --";  // 20 bytes past the records of jx.hsd

// Every slot holds a full-length name, so that old and new records differ all along.
QByteArray highScoreRecords(bool old) {
    HighScoreTable table;
    for (int level = 1; level <= kLevelCount; ++level) {
        const QString name = old ? QString(kNameChars, QChar(u'a' + level))
                                 : QString(kNameBytes / 2, QChar(level % 2 ? u'赤' : u'青'));
        table[level] = {name, qint16(old ? 257 * level : 30000 + level)};
    }
    return encodeHighScores(table);
}

QByteArray paletteRecords(bool old) {
    ColourTable table = defaultPalette();
    for (int index = 1; old && index <= kColourCount; ++index)
        table[index] = {qint16(3 * index), qint16(3 * index + 100), qint16(3 * index + 200)};
    return encodePalette(table);
}

// Saves `records` through the window's own save of that file, as the game does: for jx.hsd the
// new best of level 1 they hold, for jx.iro the whole palette.
bool saveThroughWindow(Form1& form, const QString& name, const QByteArray& records) {
    if (name == QLatin1String("jx.hsd")) {
        form.highScores = decodeHighScores(records);
        form.level = 1;
        return form.storeBestScore();
    }
    form.colourRGB = decodePalette(records);
    return form.savePalette();
}

// What the file at first holding `old` holds after saveThroughWindow() of `records`.
QByteArray savedThroughWindow(const QString& name, const QByteArray& old,
                              const QByteArray& records) {
    const qsizetype replaced =
        name == QLatin1String("jx.hsd") ? kHighScoreRecordBytes : records.size();
    return records.left(replaced) + old.mid(replaced);
}

// Every entry of a folder with its size, to see what a save leaves behind.
QStringList entriesOf(const QString& folder) {
    QStringList entries;
    const auto flags = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    for (const QFileInfo& entry : QDir(folder).entryInfoList(flags, QDir::Name))
        entries << QStringLiteral("%1 (%2 bytes)").arg(entry.fileName()).arg(entry.size());
    return entries;
}

// The entries beside the file at `path`, as entriesOf() gives them.
QStringList leftoversBeside(const QString& path) {
    const QFileInfo file(path);
    QStringList entries = entriesOf(file.path());
    entries.removeIf([&](const QString& entry) { return entry.startsWith(file.fileName() + ' '); });
    return entries;
}

// What lies at `path` itself, a link not followed: "link", "pipe", "folder", "file" or "missing".
QString kindOf(const QString& path) {
    struct stat status;
    if (lstat(QFile::encodeName(path).constData(), &status) != 0) return "missing";
    if (S_ISLNK(status.st_mode)) return "link";
    if (S_ISFIFO(status.st_mode)) return "pipe";
    if (S_ISDIR(status.st_mode)) return "folder";
    return S_ISREG(status.st_mode) ? "file" : "other";
}

// The fault points of one save of `size` bytes: each count of bytes the write may take (all of
// them too when the program stops there) and the commit.
QList<SaveFault> faultPoints(qint64 size, bool stopping) {
    QList<SaveFault> points;
    for (qint64 bytes = 0; bytes < size + (stopping ? 1 : 0); ++bytes)
        points << SaveFault{SaveFault::Point::Write, bytes, {}};
    points << SaveFault{SaveFault::Point::Commit, 0, {}};
    if (stopping)
        for (SaveFault& point : points) point.stop = [] { _exit(kStopped); };
    return points;
}

QString describe(const SaveFault& fault) {
    return fault.point == SaveFault::Point::Commit
               ? QStringLiteral("at the commit")
               : QStringLiteral("after %1 bytes").arg(fault.bytes);
}

}  // namespace

class TestSaveFaults : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() { injectSaveFault(std::nullopt); }
    void cleanupTestCase();
    void failedSaveKeepsOldFile_data() { bothFiles(); }
    void failedSaveKeepsOldFile();
    void crashKeepsOldFile_data() { bothFiles(); }
    void crashKeepsOldFile();
    void fullDiskKeepsOldFile_data() { bothFiles(); }
    void fullDiskKeepsOldFile();
    void oddThingsNamedLikeTheFile_data();
    void oddThingsNamedLikeTheFile();
    void startsWithSomethingNamedLikeTheFile_data();
    void startsWithSomethingNamedLikeTheFile();

  private:
    void bothFiles();
    int failuresTried = 0, crashesTried = 0;
};

void TestSaveFaults::bothFiles() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<QByteArray>("records");
    QTest::addColumn<QString>("warning");
    QTest::newRow("jx.hsd") << "jx.hsd" << highScoreRecords(true) + kTail << highScoreRecords(false)
                            << "ハイスコアデータを保存できませんでした。";
    QTest::newRow("jx.iro") << "jx.iro" << paletteRecords(true) << paletteRecords(false)
                            << "色データを保存できませんでした。";
}

void TestSaveFaults::cleanupTestCase() {
    qInfo(
        "fault points tried: %d in all; %d failures (each saved directly and through the window) "
        "and %d crashes",
        failuresTried + crashesTried, failuresTried, crashesTried);
}

// A save that fails after any number of bytes, or at the commit, leaves the old file whole and
// no temporary file, and says so: with a reason, and through the window with a warning box.
void TestSaveFaults::failedSaveKeepsOldFile() {
    QFETCH(QString, name);
    QFETCH(QByteArray, old);
    QFETCH(QByteArray, records);
    QFETCH(QString, warning);
    FormFixture fixture;
    const QString path = fixture.path(name);
    writeFile(path, old);
    const QStringList before = entriesOf(fixture.folder.path());

    for (const SaveFault& fault : faultPoints(old.size(), false)) {
        injectSaveFault(fault);
        QString why;
        QVERIFY2(!saveFileAt(path, records, &why), qPrintable(describe(fault)));
        QVERIFY2(!why.isEmpty(), qPrintable(describe(fault)));
        QVERIFY2(contentOf(path) == old, qPrintable(describe(fault)));

        fixture.warnings.clear();
        QVERIFY2(!saveThroughWindow(*fixture.form, name, records), qPrintable(describe(fault)));
        QCOMPARE(fixture.warnings, QStringList{"書き込みエラー|" + warning});
        QVERIFY2(contentOf(path) == old, qPrintable(describe(fault)));
        QCOMPARE(entriesOf(fixture.folder.path()), before);
        ++failuresTried;
    }

    injectSaveFault(std::nullopt);
    QVERIFY(saveThroughWindow(*fixture.form, name, records));
    QCOMPARE(contentOf(path), savedThroughWindow(name, old, records));
}

// A program that dies anywhere in a save leaves the old file whole; the next save removes the
// copies such crashes left, and nothing else beside the file.
void TestSaveFaults::crashKeepsOldFile() {
    QFETCH(QString, name);
    QFETCH(QByteArray, old);
    QFETCH(QByteArray, records);
    QTemporaryDir folder;
    const QString path = folder.filePath(name);
    writeFile(path, old);

    const QList<SaveFault> points = faultPoints(old.size(), true);
    for (const SaveFault& fault : points) {
        const int result = inChild([&] {
            injectSaveFault(fault);
            saveFileAt(path, records);
            return 0;  // the save ran past its fault point
        });
        QVERIFY2(result == kStopped, qPrintable(describe(fault)));
        QVERIFY2(contentOf(path) == old, qPrintable(describe(fault)));
        ++crashesTried;
    }
    qInfo("%s: copies left by %lld crashes: %lld", qPrintable(name), qlonglong(points.size()),
          qlonglong(leftoversBeside(path).size()));

    // A crash between renaming and syncing leaves a copy such as the first; the others are files
    // of the player's or of other programs that merely look alike.
    writeFile(path + kSaveCopyMarker + "Ab12Cd", records + old.mid(records.size()));
    const QStringList foreign = {
        path + ".Ab12Cd", path + ".XyZ789", path + kSaveCopyMarker + "1234567",
        path + kSaveCopyMarker + "Ab-2Cd", path + "x" + kSaveCopyMarker + "Ab12Cd"};
    for (const QString& other : foreign) writeFile(other, records.left(10));
    QString why;
    QVERIFY2(saveFileAt(path, records, &why), qPrintable(why));
    QCOMPARE(contentOf(path), records + old.mid(records.size()));
    QStringList expected;
    for (const QString& other : foreign)
        expected << QStringLiteral("%1 (10 bytes)").arg(QFileInfo(other).fileName());
    expected.sort();
    QCOMPARE(leftoversBeside(path), expected);
}

namespace {

// How a save onto a full disk went, told by the child that mounted the disk.
enum DiskResult {
    kRefusedAndKept = 20,
    kNoNamespace,
    kNoDisk,
    kNotFull,
    kSavedOnFullDisk,
    kRefusedSilently,
    kOldFileChanged,
    kTemporaryLeft,
    kLaterSaveFailed,
};

QString describeDiskResult(int result) {
    static const QStringList names = {
        "refused, old file kept", "no namespace",        "no disk",
        "disk not full",          "saved on full disk",  "refused without a reason",
        "old file changed",       "temporary file left", "later save failed"};
    const int index = result - kRefusedAndKept;
    return index >= 0 && index < names.size() ? names[index] : QString::number(result);
}

bool writeSystemFile(const char* path, const QByteArray& text) {
    const int fd = open(path, O_WRONLY | O_CLOEXEC);
    const bool written = fd >= 0 && write(fd, text.constData(), text.size()) == text.size();
    if (fd >= 0) close(fd);
    return written;
}

// In a new user and mount namespace, mounts a tmpfs of 8 KiB on `disk`, puts `old` on it under
// `name`, fills the rest, and saves `records` over it; then saves again with room made.
int saveOnFullDisk(const QString& disk, const QString& name, const QByteArray& old,
                   const QByteArray& records) {
    const QByteArray uid = QByteArray::number(geteuid()), gid = QByteArray::number(getegid());
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return kNoNamespace;
    if (!writeSystemFile("/proc/self/setgroups", "deny") ||
        !writeSystemFile("/proc/self/uid_map", "0 " + uid + " 1") ||
        !writeSystemFile("/proc/self/gid_map", "0 " + gid + " 1"))
        return kNoNamespace;
    mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);  // keep the disk to ourselves
    if (mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
              "size=8k") != 0)
        return kNoDisk;

    const QString path = disk + '/' + name, filler = disk + "/filler";
    QFile oldFile(path);
    if (!oldFile.open(QIODevice::WriteOnly) || oldFile.write(old) != old.size()) return kNoDisk;
    oldFile.close();
    const int fd =
        open(QFile::encodeName(filler).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const QByteArray block(512, 'f');
    while (fd >= 0 && write(fd, block.constData(), block.size()) > 0) {
    }
    if (fd >= 0) close(fd);
    struct statvfs room;
    if (statvfs(QFile::encodeName(disk).constData(), &room) != 0 || room.f_bavail != 0)
        return kNotFull;

    const QStringList before = entriesOf(disk);
    QString why;
    if (saveFileAt(path, records, &why)) return kSavedOnFullDisk;
    if (why.isEmpty()) return kRefusedSilently;
    if (contentOf(path) != old) return kOldFileChanged;
    if (entriesOf(disk) != before) return kTemporaryLeft;

    QFile::remove(filler);
    if (!saveFileAt(path, records) || contentOf(path) != records + old.mid(records.size()))
        return kLaterSaveFailed;
    return kRefusedAndKept;
}

}  // namespace

// A real full disk, a tiny tmpfs mounted where only this test sees it.
void TestSaveFaults::fullDiskKeepsOldFile() {
    QFETCH(QString, name);
    QFETCH(QByteArray, old);
    QFETCH(QByteArray, records);
    QTemporaryDir folder;
    const QString disk = folder.filePath("disk");
    QVERIFY(QDir().mkdir(disk));

    const int result = inChild([&] { return saveOnFullDisk(disk, name, old, records); });
    if (result == kNoNamespace) QSKIP("the kernel refuses a new user and mount namespace");
    if (result == kNoDisk) QSKIP("the kernel refuses to mount a tmpfs in a user namespace");
    QCOMPARE(describeDiskResult(result), describeDiskResult(kRefusedAndKept));
    QCOMPARE(entriesOf(disk), QStringList{});  // the disk was never mounted out here
}

void TestSaveFaults::oddThingsNamedLikeTheFile_data() {
    QTest::addColumn<bool>("saved");
    QTest::addColumn<QString>("after");  // what jx.hsd and elsewhere/target are then
    QTest::newRow("pipe") << false << "pipe, missing";
    QTest::newRow("folder") << false << "folder, missing";
    QTest::newRow("link to a pipe in another folder") << false << "link, pipe";
    QTest::newRow("link to a folder") << false << "link, folder";
    QTest::newRow("dangling link into a missing folder") << false << "link, missing";
    QTest::newRow("link to itself") << false << "link, missing";
}

// Nothing named jx.hsd that is not a plain file is ever read, waited on or replaced; a link that
// leads nowhere, to itself included, is kept and nothing is created where it points.
void TestSaveFaults::oddThingsNamedLikeTheFile() {
    QFETCH(bool, saved);
    QFETCH(QString, after);
    const QByteArray thing = QTest::currentDataTag();
    QTemporaryDir folder;
    const QString path = folder.filePath("jx.hsd"), target = folder.filePath("elsewhere/target");
    if (thing == "pipe") QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    if (thing == "folder") {
        QVERIFY(QDir().mkdir(path));
        writeFile(folder.filePath("jx.hsd/inside"), "kept");
    }
    if (thing == "link to itself") QVERIFY(QFile::link("jx.hsd", path));
    if (thing.startsWith("link to a") || thing.startsWith("dangling"))
        QVERIFY(QFile::link("elsewhere/target", path));
    if (thing == "link to a folder") QVERIFY(QDir().mkpath(target));
    if (thing == "link to a pipe in another folder") {
        QVERIFY(QDir().mkdir(folder.filePath("elsewhere")));
        QCOMPARE(mkfifo(QFile::encodeName(target).constData(), 0644), 0);
    }

    enum { kExists = 1, kRead = 2, kSaved = 4, kReasonGiven = 8 };
    const int result = inChild([&] {
        QString why;
        const DataFileRead::State state = readFileAt(path).state;
        return (state != DataFileRead::State::Missing ? kExists : 0) |
               (state == DataFileRead::State::Read ? kRead : 0) |
               (saveFileAt(path, highScoreRecords(false), &why) ? kSaved : 0) |
               (why.isEmpty() ? 0 : kReasonGiven);
    });
    QVERIFY2(result != -SIGALRM, "blocked");
    QVERIFY(result >= 0);
    QCOMPARE(bool(result & kExists), false);
    QCOMPARE(bool(result & kRead), false);
    QCOMPARE(bool(result & kSaved), saved);
    QCOMPARE(bool(result & kReasonGiven), !saved);
    QCOMPARE(kindOf(path) + ", " + kindOf(target), after);
    if (saved) QCOMPARE(contentOf(path), highScoreRecords(false));
    if (thing == "folder") {
        QCOMPARE(QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), {"inside"});
        QCOMPARE(contentOf(path + "/inside"), QByteArray("kept"));
    }
}

void TestSaveFaults::startsWithSomethingNamedLikeTheFile_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("warnings");
    QTest::addColumn<QString>("thing");
    const QStringList scores{kHighScoreRead, kHighScoreWrite}, palette{kPaletteRead, kPaletteWrite};
    QTest::newRow("pipe as jx.hsd") << "jx.hsd" << scores << "pipe";
    QTest::newRow("pipe as jx.iro") << "jx.iro" << palette << "pipe";
    QTest::newRow("folder as jx.hsd") << "jx.hsd" << scores << "folder";
    QTest::newRow("folder as jx.iro") << "jx.iro" << palette << "folder";
    QTest::newRow("dangling link as jx.hsd") << "jx.hsd" << scores << "dangling link";
    QTest::newRow("dangling link as jx.iro") << "jx.iro" << palette << "dangling link";
    QTest::newRow("link to itself as jx.hsd") << "jx.hsd" << scores << "link to itself";
    QTest::newRow("link to itself as jx.iro") << "jx.iro" << palette << "link to itself";
}

// A pipe, a folder or a link leading nowhere (to itself included) named like a data file holds up
// neither start-up nor saving: the game warns that it cannot read it, then that it cannot save over
// it, runs with the defaults, leaves it as it is and creates nothing where a link points.
void TestSaveFaults::startsWithSomethingNamedLikeTheFile() {
    QFETCH(QString, name);
    QFETCH(QStringList, warnings);
    QFETCH(QString, thing);
    FormFixture fixture;
    const bool scores = name == QLatin1String("jx.hsd");
    const QByteArray other = scores ? paletteRecords(true) : highScoreRecords(true);
    const QString otherName = scores ? "jx.iro" : "jx.hsd";
    fixture.write(otherName, other);
    const QString path = fixture.path(name);
    if (thing == "pipe") QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    if (thing == "folder") QVERIFY(QDir().mkdir(path));
    if (thing == "dangling link") {
        QVERIFY(QDir().mkdir(fixture.path("elsewhere")));
        QVERIFY(QFile::link("elsewhere/x", path));
    }
    if (thing == "link to itself") QVERIFY(QFile::link(name, path));

    const int result = inChild([&] {
        fixture.form->Form_Load();
        if (fixture.warnings != warnings) {
            qWarning("warnings: %s", qPrintable(fixture.warnings.join(" / ")));
            return 1;
        }
        if (!fixture.notOverTheGame.isEmpty()) return 3;  // both boxes over the shown window
        const bool defaults = scores ? fixture.form->highScores == defaultHighScores()
                                     : fixture.form->colourRGB == defaultPalette();
        return defaults ? 0 : 2;
    });
    QVERIFY2(result != -SIGALRM, "start-up blocked");
    QCOMPARE(result, 0);
    QCOMPARE(kindOf(path), thing.contains("link") ? QString("link") : thing);
    QCOMPARE(fixture.read(otherName), other);
    QVERIFY(!QFileInfo::exists(fixture.path("elsewhere/x")));
}

QTEST_MAIN(TestSaveFaults)
#include "test_save_faults.moc"
