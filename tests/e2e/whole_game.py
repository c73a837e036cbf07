#!/usr/bin/env python3
"""Plays one whole game of the real program in a real X window and checks the files it leaves.

usage: whole_game.py <path to tintmaze> <folder for screenshots and logs>

Starts a private Xvfb at 1024 x 768, runs the game full screen in an empty folder, answers the
boxes warning of the missing data files (Enter, then a click on OK), plays a level-1 game to the
end by clicking the four cells in turn, enters a name for the new best score and checks that
jx.hsd holds it with the score the screen counted; then Escape must end the program with status 0.
(What the unit tests prove in the same run is left to them: "Cansel" and Escape save nothing,
test_panel; a best changes only its slot, test_menu_scores; nothing is left beside the files,
test_save_faults.)
Exit status 0 on success, 1 on failure, 77 when a needed X tool is missing.
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from session import Session  # noqa: E402
from xscreen import (TWIPS_PER_PIXEL, Monitor, check, end_on_escape, game_timing,  # noqa: E402
                     need, poll)

SCREEN_W, SCREEN_H = 1024, 768
SCREEN = Monitor(0, 0, SCREEN_W, SCREEN_H)
BOARD_X, BOARD_Y = SCREEN.board()[:2]  # Picture1, 352 px square
PLAYER_NAME = "E2E Player 7"

# The level slider HScroll1 in twips inside the board; its left arrow is at its left end.
SLIDER_LEFT, SLIDER_TOP, SLIDER_HEIGHT = 350, 2070, 500
LEFT_ARROW = (BOARD_X + SLIDER_LEFT // TWIPS_PER_PIXEL + 6,
              BOARD_Y + (SLIDER_TOP + SLIDER_HEIGHT // 2) // TWIPS_PER_PIXEL)
VALUE_LABEL = (571, 313, 671, 346)  # Label4(2), the slider's value
# Level 1: 2 x 2 cells of 32 px at board pixels 144..208.
GRID = (BOARD_X + 144, BOARD_Y + 144, BOARD_X + 208, BOARD_Y + 208)
CELL_CENTRES = [(GRID[0] + 16 + 32 * (i % 2), GRID[1] + 16 + 32 * (i // 2)) for i in range(4)]
BOARD_EMPTY_SPOT = (BOARD_X + 64, BOARD_Y + 42)  # on the board, clear of cells and pictures
SCORE_LABEL = (336, 560, 430, 585)  # Label6, under the board

# The timing as the mode table has it (30 s of 100 ms ticks, a 300 ms verdict, as described).
GAME_SECONDS = game_timing("kGameTimeMs")  # verdicts and ticks never take less wall time
STOP_CLICKING_AFTER = GAME_SECONDS - 2.0  # so that no cell click can meet the game-over screen
# One click every verdict and one and a half measuring ticks (450 ms): the verdict, then the
# board stays long enough for a measuring tick, so the gauge runs down while the game is played.
CLICK_PERIOD = game_timing("kVerdictTickMs") + 1.5 * game_timing("kMeasureTickMs")
VERDICT_BORDER = (444, 356, 478, 420)  # left edge of Label3 ("OK"/"Bad"), left of the grid

RECORD_SIZE, NAME_SIZE, SLOTS = 56, 54, 9


# --- what the screen shows, from a grab ----------------------------------------------------------

def region_signature(shot, box):
    x0, y0, x1, y1 = box
    return bytes(sum(shot.pixel(x, y)) // 3 for y in range(y0, y1) for x in range(x0, x1))


# --- the test ------------------------------------------------------------------------------------

class Run(Session):
    def __init__(self, game_path, out_dir):
        super().__init__(game_path, out_dir, os.path.join(out_dir, "screenshots"))

    def start_in_empty_folder(self):
        self.open_display(SCREEN_W, SCREEN_H)
        check(os.listdir(self.folder) == [], "the game folder is not empty")
        self.start_game_on_x()

    def start_up(self):
        self.main = self.x.main_window()
        self.answer_first_start_warnings(SCREEN, self.main)
        self.wait_screen(SCREEN.is_title, 20, "the title screen")
        time.sleep(2.0)  # let the logo come to rest for the picture
        shot = self.x.grab()
        check(not SCREEN.warning_box(shot), "a third warning box")
        self.snapshot("title", shot)

    def choose_level_one(self):
        self.x.focus(self.main)
        self.x.key("Return")
        shot = self.wait_screen(SCREEN.is_level_dialog, 10, "the level dialog")
        self.snapshot("level-dialog", shot)
        for step in (2, 1):
            before = region_signature(shot, VALUE_LABEL)
            self.x.click(*LEFT_ARROW)
            shot = poll(lambda: (lambda s: s if region_signature(s, VALUE_LABEL) != before
                                 else None)(self.x.grab()), 5)
            check(shot, f"the value label did not change to {step} on a click on the left arrow")
        self.snapshot("level-1-chosen", shot)
        self.x.focus(self.main)
        self.x.key("Return")
        confirmed = time.monotonic()
        shot = self.wait_screen(SCREEN.is_count_down, 5, "the count-down")
        self.snapshot("count-down", shot)
        shot = self.wait_screen(SCREEN.is_playing, 10, "the first board")
        self.first_board = time.monotonic()
        waited = self.first_board - confirmed
        self.say(f"first board {waited:.2f} s after confirming the level")
        check(waited > 2.5, f"the first board came {waited:.2f} s after confirming the level")
        box = shot.dark_box(*SCREEN.inside())
        check(box and all(abs(a - b) <= 1 for a, b in zip(box, GRID)),
              f"the first board's grid covers {box}, not the 2 x 2 cells at {GRID}")
        self.snapshot("first-board", shot)
        return shot

    def play(self, shot):
        """Clicks the four cells in turn until shortly before the time is up and waits for the
        game-over picture; returns the score counted from the changes of the score label."""
        signature = region_signature(shot, SCORE_LABEL)
        changes = clicks = verdicts = 0
        wrong_saved = False
        first_marker, mid_marker = SCREEN.marker_top(shot), None
        check(first_marker is not None and first_marker < BOARD_Y + 32,
              f"the gauge marker is at {first_marker} at the first board, not at the top")
        next_click = time.monotonic()
        while time.monotonic() - self.first_board < STOP_CLICKING_AFTER:
            check(SCREEN.is_playing(shot), "the game left the board before its time was up")
            time.sleep(max(0.0, next_click - time.monotonic()))
            next_click = time.monotonic() + CLICK_PERIOD
            self.x.click(*CELL_CENTRES[clicks % 4])
            clicks += 1
            shot = poll(lambda: (lambda s: s if s.dark_box(*VERDICT_BORDER) else None)(
                self.x.grab()), 0.25, interval=0.01) or self.x.grab()
            verdict = shot.dark_box(*VERDICT_BORDER) is not None
            verdicts += verdict
            new = region_signature(shot, SCORE_LABEL)
            if new != signature:
                changes += 1
                signature = new
                if changes == 1:
                    self.snapshot("verdict-ok", shot)
            elif verdict and not wrong_saved:
                self.snapshot("verdict-bad", shot)
                wrong_saved = True
            if mid_marker is None and time.monotonic() - self.first_board > GAME_SECONDS / 2:
                mid_marker = SCREEN.marker_top(shot) or 0
                self.snapshot("mid-game", shot)
        self.say(f"{clicks} cell clicks, {verdicts} verdicts seen, "
                 f"score label rose {changes} times")
        check(verdicts == clicks, f"{clicks} clicks on cells but {verdicts} verdicts seen")
        shot = self.wait_screen(lambda s: SCREEN.is_game_over(s) or not SCREEN.is_playing(s), 15,
                                "game over")
        if region_signature(shot, SCORE_LABEL) != signature:
            changes += 1
        check(SCREEN.is_game_over(shot), "the board gave way to something other than game over")
        self.say(f"game over {time.monotonic() - self.first_board:.2f} s after the first board")
        self.snapshot("game-over", shot)
        markers = (first_marker, mid_marker or 0, SCREEN.marker_top(shot) or 0)
        self.say(f"gauge marker at y {markers[0]}, {markers[1]}, {markers[2]} "
                 "(first board, mid-game, game over)")
        check(markers[0] < markers[1] < markers[2] and markers[2] > BOARD_Y + 300,
              f"the gauge marker did not run down: {markers}")
        return changes

    def enter_name(self):
        self.x.click(*BOARD_EMPTY_SPOT)
        shot = self.wait_screen(SCREEN.is_name_entry, 10, "the name entry")
        self.snapshot("name-entry", shot)
        self.x.type_text(PLAYER_NAME)
        time.sleep(0.3)
        self.snapshot("name-typed")
        before = self.files()
        self.x.key("Return")
        check(poll(lambda: self.files() != before, 10), "Enter did not store the name")
        self.wait_screen(SCREEN.is_title, 10, "the title after the name entry")
        time.sleep(2.0)
        self.snapshot("title-after-entry")

    def check_best(self, screen_score):
        table = self.files()[0]
        check(table is not None and len(table) == SLOTS * RECORD_SIZE,
              f"jx.hsd holds {None if table is None else len(table)} bytes, not 504")
        name = table[:NAME_SIZE]
        score = int.from_bytes(table[NAME_SIZE:RECORD_SIZE], "little", signed=True)
        print(f"score found in jx.hsd slot 1: {score} (the score label rose {screen_score} times)",
              flush=True)
        check(name == PLAYER_NAME.encode().ljust(NAME_SIZE, b" "), f"slot 1 name {name!r}")
        check(score > 0, f"slot 1 score {score}")
        check(score == screen_score,
              f"slot 1 holds {score}, the score label rose {screen_score} times")

    def escape(self):
        self.x.focus(self.main)
        end_on_escape(self.x, self.game)
        self.say("the program ended on Escape with status 0")


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    run = Run(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]))

    def whole_game():
        need("Xvfb", "xdotool", "xwd", "xwininfo", "xprop", "convert", "import")
        run.start_in_empty_folder()
        run.start_up()
        shot = run.choose_level_one()
        screen_score = run.play(shot)
        run.enter_name()
        run.check_best(screen_score)
        run.escape()

    return run.run(whole_game)


if __name__ == "__main__":
    sys.exit(main())
