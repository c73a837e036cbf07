#pragma once
// The game's modal warning boxes: a title, a text, a warning icon and one OK button, drawn inside
// the game's window, answered with Enter, Space, Escape or a click on OK.

#include <QString>

class QWidget;

// Shows the box in the middle of `owner` (a shown window), with `detail` (if any) in a line under
// the text, and returns when the player has answered it. Meanwhile nothing behind the box takes a
// key or a click; the focus then goes back where it was.
void showWarningBox(QWidget* owner, const QString& title, const QString& text,
                    const QString& detail);

// Keeps a file descriptor for drawing boxes, so that a box still shows, and takes its answer,
// where the game can open no more files (the player's limit). Called before the first data file
// is opened; each box lends it out while it is drawn and takes it again after.
void keepADescriptorForBoxes();

// Whether a warning box is on the screen: it has the keys and the focus.
bool warningBoxShown();

// Whether `widget` is a box or a part of one: a box takes its own keys.
bool insideWarningBox(const QWidget* widget);
