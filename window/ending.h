#pragma once
// Ending the game at any moment: the window leaves the screen at once, whatever any thread is
// doing (one the kernel keeps inside a data file's call included), and the program ends as soon
// as no data file is being written.

// Remembers the connection Qt made to the display (the X server or the Wayland compositor), to
// be shut when the game ends. Called once the application is made.
void rememberDisplayConnection();
// The same with the connection's descriptor `fd` given (-1: none), as a test gives a socket.
void rememberDisplayConnection(int fd);

// Ends the program with `status` at once, the window with it; where a data file is being written,
// the window leaves at once and the program ends when the write is done. Never returns.
[[noreturn]] void endGame(int status);

// A logout or an interrupt (SIGTERM, SIGHUP, SIGINT) ends the game as Escape does, with the
// signal's status.
void endGameOnSignals();
