"""Drives the real game window over one long-lived X connection (Xvfb now and then refuses new ones).
On a busy machine a pass of the 60 Hz loop can take far longer than its period: a gesture waits for its effect."""

import os
import shutil
import struct
import subprocess
import tempfile
import time

from Xlib import X, XK, display, error, protocol
from Xlib.ext import xtest

TITLE = "Dentivale!"
FRAME = 1.0 / 60        # one pass of the game's loop
HOLD = 0.08             # a button or key is held at least this long
# The game's window, in window pixels.
BACKGROUND = (91, 63, 53)  # its border, and the face of an uncovered cell
BOARD_LEFT, BOARD_TOP, CELL = 13, 42, 20
MENU_TITLE = (50, 20)
MENU_EDGE, MENU_OUTLINE = (143, 100), (11, 11, 85)  # the open menu's right edge, over the board
EASY, INTERMEDIATE, HARD, CUSTOMIZE, SEPARATOR, HIGHSCORES, QUIT = range(7)


def cell_origin(c, r):
    return BOARD_LEFT + CELL * c, BOARD_TOP + CELL * r


def cell_centre(c, r):
    return BOARD_LEFT + CELL * c + CELL // 2, BOARD_TOP + CELL * r + CELL // 2


def near(a, b, tolerance=8):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def holds(done):
    """done(), or False while the window it looks at is hidden or resized by a level change."""
    try:
        return done()
    except (error.BadMatch, error.BadWindow, error.BadDrawable):
        return False


def attached_datafile(program):
    """The datafile exedat attached to a program, without its "slh." magic: a chunk
    stored uncompressed (two equal big-endian lengths, the body), "slh+", the block's length."""
    with open(program, "rb") as f:
        data = f.read()
    (block,) = struct.unpack(">I", data[-4:])
    body = data[-block + 8:-8]
    if data[-8:-4] != b"slh+" or struct.unpack(">II", data[-block:-block + 8]) != (len(body), len(body)):
        raise ValueError("no datafile attached uncompressed to %s" % program)
    return body


class Game:
    """The game in a working directory of its own, killed and the directory removed at the end."""

    def __init__(self, program=None, workdir=None, env=None, display_name=None):
        self.program = program or os.environ["DENTIVALE_GAME"]
        self.owns_workdir = workdir is None
        self.workdir = workdir or tempfile.mkdtemp(prefix="dentivale-e2e-")
        self.env = dict(os.environ, **(env or {}), **({"DISPLAY": display_name} if display_name else {}))
        self.process = self.window = None
        self.d = display.Display(display_name)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.process:
            self.process.kill()  # a no-op once it has ended
            self.process.communicate()  # also closes the output pipes
        self.d.close()
        if self.owns_workdir:
            shutil.rmtree(self.workdir, ignore_errors=True)

    def start_process(self):
        self.process = subprocess.Popen([self.program], cwd=self.workdir, env=self.env,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def start(self, timeout=10.0):
        # With no window manager the keys go where the pointer is, unless a
        # program that came and went (Wine's desktop) left the focus on none.
        self.d.set_input_focus(X.PointerRoot, X.RevertToPointerRoot, X.CurrentTime)
        self.start_process()
        self.window = self.wait_for_window(TITLE, timeout)
        self.wait_until_drawn(timeout)
        return self

    def wait(self, done, timeout=10.0, what="effect"):
        deadline = time.time() + timeout
        while not holds(done):
            if time.time() > deadline:
                raise AssertionError("no %s within %.1f s" % (what, timeout))
            time.sleep(FRAME)

    def wait_until_drawn(self, timeout=10.0):
        """Waits for a frame at the window's size: a press sent before may go unseen."""
        self.wait(lambda: near(self.pixel(self.size()[0] - 2, self.size()[1] - 2), BACKGROUND), timeout, "frame")

    def wait_exit(self, timeout=5.0):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def output(self):
        return tuple(s.decode(errors="replace") for s in self.process.communicate())

    def settle(self, passes=6):
        """Lets the game run a few passes, where no effect shows."""
        self.d.sync()
        time.sleep(passes * FRAME)

    def windows(self, title):
        found, stack = [], [self.d.screen().root]
        while stack:
            w = stack.pop()
            try:
                if w.get_wm_name() == title and w.get_attributes().map_state == X.IsViewable:
                    found.append(w)
                stack.extend(w.query_tree().children)
            except Exception:  # a window vanished while we walked the tree
                continue
        return found

    def wait_for_window(self, title, timeout):
        self.wait(lambda: self.windows(title), timeout, "window titled %r" % title)
        return self.windows(title)[0]

    def size(self):
        g = self.window.get_geometry()
        return g.width, g.height

    def sized(self, width, height):
        """Whether the game's window (remade by a level change) has this size now."""
        self.window = (self.windows(TITLE) or [self.window])[0]
        return self.size() == (width, height)

    def wait_for_size(self, width, height, timeout=10.0):
        try:
            self.wait(lambda: self.sized(width, height), timeout)
            self.wait_until_drawn(timeout)
            return True
        except AssertionError:
            return False

    def origin(self):
        pos = self.window.translate_coords(self.d.screen().root, 0, 0)
        return -pos.x, -pos.y

    def frame(self):
        """The window manager's frame around the window (the window itself with none): x, y, width, height."""
        w, root = self.window, self.d.screen().root
        while w.query_tree().parent != root:
            w = w.query_tree().parent
        g = w.get_geometry()
        return g.x, g.y, g.width, g.height

    def pointer(self):
        p = self.d.screen().root.query_pointer()
        return p.root_x, p.root_y

    def drag_title(self, x, y):
        """Drags the frame by its title bar, as a player moves a window, until its top-left corner is at (x, y)."""
        fx, fy, fw, _ = self.frame()
        top = fy + (self.origin()[1] - fy) // 2  # the middle of the title bar
        xtest.fake_input(self.d, X.MotionNotify, x=fx + fw // 2, y=top)
        self.press()
        time.sleep(HOLD)
        for step in range(1, 11):  # in steps, past the window manager's drag threshold
            xtest.fake_input(self.d, X.MotionNotify, x=fx + fw // 2 + (x - fx) * step // 10,
                             y=top + (y - fy) * step // 10)
            self.d.sync()
            time.sleep(0.02)
        self.press(X.ButtonRelease)
        self.wait(lambda: self.frame()[:2] == (x, y), what="window dragged to (%d, %d)" % (x, y))

    def move(self, x, y, until=None):
        """Puts the pointer on window pixel (x, y): a warp, as a fake motion stays on its screen."""
        ox, oy = self.origin()
        self.d.screen().root.warp_pointer(ox + x, oy + y)
        self.settle(3)
        self.wait(until or (lambda: True), what="effect of the move to (%d, %d)" % (x, y))

    def press(self, event=X.ButtonPress, detail=1):
        xtest.fake_input(self.d, event, detail)
        self.d.sync()

    def hold(self, presses, until, what, passes_after=6):
        """Presses the (event, detail) pairs in order, lets go in reverse (a release event is its press's + 1)."""
        for event, detail in presses:
            self.press(event, detail)
            time.sleep(HOLD)
        try:
            self.wait(until or (lambda: True), what=what)
        finally:
            for event, detail in reversed(presses):
                self.press(event + 1, detail)
        self.settle(passes_after)

    def click(self, x, y, passes_after=6, until=None):
        self.move(x, y)
        self.hold([(X.ButtonPress, 1)], until, "effect of the press on (%d, %d)" % (x, y), passes_after)

    def click_until(self, x, y, done, what="effect of the clicks"):
        """Clicks (x, y) until done(): a dialog takes no press in its first 30 passes."""
        self.wait(lambda: done() or self.click(x, y, passes_after=3), 20, what)

    def key(self, name, held=(), until=None):
        """A key by its keysym name ("Return", "a"), the keys named in held ("Control_L") down around it."""
        codes = [self.d.keysym_to_keycode(XK.string_to_keysym(n)) for n in (*held, name)]
        self.hold([(X.KeyPress, code) for code in codes], until, "effect of the key %s" % name)

    def menu_shown(self):
        try:
            return near(self.pixel(*MENU_EDGE), MENU_OUTLINE)
        except Exception:  # the window went with the game ("Quit")
            return False

    def open_menu(self):
        self.click(*MENU_TITLE, until=self.menu_shown)

    def choose(self, item, double=False):
        """Presses item 0..6 until the menu goes (it takes no press in its first 20 passes)."""
        self.open_menu()
        band = (60, 53 + 24 * item)  # the middle of the item's band
        self.click(*band, passes_after=0 if double else 6, until=lambda: not self.menu_shown())
        if double:
            self.click(*band)

    def close_request(self):
        """Asks the window to close, as a window manager's close button does."""
        protocols, delete = (self.d.intern_atom(n) for n in ("WM_PROTOCOLS", "WM_DELETE_WINDOW"))
        self.window.send_event(protocol.event.ClientMessage(
            window=self.window, client_type=protocols, data=(32, [delete, X.CurrentTime, 0, 0, 0])))
        self.d.sync()

    def close_by_window_manager(self):
        """Asks the window manager to close the window, as its close button does."""
        close = self.d.intern_atom("_NET_CLOSE_WINDOW")
        root = self.d.screen().root
        root.send_event(protocol.event.ClientMessage(window=self.window, client_type=close,
                                                     data=(32, [X.CurrentTime, 2, 0, 0, 0])),
                        event_mask=X.SubstructureRedirectMask | X.SubstructureNotifyMask)
        self.d.sync()

    def pixel(self, x, y):
        return self.grab(x, y, 1, 1).pixel(0, 0)

    def opened(self, cols, rows):
        """The cells that show uncovered (or held down): their face is the background."""
        image = self.grab()
        return {(c, r) for c in range(cols) for r in range(rows)
                if near(image.pixel(BOARD_LEFT + CELL * c + 2, BOARD_TOP + CELL * r + 2), BACKGROUND)}

    def grab(self, x=0, y=0, w=None, h=None):
        """A rectangle of the window (all of it unless given), on a 24-bit screen."""
        w, h = (w, h) if w else self.size()
        return Image(w, h, self.window.get_image(x, y, w, h, X.ZPixmap, 0xFFFFFFFF).data)


class Image:
    """Pixels read with one request, 32 bits a pixel (BGRX)."""

    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    def pixel(self, x, y):
        i = 4 * (y * self.width + x)
        return self.data[i + 2], self.data[i + 1], self.data[i]

    def block(self, x, y, w, h):
        return b"".join(self.data[4 * ((y + r) * self.width + x):4 * ((y + r) * self.width + x + w)]
                        for r in range(h))
