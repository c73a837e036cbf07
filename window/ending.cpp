// Ending the game. Whatever runs when the end is asked, only async-signal-safe calls are made: a
// logout's signal may interrupt anything.

#include "window/ending.h"

#include "files/inflight.h"

#include <wayland-client-core.h>
#include <xcb/xcb.h>
#include <QGuiApplication>
#if !(defined(QT_FEATURE_wayland) && QT_FEATURE_wayland == 1)
#include <qpa/qplatformnativeinterface.h>  // Qt 6.4 gives the Wayland display only here
#endif

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>

namespace {

// The descriptor of Qt's connection to the display; a copy of it, through which it is shut; and
// one end of a socket pair that no one answers, which takes its place under Qt's descriptor.
int displayConnection = -1;
int displayCopy = -1;
int quietSocket = -1;

// The descriptor of the connection Qt keeps to the X server or the Wayland compositor, or -1 on
// any other platform.
int displayConnectionOfQt() {
    if (const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        return xcb_get_file_descriptor(x11->connection());
#if defined(QT_FEATURE_wayland) && QT_FEATURE_wayland == 1
    if (const auto* wayland = qGuiApp->nativeInterface<QNativeInterface::QWaylandApplication>())
        return wl_display_get_fd(wayland->display());
#else
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        if (auto* display = static_cast<wl_display*>(
                QGuiApplication::platformNativeInterface()->nativeResourceForIntegration(
                    "wl_display")))
            return wl_display_get_fd(display);
#endif
    return -1;
}

// `fd` moved above the standard streams (whose numbers a program writing to them expects), or
// -1 when it could not be.
int aboveStandardStreams(int fd) {
    if (fd > STDERR_FILENO) return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    ::close(fd);
    return moved;
}

// Shutting down the connection to the display takes the window off the screen at once, even
// where a thread the kernel keeps inside a data file's call holds the process, and with it the
// connection's descriptor, past its end. Qt's Wayland plugin ends the process as soon as it
// finds its connection broken, a write in flight or not: so Qt's descriptor is first given the
// quiet socket, where it finds nothing, and the connection is shut through its copy.
void shutDownDisplay() {
    if (displayConnection < 0) return;
    if (displayCopy < 0 || quietSocket < 0) {
        ::shutdown(displayConnection, SHUT_RDWR);
        return;
    }
    ::dup3(quietSocket, displayConnection, O_CLOEXEC);
    ::shutdown(displayCopy, SHUT_RDWR);
}

// Ends the program with `status` once no data file is being written; returns while one is.
void endOnceWritten(int status) {
    endWhenFilesAreSafe(status, shutDownDisplay);
}

// Runs on the window's thread, where a signal for the process is passed on to, so that it stops
// there: no event is handled and no box shows afterwards. A write that the signal interrupted on
// that thread (where no other thread could be had) goes on, and ends the program as it finishes.
void onSignal(int signal) {
    const pid_t process = ::getpid();
    if (::syscall(SYS_gettid) != process) {
        ::syscall(SYS_tgkill, process, process, signal);
        return;
    }
    endOnceWritten(128 + signal);
    if (writingOnThisThread()) return;
    for (;;) ::pause();
}

}  // namespace

void rememberDisplayConnection() {
    rememberDisplayConnection(displayConnectionOfQt());
}

void rememberDisplayConnection(int fd) {
    displayConnection = fd;
    if (displayConnection < 0) return;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pair) != 0) return;
    const int quiet = aboveStandardStreams(pair[0]);
    const int peer = aboveStandardStreams(pair[1]);  // kept open, never read: `quiet` stays so
    if (peer >= 0) quietSocket = quiet;
    displayCopy = ::fcntl(displayConnection, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
}

void endGame(int status) {
    endOnceWritten(status);
    for (;;) ::pause();  // the write in flight ends the program
}

void endGameOnSignals() {
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) std::signal(signal, onSignal);
}
