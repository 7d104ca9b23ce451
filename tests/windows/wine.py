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
import time

PREFIX = os.environ["WINEPREFIX"]
DESKTOP = "1024x768"
DESKTOP_TITLE = "Default - Wine desktop"


def wine(*args):
    # No pipes: Wine's server and services outlive the command and would
    # hold them open.
    subprocess.run(["wine", *args], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=600)


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
    wait_for_desktop_to_close()


def stop():
    subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"])


def wait_for_desktop_to_close(timeout=10.0):
    """Wine's desktop covers the whole display and stays a second or so
    after its last program: a program started meanwhile may never get its
    window, and one that is not Wine's would lose its input to it."""
    from Xlib import display, error
    d = display.Display()
    deadline = time.time() + timeout
    try:
        while time.time() < deadline:
            try:
                if all(w.get_wm_name() != DESKTOP_TITLE for w in d.screen().root.query_tree().children):
                    return
            except error.BadWindow:  # it vanished while we looked
                pass
            time.sleep(0.05)
    finally:
        d.close()


def units(folder):
    """Runs each test program in a working folder of its own; fails when
    any fails, or when there is none."""
    programs = sorted(glob.glob(os.path.join(os.path.abspath(folder), "**", "test_*.exe"),
                                recursive=True))
    failed = []
    for program in programs:
        with tempfile.TemporaryDirectory(prefix="dentivale-wine-") as workdir:
            status = subprocess.run(["wine", program], cwd=workdir, timeout=300).returncode
        print("%s: %s" % (os.path.basename(program), "passed" if status == 0 else
                          "FAILED (%d)" % status), flush=True)
        if status != 0:
            failed.append(program)
    wait_for_desktop_to_close()
    if not programs or failed:
        sys.exit("no unit test programs under %s" % folder if not programs else
                 "%d of %d failed" % (len(failed), len(programs)))


if __name__ == "__main__":
    {"start": start, "stop": stop, "units": units}[sys.argv[1]](*sys.argv[2:])
