#include "deadlinetimer.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace {

constexpr long kNanosPerMilli = 1000 * 1000;

timespec fromMillis(int milliseconds) {
    const int ms = std::max(milliseconds, 1);  // a zero period would disarm the timerfd
    return timespec{ms / 1000, (ms % 1000) * kNanosPerMilli};
}

}  // namespace

DeadlineTimer::DeadlineTimer() : fd_(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)) {
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { expired(); });
}

DeadlineTimer::~DeadlineTimer() {
    notifier_.reset();
    if (fd_ >= 0) close(fd_);
}

void DeadlineTimer::setInterval(int milliseconds) {
    interval_ = milliseconds;
    if (enabled_) arm(true);
}

void DeadlineTimer::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    arm(enabled);
}

// Arming counts from now, a period at a time on the kernel's clock, so ticks never drift;
// re-arming or disarming drops any expiry not yet taken.
void DeadlineTimer::arm(bool running) {
    itimerspec spec{};
    if (running) spec.it_value = spec.it_interval = fromMillis(interval_);
    timerfd_settime(fd_, 0, &spec, nullptr);
}

// One tick for every wake-up, however many periods passed (a late tick is not repeated); the
// ticks stay on the period's grid.
void DeadlineTimer::expired() {
    std::uint64_t expiries = 0;
    if (read(fd_, &expiries, sizeof expiries) != sizeof expiries || expiries == 0) return;
    if (enabled_ && onTimer) onTimer();
}
