"""A game won through real input, its record saved, and the presses that
open dialogs over the board; fixed_rand.c fixes where the teeth lie."""

import os
import time
import unittest

import xdriver
from xdriver import CUSTOMIZE, HIGHSCORES, cell_centre

WHITE = (255, 255, 255)
NAME_FIELD = ((204 - 180) // 2 + 90, (270 - 162) // 2 + 96)  # in the name entry on Easy
REC_X, REC_Y = (204 - 201) // 2, (270 - 121) // 2            # the records dialog on Easy
REC_LINES, REC_ERASE = (REC_X + 8, REC_Y + 28, 186, 62), (REC_X + 50, REC_Y + 105)
SLIDE_X = (204 - 180) // 2                                    # the customize dialog


def read(path):
    with open(path, "rb") as f:
        return f.read()


def record(name, seconds):
    return name.ljust(30, b"\0") + b"%9d\0" % seconds


class PlayTest(unittest.TestCase):
    def test_a_won_game_saves_its_name_and_the_dialogs_take_no_press_of_their_opening(self):
        with xdriver.Game(env={"LD_PRELOAD": os.environ["DENTIVALE_FIXED_RAND"]}) as game:
            game.spare_key("scaron")
            game.start()
            first = (4, 4)
            teeth = xdriver.fixed_teeth(9, 9, 10, first)
            started = time.time()
            game.click(*cell_centre(*first), until=lambda: first in game.opened(9, 9))
            opened = game.opened(9, 9)
            self.assertGreater(len(opened), 9, "the first click opens its empty region")

            # Pressed on a tooth, let go off the board: no cell opens then,
            # nor when the pointer passes over another tooth with no button.
            one, other = sorted(teeth)[:2]
            game.move(*cell_centre(*one))
            game.press()
            game.wait(lambda: one in game.opened(9, 9), what="cell held down")
            game.move(200, 135)
            game.wait(lambda: one not in game.opened(9, 9), what="pointer off the board seen")
            game.release()
            game.move(*xdriver.MENU_TITLE)  # lit by the pointer: the release off the board was seen
            game.wait(lambda: xdriver.near(game.pixel(8, 7), (60, 131, 205)), what="title lit")
            look = lambda: game.grab().block(*xdriver.cell_origin(*other), 4, 4)
            untouched = look()
            game.move(*cell_centre(*other))
            game.wait(lambda: look() != untouched, what="hover glow")
            self.assertEqual(opened, game.opened(9, 9))

            safe = {(c, r) for c in range(9) for r in range(9)} - teeth

            def won():  # a click lost on a busy machine is made again
                left = safe - game.opened(9, 9)
                if game.pixel(*NAME_FIELD) == WHITE:
                    return True
                if left:
                    game.click(*cell_centre(*min(left)), passes_after=1)
            game.wait(won, 60, "name entry after uncovering every other cell")
            elapsed = time.time() - started

            # Ctrl+Alt+End must not end the game; a character beyond
            # Latin-1 must not become '^'; a ninth character is dropped.
            for name in ("a", "n", "End", "n", "scaron", "BackSpace", "a", "space", "l", "e", "e", "x", "y"):
                game.key(name, held=("Control_L", "Alt_L") if name == "End" else ())
            game.key("Return", until=lambda: game.pixel(*NAME_FIELD) != WHITE)
            saved = lambda: read(os.path.join(game.workdir, "game.dat"))
            game.wait(lambda: saved()[:9] == b"ana leex\0", what="name in game.dat: %r" % saved()[:9])
            seconds = int(saved()[30:39])
            self.assertEqual(record(b"ana leex", seconds) + record(b"Quibo", 600) + record(b"Quibo", 6000),
                             saved())
            # The clock counts passes: it may fall behind the wall clock, never ahead.
            self.assertTrue(1 <= seconds <= elapsed + 1, (seconds, elapsed))

            # On Easy the item lies over Erase: the double click's second
            # press must not erase, a later click must.
            game.choose(HIGHSCORES, double=True)
            erase = lambda: game.grab().block(REC_X + 12, REC_Y + 95, 91, 22)
            lit = erase()
            game.move(REC_X + 120, REC_Y + 60)
            game.wait(lambda: erase() != lit, what="Erase unlit: the game has seen the second click")
            lines = lambda: game.grab().block(*REC_LINES)
            shown = lines()
            game.click_until(*REC_ERASE, lambda: lines() != shown,
                             what="Erase changed nothing: the double click erased the records")
            erased = lines()
            game.key("Return", until=lambda: lines() != erased)

            # In a 9 x 7 window the item lies over the density slider: the
            # dialog must open as it does elsewhere, both sliders in the middle.
            game.choose(CUSTOMIZE)
            dialog = lambda top: game.grab().block(SLIDE_X, top + 3, 180, 156)  # inside the round corners
            middle = dialog((270 - 162) // 2)
            game.click_until(SLIDE_X + 32, (270 - 162) // 2 + 44, lambda: dialog((270 - 162) // 2) != middle)
            game.key("Return", until=lambda: game.wait_for_size(204, 230, 0))
            game.choose(CUSTOMIZE)
            self.assertTrue(middle == dialog((230 - 162) // 2), "the choosing press moved a slider")
            game.close_request()
            self.assertEqual(0, game.wait_exit(timeout=5))


if __name__ == "__main__":
    unittest.main(verbosity=2)
