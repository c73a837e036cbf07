#pragma once
// The window's one periodic timer. It ticks on the kernel's clock (a timerfd watched by the event
// loop), so ticks keep to their period within a fraction of a millisecond and a change of period
// starts the count again from that moment, without the event loop's rounding to milliseconds.
// Where there is no timerfd (or with the CMake option TINTMAZE_TIMER_FALLBACK) a precise QTimer
// ticks instead, with the same restart on a change of period.

#include <QSocketNotifier>
#include <QTimer>

#include <functional>
#include <memory>

class Timer {
  public:
    Timer();
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    int interval() const { return interval_; }
    // Changing the period of a running timer starts its count again.
    void setInterval(int milliseconds);
    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    std::function<void()> onTimer;
    // Whether it ticks on the kernel's clock (a timerfd) rather than the QTimer fallback.
    bool onKernelClock() const { return fd_ >= 0; }

  private:
    void arm();
    void expired();

    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer fallback_;  // used only where no timerfd can be had
    int interval_ = 0;
    bool enabled_ = false;
};
