/* A fixed rand() preloaded into the game by the tests that must know where
 * the teeth lie; test_game.py replays it step for step. */
static unsigned long state = 1;

void srand(unsigned seed) { (void)seed; }

int rand(void)
{
    state = state * 1103515245 + 12345;
    return (int)((state / 65536) % 32768);
}
