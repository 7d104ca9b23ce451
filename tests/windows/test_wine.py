"""The Windows program at work: its 64-bit twin, built from the same sources with
the same flags, and its unit tests, run under wine64 in the prefix of wine.py."""

import glob
import os
import shutil
import subprocess
import tempfile
import time
import unittest

import wine
import xdriver
from Xlib import X
from Xlib.ext import xtest

CLIENT = (204, 270)


class WineGame(xdriver.Game):
    """The twin under Wine: `window` the client area it draws in, `frame` the titled window around it."""
    exe = os.environ["DENTIVALE_WIN64_EXE"]

    def start_process(self):
        wine.wait_for_desktop_to_close()
        self.process = subprocess.Popen(["wine", self.exe], cwd=self.workdir, env=self.env,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def start(self):
        self.start_process()
        if not self.wait_for_size(*CLIENT, timeout=60):
            raise AssertionError("no %d x %d window titled %r" % (*CLIENT, xdriver.TITLE))
        return self

    def sized(self, width, height):
        for frame in self.windows(xdriver.TITLE):
            for client in frame.query_tree().children:
                if (client.get_geometry().width, client.get_geometry().height) == (width, height):
                    self.frame, self.window = frame, client
                    return True
        return False

    def move(self, x, y):
        # DirectInput under Wine reads the pointer's motion and may miss a warp.
        ox, oy = self.origin()
        xtest.fake_input(self.d, X.MotionNotify, x=ox + x, y=oy + y)
        self.settle(3)

    def corner(self):
        """The frame's top-left corner on the screen."""
        pos = self.frame.translate_coords(self.d.screen().root, 0, 0)
        return -pos.x, -pos.y

    def close_request(self):
        self.window = self.frame  # nothing is drawn after it: the game ends
        super().close_request()


def rest_pointer(game, at=(CLIENT[0] - 5, CLIENT[1] - 5), region=(0, 0, *CLIENT), fresh=False):
    """The pointer at rest on window pixel at (moved twice: Wine may miss a move as its mouse starts or
    after a press), then the region once still and, if fresh, no cell glowing (the game may stall)."""
    for dx in (0, 1):
        game.move(at[0] + dx, at[1])
    shots = [game.grab(*region)]
    cells = [(*xdriver.cell_origin(c, r), xdriver.CELL, xdriver.CELL) for c in range(9) for r in range(9)]

    def steady():
        game.settle(4)
        shots.append(game.grab(*region))
        alike_cells = len({shots[-1].block(*cell) for cell in cells}) == 1
        return shots[-1].data == shots[-2].data and (not fresh or alike_cells)
    game.wait(steady, what="picture standing still")
    return shots[-1]


class WineTwinTest(unittest.TestCase):
    def assert_ends_at_once(self, game, gesture):
        gesture()
        asked = time.time()
        self.assertEqual(0, game.wait_exit(timeout=10))
        self.assertLess(time.time() - asked, 2.0, "seconds from the gesture to the exit")
        self.assertEqual(("", ""), game.output())

    def test_first_frame_and_open_menu_are_those_of_the_linux_build_and_close_ends_it(self):
        # The open menu is the translucent fill's widest use: its vector loop runs here in the twin.
        pictures = []
        for game in (xdriver.Game(), WineGame()):
            with game:
                # The pointer may start on a cell, and an open menu stops a glow fading.
                fresh = rest_pointer(game.start(), fresh=True)
                game.open_menu()
                pictures.append((fresh, rest_pointer(game, xdriver.MENU_TITLE)))
                self.assert_ends_at_once(game, game.close_request)
        for linux, windows in zip(*pictures):
            self.assertEqual([], [(x, y) for y in range(linux.height) for x in range(linux.width)
                                  if linux.pixel(x, y) != windows.pixel(x, y)][:5])

    def test_a_click_uncovers_a_cell_and_starts_the_clock_and_quit_ends_it(self):
        clock = (96, 240, 95, 16)  # the clock's text on Easy
        x, y = xdriver.cell_origin(4, 4)
        with WineGame() as game:
            border = rest_pointer(game.start()).pixel(1, 1)  # a cell's face held down or uncovered
            game.click(*xdriver.cell_centre(4, 4), until=lambda: game.pixel(x + 2, y + 2) == border)
            running = game.grab(*clock).data
            game.wait(lambda: game.grab(*clock).data != running, what="clock moving")
            # Hard keeps the window's top-left corner, moved in to fit Wine's 1024-pixel desktop; the pointer
            # stays on the item that chose it.
            left, top = game.corner()
            border = game.origin()[0] - left  # the frame's, on either side
            item = (game.origin()[0] + 60, game.origin()[1] + 53 + 24 * xdriver.HARD)
            game.choose(xdriver.HARD)
            self.assertTrue(game.wait_for_size(624, 410))
            expected = (min(left, 1024 - 624 - 2 * border), top)
            game.wait(lambda: game.corner() == expected, what="window at %s" % (expected,))
            self.assertEqual(item, game.pointer(), "the pointer moved")
            self.assert_ends_at_once(game, lambda: game.choose(xdriver.QUIT))

    def test_without_its_data_it_says_so_and_exits_1(self):
        with WineGame() as game:
            game.exe = shutil.copy(game.exe, game.workdir)
            subprocess.run(["exedat", "-d", game.exe], check=True, capture_output=True)
            game.start_process()

            def box():  # a framed window of its own, without the game window's client area
                return next((w for w in game.windows(xdriver.TITLE) if not w.query_tree().children), None)
            game.wait(box, 60, "message box")
            game.frame = box()
            game.close_request()
            self.assertEqual(1, game.wait_exit(timeout=10))
            self.assertEqual(["dentivale: the art and fonts attached to the program are "
                              "missing or damaged"], game.output()[1].splitlines())


class UnitTestsUnderWine(unittest.TestCase):
    def test_every_unit_test_program_built_for_windows_passes(self):
        programs = glob.glob(os.path.dirname(WineGame.exe) + "/tests/**/test_*.exe", recursive=True)
        self.assertNotEqual([], programs)
        for program in sorted(programs):
            # Each in a working folder of its own, for the records files it writes.
            with self.subTest(os.path.basename(program)), tempfile.TemporaryDirectory() as workdir:
                self.assertEqual(0, subprocess.run(["wine", program], cwd=workdir, timeout=300).returncode)


def tearDownModule():
    wine.wait_for_desktop_to_close()


if __name__ == "__main__":
    unittest.main(verbosity=2)
