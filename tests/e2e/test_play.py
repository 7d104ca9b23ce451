"""The game menu and a game played through the real window."""

import os
import random
import time
import unittest

import xdriver

from xdriver import CELL, cell_centre, cell_origin

FACE = (120, 20)
GLOW_FADE = 0.5         # the hover glow fades out within 23 passes
SHOTS = os.environ.get("DENTIVALE_SHOTS")  # folder for screenshots, if wanted


def records_nobody_beats():
    """game.dat whose best times are 0 s, so that a win asks for no name."""
    block = lambda: b"Quibo".ljust(30, b"\0") + b"%9d\0" % 0
    return block() * 3



class PlayTest(unittest.TestCase):
    def rest_pointer(self, game):
        """Parks the pointer on the frame, off every cell, and lets the glow fade."""
        width, height = game.size()
        game.move(width - 4, height - 4)
        time.sleep(GLOW_FADE)

    def covered_block(self, game):
        """How a covered cell looks: the art of cell (0, 0) on a fresh board."""
        self.rest_pointer(game)
        return game.grab().block(*cell_origin(0, 0), CELL, CELL)

    def cells(self, game, cols, rows):
        img = game.grab()
        return {(c, r): img.block(*cell_origin(c, r), CELL, CELL)
                for c in range(cols) for r in range(rows)}

    def shot(self, game, name):
        if SHOTS:
            game.screenshot(os.path.join(SHOTS, name + ".png"))

    def test_levels_resize_the_window_and_the_choosing_click_misses_the_board(self):
        with xdriver.Game() as game:
            game.start()
            covered = self.covered_block(game)
            for item, size, cols, rows in ((xdriver.HARD, (624, 410), 30, 16),
                                           (xdriver.INTERMEDIATE, (344, 410), 16, 16),
                                           (xdriver.EASY, (204, 270), 9, 9)):
                game.choose(item)
                self.assertTrue(game.wait_for_size(*size), "level %d" % item)
                self.rest_pointer(game)
                # The item list lay over the board: no cell may have opened.
                blocks = self.cells(game, cols, rows)
                opened = [pos for pos, b in blocks.items() if b != covered]
                self.assertEqual([], opened, "level %d" % item)
                self.assertEqual("Dentivale!", game.window.get_wm_name())
            game.choose(xdriver.QUIT)
            self.assertEqual(0, game.wait_exit(timeout=3))

    def test_a_finished_game_shows_the_board_and_the_face_starts_again(self):
        # Random presses on Easy nearly always lose; should they win, the
        # board is shown as well (teeth flagged), and no record can be set.
        rng = random.Random(7)
        with xdriver.Game() as game:
            with open(os.path.join(game.workdir, "game.dat"), "wb") as f:
                f.write(records_nobody_beats())
            game.start()
            covered = self.covered_block(game)
            fresh_face = game.grab().block(105, 6, 30, 29)
            self.shot(game, "easy-fresh")
            for _ in range(81):
                blocks = self.cells(game, 9, 9)
                hidden = [pos for pos, b in blocks.items() if b == covered]
                if not hidden:
                    break
                game.click(*cell_centre(*rng.choice(hidden)))
                self.rest_pointer(game)
            blocks = self.cells(game, 9, 9)
            self.assertEqual([], [p for p, b in blocks.items() if b == covered],
                             "every cell is shown after the game ends")
            img = game.grab()
            self.assertNotEqual(fresh_face, img.block(105, 6, 30, 29), "the face changed")
            self.shot(game, "easy-ended")

            game.click(*FACE)
            self.rest_pointer(game)
            blocks = self.cells(game, 9, 9)
            self.assertEqual([], [p for p, b in blocks.items() if b != covered])
            self.assertEqual(fresh_face, game.grab().block(105, 6, 30, 29))
            game.close_request()
            self.assertEqual(0, game.wait_exit(timeout=3))

    def test_a_press_let_go_off_the_board_is_dropped(self):
        # The fixed rand() lays the same teeth every run, so some cells
        # stay covered after the first press.
        with xdriver.Game(env={"LD_PRELOAD": os.environ["DENTIVALE_FIXED_RAND"]}) as game:
            game.start()
            covered = self.covered_block(game)
            game.click(*cell_centre(4, 4))
            self.rest_pointer(game)
            before = self.cells(game, 9, 9)
            hidden = sorted(pos for pos, b in before.items() if b == covered)
            width, height = game.size()
            game.drag(*cell_centre(*hidden[0]), width - 4, height // 2)
            game.move(*cell_centre(*hidden[-1]))  # no button held
            self.rest_pointer(game)
            after = self.cells(game, 9, 9)
            self.assertEqual([], [pos for pos in before if before[pos] != after[pos]])


if __name__ == "__main__":
    unittest.main(verbosity=2)
