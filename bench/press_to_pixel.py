"""How long a press takes to show: from an XTEST right press over a covered cell of a started Easy game
to the first grab of the window in which the cell's flag shows (or goes), over one Xlib connection that
sends the press and polls the cell's pixels.

    DENTIVALE_GAME=build/dentivale PYTHONPATH=tests/e2e /usr/bin/python3 bench/press_to_pixel.py [presses] [seed]

With DENTIVALE_WIN64_EXE naming the 64-bit Windows twin (build-win64/dentivale.exe), WINEPREFIX a prefix
made by tests/windows/wine.py start, WINEDEBUG=-all and tests/windows on PYTHONPATH too, the twin is
measured instead, under wine64 in Wine's desktop.

Each press waits a random part of a frame after the last one's flag cooldown (seeded, the seed printed),
so that presses fall evenly over the game's 60 Hz period. Prints the minimum, median, 95th percentile and
maximum in milliseconds. The game gets an Xvfb of its own.
"""

import os
import random
import statistics
import subprocess
import sys
import time

from Xlib import X
from Xlib.ext import xtest

import xdriver

PRESSES = int(sys.argv[1]) if len(sys.argv) > 1 else 49
SEED = int(sys.argv[2]) if len(sys.argv) > 2 else random.randrange(1 << 30)
COOLDOWN = 0.5  # a toggled cell ignores the next toggle for 20 passes (a third of a second at 60 a second)
HOLD = 0.1  # at least 50 ms, and past Wine's slower input


def xvfb():
    read, write = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-nolisten", "tcp", "-noreset",
                               "-screen", "0", "1024x768x24"], pass_fds=[write],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as f:
        return server, ":" + f.readline().strip()


def game_on(display_name):
    if os.environ.get("DENTIVALE_WIN64_EXE"):
        import test_wine
        import wine
        wine.start()
        return test_wine.WineGame(display_name=display_name)
    return xdriver.Game(display_name=display_name)


def measure(game, rng):
    game.start()
    game.click(*xdriver.cell_centre(0, 0), until=lambda: (0, 0) in game.opened(9, 9))
    game.settle(10)
    covered = sorted(set((c, r) for c in range(9) for r in range(9)) - game.opened(9, 9))
    if not covered:
        raise RuntimeError("the first click opened the whole board; run again with another seed")
    cell = covered[len(covered) // 2]
    game.move(*xdriver.cell_centre(*cell))
    x, y = xdriver.cell_origin(*cell)
    look = lambda: game.grab(x, y, xdriver.CELL, xdriver.CELL).data
    game.settle(30)  # the glow comes up to its steady strength
    delays, missed = [], 0
    while len(delays) < PRESSES:
        time.sleep(COOLDOWN + rng.random() / 60)
        before = look()
        start = time.perf_counter()
        xtest.fake_input(game.d, X.ButtonPress, 3)
        game.d.flush()
        while look() == before and time.perf_counter() - start < 1:
            pass
        if look() == before:
            missed += 1  # not seen at all: not a delay
            if missed > PRESSES:
                raise RuntimeError("most presses never showed")
        else:
            delays.append((time.perf_counter() - start) * 1000)
        time.sleep(HOLD)
        xtest.fake_input(game.d, X.ButtonRelease, 3)
        game.d.sync()
    return delays, missed


def main():
    print("seed %d, %d presses" % (SEED, PRESSES))
    server, display_name = xvfb()
    os.environ["DISPLAY"] = display_name
    try:
        with game_on(display_name) as game:
            delays, missed = measure(game, random.Random(SEED))
            delays.sort()
    finally:
        if os.environ.get("DENTIVALE_WIN64_EXE"):
            import wine
            wine.stop()
        server.terminate()
        server.wait()
    p95 = delays[min(len(delays) - 1, round(0.95 * (len(delays) - 1)))]
    print("press to pixel, ms: minimum %.1f, median %.1f, p95 %.1f, maximum %.1f; presses never shown: %d"
          % (delays[0], statistics.median(delays), p95, delays[-1], missed))


if __name__ == "__main__":
    main()
