// Draws assets/about.bmp: two 580 x 290 pictures of our own, one above the
// other (the about box shows one of them at random).
//
// Usage: make_about OUTPUT.bmp
#include <allegro.h>
#include <math.h>
#include <stdio.h>

namespace {

const int PICTURE_W = 580, PICTURE_H = 290;

// Writes `text` at (x, y) with the built-in 8 x 8 font magnified `scale` times.
void big_text(BITMAP *target, const char *text, int x, int y, int scale, int colour, int shadow)
{
    int w = text_length(font, text), h = text_height(font);
    BITMAP *small = create_bitmap(w, h);
    clear_to_color(small, bitmap_mask_color(small));
    textout_ex(small, font, text, 0, 0, shadow, -1);
    masked_stretch_blit(small, target, 0, 0, w, h, x + scale / 2 + 1, y + scale / 2 + 1, w * scale, h * scale);
    clear_to_color(small, bitmap_mask_color(small));
    textout_ex(small, font, text, 0, 0, colour, -1);
    masked_stretch_blit(small, target, 0, 0, w, h, x, y, w * scale, h * scale);
    destroy_bitmap(small);
}

// Picture 1: a road running to a low sun under an evening sky.
void draw_road(BITMAP *b, int top)
{
    int horizon = top + 150;
    for (int y = top; y < horizon; y++) {
        float t = (float)(y - top) / 150.0f;
        hline(b, 0, y, PICTURE_W - 1, makecol(40 + (int)(200 * t), 30 + (int)(90 * t), 110 - (int)(60 * t)));
    }
    circlefill(b, 290, horizon, 46, makecol(255, 200, 80));
    circlefill(b, 290, horizon, 36, makecol(255, 235, 150));
    for (int y = horizon; y < top + PICTURE_H; y++) {
        float depth = (float)(y - horizon + 1) / (float)(top + PICTURE_H - horizon);
        int grass = ((int)(40.0f / depth) / 6) % 2 ? makecol(40, 120, 50) : makecol(60, 150, 60);
        hline(b, 0, y, PICTURE_W - 1, grass);
        int half = 8 + (int)(260 * depth);
        hline(b, 290 - half, y, 290 + half, makecol(70, 70, 78));
        int kerb = ((int)(40.0f / depth) / 3) % 2 ? makecol(230, 40, 40) : makecol(240, 240, 240);
        int kerb_w = 1 + (int)(16 * depth);
        hline(b, 290 - half - kerb_w, y, 290 - half, kerb);
        hline(b, 290 + half, y, 290 + half + kerb_w, kerb);
        if (((int)(40.0f / depth) / 4) % 2)
            hline(b, 290 - 1 - (int)(5 * depth), y, 290 + 1 + (int)(5 * depth), makecol(250, 220, 60));
    }
    big_text(b, "Quarly", 24, top + 20, 6, makecol(255, 255, 255), makecol(20, 10, 40));
    big_text(b, "Texture Editor 2.0", 28, top + 76, 3, makecol(255, 230, 120), makecol(20, 10, 40));
}

// Picture 2: a wall of texture pages, each with its own palette.
void draw_pages(BITMAP *b, int top)
{
    rectfill(b, 0, top, PICTURE_W - 1, top + PICTURE_H - 1, makecol(24, 28, 40));
    for (int row = 0; row < 4; row++) {
        for (int col = 0; col < 8; col++) {
            int x0 = 12 + col * 71, y0 = top + 12 + row * 68;
            int page = row * 8 + col;
            for (int y = 0; y < 60; y++) {
                for (int x = 0; x < 64; x++) {
                    int r = (int)(128 + 127 * sin((x + page * 7) * 0.15 + page));
                    int g = (int)(128 + 127 * sin((y + x * (page % 3)) * 0.12 + page * 0.5));
                    int bl = ((x / 8 + y / 8 + page) % 2) ? 200 : 60 + page * 5;
                    putpixel(b, x0 + x, y0 + y, makecol(r, g, bl));
                }
            }
            rect(b, x0 - 1, y0 - 1, x0 + 64, y0 + 60, makecol(255, 255, 255));
        }
    }
    rectfill(b, 90, top + 110, 490, top + 180, makecol(24, 28, 40));
    rect(b, 90, top + 110, 490, top + 180, makecol(255, 255, 255));
    big_text(b, "Pages, palettes,", 110, top + 118, 3, makecol(120, 220, 255), makecol(0, 0, 0));
    big_text(b, "paint.", 110, top + 148, 3, makecol(255, 160, 200), makecol(0, 0, 0));
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: make_about OUTPUT.bmp\n");
        return 2;
    }
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0)
        return 1;
    set_color_depth(24);
    BITMAP *b = create_bitmap_ex(24, PICTURE_W, 2 * PICTURE_H);
    draw_road(b, 0);
    draw_pages(b, PICTURE_H);
    int failed = save_bitmap(argv[1], b, nullptr);
    destroy_bitmap(b);
    return failed ? 1 : 0;
}
END_OF_MAIN()
