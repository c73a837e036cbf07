"""Starts the installed game the way the desktop menu does and checks where its files go.

    python3 check_menu_start.py DESKTOP_FILE

The command of the menu entry's Exec line runs twice on a private Xvfb screen, each time with a
fresh HOME and from an unrelated folder: once without XDG_DATA_HOME, once with it set. Each run
must show the two warning boxes of an empty folder, create jx.hsd and jx.iro under
$XDG_DATA_HOME/tintmaze (~/.local/share/tintmaze without the variable), leave the folder it was
started from and HOME itself alone, and end with status 0 on Escape.
"""

import os
import shlex
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from xscreen import XScreen, poll, stop_process  # noqa: E402

WARNING_TITLE = "読み込みエラー"
MAIN_TITLE = "Tintmaze"
FILE_SIZES = {"jx.hsd": 504, "jx.iro": 42}
WAIT_SECONDS = 30


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def menu_command(desktop_file):
    """The Exec line of the entry as an argument list, without field codes such as %f."""
    with open(desktop_file, encoding="utf-8") as entry:
        lines = [line.rstrip("\n") for line in entry if line.startswith("Exec=")]
    check(len(lines) == 1, f"{desktop_file} has {len(lines)} Exec lines")
    return [arg for arg in shlex.split(lines[0][len("Exec="):]) if not arg.startswith("%")]


def accept_warnings(screen):
    """Presses Enter on each of the two warning boxes, one after the other."""
    previous = None
    for which in ("high-score", "colour"):
        found = poll(lambda: [w for w in screen.windows(f"^{WARNING_TITLE}$") if w != previous],
                     WAIT_SECONDS)
        check(len(found) == 1, f"{len(found)} {which} warning boxes instead of one")
        previous = found[0]
        screen.focus(previous)
        screen.key("Return")
        check(poll(lambda: previous not in screen.windows(f"^{WARNING_TITLE}$"), 10),
              f"the {which} warning box did not close on Enter")


def start_from_menu(screen, command, scratch, data_home):
    """One start with a fresh HOME; data_home None leaves XDG_DATA_HOME unset."""
    home = os.path.join(scratch, "home")
    elsewhere = os.path.join(scratch, "elsewhere")
    runtime = os.path.join(scratch, "runtime")
    for folder in (home, elsewhere):
        os.makedirs(folder)
    os.makedirs(runtime, mode=0o700)
    env = dict(screen.env, HOME=home, XDG_RUNTIME_DIR=runtime, QT_QPA_PLATFORM="xcb")
    env.pop("XDG_DATA_HOME", None)
    if data_home is not None:
        env["XDG_DATA_HOME"] = data_home
    expected = os.path.join(data_home or os.path.join(home, ".local", "share"), "tintmaze")

    with open(os.path.join(scratch, "game.log"), "wb") as log:
        game = subprocess.Popen(command, cwd=elsewhere, env=env, stdout=log,
                                stderr=subprocess.STDOUT)
        try:
            accept_warnings(screen)
            main = poll(lambda: screen.windows(f"^{MAIN_TITLE}$"), WAIT_SECONDS)
            check(main, "the game window did not appear after the warnings")
            sizes = {name: os.path.getsize(os.path.join(expected, name))
                     for name in FILE_SIZES if os.path.isfile(os.path.join(expected, name))}
            check(sizes == FILE_SIZES, f"files in {expected}: {sizes}")
            for folder in (elsewhere, home):
                strays = [name for name in FILE_SIZES if os.path.exists(os.path.join(folder, name))]
                check(not strays, f"{strays} written into {folder}")
            screen.focus(main[0])
            screen.key("Escape")
            status = game.wait(10)
            check(status == 0, f"the game ended with status {status}")
        except subprocess.TimeoutExpired:
            raise Failure("the game did not end on Escape")
        finally:
            stop_process(game)
    print(f"menu start with XDG_DATA_HOME {'set' if data_home else 'unset'}: "
          f"files created in {expected}, exit status 0")


def main():
    command = menu_command(sys.argv[1])
    with tempfile.TemporaryDirectory() as scratch:
        screen = XScreen(1024, 768, os.path.join(scratch, "xvfb.log"))
        try:
            for run, data_home in (("unset", None), ("set", os.path.join(scratch, "set", "data"))):
                start_from_menu(screen, command, os.path.join(scratch, run), data_home)
        except Failure as failure:
            print(f"check_menu_start: {failure}", file=sys.stderr)
            return 1
        finally:
            screen.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
