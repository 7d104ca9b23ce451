"""The Debian package: cpack builds it and the checkers pass it, a configure without a font names the package
to install (Builds); the game and the package tell neither the folders nor the moment they were built in (NoTrace);
its menu entry starts the game in the player's data folder (Runs, on the X display)."""

import glob
import io
import os
import shutil
import struct
import subprocess
import sys
import tarfile
import tempfile
import time
import unittest

import xdriver

DEB_DIR = os.environ["DENTIVALE_DEB_DIR"]
ROOT = os.path.join(DEB_DIR, "root")  # the package unpacked by Builds, run by Runs
DESKTOP = "usr/share/applications/io.github.dentivale.desktop"
FILES = {"usr/games/dentivale", DESKTOP, "usr/share/metainfo/io.github.dentivale.metainfo.xml",
         "usr/share/man/man6/dentivale.6.gz", "usr/share/doc/dentivale/copyright",
         "usr/share/doc/dentivale/changelog.gz"} | {
    "usr/share/icons/hicolor/%dx%d/apps/dentivale.png" % (s, s) for s in (16, 32, 48, 64, 128, 256)}


def run(*command):
    result = subprocess.run(command, capture_output=True, text=True)
    return result.returncode, result.stdout + result.stderr


class Builds(unittest.TestCase):
    def test_cpack_makes_a_package_of_the_desktop_files_that_the_checkers_pass(self):
        shutil.rmtree(DEB_DIR, ignore_errors=True)
        self.assertEqual(0, run("cpack", "-G", "DEB", "-B", DEB_DIR, "--config",
                                os.path.join(os.environ["DENTIVALE_BUILD"], "CPackConfig.cmake"))[0])
        (deb,) = glob.glob(os.path.join(DEB_DIR, "*.deb"))
        subprocess.run(["dpkg-deb", "-x", deb, ROOT], check=True)
        self.assertEqual(FILES, {os.path.relpath(os.path.join(d, f), ROOT) for d, _, fs in os.walk(ROOT) for f in fs})
        with open(os.path.join(ROOT, DESKTOP)) as f:
            self.assertIn("Icon=dentivale\n", f.read())
        self.assertEqual((0, ""), run("desktop-file-validate", os.path.join(ROOT, DESKTOP)))
        self.assertEqual(0, run("appstreamcli", "validate-tree", "--no-net", "--pedantic", ROOT)[0])
        self.assertEqual([], [line for line in run("lintian", "--display-info", deb)[1].splitlines()
                              if line.startswith("E:") or "hardening" in line])

    def test_a_missing_font_stops_cmake_with_one_message_naming_its_package(self):
        missing = os.path.join(tempfile.gettempdir(), "dentivale-nowhere", "missing.ttf")
        with tempfile.TemporaryDirectory() as build:
            status, output = run("cmake", "-S", os.environ["DENTIVALE_SOURCE"], "-B", build,
                                 "-DDENTIVALE_FONT_WILLY=" + missing)
        message = " ".join(output.split())
        self.assertEqual((1, 1), (status, message.count("CMake Error")), output)
        for text in ("fonts-comfortaa", missing, "tools/setup.sh"):
            self.assertIn(text, message)


class NoTrace(unittest.TestCase):
    def test_no_build_folder_in_any_file_and_every_time_the_builds(self):
        build, epoch = os.environ["DENTIVALE_BUILD"], int(os.environ["DENTIVALE_EPOCH"])
        game = os.path.join(build, "dentivale")
        folders = [os.fsencode(folder) for folder in (os.environ["DENTIVALE_SOURCE"], build)]
        for path in [game] + [os.path.join(d, f) for d, _, fs in os.walk(os.path.join(ROOT, "usr")) for f in fs]:
            with open(path, "rb") as f:
                data = f.read()
            self.assertEqual([], [folder for folder in folders if folder in data], path)
        # The attached datafile's objects: their origins in the art folder, their dates as dat writes them.
        body, t = xdriver.attached_datafile(game), time.gmtime(epoch)
        names = properties(body, b"NAME")[:15]  # the 16th is the tool's settings record
        self.assertEqual(["%d-%02d-%d, %d:%02d" % (t.tm_mon, t.tm_mday, t.tm_year, t.tm_hour, t.tm_min)] * 15,
                         properties(body, b"DATE"))
        self.assertEqual([name + (".ttf" if name.startswith("AF_") else ".bmp") for name in names],
                         properties(body, b"ORIG"))
        # The package's members, and every file and folder in them.
        (deb,) = glob.glob(os.path.join(DEB_DIR, "*.deb"))
        with open(deb, "rb") as f:
            data, at, times = f.read(), 8, set()
        while at < len(data):  # ar: its magic, then each member after a 60-byte header, padded to even
            size = int(data[at + 48:at + 58])
            times.add(int(data[at + 16:at + 28]))
            at += 60 + size + size % 2
        for part in ("--ctrl-tarfile", "--fsys-tarfile"):
            tar = subprocess.run(["dpkg-deb", part, deb], capture_output=True, check=True).stdout
            times |= {member.mtime for member in tarfile.open(fileobj=io.BytesIO(tar))}
        self.assertEqual({epoch}, times)


def properties(datafile, kind):
    """The values of one property of every object of a datafile, in order: "prop", its id, a big-endian length."""
    values, at = [], datafile.find(b"prop" + kind)
    while at >= 0:
        (length,) = struct.unpack_from(">I", datafile, at + 8)
        values.append(datafile[at + 12:at + 12 + length].decode())
        at = datafile.find(b"prop" + kind, at + 12 + length)
    return values


class Runs(unittest.TestCase):
    def test_the_menu_entry_starts_it_in_the_players_data_folder(self):
        game, home = os.path.join(ROOT, "usr/games/dentivale"), os.path.join(ROOT, "home")
        default = os.path.join(home, ".local", "share", "dentivale")
        running = lambda: [int(p) for p in os.listdir("/proc") if p.isdigit() and exe(p) == game]
        with open(os.path.join(ROOT, DESKTOP)) as f:
            entry = f.read()
        for xdg, expected in ((os.path.join(ROOT, "xdg"), os.path.join(ROOT, "xdg", "dentivale")), ("", default),
                              ("relative", default), (os.path.join(game, "data"), ROOT)):  # no folder: still starts
            env = dict(HOME=home, PATH=os.path.dirname(game) + ":" + os.environ["PATH"], XDG_DATA_HOME=xdg)
            with self.subTest(XDG_DATA_HOME=xdg), xdriver.Game(game, ROOT, env) as window:
                # The game inherits gio's output, which a pipe would keep open.
                self.assertEqual(0, subprocess.call(["gio", "launch", os.path.join(ROOT, DESKTOP)], cwd=ROOT, env=window.env,
                                                    stdout=subprocess.DEVNULL, stderr=sys.stderr, timeout=20))
                try:
                    window.window = window.wait_for_window(xdriver.TITLE, 10)
                    self.assertEqual([expected], [os.readlink("/proc/%d/cwd" % pid) for pid in running()])
                    # Docks find the entry by the window's class.
                    self.assertIn("StartupWMClass=%s\n" % window.window.get_wm_class()[1], entry)
                finally:
                    for pid in running():
                        os.kill(pid, 9)
                    window.wait(lambda: not running(), what="end of the game")


def exe(pid):
    try:
        return os.readlink("/proc/%s/exe" % pid)
    except OSError:
        return None


if __name__ == "__main__":
    unittest.main(verbosity=2)
