// Ending the game. Whatever runs when the end is asked, only async-signal-safe calls are made: a
// logout's signal may interrupt anything.

#include "window/ending.h"

#include "files/datafile.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <csignal>

namespace {

std::array<int, 8> displaySockets{};
int displaySocketCount = 0;

// Shutting down the connection to the display takes the window off the screen at once, even
// where a thread the kernel keeps inside a data file's call holds the process, and with it the
// connection's descriptor, past its end.
void shutDownDisplay() {
    for (int i = 0; i < displaySocketCount; ++i) ::shutdown(displaySockets[i], SHUT_RDWR);
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

OpenSockets openSockets() {
    // The kernel hands out the lowest free descriptor, so the open ones lie close together: the
    // look ends after a run of closed ones far longer than any gap start-up leaves.
    constexpr int kClosedRunAtTheEnd = 64;
    OpenSockets sockets;
    for (int fd = STDERR_FILENO + 1, closed = 0;
         fd < int(sockets.size()) && closed < kClosedRunAtTheEnd; ++fd) {
        struct stat status {};
        const bool open = ::fstat(fd, &status) == 0;
        closed = open ? 0 : closed + 1;
        sockets[fd] = open && S_ISSOCK(status.st_mode);
    }
    return sockets;
}

void rememberDisplayConnection(const OpenSockets& before) {
    const OpenSockets opened = openSockets() & ~before;
    displaySocketCount = 0;
    for (int fd = 0; fd < int(opened.size()) && displaySocketCount < int(displaySockets.size());
         ++fd)
        if (opened[fd]) displaySockets[displaySocketCount++] = fd;
}

void endGame(int status) {
    endOnceWritten(status);
    for (;;) ::pause();  // the write in flight ends the program
}

void endGameOnSignals() {
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) std::signal(signal, onSignal);
}
