"""One launch driven through real input: the window as a desktop sees it, a game won and its name
saved, and the presses that open dialogs over the board, one of them in a window made smaller."""

import os
import pathlib
import subprocess
import time
import unittest

from Xlib import X, Xutil

import xdriver
from xdriver import CUSTOMIZE, HIGHSCORES, cell_centre, cell_origin

ICON = os.path.join(os.path.dirname(os.environ["DENTIVALE_DATA"]), "art", "dentivale.xpm")
WHITE = (255, 255, 255)
# Dialogs are centred: on Easy (204 x 270) the records at (1, 74), the others at (12, 54).
NAME_FIELD = (12 + 90, 54 + 96)
REC_LINES, REC_ERASE, REC_ERASE_FACE = (9, 102, 186, 62), (51, 179), (13, 169, 91, 22)


def fixed_teeth(cols, rows, teeth, first):
    """Where fixed_rand.c lays them: x = rand() % cols, y = rand() % rows, off the first click's row and column."""
    state, laid = 1, set()
    while len(laid) < teeth:
        xy = []
        for n in (cols, rows):
            state = (state * 1103515245 + 12345) % (1 << 64)
            xy.append(state // 65536 % 32768 % n)
        if xy[0] != first[0] and xy[1] != first[1]:
            laid.add(tuple(xy))
    return laid


def record(name, seconds):
    return name.ljust(30, b"\0") + b"%9d\0" % seconds


class GameTest(unittest.TestCase):
    def test_window_a_won_game_and_its_dialogs(self):
        with xdriver.Game(env={"LD_PRELOAD": os.environ["DENTIVALE_FIXED_RAND"]}) as game:
            game.start()
            self.assertEqual(((204, 270), xdriver.TITLE), (game.size(), game.window.get_wm_name()))
            hints = game.window.get_wm_hints()
            self.assertTrue(hints.flags & Xutil.IconPixmapHint, "no icon in the window's hints")
            size = hints.icon_pixmap.get_geometry()
            icon = hints.icon_pixmap.get_image(0, 0, size.width, size.height, X.ZPixmap, 0xFFFFFFFF).data
            rgba = subprocess.run(["convert", ICON, "rgba:-"], capture_output=True, check=True).stdout
            self.assertEqual(len(rgba), len(icon), "the icon's size")
            self.assertEqual([], [i // 4 for i in range(0, len(rgba), 4)  # opaque pixels unlike the file's
                                  if rgba[i + 3] and rgba[i:i + 3] != bytes((icon[i + 2], icon[i + 1], icon[i]))][:5])
            self.win_easy_game(game)
            self.dialogs_take_no_press_of_their_opening(game)

            game.close_request()
            asked = time.time()
            self.assertEqual(0, game.wait_exit(timeout=5))
            self.assertLess(time.time() - asked, 1.0)

    def win_easy_game(self, game):
        first, started = (4, 4), time.time()
        teeth = fixed_teeth(9, 9, 10, first)
        game.click(*cell_centre(*first), until=lambda: first in game.opened(9, 9))
        opened = game.opened(9, 9)
        self.assertGreater(len(opened), 9, "the first click opens its empty region")
        # Pressed on a tooth, let go off the board: no cell opens then, nor
        # when the pointer passes over another tooth with no button.
        one, other = sorted(teeth)[:2]
        game.move(*cell_centre(*one))
        game.press()
        game.wait(lambda: one in game.opened(9, 9), what="cell held down")
        game.move(200, 135)
        game.wait(lambda: one not in game.opened(9, 9), what="pointer off the board seen")
        game.release()
        game.move(*xdriver.MENU_TITLE)  # lit by the pointer: the release off the board was seen
        game.wait(lambda: xdriver.near(game.pixel(8, 7), (60, 131, 205)), what="title lit")
        look = lambda: game.grab().block(*cell_origin(*other), 4, 4)
        untouched = look()
        game.move(*cell_centre(*other))
        game.wait(lambda: look() != untouched, what="hover glow")
        self.assertEqual(opened, game.opened(9, 9))

        safe = {(c, r) for c in range(9) for r in range(9)} - teeth

        def won():  # a click unseen in a slow pass is made again
            left = safe - game.opened(9, 9)
            if game.pixel(*NAME_FIELD) == WHITE:
                return True
            if left:
                game.click(*cell_centre(*min(left)), passes_after=1)
        game.wait(won, 60, "name entry after the win")
        elapsed = time.time() - started
        # Ctrl+Alt+End must not end the game nor close the entry; a ninth character is dropped.
        for name in ("a", "n", "End", "n", "BackSpace", "a", "space", "l", "e", "e", "x", "y"):
            game.key(name, held=("Control_L", "Alt_L") if name == "End" else ())
        game.key("Return", until=lambda: game.pixel(*NAME_FIELD) != WHITE)
        saved = pathlib.Path(game.workdir, "game.dat").read_bytes
        game.wait(lambda: saved()[:9] == b"ana leex\0" and len(saved()) == 120, what="name in game.dat")
        seconds = int(saved()[30:39])
        self.assertEqual(record(b"ana leex", seconds) + record(b"Quibo", 600) + record(b"Quibo", 6000), saved())
        # The clock counts passes: it may fall behind the wall clock, never ahead.
        self.assertTrue(1 <= seconds <= elapsed + 1, (seconds, elapsed))

    def dialogs_take_no_press_of_their_opening(self, game):
        # On Easy the Highscores item lies over Erase: the double click's
        # second press must not erase, a later click must.
        game.choose(HIGHSCORES, double=True)
        erase = lambda: game.grab().block(*REC_ERASE_FACE)
        lit = erase()
        game.move(121, 134)
        game.wait(lambda: erase() != lit, what="unlit Erase (the game has seen the second click)")
        lines = lambda: game.grab().block(*REC_LINES)
        shown = lines()
        game.click_until(*REC_ERASE, lambda: lines() != shown, "change by Erase (had the double click erased?)")
        erased = lines()
        game.key("Return", until=lambda: lines() != erased)
        # In a 9 x 7 window the Customize item lies over the density slider:
        # the dialog must open as elsewhere, both sliders in the middle.
        game.choose(CUSTOMIZE)
        dialog = lambda top: game.grab().block(12, top + 3, 180, 156)  # inside the round corners
        middle = dialog(54)
        game.click_until(12 + 40, 54 + 44, lambda: dialog(54) != middle)  # the size slider's first step
        game.key("Return", until=lambda: game.wait_for_size(204, 230, 0))
        game.choose(CUSTOMIZE)
        self.assertTrue(middle == dialog(34), "the choosing press moved a slider")
        game.key("Return", until=lambda: game.wait_for_size(504, 390, 0))


if __name__ == "__main__":
    unittest.main(verbosity=2)
