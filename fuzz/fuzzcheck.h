// What the fuzz targets share: a check that stops the run with the broken property, so that
// libFuzzer keeps the input that broke it.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Stops the run with `what` and where it failed when `condition` is false.
#define FUZZ_CHECK(condition, what)                                         \
    do {                                                                    \
        if (!(condition)) fuzzFailed(__FILE__, __LINE__, #condition, what); \
    } while (false)

[[noreturn]] inline void fuzzFailed(const char* file, int line, const char* condition,
                                    const char* what) {
    std::fprintf(stderr, "%s:%d: property broken: %s (%s)\n", file, line, what, condition);
    std::abort();
}

// The fuzzer's bytes as a view.
inline QByteArrayView bytesOf(const uint8_t* data, size_t size) {
    return QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size));
}

// The text with every U+FFFD (what decoding makes of bytes that are no character) turned into
// "?", what encoding makes of it.
inline QString replacementsAsQuestionMarks(QString text) {
    return text.replace(QChar::ReplacementCharacter, QLatin1Char('?'));
}
