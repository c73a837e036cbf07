"""The session of one test run of the game on a private X display (xscreen.py): its folder, the
programs it starts and their logs, numbered screenshots, the warning boxes the game shows and
its end however the run ends."""

import os
import shutil
import signal
import subprocess
import tempfile
import time

from xscreen import (BY_BOX, FIRST_START_WARNINGS, WARNING_TOLERANCE, WINDOW_TIMEOUT, Failure,
                     Skip, XScreen, check, data_files, die_with_parent, expect_default_files,
                     poll, stop_process)


POINTER_STEP = 20  # pixels: the last move of the pointer before a click on a box's OK
POINTER_PAUSE = 0.2  # seconds between the moves and the press and release of that click


class Session:
    """One test run of the game in a fresh, empty folder on a private display: the processes it
    starts (ended by `close`), their logs in `log_dir` and numbered pictures in `shots_dir`."""

    def __init__(self, game_path, log_dir, shots_dir):
        self.game_path = game_path
        self.log_dir = log_dir
        self.shots_dir = shots_dir
        self.folder = tempfile.mkdtemp(prefix="tintmaze-e2e-")
        self.runtime = tempfile.mkdtemp(prefix="tintmaze-e2e-runtime-")  # mode 0700
        self.processes = []
        self.logs = []
        self.x = None
        self.game = None
        self.started = time.monotonic()
        self.pictures = 0
        os.makedirs(log_dir, exist_ok=True)
        os.makedirs(shots_dir, exist_ok=True)
        for old in os.listdir(shots_dir):
            if old.endswith(".png"):
                os.remove(os.path.join(shots_dir, old))

    def close(self):
        for process in reversed(self.processes):
            stop_process(process)
        if self.x:
            self.x.close()
        for log in self.logs:
            log.close()
        shutil.rmtree(self.folder, ignore_errors=True)
        shutil.rmtree(self.runtime, ignore_errors=True)

    def say(self, text):
        print(f"[{time.monotonic() - self.started:6.2f} s] {text}", flush=True)

    def start(self, command, env, log_name, preexec=None, pass_fds=()):
        """Starts a program in the game's folder, its output going to `log_name`."""
        log = open(os.path.join(self.log_dir, log_name), "wb")
        self.logs.append(log)

        def prepare():
            die_with_parent()
            if preexec:
                preexec()

        process = subprocess.Popen(command, cwd=self.folder, env=env, stdout=log,
                                   stderr=subprocess.STDOUT, preexec_fn=prepare,
                                   pass_fds=pass_fds)
        self.processes.append(process)
        return process

    def open_display(self, width, height):
        self.x = XScreen(width, height, os.path.join(self.log_dir, "xvfb.log"))
        self.say(f"Xvfb {width} x {height} on display {self.x.display}; game folder {self.folder}")

    def start_game_on_x(self, preexec=None, pass_fds=()):
        """Starts the game on the X display; `preexec` runs in the child before the game, with
        `pass_fds` left open for it."""
        env = dict(self.x.env, QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=self.runtime)
        self.game = self.start([self.game_path], env, "game.log", preexec, pass_fds)

    def snapshot(self, what, shot=None):
        """Saves `shot`, or else what the screen shows now, as the next numbered picture."""
        self.pictures += 1
        path = os.path.join(self.shots_dir, f"{self.pictures:02d}-{what}.png")
        if shot:
            self.x.save(shot, path)
        else:
            self.x.picture(path)
        self.say(f"screenshot {os.path.relpath(path, os.path.dirname(self.shots_dir))}")

    def wait_screen(self, condition, timeout, what):
        """Grabs the screen until `condition(shot)` holds and returns that grab; otherwise saves
        a picture and fails."""
        shot = poll(lambda: (lambda s: s if condition(s) else None)(self.x.grab()), timeout)
        if not shot:
            self.snapshot("failed-" + what.replace(" ", "-"))
            raise Failure(f"the screen did not show {what} within {timeout} s")
        return shot

    def wait_warning_box(self, monitor, what, main=None):
        """Waits for the screen to show a warning box in the game's window, checks that the
        window `main` (on X) covers `monitor` full screen meanwhile and that the box sits in the
        middle of the monitor and shows its text; returns the grab and the box."""
        shot = self.wait_screen(monitor.warning_box, WINDOW_TIMEOUT, f"the {what} box")
        self.snapshot(f"{what}-warning", shot)
        if main:
            self.x.check_covers(main, monitor.area)
        box = left, top, right, bottom = monitor.warning_box(shot)
        cx, cy = monitor.centre()
        off = ((left + right) // 2 - cx, (top + bottom) // 2 - cy)
        check(all(abs(d) <= WARNING_TOLERANCE for d in off),
              f"the {what} box's middle is {off} from the monitor's middle")
        check(shot.dark_box(left + 4, top + (bottom - top) // 3, right - 4, bottom - 4),
              f"the {what} box shows no text")
        self.say(f"{what} box {right - left} x {bottom - top} at ({left}, {top})")
        return shot, box

    def answer_warning_box(self, monitor, what, shot, box, answer):
        """Answers the box with a key, or with a click on its OK button when `answer` is
        "click"; then the screen must no longer show it (no box, or another in its place)."""
        if answer == "click":
            ok = monitor.ok_button(shot, box)
            check(ok, f"no OK button found on the {what} box {box}")
            self.click_at_pace(monitor, *ok)
            answer = "a click on OK"
            self.say(f"clicked OK on the {what} box at {ok}")
        else:
            self.x.key(answer)
        self.wait_screen(lambda s: monitor.warning_box(s) != box, 10,
                         f"the {what} box closed on {answer}")

    def answer_first_start_warnings(self, monitor, main=None):
        """Answers the warning boxes of a start in the empty folder in their order, the first
        with Enter and the second with a click on its OK, with no focus given by hand. Each box
        shows as `wait_warning_box` has it, with the board centred on `monitor` beside it and
        the files as FIRST_START_WARNINGS has them; then the folder comes to hold the default
        files and the window `main` (on X) still covers the monitor."""
        for (what, files), answer in zip(FIRST_START_WARNINGS, ("Return", "click")):
            shot, box = self.wait_warning_box(monitor, what, main)
            check(monitor.board_is_centred(shot, BY_BOX),
                  f"the board is not centred on the monitor beside the {what} box")
            check(self.files() == files,
                  f"while the {what} box shows the files are {self.files()!r}")
            self.answer_warning_box(monitor, what, shot, box, answer)
        expect_default_files(self.folder)
        if main:
            self.x.check_covers(main, monitor.area)

    def click_at_pace(self, monitor, x, y):
        """Clicks at (x, y) as a player would, so that it reaches the game through weston too:
        weston's X11 backend moves its pointer by the steps of the X pointer from wherever its
        own stands; both stop at the monitor's corner, and from there they agree. A newer
        weston passes the moves and the press on only at a player's pace."""
        self.x.xdotool("mousemove", str(monitor.x), str(monitor.y))
        for step_x in (x - POINTER_STEP, x):
            time.sleep(POINTER_PAUSE)
            self.x.xdotool("mousemove", str(step_x), str(y))
        time.sleep(POINTER_PAUSE)
        self.x.xdotool("mousedown", "1")
        time.sleep(POINTER_PAUSE)
        self.x.xdotool("mouseup", "1")

    def files(self):
        return data_files(self.folder)

    def write(self, name, data):
        with open(os.path.join(self.folder, name), "wb") as f:
            f.write(data)

    def run(self, body):
        """Runs `body()` and returns the exit status: 0 passed, 1 failed (with a picture of the
        screen), 77 skipped. The signals that stop a test end it through `close()` too."""

        def stop(signum, _frame):
            raise SystemExit(f"stopped by signal {signum}")

        for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            signal.signal(signum, stop)
        try:
            body()
            self.say("passed")
            return 0
        except Skip as reason:
            print(f"skipped: {reason}", flush=True)
            return 77
        except (Failure, subprocess.SubprocessError, RuntimeError) as error:
            print(f"FAILED: {error}", flush=True)
            if self.x:
                try:
                    self.snapshot("at-failure")
                except (subprocess.SubprocessError, RuntimeError, OSError):
                    pass
            if self.game and self.game.poll() is not None:
                print(f"the program had ended with status {self.game.returncode}", flush=True)
            return 1
        finally:
            self.close()
