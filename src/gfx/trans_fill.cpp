// Placeholder until the blending loops land: a solid fill at any strength.
#include "trans_fill.h"

void trans_rectfill(BITMAP *bmp, int x, int y, int w, int h, int c, int fact)
{
    if (fact > 0 && w > 0 && h > 0)
        rectfill(bmp, x, y, x + w - 1, y + h - 1, c);
}
