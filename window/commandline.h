// The command line: the help and the version, answered before any window is opened.
#pragma once

#include <optional>

// The game takes no arguments. When the first asks for the help (-h, --help) or the version
// (--version), prints it and gives the exit status (0, or 1 when it could not be written); any
// other argument gives a one-line usage on the standard error and status 2. Without arguments
// gives nothing, and the game starts.
std::optional<int> answerCommandLine(int argc, const char* const* argv);
