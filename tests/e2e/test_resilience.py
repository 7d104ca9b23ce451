"""The game under hostile or unusual conditions: damaged attached data,
the library's abort keys while a name is typed, and X displays of other
depths than 16 bits."""

import os
import shutil
import struct
import tempfile
import time
import unittest

import test_data
import test_dialogs
import xdriver

from xdriver import cell_centre

REFUSED = "dentivale: the art and fonts attached to the program are missing or damaged"
FEW_COLOURS = ("dentivale: the display shows 256 colours or fewer; "
               "the game needs 15 bits a pixel or more")
FIXED_RAND = {"LD_PRELOAD": os.environ["DENTIVALE_FIXED_RAND"]}
# Largest difference of a channel (0..255) from the 16-bit picture, by
# depth: a 5-bit field's step is 8, and a blend or a text ramp computed in
# 15 bits may round the other way once more (12 measured); at 24 bits only
# the widening of 16-bit pixels differs (1 measured).
DEPTH_TOLERANCE = {15: 16, 24: 2}
# Scene colours at points of the Easy window: the frame's background and a
# counter box.
LAYOUT_POINTS = {(1, 1): (91, 63, 53), (40, 250): (60, 0, 0)}
OFF_BOARD = (200, 266)
GLOW_FADE = 0.6         # the hover glow fades out within 23 passes


def wait_refusal(test, game):
    """Dismisses the message box of a game that cannot start; its status and
    the lines of its stderr."""
    box = test_data.AttachedDataTest.wait_for_message_box(game)
    test.assertIsNotNone(box, "no message box")
    game.window = box
    game.close_request()
    status = game.wait_exit(timeout=5)
    return status, game.output()[1].splitlines()


class DamagedAttachedDataTest(unittest.TestCase):
    def test_a_damaged_copy_says_so_and_exits_with_status_1(self):
        original = test_data.read(xdriver.game_path())
        (block,) = struct.unpack(">I", original[-4:])
        count_at = len(original) - block + 8 + 4  # chunk header, "ALL."
        damages = {
            "count 17": lambda b: b[:count_at] + struct.pack(">I", 17) + b[count_at + 4:],
            "count -1": lambda b: b[:count_at] + b"\xff" * 4 + b[count_at + 4:],
            "block longer than the file": lambda b: b[:-4] + struct.pack(">I", len(b) + 1),
        }
        for what, damage in damages.items():
            with self.subTest(what), tempfile.TemporaryDirectory() as workdir:
                program = os.path.join(workdir, "dentivale")
                with open(program, "wb") as f:
                    f.write(damage(original))
                shutil.copymode(xdriver.game_path(), program)
                with xdriver.Game(program=program, workdir=workdir) as game:
                    game.start_process()
                    status, lines = wait_refusal(self, game)
                    self.assertEqual(1, status, "a negative status is a signal")
                    self.assertIn(REFUSED, lines)


class AbortKeysTest(unittest.TestCase):
    def test_ctrl_alt_end_leaves_the_name_entry_open(self):
        with xdriver.Game(env=FIXED_RAND) as game:
            game.start()
            win_easy_game(game)
            test_dialogs.type_name(game, "ab")
            game.key("End", held=("Control_L", "Alt_L"))
            self.assertIsNone(game.wait_exit(timeout=0.5), "the game ended")
            self.assertEqual((255, 255, 255), name_field(game), "the name entry closed")
            test_dialogs.type_name(game, "c")
            game.key("Return")
            time.sleep(test_dialogs.CLOSING_PAUSE)
            with open(os.path.join(game.workdir, "game.dat"), "rb") as f:
                self.assertEqual(b"abc\0", f.read(4))
            game.close_request()
            self.assertEqual(0, game.wait_exit())


def win_easy_game(game):
    """Uncovers every cell but the teeth that the fixed rand() lays."""
    first = (4, 4)
    teeth = test_dialogs.lay_teeth(9, 9, 10, *first)
    game.click(*cell_centre(*first), passes_after=4)
    for r in range(9):
        for c in range(9):
            if (c, r) not in teeth:
                game.click(*cell_centre(c, r), passes_after=4)


def name_field(game):
    game.move(*OFF_BOARD)
    return game.pixel(test_dialogs.INPUT_X + 90, test_dialogs.INPUT_Y + 96)


class DisplayDepthTest(unittest.TestCase):
    def pictures(self, depth):
        """The Easy window at a depth: fresh, after the first click, with the
        menu open; the clock's box is blanked, as its time may differ."""
        with xdriver.Xvfb(depth) as x, xdriver.Game(env=FIXED_RAND, display_name=x.name) as game:
            game.start()
            shots = []
            for act in (lambda: None, lambda: game.click(*cell_centre(4, 4))):
                act()
                game.move(*OFF_BOARD)
                time.sleep(GLOW_FADE)
                shots.append(blank_clock(game.grab()))
            game.click(*xdriver.MENU_TITLE)
            shots.append(blank_clock(game.grab()))
            game.close_request()
            self.assertEqual(0, game.wait_exit())
        return shots

    def test_15_and_24_bits_show_the_16_bit_picture(self):
        reference = self.pictures(16)
        for point, colour in LAYOUT_POINTS.items():
            self.assertLessEqual(difference(reference[0], point, colour), 4, point)
        for depth in DEPTH_TOLERANCE:
            for n, (want, have) in enumerate(zip(reference, self.pictures(depth))):
                worst = max((difference(have, (x, y), want.pixel(x, y)), (x, y))
                            for y in range(want.height) for x in range(want.width))
                self.assertLessEqual(worst[0], DEPTH_TOLERANCE[depth],
                                     "%d bits, picture %d: %r" % (depth, n, worst))

    def test_8_bits_are_refused_in_one_line(self):
        with xdriver.Xvfb(8) as x, xdriver.Game(display_name=x.name) as game:
            game.start_process()
            status, lines = wait_refusal(self, game)
            self.assertEqual(1, status)
            self.assertIn(FEW_COLOURS, lines)


def difference(image, point, colour):
    return max(abs(a - b) for a, b in zip(image.pixel(*point), colour))


def blank_clock(image):
    """The image with the clock box (Easy window) painted black."""
    data = bytearray(image.data)
    for y in range(image.height - 35, image.height - 10):
        for x in range(image.width - 111, image.width - 10):
            i = 4 * (y * image.width + x)
            data[i:i + 4] = b"\0\0\0\0"
    return xdriver.Image(image.width, image.height, bytes(data))


if __name__ == "__main__":
    unittest.main(verbosity=2)
