"""Drives the real game window under an X server (Xvfb in the test command).

Everything goes over one long-lived X connection: Xvfb now and then refuses
a new connection while other clients come and go quickly, so the driver
never starts a tool in a loop. Input is sent with the XTEST extension and
buttons are held long enough for the game's 60 Hz sampling to see them.
"""

import os
import shutil
import struct
import subprocess
import tempfile
import time

from Xlib import X, XK, display, protocol
from Xlib.ext import xtest

TITLE = "Dentivale!"
FRAME = 1.0 / 60        # one pass of the game's loop
HOLD = 0.08             # a button or key is held this long (several passes)
BUTTONS = {"left": 1, "middle": 2, "right": 3}

# The game's window, in window pixels.
BOARD_LEFT, BOARD_TOP, CELL = 13, 42, 20
MENU_TITLE = (50, 20)
MENU_ROW_PITCH = 24     # menu font line height 20 + 4
MENU_COOLDOWN = 0.45    # a little over the 20 passes the menu ignores presses
DOUBLE_CLICK = 0.7      # over the 30 passes in which a new dialog takes a press as part of its opening
EASY, INTERMEDIATE, HARD, CUSTOMIZE, SEPARATOR, HIGHSCORES, QUIT = range(7)


def cell_origin(c, r):
    return BOARD_LEFT + CELL * c, BOARD_TOP + CELL * r


def cell_centre(c, r):
    x, y = cell_origin(c, r)
    return x + CELL // 2, y + CELL // 2


def menu_item(item):
    """The middle of the band of menu item 0..6."""
    return 60, 41 + MENU_ROW_PITCH * item + MENU_ROW_PITCH // 2


def game_path():
    return os.path.abspath(os.environ["DENTIVALE_GAME"])


class Game:
    """The game started in a fresh working directory of its own.

    Use as a context manager; on exit the process is killed if it is still
    running and the directory removed.
    """

    def __init__(self, program=None, workdir=None, env=None, display_name=None):
        self.program = program or game_path()
        self.owns_workdir = workdir is None
        self.workdir = workdir or tempfile.mkdtemp(prefix="dentivale-e2e-")
        self.env = dict(os.environ, **(env or {}))
        if display_name:
            self.env["DISPLAY"] = display_name
        self.process = None
        self.window = None
        self.d = display.Display(display_name)
        if not self.d.has_extension("XTEST"):
            raise RuntimeError("the X server has no XTEST extension")

    # -- life cycle -------------------------------------------------------

    def start_process(self):
        """Starts the game without waiting for its window."""
        self.process = subprocess.Popen(
            [self.program], cwd=self.workdir, env=self.env,
            stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def start(self, timeout=10.0):
        self.start_process()
        self.window = self.wait_for_window(TITLE, timeout)
        self.settle()
        return self

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.process:
            if self.process.poll() is None:
                self.process.kill()
            self.process.communicate()  # also closes the output pipes
        self.d.close()
        if self.owns_workdir:
            shutil.rmtree(self.workdir, ignore_errors=True)

    def wait_exit(self, timeout=5.0):
        """Exit status, or None when the process is still running."""
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def output(self):
        """stdout and stderr of a process that has ended, as text."""
        out, err = self.process.communicate()
        return out.decode(errors="replace"), err.decode(errors="replace")

    def settle(self, passes=6):
        """Lets the game run a few passes so that it has seen what was sent."""
        self.d.sync()
        time.sleep(passes * FRAME)

    # -- windows ----------------------------------------------------------

    def find_window(self, title):
        stack = [self.d.screen().root]
        while stack:
            w = stack.pop()
            try:
                if w.get_wm_name() == title:
                    return w
                stack.extend(w.query_tree().children)
            except Exception:  # a window vanished while we walked the tree
                continue
        return None

    def wait_for_window(self, title, timeout):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.process and self.process.poll() is not None:
                raise RuntimeError("the game ended before its window appeared: %r"
                                   % (self.output(),))
            w = self.find_window(title)
            if w is not None and w.get_attributes().map_state == X.IsViewable:
                return w
            time.sleep(0.05)
        raise RuntimeError("no window titled %r within %.1f s" % (title, timeout))

    def size(self):
        g = self.window.get_geometry()
        return g.width, g.height

    def wait_for_size(self, width, height, timeout=3.0):
        deadline = time.time() + timeout
        while time.time() < deadline:
            w = self.find_window(TITLE)
            if w is not None:
                self.window = w
                if self.size() == (width, height):
                    return True
            time.sleep(0.05)
        return False

    def origin(self):
        """The window's top-left pixel in root coordinates."""
        root = self.d.screen().root
        pos = self.window.translate_coords(root, 0, 0)
        return -pos.x, -pos.y

    # -- input ------------------------------------------------------------

    def move(self, x, y):
        """Puts the pointer on window pixel (x, y)."""
        ox, oy = self.origin()
        xtest.fake_input(self.d, X.MotionNotify, x=ox + x, y=oy + y)
        self.settle(3)

    def press(self, button="left"):
        xtest.fake_input(self.d, X.ButtonPress, BUTTONS[button])
        self.d.sync()

    def release(self, button="left"):
        xtest.fake_input(self.d, X.ButtonRelease, BUTTONS[button])
        self.d.sync()

    def click(self, x, y, button="left", passes_after=6):
        self.move(x, y)
        self.press(button)
        time.sleep(HOLD)
        self.release(button)
        self.settle(passes_after)

    def double_click(self, x, y):
        """Two quick left clicks on (x, y), well within a desktop's double-click time."""
        self.move(x, y)
        for _ in range(2):
            self.press()
            time.sleep(HOLD)
            self.release()
            time.sleep(HOLD)
        self.settle()

    def drag(self, x0, y0, x1, y1, button="left"):
        """Presses on (x0, y0), moves to (x1, y1) with the button held, lets go there."""
        self.move(x0, y0)
        self.press(button)
        time.sleep(HOLD)
        self.move(x1, y1)
        self.release(button)
        self.settle()

    def open_menu(self):
        """Opens the "Game..." menu on its title and waits until it takes a press."""
        self.click(*MENU_TITLE)
        time.sleep(MENU_COOLDOWN)

    def choose(self, item):
        """Presses item 0..6 of the "Game..." menu."""
        self.open_menu()
        self.click(*menu_item(item))

    def chord(self, x, y):
        """Left and right together on (x, y), released together."""
        self.move(x, y)
        self.press("left")
        self.press("right")
        time.sleep(HOLD)
        self.release("left")
        self.release("right")
        self.settle()

    def key(self, name, held=()):
        """Presses and releases a key given by its X keysym name ("Return",
        "a"), with the keys named in held ("Control_L") down around it."""
        codes = [self.d.keysym_to_keycode(XK.string_to_keysym(n)) for n in (*held, name)]
        if 0 in codes:
            raise ValueError("no key for one of %r" % ((*held, name),))
        for code in codes:
            xtest.fake_input(self.d, X.KeyPress, code)
            self.d.sync()
            time.sleep(HOLD)
        for code in reversed(codes):
            xtest.fake_input(self.d, X.KeyRelease, code)
        self.settle()

    def type_text(self, text):
        for ch in text:
            self.key(ch)

    def close_request(self):
        """Asks the window to close, as a window manager's close button does."""
        protocols = self.d.intern_atom("WM_PROTOCOLS")
        delete = self.d.intern_atom("WM_DELETE_WINDOW")
        event = protocol.event.ClientMessage(
            window=self.window, client_type=protocols,
            data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        self.window.send_event(event, event_mask=X.NoEventMask)
        self.d.sync()

    # -- pixels -----------------------------------------------------------

    def pixel(self, x, y):
        """(red, green, blue) of window pixel (x, y), 8 bits each."""
        img = self.window.get_image(x, y, 1, 1, X.ZPixmap, 0xFFFFFFFF)
        b, g, r = img.data[0], img.data[1], img.data[2]
        return r, g, b

    def grab(self):
        """The whole window as an Image, read once; pixels of a 15- or 16-bit
        display are widened to 8 bits a channel."""
        w, h = self.size()
        img = self.window.get_image(0, 0, w, h, X.ZPixmap, 0xFFFFFFFF)
        if img.depth > 16:
            return Image(w, h, img.data)
        visual = next(v for d in self.d.screen().allowed_depths if d.depth == img.depth
                      for v in d.visuals)
        fields = []  # blue, green, red: (mask, shift, largest value)
        for mask in (visual.blue_mask, visual.green_mask, visual.red_mask):
            shift = (mask & -mask).bit_length() - 1
            fields.append((mask, shift, mask >> shift))
        stride, data = len(img.data) // h, bytearray(4 * w * h)
        for y in range(h):
            row = struct.unpack_from("<%dH" % w, img.data, y * stride)
            for x, v in enumerate(row):
                i = 4 * (y * w + x)
                data[i:i + 3] = bytes(((v & m) >> s) * 255 // top for m, s, top in fields)
        return Image(w, h, bytes(data))

    def screenshot(self, path):
        """Saves the window as a PNG (through ImageMagick's import)."""
        subprocess.run(["import", "-window", "0x%x" % self.window.id, path],
                       check=True, env=self.env, timeout=20)


class Image:
    """Pixels of a window read with one request (32 bits a pixel, BGRX)."""

    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    def pixel(self, x, y):
        i = 4 * (y * self.width + x)
        return self.data[i + 2], self.data[i + 1], self.data[i]

    def block(self, x, y, w, h):
        """The rows of a rectangle as bytes, for comparing regions."""
        return b"".join(bytes(self.data[4 * ((y + r) * self.width + x):
                                        4 * ((y + r) * self.width + x + w)])
                        for r in range(h))


class Xvfb:
    """A private X server with a screen of the given depth, for the length of
    a with block; name is its display (":512").

    Other machines' test runs may share /tmp/.X11-unix while their lock files
    look stale from here, so the lowest free number that -displayfd picks can
    have its socket file taken over; the number is picked from a high range,
    different for each process, and must have no socket or lock yet.
    """

    def __init__(self, depth, size="1024x768"):
        self.screen = "%sx%d" % (size, depth)
        self.process = None
        self.name = None

    def __enter__(self):
        first = 100 + os.getpid() % 800
        for number in range(first, first + 20):
            socket = "/tmp/.X11-unix/X%d" % number
            if os.path.exists(socket) or os.path.exists("/tmp/.X%d-lock" % number):
                continue
            self.process = subprocess.Popen(
                ["Xvfb", ":%d" % number, "-screen", "0", self.screen, "-nolisten", "tcp", "-noreset"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deadline = time.time() + 10
            while self.process.poll() is None and not os.path.exists(socket) and time.time() < deadline:
                time.sleep(0.05)
            if self.process.poll() is None and os.path.exists(socket):
                self.name = ":%d" % number
                return self
            self.__exit__()
        raise RuntimeError("no Xvfb %s could start" % self.screen)

    def __exit__(self, *exc):
        self.process.terminate()  # not kill: Xvfb removes its lock and socket
        self.process.wait()
