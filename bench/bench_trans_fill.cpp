// The translucent fill, each row loop side by side with the library's own
// translucent rectfill and with memset of the same rows (the ceiling), on a
// 16- and a 32-bit memory bitmap of 824 x 590 and on one 20 x 20 cell.
// per_px is CPU time per pixel. On a shared machine run with
//   --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
// and compare the _min rows.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/trans_fill.h"
#include "support/headless.h"

namespace {

constexpr int BITMAP_W = 824;
constexpr int BITMAP_H = 590;
constexpr int CELL = 20;
constexpr int CELL_X = 73;  // a cell of the board, odd column so rows start unaligned
constexpr int CELL_Y = 82;
constexpr int FACT = 191;   // the menu panel's strength

struct Area {
    const char *name;
    int x, y, w, h;
};
const Area AREAS[] = {{"824x590", 0, 0, BITMAP_W, BITMAP_H}, {"20x20", CELL_X, CELL_Y, CELL, CELL}};

void count_pixels(benchmark::State &state, const Area &area)
{
    const double pixels = static_cast<double>(area.w) * area.h;
    state.counters["per_px"] =
        benchmark::Counter(pixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void run_loop(benchmark::State &state, BITMAP *bmp, Area area, TransFillLoop loop)
{
    trans_fill_force_loop(loop);
    const int colour = makecol_depth(bitmap_color_depth(bmp), 90, 100, 140);
    for (auto _ : state) {
        trans_rectfill(bmp, area.x, area.y, area.w, area.h, colour, FACT);
        benchmark::ClobberMemory();
    }
    trans_fill_auto_loop();
    count_pixels(state, area);
}

void run_allegro(benchmark::State &state, BITMAP *bmp, Area area)
{
    const int colour = makecol_depth(bitmap_color_depth(bmp), 90, 100, 140);
    for (auto _ : state) {
        drawing_mode(DRAW_MODE_TRANS, nullptr, 0, 0);
        set_trans_blender(0, 0, 0, FACT);
        rectfill(bmp, area.x, area.y, area.x + area.w - 1, area.y + area.h - 1, colour);
        solid_mode();
        benchmark::ClobberMemory();
    }
    count_pixels(state, area);
}

void run_memset(benchmark::State &state, BITMAP *bmp, Area area)
{
    const int bytes = bitmap_color_depth(bmp) == 32 ? 4 : 2;
    for (auto _ : state) {
        for (int y = area.y; y < area.y + area.h; y++)
            std::memset(bmp->line[y] + area.x * bytes, 0x5A, static_cast<size_t>(area.w) * bytes);
        benchmark::ClobberMemory();
    }
    count_pixels(state, area);
}

// Other work on the machine only ever slows a run down, so the fastest
// repetition is the figure to compare.
double fastest(const std::vector<double> &runs)
{
    return *std::min_element(runs.begin(), runs.end());
}

}  // namespace

int main(int argc, char **argv)
{
    start_headless(16);
    for (int depth : {16, 32}) {
        BITMAP *bmp = create_bitmap_ex(depth, BITMAP_W, BITMAP_H);
        clear_to_color(bmp, makecol_depth(depth, 200, 180, 160));
        for (const Area &area : AREAS) {
            const std::string prefix = std::to_string(depth) + "bit/" + area.name + "/";
            for (int i = 0; i < TRANS_FILL_LOOPS; i++) {
                const TransFillLoop loop = static_cast<TransFillLoop>(i);
                if (trans_fill_loop_available(loop))
                    benchmark::RegisterBenchmark((prefix + trans_fill_loop_name(loop)).c_str(), run_loop, bmp,
                                                 area, loop)
                        ->ComputeStatistics("min", fastest);
            }
            benchmark::RegisterBenchmark((prefix + "allegro_trans").c_str(), run_allegro, bmp, area)
                ->ComputeStatistics("min", fastest);
            benchmark::RegisterBenchmark((prefix + "memset").c_str(), run_memset, bmp, area)
                ->ComputeStatistics("min", fastest);
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
