"""A private X display for driving the game: Xvfb, xdotool, screen grabs, the game's screens as a
grab of a monitor shows them (its warning boxes too) and the end on Escape.

Only the Python standard library is used; xdotool, xwd and ImageMagick's convert and import run
as programs.
"""

import ctypes
import os
import select
import shutil
import signal
import subprocess
import time

from shot import Shot

PR_SET_PDEATHSIG = 1
TOOL_TIMEOUT = 30.0  # seconds any single xdotool, xwd or convert call may take
WINDOW_TIMEOUT = 30.0  # seconds the game may take to show its window or a warning box
WARNING_TOLERANCE = 2  # pixels between a warning box's middle and the monitor's
TITLE_BAR_PROBE = 70  # pixels left of the middle: inside the narrowest box's title bar, clear of its title
BY_BOX = (-150, 150)  # where the board's edges show beside a box in the middle of the screen
OK_EDGE = 20  # pixels: the shortest line that is taken for an edge of the OK button

# The game's window as laid out in logical pixels of 15 twips (window/layout.cpp).
TWIPS_PER_PIXEL = 15
BOARD_SIDE = 352      # Picture1, 5280 twips
BOARD_INSET = 5       # black between the board's outer edge and its bevel
GAUGE_OFFSET = 400    # Frame1 stands 6000 twips right of the board's left edge
GAUGE_WIDTH, GAUGE_HEIGHT = 48, 360
GAME_OVER_HALF = (180, 60)  # Picture3, half of 5415 x 1800 twips
CENTRE_TOLERANCE = 3  # pixels: the board's bevelled edge and odd halves

MAIN_TITLE = "Tintmaze"
# The data files a start in an empty folder writes.
DEFAULT_RECORD = b"No Name" + b" " * 47 + b"\x00\x00"
DEFAULT_SCORES = DEFAULT_RECORD * 9
DEFAULT_PALETTE = bytes.fromhex(
    "000000000000" "00000000ff00" "0000ff000000" "ff0000000000"
    "ff000000ff00" "ff00ff000000" "c000c000c000")
DATA_FILES = ("jx.hsd", "jx.iro")
DEFAULT_FILES = (DEFAULT_SCORES, DEFAULT_PALETTE)
# The warning boxes of a start in an empty folder, in their order, each with the data files as
# they are while it shows: jx.hsd is written once its box is answered, then jx.iro once its is.
FIRST_START_WARNINGS = (("high-score", (None, None)), ("palette", (DEFAULT_SCORES, None)))


def die_with_parent():
    """preexec_fn: the child gets SIGKILL when this script dies, even when it is killed itself."""
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL, 0, 0, 0)


def stop_process(proc, grace=3.0):
    """Ends a child started here: SIGTERM, then SIGKILL after `grace` seconds; reaps it."""
    if proc is None or proc.poll() is not None:
        return
    proc.terminate()
    try:
        proc.wait(grace)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


class Monitor:
    """A monitor the game's window covers, and the game's screens as a grab of it shows them.
    Only the game's own fills, borders and pictures are looked at, placed from the board (which
    the game centres on the monitor), never the desktop's default font, whose size moves every
    caption and the gauge frame's top line with the fonts installed."""

    def __init__(self, x, y, width, height):
        self.x, self.y, self.width, self.height = x, y, width, height
        self.area = (x, y, width, height)

    def centre(self):
        return self.x + self.width // 2, self.y + self.height // 2

    def board(self):
        """Picture1's left, top, right and bottom edges (the last two exclusive)."""
        (cx, cy), half = self.centre(), BOARD_SIDE // 2
        return cx - half, cy - half, cx + half, cy + half

    def inside(self):
        """The board inside its bevel, where the cells and the dialogs are drawn."""
        left, top, right, bottom = self.board()
        return left + 14, top + 14, right - 14, bottom - 14

    def target(self):
        """Label2's top left: 500 twips from the top, or higher to keep clear of the board."""
        top = max(0, min(500, (self.board()[1] - self.y) * TWIPS_PER_PIXEL - 2620))
        return self.centre()[0] - 90, self.y + top // TWIPS_PER_PIXEL

    def board_edges(self, shot, probe=(0, 0)):
        """The board's left edge (from the monitor's left along its middle row) and its bottom
        edge (from the monitor's bottom up its middle column), as found on screen; `probe` moves
        the row and the column off the middle."""
        cx, cy = (c + d for c, d in zip(self.centre(), probe))
        left = shot.first_bright(self.x, cy, 1, 0, self.width // 2, limit=20)
        bottom = shot.first_bright(cx, self.y + self.height - 1, 0, -1, self.height // 2, limit=20)
        return ((left[0] - BOARD_INSET if left else None),
                (bottom[1] + 1 + BOARD_INSET if bottom else None))

    def board_is_centred(self, shot, probe=(0, 0)):
        left, bottom = self.board_edges(shot, probe)
        want_left, _, _, want_bottom = self.board()
        return (left is not None and bottom is not None
                and abs(left - want_left) <= CENTRE_TOLERANCE
                and abs(bottom - want_bottom) <= CENTRE_TOLERANCE)

    def board_level(self, shot):
        left, top = self.board()[:2]
        return shot.mean(left + 14, top + 22, left + 334, top + 92)

    def gauge_level(self, shot):
        """Frame1 beside the board, right of its track's marker and of where the name box ends."""
        left, top = self.board()[:2]
        return shot.mean(left + GAUGE_OFFSET + 22, top, left + GAUGE_OFFSET + GAUGE_WIDTH,
                         top + GAUGE_HEIGHT)

    def name_box_level(self, shot):
        left, top = self.board()[:2]
        return shot.mean(left - 61, top + 182, left - 36, top + 217)  # Text1's left end

    def target_level(self, shot):
        x, y = self.target()
        return shot.mean(x + 2, y + 2, x + 10, y + 10)

    def game_over_level(self, shot):
        """The black game-over picture either side of its letters, on top of the white board."""
        (cx, cy), (half_w, half_h) = self.centre(), GAME_OVER_HALF
        return max(shot.mean(cx - half_w + 20, cy - half_h + 6, cx - half_w + 46, cy + half_h - 6),
                   shot.mean(cx + half_w - 44, cy - half_h + 6, cx + half_w - 16, cy + half_h - 6))

    def heading_border(self, shot):
        """The dark border of "What's Level?" where the title screen shows a white button."""
        left, top = self.board()[:2]
        return shot.dark_box(left + 20, top + 107, left + 28, top + 137) is not None

    def is_title(self, shot):
        return (self.board_level(shot) > 200 and self.name_box_level(shot) < 30
                and self.gauge_level(shot) < 5 and not self.heading_border(shot))

    def is_level_dialog(self, shot):
        return (self.board_is_centred(shot) and self.board_level(shot) > 250
                and self.gauge_level(shot) < 5 and self.heading_border(shot))

    def is_count_down(self, shot):
        """Label2 shows a white digit on the black window; the board is empty."""
        x, y = self.target()
        return (self.target_level(shot) < 30 and shot.mean(x, y, x + 180, y + 180) > 5
                and self.board_level(shot) > 250 and self.gauge_level(shot) < 5
                and shot.dark_box(*self.inside()) is None)

    def is_playing(self, shot):
        return (self.board_is_centred(shot) and self.target_level(shot) > 200
                and self.gauge_level(shot) > 5 and self.game_over_level(shot) > 200)

    def is_game_over(self, shot):
        return self.game_over_level(shot) < 40 and self.gauge_level(shot) > 5

    def is_name_entry(self, shot):
        return self.board_level(shot) < 20 and self.name_box_level(shot) > 200

    def warning_box(self, shot):
        """The warning box drawn inside the game's window when the grab shows one, as the left,
        top, right and bottom of its inside, or None: a title bar in the desktop's highlight
        colour above the monitor's middle, then the box's face down to its lower edge."""
        cx, cy = self.centre()
        x = cx - TITLE_BAR_PROBE

        def highlight(x, y):
            r, g, b = shot.pixel(x, y)
            return b - r > 60

        bar_bottom = next((y for y in range(cy, self.y, -1) if highlight(x, y)), None)
        if bar_bottom is None:
            return None
        top = bar_bottom
        while top > self.y and highlight(x, top - 1):
            top -= 1
        left, right = x, x + 1
        while left > self.x and highlight(left - 1, top):
            left -= 1
        while right < self.x + self.width and highlight(right, top):
            right += 1
        if top == self.y or left == self.x or right == self.x + self.width:
            return None  # a blue desktop, not a box's title bar
        face = shot.pixel(left, bar_bottom + 1)
        bottom = bar_bottom + 1
        while bottom < self.y + self.height and shot.pixel(left, bottom) == face:
            bottom += 1
        return left, top, right, bottom

    @staticmethod
    def ok_button(shot, box):
        """The middle of a warning box's OK button, or None: going up from the box's lower edge,
        the first line across the face is the button's lower edge, and up its left side, just
        inside its outline, the next pixel off the face is its upper edge. It must lie in the
        lower half of the box."""
        left, top, right, bottom = box
        face = shot.pixel(left, bottom - 1)

        def off_face(x, y):
            return sum(abs(a - b) for a, b in zip(shot.pixel(x, y), face)) > 60

        for low in range(bottom - 1, (top + bottom) // 2, -1):
            runs, start = [], None
            for x in range(left, right + 1):
                if x < right and off_face(x, low):
                    start = x if start is None else start
                elif start is not None:
                    runs.append((x - start, start, x))
                    start = None
            length, x0, x1 = max(runs, default=(0, 0, 0))
            if length >= OK_EDGE:
                high = next((y for y in range(low - 1, top, -1) if off_face(x0 + 3, y)), top)
                return ((x0 + x1) // 2, (high + low) // 2) if high > (top + bottom) // 2 else None
        return None

    def marker_top(self, shot):
        """Top of the gauge marker's chord 8 px left of the track, or None: where that column
        turns bright for 14 px and, a little lower, the column 7 px right of the track too (the
        disc is 26 px wide). The frame's caption, in the default font, has no such stroke."""
        left, top = self.board()[:2]
        track = left + GAUGE_OFFSET + GAUGE_WIDTH // 2

        def bright(x, y):
            return sum(shot.pixel(x, y)) > 600

        for y in range(top, top + GAUGE_HEIGHT - 14):
            if bright(track + 7, y + 2) and all(bright(track - 8, y + d) for d in range(14)):
                return y
        return None


class XScreen:
    """An Xvfb server on a display number it chooses itself, with helpers to drive it."""

    def __init__(self, width, height, log_path):
        read_end, write_end = os.pipe()
        self.log = open(log_path, "wb")
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-noreset", "-nolisten", "tcp",
             "-screen", "0", f"{width}x{height}x24"],
            pass_fds=(write_end,), stdout=self.log, stderr=subprocess.STDOUT,
            preexec_fn=die_with_parent)
        os.close(write_end)
        try:
            self.display = ":" + self._read_display(read_end, 20.0)
        finally:
            os.close(read_end)
        self.env = dict(os.environ, DISPLAY=self.display)
        self.env.pop("WAYLAND_DISPLAY", None)

    def _read_display(self, fd, timeout):
        deadline = time.monotonic() + timeout
        text = b""
        while not text.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([fd], [], [], left)[0]:
                raise RuntimeError("Xvfb did not report its display in time")
            chunk = os.read(fd, 64)
            if not chunk:
                raise RuntimeError(f"Xvfb ended before reporting a display ({self.server.poll()})")
            text += chunk
        return text.decode().strip()

    def close(self):
        stop_process(self.server)
        self.log.close()

    def run(self, *args, timeout=TOOL_TIMEOUT, check=True):
        """Runs a program on this display and returns its standard output as text."""
        done = subprocess.run(list(args), env=self.env, capture_output=True, timeout=timeout)
        if check and done.returncode != 0:
            raise RuntimeError(f"{args[0]} failed ({done.returncode}): {done.stderr!r}")
        return done.stdout.decode()

    def xdotool(self, *args, timeout=TOOL_TIMEOUT, check=True):
        return self.run("xdotool", *args, timeout=timeout, check=check)

    def windows(self, name_regex):
        """Ids of the mapped windows whose name matches the regular expression."""
        out = self.xdotool("search", "--onlyvisible", "--name", name_regex, check=False)
        return [int(w) for w in out.split()]

    def main_window(self):
        """The game's window, once it is up: the one window with the game's title."""
        found = poll(lambda: self.windows(f"^{MAIN_TITLE}$"), WINDOW_TIMEOUT)
        check(len(found) == 1, f"{len(found)} windows titled {MAIN_TITLE}")
        return found[0]

    def check_covers(self, wid, area):
        """The game's window comes to cover `area` (x, y, width, height) and is full screen."""
        covered = poll(lambda: self.geometry(wid) == area, 10)
        check(covered, f"the game window is at {self.geometry(wid)}, not on the monitor {area}")
        state = self.property(wid, "_NET_WM_STATE") or ""
        check("_NET_WM_STATE_FULLSCREEN" in state, f"the game window's state is {state!r}")

    def focused_window(self):
        return int(self.xdotool("getwindowfocus").strip() or 0)

    def focus(self, wid, timeout=5.0):
        """Makes sure window `wid` has the keyboard focus; without a window manager the game
        takes it itself, and this only steps in when it has not."""
        if poll(lambda: self.focused_window() == wid, 1.0):
            return
        self.xdotool("windowfocus", str(wid))
        if not poll(lambda: self.focused_window() == wid, timeout):
            raise RuntimeError(f"window {wid} did not get the keyboard focus")

    def key(self, *keys):
        self.xdotool("key", "--delay", "50", *keys)

    def click(self, x, y):
        self.xdotool("mousemove", str(x), str(y), "click", "1")

    def type_text(self, text):
        self.xdotool("type", "--delay", "40", text)

    def geometry(self, wid):
        """(x, y, width, height) of a window's inside on the screen, as xwininfo reports it."""
        out = self.run("xwininfo", "-id", str(wid))
        field = {}
        for line in out.splitlines():
            name, _, value = line.strip().partition(":")
            field[name] = value.strip()
        return tuple(int(field[n]) for n in ("Absolute upper-left X", "Absolute upper-left Y",
                                             "Width", "Height"))

    def property(self, wid, name):
        """A window property as xprop prints it after the "=" or ":", or None when it is not set."""
        out = self.run("xprop", "-id", str(wid), name, check=False)
        head, sep, value = out.partition("=") if "=" in out else out.partition(":")
        return value.strip() if sep and "not found" not in out else None

    def start_window_manager(self, *command, timeout=20.0):
        """Starts a window manager on this display and waits until it has taken over."""
        process = subprocess.Popen(list(command), env=self.env, stdout=self.log,
                                   stderr=subprocess.STDOUT, preexec_fn=die_with_parent)
        managed = poll(lambda: process.poll() is not None or "window id" in self.run(
            "xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False), timeout)
        if process.poll() is not None or not managed:
            stop_process(process)
            raise RuntimeError(f"{command[0]} did not take over the display")
        return process

    def picture(self, path):
        """Saves what the screen shows as PNG. ImageMagick's own grab, because xwd leaves out
        the inside of a window whose colour map the window manager has installed."""
        subprocess.run(["import", "-window", "root", path], env=self.env, capture_output=True,
                       timeout=TOOL_TIMEOUT, check=True)

    def grab(self):
        done = subprocess.run(["xwd", "-root", "-silent"], env=self.env, capture_output=True,
                              timeout=TOOL_TIMEOUT, check=True)
        return Shot(done.stdout)

    def save(self, shot, path):
        """Writes a grab as PNG (the X pointer is never part of an xwd grab)."""
        subprocess.run(["convert", "xwd:-", "png:" + path], input=shot.data, capture_output=True,
                       timeout=TOOL_TIMEOUT, check=True)


def poll(condition, timeout, interval=0.05):
    """Calls `condition` until it returns a true value or `timeout` seconds pass; returns the
    last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


class Failure(Exception):
    """What the program did wrong."""


class Skip(Exception):
    """Why the test cannot run here."""


def check(condition, message):
    if not condition:
        raise Failure(message)


def need(*programs):
    missing = [p for p in programs if not shutil.which(p)]
    if missing:
        raise Skip(f"{', '.join(missing)} not installed")


def game_timing(name):
    """A period of the game's mode table (game/modes.h), in seconds."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "game", "modes.h")
    with open(path, encoding="utf-8") as header:
        for line in header:
            words = line.replace(";", " ").split()
            if (words[:4] == ["constexpr", "int", name, "="] and len(words) > 4
                    and words[4].isdigit()):
                return int(words[4]) / 1000
    raise SystemExit(f"no {name} in {path}")


def data_files(folder):
    """The bytes of jx.hsd and jx.iro in `folder`, None for one that is not there."""
    def read(name):
        try:
            with open(os.path.join(folder, name), "rb") as f:
                return f.read()
        except FileNotFoundError:
            return None
    return tuple(read(name) for name in DATA_FILES)


def expect_default_files(folder):
    check(poll(lambda: data_files(folder) == DEFAULT_FILES, 10),
          f"after the warnings the files are {data_files(folder)!r}")


def end_on_escape(screen, game):
    """Escape ends the program at once, with status 0."""
    screen.key("Escape")
    try:
        code = game.wait(10)
    except subprocess.TimeoutExpired:
        raise Failure("the program did not end on Escape")
    check(code == 0, f"exit status {code} after Escape")
