#pragma once
// The window's one periodic timer: a precise QTimer whose period and running state can be set
// while it runs; QTimer starts the count of a running timer again from a new period.

#include <QTimer>

#include <functional>

class Timer : public QTimer {
  public:
    Timer() {
        setTimerType(Qt::PreciseTimer);
        connect(this, &QTimer::timeout, [this] {
            if (onTimer) onTimer();
        });
    }

    bool enabled() const { return isActive(); }
    // Starts or stops it; a timer that already runs keeps its count.
    void setEnabled(bool enabled) {
        if (enabled && !isActive()) start();
        if (!enabled) stop();
    }
    std::function<void()> onTimer;
};
