#include "game/layout.h"

#include "game/modes.h"

#include <algorithm>
#include <cmath>
#include <limits>

qint32 halve(double x) {
    constexpr double kLow = std::numeric_limits<qint32>::min();
    constexpr double kHigh = std::numeric_limits<qint32>::max();
    if (std::isnan(x)) return 0;
    double whole = std::round(x);  // halfway cases go away from zero here ...
    if (std::fabs(x - std::trunc(x)) == 0.5) whole = 2.0 * std::round(x / 2.0);  // ... so even them
    return static_cast<qint32>(std::clamp(whole, kLow, kHigh)) / 2;
}

QPoint cellPosition(int level, int index) {
    const int side = qBound(kMinLevel, level, kMaxLevel) + 1;
    const int first = kBoardSize / 2 - side * kCellSize / 2;
    return {first + kCellSize * (index % side), first + kCellSize * (index / side)};
}

qint32 titleLogoThreshold(double picture1Top) {
    constexpr qint32 kTitleLogoHalfHeight = kTitleLogoHeight / 2;
    return halve(picture1Top) - kTitleLogoHalfHeight;
}

qint32 titleLogoRestTop(double picture1Top) {
    const qint64 below = qint64(titleLogoThreshold(picture1Top)) - kTitleLogoStartTop;
    const qint64 steps = below < 0 ? 1 : below / kTitleLogoStep + 1;
    return static_cast<qint32>(kTitleLogoStartTop + steps * kTitleLogoStep);
}

qint32 titleLogoTopAfterMove(qint32 logoTop, qint32 oldPicture1Top, qint32 newPicture1Top) {
    const qint32 rest = titleLogoRestTop(newPicture1Top);
    if (logoTop > titleLogoThreshold(oldPicture1Top)) return rest;
    return std::min(logoTop, rest - kTitleLogoStep);
}

qint32 markerTop(qint32 y1, qint32 y2, qint32 markerHeight, qint32 timeLeft) {
    const qint64 travel = qint64(y2) - markerHeight - y1;
    return static_cast<qint32>(y1 + travel * (kGameTimeUnits - qint64(timeLeft)) / kGameTimeUnits);
}
