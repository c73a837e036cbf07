#include "window/timer.h"

// The kernel's timer where the system has one, unless the build forces the QTimer fallback
// (CMake option TINTMAZE_TIMER_FALLBACK; the test test_timer_fallback always does).
#if !defined(TINTMAZE_TIMER_FALLBACK) && __has_include(<sys/timerfd.h>)
#define TINTMAZE_HAVE_TIMERFD 1
#include <sys/timerfd.h>
#include <unistd.h>
#else
#define TINTMAZE_HAVE_TIMERFD 0
#endif

#include <algorithm>
#include <cstdint>

namespace {

// A timerfd ticking on the monotonic clock, or -1 where there is none.
int createKernelTimer() {
#if TINTMAZE_HAVE_TIMERFD
    return timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
#else
    return -1;
#endif
}

}  // namespace

Timer::Timer() : fd_(createKernelTimer()) {
    if (fd_ >= 0) {
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { expired(); });
    } else {
        fallback_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&fallback_, &QTimer::timeout, [this] {
            if (onTimer) onTimer();
        });
    }
}

Timer::~Timer() {
    notifier_.reset();
#if TINTMAZE_HAVE_TIMERFD
    if (fd_ >= 0) close(fd_);
#endif
}

void Timer::setInterval(int milliseconds) {
    interval_ = milliseconds;
    if (enabled_) arm();
}

void Timer::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    arm();
}

// Starts the count from now when running, stops it otherwise; a tick that fell due but was not
// yet delivered is dropped either way.
void Timer::arm() {
    const int period = std::max(interval_, 1);
    if (fd_ < 0) {
        fallback_.setInterval(period);
        if (enabled_)
            fallback_.start();
        else
            fallback_.stop();
        return;
    }
#if TINTMAZE_HAVE_TIMERFD
    itimerspec setting{};
    if (enabled_) {
        setting.it_value = {period / 1000, (period % 1000) * 1000000L};
        setting.it_interval = setting.it_value;
    }
    timerfd_settime(fd_, 0, &setting, nullptr);
#endif
}

// One tick per wake-up, however many periods passed meanwhile: ticks never pile up.
void Timer::expired() {
#if TINTMAZE_HAVE_TIMERFD
    std::uint64_t expiries = 0;
    if (read(fd_, &expiries, sizeof expiries) != sizeof expiries || expiries == 0) return;
    if (enabled_ && onTimer) onTimer();
#endif
}
