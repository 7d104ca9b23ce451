"""The game on displays other than the test command's, on an X server of its
own: none at all, 8, 15 and 24 bits against the 16-bit picture; and copies
of the program whose attached data is missing or damaged."""

import os
import struct
import subprocess
import tempfile
import unittest

import xdriver

FIXED_RAND = {"LD_PRELOAD": os.environ["DENTIVALE_FIXED_RAND"]}
REFUSED = "dentivale: the art and fonts attached to the program are missing or damaged"
FEW_COLOURS = ("dentivale: the display shows 256 colours or fewer; "
               "the game needs 15 bits a pixel or more")
DEPTHS = (16, 15, 24, 8)  # the screens of the private server, in order
# Largest difference of a channel (0..255) from the 16-bit picture, by
# depth: a 5-bit field's step is 8, and a blend or a text ramp computed in
# 15 bits may round the other way once more (12 measured); at 24 bits only
# the widening of 16-bit pixels differs (1 measured).
TOLERANCE = {15: 16, 24: 2}
# Scene colours of the 16-bit picture: the frame's background, a counter box.
LAYOUT_POINTS = {(1, 1): (91, 63, 53), (40, 250): (60, 0, 0)}
CLOCK = range(204 - 111, 204 - 10), range(270 - 35, 270 - 10)  # its time may differ
OFF_BOARD = (200, 266)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def setUpModule():
    global server
    server = xdriver.Xvfb(*DEPTHS).__enter__()


def tearDownModule():
    server.__exit__()


class DisplaysTest(unittest.TestCase):
    def test_without_display_one_line_and_status_1(self):
        env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        result = subprocess.run([xdriver.game_path()], env=env, capture_output=True, timeout=10)
        lines = result.stderr.decode().splitlines()
        self.assertEqual(1, result.returncode)
        self.assertEqual(1, len(lines), lines)
        self.assertRegex(lines[0], "^dentivale: .*display")

    def test_refusals_show_a_message_box_and_exit_1(self):
        original = read(xdriver.game_path())
        self.assertEqual(read(os.environ["DENTIVALE_DATA"])[4:], xdriver.attached_datafile(xdriver.game_path()))
        (block,) = struct.unpack(">I", original[-4:])
        count_at = len(original) - block + 8 + 4  # chunk header, "ALL."
        cases = {  # the program's bytes, the screen, the message
            "stripped": (original[:-block], 2, REFUSED),
            "count 17": (original[:count_at] + struct.pack(">I", 17) + original[count_at + 4:], 2, REFUSED),
            "count -1": (original[:count_at] + b"\xff" * 4 + original[count_at + 4:], 2, REFUSED),
            "block longer than the file": (original[:-4] + struct.pack(">I", len(original) + 1), 2, REFUSED),
            "8 bits": (original, DEPTHS.index(8), FEW_COLOURS),
        }
        for what, (program, screen, message) in cases.items():
            with self.subTest(what), tempfile.TemporaryDirectory() as workdir:
                path = os.path.join(workdir, "dentivale")
                with open(path, "wb") as f:
                    f.write(program)
                os.chmod(path, 0o755)
                with xdriver.Game(program=path, workdir=workdir, display_name=server.screen(screen)) as game:
                    game.start_process()
                    game.window = game.wait_for_window("xmessage", 10)
                    game.close_request()  # as a window manager's close button would
                    self.assertEqual(1, game.wait_exit(timeout=5), "a negative status is a signal")
                    self.assertIn(message, game.output()[1].splitlines())

    def pictures(self, depth):
        """The Easy window at a depth: fresh, after the first click, with the menu open."""
        with xdriver.Game(env=FIXED_RAND, display_name=server.screen(DEPTHS.index(depth))) as game:
            game.start()
            game.move(*OFF_BOARD)
            # The pointer starts in the middle of the window, on cell (4, 4).
            cell = lambda c: game.grab().block(*xdriver.cell_origin(c, c), xdriver.CELL, xdriver.CELL)
            game.wait(lambda: cell(4) == cell(0), what="glow faded")
            shots = [game.grab()]
            game.click(*xdriver.cell_centre(4, 4), until=lambda: (4, 4) in game.opened(9, 9))
            game.move(*OFF_BOARD)
            shots.append(game.grab())
            game.open_menu()
            shots.append(game.grab())
            game.close_request()
            self.assertEqual(0, game.wait_exit())
        return shots

    def test_15_and_24_bits_show_the_16_bit_picture(self):
        reference = self.pictures(16)
        for point, colour in LAYOUT_POINTS.items():
            self.assertTrue(xdriver.near(reference[0].pixel(*point), colour, 4), point)
        for depth, tolerance in TOLERANCE.items():
            for n, (want, have) in enumerate(zip(reference, self.pictures(depth))):
                worst = max((max(abs(a - b) for a, b in zip(have.pixel(x, y), want.pixel(x, y))), (x, y))
                            for y in range(want.height) for x in range(want.width)
                            if x not in CLOCK[0] or y not in CLOCK[1])
                self.assertLessEqual(worst[0], tolerance, "%d bits, picture %d: %r" % (depth, n, worst))


if __name__ == "__main__":
    unittest.main(verbosity=2)
