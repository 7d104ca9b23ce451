/* A fixed rand(), preloaded where a test must know where the teeth lie; test_game.py replays it. */
static unsigned long state = 1;

int rand(void)
{
    state = state * 1103515245 + 12345;
    return (int)((state / 65536) % 32768);
}
