// The command line: the help and the version, answered before any window is opened, and Qt's
// standard options, which Qt takes; and the one line a start without a display ends with.
#pragma once

#include <optional>

// The game takes Qt's standard options (-platform, -display, -qwindowgeometry, ...) and no
// others. When an argument asks for the help (-h, --help) or the version (--version), prints it
// and gives the exit status (0, or 1 when it could not be written); any other argument, or a Qt
// option without its value, gives a one-line usage on the standard error and status 2. Otherwise
// gives nothing, and the game starts.
std::optional<int> answerCommandLine(int argc, const char* const* argv);

// Holds back Qt's messages while the application connects to the display: where it cannot, the
// program ends with status 1 and one line on the standard error naming the display tried (from
// the command line and the environment, as Qt takes them), in place of Qt's abort.
void sayWhenNoDisplay(int argc, const char* const* argv);

// The application is made: Qt's messages held back are passed on, and later ones go out as they
// come.
void displayConnected();
