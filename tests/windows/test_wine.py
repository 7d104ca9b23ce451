"""The Windows program at work: its 64-bit twin, built from the same sources
with the same flags, run under wine64 beside the Linux build on the test
display, in the Wine prefix that wine.py prepares."""

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

EXE = os.environ["DENTIVALE_WIN64_EXE"]
CLIENT = (204, 270)
QUIT_WITHIN = 2.0  # seconds from the gesture to the exit status


class WineGame(xdriver.Game):
    """The twin under Wine. `window` is the client area, the X window Wine
    gives the game's drawing; `frame` the framed window around it, which
    carries the title and takes the close request."""

    def __init__(self, program=EXE, **kwargs):
        super().__init__(program=program, **kwargs)
        self.frame = None

    def start_process(self):
        wine.wait_for_desktop_to_close()
        self.process = subprocess.Popen(["wine", self.program], cwd=self.workdir, env=self.env,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def start(self, timeout=60.0):
        started = time.time()
        self.start_process()
        if not self.wait_for_size(*CLIENT, timeout=timeout):
            raise RuntimeError("no %d x %d window titled %r; the game said %r" % (
                *CLIENT, xdriver.TITLE, self.output() if self.process.poll() is not None else ""))
        self.launch_seconds = time.time() - started
        return self

    def sized(self, width, height):
        for frame in self.windows(xdriver.TITLE):
            clients = frame.query_tree().children
            if len(clients) == 1 and (clients[0].get_geometry().width,
                                      clients[0].get_geometry().height) == (width, height):
                self.frame, self.window = frame, clients[0]
                return True
        return False

    def move(self, x, y):
        # DirectInput under Wine reads the pointer's motion and may miss a warp.
        ox, oy = self.origin()
        xtest.fake_input(self.d, X.MotionNotify, x=ox + x, y=oy + y)
        self.settle(3)

    def close_request(self):
        client, self.window = self.window, self.frame
        try:
            super().close_request()
        finally:
            self.window = client


def still(game, region):
    """The region's pixels once they stand still over a few passes."""
    shots = [game.grab(*region)]

    def steady():
        game.settle(4)
        shots.append(game.grab(*region))
        return shots[-1].data == shots[-2].data
    game.wait(steady, what="picture standing still")
    return shots[-1]


def rest_pointer(game, at=(CLIENT[0] - 5, CLIENT[1] - 5), region=None):
    """The pointer at rest on window pixel at (the frame unless given), and
    the region's pixels (the whole window unless given) once they stand
    still: the glow of any cell it crossed gone. The game under Wine may miss
    one move, while its mouse starts or after a press: the second is seen."""
    for dx in (0, 1):
        game.move(at[0] + dx, at[1])
    return still(game, region or (0, 0, *CLIENT))


def differences(a, b):
    return [(x, y, a.pixel(x, y), b.pixel(x, y)) for y in range(a.height)
            for x in range(a.width) if a.pixel(x, y) != b.pixel(x, y)]


class WineTwinTest(unittest.TestCase):
    def assert_ends_at_once(self, game, gesture):
        gesture()
        asked = time.time()
        self.assertEqual(0, game.wait_exit(timeout=10))
        self.assertLess(time.time() - asked, QUIT_WITHIN)
        self.assertEqual(("", ""), game.output())

    def test_window_and_frames_are_those_of_the_linux_build_and_close_ends_it(self):
        # The open menu is the translucent fill's widest use: its vector
        # loop runs here inside the Windows program.
        frames = []
        for game in (xdriver.Game(), WineGame()):
            with game:
                game.start()
                fresh = rest_pointer(game)  # an open menu stops the cells' glow fading
                game.open_menu()
                frames.append((fresh, rest_pointer(game, xdriver.MENU_TITLE)))
                self.assert_ends_at_once(game, game.close_request)
        (linux, linux_menu), (windows, windows_menu) = frames
        self.assertEqual(CLIENT, (windows.width, windows.height))
        self.assertEqual([], differences(linux, windows)[:5])
        self.assertEqual([], differences(linux_menu, windows_menu)[:5])

    def test_a_click_uncovers_a_cell_and_starts_the_clock_and_quit_ends_it(self):
        clock = (96, 240, 95, 16)  # the clock's text on Easy
        cell = (*xdriver.cell_origin(4, 4), xdriver.CELL, xdriver.CELL)
        with WineGame() as game:
            game.start()
            print("launch to first frame under wine64: %.1f s" % game.launch_seconds)
            covered = rest_pointer(game)
            game.click(*xdriver.cell_centre(4, 4))
            uncovered = rest_pointer(game, region=cell)
            self.assertNotEqual(covered.block(*cell), uncovered.data, "the cell is still covered")
            running = game.grab(*clock).data
            self.assertNotEqual(covered.block(*clock), running, "the clock did not start")
            game.wait(lambda: game.grab(*clock).data != running, what="clock moving")
            self.assert_ends_at_once(game, lambda: game.choose(xdriver.QUIT))

    def test_without_its_data_it_says_so_and_exits_1(self):
        with tempfile.TemporaryDirectory(prefix="dentivale-wine-") as workdir:
            stripped = os.path.join(workdir, "dentivale.exe")
            shutil.copy(EXE, stripped)
            subprocess.run(["exedat", "-d", stripped], check=True, capture_output=True)
            with WineGame(program=stripped, workdir=workdir) as game:
                game.start_process()
                # The message box: a framed window of its own, without the
                # client area the game's window has.
                def box():
                    game.frame = next((w for w in game.windows(xdriver.TITLE)
                                       if not w.query_tree().children), None)
                    return game.frame or game.process.poll() is not None
                game.wait(box, 60, "message box")
                self.assertIsNotNone(game.frame, "no message box")
                game.close_request()
                self.assertEqual(1, game.wait_exit(timeout=10))
                self.assertEqual(["dentivale: the art and fonts attached to the program are "
                                  "missing or damaged"], game.output()[1].splitlines())


def tearDownModule():
    wine.wait_for_desktop_to_close()


if __name__ == "__main__":
    unittest.main(verbosity=2)
