"""The data travelling inside the game: how it is attached, what happens
without it, and the window's icon."""

import os
import shutil
import subprocess
import tempfile
import time
import unittest

from Xlib import X

import xdriver

MISSING = "dentivale: the art and fonts attached to the program are missing or damaged"


def read(path):
    with open(path, "rb") as f:
        return f.read()


class AttachedDataTest(unittest.TestCase):
    def test_datafile_is_attached_uncompressed_behind_an_slh_trailer(self):
        packed = read(os.environ["DENTIVALE_DATA"])
        self.assertEqual(b"slh.ALL.", packed[:8], "the packed datafile is uncompressed")
        self.assertEqual(packed[4:], xdriver.attached_datafile(xdriver.game_path()),
                         "the chunk holds the datafile without its magic")

    def test_without_its_data_the_game_says_so_and_exits_non_zero(self):
        workdir = tempfile.mkdtemp(prefix="dentivale-e2e-")
        try:
            stripped = os.path.join(workdir, "dentivale")
            shutil.copy(xdriver.game_path(), stripped)
            subprocess.run(["exedat", "-d", stripped], check=True, capture_output=True)
            with xdriver.Game(program=stripped, workdir=workdir) as game:
                game.process = subprocess.Popen(
                    [stripped], cwd=workdir, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                box = self.wait_for_message_box(game)
                self.assertIsNotNone(box, "no message box; the game said %r" % (
                    game.output() if game.process.poll() is not None else "nothing yet",))
                game.window = box
                game.close_request()  # as a window manager's close button would
                status = game.wait_exit(timeout=5)
                self.assertIsNotNone(status, "still running after its message was closed")
                self.assertEqual(1, status, "a negative status is a signal")
                _, err = game.output()
                self.assertIn(MISSING, err.splitlines())
        finally:
            shutil.rmtree(workdir, ignore_errors=True)

    @staticmethod
    def wait_for_message_box(game, timeout=10.0):
        deadline = time.time() + timeout
        while time.time() < deadline and game.process.poll() is None:
            box = game.find_window("xmessage")
            if box is not None and box.get_attributes().map_state == X.IsViewable:
                return box
            time.sleep(0.05)
        return None


def read_xpm(path):
    """{(x, y): (r, g, b)} of the opaque pixels of a one-character XPM."""
    with open(path) as f:
        rows = [line.split('"')[1] for line in f if line.startswith('"')]
    width, height, colours = (int(v) for v in rows[0].split()[:3])
    key = {}
    for line in rows[1:1 + colours]:
        value = line.split()[-1]
        key[line[0]] = None if value == "None" else tuple(
            int(value[i:i + 2], 16) for i in (1, 3, 5))
    pixels = {}
    for y, row in enumerate(rows[1 + colours:1 + colours + height]):
        for x, ch in enumerate(row[:width]):
            if key[ch] is not None:
                pixels[(x, y)] = key[ch]
    return width, height, pixels


class IconTest(unittest.TestCase):
    def test_window_shows_the_tooth_icon(self):
        icon_file = os.path.join(os.path.dirname(os.environ["DENTIVALE_DATA"]), "art",
                                 "dentivale.xpm")
        width, height, pixels = read_xpm(icon_file)
        with xdriver.Game() as game:
            game.start()
            hints = game.window.get_wm_hints()
            self.assertTrue(hints.flags & 4, "no icon pixmap in the window's hints")  # IconPixmapHint
            pixmap = hints.icon_pixmap
            geometry = pixmap.get_geometry()
            self.assertEqual((width, height), (geometry.width, geometry.height))
            image = pixmap.get_image(0, 0, width, height, X.ZPixmap, 0xFFFFFFFF)
            self.assertEqual(24, image.depth)
            stride = len(image.data) // height
            wrong = [(xy, rgb) for xy, rgb in pixels.items()
                     if tuple(image.data[xy[1] * stride + xy[0] * 4 + i] for i in (2, 1, 0)) != rgb]
            self.assertEqual([], wrong[:5], "pixels of the icon differ from dentivale.xpm")
            game.close_request()
            self.assertEqual(0, game.wait_exit(timeout=5))
            game.output()


if __name__ == "__main__":
    unittest.main(verbosity=2)
