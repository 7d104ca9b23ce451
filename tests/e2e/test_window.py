"""The window as a desktop sees it: its size, title and icon, a level change,
the picture surviving an invalidation, and the close button."""

import os
import random
import subprocess
import time
import unittest

from Xlib import X, Xutil

import xdriver
from xdriver import CELL, cell_centre, cell_origin

ICON = os.path.join(os.path.dirname(os.environ["DENTIVALE_DATA"]), "art", "dentivale.xpm")


class WindowTest(unittest.TestCase):
    def assert_whole_copy_equal(self, game, what):
        """The window, kept up to date by copying only the rows that changed
        between frames, equals a whole copy of the same still frame, which
        the game makes when it gets the focus back; a patch painted behind
        its back shows that the copy happened."""
        composed = game.grab().data
        width, height = game.size()
        game.window.fill_rectangle(game.window.create_gc(foreground=0), 0, 0, width, height)
        game.d.screen().root.set_input_focus(X.RevertToParent, X.CurrentTime)
        game.window.set_input_focus(X.RevertToParent, X.CurrentTime)
        game.wait(lambda: game.grab().data == composed, 3, "whole copy equal to the window: " + what)

    def test_window_icon_level_change_invalidation_and_close(self):
        rng = random.Random(5)
        with xdriver.Game(env={"LD_PRELOAD": os.environ["DENTIVALE_FIXED_RAND"]}) as game:
            game.start()
            self.assertEqual((204, 270), game.size())
            self.assertEqual(xdriver.TITLE, game.window.get_wm_name())

            hints = game.window.get_wm_hints()
            self.assertTrue(hints.flags & Xutil.IconPixmapHint, "no icon in the window's hints")
            size = hints.icon_pixmap.get_geometry()
            icon = hints.icon_pixmap.get_image(0, 0, size.width, size.height, X.ZPixmap, 0xFFFFFFFF).data
            rgba = subprocess.run(["convert", ICON, "rgba:-"], capture_output=True, check=True).stdout
            self.assertEqual(len(rgba), len(icon), "the icon's size")
            wrong = [i // 4 for i in range(0, len(rgba), 4)
                     if rgba[i + 3] and rgba[i:i + 3] != bytes((icon[i + 2], icon[i + 1], icon[i]))]
            self.assertEqual([], wrong[:5], "pixels of the icon that differ from dentivale.xpm")

            game.choose(xdriver.HARD)
            self.assertTrue(game.wait_for_size(624, 410), game.size())
            self.assertEqual(set(), game.opened(30, 16), "the choosing press opened a cell")
            covered = game.grab().block(*cell_origin(29, 15), CELL, CELL)
            for _ in range(15):  # glow left behind in many rows
                last = rng.randrange(13, 593), rng.randrange(42, 362)
                game.move(*last)
            game.choose(xdriver.SEPARATOR)
            game.move(620, 406)
            for x, y in (last, xdriver.menu_item(xdriver.SEPARATOR)):  # the last cells to glow
                cell = cell_origin((x - 13) // CELL, (y - 42) // CELL)
                game.wait(lambda: game.grab().block(*cell, CELL, CELL) == covered, what="glow faded")
            self.assert_whole_copy_equal(game, "a Ready board after glow and the menu")

            first = (10, 8)
            teeth = xdriver.fixed_teeth(30, 16, 99, first)
            game.click(*cell_centre(*first), until=lambda: first in game.opened(30, 16))
            game.click(*cell_centre(*min(teeth)))
            safe = {(c, r) for c in range(30) for r in range(16)} - teeth
            game.wait(lambda: safe <= game.opened(30, 16), what="lost game showing its board")
            self.assert_whole_copy_equal(game, "a lost game")

            game.close_request()
            asked = time.time()
            self.assertEqual(0, game.wait_exit(timeout=5))
            self.assertLess(time.time() - asked, 1.0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
