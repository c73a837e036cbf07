#include "window/timer.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

Timer::Timer() : fd_(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)) {
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
    if (fd_ >= 0) close(fd_);
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
    itimerspec setting{};
    if (enabled_) {
        setting.it_value = {period / 1000, (period % 1000) * 1000000L};
        setting.it_interval = setting.it_value;
    }
    timerfd_settime(fd_, 0, &setting, nullptr);
}

// One tick per wake-up, however many periods passed meanwhile: ticks never pile up.
void Timer::expired() {
    std::uint64_t expiries = 0;
    if (read(fd_, &expiries, sizeof expiries) != sizeof expiries || expiries == 0) return;
    if (enabled_ && onTimer) onTimer();
}
