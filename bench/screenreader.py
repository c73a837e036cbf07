#!/usr/bin/python3
"""What a screen reader hears of the game: the state changes it is sent on the accessibility bus.

usage: dbus-run-session -- python3 bench/screenreader.py <path to tintmaze>
       dbus-run-session -- python3 bench/screenreader.py --heard [--orca] <path to tintmaze>

Starts a private Xvfb and the game with the accessibility bus up (QT_LINUX_ACCESSIBILITY_ALWAYS_ON,
at-spi2-core's bus launcher, started by the session bus on demand) in a folder holding both data
files, and plays what a player does at the title: the colour panel opened and saved with OK, the
best-score table opened and closed, then Escape. Prints how many "sensitive" and "enabled" state
changes and how many events in all the game sent meanwhile, beside the bound of 40 for the first
two together. Needs Xvfb, xdotool and python3-pyatspi (Debian packages of those names).

With --heard it plays a whole game instead (level 3, whose stored best is -5, so that a game without
a point asks for a name): the title read in the order a screen reader reads it, the table opened
and closed, time up, and "Jürgen" typed into the name box; it prints the notifications the game
showed a screen reader (what Orca speaks without the focus moving) and where the focus went. With
--orca as well, Orca itself runs (as a user other than root, as Orca wants) and what it said is
printed from its debug log; needs the Debian package orca.

    setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME=/tmp/orca-home \\
        dbus-run-session -- python3 bench/screenreader.py --heard --orca build/tintmaze"""

import os
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from xscreen import DEFAULT_FILES, DATA_FILES, Monitor, XScreen, poll, stop_process  # noqa: E402

import pyatspi  # noqa: E402
import subprocess  # noqa: E402

BOUND = 40
BUTTON_STEP = 80  # pixels between two title buttons; ColorOption lies half a step below the middle


def read_in_order(node, depth=0, lines=None):
    """The names and roles of the showing objects under `node`, in the order a reader reads."""
    lines = [] if lines is None else lines
    for child in node:
        try:
            showing = child.getState().contains(pyatspi.STATE_SHOWING)
            if showing and (child.name or child.childCount):
                if child.name:
                    lines.append(f"{'  ' * depth}{child.getRoleName()}: {child.name}")
                read_in_order(child, depth + 1, lines)
        except Exception:  # the object went meanwhile
            pass
    return lines


def what_is_heard(game, with_orca):
    folder = tempfile.mkdtemp(prefix="tintmaze-heard-")
    records = bytearray(DEFAULT_FILES[0])
    records[56 * 2 + 54:56 * 2 + 56] = (-5).to_bytes(2, "little", signed=True)
    records[56 * 8:56 * 8 + 20] = b"Jean-Baptiste Dupont"
    for name, data in zip(DATA_FILES, (bytes(records), DEFAULT_FILES[1])):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    screen = Monitor(0, 0, 1024, 768)
    x = XScreen(screen.width, screen.height, os.path.join(folder, "xvfb.log"))
    notices, focus, lock = [], [], threading.Lock()

    def listen(event):
        try:
            app = event.source.getApplication()
            if app is None or app.name.lower() != "tintmaze" or not event.detail1:
                return
            role, name = event.source.getRole(), event.source.name
        except Exception:  # the object went meanwhile
            return
        with lock:
            if os.environ.get("HEARD_DEBUG") and "showing" in event.type:
                print("showing", event.source.getRoleName(), repr(name), flush=True)
            if event.type == "object:state-changed:showing" and \
                    role == pyatspi.ROLE_NOTIFICATION:
                notices.append(name)
            elif event.type == "object:state-changed:focused":
                focus.append(f"{event.source.getRoleName()}: {name}")

    pyatspi.Registry.registerEventListener(listen, "object:state-changed")
    env = dict(x.env, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    orca_log = os.path.join(folder, "orca.log")
    orca = subprocess.Popen(["orca", "--debug-file", orca_log], env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) \
        if with_orca else None
    time.sleep(3 if with_orca else 0)
    player = subprocess.Popen([game], cwd=folder, env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    review, steps = [], []

    def step(what):
        with lock:
            steps.append((what, len(notices), len(focus)))

    def play():
        poll(lambda: x.windows("^Tintmaze$"), 20)
        time.sleep(2.5)
        step("title")
        for app in pyatspi.Registry.getDesktop(0):
            if app and app.name.lower() == "tintmaze":
                review.extend(read_in_order(app))
        cx, cy = screen.centre()
        for what, act, wait in (("table", lambda: x.click(cx, cy - BUTTON_STEP // 2), 2),
                                ("table closed", lambda: x.key("Return"), 1),
                                ("level dialog", lambda: x.key("Return"), 1),
                                ("game at level 3", lambda: x.key("Return"), 36),
                                ("name entry", lambda: x.key("Return"), 2),
                                ("typed Jürgen", lambda: x.type_text("Jürgen"), 3),
                                ("Escape", lambda: x.key("Escape"), 1)):
            act()
            time.sleep(wait)
            step(what)
        player.wait(10)
        pyatspi.Registry.stop()

    threading.Thread(target=play, daemon=True).start()
    pyatspi.Registry.start()
    if orca:
        stop_process(orca)
    x.close()
    print("the title as a screen reader reads it:")
    print("\n".join("  " + line for line in review))
    done_notices = done_focus = 0
    for what, n, f in steps:
        print(f"{what}: notified {notices[done_notices:n]}; focus to {focus[done_focus:f]}")
        done_notices, done_focus = n, f
    if orca:
        with open(orca_log, errors="replace") as log:
            said = [line.split("SPEECH OUTPUT: ", 1)[1].strip() for line in log
                    if "SPEECH OUTPUT: " in line]
        print(f"Orca said ({len(said)} utterances):")
        print("\n".join("  " + line for line in said))
    print(f"the game ended with status {player.returncode}")
    return 0


def main():
    if len(sys.argv) >= 3 and sys.argv[1] == "--heard":
        with_orca = sys.argv[2] == "--orca"
        if len(sys.argv) != 3 + with_orca:
            print(__doc__, file=sys.stderr)
            return 2
        return what_is_heard(os.path.abspath(sys.argv[-1]), with_orca)
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    game = os.path.abspath(sys.argv[1])
    folder = tempfile.mkdtemp(prefix="tintmaze-reader-")
    for name, data in zip(DATA_FILES, DEFAULT_FILES):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    screen = Monitor(0, 0, 1024, 768)
    x = XScreen(screen.width, screen.height, os.path.join(folder, "xvfb.log"))
    counts = {"sensitive": 0, "enabled": 0, "all": 0}
    lock = threading.Lock()

    def heard(event):
        try:
            app = event.source.getApplication()
            if app is None or app.name.lower() != "tintmaze":
                return
        except Exception:  # the object went meanwhile
            return
        with lock:
            counts["all"] += 1
            for state in ("sensitive", "enabled"):
                counts[state] += event.type == f"object:state-changed:{state}"

    pyatspi.Registry.registerEventListener(heard, "object", "window", "focus")
    env = dict(x.env, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    player = subprocess.Popen([game], cwd=folder, env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    steps = []

    def play():
        poll(lambda: x.windows("^Tintmaze$"), 20)
        time.sleep(1.5)
        cx, cy = screen.centre()
        for what, act in (("colour panel", lambda: x.click(cx, cy + BUTTON_STEP // 2)),
                          ("OK", lambda: x.key("alt+o")),
                          ("table", lambda: x.click(cx, cy - BUTTON_STEP // 2)),
                          ("table closed", lambda: x.key("Return")),
                          ("Escape", lambda: x.key("Escape"))):
            act()
            time.sleep(1.0)
            with lock:
                steps.append(f"{what}: {counts['sensitive'] + counts['enabled']}")
        player.wait(10)
        time.sleep(0.5)
        pyatspi.Registry.stop()

    threading.Thread(target=play, daemon=True).start()
    pyatspi.Registry.start()
    x.close()
    print(f"state changes after each step (sensitive + enabled): {'; '.join(steps)}")
    together = counts["sensitive"] + counts["enabled"]
    print(f"sensitive {counts['sensitive']}, enabled {counts['enabled']}: {together} "
          f"(bound {BOUND}, {'met' if together <= BOUND else 'NOT met'}); "
          f"{counts['all']} events in all; the game ended with status {player.returncode}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
