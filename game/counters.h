#pragma once
// The game's 16-bit counters stop at the ends of their range instead of wrapping.

#include <QtGlobal>

#include <algorithm>
#include <limits>

// value + delta, held within the signed 16-bit range.
constexpr qint16 addSaturating(qint16 value, int delta) {
    const int sum = int(value) + delta;
    return qint16(std::clamp(sum, int(std::numeric_limits<qint16>::min()),
                             int(std::numeric_limits<qint16>::max())));
}
