#!/usr/bin/env python3
"""The real program on the desktops players have: a window manager, two monitors, a screen mode
changed while a game runs, and Wayland.

usage: desktops.py CASE <path to tintmaze> <folder for screenshots and logs>

CASE is one of
  openbox       under openbox at 1024 x 768 in an empty folder: the window is full screen as it
                shows, while each warning box shows and after; the screen shows both boxes in
                the window, in their order, centred on the monitor with their text, with the
                files as described; Enter answers the first and a click on its OK the second,
                with no focus given by hand; Enter then opens the level dialog and Escape ends
                the game;
  i3            the same under i3 (its own configuration, in the case's folder), which tiles a
                window that is not full screen;
  two-monitors  a 1280 x 1024 monitor on the left and the primary 1024 x 768 on the right of one
                2304 x 1024 screen, under openbox: the window and its warning boxes belong to the
                primary monitor, and the board is centred on it;
  mode-change   a game at 1280 x 1024, the screen switched to 1024 x 768 with xrandr while it
                runs: the board is centred on the new size and the game goes on to game over;
  escape-while-waiting, close-while-waiting, logout-while-waiting
                under openbox, with another program holding the lock of both data files as
                the game starts: Escape, the window manager's close (Alt+F4) or SIGTERM while
                the start waits for them, with no box on the screen, ends the program at once
                (status 0, or 128 and the signal's number) and the files keep their bytes;
  logout-while-saving, logout-while-saving-stdio-closed,
  logout-while-saving-inherited-socket, logout-while-saving-wayland
                under openbox, in a FUSE folder whose server holds every write: SIGTERM while
                the colour panel's OK saves takes the window off the screen at once, no box
                shows after it, and the program ends with status 143 once the write is let
                through, the file whole; the same with the game's standard input, output and
                error closed, with a socket inherited at descriptor 67 (which stays
                connected), and under weston as in the wayland case;
  box-at-file-limit
                under openbox, the game's limit of open files lowered to what it has open:
                the colour panel's OK gets the write-error box, which is drawn centred with its
                text over the full-screen window and closes on Enter, as do the title's two read
                boxes after it;
  wayland       under weston (its X11 backend on a private Xvfb, so that keys and clicks reach
                the game through the compositor) in an empty folder: the boxes as in the openbox
                case, the board centred beside each; Enter then opens the level dialog and
                Escape ends the game.
The window manager of the openbox case can be swapped for a trial by hand, for example
  TINTMAZE_E2E_WM="mutter --x11 --replace" desktops.py openbox build/tintmaze /tmp/out
Exit status 0 on success, 1 on failure, 77 when a needed program is missing.
"""

import fcntl
import os
import signal as signal_module
import socket as socket_module
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from session import Session  # noqa: E402
from xscreen import (DATA_FILES, DEFAULT_FILES, DEFAULT_PALETTE, DEFAULT_SCORES,  # noqa: E402
                     MAIN_TITLE, Failure, Monitor, Skip, check, data_files, end_on_escape,
                     game_timing, need, poll)

GAME_SECONDS = game_timing("kGameTimeMs")
COLOUR_OPTION_BELOW_CENTRE = 40  # the title's "ColorOption" button, below the board's middle


class Case(Session):
    """One desktop case: the game's logs and pictures in a folder named after it."""

    def __init__(self, name, game_path, out_dir):
        super().__init__(game_path, os.path.join(out_dir, name), os.path.join(out_dir, name))
        self.name = name

    def start_up_with_warnings(self, monitor):
        """The window covers the monitor full screen as soon as it shows, and then while each
        warning box shows and after both are answered (`answer_first_start_warnings`)."""
        self.start_game_on_x()
        main = self.x.main_window()
        self.x.check_covers(main, monitor.area)
        self.answer_first_start_warnings(monitor, main)
        return main

    def open_level_dialog(self, main, monitor):
        """Enter on the title, with no click and no focus given by hand, opens the level
        dialog on a board centred on the monitor."""
        check(poll(lambda: self.x.focused_window() == main, 10),
              "the game window did not get the keyboard focus back")
        # A key pressed while the start still reads the files does nothing: then Enter again.
        for _ in range(3):
            self.x.key("Return")
            if poll(lambda: monitor.is_level_dialog(self.x.grab()), 3):
                break
        self.wait_screen(monitor.is_level_dialog, 10, "the level dialog")
        self.snapshot("level-dialog")


def under_window_manager(case, manager):
    need("Xvfb", "xdotool", "xwd", "xwininfo", "xprop", "import", manager[0])
    screen = Monitor(0, 0, 1024, 768)
    case.open_display(screen.width, screen.height)
    case.processes.append(case.x.start_window_manager(*manager))
    main = case.start_up_with_warnings(screen)
    case.open_level_dialog(main, screen)
    end_on_escape(case.x, case.game)


def under_i3(case):
    """i3 with a configuration of its own (no bar, no wizard), which tiles a window unless it
    asks for the full screen."""
    config = os.path.join(case.log_dir, "i3.config")
    with open(config, "w", encoding="utf-8") as f:
        f.write("# i3 config file (v4)\nfont pango:monospace 8\n")
    under_window_manager(case, ["i3", "-c", config])


def end_while_start_waits(case, how):
    """Another program holds the lock of both data files as the game starts: `how` (keys, or a
    signal's name), as soon as the window shows and with no box on it, ends the program within
    the wait."""
    need("Xvfb", "xdotool", "xwd", "xwininfo", "xprop", "import", "openbox")
    screen = Monitor(0, 0, 1024, 768)
    case.open_display(screen.width, screen.height)
    case.processes.append(case.x.start_window_manager("openbox"))
    held = []
    for name, data in zip(DATA_FILES, DEFAULT_FILES):
        case.write(name, data)
        held.append(os.open(os.path.join(case.folder, name), os.O_RDONLY))
        fcntl.flock(held[-1], fcntl.LOCK_EX)
    case.start_game_on_x()
    main = case.x.main_window()
    check(poll(lambda: case.x.focused_window() == main, 10), "the game window has no focus")
    check(not screen.warning_box(case.x.grab()), "a warning box shows while the start waits")
    asked = time.monotonic()
    signal = getattr(signal_module, how, None)
    if signal:
        case.game.send_signal(signal)
    else:
        case.x.key(how)
    try:
        code = case.game.wait(10)
    except subprocess.TimeoutExpired:
        raise Failure(f"the program did not end on {how} during the start's wait")
    case.say(f"ended {time.monotonic() - asked:.2f} s after {how}, status {code}")
    check(code == (128 + signal if signal else 0), f"exit status {code}")
    check(data_files(case.folder) == DEFAULT_FILES, f"the files are {data_files(case.folder)!r}")
    for fd in held:
        os.close(fd)


INHERITED_SOCKET = 67  # a descriptor past a gap of closed ones, as a parent program may leave


def close_standard_streams():
    for fd in (0, 1, 2):
        os.close(fd)


def end_while_save_waits(case, how):
    """The colour panel's OK saves into a folder whose server holds every write (a FUSE folder,
    as a network share that stopped answering): SIGTERM then takes the window off the screen at
    once, with no box after it, and the program ends with the signal's status as soon as the
    server lets the write finish, the file whole. `how` the game runs: under openbox, there
    with its standard input, output and error closed (the display's connection then takes one
    of their descriptors), there with a socket of this script's at INHERITED_SOCKET (which stays
    connected), or under weston."""
    if os.geteuid() != 0 or not os.access("/dev/fuse", os.R_OK | os.W_OK):
        raise Skip("a FUSE folder needs root and /dev/fuse")
    if how == "wayland":
        screen, env = start_weston(case)
    else:
        need("Xvfb", "xdotool", "xwd", "xwininfo", "xprop", "import", "openbox")
        screen = Monitor(0, 0, 1024, 768)
        case.open_display(screen.width, screen.height)
        case.processes.append(case.x.start_window_manager("openbox"))
    real, released = os.path.join(case.runtime, "real"), os.path.join(case.runtime, "released")
    os.mkdir(real)
    for name, data in zip(DATA_FILES, DEFAULT_FILES):
        with open(os.path.join(real, name), "wb") as f:
            f.write(data)
    server = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                          "fuse_folder.py")
    case.start([server, "--hold", f"write:{released}", real, case.folder],
               dict(os.environ), "fuse.log")
    ours, theirs = socket_module.socketpair()
    try:
        if not poll(lambda: os.path.ismount(case.folder), 10):
            raise Skip("the FUSE folder did not mount here; see fuse.log")
        x, y = screen.centre()
        if how == "wayland":
            # Weston's desktop once its shell has faded it in (two grabs agree), before the
            # game: where the game's window shows, it differs (the probes keep clear of the
            # pointer).
            probes = [(x - 40, y - 40, x - 24, y - 24), (screen.x + 8, screen.y + 48,
                                                     screen.x + 24, screen.y + 64)]
            grabs = [case.x.grab()]

            def faded_in():
                time.sleep(0.2)
                grabs.append(case.x.grab())
                return all(abs(grabs[-1].mean(*p) - grabs[-2].mean(*p)) < 1 for p in probes)

            check(poll(faded_in, 10), "weston's desktop did not settle")
            desktop = grabs[-1]
            start_game_on_weston(case, env, screen.board_is_centred)
            case.click_at_pace(screen, x, y + COLOUR_OPTION_BELOW_CENTRE)
            shows = lambda: (lambda shot: any(  # noqa: E731
                abs(shot.mean(*p) - desktop.mean(*p)) > 8 for p in probes))(case.x.grab())
        else:
            if how == "stdio-closed":
                case.start_game_on_x(close_standard_streams)
            elif how == "inherited-socket":
                os.dup2(theirs.fileno(), INHERITED_SOCKET)
                case.start_game_on_x(pass_fds=(INHERITED_SOCKET,))
                os.close(INHERITED_SOCKET)
            else:
                case.start_game_on_x()
            main = case.x.main_window()
            check(poll(lambda: case.x.focused_window() == main, 10),
                  "the game window has no focus")
            case.x.click(x, y + COLOUR_OPTION_BELOW_CENTRE)
            shows = lambda: case.x.windows(f"^{MAIN_TITLE}$")  # noqa: E731
        time.sleep(0.5)
        case.x.key("alt+o")
        log = os.path.join(case.log_dir, "fuse.log")
        check(poll(lambda: "holding write" in open(log, encoding="utf-8").read(), 10),
              "the colour panel's OK wrote nothing")
        check(case.game.poll() is None, "the program ended before the signal")
        check(shows(), "the game's window does not show")
        case.game.send_signal(signal_module.SIGTERM)
        asked = time.monotonic()
        check(poll(lambda: not shows(), 1), "the window is still on the screen 1 s after SIGTERM")
        case.say(f"the window left {time.monotonic() - asked:.2f} s after SIGTERM")
        time.sleep(6)  # past the save's patience: no box, no window comes back
        check(not shows(), "a window showed after SIGTERM")
        check(case.game.poll() is None,
              f"the program ended while its write was held (status {case.game.poll()})")
        open(released, "w").close()
        code = case.game.wait(10)
        case.say(f"ended {time.monotonic() - asked:.2f} s after SIGTERM, status {code}")
        check(code == 128 + signal_module.SIGTERM, f"exit status {code}")
        check(data_files(real) == DEFAULT_FILES, f"the files are {data_files(real)!r}")
        if how == "inherited-socket":
            try:
                theirs.sendall(b"?")
                ours.settimeout(5)
                cut = ours.recv(1) != b"?"
            except OSError:
                cut = True
            check(not cut, "the inherited socket was cut")
    finally:
        ours.close()
        theirs.close()
        open(released, "w").close()
        subprocess.run(["umount", "-l", case.folder], check=False)


def box_at_file_limit(case):
    """At the player's limit of open files, the colour panel's OK gets the write-error box,
    drawn and answered with Enter, then the title's two read boxes; Escape then ends the game."""
    need("Xvfb", "xdotool", "xwd", "xwininfo", "xprop", "import", "openbox", "prlimit")
    screen = Monitor(0, 0, 1024, 768)
    case.open_display(screen.width, screen.height)
    case.processes.append(case.x.start_window_manager("openbox"))
    for name, data in zip(DATA_FILES, DEFAULT_FILES):
        case.write(name, data)
    case.start_game_on_x()
    main = case.x.main_window()
    check(poll(lambda: case.x.focused_window() == main, 10), "the game window has no focus")
    time.sleep(1)  # the title's files are read
    pid = case.game.pid
    used = len(os.listdir(f"/proc/{pid}/fd"))
    subprocess.run(["prlimit", f"--pid={pid}", f"--nofile={used}:{used}"], check=True)
    x, y = screen.centre()
    case.x.click(x, y + COLOUR_OPTION_BELOW_CENTRE)
    time.sleep(0.5)
    case.x.key("alt+o")
    for what in ("write-error", "high-score-read-error", "palette-read-error"):
        shot, box = case.wait_warning_box(screen, what, main)
        case.answer_warning_box(screen, what, shot, box, "Return")
    end_on_escape(case.x, case.game)


def two_monitors(case):
    need("Xvfb", "xdotool", "xwd", "xwininfo", "xprop", "import", "xrandr", "openbox")
    left, primary = Monitor(0, 0, 1280, 1024), Monitor(1280, 0, 1024, 768)
    case.open_display(left.width + primary.width, left.height)
    case.x.run("xrandr", "--setmonitor", "left", "1280/338x1024/270+0+0", "screen")
    case.x.run("xrandr", "--setmonitor", "*right", "1024/271x768/203+1280+0", "none")
    case.say(case.x.run("xrandr", "--listmonitors").strip().replace("\n", "; "))
    case.processes.append(case.x.start_window_manager("openbox"))
    main = case.start_up_with_warnings(primary)
    case.open_level_dialog(main, primary)
    shot = case.x.grab()
    check(shot.first_bright(left.x, left.y, 1, 1, left.height) is None,
          "something bright on the left monitor's diagonal")
    end_on_escape(case.x, case.game)


def mode_change(case):
    need("Xvfb", "xdotool", "xwd", "xwininfo", "xprop", "import", "xrandr")
    large, small = Monitor(0, 0, 1280, 1024), Monitor(0, 0, 1024, 768)
    case.open_display(large.width, large.height)
    case.x.run("xrandr", "--newmode", "1024x768", "0", "1024", "0", "0", "0", "768", "0", "0", "0")
    case.x.run("xrandr", "--addmode", "screen", "1024x768")
    case.write("jx.hsd", DEFAULT_SCORES)
    case.write("jx.iro", DEFAULT_PALETTE)
    case.start_game_on_x()
    main = case.x.main_window()
    case.x.check_covers(main, large.area)
    case.x.focus(main)
    case.open_level_dialog(main, large)
    case.x.key("Return")  # level 3
    case.wait_screen(large.is_playing, 10, "a game at 1280 x 1024")
    playing = time.monotonic()
    case.snapshot("playing-1280x1024")
    case.x.run("xrandr", "--output", "screen", "--mode", "1024x768")
    case.say("switched the screen to 1024 x 768")
    case.x.check_covers(main, small.area)
    case.wait_screen(small.is_playing, 10, "the game centred at 1024 x 768")
    case.snapshot("playing-1024x768")
    left = GAME_SECONDS - (time.monotonic() - playing)
    case.wait_screen(small.is_game_over, left + 15, "game over at 1024 x 768")
    case.say(f"game over {time.monotonic() - playing:.1f} s after the first board")
    case.snapshot("game-over-1024x768")
    end_on_escape(case.x, case.game)


def start_weston(case):
    """weston with its X11 backend on a private Xvfb: its output is an X window, so keys typed
    on the display reach the game through the compositor, and a grab shows what weston shows.
    Gives its output and the game's environment there."""
    need("weston", "Xvfb", "xdotool", "xwd", "xwininfo", "import")
    case.open_display(1024, 768)
    socket = f"tintmaze-e2e-{os.getpid()}"
    env = dict(case.x.env, XDG_RUNTIME_DIR=case.runtime)
    weston = case.start(["weston", "--backend=x11-backend.so", "--use-pixman",
                         f"--socket={socket}", "--width=1024", "--height=768", "--idle-time=0"],
                        env, "weston.log")
    outputs = poll(lambda: weston.poll() is not None or [int(w) for w in case.x.xdotool(
        "search", "--onlyvisible", "--class", "Weston Compositor", check=False).split()], 20)
    if weston.poll() is not None or not outputs:
        raise Skip(f"weston does not run here (status {weston.poll()}); see its log")
    output = Monitor(*case.x.geometry(outputs[0]))
    case.x.xdotool("windowfocus", str(outputs[0]))  # keys typed on the display go to weston
    env = dict(env, WAYLAND_DISPLAY=socket, QT_QPA_PLATFORM="wayland")
    env.pop("DISPLAY")
    return output, env


def start_game_on_weston(case, env, shows):
    """Starts the game on weston and waits until `shows(grab)` holds."""
    case.game = case.start([case.game_path], env, "game.log")
    poll(lambda: case.game.poll() is not None or shows(case.x.grab()), 30)
    if case.game.poll() is not None:
        with open(os.path.join(case.log_dir, "game.log"), encoding="utf-8",
                  errors="replace") as log:
            text = log.read()
        if "wayland" in text and "Could not" in text:
            raise Skip("Qt's Wayland platform plugin did not start: " + text[-300:])
        raise Failure(f"the game ended with status {case.game.returncode}")


def under_weston(case):
    """In an empty folder under weston: the boxes as in the openbox case, the board centred
    beside each; Enter then opens the level dialog and Escape ends the game."""
    output, env = start_weston(case)
    start_game_on_weston(case, env, output.warning_box)
    case.answer_first_start_warnings(output)
    case.wait_screen(lambda s: not output.warning_box(s) and output.board_is_centred(s), 10,
                     "the title without a box")
    case.snapshot("title")
    case.x.key("Return")
    case.wait_screen(output.is_level_dialog, 10, "the level dialog")
    end_on_escape(case.x, case.game)


CASES = {"openbox": lambda case: under_window_manager(
             case, os.environ.get("TINTMAZE_E2E_WM", "openbox").split()),
         "i3": under_i3, "two-monitors": two_monitors, "mode-change": mode_change,
         "escape-while-waiting": lambda case: end_while_start_waits(case, "Escape"),
         "close-while-waiting": lambda case: end_while_start_waits(case, "alt+F4"),
         "logout-while-waiting": lambda case: end_while_start_waits(case, "SIGTERM"),
         "logout-while-saving": lambda case: end_while_save_waits(case, "openbox"),
         "logout-while-saving-stdio-closed": lambda case: end_while_save_waits(
             case, "stdio-closed"),
         "logout-while-saving-inherited-socket": lambda case: end_while_save_waits(
             case, "inherited-socket"),
         "logout-while-saving-wayland": lambda case: end_while_save_waits(case, "wayland"),
         "box-at-file-limit": box_at_file_limit,
         "wayland": under_weston}


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in CASES:
        print(__doc__, file=sys.stderr)
        return 2

    case = Case(sys.argv[1], os.path.abspath(sys.argv[2]), os.path.abspath(sys.argv[3]))
    return case.run(lambda: CASES[case.name](case))


if __name__ == "__main__":
    sys.exit(main())
