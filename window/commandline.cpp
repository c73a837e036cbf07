#include "window/commandline.h"

#include <cstdio>
#include <string_view>

namespace {

constexpr char kHelp[] =
    "Usage: tintmaze [--help | --version]\n"
    "Find the cell that repeats the target colour word in word and in colour.\n"
    "\n"
    "The game covers the whole screen and keeps its best results and colours in\n"
    "jx.hsd and jx.iro in the current folder.\n"
    "\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n";
constexpr char kVersion[] = "Tintmaze " TINTMAZE_VERSION "\n";

}  // namespace

std::optional<int> answerCommandLine(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument != "--help" && argument != "--version") continue;
        const bool written = std::fputs(argument == "--help" ? kHelp : kVersion, stdout) >= 0;
        return written && std::fflush(stdout) == 0 ? 0 : 1;
    }
    return std::nullopt;
}
