#pragma once
// The game's modal warning boxes: a title, a text, a warning icon and one OK button, over the
// game's window, answered with Enter or a click.

#include <QString>
#include <QStringList>

class QWidget;

// Where a box goes. In a window of its own, transient for the game's window, centred on it and
// off the task bar; or drawn inside the game's window, centred on it, where the desktop would
// hide a window of its own (a Wayland compositor keeps a full-screen window above the other
// windows of its program).
enum class BoxPlace { OwnWindow, InsideOwner };

// The place this desktop shows a box over the game's full-screen window.
BoxPlace boxPlaceOnThisDesktop();

// Shows the box over `owner`, with `detail` (if any) in a line under the text, and returns when
// the player has answered it. A box inside its owner takes every key and click meant for the
// owner's window while it is up. Without a shown owner the box has a window of its own.
void showWarningBox(QWidget* owner, const QString& title, const QString& text,
                    const QString& detail, BoxPlace place);

// Draws a box once, out of sight, so that all that drawing one takes is loaded while files can
// still be opened: its icon with the image formats behind it, and the fonts of `texts`; and keeps
// a file descriptor for the next box. A box then still shows, and takes its answer, where the
// game can open no more files (the player's limit).
void prepareWarningBoxes(const QStringList& texts);
