#pragma once
// Writing and reading whole files in tests.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

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
