// The command line: the help and the version, answered before any window is opened.
#pragma once

#include <optional>

// When an argument asks for the help (--help) or the version (--version), prints it and gives the
// exit status (0, or 1 when it could not be written); otherwise gives nothing and the game starts.
std::optional<int> answerCommandLine(int argc, const char* const* argv);
