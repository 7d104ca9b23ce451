"""Processor use of the running game against the library's floor, as shares of one core.

    DENTIVALE_GAME=build/dentivale DENTIVALE_BARE_LOOP=build/bench/bare_loop \
        PYTHONPATH=tests/e2e /usr/bin/python3 bench/cpu_use.py [seconds]

The floor is bare_loop (bench/bare_loop.cpp): the game's start-up, then every
1/60 s rest(1) until the timer ticks, clear a memory bitmap and copy the whole
824 x 590 window. Each program gets an Xvfb of its own, so that each X server
serves one client, and the two run side by side: every figure of a case comes
from the same seconds, read from /proc (user plus system time of the program
and of its X server). The ratio is game plus its X server over bare loop plus
its X server. Cases: Easy Ready with the pointer still; 40 x 25 with the clock
running and the pointer still; 40 x 25 with the pointer sweeping the board
(on both displays). The game's threads are listed after each case.

With DENTIVALE_WIN64_EXE naming the 64-bit Windows twin (build-win64/
dentivale.exe), WINEPREFIX a prefix made by tests/windows/wine.py start,
WINEDEBUG=-all and tests/windows on PYTHONPATH too, the twin runs as well, under wine64 on a third Xvfb, through the same cases at
the same time; its line counts every process of that prefix (the game,
Wine's server and desktop) and its X server, against the Linux game's.
"""

import os
import random
import subprocess
import sys
import time

SECONDS = float(sys.argv[1]) if len(sys.argv) > 1 else 10.0
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
BARE_TITLE = "bare loop"
SWEEP_STEP = 0.008         # a pointer move every 8 ms, 7 pixels at a time
BOARD = (13, 42, 813, 542)  # the 40 x 25 board, first and past-last pixel


def cpu_seconds(path):
    with open(path) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS  # utime, stime


def threads(pid):
    """{thread id: cpu seconds} of a process."""
    out = {}
    for tid in os.listdir("/proc/%d/task" % pid):
        try:
            out[int(tid)] = cpu_seconds("/proc/%d/task/%s/stat" % (pid, tid))
        except OSError:
            pass  # the thread ended meanwhile
    return out


def display_taken(n):
    """Display n has a lock file or a listening socket (possibly another user's
    server, reached through the shared abstract socket names)."""
    with open("/proc/net/unix") as f:
        sockets = f.read()
    return os.path.exists("/tmp/.X%d-lock" % n) or ("/tmp/.X11-unix/X%d\n" % n) in sockets


def start_xvfb():
    """An Xvfb of this run's own, and its display name."""
    for n in random.Random().sample(range(200, 900), 50):
        if display_taken(n):
            continue
        read_end, write_end = os.pipe()
        proc = subprocess.Popen(["Xvfb", ":%d" % n, "-displayfd", str(write_end), "-screen", "0",
                                 "1024x768x24", "-nolisten", "tcp"], pass_fds=[write_end],
                                stderr=subprocess.DEVNULL)
        os.close(write_end)
        ready = b""
        while not ready.endswith(b"\n"):  # the whole line: Xvfb dies of a pipe closed early
            part = os.read(read_end, 16)
            if not part:
                break
            ready += part
        os.close(read_end)
        if ready and proc.poll() is None:
            return proc, ":%d" % n
        proc.wait()
    raise RuntimeError("no free X display")


class BareLoop:
    """bare_loop on its own display, with an X connection to move its pointer."""

    def __init__(self, display_name):
        from Xlib import display
        self.d = display.Display(display_name)
        self.process = subprocess.Popen([os.path.abspath(os.environ["DENTIVALE_BARE_LOOP"])],
                                        env=dict(os.environ, DISPLAY=display_name))
        deadline = time.time() + 10
        self.window = None
        while self.window is None and time.time() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError("bare_loop ended at start-up")
            for w in self.d.screen().root.query_tree().children:
                if w.get_wm_name() == BARE_TITLE:
                    self.window = w
            time.sleep(0.05)
        if self.window is None:
            raise RuntimeError("no bare loop window")

    def origin(self):
        pos = self.window.translate_coords(self.d.screen().root, 0, 0)
        return -pos.x, -pos.y

    def stop(self):
        self.process.kill()
        self.process.wait()
        self.d.close()


def sweep_path():
    """Window pixels of a pointer going left and right along every row of cells."""
    left, top, right, bottom = BOARD
    y, forward = top + 10, True
    while True:
        xs = range(left + 3, right - 3, 7)
        for x in (xs if forward else reversed(xs)):
            yield x, y
        forward = not forward
        y = y + 20 if y + 20 < bottom else top + 10


def prefix_processes():
    """Every Wine process of this run's prefix, the server included (not this
    script, which has the prefix in its environment too)."""
    wanted = ("WINEPREFIX=%s" % os.environ["WINEPREFIX"]).encode()
    pids = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                ours = wanted in f.read().split(b"\0")
            if ours and "/wine/" in os.readlink("/proc/%s/exe" % pid):
                pids.append(int(pid))
        except OSError:
            pass
    return pids


def cpu_of(pids):
    total = 0.0
    for pid in pids:
        try:
            total += cpu_seconds("/proc/%d/stat" % pid)
        except OSError:
            pass  # ended meanwhile
    return total


def measure(game, bare, servers, sweep, twin=None):
    """Shares of one core over SECONDS: {name: share}, and the game's threads."""
    from Xlib import X
    from Xlib.ext import xtest
    pids = {"game": [game.process.pid], "game X": [servers[0].pid],
            "bare": [bare.process.pid], "bare X": [servers[1].pid]}
    origins = [(game.d, game.origin()), (bare.d, bare.origin())]
    if twin:
        pids.update({"wine": prefix_processes(), "wine X": [servers[2].pid]})
        origins.append((twin.d, twin.origin()))
    before = {name: cpu_of(p) for name, p in pids.items()}
    threads_before, start = threads(game.process.pid), time.time()
    path = sweep_path()
    while time.time() - start < SECONDS:
        if sweep:
            x, y = next(path)
            for d, (ox, oy) in origins:
                xtest.fake_input(d, X.MotionNotify, x=ox + x, y=oy + y)
                d.flush()
            time.sleep(SWEEP_STEP)
        else:
            time.sleep(0.1)
    elapsed = time.time() - start
    after = {name: cpu_of(p) for name, p in pids.items()}
    threads_after = threads(game.process.pid)
    share = {name: (after[name] - before[name]) / elapsed for name in pids}
    per_thread = {tid: (threads_after[tid] - threads_before.get(tid, 0)) / elapsed
                  for tid in threads_after}
    return share, per_thread


def report(case, share, per_thread, game_pid):
    game = share["game"] + share["game X"]
    bare = share["bare"] + share["bare X"]
    print("%-34s game %5.2f + X %5.2f = %5.2f %%   bare loop %5.2f + X %5.2f = %5.2f %%   ratio %.2f"
          % (case, 100 * share["game"], 100 * share["game X"], 100 * game,
             100 * share["bare"], 100 * share["bare X"], 100 * bare, game / bare if bare else 0))
    if "wine" in share:
        twin = share["wine"] + share["wine X"]
        print("%-34s Windows twin under wine %5.2f + X %5.2f = %5.2f %%   against the game %.2f"
              % ("", 100 * share["wine"], 100 * share["wine X"], 100 * twin,
                 twin / game if game else 0))
    names = ["main" if tid == game_pid else "thread %d" % tid for tid in sorted(per_thread)]
    print("%-34s game's threads: %s" % ("", ", ".join(
        "%s %.2f %%" % (n, 100 * per_thread[t]) for n, t in zip(names, sorted(per_thread)))))
    sys.stdout.flush()


def largest_custom_field(game, xdriver):
    """Customize with the size slider at its right end; density left at its middle."""
    width, height = game.size()
    game.choose(xdriver.CUSTOMIZE)
    time.sleep(31 * xdriver.FRAME)  # the dialog takes no press in its first 30 passes
    dx, dy = (width - 180) // 2, (height - 162) // 2
    game.click(dx + 170, dy + 31 + 13)
    game.click(dx + 80, dy + 126 + 10)  # OK
    return game.wait_for_size(824, 590)


class Run:
    """The Linux game, and the Windows twin when asked for, driven alike."""

    def __init__(self, xdriver, servers):
        self.games = [xdriver.Game()]
        self.twin = None
        if os.environ.get("DENTIVALE_WIN64_EXE"):
            import test_wine
            os.environ["DISPLAY"] = servers[2][1]  # the twin's X connection and process
            self.twin = test_wine.WineGame(env={"DISPLAY": servers[2][1]})
            os.environ["DISPLAY"] = servers[0][1]
            self.games.append(self.twin)

    def each(self, gesture):
        return all([gesture(game) for game in self.games])


def main():
    wine = bool(os.environ.get("DENTIVALE_WIN64_EXE"))
    servers = [start_xvfb() for _ in range(3 if wine else 2)]
    bare = None
    os.environ["DISPLAY"] = servers[0][1]
    import xdriver
    try:
        bare = BareLoop(servers[1][1])
        procs = [s[0] for s in servers]
        run = Run(xdriver, servers)
        game, twin = run.games[0], run.twin
        with game:
            run.each(lambda g: g.start())
            run.each(lambda g: g.move(2, 250))  # on the frame, away from the cells and the title
            time.sleep(1.0)
            report("Easy Ready, pointer still", *measure(game, bare, procs, False, twin),
                   game.process.pid)
            if not run.each(lambda g: largest_custom_field(g, xdriver)):
                sys.exit("could not switch to the 40 x 25 field")
            run.each(lambda g: g.click(*xdriver.cell_centre(20, 12)))  # the clock starts
            run.each(lambda g: g.move(2, 250))
            time.sleep(1.0)
            report("40 x 25, clock running, still", *measure(game, bare, procs, False, twin),
                   game.process.pid)
            report("40 x 25, clock running, sweeping", *measure(game, bare, procs, True, twin),
                   game.process.pid)
            run.each(lambda g: g.close_request())
            run.each(lambda g: g.wait_exit())
    finally:
        if twin and twin.process and twin.process.poll() is None:
            twin.process.kill()
        if bare:
            bare.stop()
        for proc, _ in servers:
            proc.terminate()
            proc.wait()


if __name__ == "__main__":
    main()
