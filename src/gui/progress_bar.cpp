// The progress bar: white, filled blue to the share done, framed black.
#include "gui/progress_bar.h"

#include <allegro.h>

int progress_bar::draw(BITMAP *target)
{
    int filled = total > 0 ? (int)((long long)w * done / total) : 0;
    rectfill(target, x, y, x + w, y + h, makecol(255, 255, 255));
    if (filled > 0) rectfill(target, x, y, x + filled, y + h, makecol(0, 128, 255));
    rect(target, x, y, x + w, y + h, makecol(0, 0, 0));
    return 0;
}
