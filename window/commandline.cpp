#include "window/commandline.h"

#include <QList>
#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>

namespace {

constexpr char kSynopsis[] = "tintmaze [-h | --help | --version] [QT OPTION...]";
constexpr char kAbout[] =
    "Find the cell that repeats the target colour word in word and in colour.\n"
    "\n"
    "The game covers the whole screen and keeps its best results and colours in\n"
    "jx.hsd and jx.iro in the current folder.\n"
    "\n"
    "  -h, --help  print this help and exit\n"
    "  --version   print the version and exit\n"
    "\n"
    "Qt's standard options are taken as every Qt program takes them, among them:\n"
    "  -platform NAME    the windowing system: xcb (X11) or wayland\n"
    "  -display DISPLAY  the X display, in place of DISPLAY\n"
    "  -qwindowgeometry GEOMETRY, -qwindowtitle TITLE, -qwindowicon FILE,\n"
    "  -platformtheme NAME, -platformpluginpath PATH, -plugin NAME, -session ID,\n"
    "  -style STYLE, -stylesheet FILE, -reverse, -widgetcount\n";
constexpr char kVersion[] = "Tintmaze " TINTMAZE_VERSION "\n";
constexpr int kWrongUsage = 2;  // the status of a command line the program does not take
constexpr int kNoDisplay = 1;   // the status of a start that could not reach the display

// Qt's standard options, each as Qt takes it: with its value in the next argument, or alone;
// -style, -stylesheet and -qmljsdebugger also as -option=value. Qt takes --option as -option.
constexpr std::string_view kQtOptionsWithValue[] = {"platform",        "platformpluginpath",
                                                    "platformtheme",   "plugin",
                                                    "qwindowgeometry", "geometry",
                                                    "qwindowtitle",    "title",
                                                    "qwindowicon",     "icon",
                                                    "display",         "name",
                                                    "visual",          "session",
                                                    "style",           "stylesheet"};
constexpr std::string_view kQtFlags[] = {"reverse", "widgetcount", "sync", "nograb", "dograb"};
constexpr std::string_view kQtOptionsWithEquals[] = {"style=", "stylesheet=", "qmljsdebugger="};

// An argument's option name without its one or two dashes, or empty for no option.
std::string_view optionName(std::string_view argument) {
    if (argument.starts_with("--")) return argument.substr(2);
    if (argument.starts_with("-")) return argument.substr(1);
    return {};
}

template <std::size_t n>
bool listed(const std::string_view (&names)[n], std::string_view name) {
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

bool withEquals(std::string_view name) {
    return std::any_of(std::begin(kQtOptionsWithEquals), std::end(kQtOptionsWithEquals),
                       [name](std::string_view prefix) { return name.starts_with(prefix); });
}

// The status of an answer printed on the standard output: 0, or 1 when it could not be written.
int answered(bool written) {
    return written && std::fflush(stdout) == 0 ? 0 : 1;
}

int wrongUsage(const char* argument, const char* what = "unknown argument") {
    std::fprintf(stderr, "tintmaze: %s '%s'; usage: %s\n", what, argument, kSynopsis);
    return kWrongUsage;
}

// The last value of the Qt option `name` on the command line, or null.
const char* lastValue(int argc, const char* const* argv, std::string_view name) {
    const char* value = nullptr;
    for (int i = 1; i + 1 < argc; ++i)
        if (optionName(argv[i]) == name) value = argv[++i];
    return value;
}

// The displays Qt tries, as a player names them: the platforms of -platform or QT_QPA_PLATFORM
// (else Qt's default: X11, with Wayland first in a Wayland session), each with its display.
std::string displaysTried(int argc, const char* const* argv) {
    const char* platforms = lastValue(argc, argv, "platform");
    if (!platforms) platforms = std::getenv("QT_QPA_PLATFORM");
    const char* session = std::getenv("XDG_SESSION_TYPE");
    if (!platforms || !*platforms)
        platforms = session && std::string_view(session) == "wayland" ? "wayland;xcb" : "xcb";
    std::string tried;
    for (std::string_view rest = platforms; !rest.empty();) {
        const std::string_view entry = rest.substr(0, rest.find(';'));
        rest.remove_prefix(std::min(rest.size(), entry.size() + 1));
        const std::string_view platform = entry.substr(0, entry.find(':'));
        if (platform.empty()) continue;
        if (!tried.empty()) tried += " or ";
        if (platform == "xcb") {
            const char* display = lastValue(argc, argv, "display");
            if (!display) display = std::getenv("DISPLAY");
            tried += display && *display ? "X display \"" + std::string(display) + '"'
                                         : std::string("an X display (DISPLAY is not set)");
        } else if (platform.starts_with("wayland")) {
            const char* display = std::getenv("WAYLAND_DISPLAY");
            tried += "Wayland display \"" +
                     std::string(display && *display ? display : "wayland-0") + '"';
        } else {
            tried += "a display through Qt's platform \"" + std::string(platform) + '"';
        }
    }
    return tried;
}

struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};

QtMessageHandler qtsHandler = nullptr;
std::mutex heldMessagesLock;  // Qt's platform plugin may start threads of its own meanwhile
QList<HeldMessage> heldMessages;
std::string noDisplayLine;

// Qt ends a start that found no display with a fatal message: the one line instead, status 1.
void holdOrEnd(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        std::fputs(noDisplayLine.c_str(), stderr);
        std::_Exit(kNoDisplay);
    }
    const std::lock_guard lock(heldMessagesLock);
    heldMessages.append({type, QByteArray(context.category), text});
}

}  // namespace

std::optional<int> answerCommandLine(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const std::string_view name = optionName(argument);
        if (argument == "-h" || argument == "--help")
            return answered(std::printf("Usage: %s\n%s", kSynopsis, kAbout) >= 0);
        if (argument == "--version") return answered(std::fputs(kVersion, stdout) >= 0);
        if (listed(kQtOptionsWithValue, name)) {
            if (++i == argc) return wrongUsage(argv[i - 1], "no value after");
        } else if (!listed(kQtFlags, name) && !withEquals(name)) {
            return wrongUsage(argv[i]);
        }
    }
    return std::nullopt;
}

void sayWhenNoDisplay(int argc, const char* const* argv) {
    noDisplayLine = "tintmaze: cannot connect to " + displaysTried(argc, argv) + '\n';
    qtsHandler = qInstallMessageHandler(holdOrEnd);
}

void displayConnected() {
    qInstallMessageHandler(qtsHandler);
    const std::lock_guard lock(heldMessagesLock);
    for (const HeldMessage& message : std::as_const(heldMessages)) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.constData());
        qtsHandler(message.type, context, message.text);
    }
    heldMessages.clear();
}
