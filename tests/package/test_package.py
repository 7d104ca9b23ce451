"""The Debian package: it builds, holds what a desktop needs and passes the
validators and lintian; the game started as a desktop menu starts it keeps
its records in the player's data folder; and a configure without a font
names the package to install. Run one group: test_package.py Builds|Runs|Configure."""

import glob
import os
import shutil
import subprocess
import tempfile
import unittest

import xdriver

BUILD = os.environ["DENTIVALE_BUILD"]
SOURCE = os.environ["DENTIVALE_SOURCE"]
DEB_DIR = os.environ["DENTIVALE_DEB_DIR"]
DESKTOP = "usr/share/applications/io.github.dentivale.desktop"
FILES = {
    "usr/games/dentivale",
    DESKTOP,
    "usr/share/metainfo/io.github.dentivale.metainfo.xml",
    "usr/share/man/man6/dentivale.6.gz",
    "usr/share/doc/dentivale/copyright",
    "usr/share/doc/dentivale/changelog.gz",
} | {"usr/share/icons/hicolor/%dx%d/apps/dentivale.png" % (s, s) for s in (16, 32, 48, 64, 128, 256)}


def run(*command, **options):
    return subprocess.run(command, capture_output=True, text=True, **options)


def unpack(test):
    """The package and its files under a temporary root, removed after the test."""
    debs = glob.glob(os.path.join(DEB_DIR, "*.deb"))
    test.assertEqual(1, len(debs), "one package in %s" % DEB_DIR)
    root = tempfile.mkdtemp(prefix="dentivale-root-")
    test.addCleanup(shutil.rmtree, root, ignore_errors=True)
    subprocess.run(["dpkg-deb", "-x", debs[0], root], check=True)
    return debs[0], root


class Builds(unittest.TestCase):
    def test_cpack_makes_a_package_of_the_desktop_files_that_the_checkers_pass(self):
        shutil.rmtree(DEB_DIR, ignore_errors=True)
        result = run("cpack", "-G", "DEB", "-B", DEB_DIR,
                     "--config", os.path.join(BUILD, "CPackConfig.cmake"))
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)
        deb, root = unpack(self)
        self.assertEqual(FILES, {os.path.relpath(os.path.join(d, f), root)
                                 for d, _, files in os.walk(root) for f in files})
        with open(os.path.join(root, DESKTOP)) as f:
            self.assertIn("Icon=dentivale\n", f.read())
        for command in (["desktop-file-validate", os.path.join(root, DESKTOP)],
                        ["appstreamcli", "validate-tree", "--no-net", "--pedantic", root]):
            result = run(*command)
            self.assertEqual(0, result.returncode, result.stdout + result.stderr)
        result = run("lintian", "--display-info", "--pedantic", deb)
        tags = [line for line in result.stdout.splitlines() if line[:2] in ("E:", "W:", "I:", "P:")]
        print("\n".join(["lintian:"] + tags))  # warnings and notes stay visible in the test log
        self.assertEqual([], [t for t in tags if t.startswith("E:")])


class Runs(unittest.TestCase):
    def test_the_menu_entry_starts_it_in_the_players_data_folder(self):
        _, root = unpack(self)
        game = os.path.join(root, "usr/games/dentivale")
        place = tempfile.mkdtemp(prefix="dentivale-launch-")
        self.addCleanup(shutil.rmtree, place, ignore_errors=True)
        home, cwd, blocked = (os.path.join(place, n) for n in ("home", "cwd", "a-file"))
        os.makedirs(cwd)
        open(blocked, "w").close()
        default = os.path.join(home, ".local", "share", "dentivale")
        cases = [  # XDG_DATA_HOME (None: unset), the folder game.dat must land in
            (os.path.join(place, "xdg"), os.path.join(place, "xdg", "dentivale")),
            (None, default),
            ("relative/data", default),
            (os.path.join(blocked, "data"), cwd),  # no folder: the game still starts
        ]
        for xdg, expected in cases:
            with self.subTest(XDG_DATA_HOME=xdg):
                shutil.rmtree(os.path.join(home, ".local"), ignore_errors=True)
                for d, _, files in os.walk(place):
                    if "game.dat" in files:
                        os.remove(os.path.join(d, "game.dat"))
                env = {k: v for k, v in os.environ.items() if k != "XDG_DATA_HOME"}
                env.update(HOME=home, PATH=os.path.dirname(game) + ":" + env["PATH"],
                           **({"XDG_DATA_HOME": xdg} if xdg else {}))
                self.launch_and_close(root, game, cwd, env)
                self.assertEqual([os.path.join(expected, "game.dat")],
                                 [os.path.join(d, "game.dat") for d, _, f in os.walk(place) if "game.dat" in f])
                self.assertEqual(120, os.path.getsize(os.path.join(expected, "game.dat")))

    def launch_and_close(self, root, game, cwd, env):
        """Launches the entry through GLib as desktops do, then closes the
        window and waits for the game to end."""
        # The game inherits gio's output, so a pipe would stay open until it
        # ends: the output goes to a file.
        with tempfile.TemporaryFile("w+") as errors:
            status = subprocess.call(["gio", "launch", os.path.join(root, DESKTOP)], cwd=cwd, env=env,
                                     stdout=subprocess.DEVNULL, stderr=errors, timeout=20)
            errors.seek(0)
            self.assertEqual(0, status, errors.read())
        with xdriver.Game(program=game, workdir=cwd) as window:
            try:
                window.window = window.wait_for_window(xdriver.TITLE, timeout=10)
                window.close_request()
                window.wait(lambda: not running(game), what="end of the game once its window closed")
            finally:
                for pid in running(game):
                    os.kill(pid, 9)


def running(game):
    """Ids of the processes running this program."""
    ids = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if os.readlink("/proc/%s/exe" % pid) == game:
                ids.append(int(pid))
        except OSError:
            pass
    return ids


class Configure(unittest.TestCase):
    def test_a_missing_font_stops_cmake_with_one_message_naming_its_package(self):
        missing = os.path.join(tempfile.gettempdir(), "dentivale-nowhere", "missing.ttf")
        with tempfile.TemporaryDirectory() as build:
            result = run("cmake", "-S", SOURCE, "-B", build, "-DDENTIVALE_FONT_WILLY=" + missing)
        self.assertNotEqual(0, result.returncode)
        message = " ".join(result.stderr.split())
        self.assertEqual(1, message.count("CMake Error"), result.stderr)
        for text in ("fonts-comfortaa", missing, "tools/setup.sh"):
            self.assertIn(text, message)
        self.assertNotIn("liballegro4-dev", message)


if __name__ == "__main__":
    unittest.main(verbosity=2)
