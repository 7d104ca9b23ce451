"""The window as a user meets it: size, title, closing, no display."""

import os
import subprocess
import sys
import time
import unittest

import xdriver


class WindowTest(unittest.TestCase):
    def test_opens_easy_window_and_closes_on_request(self):
        with xdriver.Game() as game:
            game.start()
            self.assertEqual((204, 270), game.size())
            self.assertEqual("Dentivale!", game.window.get_wm_name())
            game.close_request()
            started = time.time()
            status = game.wait_exit(timeout=5)
            self.assertEqual(0, status)
            self.assertLess(time.time() - started, 1.0)

    def test_without_display_says_so_and_exits_non_zero(self):
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        started = time.time()
        result = subprocess.run([xdriver.game_path()], env=env, capture_output=True,
                                timeout=10)
        self.assertLess(time.time() - started, 1.0)
        self.assertGreater(result.returncode, 0, "a negative status is a signal")
        lines = result.stderr.decode().strip().splitlines()
        self.assertTrue(any(l.startswith("dentivale: ") and "display" in l for l in lines),
                        lines)


if __name__ == "__main__":
    unittest.main(verbosity=2)
