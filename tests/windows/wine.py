"""The Wine prefix the Windows tests run in. In Wine's virtual desktop Wine frames
windows as Windows does, where on a bare X display it waits two seconds for a window
manager at each change of a window's state. One server, kept a minute after its last
program, serves every run, so that no run meets the previous one's server shutting down."""

import os
import subprocess
import sys
import time

from Xlib import display, error

PREFIX = os.environ["WINEPREFIX"]
DESKTOP_TITLE = "Default - Wine desktop"


def run(*command):
    # No output pipes: Wine's server and services outlive the command and would hold them open.
    subprocess.run(command, check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=600)


def start():
    os.makedirs(PREFIX, exist_ok=True)
    stop()  # a server left by an interrupted run would not be made persistent
    run("wineserver", "-p60")
    if not os.path.exists(os.path.join(PREFIX, "system.reg")):
        run("wine", "wineboot", "-i")
        run("wine", "reg", "add", r"HKCU\Software\Wine\Explorer", "/v", "Desktop", "/d", "Default", "/f")
        run("wine", "reg", "add", r"HKCU\Software\Wine\Explorer\Desktops", "/v", "Default", "/d", "1024x768", "/f")
    run("wine", "wineboot")  # the services start now, not inside a test's run
    wait_for_desktop_to_close()


def stop():
    subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"])


def wait_for_desktop_to_close(timeout=30.0):
    """Wine's desktop covers the whole display and stays a second or so after its last program:
    a program started meanwhile may never get its window, and one not Wine's would lose its input."""
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
        raise RuntimeError("Wine's desktop still shows after %.0f s" % timeout)
    finally:
        d.close()


if __name__ == "__main__":
    {"start": start, "stop": stop}[sys.argv[1]]()
