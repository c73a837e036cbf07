#pragma once
// A cover over the whole of a window while the window waits or a box shows: it follows the
// window's size, clicks, the wheel and drops stop at it, the window's access keys do not act, and
// the focus stays inside it.

#include <QEventLoop>
#include <QWidget>

class Cover : public QWidget {
  public:
    explicit Cover(QWidget* window);

    // Covers the window and gives the focus to `focus` (the cover itself, or a control on it)
    // until `loop` ends; the focus then goes back where it was, if the player still sees it
    // there, and else stays on the cover gone, for the window's focus rule to place.
    void coverDuring(QEventLoop& loop, QWidget* focus,
                     QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents);

  protected:
    bool event(QEvent* event) override;
    bool focusNextPrevChild(bool) override { return true; }
    bool eventFilter(QObject* watched, QEvent* event) override;
};
