#pragma once
// The game's modal warning boxes: a title, a text, a warning icon and one OK button, drawn inside
// the game's window, answered with Enter, Space, Escape or a click on OK.

#include <QString>
#include <QStringList>

class QWidget;

// Shows the box in the middle of `owner` (a shown window), with `detail` (if any) in a line under
// the text, and returns when the player has answered it. Meanwhile nothing behind the box takes a
// key or a click; the focus then goes back where it was.
void showWarningBox(QWidget* owner, const QString& title, const QString& text,
                    const QString& detail);

// Draws a box once, out of sight, so that all that drawing one takes is loaded while files can
// still be opened: its icon with the image formats behind it, and the fonts of `texts`. A box
// then still shows, and takes its answer, where the game can open no more files (the player's
// limit).
void prepareWarningBoxes(const QStringList& texts);
