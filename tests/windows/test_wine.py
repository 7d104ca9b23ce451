"""The Windows program at work: its 64-bit twin, built from the same sources
with the same flags, run under wine64 beside the Linux build on the test
display, in the Wine prefix that wine.py prepares."""

import os
import shutil
import subprocess
import tempfile
import time
import unittest

import xdriver

EXE = os.environ["DENTIVALE_WIN64_EXE"]
CLIENT = (204, 270)
QUIT_WITHIN = 2.0  # seconds from the gesture to the exit status
GLOW_FADE = 0.5    # a cell's hover glow fades within 23 passes
DESKTOP = "Default - Wine desktop"


class WineGame(xdriver.Game):
    """The twin under Wine. `window` is the client area, the X window Wine
    gives the game's drawing; `frame` the framed window that carries the
    title and takes the close request."""

    def __init__(self, program=EXE, **kwargs):
        super().__init__(program=program, **kwargs)
        self.frame = None

    def start_process(self):
        # Wine's desktop closes a second after its last window: a program
        # that starts meanwhile may never get its window.
        deadline = time.time() + 10
        while self.windows(DESKTOP) and time.time() < deadline:
            time.sleep(0.05)
        self.process = subprocess.Popen(["wine", self.program], cwd=self.workdir, env=self.env,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def start(self, timeout=60.0):
        started = time.time()
        self.start_process()
        self.attach(self.wait_for_window(xdriver.TITLE, timeout))
        self.wait_until_drawn(timeout)
        self.launch_seconds = time.time() - started
        self.settle()
        return self

    def attach(self, frame):
        children = frame.query_tree().children
        if len(children) != 1:
            raise RuntimeError("the framed window holds %d windows, not its client area"
                               % len(children))
        self.frame, self.window = frame, children[0]

    def wait_for_size(self, width, height, timeout=3.0):
        deadline = time.time() + timeout
        while time.time() < deadline:
            for frame in self.windows(xdriver.TITLE):
                clients = frame.query_tree().children
                if len(clients) == 1:
                    geometry = clients[0].get_geometry()
                    if (geometry.width, geometry.height) == (width, height):
                        self.attach(frame)
                        return True
            time.sleep(0.05)
        return False

    def close_request(self):
        client, self.window = self.window, self.frame
        try:
            super().close_request()
        finally:
            self.window = client


def first_frames(menu_open):
    """The window of the Linux build and of the Windows twin, fresh, the
    pointer resting on the frame, or on the title of the opened menu."""
    frames = []
    for game in (xdriver.Game(), WineGame()):
        with game:
            game.start()
            # A cell the pointer crossed glows a while, and an open menu
            # stops the cells' updates: let the glow go first. Under Wine a
            # move made while the game still starts its mouse is lost, and
            # the game keeps the pointer in the middle of the window: the
            # second move is seen.
            for corner in ((CLIENT[0] - 5, CLIENT[1] - 5), (CLIENT[0] - 4, CLIENT[1] - 4)):
                game.move(*corner)
                time.sleep(GLOW_FADE)
            if menu_open:
                game.open_menu()
            frames.append(game.grab())
            game.close_request()
            game.wait_exit()
    return frames


def differences(a, b):
    return [(x, y, a.pixel(x, y), b.pixel(x, y)) for y in range(a.height)
            for x in range(a.width) if a.pixel(x, y) != b.pixel(x, y)]


class WineTwinTest(unittest.TestCase):
    def test_window_and_first_frame_are_those_of_the_linux_build(self):
        linux, windows = first_frames(menu_open=False)
        self.assertEqual(CLIENT, (windows.width, windows.height))
        self.assertEqual([], differences(linux, windows)[:5])

    def test_open_menu_blends_as_on_linux(self):
        # The panel is the translucent fill's widest use: its vector loop
        # runs here inside the Windows program.
        linux, windows = first_frames(menu_open=True)
        self.assertEqual([], differences(linux, windows)[:5])

    def test_click_uncovers_a_cell_and_starts_the_clock(self):
        clock = (96, 240, 95, 16)  # the clock's text on Easy
        with WineGame() as game:
            game.start()
            print("launch to first frame under wine64: %.1f s" % game.launch_seconds)
            covered = game.grab()
            game.click(*xdriver.cell_centre(4, 4))
            game.move(*xdriver.cell_centre(8, 8))  # let the pressed cell's glow go
            time.sleep(0.5)
            first = game.grab()
            time.sleep(0.3)
            later = game.grab()
            cell = (*xdriver.cell_origin(4, 4), xdriver.CELL, xdriver.CELL)
            self.assertNotEqual(covered.block(*cell), first.block(*cell), "the cell is still covered")
            self.assertNotEqual(covered.block(*clock), first.block(*clock), "the clock did not start")
            self.assertNotEqual(first.block(*clock), later.block(*clock), "the clock stands still")
            self.assert_ends_at_once(game, game.close_request)

    def test_quit_ends_it_at_once(self):
        with WineGame() as game:
            game.start()
            self.assert_ends_at_once(game, lambda: game.choose(xdriver.QUIT))

    def assert_ends_at_once(self, game, gesture):
        gesture()
        asked = time.time()
        status = game.wait_exit(timeout=10)
        self.assertEqual(0, status)
        self.assertLess(time.time() - asked, QUIT_WITHIN)
        self.assertEqual(("", ""), game.output())

    def test_without_its_data_it_says_so_and_exits_1(self):
        workdir = tempfile.mkdtemp(prefix="dentivale-wine-")
        try:
            stripped = os.path.join(workdir, "dentivale.exe")
            shutil.copy(EXE, stripped)
            subprocess.run(["exedat", "-d", stripped], check=True, capture_output=True)
            with WineGame(program=stripped, workdir=workdir) as game:
                game.start_process()
                box = self.wait_for_message_box(game)
                self.assertIsNotNone(box, "no message box")
                game.frame = box
                game.close_request()
                self.assertEqual(1, game.wait_exit(timeout=10))
                _, err = game.output()
                self.assertEqual(["dentivale: the art and fonts attached to the program are "
                                  "missing or damaged"], err.splitlines())
        finally:
            shutil.rmtree(workdir, ignore_errors=True)

    @staticmethod
    def wait_for_message_box(game, timeout=30.0):
        """The message box: a framed window of its own, without the client
        area the game's window has."""
        deadline = time.time() + timeout
        while time.time() < deadline and game.process.poll() is None:
            for window in game.windows(xdriver.TITLE):
                if not window.query_tree().children:
                    return window
            time.sleep(0.1)
        return None


if __name__ == "__main__":
    unittest.main(verbosity=2)
