"""The window as a user meets it: size, title, closing, no display."""

import os
import random
import subprocess
import sys
import time
import unittest

import xdriver

from Xlib import X


class WindowTest(unittest.TestCase):
    def test_opens_easy_window_and_closes_on_request(self):
        with xdriver.Game() as game:
            game.start()
            self.assertEqual((204, 270), game.size())
            self.assertEqual("Dentivale!", game.window.get_wm_name())
            game.close_request()
            started = time.time()
            status = game.wait_exit(timeout=5)
            self.assertEqual(0, status)
            self.assertLess(time.time() - started, 1.0)

    def test_still_frames_equal_a_whole_copy(self):
        """The window, kept up to date by copying only the rows that changed,
        equals a whole copy of the same frame: the game makes one when it
        gets the focus back. A patch painted behind the game's back first
        shows that the whole copy happened."""
        rng = random.Random(5)
        with xdriver.Game() as game:
            game.start()
            game.choose(xdriver.HARD)
            self.assertTrue(game.wait_for_size(624, 410))
            gc = game.window.create_gc(foreground=0, subwindow_mode=X.IncludeInferiors)

            def check(what):
                game.move(620, 406)  # off the cells; the glow fades
                time.sleep(0.5)
                composed = game.grab().data
                game.window.fill_rectangle(gc, 0, 0, 624, 410)
                game.d.screen().root.set_input_focus(X.RevertToParent, X.CurrentTime)
                game.window.set_input_focus(X.RevertToParent, X.CurrentTime)
                game.settle()
                self.assertEqual(composed, game.grab().data, what)

            for _ in range(40):  # glow left behind on the Ready board
                game.move(rng.randrange(13, 613), rng.randrange(42, 362))
            game.choose(xdriver.SEPARATOR)
            check("a Ready board after the menu")
            ready_face = game.grab().block(105, 6, 30, 29)
            for _ in range(100):  # random presses end a Hard game soon; the face tells
                c, r = rng.randrange(30), rng.randrange(16)
                game.click(*xdriver.cell_centre(c, r), rng.choice(["left", "left", "right"]), 1)
                if game.grab().block(105, 6, 30, 29) != ready_face:
                    break
            check("a finished game")

    def test_without_display_says_so_and_exits_non_zero(self):
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        started = time.time()
        result = subprocess.run([xdriver.game_path()], env=env, capture_output=True,
                                timeout=10)
        self.assertLess(time.time() - started, 1.0)
        self.assertGreater(result.returncode, 0, "a negative status is a signal")
        lines = result.stderr.decode().strip().splitlines()
        self.assertTrue(any(l.startswith("dentivale: ") and "display" in l for l in lines),
                        lines)


if __name__ == "__main__":
    unittest.main(verbosity=2)
