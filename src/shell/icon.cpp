// The happy tooth of the face button as the program's icon, described once
// as shapes on a 32 x 32 grid and drawn at any size from them.
//
// Each shape is a signed distance (negative inside, in grid units), so a
// size only changes how densely the grid is sampled. Widths of outlines,
// strokes and shading bands never fall below one pixel, so the small sizes
// keep every line. The enamel is shaded as the game's sprites are: the
// band along the edges that face the light (top, left) shines, the bands
// along the far edges (right, bottom) darken in two steps.
#include "icon.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "resources.h"

namespace {

// Colours of the face button's healthy tooth (tools/make_art.cpp).
enum Colour {
    NONE = -1,
    INK,        // outline
    SHINE,      // enamel facing the light
    BODY,
    SHADE,
    DEEP,       // enamel along the far edges
    GLEAM,
    EYE,
    CHEEK,
    MOUTH_RIM,
    MOUTH,
    TONGUE,
    STAR_RIM,
    STAR,
    COLOURS,
};

const unsigned char COLOUR_RGB[COLOURS][3] = {
    {46, 26, 16},    {255, 254, 248}, {242, 236, 218}, {212, 200, 170}, {174, 158, 124},
    {255, 255, 255}, {34, 22, 16},    {246, 176, 156}, {106, 34, 30},   {150, 46, 42},
    {234, 112, 112}, {255, 250, 220}, {255, 222, 96},
};

struct Point {
    double x, y;
};

double length(double x, double y) { return std::sqrt(x * x + y * y); }

double circle(Point p, Point c, double r) { return length(p.x - c.x, p.y - c.y) - r; }

// An ellipse's distance, close enough near its edge for fills and rims.
double ellipse(Point p, Point c, double rx, double ry)
{
    return (length((p.x - c.x) / rx, (p.y - c.y) / ry) - 1) * std::min(rx, ry);
}

double box(Point p, double left, double top, double right, double bottom)
{
    double dx = std::max(left - p.x, p.x - right), dy = std::max(top - p.y, p.y - bottom);
    return length(std::max(dx, 0.0), std::max(dy, 0.0)) + std::min(std::max(dx, dy), 0.0);
}

// A stroke from a (radius ra) narrowing to b (radius rb); the radius
// follows the nearest point of the segment, which is near enough to a true
// distance for a root that tapers slowly.
double root(Point p, Point a, double ra, Point b, double rb)
{
    double vx = b.x - a.x, vy = b.y - a.y;
    double t = std::clamp(((p.x - a.x) * vx + (p.y - a.y) * vy) / (vx * vx + vy * vy), 0.0, 1.0);
    return length(p.x - a.x - vx * t, p.y - a.y - vy * t) - (ra + (rb - ra) * t);
}

// Union of two shapes with their seam rounded over about k units.
double blend(double a, double b, double k)
{
    double h = std::max(k - std::fabs(a - b), 0.0) / k;
    return std::min(a, b) - h * h * k / 4;
}

// A four-pointed sparkle of radius r: two crossed thin diamonds.
double sparkle(Point p, Point c, double r)
{
    double dx = std::fabs(p.x - c.x), dy = std::fabs(p.y - c.y), thin = r * 0.34;
    return std::min(dx / r + dy / thin, dx / thin + dy / r) * thin - thin;
}

// Distance to the arc of radius r around c between the two angles (radians,
// clockwise on screen because y grows downwards).
double arc(Point p, Point c, double r, double from, double to)
{
    double angle = std::atan2(p.y - c.y, p.x - c.x);
    if (angle >= from && angle <= to)
        return std::fabs(circle(p, c, r));
    Point ends[] = {{c.x + r * std::cos(from), c.y + r * std::sin(from)},
                    {c.x + r * std::cos(to), c.y + r * std::sin(to)}};
    return std::min(circle(p, ends[0], 0), circle(p, ends[1], 0));
}

// The silhouette: two rounded lobes on top, a straight crown, two roots.
double tooth(Point p)
{
    double lobes = std::min(circle(p, {11.5, 9.5}, 6.5), circle(p, {20.5, 9.5}, 6.5));
    double crown = std::min(std::min(lobes, box(p, 5, 9.5, 27, 15)), ellipse(p, {16, 15}, 11, 7));
    double roots = std::min(root(p, {10.8, 19}, 4.4, {11.2, 28.6}, 1.5),
                            root(p, {21.2, 19}, 4.4, {20.8, 28.6}, 1.5));
    return blend(crown, roots, 3);
}

constexpr double OUTLINE = 1.0;  // grid units
constexpr double BAND = 1.0;     // width of each shading band

// The colour of the point p (grid units) when one pixel spans px units.
// Below half the window's size there is no room for the sparkles, the
// cheeks, the gleam or the middle shading band: they would only blur.
Colour sample(Point p, double px)
{
    bool fine = px < 1.5;
    double outline = std::max(OUTLINE, px), band = std::max(BAND, px), stroke = std::max(1.1, px);
    double edge = tooth(p);
    if (edge > 0) {
        if (fine && (sparkle(p, {28, 4.5}, 2.6) <= 0 || sparkle(p, {3.5, 5.5}, 2.1) <= 0))
            return sparkle(p, {28, 4.5}, 1.3) <= 0 || sparkle(p, {3.5, 5.5}, 1.0) <= 0 ? STAR
                                                                                       : STAR_RIM;
        return NONE;
    }
    if (edge > -outline)
        return INK;

    // The face, over the enamel.
    Point mouth_centre = {16, 15};
    double mouth = std::max(ellipse(p, mouth_centre, 5.5, 5.0), mouth_centre.y - p.y);
    if (mouth <= 0) {
        if (fine && mouth > -stroke)
            return MOUTH_RIM;
        return ellipse(p, {16, 19.2}, 2.6, 1.6) <= 0 ? TONGUE : MOUTH;
    }
    const double up = -std::acos(0.0);  // straight up: y grows downwards
    for (double x : {12.0, 20.0})
        if (arc(p, {x, 13.2}, 1.7, up - 1.6, up + 1.6) <= stroke / 2)
            return EYE;
    if (fine && (ellipse(p, {7.8, 15.2}, 1.9, 1.0) <= 0 || ellipse(p, {24.2, 15.2}, 1.9, 1.0) <= 0))
        return CHEEK;
    if (fine && arc(p, {11.5, 9.5}, 4.6, up - 0.95, up - 0.15) <= stroke / 2)
        return GLEAM;

    // Enamel: how far the light side and the far side of the tooth are.
    auto enamel = [&](double dx, double dy) { return tooth({p.x + dx, p.y + dy}) <= -outline; };
    if (!enamel(band, 0) || !enamel(0, band) || !enamel(band, band))
        return DEEP;
    if (fine && (!enamel(2 * band, 0) || !enamel(0, 2 * band) || !enamel(2 * band, 2 * band)))
        return SHADE;
    if (!enamel(-band, 0) || !enamel(0, -band))
        return SHINE;
    return BODY;
}

constexpr int SAMPLES = 4;  // per pixel along each axis

// How many of the pixel's samples fall on each colour; the last count is
// of the samples outside the tooth.
void count_samples(int size, int x, int y, int (&counts)[COLOURS + 1])
{
    double px = static_cast<double>(ICON_WINDOW_SIZE) / size;
    std::fill(std::begin(counts), std::end(counts), 0);
    for (int sy = 0; sy < SAMPLES; sy++) {
        for (int sx = 0; sx < SAMPLES; sx++) {
            Point p = {(x + (sx + 0.5) / SAMPLES) * px, (y + (sy + 0.5) / SAMPLES) * px};
            Colour c = sample(p, px);
            counts[c == NONE ? COLOURS : c]++;
        }
    }
}

// The window's icon as XPM rows. XPM knows only opaque and transparent
// pixels, so each pixel takes the colour most of its samples have.
constexpr int XPM_ROWS = 1 + COLOURS + 1 + ICON_WINDOW_SIZE;  // header, colours and None, pixels
char xpm_text[XPM_ROWS][ICON_WINDOW_SIZE + 8];

void build_window_icon(const char **rows)
{
    const char KEYS[] = "abcdefghijklm";
    static_assert(sizeof KEYS - 1 == COLOURS, "one key per colour");
    bool used[COLOURS] = {};
    const int first_pixel_row = 1 + COLOURS + 1;
    for (int y = 0; y < ICON_WINDOW_SIZE; y++) {
        for (int x = 0; x < ICON_WINDOW_SIZE; x++) {
            int counts[COLOURS + 1];
            count_samples(ICON_WINDOW_SIZE, x, y, counts);
            int most = static_cast<int>(std::max_element(counts, counts + COLOURS + 1) - counts);
            xpm_text[first_pixel_row + y][x] = most == COLOURS ? '.' : KEYS[most];
            if (most < COLOURS)
                used[most] = true;
        }
    }
    int row = 1;
    for (int c = 0; c < COLOURS; c++)
        if (used[c])
            std::snprintf(xpm_text[row++], sizeof xpm_text[0], "%c c #%02X%02X%02X", KEYS[c],
                          COLOUR_RGB[c][0], COLOUR_RGB[c][1], COLOUR_RGB[c][2]);
    std::snprintf(xpm_text[row++], sizeof xpm_text[0], ". c None");
    std::snprintf(xpm_text[0], sizeof xpm_text[0], "%d %d %d 1", ICON_WINDOW_SIZE,
                  ICON_WINDOW_SIZE, row - 1);
    for (int i = 0; i < row; i++)
        rows[i] = xpm_text[i];
    // Only the colours in use are listed, so the pixel rows move up to them.
    for (int y = 0; y < ICON_WINDOW_SIZE; y++)
        rows[row + y] = xpm_text[first_pixel_row + y];
}

}  // namespace

// Filled while the program's statics are set up, before main: Allegro reads
// it when allegro_init makes the window.
const char *dentivale_icon_xpm[XPM_ROWS];

namespace {
struct WindowIconBuilder {
    WindowIconBuilder() { build_window_icon(dentivale_icon_xpm); }
} window_icon_builder;
}  // namespace

void render_icon_rgba(int size, unsigned char *rgba)
{
    for (int y = 0; y < size; y++) {
        for (int x = 0; x < size; x++) {
            int counts[COLOURS + 1];
            count_samples(size, x, y, counts);
            int sum[3] = {0, 0, 0}, covered = 0;
            for (int c = 0; c < COLOURS; c++) {
                for (int i = 0; i < 3; i++)
                    sum[i] += counts[c] * COLOUR_RGB[c][i];
                covered += counts[c];
            }
            unsigned char *out = rgba + 4 * (y * size + x);
            for (int i = 0; i < 3; i++)
                out[i] = static_cast<unsigned char>(covered ? (sum[i] + covered / 2) / covered : 0);
            out[3] = static_cast<unsigned char>((covered * 255 + SAMPLES * SAMPLES / 2) /
                                                (SAMPLES * SAMPLES));
        }
    }
}
