"""The Debian package: it builds, holds what a desktop needs, passes the
validators and lintian, and the game runs from it, both from a shell and
as a menu launches it; and a configure without its inputs says what to
install. Run one group: test_package.py PackageBuilds|PackageContents|..."""

import glob
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest

import xdriver

BUILD = os.environ["DENTIVALE_BUILD"]
SOURCE = os.environ["DENTIVALE_SOURCE"]
DEB_DIR = os.environ["DENTIVALE_DEB_DIR"]
DESKTOP = "usr/share/applications/io.github.dentivale.desktop"
ICON_SIZES = (16, 32, 48, 64, 128, 256)
FILES = {
    "usr/games/dentivale",
    DESKTOP,
    "usr/share/metainfo/io.github.dentivale.metainfo.xml",
    "usr/share/man/man6/dentivale.6.gz",
    "usr/share/doc/dentivale/copyright",
    "usr/share/doc/dentivale/changelog.gz",
} | {"usr/share/icons/hicolor/%dx%d/apps/dentivale.png" % (s, s) for s in ICON_SIZES}
RECORDS_SIZE = 120


def run(*command, **options):
    return subprocess.run(command, capture_output=True, text=True, **options)


def the_package():
    debs = glob.glob(os.path.join(DEB_DIR, "*.deb"))
    assert len(debs) == 1, "expected one package in %s, found %r" % (DEB_DIR, debs)
    return debs[0]


def unpack(test):
    """The package's files under a temporary root, removed after the test."""
    root = tempfile.mkdtemp(prefix="dentivale-root-")
    test.addCleanup(shutil.rmtree, root, ignore_errors=True)
    subprocess.run(["dpkg-deb", "-x", the_package(), root], check=True)
    return root


class PackageBuilds(unittest.TestCase):
    def test_cpack_makes_one_package(self):
        shutil.rmtree(DEB_DIR, ignore_errors=True)
        result = run("cpack", "-G", "DEB", "-B", DEB_DIR,
                     "--config", os.path.join(BUILD, "CPackConfig.cmake"))
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)
        the_package()


class PackageContents(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.deb = the_package()

    def setUp(self):
        self.root = unpack(self)

    def test_holds_exactly_the_desktop_files(self):
        found = {os.path.relpath(os.path.join(d, f), self.root)
                 for d, _, files in os.walk(self.root) for f in files}
        self.assertEqual(FILES, found)

    def test_depends_on_the_package_of_every_linked_library(self):
        depends = run("dpkg-deb", "-f", self.deb, "Depends").stdout
        game = os.path.join(self.root, "usr/games/dentivale")
        needed = [line.split()[1] for line in run("objdump", "-p", game).stdout.splitlines()
                  if line.split()[:1] == ["NEEDED"]]
        self.assertIn("liballeg.so.4.4", needed)
        found = dict(re.findall(r"^\s*(\S+) => (\S+)", run("ldd", game).stdout, re.M))
        for soname in needed:
            # dpkg knows a library by one of its names under /lib or /usr/lib:
            # the file's own name in its architecture's folder finds it.
            real = os.path.realpath(found[soname])
            pattern = "*/%s/%s" % (os.path.basename(os.path.dirname(real)), os.path.basename(real))
            owner = run("dpkg", "-S", pattern).stdout.split(":")[0]
            self.assertRegex(depends, r"(^|, )%s \(>= " % re.escape(owner), soname)

    def test_validators_pass_on_the_installed_files(self):
        for command in (["desktop-file-validate", os.path.join(self.root, DESKTOP)],
                        ["appstreamcli", "validate-tree", "--no-net", "--pedantic", self.root]):
            result = run(*command)
            self.assertEqual(0, result.returncode, result.stdout + result.stderr)
        with open(os.path.join(self.root, DESKTOP)) as f:
            self.assertIn("Icon=dentivale\n", f.read())

    def test_icons_are_their_size_with_a_transparent_background(self):
        for size in ICON_SIZES:
            path = os.path.join(self.root, "usr/share/icons/hicolor/%dx%d/apps/dentivale.png" % (size, size))
            info = run("convert", path, "-format",
                       "%w %h %[channels] %[fx:p{0,0}.a] %[fx:p{w/2,h/2}.a]", "info:").stdout
            self.assertEqual("%d %d srgba 0 1" % (size, size), info, path)

    def test_lintian_reports_no_errors(self):
        result = run("lintian", "--display-info", "--pedantic", self.deb)
        tags = [line for line in result.stdout.splitlines() if line[:2] in ("E:", "W:", "I:", "P:")]
        print("\n".join(["lintian:"] + tags))  # warnings and notes stay visible in the test log
        self.assertEqual([], [t for t in tags if t.startswith("E:")])


class UnpackedPackageRuns(unittest.TestCase):
    def setUp(self):
        self.root = unpack(self)
        self.game = os.path.join(self.root, "usr/games/dentivale")
        self.place = tempfile.mkdtemp(prefix="dentivale-launch-")
        self.addCleanup(shutil.rmtree, self.place, ignore_errors=True)

    def folder(self, name):
        path = os.path.join(self.place, name)
        os.makedirs(path, exist_ok=True)
        return path

    def test_started_from_a_shell_it_keeps_its_records_in_the_working_directory(self):
        with xdriver.Game(program=self.game, workdir=self.folder("shell")) as game:
            game.start()
            game.close_request()
            self.assertEqual(0, game.wait_exit(timeout=5))
            game.output()
        self.assertEqual(RECORDS_SIZE, os.path.getsize(os.path.join(self.place, "shell", "game.dat")))

    def test_the_menu_entry_starts_it_in_the_players_data_folder(self):
        home = self.folder("home")
        blocked = os.path.join(self.place, "a-file")
        open(blocked, "w").close()
        cases = [  # XDG_DATA_HOME (None: unset), the folder game.dat must land in
            (os.path.join(self.place, "xdg"), os.path.join(self.place, "xdg", "dentivale")),
            (None, os.path.join(home, ".local", "share", "dentivale")),
            ("relative/data", os.path.join(home, ".local", "share", "dentivale")),
            (os.path.join(blocked, "data"), self.folder("cwd")),  # no folder: the game still starts
        ]
        for xdg, expected in cases:
            with self.subTest(XDG_DATA_HOME=xdg):
                shutil.rmtree(os.path.join(home, ".local"), ignore_errors=True)
                for stale in self.records_files():
                    os.remove(stale)
                env = {"HOME": home, "PATH": os.path.dirname(self.game) + ":" + os.environ["PATH"]}
                if xdg is not None:
                    env["XDG_DATA_HOME"] = xdg
                self.launch_and_close(env)
                written = self.records_files()
                self.assertEqual([os.path.join(expected, "game.dat")], written)
                self.assertEqual(RECORDS_SIZE, os.path.getsize(written[0]))

    def records_files(self):
        return [os.path.join(d, "game.dat") for d, _, files in os.walk(self.place)
                if "game.dat" in files]

    def launch_and_close(self, env):
        """Launches the entry through GLib as desktops do, in another folder,
        then closes the window and waits for the game to end."""
        environment = {k: v for k, v in os.environ.items() if k != "XDG_DATA_HOME"}
        environment.update(env)
        # The game inherits gio's output, so a pipe would stay open until it
        # ends: the output goes to a file.
        with tempfile.TemporaryFile("w+") as errors:
            status = subprocess.call(["gio", "launch", os.path.join(self.root, DESKTOP)],
                                     cwd=self.folder("cwd"), env=environment,
                                     stdout=subprocess.DEVNULL, stderr=errors, timeout=20)
            errors.seek(0)
            self.assertEqual(0, status, errors.read())
        with xdriver.Game(program=self.game, workdir=self.place) as game:
            try:
                game.window = game.wait_for_window(xdriver.TITLE, timeout=10)
                game.close_request()
                deadline = time.time() + 5
                while self.running() and time.time() < deadline:
                    time.sleep(0.05)
                self.assertEqual([], self.running(), "the game did not end when its window was closed")
            finally:
                for pid in self.running():
                    os.kill(pid, 9)

    def running(self):
        """Ids of the processes running this package's game."""
        ids = []
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                if os.readlink("/proc/%s/exe" % pid) == self.game:
                    ids.append(int(pid))
            except OSError:
                pass
        return ids


class ConfigureChecks(unittest.TestCase):
    def test_a_missing_input_stops_cmake_with_one_message_naming_its_package(self):
        missing = os.path.join(tempfile.gettempdir(), "dentivale-nowhere", "missing")
        cases = [  # cache settings, what the message must name
            ({"DENTIVALE_FONT_WILLY": missing + ".ttf"}, ["fonts-comfortaa", missing + ".ttf"]),
            ({"DAT_TOOL": missing, "EXEDAT_TOOL": missing}, ["liballegro4-dev", "Allegro's dat", "Allegro's exedat"]),
        ]
        for settings, named in cases:
            with self.subTest(settings=settings), tempfile.TemporaryDirectory() as build:
                result = run("cmake", "-S", SOURCE, "-B", build,
                             *["-D%s=%s" % item for item in settings.items()])
                self.assertNotEqual(0, result.returncode)
                message = " ".join(result.stderr.split())
                self.assertEqual(1, message.count("CMake Error"), result.stderr)
                for text in named + ["tools/setup.sh"]:
                    self.assertIn(text, message)
                others = {"fonts-comfortaa", "liballegro4-dev"} - set(named)
                self.assertEqual(set(), {p for p in others if p in message})


if __name__ == "__main__":
    unittest.main(verbosity=2)
