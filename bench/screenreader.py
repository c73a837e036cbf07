#!/usr/bin/python3
"""What a screen reader hears of the game: the state changes it is sent on the accessibility bus.

usage: dbus-run-session -- python3 bench/screenreader.py <path to tintmaze>

Starts a private Xvfb and the game with the accessibility bus up (QT_LINUX_ACCESSIBILITY_ALWAYS_ON,
at-spi2-core's bus launcher, started by the session bus on demand) in a folder holding both data
files, and plays what a player does at the title: the colour panel opened and saved with OK, the
best-score table opened and closed, then Escape. Prints how many "sensitive" and "enabled" state
changes and how many events in all the game sent meanwhile, beside the bound of 40 for the first
two together. Needs Xvfb, xdotool and python3-pyatspi (Debian packages of those names)."""

import os
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from xscreen import DEFAULT_FILES, DATA_FILES, Monitor, XScreen, poll  # noqa: E402

import pyatspi  # noqa: E402
import subprocess  # noqa: E402

BOUND = 40
BUTTON_STEP = 80  # pixels between two title buttons; ColorOption lies half a step below the middle


def main():
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
