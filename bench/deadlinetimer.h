#pragma once
// A drop-in for the window's periodic timer that ticks on the kernel's clock rather than on the
// event loop's millisecond-rounded waits: a Linux timerfd armed for absolute deadlines, watched by
// the event loop. Same interface as the window's Timer.

#include <QSocketNotifier>

#include <cstdint>
#include <functional>
#include <memory>

class DeadlineTimer {
  public:
    DeadlineTimer();
    ~DeadlineTimer();
    DeadlineTimer(const DeadlineTimer&) = delete;
    DeadlineTimer& operator=(const DeadlineTimer&) = delete;

    int interval() const { return interval_; }
    // Changing the period of a running timer starts its count again.
    void setInterval(int milliseconds);
    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    std::function<void()> onTimer;

    // When set, a count started again from inside onTimer runs from the moment that tick was due
    // rather than from the moment the handler got there. Off by default.
    void setRestartFromDueTime(bool fromDue) { restartFromDue_ = fromDue; }
    // CLOCK_MONOTONIC time in ns at which the running count started.
    std::int64_t countStartNs() const;

  private:
    void arm(bool running);
    void expired();

    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    int interval_ = 0;
    bool enabled_ = false;
    bool restartFromDue_ = false;
    bool inTick_ = false;
    std::int64_t nextDueNs_ = 0;  // CLOCK_MONOTONIC time of the next tick
    std::int64_t dueNs_ = 0;      // when the tick being handled was due
};
