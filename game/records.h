#pragma once
// What the best results and the palette share: a table of records the game counts from 1, and
// the start of a data file as their decoders read it.

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <array>
#include <cstddef>

// Count records indexed from 1, as the game counts them: slot n holds level n's best result,
// record k + 1 colour k.
template <class Record, int Count>
struct RecordTable {
    // Not named "slots": Qt defines that word away as a macro.
    std::array<Record, Count> records;
    // index 1..Count; anything else is a programming error.
    Record& operator[](int index) {
        Q_ASSERT(index >= 1 && index <= Count);
        return records[std::size_t(index - 1)];
    }
    const Record& operator[](int index) const {
        Q_ASSERT(index >= 1 && index <= Count);
        return records[std::size_t(index - 1)];
    }
    bool operator==(const RecordTable&) const = default;
};

// The first `length` bytes of `file`, zero bytes standing for what a short file lacks.
inline QByteArray paddedStart(QByteArrayView file, qsizetype length) {
    QByteArray bytes = file.first(qMin(file.size(), length)).toByteArray();
    bytes.append(length - bytes.size(), '\0');
    return bytes;
}
