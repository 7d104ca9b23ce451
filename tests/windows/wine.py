"""The Wine prefix the Windows tests run in: `wine.py start` makes it on
first use and starts its server, `wine.py stop` ends the server, and
`wine.py units DIR` runs every unit test program found under DIR.

The prefix runs programs in Wine's virtual desktop. There Wine frames and
manages windows itself, as Windows does; on a bare X display it would wait
two seconds for a window manager at every change of a window's state. One
server serves every run, kept for a minute after the last program ends, so
that no run meets the previous one's server shutting down.
"""

import glob
import os
import subprocess
import sys
import tempfile

PREFIX = os.environ["WINEPREFIX"]
DESKTOP = "1024x768"


# Everything but the game itself runs off the display: while any Wine
# program runs, Wine's desktop covers the whole screen and takes the input
# meant for whatever else is being tested there.
OFF_SCREEN = {k: v for k, v in os.environ.items() if k != "DISPLAY"}


def wine(*args):
    # No pipes: Wine's server and services outlive the command and would
    # hold them open.
    subprocess.run(["wine", *args], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=600, env=OFF_SCREEN)


def start():
    os.makedirs(PREFIX, exist_ok=True)
    stop()  # a server left by an interrupted run would not be made persistent
    # Its output goes nowhere: whoever reads the test's output would wait
    # for the server to end.
    subprocess.run(["wineserver", "-p60"], check=True, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if not os.path.exists(os.path.join(PREFIX, "system.reg")):
        wine("wineboot", "-i")
        wine("reg", "add", r"HKCU\Software\Wine\Explorer", "/v", "Desktop", "/d", "Default", "/f")
        wine("reg", "add", r"HKCU\Software\Wine\Explorer\Desktops", "/v", "Default",
             "/d", DESKTOP, "/f")
    wine("wineboot")  # the services start now, not inside a test's run


def stop():
    subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"])


def units(folder):
    """Runs each test program in a working folder of its own; fails when
    any fails, or when there is none."""
    programs = sorted(glob.glob(os.path.join(os.path.abspath(folder), "**", "test_*.exe"),
                                recursive=True))
    failed = []
    for program in programs:
        with tempfile.TemporaryDirectory(prefix="dentivale-wine-") as workdir:
            status = subprocess.run(["wine", program], cwd=workdir, timeout=300,
                                    env=OFF_SCREEN).returncode
        print("%s: %s" % (os.path.basename(program), "passed" if status == 0 else
                          "FAILED (%d)" % status), flush=True)
        if status != 0:
            failed.append(program)
    if not programs or failed:
        sys.exit("no unit test programs under %s" % folder if not programs else
                 "%d of %d failed" % (len(failed), len(programs)))


if __name__ == "__main__":
    {"start": start, "stop": stop, "units": units}[sys.argv[1]](*sys.argv[2:])
