#include "deadlinetimer.h"

#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

namespace {

constexpr std::int64_t kNanosPerMilli = 1000 * 1000;
constexpr std::int64_t kNanosPerSecond = 1000 * kNanosPerMilli;

std::int64_t monotonicNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * kNanosPerSecond + now.tv_nsec;
}

timespec fromNanos(std::int64_t nanos) {
    return timespec{time_t(nanos / kNanosPerSecond), long(nanos % kNanosPerSecond)};
}

// A zero period would disarm the timerfd; it counts as 1 ms.
std::int64_t periodNanos(int milliseconds) {
    return std::max(milliseconds, 1) * kNanosPerMilli;
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

std::int64_t DeadlineTimer::countStartNs() const {
    return nextDueNs_ - periodNanos(interval_);
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

// Arming sets the first deadline a period from now (or from the due time of the tick being
// handled) and lets the kernel repeat it every period, so ticks never drift; re-arming or
// disarming drops any expiry not yet taken.
void DeadlineTimer::arm(bool running) {
    itimerspec spec{};
    if (running) {
        const std::int64_t period = periodNanos(interval_);
        const std::int64_t from = inTick_ && restartFromDue_ ? dueNs_ : monotonicNow();
        nextDueNs_ = from + period;
        spec.it_value = fromNanos(nextDueNs_);
        spec.it_interval = fromNanos(period);
    }
    timerfd_settime(fd_, TFD_TIMER_ABSTIME, &spec, nullptr);
}

// One tick for every wake-up, however many periods passed (a late tick is not repeated); the
// ticks stay on the period's grid.
void DeadlineTimer::expired() {
    std::uint64_t expiries = 0;
    if (read(fd_, &expiries, sizeof expiries) != sizeof expiries || expiries == 0) return;
    const std::int64_t period = periodNanos(interval_);
    dueNs_ = nextDueNs_ + std::int64_t(expiries - 1) * period;
    nextDueNs_ = dueNs_ + period;
    if (!enabled_ || !onTimer) return;
    inTick_ = true;
    onTimer();
    inTick_ = false;
}
