// Reading and saving the data files in place: the file stays the file it is, wherever it lives,
// and nothing that is not a plain file the player may write is ever written.
#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>

namespace {

const QByteArray kOld = QByteArray("old holder ").repeated(6);  // 66 bytes
const QByteArray kRecords = QByteArray("new").repeated(14);     // 42 bytes, as jx.iro's
const QByteArray kSaved = kRecords + kOld.mid(kRecords.size());

}  // namespace

class TestDataFile : public QObject {
    Q_OBJECT

  private slots:
    void savesOverTheStart_data() {
        QTest::addColumn<int>("oldSize");  // -1: no file yet
        QTest::addColumn<int>("fileMode");
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<bool>("saves");
        QTest::newRow("new file") << -1 << 0 << 0755 << true;
        QTest::newRow("empty file") << 0 << 0666 << 0755 << true;
        QTest::newRow("shorter file") << 10 << 0666 << 0755 << true;
        QTest::newRow("longer file keeps its tail") << 66 << 0666 << 0755 << true;
        QTest::newRow("file in a read-only folder") << 66 << 0666 << 0555 << true;
        QTest::newRow("read-only file") << 66 << 0444 << 0755 << false;
        QTest::newRow("file it cannot read") << 66 << 0222 << 0755 << false;
        QTest::newRow("new file in a read-only folder") << -1 << 0 << 0555 << false;
    }

    // Saved by a player (nobody when the tests run as root, who may write anything): written in
    // place, a hard link sharing the new bytes, or refused with a reason and the old bytes kept.
    void savesOverTheStart() {
        QFETCH(int, oldSize);
        QFETCH(int, fileMode);
        QFETCH(int, folderMode);
        QFETCH(bool, saves);
        const QByteArray old = oldSize < 0 ? QByteArray("<missing>") : kOld.left(oldSize);
        const QByteArray after = saves ? kRecords + old.mid(kRecords.size()) : old;
        QTemporaryDir top;
        chmodAt(top.path(), 0755);
        const QString folder = top.filePath("folder"), file = folder + "/jx.iro";
        const QString otherName = top.filePath("other name");
        QVERIFY(QDir().mkdir(folder));
        const passwd* other = otherUser();
        if (other) QCOMPARE(chown(QFile::encodeName(folder).constData(), other->pw_uid, 0), 0);
        if (oldSize >= 0) {
            writeFile(file, old);
            chmodAt(file, mode_t(fileMode));
            QCOMPARE(
                link(QFile::encodeName(file).constData(), QFile::encodeName(otherName).constData()),
                0);
        }
        chmodAt(folder, mode_t(folderMode));
        const QString before = identityOf(file);

        const int result = inChild([&] {
            if (other && !becomeUser(*other)) return 3;
            const SaveResult save = saveFileAt(file, kRecords);
            return saved(save) ? 0 : save.reason.endsWith("Permission denied") ? 1 : 2;
        });
        QCOMPARE(result, saves ? 0 : 1);
        chmodAt(folder, 0700);
        QCOMPARE(entriesOf(folder),
                 QFileInfo::exists(file) ? QStringList{"jx.iro"} : QStringList{});
        if (!QFileInfo::exists(file)) {
            QCOMPARE(QByteArray("<missing>"), after);
            return;
        }
        chmodAt(file, 0600);
        QCOMPARE(contentOf(file), after);
        if (oldSize < 0) return;
        QCOMPARE(contentOf(otherName), after);
        chmodAt(file, mode_t(fileMode));
        QCOMPARE(identityOf(file), before);
    }

    void keptWhereverItLives_data() {
        QTest::addColumn<QString>("reason");  // why a save is refused, empty where it saves
        const passwd* other = otherUser();
        const group* others = getgrgid(other ? other->pw_gid : 0);
        const QString user = other ? other->pw_name : "", team = others ? others->gr_name : "";
        QTest::newRow("root through another user's link in a folder others may write")
            << "is a link that user " + user + " made";
        QTest::newRow("root's own link moved into a folder others may write, not sticky")
            << "is a link in a folder every user may write to";
        QTest::newRow("root's own link in a sticky folder all may write") << "";
        QTest::newRow("root's own link in a 0775 folder of its own group") << "";
        QTest::newRow("root's own link in a 0775 folder of its own group, listing another user")
            << "is a link in a folder other users may write to";
        QTest::newRow("root's own link in a 0775 folder of the other user's group")
            << "is a link in a folder the group " + team + " may write to";
        QTest::newRow("root's own link in a 0775 folder of a group naming the other user")
            << "is a link in a folder the group team may write to";
        QTest::newRow("root's own link in a folder the other user owns")
            << "is a link in a folder that user " + user + " owns";
        QTest::newRow("a folder on the way swapped by another user in a folder all may write")
            << "leads through a folder in a folder every user may write to";
        QTest::newRow("a folder on the way kept to root in a sticky folder") << "";
        QTest::newRow("another user's file in a shared folder, saved by root")
            << "belongs to another user in a shared folder";
        QTest::newRow("a folder link another user planted in a shared folder, saved by root")
            << "leads through a link that user " + user + " made";
        QTest::newRow("root's file hard-linked by another user into a shared folder")
            << "has another name in a folder every user may write to";
        QTest::newRow("folder with a default access control list") << "";
        QTest::newRow("FUSE folder without hard links or rename flags") << "";
        QTest::newRow("folder that refuses chmod and chown") << "";
        QTest::newRow("file bind-mounted over the name") << "";
        QTest::newRow("link to a file with a 240-byte name") << "";
        QTest::newRow("a chain of 40 links, as many as the kernel follows") << "";
        QTest::newRow("a chain of 41 links") << "is a link that leads to no file";
        QTest::newRow("link to a shared 0666 file in root's folder, saved by its player") << "";
        QTest::newRow("new file on a system without /proc") << "";
    }

    // Wherever the file lives, a missing one is created and a save writes its records over the file
    // itself: owner, mode, access control list, links and mount stay as they were. Only a file that
    // someone else may have planted on the player is refused: a link or a folder on the way that
    // another user made or may have put there, and another user's file in a shared folder.
    void keptWhereverItLives() {
        QFETCH(QString, reason);
        const bool saves = reason.isEmpty();
        const QByteArray place = QTest::currentDataTag();
        const passwd* other = otherUser();
        if (geteuid() != 0 || !other) QSKIP("needs root and the user nobody");
        QTemporaryDir top;
        chmodAt(top.path(), 0755);
        const QString game = top.filePath("game"), elsewhere = top.filePath("elsewhere");
        QVERIFY(QDir().mkdir(game) && QDir().mkdir(elsewhere));
        QString real = game + "/jx.iro";
        bool asPlayer = false, bindMount = false, noProc = place.contains("/proc");
        std::unique_ptr<FuseFolder> fuse;

        if (place.startsWith("root") && !place.contains("hard-linked")) {
            chmodAt(game, place.contains("0775")          ? 0775
                          : place.contains("in a sticky") ? 01777
                                                          : 0777);
            const QByteArray folder = QFile::encodeName(game);
            if (place.contains("other user's group"))
                QCOMPARE(chown(folder.constData(), 0, other->pw_gid), 0);
            if (place.contains("group naming")) {  // seen through a group file of its own
                writeFile(top.filePath("group"), QByteArray("team:x:4242:") + other->pw_name);
                QCOMPARE(chown(folder.constData(), 0, 4242), 0);
            }
            if (place.contains("listing") &&
                QProcess::execute("setfacl", {"-m", "u:nobody:rwx", game}) != 0)
                QSKIP("setfacl (Debian: acl) cannot set an access control list here");
            if (place.contains("other user owns")) {
                QCOMPARE(chown(folder.constData(), other->pw_uid, 0), 0);
                chmodAt(game, 0755);
            }
            real = elsewhere + "/root only";
            writeFile(real, kOld);
            chmodAt(real, 0600);
            QVERIFY(QFile::link(real, game + "/jx.iro"));
            if (place.startsWith("root through"))
                QCOMPARE(lchown(QFile::encodeName(game + "/jx.iro").constData(), other->pw_uid,
                                other->pw_gid),
                         0);
        } else if (place.contains("on the way")) {
            // game/jx.iro leads through grand/parent; another user renames root's grand/links,
            // holding a link to root's private file, to grand/parent, where the kernel lets it.
            const QString grand = top.filePath("grand");
            QVERIFY(QDir().mkpath(grand + "/parent") && QDir().mkdir(grand + "/links"));
            chmodAt(grand, place.contains("sticky") ? 01777 : 0777);
            writeFile(grand + "/parent/jx.iro", kOld);
            real = elsewhere + "/root only";
            writeFile(real, kOld);
            QVERIFY(QFile::link(real, grand + "/links/jx.iro"));
            QVERIFY(QFile::link("../grand/parent/jx.iro", game + "/jx.iro"));
            const int swapped = inChild([&] {
                const QByteArray parent = QFile::encodeName(grand + "/parent");
                const QByteArray links = QFile::encodeName(grand + "/links");
                return becomeUser(*other) &&
                       rename(parent.constData(), (parent + " away").constData()) == 0 &&
                       rename(links.constData(), parent.constData()) == 0;
            });
            QCOMPARE(swapped, saves ? 0 : 1);  // 1: swapped
            if (saves) real = grand + "/parent/jx.iro";
        } else if (place.contains("folder link")) {
            const QString shared = top.filePath("shared");
            QVERIFY(QDir().mkdir(shared));
            chmodAt(shared, 0777);
            real = elsewhere + "/jx.iro";
            writeFile(real, kOld);
            QVERIFY(QFile::link("../elsewhere", shared + "/d"));
            QCOMPARE(
                lchown(QFile::encodeName(shared + "/d").constData(), other->pw_uid, other->pw_gid),
                0);
            QVERIFY(QFile::link("../shared/d/jx.iro", game + "/jx.iro"));
        } else if (place.contains("hard-linked")) {
            chmodAt(game, 01777);
            real = elsewhere + "/root only";
            writeFile(real, kOld);
            chmodAt(real, 0600);
            QCOMPARE(link(QFile::encodeName(real).constData(),
                          QFile::encodeName(game + "/jx.iro").constData()),
                     0);
        } else if (place.startsWith("another user's")) {
            chmodAt(game, 01777);
            writeFile(real, kOld);
            chmodAt(real, 0666);
            QCOMPARE(chown(QFile::encodeName(real).constData(), other->pw_uid, other->pw_gid), 0);
        } else if (place.startsWith("folder with")) {
            writeFile(real, kOld);
            chmodAt(real, 0644);
            if (QProcess::execute("setfacl", {"-d", "-m", "u:nobody:rwx,g::r,o::-", game}) != 0)
                QSKIP("setfacl (Debian: acl) cannot set a default access control list here");
        } else if (place.startsWith("FUSE") || place.contains("refuses chmod")) {
            const QStringList server =
                place.startsWith("FUSE")
                    ? plainFuseFolder()
                    : QStringList{"bindfs", "-f", "--chmod-deny", "--chown-deny"};
            fuse = std::make_unique<FuseFolder>(server, elsewhere, game);
            if (!fuse->skipped.isEmpty()) QSKIP(qPrintable(fuse->skipped));
        } else if (place.startsWith("file bind-mounted")) {
            bindMount = true;
            real = elsewhere + "/mounted";
            writeFile(real, kOld);
            writeFile(game + "/jx.iro", "covered");
        } else if (place.contains("240-byte")) {
            real = elsewhere + '/' + QString(240, 'x');
            writeFile(real, kOld);
            QVERIFY(QFile::link(real, game + "/jx.iro"));
        } else if (place.startsWith("a chain of")) {  // game/jx.iro, then elsewhere/1, 2, ...
            const int links = place.mid(11, 2).toInt();
            real = elsewhere + "/root only";
            writeFile(real, kOld);
            for (int i = 1; i < links; ++i)
                QVERIFY(QFile::link(i + 1 < links ? QString::number(i + 1) : "root only",
                                    elsewhere + '/' + QString::number(i)));
            QVERIFY(QFile::link("../elsewhere/1", game + "/jx.iro"));
        } else if (!noProc) {
            asPlayer = true;
            QCOMPARE(chown(QFile::encodeName(game).constData(), other->pw_uid, other->pw_gid), 0);
            real = elsewhere + "/scores";
            writeFile(real, kOld);
            chmodAt(real, 0666);
            QVERIFY(QFile::link("../elsewhere/scores", game + "/jx.iro"));
        }

        const int result = inChild([&] {
            const QByteArray from = QFile::encodeName(real),
                             over = QFile::encodeName(game + "/jx.iro");
            if (bindMount && (!ownMounts() ||
                              mount(from.constData(), over.constData(), nullptr, MS_BIND, nullptr)))
                return 10;
            if (noProc && (!ownMounts() || umount2("/proc", MNT_DETACH) != 0)) return 10;
            const QByteArray groups = QFile::encodeName(top.filePath("group"));
            if (QFileInfo::exists(top.filePath("group")) &&
                (!ownMounts() ||
                 mount(groups.constData(), "/etc/group", nullptr, MS_BIND, nullptr) != 0))
                return 10;
            if (asPlayer && !becomeUser(*other)) return 11;
            if (!QFileInfo::exists(real)) {
                if (!saved(saveFileAt(game + "/jx.iro", kOld))) return 1;
                if (contentOf(real) != kOld) return 2;
            }
            const QString before = identityOf(real);
            const SaveResult save = saveFileAt(game + "/jx.iro", kRecords);
            if (saved(save) != saves || save.reason != reason) {
                qWarning("refused as: %s", qPrintable(save.reason));
                return 3;
            }
            if (contentOf(real) != (saves ? kSaved : kOld)) return 4;
            return identityOf(real) == before ? 0 : 5;
        });
        if (result == 10) QSKIP("the kernel refuses a mount of its own here");
        QCOMPARE(result, 0);
        if (!fuse) QCOMPARE(entriesOf(game).size(), 1);  // nothing beside the file
    }
};

QTEST_GUILESS_MAIN(TestDataFile)
#include "test_datafile.moc"
