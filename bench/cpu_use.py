"""Processor use of the running game with the pointer still, as a share of one core.

    DENTIVALE_GAME=build/dentivale PYTHONPATH=tests/e2e /usr/bin/python3 bench/cpu_use.py

Runs under the X display in DISPLAY (an Xvfb of its own when there is none),
measures Easy and the largest custom field (40 x 25) for 10 s each from the
process's own user and system time in /proc.
"""

import os
import subprocess
import sys
import time

SECONDS = 10.0
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    utime, stime = int(fields[11]), int(fields[12])  # fields 14 and 15 of stat
    return (utime + stime) / CLOCK_TICKS


def share_of_core(game):
    game.move(2, 250)  # on the frame, away from the cells and the title
    time.sleep(1.0)
    pid = game.process.pid
    start_cpu, start = cpu_seconds(pid), time.time()
    time.sleep(SECONDS)
    return (cpu_seconds(pid) - start_cpu) / (time.time() - start)


def largest_custom_field(game, xdriver):
    """Customize with the size slider at its right end; density left at its middle."""
    width, height = game.size()
    game.choose(xdriver.CUSTOMIZE)
    dx, dy = (width - 180) // 2, (height - 162) // 2
    game.click(dx + 170, dy + 31 + 13)
    game.click(dx + 80, dy + 126 + 10)  # OK
    return game.wait_for_size(824, 590)


def main():
    xvfb = None
    if not os.environ.get("DISPLAY"):
        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                                 "1024x768x24", "-nolisten", "tcp"], pass_fds=[write_end],
                                stderr=subprocess.DEVNULL)
        os.close(write_end)
        os.environ["DISPLAY"] = ":" + os.read(read_end, 16).decode().strip()
    import xdriver
    try:
        with xdriver.Game() as game:
            game.start()
            print("Easy (204 x 270):   %5.1f %% of one core" % (100 * share_of_core(game)))
            if not largest_custom_field(game, xdriver):
                sys.exit("could not switch to the 40 x 25 field")
            print("40 x 25 (824 x 590): %5.1f %% of one core" % (100 * share_of_core(game)))
            game.close_request()
            game.wait_exit()
    finally:
        if xvfb:
            xvfb.terminate()
            xvfb.wait()


if __name__ == "__main__":
    main()
