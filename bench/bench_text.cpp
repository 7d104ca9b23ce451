// The text layer on a 16-bit memory bitmap: measuring and drawing one
// 12-character string in each style, and the numbers of a full 40 x 25
// board as the scene prints them (1000 single digits, anti-aliased,
// transparent, Comfortaa Bold at line height 20). Target: 1 ms per board.
#include <benchmark/benchmark.h>

#include "support/headless.h"
#include "text/ttf.h"

#ifndef TEXT_FONT_DIR
#define TEXT_FONT_DIR "/usr/share/fonts/truetype"  // Debian's font packages
#endif

namespace {

constexpr int BOARD_COLS = 40;
constexpr int BOARD_ROWS = 25;
constexpr int BOARD_LEFT = 13;  // the scene's board origin and cell pitch
constexpr int BOARD_TOP = 42;
constexpr int CELL = 20;
constexpr int NUMBER_DX = 4;    // where the scene puts a number inside its cell
constexpr int NUMBER_DY = 1;
constexpr int BITMAP_W = BOARD_COLS * CELL + 24;
constexpr int BITMAP_H = BOARD_ROWS * CELL + 90;
constexpr int LINE_HEIGHT = 20;
const char *const TEXT = "Intermediate";  // 12 characters, a menu row

struct Setup {
    TTF_FONT *font = nullptr;
    BITMAP *bmp = nullptr;
    int colours[9];
};

// One font and bitmap for the whole run; every glyph is cached before the
// timed loops, as it is after the game's first frame.
Setup &setup()
{
    static Setup s;
    if (!s.font) {
        start_headless(16);
        ttf_init();
        s.font = ttf_load_font(TEXT_FONT_DIR "/comfortaa/Comfortaa-Bold.ttf");
        ttf_set_font_size(s.font, LINE_HEIGHT);
        s.bmp = create_bitmap(BITMAP_W, BITMAP_H);
        clear_to_color(s.bmp, makecol(180, 170, 150));
        for (int i = 0; i < 9; i++)
            s.colours[i] = makecol(40 * i % 256, 255 - 25 * i, 60 + 20 * i);
        ttf_text_length(s.font, "0123456789Intermediate");
    }
    return s;
}

void BM_Length(benchmark::State &state)
{
    Setup &s = setup();
    for (auto _ : state)
        benchmark::DoNotOptimize(ttf_text_length(s.font, TEXT));
}
BENCHMARK(BM_Length);

// One 12-character string per call; bg -1 is transparent.
void BM_String(benchmark::State &state, void (*draw)(BITMAP *, TTF_FONT *, const char *, int, int, int, int), int bg)
{
    Setup &s = setup();
    for (auto _ : state) {
        draw(s.bmp, s.font, TEXT, 30, 40, s.colours[1], bg < 0 ? -1 : s.colours[bg]);
        benchmark::ClobberMemory();
    }
}
BENCHMARK_CAPTURE(BM_String, Plain, ttf_textout_ex, -1);
BENCHMARK_CAPTURE(BM_String, AaOpaque, ttf_textout_aa_ex, 0);
BENCHMARK_CAPTURE(BM_String, AaTransparent, ttf_textout_aa_ex, -1);

// Every cell of the board gets its count drawn at the scene's place.
template <class Draw>
void board_loop(benchmark::State &state, Draw draw)
{
    Setup &s = setup();
    for (auto _ : state) {
        for (int r = 0; r < BOARD_ROWS; r++) {
            for (int c = 0; c < BOARD_COLS; c++) {
                int count = 1 + (r * BOARD_COLS + c) % 8;
                draw(s, BOARD_LEFT + c * CELL + NUMBER_DX, BOARD_TOP + r * CELL + NUMBER_DY, count);
            }
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * BOARD_ROWS * BOARD_COLS);
}

// The scene's call: formatted, default background transparent.
void BM_BoardNumbers(benchmark::State &state)
{
    setup();  // before the default background is changed: starting the layer may reset it
    int old_bg = ttf_text_mode(-1);
    board_loop(state, [](Setup &s, int x, int y, int count) {
        ttf_textprintf_aa(s.bmp, s.font, x, y, s.colours[count], "%d", count);
    });
    ttf_text_mode(old_bg);
}
BENCHMARK(BM_BoardNumbers)->Unit(benchmark::kMicrosecond);

// The same digits without the formatting, to show what uvszprintf costs.
void BM_BoardDigitsUnformatted(benchmark::State &state)
{
    board_loop(state, [](Setup &s, int x, int y, int count) {
        const char digit[2] = {char('0' + count), 0};
        ttf_textout_aa_ex(s.bmp, s.font, digit, x, y, s.colours[count], -1);
    });
}
BENCHMARK(BM_BoardDigitsUnformatted)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
