#pragma once
// Keeping a window that belongs to the game's window out of task bars and pagers.

class QWidget;

// Marks a top-level widget, before it is first shown, as one that task bars and pagers leave
// out. On X11 this sets _NET_WM_STATE_SKIP_TASKBAR and _NET_WM_STATE_SKIP_PAGER; elsewhere the
// owner given to the window does that job and nothing is done.
void keepOffTaskBar(QWidget* window);
