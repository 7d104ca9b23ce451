"""The game on an X server of its own under a window manager, as players run it: one launch driven through
real input, and its refusals."""

import os
import pathlib
import shutil
import socket
import struct
import subprocess
import tempfile
import time
import unittest

from Xlib import X, Xatom, display, protocol

import xdriver
from xdriver import CUSTOMIZE, EASY, HARD, HIGHSCORES, cell_centre, cell_origin

DATA = os.path.dirname(os.environ["DENTIVALE_DATA"])
ICON = os.path.join(DATA, "art", "dentivale.xpm")
ICON_FILES = os.path.join(DATA, "icons", "dentivale-%d.png")
SCREEN = (1024, 768)
WHITE = (255, 255, 255)
# Dialogs are centred: on Easy (204 x 270) the records at (1, 74), the others at (12, 54).
NAME_FIELD = (12 + 90, 54 + 96)
REFUSED = "dentivale: the art and fonts attached to the program are missing or damaged"
FEW_COLOURS = "dentivale: the display shows 256 colours or fewer; the game needs 15 bits a pixel or more"


def setUpModule():
    """A 24-bit screen that openbox manages, with its own settings only, and an 8-bit screen."""
    global server, manager, settings, screens
    read, write = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-nolisten", "tcp", "-noreset",
                               "-screen", "0", "%dx%dx24" % SCREEN, "-screen", "1", "640x480x8"],
                              pass_fds=[write], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as f:
        number = f.readline().strip()
    screens = {24: ":%s.0" % number, 8: ":%s.1" % number}
    settings = tempfile.mkdtemp(prefix="dentivale-e2e-wm-")
    manager = subprocess.Popen(["openbox", "--sm-disable"], env=dict(os.environ, DISPLAY=screens[24],
                               XDG_CONFIG_HOME=settings), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    d = display.Display(screens[24])
    deadline = time.time() + 10
    while not d.screen().root.get_full_property(d.intern_atom("_NET_SUPPORTING_WM_CHECK"), Xatom.WINDOW):
        assert time.time() < deadline, "openbox did not start"
        time.sleep(0.05)
    d.close()


def tearDownModule():
    for process in (manager, server):
        process.terminate()
        process.wait()
    shutil.rmtree(settings, ignore_errors=True)


def fixed_teeth(first):
    """Easy's ten as the game lays them with fixed_rand.c's rand(), off the first click's row and column."""
    state, laid = 1, set()

    def rand():
        nonlocal state
        state = (state * 1103515245 + 12345) % (1 << 64)
        return state // 65536 % 32768

    while len(laid) < 10:
        x, y = rand() % 9, rand() % 9
        if x != first[0] and y != first[1]:
            laid.add((x, y))
    return laid


def cardinals(game, name):
    prop = game.window.get_full_property(game.d.intern_atom(name), Xatom.CARDINAL)
    return list(prop.value) if prop else []


class GameTest(unittest.TestCase):
    def test_a_won_game_its_dialogs_and_level_changes(self):
        with xdriver.Game(env={"LD_PRELOAD": os.environ["DENTIVALE_FIXED_RAND"]}, display_name=screens[24]) as game:
            game.d.screen().root.warp_pointer(2, 2)  # off the window it opens
            game.start()
            self.assertEqual(((204, 270), xdriver.TITLE), (game.size(), game.window.get_wm_name()))
            image = game.grab()
            self.assertEqual(1, len({image.block(*cell_origin(c, r), xdriver.CELL, xdriver.CELL)
                                     for c in range(9) for r in range(9)}), "a cell lit with the pointer off")
            self.says_what_it_is(game)
            self.level_changes_keep_the_window_and_the_pointer(game, (300, 60))
            self.win_easy_game(game)
            # Only the rows that changed between frames are copied to the window; a whole copy (here of
            # a won game), made when the game gets the focus back over a patch painted behind its back (into
            # the child window the game draws in), must match.
            frame = game.grab()
            black = game.window.create_gc(foreground=0, subwindow_mode=X.IncludeInferiors)
            game.window.fill_rectangle(black, 0, 0, frame.width, frame.height)
            game.d.screen().root.set_input_focus(X.RevertToParent, X.CurrentTime)
            game.window.set_input_focus(X.RevertToParent, X.CurrentTime)
            game.wait(lambda: game.grab().data == frame.data, 5, what="whole copy equal to the window")
            self.dialogs_take_no_press_of_their_opening(game)
            # Near the screen's right edge, Hard moves in just enough to fit.
            self.level_changes_keep_the_window_and_the_pointer(game, (700, 300), overhang=True)
            game.close_by_window_manager()
            self.assertEqual(0, game.wait_exit(timeout=1), "the close request ends the game within a second")

    def says_what_it_is(self, game):
        """Its class for docks, its process and machine, and the icons: the files' and the old hint's."""
        w = game.window
        self.assertEqual(("dentivale", "Dentivale"), w.get_wm_class())
        self.assertEqual(socket.gethostname(), w.get_wm_client_machine())
        self.assertEqual([game.process.pid], list(cardinals(game, "_NET_WM_PID")))
        icons, sizes = cardinals(game, "_NET_WM_ICON"), []
        while icons:
            size, pixels, icons = icons[0], icons[2:2 + icons[0] * icons[1]], icons[2 + icons[0] * icons[1]:]
            sizes.append(size)
            png = subprocess.run(["convert", ICON_FILES % size, "rgba:-"], capture_output=True, check=True).stdout
            unlike = [i for i, argb in enumerate(pixels) if argb >> 24 != png[4 * i + 3] or (
                png[4 * i + 3] and tuple(argb.to_bytes(4, "big")[1:]) != tuple(png[4 * i:4 * i + 3]))]
            self.assertEqual([], unlike[:5], "pixels of the %d-pixel icon unlike its file's" % size)
        self.assertEqual([16, 32, 48, 64, 128, 256], sizes)
        pixmap = w.get_wm_hints().icon_pixmap
        size = pixmap.get_geometry()
        icon = pixmap.get_image(0, 0, size.width, size.height, X.ZPixmap, 0xFFFFFFFF).data
        art = subprocess.run(["convert", ICON, "bgra:-"], capture_output=True, check=True).stdout
        self.assertEqual([], [i // 4 for i in range(0, len(art), 4)  # opaque pixels unlike the file's
                              if art[i + 3] and art[i:i + 3] != icon[i:i + 3]][:5])

    def level_changes_keep_the_window_and_the_pointer(self, game, corner, overhang=False):
        """Dragged there by its title bar, the window keeps its top-left corner through Hard and Easy (moved
        in just enough where Hard would overhang the screen's right edge); the pointer stays where it chose.
        The press on Easy is let go off the shrunk window, where the game cannot see it."""
        game.drag_title(*corner)
        if overhang:  # the frame's right edge on the screen's
            corner = (SCREEN[0] - 624 - (game.frame()[2] - game.size()[0]), corner[1])
        for item, size in ((HARD, (624, 410)), (EASY, (204, 270))):
            origin = game.origin()
            band = (60, 53 + 24 * item)  # the middle of the item's band
            game.open_menu()
            game.move(*band)
            game.press()
            try:
                self.assertTrue(game.wait_for_size(*size), "window remade at %s" % (size,))
                self.assertEqual((origin[0] + band[0], origin[1] + band[1]), game.pointer(), "the pointer moved")
            finally:
                x, y, w, _ = game.frame()
                game.d.screen().root.warp_pointer(x + w + 20, y + 20)
                game.press(X.ButtonRelease)
            game.wait(lambda: game.frame()[:2] == corner, what="window at %s" % (corner,))

    def win_easy_game(self, game):
        first = (4, 4)  # one press after Hard and Easy: a release lost with the old window is not awaited
        game.click(*cell_centre(*first), until=lambda: first in game.opened(9, 9))
        opened = game.opened(9, 9)
        self.assertGreater(len(opened), 9, "the first click opens its empty region")
        # Pressed on a tooth, let go off the board: no cell opens then, nor
        # when the pointer passes over another tooth with no button.
        teeth = fixed_teeth(first)
        one, other = sorted(teeth)[:2]
        game.move(*cell_centre(*one))
        game.press()
        game.wait(lambda: one in game.opened(9, 9), what="cell held down")
        game.move(200, 135, until=lambda: one not in game.opened(9, 9))
        game.press(X.ButtonRelease)
        # The title lit by the pointer: the release off the board was seen.
        game.move(*xdriver.MENU_TITLE, until=lambda: xdriver.near(game.pixel(8, 7), (60, 131, 205)))
        look = lambda: game.grab().block(*cell_origin(*other), 4, 4)
        untouched = look()
        game.move(*cell_centre(*other), until=lambda: look() != untouched)  # its glow
        x, y, w, _ = game.frame()
        game.d.screen().root.warp_pointer(x + w + 20, y + 20)  # off the window: the glow fades
        game.wait(lambda: look() == untouched, what="the glow faded once the pointer left")
        self.assertEqual(opened, game.opened(9, 9))

        safe = {(c, r) for c in range(9) for r in range(9)} - teeth

        def won():  # a click unseen in a slow pass is made again
            left = safe - game.opened(9, 9)
            if left and game.pixel(*NAME_FIELD) != WHITE:
                game.click(*cell_centre(*min(left)), passes_after=1)
            return game.pixel(*NAME_FIELD) == WHITE
        game.wait(won, 60, "name entry after the win")
        # Ctrl+Alt+End must not end the game nor close the entry; a ninth character is dropped.
        for key in ("a", "n", "End", "n", "BackSpace", "a", "space", "l", "e", "e", "x", "y"):
            game.key(key, held=("Control_L", "Alt_L") if key == "End" else ())
        game.key("Return", until=lambda: game.opened(9, 9) == safe)  # the board shown again: the entry has gone
        saved = pathlib.Path(game.workdir, "game.dat").read_bytes
        game.wait(lambda: saved()[:9] == b"ana leex\0" and len(saved()) == 120, what="name in game.dat")
        self.assertRegex(saved()[30:40], rb"^ *[1-9][0-9]*\0$", "the time beside the name")

    def dialogs_take_no_press_of_their_opening(self, game):
        # On Easy the Highscores item lies over Erase: the double click's
        # second press must not erase, a later click must.
        game.choose(HIGHSCORES, double=True)
        erase = lambda: game.grab().block(13, 169, 91, 22)  # the Erase button's face
        lit = erase()
        game.move(121, 134, until=lambda: erase() != lit)  # Erase unlit: the second click was seen
        lines = lambda: game.grab().block(9, 102, 186, 62)  # the three records
        shown = lines()
        game.click_until(51, 179, lambda: lines() != shown, "change by Erase (had the double click erased?)")
        erased = lines()
        game.key("Return", until=lambda: lines() != erased)
        # In a 9 x 7 window the Customize item lies over the density slider:
        # the dialog must open as elsewhere, both sliders in the middle.
        game.choose(CUSTOMIZE)
        dialog = lambda top: game.grab().block(12, top + 3, 180, 156)  # inside the round corners
        middle = dialog(54)
        game.click_until(12 + 40, 54 + 44, lambda: dialog(54) != middle)  # the size slider's first step
        game.key("Return", until=lambda: game.wait_for_size(204, 230, 0))
        game.choose(CUSTOMIZE)
        shown = dialog(34)
        self.assertTrue(middle == shown, "the choosing press moved a slider")
        game.key("Return", until=lambda: dialog(34) != shown)


class DisplaysTest(unittest.TestCase):
    def test_without_display_one_line_and_status_1(self):
        env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        result = subprocess.run([os.environ["DENTIVALE_GAME"]], env=env, capture_output=True, timeout=10)
        self.assertEqual(1, result.returncode)
        self.assertRegex(result.stderr.decode(), r"^dentivale: [^\n]*display[^\n]*\n$")

    def test_refusals_show_a_message_box_and_exit_1(self):
        original = pathlib.Path(os.environ["DENTIVALE_GAME"]).read_bytes()
        (block,) = struct.unpack(">I", original[-4:])
        count = len(original) - block + 8 + 4  # after the chunk header and "ALL."
        for what, program, depth, message in (
                ("stripped", original[:-block], 24, REFUSED),
                ("count 17", original[:count] + struct.pack(">I", 17) + original[count + 4:], 24, REFUSED),
                ("8 bits", original, 8, FEW_COLOURS)):
            with self.subTest(what), xdriver.Game(display_name=screens[depth]) as game:
                game.program = os.path.join(game.workdir, "dentivale")
                pathlib.Path(game.program).write_bytes(program)
                os.chmod(game.program, 0o755)
                game.start_process()
                game.window = game.wait_for_window("xmessage", 10)
                game.close_request()  # as a window manager's close button would
                self.assertEqual(1, game.wait_exit(timeout=5), "a negative status is a signal")
                self.assertIn(message, game.output()[1].splitlines())


if __name__ == "__main__":
    unittest.main(verbosity=2)
