"""Best times and the three dialogs through the real window.

A won game needs to know where the decayed teeth lie. The game draws them
with the C library's rand(), x = rand() % cols then y = rand() % rows, none
in the pressed cell's row or column; the preloaded fixed_rand.c replaces
rand() with a fixed generator, so this script can lay the same teeth and
uncover every other cell.
"""

import os
import tempfile
import time
import unittest

import xdriver
from Xlib import X, XK, display
from Xlib.ext import xtest

from xdriver import CUSTOMIZE, HIGHSCORES, cell_centre, menu_item

CLOSING_PAUSE = 0.3     # the records and name dialogs pause 200 ms on closing
SHOTS = os.environ.get("DENTIVALE_SHOTS")  # folder for screenshots, if wanted

# The records dialog on the 204 x 270 Easy window, and its parts.
REC_X, REC_Y = (204 - 201) // 2, (270 - 121) // 2
REC_LINES = (REC_X + 8, REC_Y + 28, 186, 62)      # x, y, w, h of the three lines
REC_ERASE = (REC_X + 50, REC_Y + 105)
# The customize dialog on the same window.
SLIDE_X, SLIDE_Y = (204 - 180) // 2, (270 - 162) // 2
# The name entry dialog on the same window.
INPUT_X, INPUT_Y = (204 - 180) // 2, (270 - 162) // 2



def shim_rand():
    """The generator of fixed_rand.c, step for step."""
    state = 1
    while True:
        state = (state * 1103515245 + 12345) % (1 << 64)
        yield (state // 65536) % 32768


def lay_teeth(cols, rows, teeth, c0, r0):
    draws = shim_rand()
    laid = set()
    while len(laid) < teeth:
        x = next(draws) % cols
        y = next(draws) % rows
        if x != c0 and y != r0:
            laid.add((x, y))
    return laid


def record_block(name, seconds):
    return name.encode().ljust(30, b"\0") + (b"%9d" % seconds)[:9] + b"\0"


def type_name(game, text):
    """Types lower-case letters and spaces."""
    for ch in text:
        game.key("space" if ch == " " else ch)



class DialogsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # Xvfb resets itself when its last client leaves and refuses
        # connections meanwhile; one idle connection keeps it from that
        # between the games a test starts one after another.
        cls.keep_alive = display.Display()

    @classmethod
    def tearDownClass(cls):
        cls.keep_alive.close()

    def shot(self, game, name):
        if SHOTS:
            game.screenshot(os.path.join(SHOTS, name + ".png"))

    def record_lines(self, game):
        game.move(200, 265)  # off both buttons
        return game.grab().block(*REC_LINES)

    def highscores_lines(self, workdir, shot=None):
        """Starts the game in workdir and reads the lines the dialog shows."""
        with xdriver.Game(workdir=workdir) as game:
            game.start()
            game.choose(HIGHSCORES)
            lines = self.record_lines(game)
            if shot:
                self.shot(game, shot)
            game.key("Return")
            game.close_request()
            self.assertEqual(0, game.wait_exit())
        return lines

    def test_highscores_show_the_file_and_erase_touches_memory_only(self):
        own = (record_block("Zed", 5) + record_block("Yannick", 66)
               + record_block("Xu", 777))
        with tempfile.TemporaryDirectory() as fresh, tempfile.TemporaryDirectory() as kept:
            defaults = self.highscores_lines(fresh, "records_defaults")
            with open(os.path.join(fresh, "game.dat"), "rb") as f:
                self.assertEqual(record_block("Quibo", 60) + record_block("Quibo", 600)
                                 + record_block("Quibo", 6000), f.read())

            path = os.path.join(kept, "game.dat")
            with open(path, "wb") as f:
                f.write(own)
            with xdriver.Game(workdir=kept) as game:
                game.start()
                # On Easy the item lies over Erase: the double click's
                # second press must not erase.
                game.open_menu()
                game.double_click(*menu_item(HIGHSCORES))
                shown = self.record_lines(game)
                self.shot(game, "records_own")
                self.assertTrue(defaults != shown, "the double click erased the records")
                game.key("Escape")
                self.assertEqual(shown, self.record_lines(game), "Escape does nothing")
                time.sleep(xdriver.DOUBLE_CLICK)
                game.click(*REC_ERASE)
                self.assertEqual(defaults, self.record_lines(game))
                game.key("Return")
                time.sleep(CLOSING_PAUSE)
                self.assertNotEqual(defaults, self.record_lines(game), "the dialog closed")
                game.choose(HIGHSCORES)
                self.assertEqual(defaults, self.record_lines(game))
                game.close_request()  # while the dialog is open
                self.assertEqual(0, game.wait_exit(timeout=3))
            with open(path, "rb") as f:
                self.assertEqual(own, f.read())
            self.assertEqual(shown, self.highscores_lines(kept), "the file's records again")

    def test_customize_both_sliders_right_gives_the_largest_field(self):
        with xdriver.Game() as game:
            game.start()
            game.choose(CUSTOMIZE)
            self.shot(game, "customize_open")
            time.sleep(xdriver.DOUBLE_CLICK)
            game.click(SLIDE_X + 172, SLIDE_Y + 31 + 13)
            game.click(SLIDE_X + 172, SLIDE_Y + 89 + 13)
            game.move(SLIDE_X + 90, SLIDE_Y + 136)
            self.shot(game, "customize_right")
            game.click(SLIDE_X + 90, SLIDE_Y + 136)
            self.assertTrue(game.wait_for_size(824, 590), game.size())
            game.settle(20)  # the new window takes up the pointer
            game.choose(CUSTOMIZE)
            game.key("Return")  # the sliders start in the middle again
            self.assertTrue(game.wait_for_size(504, 390), game.size())

    def test_the_press_that_chooses_customize_leaves_the_sliders(self):
        def counter_after_return(game):
            """Confirms the dialog and reads the teeth counter of the 504 x 390 window."""
            game.key("Return")
            self.assertTrue(game.wait_for_size(504, 390), game.size())
            game.settle(20)  # the new window takes up the pointer
            game.move(500, 386)
            return game.grab().block(10, 390 - 35, 74, 25)

        with xdriver.Game() as game:
            game.start()
            game.choose(CUSTOMIZE)
            time.sleep(xdriver.DOUBLE_CLICK)
            game.click(SLIDE_X + 32, SLIDE_Y + 31 + 13)  # size 1
            game.key("Return")
            self.assertTrue(game.wait_for_size(204, 230), game.size())
            game.settle(20)
            # In the 9 x 7 window the item lies over the density slider.
            game.choose(CUSTOMIZE)
            chosen = counter_after_return(game)
            game.choose(CUSTOMIZE)  # clear of both sliders here
            self.assertTrue(chosen == counter_after_return(game), "45 teeth, as the dialog opened")

    def test_a_won_easy_game_asks_for_the_name_and_writes_it(self):
        with xdriver.Game(env={"LD_PRELOAD": os.environ["DENTIVALE_FIXED_RAND"]}) as game, \
                OddKey(game.d, "scaron") as scaron:
            game.start()
            first = (4, 4)
            teeth = lay_teeth(9, 9, 10, *first)
            game.click(*cell_centre(*first), passes_after=4)
            started = time.time()
            # A cell opens at the release under the pointer: the pointer
            # stays put until the game has seen the release.
            for r in range(9):
                for c in range(9):
                    if (c, r) not in teeth:
                        game.click(*cell_centre(c, r), passes_after=4)
            elapsed = time.time() - started
            game.move(200, 265)
            self.assertEqual((255, 255, 255), game.pixel(INPUT_X + 90, INPUT_Y + 96),
                             "the name entry's white field")
            self.shot(game, "name_entry_open")
            type_name(game, "ann")
            scaron.press()          # beyond Latin-1: must not become '^'
            game.key("BackSpace")
            type_name(game, "a leexy")  # the y is a ninth character
            self.shot(game, "name_entry_typed")
            game.key("Return")
            time.sleep(CLOSING_PAUSE)
            with open(os.path.join(game.workdir, "game.dat"), "rb") as f:
                saved = f.read()
        self.assertEqual(120, len(saved))
        self.assertEqual(b"ana leex\0", saved[:9])
        self.assertEqual(b"\0" * 21, saved[9:30])
        seconds = int(saved[30:39])
        self.assertEqual(b"%9d\0" % seconds, saved[30:40])
        # The clock counts passes: it may fall behind the wall clock, never ahead.
        self.assertLessEqual(seconds, elapsed + 1)
        self.assertGreaterEqual(seconds, 1)
        self.assertEqual(record_block("Quibo", 600) + record_block("Quibo", 6000), saved[40:])


class OddKey:
    """A key that types a character the default keymap lacks, on a spare keycode."""

    def __init__(self, d, keysym_name):
        self.d = d
        self.keysym = XK.string_to_keysym(keysym_name)
        first = d.display.info.min_keycode
        count = d.display.info.max_keycode - first + 1
        mapping = d.get_keyboard_mapping(first, count)
        spare = [first + i for i, syms in enumerate(mapping) if not any(syms)]
        self.keycode = spare[-1]
        self.width = len(mapping[0])

    def __enter__(self):
        self.d.change_keyboard_mapping(self.keycode, [(self.keysym,) * self.width])
        self.d.sync()
        return self

    def __exit__(self, *exc):
        self.d.change_keyboard_mapping(self.keycode, [(X.NoSymbol,) * self.width])
        self.d.sync()

    def press(self):
        xtest.fake_input(self.d, X.KeyPress, self.keycode)
        self.d.sync()
        time.sleep(xdriver.HOLD)
        xtest.fake_input(self.d, X.KeyRelease, self.keycode)
        self.d.sync()
        time.sleep(6 * xdriver.FRAME)


if __name__ == "__main__":
    unittest.main(verbosity=2)
