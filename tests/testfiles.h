#pragma once
// Writing and reading whole files and high-score records in tests, the data files' calls on
// paths, forked children that may run as another user, start together, hold a lock or have mounts
// of their own, and FUSE folders.

#include "files/datafile.h"
#include "scores/highscores.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QTest>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <functional>

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The whole file at `path`, a name in the system's bytes that need not be UTF-8, or
// "<unreadable>".
inline QByteArray contentOf(const QByteArray& path) {
    QFile file;
    const int fd = open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return "<unreadable>";
    return file.readAll();
}
inline QByteArray contentOf(const QString& path) {
    return contentOf(QFile::encodeName(path));
}

// The record of `level` in the bytes of a high-score file, and all the bytes but that record.
inline QByteArray recordOf(const QByteArray& file, int level) {
    return file.mid(kHighScoreRecordBytes * (level - 1), kHighScoreRecordBytes);
}
inline QByteArray allButRecord(QByteArray file, int level) {
    return file.remove(kHighScoreRecordBytes * (level - 1), kHighScoreRecordBytes);
}

// Every entry of a folder, hidden ones too.
inline QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

// What lies at `path` itself, a link not followed: "file", "link", "pipe", "folder", "missing"
// or "other".
inline QString kindOf(const QString& path) {
    struct stat status {};
    if (lstat(QFile::encodeName(path).constData(), &status) != 0) return "missing";
    if (S_ISLNK(status.st_mode)) return "link";
    if (S_ISFIFO(status.st_mode)) return "pipe";
    if (S_ISDIR(status.st_mode)) return "folder";
    return S_ISREG(status.st_mode) ? "file" : "other";
}

inline void chmodAt(const QString& path, mode_t mode) {
    QCOMPARE(chmod(QFile::encodeName(path).constData(), mode), 0);
}

// Writes `records` over the start of the file at `path`, whatever it holds.
inline SaveResult saveFileAt(const QString& path, const QByteArray& records) {
    const QFileInfo file(path);
    const auto always = [&records](const DataFileRead&) { return std::optional(records); };
    return saveDataFile(DataFolder(file.path()), file.fileName(), records.size(), always);
}

inline bool saved(const SaveResult& result) {
    return result.outcome == SaveResult::Outcome::Saved;
}

// What makes a file the file it is: its inode, links, owner, mode and extended attributes (an
// access control list among them), a link followed.
inline QString identityOf(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (stat(name.constData(), &status) != 0) return QStringLiteral("<missing>");
    QByteArray attributes(4096, '\0');
    const ssize_t listed = listxattr(name.constData(), attributes.data(), attributes.size());
    attributes.truncate(qMax<ssize_t>(listed, 0));
    for (const QByteArray& attribute : attributes.split('\0')) {
        if (attribute.isEmpty()) continue;
        QByteArray value(4096, '\0');
        const ssize_t size = getxattr(name.constData(), attribute.constData(), value.data(), 4096);
        attributes += '=' + value.left(qMax<ssize_t>(size, 0)).toHex();
    }
    return QStringLiteral("inode %1, %2 links, owner %3:%4, mode %5, attributes %6")
        .arg(status.st_ino)
        .arg(status.st_nlink)
        .arg(status.st_uid)
        .arg(status.st_gid)
        .arg(status.st_mode, 0, 8)
        .arg(QString::fromLatin1(attributes.toHex()));
}

// Runs `work` in a forked child, which gets `patienceSeconds` to finish; returns its result, or
// minus the signal that ended it (-SIGALRM: it blocked).
inline int inChild(const std::function<int()>& work, unsigned patienceSeconds = 10) {
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(patienceSeconds);
        _exit(work());
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// Runs `work` in `count` forked children that start together, each given `patienceSeconds`;
// true when all of them return 0.
inline bool together(int count, const std::function<int(int child)>& work,
                     unsigned patienceSeconds = 20) {
    int go[2];
    if (pipe(go) != 0) return false;
    QList<pid_t> children;
    for (int child = 0; child < count; ++child) {
        const pid_t pid = fork();
        if (pid == 0) {
            close(go[1]);
            char byte;
            alarm(patienceSeconds);
            _exit(read(go[0], &byte, 1) == 0 ? work(child) : 99);
        }
        children << pid;
    }
    close(go[0]);
    close(go[1]);
    bool all = true;
    for (pid_t pid : children) {
        int status = 0;
        all =
            waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0 && all;
    }
    return all;
}

// A forked child that takes something another program would hold (a lock, a lease) with `take`
// and holds it until this goes, dying with the test; `holds` says whether it got it.
struct HoldingChild {
    pid_t pid = -1;
    bool holds = false;

    explicit HoldingChild(const std::function<bool()>& take) {
        int told[2];
        if (pipe(told) != 0) return;
        pid = fork();
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            const char got = take() ? 'y' : 'n';
            _exit(write(told[1], &got, 1) == 1 ? (pause(), 0) : 1);
        }
        char got = 'n';
        close(told[1]);
        holds = pid > 0 && read(told[0], &got, 1) == 1 && got == 'y';
        close(told[0]);
    }
    ~HoldingChild() {
        if (pid <= 0) return;
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
};

// The user a test switches to when it runs as root, who may read and write anything: "nobody";
// null when the tests do not run as root or there is no such user.
inline const passwd* otherUser() {
    return geteuid() == 0 ? getpwnam("nobody") : nullptr;
}

// In a forked child: becomes `user` for good; false when the system refuses.
inline bool becomeUser(const passwd& user) {
    return setgroups(0, nullptr) == 0 && setgid(user.pw_gid) == 0 && setuid(user.pw_uid) == 0;
}

// In a forked child: gives it mounts of its own (as root directly, otherwise in a user namespace
// of its own where it is root); false when the kernel refuses.
inline bool ownMounts() {
    if (geteuid() != 0) {
        const QByteArray uid = QByteArray::number(geteuid()), gid = QByteArray::number(getegid());
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
        const auto put = [](const char* path, const QByteArray& text) {
            QFile file(QString::fromLatin1(path));
            return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
        };
        if (!put("/proc/self/setgroups", "deny") || !put("/proc/self/uid_map", "0 " + uid + " 1") ||
            !put("/proc/self/gid_map", "0 " + gid + " 1"))
            return false;
    } else if (unshare(CLONE_NEWNS) != 0) {
        return false;
    }
    return mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// `source` mirrored at `mountPoint` by a FUSE file system, `command` followed by both folders,
// until it goes; `skipped` says why there is none.
struct FuseFolder {
    QProcess server;
    QString mountPoint, skipped;

    FuseFolder(const QStringList& command, const QString& source, const QString& at)
        : mountPoint(at) {
        if (geteuid() != 0 || access("/dev/fuse", R_OK | W_OK) != 0) {
            skipped = QStringLiteral("FUSE folders need root and /dev/fuse");
            return;
        }
        server.start(command.first(), command.mid(1) + QStringList{source, at});
        constexpr long kFuseMagic = 0x65735546;
        struct statfs mounted {};
        for (QDeadlineTimer deadline(5000); !deadline.hasExpired(); QTest::qWait(20))
            if (statfs(QFile::encodeName(at).constData(), &mounted) == 0 &&
                mounted.f_type == kFuseMagic)
                return;
        skipped = QStringLiteral("%1 did not mount: %2")
                      .arg(command.first(), QString::fromLocal8Bit(server.readAllStandardError()));
    }
    ~FuseFolder() {
        if (skipped.isEmpty()) umount2(QFile::encodeName(mountPoint).constData(), MNT_DETACH);
        server.waitForFinished(5000);
    }
};

// A FUSE folder with no hard links, no rename flags and no files without a name, and the given
// options of fuse_folder.py.
inline QStringList plainFuseFolder(const QStringList& options = {}) {
    return QStringList{QStringLiteral(TINTMAZE_TESTS_DIR "/fuse_folder.py")} + options;
}
