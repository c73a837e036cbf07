#pragma once
// Writing and reading whole files in tests, the data files' calls on paths, and forked children
// that may run as another user.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The whole file, or "<unreadable>".
inline QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// The data files' calls on a file named by its path, as tests name their files.
#include "window/datafile.h"

#include <QFileInfo>

inline DataFileRead readFileAt(const QString& path, qsizetype bytes = 1 << 16) {
    const QFileInfo file(path);
    return readDataFile(DataFolder(file.path()), file.fileName(), bytes);
}

inline bool saveFileAt(const QString& path, const QByteArray& records, QString* why = nullptr) {
    const QFileInfo file(path);
    return saveOverStart(DataFolder(file.path()), file.fileName(), records, why);
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

// The user a test switches to when it runs as root, who may read and write anything: "nobody";
// null when the tests do not run as root or there is no such user.
inline const passwd* otherUser() {
    return geteuid() == 0 ? getpwnam("nobody") : nullptr;
}

// In a forked child: becomes `user` for good; false when the system refuses.
inline bool becomeUser(const passwd& user) {
    return setgroups(0, nullptr) == 0 && setgid(user.pw_gid) == 0 && setuid(user.pw_uid) == 0;
}
