"""The Debian package: cpack builds it and the checkers pass it, a configure without a font names the package
to install (Builds); its menu entry starts the game in the player's data folder (Runs, on the X display)."""

import glob
import os
import shutil
import subprocess
import sys
import tempfile
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
        self.assertEqual([], [line for line in run("lintian", deb)[1].splitlines() if line.startswith("E:")])

    def test_a_missing_font_stops_cmake_with_one_message_naming_its_package(self):
        missing = os.path.join(tempfile.gettempdir(), "dentivale-nowhere", "missing.ttf")
        with tempfile.TemporaryDirectory() as build:
            status, output = run("cmake", "-S", os.environ["DENTIVALE_SOURCE"], "-B", build,
                                 "-DDENTIVALE_FONT_WILLY=" + missing)
        message = " ".join(output.split())
        self.assertEqual((1, 1), (status, message.count("CMake Error")), output)
        for text in ("fonts-comfortaa", missing, "tools/setup.sh"):
            self.assertIn(text, message)


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
