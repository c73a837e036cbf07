// Saves that fail, die or race with others: the file always holds whole records, the old or the
// new; a failure is reported and leaves nothing behind.
#include "testfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/statvfs.h>

#include <memory>
#include <optional>
#include <thread>

namespace {

// Records of jx.hsd's size that differ all along.
const QByteArray kFirst = QByteArray("first records ").repeated(36);
const QByteArray kSecond = QByteArray("SECOND records").repeated(36);
const QByteArray kDefaults = QByteArray("the defaults  ").repeated(36);

// In a child with mounts of its own: a tmpfs of 8 KiB on `folder`, filled up but for `old`.
bool fullDiskAt(const QString& folder, const QString& file, const QByteArray& old) {
    const QByteArray path = QFile::encodeName(folder);
    if (!ownMounts() || mount("tmpfs", path.constData(), "tmpfs", 0, "size=8k") != 0) return false;
    QFile kept(file);
    if (!old.isNull() && (!kept.open(QIODevice::WriteOnly) || kept.write(old) != old.size()))
        return false;
    QFile filler(folder + "/filler");
    if (!filler.open(QIODevice::WriteOnly)) return false;
    while (filler.write(QByteArray(512, 'f')) > 0 && filler.flush()) {
    }
    struct statvfs room {};
    return statvfs(path.constData(), &room) == 0 && room.f_bavail == 0;
}

}  // namespace

class TestSaveFaults : public QObject {
    Q_OBJECT

  private slots:
    void failuresKeepTheOldBytes_data() {
        QTest::addColumn<QString>("fault");   // "file-size limit", "full disk" or "lease"
        QTest::addColumn<QByteArray>("old");  // null: a file to create
        QTest::newRow("file-size limit during a write") << "file-size limit" << kSecond.left(404);
        QTest::newRow("file-size limit during a create") << "file-size limit" << QByteArray();
        QTest::newRow("full disk during a write") << "full disk" << QByteArray("");
        QTest::newRow("full disk during a create") << "full disk" << QByteArray();
        QTest::newRow("lease another program never gives up") << "lease" << kSecond;
        QTest::newRow("every fsync fails with a full disk") << "fsync" << kSecond;
    }

    // A write cut short, by a full disk or a file-size limit (whose signal the game ignores), or a
    // file another program holds a lease on, leaves the file's old bytes and size, or no file, and
    // nothing beside it; the save says why, within its few seconds, and says nothing of bytes it
    // could not put back.
    void failuresKeepTheOldBytes() {
        QFETCH(QString, fault);
        QFETCH(QByteArray, old);
        QTemporaryDir top;
        QString folder = top.filePath("disk"), file = folder + "/jx.hsd";
        QVERIFY(QDir().mkdir(folder));
        if (fault != "full disk" && !old.isNull()) writeFile(file, old);
        std::unique_ptr<FuseFolder> fuse;
        if (fault == "fsync") {
            QVERIFY(QDir().mkdir(top.filePath("mounted")));
            fuse = std::make_unique<FuseFolder>(plainFuseFolder({"--fail", "fsync:ENOSPC"}), folder,
                                                top.filePath("mounted"));
            if (!fuse->skipped.isEmpty()) QSKIP(qPrintable(fuse->skipped));
            folder = fuse->mountPoint;
            file = folder + "/jx.hsd";
        }
        std::optional<HoldingChild> lease;
        if (fault == "lease")
            lease.emplace([&] {
                signal(SIGIO, SIG_IGN);  // told to give the lease up, and never does
                const int fd = open(QFile::encodeName(file).constData(), O_RDONLY);
                return fcntl(fd, F_SETLEASE, F_RDLCK) == 0;
            });
        const int result = lease && !lease->holds ? 10 : inChild([&] {
            if (fault == "full disk" && !fullDiskAt(folder, file, old)) return 10;
            signal(SIGXFSZ, SIG_IGN);      // as the game does from its start
            const rlimit limit{450, 450};  // less than the records
            if (fault == "file-size limit" && setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
            const QStringList before = entriesOf(folder);
            const SaveResult save = saveFileAt(file, kFirst);
            if (saved(save) || save.reason.isEmpty()) return 1;
            if (old.isNull() ? QFileInfo::exists(file) : contentOf(file) != old) return 2;
            if (save.reason.contains("could not be put back")) return 4;  // they were
            return entriesOf(folder) == before ? 0 : 3;
        });
        if (result == 10) QSKIP("the kernel refuses a tmpfs, a file-size limit or a lease here");
        QCOMPARE(result, 0);
    }

    // A game killed at any moment of its saves leaves whole records, the old or the new.
    void killedSavesLeaveWholeRecords() {
        constexpr int kKills = 200;
        QTemporaryDir folder;
        const QString file = folder.filePath("jx.hsd");
        writeFile(file, kFirst);
        for (int kill = 0; kill < kKills; ++kill) {
            const pid_t game = fork();
            if (game == 0)
                for (int save = 0;; ++save) saveFileAt(file, save % 2 ? kFirst : kSecond);
            usleep(QRandomGenerator::global()->bounded(20000));
            ::kill(game, SIGKILL);
            waitpid(game, nullptr, 0);
            const QByteArray now = contentOf(file);
            QVERIFY2(now == kFirst || now == kSecond, now.constData());
        }
        QCOMPARE(entriesOf(folder.path()), QStringList{"jx.hsd"});
    }

    void saveWaitsForOthers_data() {
        QTest::addColumn<bool>("replaced");  // the file, else its folder, is locked
        QTest::newRow("another program replaces the locked file") << true;
        QTest::newRow("someone holds the folder's lock forever") << false;
    }

    // A save waits for whoever holds the file's lock; another program putting a new file in the
    // name's place meanwhile gets the save in the new file, never in the old one that lost its
    // name. A lock on the folder, which anyone who may list it can take, holds up nothing.
    void saveWaitsForOthers() {
        QFETCH(bool, replaced);
        QTemporaryDir folder;
        const QString file = folder.filePath("jx.hsd"), next = folder.filePath("next");
        writeFile(file, kFirst);
        writeFile(next, kDefaults);
        const int oldFile = open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
        const int holder = open(QFile::encodeName(replaced ? file : folder.path()).constData(),
                                O_RDONLY | O_CLOEXEC);
        QCOMPARE(flock(holder, LOCK_EX), 0);
        std::thread otherProgram([&] {
            if (!replaced) return;
            QTest::qSleep(200);
            rename(QFile::encodeName(next).constData(), QFile::encodeName(file).constData());
            close(holder);
        });
        const auto second = [](const DataFileRead&) { return std::optional(kSecond); };
        QVERIFY(saved(saveDataFile(DataFolder(folder.path()), "jx.hsd", kSecond.size(), second)));
        otherProgram.join();
        QCOMPARE(contentOf(file), kSecond);
        QCOMPARE(contentOf("/proc/self/fd/" + QString::number(oldFile)),
                 replaced ? kFirst : kSecond);
        close(oldFile);
        if (!replaced) close(holder);
    }

    void creatorReaderAndSaverAtOnce_data() {
        QTest::addColumn<QStringList>("fuse");  // the FUSE folder it plays in, if any
        QTest::newRow("folder on the disk") << QStringList();
        QTest::newRow("FUSE folder") << plainFuseFolder();
        QTest::newRow("network folder answering EPERM to a lost create")
            << plainFuseFolder({"--lost-creates"});
    }

    // In an empty folder a copy of the game creating the file at its start, one reading it and one
    // saving over it start together: nobody reads anything but whole records, nobody fails, and the
    // defaults never replace the save.
    void creatorReaderAndSaverAtOnce() {
        QFETCH(QStringList, fuse);
        constexpr int kRounds = 30;
        QTemporaryDir top;
        QString folder = top.path();
        std::unique_ptr<FuseFolder> mounted;
        if (!fuse.isEmpty()) {
            QVERIFY(QDir().mkdir(top.filePath("real")) && QDir().mkdir(top.filePath("mounted")));
            mounted =
                std::make_unique<FuseFolder>(fuse, top.filePath("real"), top.filePath("mounted"));
            if (!mounted->skipped.isEmpty()) QSKIP(qPrintable(mounted->skipped));
            folder = mounted->mountPoint;
        }
        const auto defaultsIfMissing = [](const DataFileRead& now) {
            return now.state == DataFileRead::State::Missing ? std::optional(kDefaults)
                                                             : std::nullopt;
        };
        for (int round = 0; round < kRounds; ++round) {
            const QString name = QStringLiteral("jx%1.hsd").arg(round);
            const QString file = folder + '/' + name;
            QVERIFY(together(3, [&](int child) -> int {
                const DataFolder data(folder);
                if (child == 0)
                    return saveDataFile(data, name, kDefaults.size(), defaultsIfMissing).outcome ==
                           SaveResult::Outcome::Failed;
                if (child == 1) return saved(saveFileAt(file, kSecond)) ? 0 : 1;
                for (int reads = 0; reads < 200; ++reads) {
                    const DataFileRead now = readDataFile(data, name, kDefaults.size());
                    if (now.state == DataFileRead::State::Read && now.bytes != kDefaults &&
                        now.bytes != kSecond)
                        return 1;
                }
                return 0;
            }));
            QCOMPARE(contentOf(file), kSecond);
        }
    }

    // A copy of the game reading the file while another saves it over and over sees whole records.
    void readersSeeWholeRecords() {
        QTemporaryDir folder;
        const QString file = folder.filePath("jx.hsd");
        writeFile(file, kFirst);
        const pid_t saver = fork();
        if (saver == 0)
            for (int save = 0;; ++save) saveFileAt(file, save % 2 ? kFirst : kSecond);
        const DataFolder data(folder.path());
        int reads = 0, mixed = 0;
        for (QDeadlineTimer deadline(1000); !deadline.hasExpired(); ++reads) {
            const QByteArray now = readDataFile(data, "jx.hsd", kFirst.size()).bytes;
            mixed += now != kFirst && now != kSecond;
        }
        kill(saver, SIGKILL);
        waitpid(saver, nullptr, 0);
        qInfo("%d reads during saves", reads);
        QCOMPARE(mixed, 0);
    }

    void readerWaitsForWholeRecords_data() {
        QTest::addColumn<QByteArray>("before");  // what the file holds when the reader comes
        QTest::addColumn<QByteArray>(
            "finished");  // what the writer leaves, null: it never finishes
        QTest::addColumn<QByteArray>("read");
        QTest::newRow("a save half written")
            << kSecond.left(200) + kFirst.mid(200) << kSecond << kSecond;
        QTest::newRow("a lock never given back") << kFirst << QByteArray() << kFirst;
    }

    // A reader waits for whoever writes the file under its lock, and after a moment reads it
    // anyway, saying so.
    void readerWaitsForWholeRecords() {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, finished);
        QFETCH(QByteArray, read);
        QTemporaryDir folder;
        const QString file = folder.filePath("jx.hsd");
        writeFile(file, before);
        const int writer = open(QFile::encodeName(file).constData(), O_WRONLY | O_CLOEXEC);
        QCOMPARE(flock(writer, LOCK_EX), 0);
        bool whole = finished.isNull();
        std::thread finishing([&] {
            if (finished.isNull()) return;
            QTest::qSleep(100);
            whole = pwrite(writer, finished.constData(), finished.size(), 0) == finished.size();
            close(writer);
        });
        QElapsedTimer waited;
        waited.start();
        const DataFileRead now = readDataFile(DataFolder(folder.path()), "jx.hsd", kFirst.size());
        finishing.join();
        QVERIFY(whole);
        QCOMPARE(now.bytes, read);
        QCOMPARE(now.reason.isEmpty(), !finished.isNull());
        // A lock never given back is waited for a moment, and the bytes come within the patience.
        QVERIFY(waited.elapsed() >= (finished.isNull() ? kReadLockWait.count() : 100));
        QVERIFY(waited.elapsed() < kReadPatience.count());
        if (finished.isNull()) close(writer);
    }
};

QTEST_GUILESS_MAIN(TestSaveFaults)
#include "test_save_faults.moc"
