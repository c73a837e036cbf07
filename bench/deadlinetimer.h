#pragma once
// A drop-in for the window's periodic timer that ticks on the kernel's clock rather than on the
// event loop's millisecond-rounded waits: a Linux timerfd armed for the period, watched by the
// event loop. Same interface as the window's Timer.

#include <QSocketNotifier>

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

  private:
    void arm(bool running);
    void expired();

    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    int interval_ = 0;
    bool enabled_ = false;
};
