// Reading and saving the data files: nothing the player has stored is ever lost to a failed save.
#include "testfiles.h"
#include "window/datafile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <memory>

namespace {

const QByteArray kOld = QByteArray("old holder ").repeated(60);  // 660 bytes
const QByteArray kRecords = QByteArray("new").repeated(168);     // 504 bytes

// What a forked child reports about its save.
enum ChildResult { kSaved = 10, kRefused, kRefusedSilently, kCannotDropPrivileges };

}  // namespace

class TestDataFile : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void tellsFilesFromFolders_data();
    void tellsFilesFromFolders();
    void readsOnlyTheStart();
    void savesOverTheStart_data();
    void savesOverTheStart();
    void keepsPermissions();
    void followsLinkAndKeepsIt();
    void refusesDanglingLink_data() { byWhom(); }
    void refusesDanglingLink();
    void keepsOwnerModeAndAttributes_data();
    void keepsOwnerModeAndAttributes();
    void newFileOfRootBelongsToFolderOwner();
    void hardLinkKeepsItsOtherName();
    void refusesWhatItMayNotWrite_data();
    void refusesWhatItMayNotWrite();
    void keepsOldFileWhenDiskIsFull();

  private:
    void byWhom();
    QString pathOf(const QString& name) const { return folder->filePath(name); }
    QString file() const { return pathOf(QStringLiteral("jx.hsd")); }
    // Entries of the test folder: a failed save must leave no temporary file behind.
    QStringList entries() const {
        return QDir(folder->path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    int saveInChild(bool asOtherUser, rlim_t sizeLimit = RLIM_INFINITY);

    std::unique_ptr<QTemporaryDir> folder;
};

void TestDataFile::init() {
    folder = std::make_unique<QTemporaryDir>();
    QVERIFY(folder->isValid());
}

void TestDataFile::cleanup() {
    QFile::setPermissions(folder->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    folder.reset();
}

// Saves kRecords over file() in a forked child, as user nobody when running as root and
// `asOtherUser` is set, with a file-size limit if given; returns a ChildResult or -1.
int TestDataFile::saveInChild(bool asOtherUser, rlim_t sizeLimit) {
    const passwd* other = asOtherUser ? otherUser() : nullptr;
    if (asOtherUser && geteuid() == 0 && !other) return kCannotDropPrivileges;
    const QString path = file();
    return inChild([&] {
        if (other && !becomeUser(*other)) return int(kCannotDropPrivileges);
        if (sizeLimit != RLIM_INFINITY) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{sizeLimit, sizeLimit};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return int(kCannotDropPrivileges);
        }
        QString why;
        const bool saved = saveFileAt(path, kRecords, &why);
        return int(saved ? kSaved : why.isEmpty() ? kRefusedSilently : kRefused);
    });
}

void TestDataFile::tellsFilesFromFolders_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("exists");
    QTest::newRow("file") << "jx.hsd" << true;
    QTest::newRow("hidden file") << ".jx.hsd" << true;
    QTest::newRow("read-only file") << "read-only" << true;
    QTest::newRow("missing") << "jx.iro" << false;
    QTest::newRow("folder") << "folder" << false;
    QTest::newRow("link to a file") << "link" << true;
    QTest::newRow("link to a folder") << "folder-link" << false;
    QTest::newRow("dangling link") << "dangling" << false;
}

void TestDataFile::tellsFilesFromFolders() {
    QFETCH(QString, name);
    QFETCH(bool, exists);
    writeFile(pathOf("jx.hsd"), kOld);
    writeFile(pathOf(".jx.hsd"), kOld);
    writeFile(pathOf("read-only"), kOld);
    QVERIFY(QFile::setPermissions(pathOf("read-only"), QFile::ReadOwner));
    QVERIFY(QDir(folder->path()).mkdir("folder"));
    QVERIFY(QFile::link("jx.hsd", pathOf("link")));
    QVERIFY(QFile::link("folder", pathOf("folder-link")));
    QVERIFY(QFile::link("nowhere", pathOf("dangling")));
    QCOMPARE(readFileAt(pathOf(name)).state != DataFileRead::State::Missing, exists);
}

// Only the bytes asked for are read, however long the file.
void TestDataFile::readsOnlyTheStart() {
    writeFile(file(), kOld);
    const DataFileRead whole = readFileAt(file(), kOld.size() + 1);
    QCOMPARE(whole.state, DataFileRead::State::Read);
    QCOMPARE(whole.bytes, kOld);
    QCOMPARE(readFileAt(file(), 504).bytes, kOld.left(504));
    writeFile(pathOf("empty"), {});
    QCOMPARE(readFileAt(pathOf("empty")).state, DataFileRead::State::Read);
    QCOMPARE(readFileAt(pathOf("empty")).bytes, QByteArray());
    QCOMPARE(readFileAt(pathOf("missing")).state, DataFileRead::State::Missing);
    QVERIFY(QDir(folder->path()).mkdir("folder"));
    QCOMPARE(readFileAt(pathOf("folder")).state, DataFileRead::State::Missing);
}

void TestDataFile::savesOverTheStart_data() {
    QTest::addColumn<int>("oldSize");  // -1: no file yet
    QTest::addColumn<QByteArray>("saved");
    QTest::newRow("new file") << -1 << kRecords;
    QTest::newRow("empty file") << 0 << kRecords;
    QTest::newRow("shorter file") << 100 << kRecords;
    QTest::newRow("same size") << 504 << kRecords;
    QTest::newRow("longer file keeps its tail") << 660 << kRecords + kOld.mid(504);
}

void TestDataFile::savesOverTheStart() {
    QFETCH(int, oldSize);
    QFETCH(QByteArray, saved);
    if (oldSize >= 0) writeFile(file(), kOld.left(oldSize));
    QString why;
    QVERIFY2(saveFileAt(file(), kRecords, &why), qPrintable(why));
    QCOMPARE(contentOf(file()), saved);
    QCOMPARE(entries(), QStringList{"jx.hsd"});
}

void TestDataFile::keepsPermissions() {
    writeFile(file(), kOld);
    const auto permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther;
    QVERIFY(QFile::setPermissions(file(), permissions));
    QVERIFY(saveFileAt(file(), kRecords));
    const auto ownerGroupOther = QFileDevice::Permissions::fromInt(0x7077);
    QCOMPARE(QFileInfo(file()).permissions() & ownerGroupOther, permissions);
}

void TestDataFile::followsLinkAndKeepsIt() {
    QVERIFY(QDir(folder->path()).mkdir("real"));
    writeFile(pathOf("real/scores"), kOld);
    QVERIFY(QFile::link("real/scores", file()));
    QString why;
    QVERIFY2(saveFileAt(file(), kRecords, &why), qPrintable(why));
    QVERIFY(QFileInfo(file()).isSymLink());
    QCOMPARE(QFileInfo(file()).symLinkTarget(), pathOf("real/scores"));
    QCOMPARE(contentOf(pathOf("real/scores")), kRecords + kOld.mid(504));
    QCOMPARE(QDir(pathOf("real")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"scores"});
}

void TestDataFile::byWhom() {
    QTest::addColumn<bool>("asOtherUser");
    QTest::newRow("saved by root") << false;
    QTest::newRow("saved by another user") << true;
}

// A link that leads to no file counts as a file that cannot be created: nothing is made where it
// points, whoever saves.
void TestDataFile::refusesDanglingLink() {
    QFETCH(bool, asOtherUser);
    QVERIFY(QDir(folder->path()).mkdir("elsewhere"));
    QVERIFY(QFile::setPermissions(pathOf("elsewhere"), QFile::Permissions::fromInt(0x7777)));
    QVERIFY(QFile::setPermissions(folder->path(), QFile::Permissions::fromInt(0x7777)));
    QVERIFY(QFile::link("elsewhere/target", file()));
    const int result = saveInChild(asOtherUser);
    if (result == kCannotDropPrivileges) QSKIP("cannot switch to another user");
    QCOMPARE(result, int(kRefused));
    QVERIFY(QFileInfo(file()).isSymLink());
    QCOMPARE(QDir(pathOf("elsewhere")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{});
}

void TestDataFile::keepsOwnerModeAndAttributes_data() {
    QTest::addColumn<bool>("asOtherUser");
    QTest::addColumn<bool>("throughLink");
    QTest::newRow("another user's file, saved by root") << false << false;
    QTest::newRow("link to another user's file, saved by root") << false << true;
    QTest::newRow("own file, saved by its owner") << true << false;
    QTest::newRow("link to an own file, saved by its owner") << true << true;
}

// Run once with more rights, the game gives the file back as it found it: the owner, group,
// mode and extended attributes of the file it replaced, wherever a link led.
void TestDataFile::keepsOwnerModeAndAttributes() {
    QFETCH(bool, asOtherUser);
    QFETCH(bool, throughLink);
    const passwd* other = otherUser();
    const uid_t owner = other ? other->pw_uid : geteuid();
    const gid_t group = other ? other->pw_gid : getegid();
    const QString real = throughLink ? pathOf("real/scores") : file();
    QVERIFY(QDir(folder->path()).mkdir("real"));
    for (const QString& each : {folder->path(), pathOf("real")})
        QVERIFY(QFile::setPermissions(each, QFile::Permissions::fromInt(0x7777)));
    writeFile(real, kOld);
    if (throughLink) QVERIFY(QFile::link("real/scores", file()));
    const QByteArray realName = QFile::encodeName(real);
    const char kAttribute[] = "user.tintmaze.kept", kValue[] = "by the player";
    if (setxattr(realName.constData(), kAttribute, kValue, sizeof kValue, 0) != 0)
        QSKIP("the file system keeps no extended attributes");
    QCOMPARE(chown(realName.constData(), owner, group), 0);
    QCOMPARE(chmod(realName.constData(), 0640), 0);

    const int result = saveInChild(asOtherUser);
    if (result == kCannotDropPrivileges) QSKIP("cannot switch to another user");
    QCOMPARE(result, int(kSaved));
    QCOMPARE(QFileInfo(file()).isSymLink(), throughLink);
    QCOMPARE(contentOf(real), kRecords + kOld.mid(kRecords.size()));
    struct stat status;
    QCOMPARE(stat(realName.constData(), &status), 0);
    QCOMPARE(status.st_uid, owner);
    QCOMPARE(status.st_gid, group);
    QCOMPARE(status.st_mode & 07777, mode_t(0640));
    char value[sizeof kValue] = {};
    QCOMPARE(getxattr(realName.constData(), kAttribute, value, sizeof value),
             ssize_t(sizeof kValue));
    QCOMPARE(QByteArray(value), QByteArray(kValue));
    QCOMPARE(QDir(pathOf("real")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             throughLink ? QStringList{"scores"} : QStringList{});
}

// Run as root in a player's folder, the game leaves a file the player can save.
void TestDataFile::newFileOfRootBelongsToFolderOwner() {
    const passwd* other = otherUser();
    if (!other) QSKIP("needs root and another user");
    QCOMPARE(chown(QFile::encodeName(folder->path()).constData(), other->pw_uid, other->pw_gid), 0);
    QVERIFY(saveFileAt(file(), kRecords));
    struct stat status;
    QCOMPARE(stat(QFile::encodeName(file()).constData(), &status), 0);
    QCOMPARE(status.st_uid, other->pw_uid);
    QCOMPARE(status.st_gid, other->pw_gid);
}

// A save puts a new file in place of the game's name: another hard link keeps the old content.
void TestDataFile::hardLinkKeepsItsOtherName() {
    writeFile(file(), kOld);
    QCOMPARE(link(QFile::encodeName(file()).constData(),
                  QFile::encodeName(pathOf("other name")).constData()),
             0);
    QVERIFY(saveFileAt(file(), kRecords));
    QCOMPARE(contentOf(file()), kRecords + kOld.mid(kRecords.size()));
    QCOMPARE(contentOf(pathOf("other name")), kOld);
}

void TestDataFile::refusesWhatItMayNotWrite_data() {
    QTest::addColumn<int>("filePermissions");
    QTest::addColumn<bool>("folderWritable");
    const auto readWrite =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther;
    QTest::newRow("read-only folder") << int(readWrite.toInt()) << false;
    QTest::newRow("read-only file") << int((QFile::ReadOwner | QFile::ReadOther).toInt()) << true;
    QTest::newRow("longer file it cannot read")
        << int((QFile::WriteOwner | QFile::WriteOther).toInt()) << true;
}

// Run by another user when the tests run as root, who may write anything.
void TestDataFile::refusesWhatItMayNotWrite() {
    QFETCH(int, filePermissions);
    QFETCH(bool, folderWritable);
    writeFile(file(), kOld);
    QVERIFY(QFile::setPermissions(file(), QFile::Permissions::fromInt(filePermissions)));
    auto folderPermissions =
        QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
    if (folderWritable) folderPermissions |= QFile::WriteOwner | QFile::WriteOther;
    QVERIFY(QFile::setPermissions(folder->path(), folderPermissions));

    const int result = saveInChild(true);
    if (result == kCannotDropPrivileges)
        QSKIP("cannot switch to another user to lose root's rights");
    QCOMPARE(result, int(kRefused));
    QVERIFY(QFile::setPermissions(file(), QFile::ReadOwner | QFile::WriteOwner));
    QCOMPARE(contentOf(file()), kOld);
    QCOMPARE(entries(), QStringList{"jx.hsd"});
}

void TestDataFile::keepsOldFileWhenDiskIsFull() {
    writeFile(file(), kOld);
    // Room for 256 bytes only: the new copy cannot be written whole.
    QCOMPARE(saveInChild(false, 256), int(kRefused));
    QCOMPARE(contentOf(file()), kOld);
    QCOMPARE(entries(), QStringList{"jx.hsd"});
}

QTEST_GUILESS_MAIN(TestDataFile)
#include "test_datafile.moc"
