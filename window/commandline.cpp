#include "window/commandline.h"

#include <cstdio>
#include <string_view>

namespace {

constexpr char kSynopsis[] = "tintmaze [-h | --help | --version]";
constexpr char kAbout[] =
    "Find the cell that repeats the target colour word in word and in colour.\n"
    "\n"
    "The game covers the whole screen and keeps its best results and colours in\n"
    "jx.hsd and jx.iro in the current folder.\n"
    "\n"
    "  -h, --help  print this help and exit\n"
    "  --version   print the version and exit\n";
constexpr char kVersion[] = "Tintmaze " TINTMAZE_VERSION "\n";
constexpr int kWrongUsage = 2;  // the status of a command line the program does not take

// The status of an answer printed on the standard output: 0, or 1 when it could not be written.
int answered(bool written) {
    return written && std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

std::optional<int> answerCommandLine(int argc, const char* const* argv) {
    if (argc < 2) return std::nullopt;
    const std::string_view argument = argv[1];
    if (argument == "-h" || argument == "--help")
        return answered(std::printf("Usage: %s\n%s", kSynopsis, kAbout) >= 0);
    if (argument == "--version") return answered(std::fputs(kVersion, stdout) >= 0);
    std::fprintf(stderr, "tintmaze: unknown argument '%s'; usage: %s\n", argv[1], kSynopsis);
    return kWrongUsage;
}
