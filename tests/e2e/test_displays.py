"""The game with no display, on a private X server of 16, 15, 24 and 8 bits (there also
the picture after an invalidation), and copies of it whose attached data is missing or damaged."""

import os
import pathlib
import struct
import subprocess
import tempfile
import unittest

from Xlib import X

import xdriver

REFUSED = "dentivale: the art and fonts attached to the program are missing or damaged"
FEW_COLOURS = "dentivale: the display shows 256 colours or fewer; the game needs 15 bits a pixel or more"
DEPTHS = (16, 15, 24, 8)  # the screens of the private server, in order
# Largest difference of a channel (0..255) from the 16-bit picture: a 5-bit
# step is 8, and a blend or text ramp computed in 15 bits may round the other
# way once more (12 measured); at 24 bits only the widening differs (1).
TOLERANCE = {15: 16, 24: 2}
CLOCK = range(204 - 111, 204 - 10), range(270 - 35, 270 - 10)  # its time may differ


def setUpModule():
    global server, screens
    read, write = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-nolisten", "tcp", "-noreset", *(
        a for i, d in enumerate(DEPTHS) for a in ("-screen", str(i), "400x320x%d" % d))],
        pass_fds=[write], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as f:
        number = f.readline().strip()
    screens = {depth: ":%s.%d" % (number, i) for i, depth in enumerate(DEPTHS)}


def tearDownModule():
    server.terminate()
    server.wait()


class DisplaysTest(unittest.TestCase):
    def test_without_display_one_line_and_status_1(self):
        env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        result = subprocess.run([xdriver.game_path()], env=env, capture_output=True, timeout=10)
        self.assertEqual(1, result.returncode)
        self.assertRegex(result.stderr.decode(), r"^dentivale: [^\n]*display[^\n]*\n$")

    def test_refusals_show_a_message_box_and_exit_1(self):
        original = pathlib.Path(xdriver.game_path()).read_bytes()
        packed = pathlib.Path(os.environ["DENTIVALE_DATA"]).read_bytes()
        self.assertEqual(packed[4:], xdriver.attached_datafile(xdriver.game_path()))
        (block,) = struct.unpack(">I", original[-4:])
        count = len(original) - block + 8 + 4  # after the chunk header and "ALL."
        for what, program, depth, message in (
                ("stripped", original[:-block], 16, REFUSED),
                ("count 17", original[:count] + struct.pack(">I", 17) + original[count + 4:], 16, REFUSED),
                ("count -1", original[:count] + b"\xff" * 4 + original[count + 4:], 16, REFUSED),
                ("block longer than the file", original[:-4] + struct.pack(">I", len(original) + 1), 16, REFUSED),
                ("8 bits", original, 8, FEW_COLOURS)):
            with self.subTest(what), tempfile.TemporaryDirectory() as workdir:
                path = os.path.join(workdir, "dentivale")
                pathlib.Path(path).write_bytes(program)
                os.chmod(path, 0o755)
                with xdriver.Game(path, workdir, display_name=screens[depth]) as game:
                    game.start_process()
                    game.window = game.wait_for_window("xmessage", 10)
                    game.close_request()  # as a window manager's close button would
                    self.assertEqual(1, game.wait_exit(timeout=5), "a negative status is a signal")
                    self.assertIn(message, game.output()[1].splitlines())

    def pictures(self, depth):
        """The Easy window at a depth: fresh, with the menu open, after the first click."""
        env = {"LD_PRELOAD": os.environ["DENTIVALE_FIXED_RAND"]}
        with xdriver.Game(env=env, display_name=screens[depth]) as game:
            game.start()
            game.move(200, 266)  # from the middle of the window, on cell (4, 4): its glow fades
            cell = lambda c: game.grab().block(*xdriver.cell_origin(c, c), xdriver.CELL, xdriver.CELL)
            game.wait(lambda: cell(4) == cell(0), what="glow faded")
            shots = [game.grab()]
            game.open_menu()
            shots.append(game.grab())
            # Only the rows that changed between frames are copied to the window; a whole copy, made
            # when the game gets the focus back over a patch painted behind its back, must match.
            game.window.fill_rectangle(game.window.create_gc(foreground=0), 0, 0, 204, 270)
            game.d.screen().root.set_input_focus(X.RevertToParent, X.CurrentTime)
            game.window.set_input_focus(X.RevertToParent, X.CurrentTime)
            game.wait(lambda: game.grab().data == shots[1].data, 5, "whole copy equal to the window")
            game.click(*xdriver.MENU_TITLE, until=lambda: not game.menu_shown())
            game.click(*xdriver.cell_centre(4, 4), until=lambda: (4, 4) in game.opened(9, 9))
            game.move(200, 266)
            shots.append(game.grab())
            game.close_request()
            self.assertEqual(0, game.wait_exit())
        return shots

    def test_15_and_24_bits_show_the_16_bit_picture(self):
        reference = self.pictures(16)
        for point, colour in {(1, 1): (91, 63, 53), (40, 250): (60, 0, 0)}.items():  # frame, counter box
            self.assertTrue(xdriver.near(reference[0].pixel(*point), colour, 4), point)
        for depth, tolerance in TOLERANCE.items():
            for n, (want, have) in enumerate(zip(reference, self.pictures(depth))):
                worst = max((max(abs(a - b) for a, b in zip(have.pixel(x, y), want.pixel(x, y))), (x, y))
                            for y in range(want.height) for x in range(want.width)
                            if x not in CLOCK[0] or y not in CLOCK[1])
                self.assertLessEqual(worst[0], tolerance, "%d bits, picture %d: %r" % (depth, n, worst))


if __name__ == "__main__":
    unittest.main(verbosity=2)
