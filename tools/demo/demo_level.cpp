// The demo level and large benchmark levels: procedural pictures, palettes, model shapes, world and names.
//
// Sections:
//   1. canvas, colours and noise
//   2. the 5 x 7 bitmap font and lettering
//   3. drawing primitives (rectangles, discs, convex polygons)
//   4. the pictures, one function per kind of page
//   5. the demo's page table and reducing pictures to pages (median cut, 15 bits)
//   6. model shapes
//   7. world, names and the demo level
//   8. the large benchmark level
#include "demo/demo_level.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "level/level.h"

const char *const DEMO_LONG_TEXTURE_NAME = "SIGNSLOW";

namespace {

// ---- 1. canvas, colours and noise -------------------------------------------

struct rgb {
    int r, g, b;
};

rgb mix(rgb a, rgb b, float t)
{
    if (t < 0) t = 0;
    if (t > 1) t = 1;
    return {(int)lroundf(a.r + (b.r - a.r) * t), (int)lroundf(a.g + (b.g - a.g) * t),
            (int)lroundf(a.b + (b.b - a.b) * t)};
}

rgb scale(rgb c, float f) { return {(int)(c.r * f), (int)(c.g * f), (int)(c.b * f)}; }

int clamp255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// 256 x 256 pixels, rows top to bottom, with a mask of pixels that are to be
// the transparent key on a 15-bit page.
struct canvas {
    unsigned char px[256 * 256 * 3];
    bool clear[256 * 256];

    canvas() { memset(clear, 0, sizeof clear); fill({0, 0, 0}); }
    void set(int x, int y, rgb c)
    {
        if (x < 0 || y < 0 || x > 255 || y > 255) return;
        unsigned char *p = px + (y * 256 + x) * 3;
        p[0] = (unsigned char)clamp255(c.r);
        p[1] = (unsigned char)clamp255(c.g);
        p[2] = (unsigned char)clamp255(c.b);
        clear[y * 256 + x] = false;
    }
    rgb get(int x, int y) const
    {
        const unsigned char *p = px + (y * 256 + x) * 3;
        return {p[0], p[1], p[2]};
    }
    void fill(rgb c)
    {
        for (int y = 0; y < 256; y++)
            for (int x = 0; x < 256; x++) set(x, y, c);
    }
    void make_clear(int x, int y)
    {
        if (x < 0 || y < 0 || x > 255 || y > 255) return;
        clear[y * 256 + x] = true;
    }
};

uint32_t hash3(int x, int y, int seed)
{
    uint32_t h = (uint32_t)x * 374761393u + (uint32_t)y * 668265263u + (uint32_t)seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

// 0..1, one value per integer point.
float white_noise(int x, int y, int seed) { return (float)(hash3(x, y, seed) & 0xFFFF) / 65535.0f; }

// Smooth value noise, 0..1, with lattice cells `cell` pixels wide.
float value_noise(float x, float y, float cell, int seed)
{
    float fx = x / cell, fy = y / cell;
    int ix = (int)floorf(fx), iy = (int)floorf(fy);
    float tx = fx - (float)ix, ty = fy - (float)iy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    float a = white_noise(ix, iy, seed), b = white_noise(ix + 1, iy, seed);
    float c = white_noise(ix, iy + 1, seed), d = white_noise(ix + 1, iy + 1, seed);
    return (a + (b - a) * tx) * (1 - ty) + (c + (d - c) * tx) * ty;
}

// Several octaves of value noise, 0..1.
float fractal_noise(float x, float y, float cell, int seed, int octaves)
{
    float sum = 0, weight = 0, amplitude = 1;
    for (int o = 0; o < octaves; o++) {
        sum += value_noise(x, y, cell, seed + o * 101) * amplitude;
        weight += amplitude;
        amplitude *= 0.5f;
        cell *= 0.5f;
        if (cell < 1) cell = 1;
    }
    return sum / weight;
}

rgb hsv(float h, float s, float v)
{
    h = fmodf(h, 360.0f);
    if (h < 0) h += 360;
    float c = v * s, x = c * (1 - fabsf(fmodf(h / 60.0f, 2) - 1)), m = v - c;
    float r = 0, g = 0, b = 0;
    if (h < 60) { r = c; g = x; }
    else if (h < 120) { r = x; g = c; }
    else if (h < 180) { g = c; b = x; }
    else if (h < 240) { g = x; b = c; }
    else if (h < 300) { r = x; b = c; }
    else { r = c; b = x; }
    return {(int)((r + m) * 255), (int)((g + m) * 255), (int)((b + m) * 255)};
}

// ---- 2. the 5 x 7 bitmap font -----------------------------------------------

struct glyph {
    char c;
    const char *rows[7];
};

const glyph FONT[] = {
    {'0', {" XXX ", "X   X", "X  XX", "X X X", "XX  X", "X   X", " XXX "}},
    {'1', {"  X  ", " XX  ", "  X  ", "  X  ", "  X  ", "  X  ", " XXX "}},
    {'2', {" XXX ", "X   X", "    X", "   X ", "  X  ", " X   ", "XXXXX"}},
    {'3', {"XXXXX", "   X ", "  X  ", "   X ", "    X", "X   X", " XXX "}},
    {'4', {"   X ", "  XX ", " X X ", "X  X ", "XXXXX", "   X ", "   X "}},
    {'5', {"XXXXX", "X    ", "XXXX ", "    X", "    X", "X   X", " XXX "}},
    {'6', {"  XX ", " X   ", "X    ", "XXXX ", "X   X", "X   X", " XXX "}},
    {'7', {"XXXXX", "    X", "   X ", "  X  ", " X   ", " X   ", " X   "}},
    {'8', {" XXX ", "X   X", "X   X", " XXX ", "X   X", "X   X", " XXX "}},
    {'9', {" XXX ", "X   X", "X   X", " XXXX", "    X", "   X ", " XX  "}},
    {'A', {" XXX ", "X   X", "X   X", "XXXXX", "X   X", "X   X", "X   X"}},
    {'B', {"XXXX ", "X   X", "X   X", "XXXX ", "X   X", "X   X", "XXXX "}},
    {'C', {" XXX ", "X   X", "X    ", "X    ", "X    ", "X   X", " XXX "}},
    {'D', {"XXX  ", "X  X ", "X   X", "X   X", "X   X", "X  X ", "XXX  "}},
    {'E', {"XXXXX", "X    ", "X    ", "XXXX ", "X    ", "X    ", "XXXXX"}},
    {'F', {"XXXXX", "X    ", "X    ", "XXXX ", "X    ", "X    ", "X    "}},
    {'G', {" XXX ", "X   X", "X    ", "X XXX", "X   X", "X   X", " XXXX"}},
    {'H', {"X   X", "X   X", "X   X", "XXXXX", "X   X", "X   X", "X   X"}},
    {'I', {" XXX ", "  X  ", "  X  ", "  X  ", "  X  ", "  X  ", " XXX "}},
    {'J', {"  XXX", "   X ", "   X ", "   X ", "   X ", "X  X ", " XX  "}},
    {'K', {"X   X", "X  X ", "X X  ", "XX   ", "X X  ", "X  X ", "X   X"}},
    {'L', {"X    ", "X    ", "X    ", "X    ", "X    ", "X    ", "XXXXX"}},
    {'M', {"X   X", "XX XX", "X X X", "X X X", "X   X", "X   X", "X   X"}},
    {'N', {"X   X", "X   X", "XX  X", "X X X", "X  XX", "X   X", "X   X"}},
    {'O', {" XXX ", "X   X", "X   X", "X   X", "X   X", "X   X", " XXX "}},
    {'P', {"XXXX ", "X   X", "X   X", "XXXX ", "X    ", "X    ", "X    "}},
    {'Q', {" XXX ", "X   X", "X   X", "X   X", "X X X", "X  X ", " XX X"}},
    {'R', {"XXXX ", "X   X", "X   X", "XXXX ", "X X  ", "X  X ", "X   X"}},
    {'S', {" XXXX", "X    ", "X    ", " XXX ", "    X", "    X", "XXXX "}},
    {'T', {"XXXXX", "  X  ", "  X  ", "  X  ", "  X  ", "  X  ", "  X  "}},
    {'U', {"X   X", "X   X", "X   X", "X   X", "X   X", "X   X", " XXX "}},
    {'V', {"X   X", "X   X", "X   X", "X   X", "X   X", " X X ", "  X  "}},
    {'W', {"X   X", "X   X", "X   X", "X X X", "X X X", "X X X", " X X "}},
    {'X', {"X   X", "X   X", " X X ", "  X  ", " X X ", "X   X", "X   X"}},
    {'Y', {"X   X", "X   X", " X X ", "  X  ", "  X  ", "  X  ", "  X  "}},
    {'Z', {"XXXXX", "    X", "   X ", "  X  ", " X   ", "X    ", "XXXXX"}},
    {'-', {"     ", "     ", "     ", "XXXXX", "     ", "     ", "     "}},
    {'.', {"     ", "     ", "     ", "     ", "     ", " XX  ", " XX  "}},
    {':', {"     ", " XX  ", " XX  ", "     ", " XX  ", " XX  ", "     "}},
    {'!', {"  X  ", "  X  ", "  X  ", "  X  ", "  X  ", "     ", "  X  "}},
    {'/', {"    X", "    X", "   X ", "  X  ", " X   ", "X    ", "X    "}},
    {'#', {" X X ", " X X ", "XXXXX", " X X ", "XXXXX", " X X ", " X X "}},
    {'>', {" X   ", "  X  ", "   X ", "    X", "   X ", "  X  ", " X   "}},
    {'<', {"   X ", "  X  ", " X   ", "X    ", " X   ", "  X  ", "   X "}},
};

const glyph *find_glyph(char c)
{
    for (const glyph &g : FONT)
        if (g.c == c) return &g;
    return nullptr;   // blanks and anything unknown advance without ink
}

// Width in pixels of `text` at `size` (pixels per font dot).
int text_width(const char *text, int size)
{
    int n = (int)strlen(text);
    return n > 0 ? (n * 6 - 1) * size : 0;
}

void draw_text(canvas &c, int x, int y, const char *text, int size, rgb colour)
{
    for (; *text; text++, x += 6 * size) {
        const glyph *g = find_glyph(*text);
        if (!g) continue;
        for (int row = 0; row < 7; row++)
            for (int col = 0; col < 5; col++)
                if (g->rows[row][col] == 'X')
                    for (int dy = 0; dy < size; dy++)
                        for (int dx = 0; dx < size; dx++) c.set(x + col * size + dx, y + row * size + dy, colour);
    }
}

// Text with a one-dot shadow down and to the right.
void draw_text_shadowed(canvas &c, int x, int y, const char *text, int size, rgb colour, rgb shadow)
{
    int offset = size > 1 ? size / 2 : 1;
    draw_text(c, x + offset, y + offset, text, size, shadow);
    draw_text(c, x, y, text, size, colour);
}

void draw_text_centred(canvas &c, int cx, int y, const char *text, int size, rgb colour)
{
    draw_text(c, cx - text_width(text, size) / 2, y, text, size, colour);
}

// Every page carries its number in the top-left corner on a dark plate, so
// a flipped or mirrored page shows at once.
void draw_page_label(canvas &c, int page)
{
    char label[8];
    snprintf(label, sizeof label, "P%02d", page);
    int w = text_width(label, 2);
    for (int y = 2; y < 2 + 14 + 4; y++)
        for (int x = 2; x < 2 + w + 6; x++) c.set(x, y, mix(c.get(x, y), {10, 10, 30}, 0.75f));
    draw_text(c, 5, 5, label, 2, {255, 240, 80});
}

// ---- 3. drawing primitives --------------------------------------------------

void fill_rect(canvas &c, int x0, int y0, int x1, int y1, rgb colour)
{
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++) c.set(x, y, colour);
}

void fill_disc(canvas &c, float cx, float cy, float r, rgb colour)
{
    for (int y = (int)(cy - r) - 1; y <= (int)(cy + r) + 1; y++)
        for (int x = (int)(cx - r) - 1; x <= (int)(cx + r) + 1; x++) {
            float dx = (float)x + 0.5f - cx, dy = (float)y + 0.5f - cy;
            if (dx * dx + dy * dy <= r * r) c.set(x, y, colour);
        }
}

// A convex polygon given clockwise or anticlockwise.
void fill_convex(canvas &c, const float (*pts)[2], int n, rgb colour)
{
    float minx = 256, miny = 256, maxx = 0, maxy = 0;
    for (int i = 0; i < n; i++) {
        minx = std::min(minx, pts[i][0]); maxx = std::max(maxx, pts[i][0]);
        miny = std::min(miny, pts[i][1]); maxy = std::max(maxy, pts[i][1]);
    }
    for (int y = (int)miny; y <= (int)maxy; y++)
        for (int x = (int)minx; x <= (int)maxx; x++) {
            float px = (float)x + 0.5f, py = (float)y + 0.5f;
            int positive = 0, negative = 0;
            for (int i = 0; i < n; i++) {
                const float *a = pts[i], *b = pts[(i + 1) % n];
                float cross = (b[0] - a[0]) * (py - a[1]) - (b[1] - a[1]) * (px - a[0]);
                if (cross > 0) positive++;
                if (cross < 0) negative++;
            }
            if (positive == 0 || negative == 0) c.set(x, y, colour);
        }
}

// A regular polygon of `n` corners around (cx, cy), first corner at `angle` degrees.
void fill_regular(canvas &c, float cx, float cy, float r, int n, float angle, rgb colour)
{
    float pts[16][2];
    for (int i = 0; i < n && i < 16; i++) {
        float a = (angle + 360.0f * (float)i / (float)n) * 3.14159265f / 180.0f;
        pts[i][0] = cx + r * cosf(a);
        pts[i][1] = cy + r * sinf(a);
    }
    fill_convex(c, pts, n, colour);
}

// ---- 4. the pictures --------------------------------------------------------

// Staggered bricks with mortar; each brick its own shade, lit from the top left.
void picture_bricks(canvas &c, int seed, rgb brick, rgb mortar)
{
    const int bw = 32, bh = 16;
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            int row = y / bh;
            int shift = (row % 2) ? bw / 2 : 0;
            int bx = (x + shift) / bw;
            int lx = (x + shift) % bw, ly = y % bh;
            float grain = fractal_noise((float)x, (float)y, 8, seed, 3);
            if (lx < 2 || ly < 2) {
                c.set(x, y, scale(mortar, 0.8f + 0.4f * grain));
                continue;
            }
            float shade = 0.75f + 0.45f * white_noise(bx, row, seed);
            rgb colour = scale(brick, shade * (0.85f + 0.3f * grain));
            if (lx < 4 || ly < 4) colour = scale(colour, 1.2f);                 // lit edge
            if (lx > bw - 3 || ly > bh - 3) colour = scale(colour, 0.7f);       // shadowed edge
            c.set(x, y, colour);
        }
    // A vertical soot streak on the right third makes left and right differ.
    for (int y = 40; y < 256; y++)
        for (int x = 176; x < 200; x++) {
            float t = (float)(y - 40) / 216.0f * (1 - fabsf((float)x - 188) / 12.0f);
            c.set(x, y, mix(c.get(x, y), {20, 18, 16}, 0.5f * t));
        }
}

// Asphalt with a dashed yellow centre line and a white edge line on the left.
void picture_asphalt(canvas &c, int seed)
{
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            float n = fractal_noise((float)x, (float)y, 16, seed, 4);
            float grit = white_noise(x, y, seed + 7);
            int v = (int)(60 + 50 * n + 30 * grit);
            c.set(x, y, {v, v, v + 6});
        }
    fill_rect(c, 20, 0, 30, 256, {225, 225, 220});
    for (int y = 0; y < 256; y += 64) fill_rect(c, 150, y + 8, 160, y + 48, {240, 200, 30});
    // An oil stain low on the right.
    for (int y = 170; y < 240; y++)
        for (int x = 180; x < 250; x++) {
            float dx = ((float)x - 215) / 35, dy = ((float)y - 205) / 25;
            float d = dx * dx + dy * dy;
            if (d < 1) c.set(x, y, mix(c.get(x, y), {25, 20, 35}, 0.6f * (1 - d)));
        }
}


// Sky: a vertical gradient with soft clouds and a sun high on the right.
void picture_sky(canvas &c, int seed)
{
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            rgb sky = mix({40, 90, 200}, {170, 215, 250}, (float)y / 255.0f);
            float cloud = fractal_noise((float)x, (float)y * 1.8f, 64, seed, 5);
            float t = (cloud - 0.5f) * 4;
            c.set(x, y, mix(sky, {250, 250, 255}, t));
        }
    fill_disc(c, 200, 56, 26, {255, 235, 120});
    fill_disc(c, 200, 56, 20, {255, 250, 200});
}

// Grass: blades of noise in greens with a few yellow flowers on the left.
void picture_grass(canvas &c, int seed)
{
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            float n = fractal_noise((float)x, (float)y, 32, seed, 4);
            float blade = white_noise(x, y / 3, seed + 3);
            c.set(x, y, mix({30, 90, 20}, {120, 190, 60}, 0.6f * n + 0.4f * blade));
        }
    for (int i = 0; i < 14; i++) {
        float fx = 10 + 100 * white_noise(i, 1, seed), fy = 30 + 210 * white_noise(i, 2, seed);
        fill_disc(c, fx, fy, 3, {250, 220, 40});
        fill_disc(c, fx, fy, 1.2f, {200, 90, 20});
    }
}

// Horizontal planks with grain and a nail at each plank's left end.
void picture_planks(canvas &c, int seed, rgb wood)
{
    const int plank = 32;
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            int row = y / plank;
            float offset = 300 * white_noise(row, 0, seed);
            float grain = sinf(((float)x + offset) * 0.05f + 6 * value_noise((float)x, (float)y, 24, seed + row));
            float shade = 0.8f + 0.15f * grain + 0.1f * white_noise(row, 1, seed);
            rgb colour = scale(wood, shade);
            if (y % plank < 2) colour = scale(wood, 0.35f);
            c.set(x, y, colour);
        }
    for (int row = 0; row < 8; row++) fill_disc(c, 12, (float)(row * plank + plank / 2), 2.5f, {70, 70, 80});
}

// A round sign on a pole-grey background: white face, coloured ring, two lines of black lettering.
void picture_round_sign(canvas &c, int seed, const char *line1, const char *line2, rgb ring, int size)
{
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            float n = value_noise((float)x, (float)y, 40, seed);
            c.set(x, y, mix({90, 110, 130}, {140, 160, 175}, n));
        }
    fill_disc(c, 128, 128, 100, ring);
    fill_disc(c, 128, 128, 78, {250, 250, 245});
    if (line2[0]) {
        draw_text_centred(c, 128, 128 - 8 * size, line1, size, {15, 15, 15});
        draw_text_centred(c, 128, 128 + size, line2, size, {15, 15, 15});
    } else {
        draw_text_centred(c, 128, 128 - 7 * size / 2, line1, size, {15, 15, 15});
    }
}

// An octagonal stop-style sign: red with a white rim and white lettering.
void picture_octagon_sign(canvas &c, const char *text)
{
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) c.set(x, y, mix({60, 130, 60}, {30, 70, 40}, (float)y / 255.0f));
    fill_regular(c, 128, 128, 112, 8, 22.5f, {250, 250, 250});
    fill_regular(c, 128, 128, 100, 8, 22.5f, {200, 20, 25});
    draw_text_centred(c, 128 + 2, 111 + 2, text, 5, {90, 0, 0});
    draw_text_centred(c, 128, 111, text, 5, {255, 255, 255});
}

// A diamond warning sign with a black rim and a big "!"; everything outside
// the diamond is the transparent key.
void picture_diamond_sign(canvas &c)
{
    c.fill({255, 0, 255});
    for (int i = 0; i < 256 * 256; i++) c.clear[i] = true;
    const float outer[4][2] = {{128, 6}, {250, 128}, {128, 250}, {6, 128}};
    const float inner[4][2] = {{128, 22}, {234, 128}, {128, 234}, {22, 128}};
    fill_convex(c, outer, 4, {20, 20, 20});
    fill_convex(c, inner, 4, {250, 200, 20});
    draw_text_centred(c, 128, 80, "!", 12, {20, 20, 20});
    draw_text_centred(c, 128, 180, "SLIPPERY", 2, {20, 20, 20});
}

// A green direction board with an arrow and two destinations.
void picture_direction_board(canvas &c)
{
    c.fill({20, 110, 60});
    fill_rect(c, 6, 6, 250, 250, {245, 245, 245});
    fill_rect(c, 12, 12, 244, 244, {20, 110, 60});
    draw_text(c, 24, 40, "EXIT 7", 5, {255, 255, 255});
    draw_text(c, 24, 120, "DOCKS 12", 3, {255, 255, 255});
    draw_text(c, 24, 160, "HILLS 30", 3, {255, 230, 120});
    // The arrow is not convex: shaft and head separately.
    const float shaft[4][2] = {{140, 205}, {205, 205}, {205, 225}, {140, 225}};
    const float head[3][2] = {{200, 190}, {238, 215}, {200, 240}};
    fill_convex(c, shaft, 4, {255, 255, 255});
    fill_convex(c, head, 3, {255, 255, 255});
}

// A diagonal rainbow, darker towards the bottom.
void picture_rainbow(canvas &c)
{
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++)
            c.set(x, y, hsv((float)(x + y) * 300.0f / 510.0f, 0.9f, 1.0f - 0.6f * (float)y / 255.0f));
}

// A colour wheel: hue by angle, saturation by radius, with a grey ramp along the bottom.
void picture_colour_wheel(canvas &c)
{
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            float dx = (float)x - 128, dy = (float)y - 120;
            float r = sqrtf(dx * dx + dy * dy) / 110.0f;
            float angle = atan2f(dy, dx) * 180.0f / 3.14159265f;
            if (r <= 1) c.set(x, y, hsv(angle, r, 1.0f));
            else c.set(x, y, {30, 30, 40});
        }
    for (int x = 0; x < 256; x++)
        for (int y = 236; y < 256; y++) c.set(x, y, {x, x, x});
}

// A car livery: body colour, two racing stripes, a number roundel, headlights at the front (left).
void picture_livery(canvas &c, int seed, const char *number, rgb body, rgb stripe)
{
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            float gloss = 0.85f + 0.25f * (1 - fabsf((float)y - 80) / 176.0f);
            c.set(x, y, scale(body, gloss + 0.04f * white_noise(x, y, seed)));
        }
    fill_rect(c, 0, 96, 256, 112, stripe);
    fill_rect(c, 0, 120, 256, 128, stripe);
    fill_disc(c, 160, 104, 46, {250, 250, 250});
    draw_text_centred(c, 160, 104 - 21, number, 6, {10, 10, 10});
    fill_disc(c, 18, 40, 12, {255, 250, 200});
    fill_disc(c, 18, 168, 12, {255, 250, 200});
    draw_text(c, 60, 200, "QUARLY", 3, stripe);
    fill_rect(c, 0, 236, 256, 256, {20, 20, 20});   // sill
}

// A chequered flag with a red band and "FINISH" on it.
void picture_checker(canvas &c)
{
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            bool dark = ((x / 32) + (y / 32)) % 2 == 0;
            c.set(x, y, dark ? rgb{15, 15, 15} : rgb{245, 245, 245});
        }
    fill_rect(c, 0, 200, 256, 240, {210, 20, 30});
    draw_text_centred(c, 128, 206, "FINISH", 4, {255, 255, 255});
}

// Foliage: overlapping leaf clumps on the transparent key, a trunk stub at the bottom.
void picture_foliage(canvas &c, int seed)
{
    c.fill({255, 0, 255});
    for (int i = 0; i < 256 * 256; i++) c.clear[i] = true;
    fill_rect(c, 116, 200, 140, 256, {100, 65, 35});
    for (int i = 0; i < 70; i++) {
        float a = white_noise(i, 0, seed) * 6.2832f, d = sqrtf(white_noise(i, 1, seed)) * 90;
        float cx = 128 + cosf(a) * d, cy = 122 + sinf(a) * d * 0.8f;
        float r = 14 + 14 * white_noise(i, 2, seed);
        rgb leaf = mix({20, 80, 25}, {110, 180, 50}, white_noise(i, 3, seed));
        if (cx > 128) leaf = scale(leaf, 0.8f);   // shade on the right
        fill_disc(c, cx, cy, r, leaf);
    }
    // Red berries on the upper left only.
    for (int i = 0; i < 10; i++)
        fill_disc(c, 70 + 40 * white_noise(i, 5, seed), 50 + 50 * white_noise(i, 6, seed), 3, {220, 30, 40});
}

// Brushed metal with rivets around the rim and a stamped plate number.
void picture_metal(canvas &c, int seed)
{
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            float streak = value_noise((float)x * 0.05f, (float)y * 3.0f, 4, seed);
            int v = (int)(140 + 50 * streak + 20 * (float)x / 255.0f);
            c.set(x, y, {v, v + 4, v + 12});
        }
    for (int i = 0; i < 8; i++) {
        float p = 16 + (float)i * 32;
        fill_disc(c, p, 12, 4, {90, 90, 100});
        fill_disc(c, p, 244, 4, {90, 90, 100});
        fill_disc(c, 12, p, 4, {90, 90, 100});
        fill_disc(c, 244, p, 4, {90, 90, 100});
    }
    draw_text_shadowed(c, 40, 100, "NO 5", 6, {60, 60, 70}, {220, 225, 235});
    draw_text(c, 40, 170, "PIT LANE", 3, {150, 30, 30});
}

// A test card: colour bars, a grey ramp, coloured corner marks and a centre circle.
void picture_test_card(canvas &c)
{
    const rgb bars[7] = {{250, 250, 250}, {250, 250, 0}, {0, 250, 250}, {0, 250, 0},
                         {250, 0, 250}, {250, 0, 0}, {0, 0, 250}};
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            if (y < 150) c.set(x, y, bars[x * 7 / 256]);
            else if (y < 180) c.set(x, y, {x, x, x});
            else c.set(x, y, {25, 25, 60});
        }
    fill_disc(c, 128, 90, 40, {0, 0, 0});
    fill_disc(c, 128, 90, 36, {250, 250, 250});
    fill_rect(c, 126, 54, 130, 126, {0, 0, 0});
    fill_rect(c, 92, 88, 164, 92, {0, 0, 0});
    draw_text(c, 4, 196, "TL RED", 2, {255, 60, 60});
    draw_text_centred(c, 128, 224, "TEST CARD", 3, {255, 255, 255});
    fill_rect(c, 0, 0, 12, 12, {255, 0, 0});
    fill_rect(c, 244, 0, 256, 12, {0, 255, 0});
    fill_rect(c, 0, 244, 12, 256, {0, 0, 255});
    fill_rect(c, 244, 244, 256, 256, {255, 255, 0});
}

// Gravel: pebbles in browns and greys.
void picture_gravel(canvas &c, int seed)
{
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) c.set(x, y, mix({70, 55, 40}, {110, 95, 75}, fractal_noise((float)x, (float)y, 16, seed, 3)));
    for (int i = 0; i < 400; i++) {
        float x = 256 * white_noise(i, 0, seed), y = 256 * white_noise(i, 1, seed);
        float r = 2 + 6 * white_noise(i, 2, seed);
        rgb stone = mix({120, 110, 100}, {200, 190, 170}, white_noise(i, 3, seed));
        fill_disc(c, x, y, r, scale(stone, 0.7f));
        fill_disc(c, x - 1, y - 1, r - 1, stone);
    }
}

// Water: blue waves with bright crests, deeper at the bottom.
void picture_water(canvas &c, int seed)
{
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            float wave = sinf((float)x * 0.08f + 4 * value_noise((float)x, (float)y, 32, seed) + (float)y * 0.15f);
            rgb deep = mix({30, 120, 170}, {10, 40, 90}, (float)y / 255.0f);
            c.set(x, y, wave > 0.85f ? mix(deep, {220, 240, 255}, (wave - 0.85f) * 6) : deep);
        }
    fill_regular(c, 60, 70, 18, 3, -90, {250, 250, 250});   // a little sail, top left
    fill_rect(c, 44, 88, 80, 96, {150, 60, 30});
}

// Red and white diagonal stripes with bolts and a label.
void picture_stripes(canvas &c)
{
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) c.set(x, y, ((x + y) / 32) % 2 ? rgb{240, 240, 235} : rgb{210, 25, 30});
    fill_rect(c, 0, 110, 256, 146, {30, 30, 30});
    draw_text_centred(c, 128, 117, "KEEP LEFT <", 3, {255, 255, 255});
    for (int x = 16; x < 256; x += 48) fill_disc(c, (float)x, 20, 4, {120, 120, 120});
}

// A wooden crate face: frame, diagonal brace, stencilled words.
void picture_crate(canvas &c, int seed)
{
    picture_planks(c, seed, {185, 135, 75});
    rgb frame = {140, 95, 45};
    fill_rect(c, 0, 0, 256, 24, frame);
    fill_rect(c, 0, 232, 256, 256, frame);
    fill_rect(c, 0, 0, 24, 256, frame);
    fill_rect(c, 232, 0, 256, 256, frame);
    const float brace[4][2] = {{24, 208}, {208, 24}, {232, 48}, {48, 232}};
    fill_convex(c, brace, 4, frame);
    draw_text_centred(c, 128 + 20, 150, "FRAGILE", 3, {170, 20, 20});
    draw_text(c, 40, 40, "UP", 4, {40, 30, 20});
}

// Sand with wind ripples.
void picture_sand(canvas &c, int seed)
{
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            float ripple = sinf((float)y * 0.35f + 3 * value_noise((float)x, (float)y, 48, seed));
            float grain = white_noise(x, y, seed);
            c.set(x, y, mix({200, 170, 110}, {240, 215, 160}, 0.5f + 0.3f * ripple + 0.2f * (grain - 0.5f)));
        }
    for (int i = 0; i < 5; i++) fill_disc(c, 200 + 8 * (float)i, 210 - 4 * (float)i, 3, {245, 240, 230});  // shells
}

// Concrete with cracks that wander from the top left.
void picture_concrete(canvas &c, int seed)
{
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            float n = fractal_noise((float)x, (float)y, 32, seed, 5);
            int v = (int)(150 + 50 * n + 15 * white_noise(x, y, seed + 1));
            c.set(x, y, {v, v - 2, v - 8});
        }
    for (int crack = 0; crack < 3; crack++) {
        float x = 20 + 30 * (float)crack, y = 10;
        for (int step = 0; step < 300; step++) {
            c.set((int)x, (int)y, {50, 48, 45});
            c.set((int)x + 1, (int)y, {80, 78, 75});
            x += 0.6f + 0.8f * (white_noise(step, crack, seed) - 0.3f);
            y += 0.8f;
        }
    }
}

// A billboard: warm gradient, big lettering, a blue band.
void picture_billboard(canvas &c)
{
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) c.set(x, y, mix({255, 140, 0}, {220, 30, 90}, ((float)x + (float)y * 0.5f) / 384.0f));
    draw_text_shadowed(c, 16, 30, "RACE", 8, {255, 255, 255}, {80, 0, 40});
    draw_text_shadowed(c, 16, 100, "DAY", 8, {255, 240, 0}, {80, 0, 40});
    fill_rect(c, 0, 180, 256, 230, {20, 40, 150});
    draw_text(c, 16, 192, "SUNDAY 3PM", 3, {255, 255, 255});
}

// Plasma: overlapping sine fields mapped to hue.
void picture_plasma(canvas &c)
{
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            float v = sinf((float)x * 0.045f) + sinf((float)y * 0.03f + (float)x * 0.01f) +
                      sinf(sqrtf((float)((x - 200) * (x - 200) + (y - 60) * (y - 60))) * 0.06f);
            c.set(x, y, hsv(v * 60 + 200, 0.8f, 0.95f));
        }
}

// Roof tiles: rows of rounded terracotta tiles, darker at each row's bottom.
void picture_roof(canvas &c, int seed)
{
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            int row = y / 24, shift = (row % 2) * 16;
            float lx = (float)((x + shift) % 32) - 16, ly = (float)(y % 24);
            float curve = 1 - (lx * lx) / 256.0f;
            float shade = 0.6f + 0.4f * curve * (1 - ly / 30.0f) + 0.1f * white_noise((x + shift) / 32, row, seed);
            c.set(x, y, scale({190, 80, 45}, shade));
        }
}

// Cobblestones: nearest-point cells with dark joints.
void picture_cobbles(canvas &c, int seed)
{
    float px[64], py[64];
    for (int i = 0; i < 64; i++) {
        px[i] = 32 * (float)(i % 8) + 8 + 16 * white_noise(i, 0, seed);
        py[i] = 32 * (float)(i / 8) + 8 + 16 * white_noise(i, 1, seed);
    }
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            float best = 1e9f, second = 1e9f;
            int owner = 0;
            for (int i = 0; i < 64; i++) {
                // Wrap around so the page tiles.
                float dx = fabsf((float)x - px[i]), dy = fabsf((float)y - py[i]);
                dx = std::min(dx, 256 - dx);
                dy = std::min(dy, 256 - dy);
                float d = dx * dx + dy * dy;
                if (d < best) { second = best; best = d; owner = i; }
                else if (d < second) second = d;
            }
            float edge = sqrtf(second) - sqrtf(best);
            rgb stone = mix({95, 95, 105}, {165, 160, 150}, white_noise(owner, 5, seed));
            c.set(x, y, edge < 2.5f ? rgb{40, 38, 36} : scale(stone, 0.9f + 0.2f * white_noise(x, y, seed)));
        }
}

// A building front at night: dark blue wall, lit and unlit windows, a sign.
void picture_facade(canvas &c, int seed)
{
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) c.set(x, y, mix({20, 25, 60}, {35, 30, 50}, (float)y / 255.0f));
    for (int row = 0; row < 6; row++)
        for (int col = 0; col < 6; col++) {
            bool lit = white_noise(col, row, seed) > 0.4f;
            rgb glass = lit ? mix({255, 220, 120}, {255, 250, 200}, white_noise(col, row, seed + 1)) : rgb{15, 20, 35};
            fill_rect(c, 14 + col * 40, 40 + row * 34, 40 + col * 40, 62 + row * 34, glass);
        }
    fill_rect(c, 30, 6, 226, 32, {200, 0, 60});
    draw_text_centred(c, 128, 12, "HOTEL", 2, {255, 230, 240});
}

// Every glyph of the font on coloured bands.
void picture_font_sheet(canvas &c)
{
    const char *lines[] = {"ABCDEFG", "HIJKLMN", "OPQRSTU", "VWXYZ", "0123456", "789 -.:", "!/#<>"};
    for (int i = 0; i < 7; i++) {
        int top = 24 + i * 33;
        fill_rect(c, 0, top, 256, top + 33, hsv((float)i * 50, 0.5f, 0.35f));
        draw_text(c, 8, top + 3, lines[i], 4, hsv((float)i * 50 + 180, 0.3f, 1.0f));
    }
    fill_rect(c, 0, 0, 256, 24, {250, 250, 250});
    draw_text(c, 120, 6, "5X7 FONT", 2, {200, 0, 0});
}

// Sunset: orange to purple sky, a sun on the horizon, dark hills on the right.
void picture_sunset(canvas &c, int seed)
{
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            float t = (float)y / 180.0f;
            rgb sky = t < 1 ? mix({60, 20, 90}, {255, 150, 40}, t) : rgb{255, 150, 40};
            c.set(x, y, sky);
        }
    fill_disc(c, 90, 180, 40, {255, 230, 120});
    for (int x = 0; x < 256; x++) {
        float hill = 170 + 40 * value_noise((float)x, 0, 60, seed) - (float)x * 0.15f;
        for (int y = (int)hill; y < 256; y++) c.set(x, y, {30, 15, 35});
    }
    for (int y = 200; y < 256; y++)
        for (int x = 0; x < 256; x++) if ((x * 7 + y * 3) % 50 == 0) c.set(x, y, {255, 200, 90});  // town lights
}

// A speed-limit style sign: white disc, red ring, big number.
void picture_speed_sign(canvas &c, int seed, const char *number)
{
    picture_round_sign(c, seed, number, "", {210, 20, 30}, 9);
}

// ---- 5. the demo's pages ------------------------------------------------------

enum { CAR_NONE = 0xFFFF };

// One page of the demo: even indices paletted, odd ones 15-bit.
struct demo_page {
    const char *what;
    uint16_t car;          // upper 16 bits of the flags
};

const demo_page DEMO_PAGES[DEMO_PAGE_COUNT] = {
    {"bricks", CAR_NONE},       {"asphalt", CAR_NONE},     {"slow sign", CAR_NONE},   {"rainbow", CAR_NONE},
    {"grass", CAR_NONE},        {"halt sign", CAR_NONE},   {"planks", CAR_NONE},      {"livery 07", DEMO_CAR_INDEX},
    {"finish flag", CAR_NONE},  {"foliage", CAR_NONE},     {"sky", CAR_NONE},         {"metal", CAR_NONE},
    {"test card", CAR_NONE},    {"exit board", CAR_NONE},  {"gravel", CAR_NONE},      {"warning sign", CAR_NONE},
    {"water", CAR_NONE},        {"yellow bricks", CAR_NONE}, {"stripes", CAR_NONE},   {"colour wheel", CAR_NONE},
    {"crate", CAR_NONE},        {"livery 12", 5},          {"sand", CAR_NONE},        {"concrete", CAR_NONE},
    {"billboard", CAR_NONE},    {"plasma", CAR_NONE},      {"roof", CAR_NONE},        {"cobbles", CAR_NONE},
    {"speed sign", CAR_NONE},   {"facade", CAR_NONE},      {"font sheet", CAR_NONE},  {"sunset", CAR_NONE},
};

void draw_demo_picture(canvas &c, int page)
{
    int seed = 1000 + page * 37;
    switch (page) {
    case 0: picture_bricks(c, seed, {170, 60, 40}, {190, 185, 170}); break;
    case 1: picture_asphalt(c, seed); break;
    case 2: picture_round_sign(c, seed, "SLOW", "DOWN", {210, 20, 30}, 4); break;
    case 3: picture_rainbow(c); break;
    case 4: picture_grass(c, seed); break;
    case 5: picture_octagon_sign(c, "HALT"); break;
    case 6: picture_planks(c, seed, {160, 110, 60}); break;
    case 7: picture_livery(c, seed, "07", {230, 200, 20}, {20, 20, 20}); break;
    case 8: picture_checker(c); break;
    case 9: picture_foliage(c, seed); break;
    case 10: picture_sky(c, seed); break;
    case 11: picture_metal(c, seed); break;
    case 12: picture_test_card(c); break;
    case 13: picture_direction_board(c); break;
    case 14: picture_gravel(c, seed); break;
    case 15: picture_diamond_sign(c); break;
    case 16: picture_water(c, seed); break;
    case 17: picture_bricks(c, seed, {215, 185, 90}, {80, 80, 85}); break;
    case 18: picture_stripes(c); break;
    case 19: picture_colour_wheel(c); break;
    case 20: picture_crate(c, seed); break;
    case 21: picture_livery(c, seed, "12", {30, 70, 200}, {250, 250, 250}); break;
    case 22: picture_sand(c, seed); break;
    case 23: picture_concrete(c, seed); break;
    case 24: picture_billboard(c); break;
    case 25: picture_plasma(c); break;
    case 26: picture_roof(c, seed); break;
    case 27: picture_cobbles(c, seed); break;
    case 28: picture_speed_sign(c, seed, "50"); break;
    case 29: picture_facade(c, seed); break;
    case 30: picture_font_sheet(c); break;
    default: picture_sunset(c, seed); break;
    }
    draw_page_label(c, page);
}

// Reduces a picture to at most 256 colours by median cut: the box with the
// widest channel range is split at its median until there are 256 boxes or
// none can be split; each box's mean colour is one palette entry.
void median_cut(const canvas &c, builder_page &page, builder_palette &palette)
{
    std::vector<int> order(65536);
    for (int i = 0; i < 65536; i++) order[i] = i;
    struct box {
        int begin, end;
        int channel, range;
    };
    auto measure = [&](box &b) {
        int lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
        for (int i = b.begin; i < b.end; i++)
            for (int k = 0; k < 3; k++) {
                int v = c.px[order[i] * 3 + k];
                lo[k] = std::min(lo[k], v);
                hi[k] = std::max(hi[k], v);
            }
        b.channel = 0;
        b.range = -1;
        for (int k = 0; k < 3; k++)
            if (hi[k] - lo[k] > b.range) {
                b.range = hi[k] - lo[k];
                b.channel = k;
            }
    };
    std::vector<box> boxes = {{0, 65536, 0, 0}};
    measure(boxes[0]);
    while (boxes.size() < 256) {
        int pick = -1;
        for (size_t i = 0; i < boxes.size(); i++)
            if (boxes[i].range > 0 && boxes[i].end - boxes[i].begin > 1 &&
                (pick < 0 || boxes[i].range > boxes[pick].range))
                pick = (int)i;
        if (pick < 0) break;
        box &b = boxes[pick];
        int channel = b.channel, mid = (b.begin + b.end) / 2;
        std::nth_element(order.begin() + b.begin, order.begin() + mid, order.begin() + b.end,
                         [&](int l, int r) { return c.px[l * 3 + channel] < c.px[r * 3 + channel]; });
        box upper = {mid, b.end, 0, 0};
        b.end = mid;
        measure(b);
        measure(upper);
        boxes.push_back(upper);
    }
    page.flags = PAGE_FLAG_PALETTED;
    page.indices.assign(65536, 0);
    for (int i = 0; i < 256; i++) palette.entries[i] = {0, 0, 0, 0};
    for (size_t k = 0; k < boxes.size(); k++) {
        long sum[3] = {0, 0, 0};
        for (int i = boxes[k].begin; i < boxes[k].end; i++) {
            for (int ch = 0; ch < 3; ch++) sum[ch] += c.px[order[i] * 3 + ch];
            page.indices[order[i]] = (unsigned char)k;
        }
        long n = boxes[k].end - boxes[k].begin;
        for (int ch = 0; ch < 3; ch++) palette.entries[k][ch] = (unsigned char)((sum[ch] + n / 2) / n);
        palette.entries[k][3] = 0;
    }
}

uint16_t to_rgb15(const unsigned char *p)
{
    return (uint16_t)((p[0] >> 3) << 10 | (p[1] >> 3) << 5 | (p[2] >> 3));
}

builder_page to_rgb15_page(const canvas &c, bool transparent)
{
    builder_page page;
    page.flags = transparent ? PAGE_FLAG_TRANSPARENT : 0;
    page.pixels.resize(65536);
    for (int i = 0; i < 65536; i++)
        page.pixels[i] = (transparent && c.clear[i]) ? (uint16_t)0x8421 : to_rgb15(c.px + i * 3);
    return page;
}

// The palette ids of each paletted page's list, slot 0 first (-1 ends a
// list); page 16 has a palette but no list.
const int16_t PAGE_PALETTE_IDS[DEMO_PALETTED_PAGE_COUNT][3] = {
    {12, 7, 301}, {3, -1, -1}, {5, -1, -1}, {9, -1, -1},   {14, -1, -1}, {40, 41, -1}, {22, -1, -1}, {23, -1, -1},
    {60, -1, -1}, {100, -1, -1}, {101, -1, -1}, {130, -1, -1}, {2, -1, -1}, {77, -1, -1}, {150, -1, -1}, {255, -1, -1},
};
// A palette that no page's list names.
const int16_t ORPHAN_PALETTE_ID = 200;

// The other palettes of a page with several: the same indices in other light.
builder_palette palette_variant(const builder_palette &base, int16_t id, int variant)
{
    builder_palette p = base;
    p.id = id;
    for (int i = 0; i < 256; i++) {
        int r = base.entries[i][0], g = base.entries[i][1], b = base.entries[i][2];
        switch (variant) {
        case 0:   // night: dark and blue
            r = r * 35 / 100; g = g * 40 / 100; b = b * 55 / 100 + 50; break;
        case 1:   // moss: green bricks
            { int t = r; r = g * 7 / 10; g = t; b = b * 6 / 10; } break;
        default:  // dusk: warm and low
            r = r * 9 / 10 + 60; g = g * 7 / 10; b = b * 5 / 10; break;
        }
        p.entries[i][0] = (unsigned char)clamp255(r);
        p.entries[i][1] = (unsigned char)clamp255(g);
        p.entries[i][2] = (unsigned char)clamp255(b);
        // The extra byte is carried but never read; give it a pattern so a
        // writer that drops it shows.
        p.entries[i][3] = (unsigned char)(i * 3 + variant);
    }
    return p;
}

struct demo_textures {
    std::vector<builder_palette> palettes;
    std::vector<builder_page> pages;
    std::vector<builder_palette_list> lists;
};

demo_textures make_demo_textures()
{
    demo_textures t;
    for (int page = 0; page < DEMO_PAGE_COUNT; page++) {
        canvas *c = new canvas();
        draw_demo_picture(*c, page);
        uint32_t car = (uint32_t)DEMO_PAGES[page].car << 16;
        if (page % 2 == 0) {
            const int16_t *ids = PAGE_PALETTE_IDS[page / 2];
            builder_page out;
            builder_palette palette;
            palette.id = ids[0];
            median_cut(*c, out, palette);
            out.flags |= car;
            t.pages.push_back(out);
            t.palettes.push_back(palette);
            builder_palette_list list = {page, {ids[0]}};
            for (int slot = 1; slot < 3 && ids[slot] >= 0; slot++) {
                int variant = page == DEMO_TWO_PALETTE_PAGE ? 2 : slot - 1;
                t.palettes.push_back(palette_variant(palette, ids[slot], variant));
                list.palette_ids.push_back(ids[slot]);
            }
            if (page != DEMO_UNLISTED_PAGE) t.lists.push_back(list);
        } else {
            bool transparent = page == DEMO_TRANSPARENT_PAGE || page == 15;
            builder_page out = to_rgb15_page(*c, transparent);
            out.flags |= car;
            t.pages.push_back(out);
        }
        delete c;
    }
    builder_palette orphan = palette_variant(t.palettes[0], ORPHAN_PALETTE_ID, 0);
    t.palettes.push_back(orphan);
    // The palette-list file need not follow page order: the three-palette
    // page's entry comes last.
    std::rotate(t.lists.begin(), t.lists.begin() + 1, t.lists.end());
    return t;
}

// ---- 6. model shapes ---------------------------------------------------------
//
// Shapes are described in view space (x right, y up, z towards the viewer,
// in centimetres; the 3D view stands a thousand units back).
// The file keeps x and y negated, so every vertex and normal is written with
// those two signs flipped. Quads list their corners top-left, top-right,
// bottom-right, bottom-left as seen from outside.

enum {
    FLAT_TRI = 0, FLAT_QUAD = 1, TEX_TRI = 4, TEX_QUAD = 5, TEX_TRI_COLOURS = 6, TEX_QUAD_COLOURS = 7,
    FLAT_TRI_NORMAL = 16, FLAT_QUAD_NORMAL = 17, FLAT_TRI_NORMALS = 18, FLAT_QUAD_NORMALS = 19,
    TEX_TRI_NORMAL = 20, TEX_QUAD_NORMAL = 21, TEX_TRI_NORMALS = 22, TEX_QUAD_NORMALS = 23,
    TYPE_VARIANT = 32,   // the same layout with bit 5 set
};

const rgb WHITE = {255, 255, 255};

// Shapes are drawn in centimetres and stored twice as large, so that they
// fill a good part of the 3D view at its starting distance.
const float SHAPE_SCALE = 2.0f;

struct shape {
    builder_model m;

    int vertex(float x, float y, float z)
    {
        m.vertices.push_back({-x * SHAPE_SCALE, -y * SHAPE_SCALE, z * SHAPE_SCALE});
        return (int)m.vertices.size() - 1;
    }
    int normal(float x, float y, float z)
    {
        m.normals.push_back({-x, -y, z});
        return (int)m.normals.size() - 1;
    }
    void use_page(int page)
    {
        for (unsigned char p : m.textures_used)
            if (p == page) return;
        m.textures_used.push_back((unsigned char)page);
    }
};

bool textured_type(int type)
{
    int t = type & ~TYPE_VARIANT;
    return (t >= TEX_TRI && t <= TEX_QUAD_COLOURS) || (t >= TEX_TRI_NORMAL && t <= TEX_QUAD_NORMALS);
}

// One polygon of n corners. `uv` (n pairs), `colours` (1 or n) and
// `normals` (1 or n) may be null where the type has no use for them.
void add_polygon(shape &s, int type, const int *corners, int n, int page, const int (*uv)[2], const rgb *colours,
                 int colour_count, const int *normals, int normal_count)
{
    builder_polygon p;
    p.type = type;
    for (int k = 0; k < n; k++) p.corners[k] = corners[k];
    if (textured_type(type)) {
        p.texture = page;
        s.use_page(page);
    }
    if (uv)
        for (int k = 0; k < n; k++) {
            p.uv[k][0] = (unsigned char)uv[k][0];
            p.uv[k][1] = (unsigned char)uv[k][1];
        }
    for (int k = 0; k < n; k++) {
        rgb c = colours ? colours[k < colour_count ? k : 0] : WHITE;
        p.colour[k][0] = (unsigned char)clamp255(c.r);
        p.colour[k][1] = (unsigned char)clamp255(c.g);
        p.colour[k][2] = (unsigned char)clamp255(c.b);
    }
    if (normals)
        for (int k = 0; k < n; k++) p.normals[k] = normals[k < normal_count ? k : 0];
    s.m.polygons.push_back(p);
}

struct uv_rect {
    int coords[4][2];
};

// Texture coordinates of the page rectangle (u0, v0)-(u1, v1) for corners in
// top-left, top-right, bottom-right, bottom-left order.
uv_rect rect_uv(int u0, int v0, int u1, int v1) { return {{{u0, v0}, {u1, v0}, {u1, v1}, {u0, v1}}}; }

void flat_quad(shape &s, int type, const int q[4], rgb colour, int normal = 0)
{
    int normals[4] = {normal, normal, normal, normal};
    add_polygon(s, type, q, 4, 0, nullptr, &colour, 1, normals, 4);
}

void textured_quad(shape &s, int type, const int q[4], int page, uv_rect uv, int normal = 0,
                   const rgb *colours = nullptr, int colour_count = 0)
{
    int normals[4] = {normal, normal, normal, normal};
    add_polygon(s, type, q, 4, page, uv.coords, colours ? colours : &WHITE, colours ? colour_count : 1, normals, 4);
}

enum { FACE_FRONT, FACE_BACK, FACE_LEFT, FACE_RIGHT, FACE_TOP, FACE_BOTTOM };

struct box_faces {
    int face[6][4];
    int normal[6];     // -1 when the box was made without normals
};

// An axis-aligned box: 8 vertices, optionally 6 face normals.
box_faces add_box(shape &s, float x0, float y0, float z0, float x1, float y1, float z1, bool normals)
{
    int v[2][2][2];
    for (int k = 0; k < 8; k++) {
        int xi = k & 1, yi = (k >> 1) & 1, zi = (k >> 2) & 1;
        v[xi][yi][zi] = s.vertex(xi ? x1 : x0, yi ? y1 : y0, zi ? z1 : z0);
    }
    box_faces b = {{{v[0][1][1], v[1][1][1], v[1][0][1], v[0][0][1]},    // front, z1
                    {v[1][1][0], v[0][1][0], v[0][0][0], v[1][0][0]},    // back, z0
                    {v[0][1][0], v[0][1][1], v[0][0][1], v[0][0][0]},    // left, x0
                    {v[1][1][1], v[1][1][0], v[1][0][0], v[1][0][1]},    // right, x1
                    {v[0][1][0], v[1][1][0], v[1][1][1], v[0][1][1]},    // top, y1
                    {v[0][0][1], v[1][0][1], v[1][0][0], v[0][0][0]}},   // bottom, y0
                   {-1, -1, -1, -1, -1, -1}};
    if (normals) {
        const float n[6][3] = {{0, 0, 1}, {0, 0, -1}, {-1, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
        for (int f = 0; f < 6; f++) b.normal[f] = s.normal(n[f][0], n[f][1], n[f][2]);
    }
    return b;
}

// Model 0: a wooden crate, six textured quads.
builder_model model_crate()
{
    shape s;
    box_faces b = add_box(s, -80, 0, -80, 80, 160, 80, false);
    for (int f = 0; f < 6; f++) textured_quad(s, TEX_QUAD, b.face[f], 20, rect_uv(0, 0, 255, 255));
    s.m.radius = 140 * SHAPE_SCALE;
    return s.m;
}

// Model 1: the crate's vertices with a striped skin; it has no vertices of its own.
builder_model model_striped_crate(const builder_model &crate)
{
    shape s;
    s.m.instance_of = 0;
    for (builder_polygon p : crate.polygons) {
        p.type = TEX_QUAD | TYPE_VARIANT;
        p.texture = 18;
        s.m.polygons.push_back(p);
    }
    s.use_page(18);
    s.m.radius = crate.radius;
    return s.m;
}

// Model 2: a box car: livery body, glazed cabin, four dark wheels.
builder_model model_box_car()
{
    shape s;
    box_faces body = add_box(s, -200, 30, -90, 200, 130, 90, true);
    // Sides show the whole livery; the front shows its headlight strip, the
    // back and top a plain part of the body colour.
    const uv_rect side = rect_uv(0, 20, 255, 200);
    const uv_rect front = rect_uv(0, 10, 36, 200);
    const uv_rect plain = rect_uv(60, 150, 120, 190);
    for (int f = 0; f < 6; f++) {
        uv_rect uv = (f == FACE_FRONT || f == FACE_BACK) ? side : f == FACE_LEFT ? front : plain;
        int normals[4] = {body.normal[f], body.normal[f], body.normal[f], body.normal[f]};
        add_polygon(s, TEX_QUAD_NORMALS | TYPE_VARIANT, body.face[f], 4, DEMO_CAR_PAGE, uv.coords, &WHITE, 1, normals, 4);
    }
    box_faces cabin = add_box(s, -90, 130, -75, 70, 200, 75, false);
    const rgb glass[4] = {WHITE, {150, 190, 255}, {120, 160, 230}, {170, 210, 255}};
    for (int f = 0; f < 5; f++)
        textured_quad(s, TEX_QUAD_COLOURS, cabin.face[f], 11, rect_uv(40, 40, 216, 216), 0, glass, 4);
    for (int w = 0; w < 4; w++) {
        float x = w < 2 ? -130 : 130, z = (w % 2) ? 70 : -95;
        box_faces wheel = add_box(s, x - 35, 0, z, x + 35, 70, z + 25, false);
        for (int f = 0; f < 6; f++) flat_quad(s, FLAT_QUAD, wheel.face[f], f == FACE_FRONT ? rgb{60, 60, 60} : rgb{30, 30, 30});
    }
    s.m.draw_flags = MODEL_DRAW_SHADOW;
    s.m.radius = 260 * SHAPE_SCALE;
    // Two extra records of carried-but-unread data.
    s.m.has_extra_table = true;
    std::array<unsigned char, 20> extra{};
    for (int i = 0; i < 20; i++) extra[i] = (unsigned char)(i * 11 + 3);
    s.m.extra_records.push_back(extra);
    extra[0] = 0xEE;
    s.m.extra_records.push_back(extra);
    return s.m;
}

// Model 3: a road sign: grey post, the SLOW sign on the front, grey back.
builder_model model_road_sign()
{
    shape s;
    box_faces post = add_box(s, -6, 0, -6, 6, 180, 6, true);
    for (int f : {FACE_BACK, FACE_LEFT, FACE_RIGHT, FACE_TOP, FACE_FRONT})
        flat_quad(s, FLAT_QUAD_NORMAL, post.face[f], {150, 150, 160}, post.normal[f]);
    int front_normal = s.normal(0, 0, 1), back_normal = s.normal(0, 0, -1);
    int board[4] = {s.vertex(-60, 270, 7), s.vertex(60, 270, 7), s.vertex(60, 150, 7), s.vertex(-60, 150, 7)};
    textured_quad(s, TEX_QUAD_NORMAL, board, 2, rect_uv(28, 28, 228, 228), front_normal);
    int back[4] = {s.vertex(60, 270, 6), s.vertex(-60, 270, 6), s.vertex(-60, 150, 6), s.vertex(60, 150, 6)};
    int back_normals[4] = {back_normal, back_normal, back_normal, back_normal};
    const rgb grey = {120, 120, 130};
    add_polygon(s, FLAT_QUAD_NORMALS, back, 4, 0, nullptr, &grey, 1, back_normals, 4);
    s.m.object_flags = MODEL_OBJECT_KNOCK_OVER;
    s.m.radius = 170 * SHAPE_SCALE;
    return s.m;
}

// Model 4: a tree: a square trunk of triangles, two crossed foliage cards.
builder_model model_tree()
{
    shape s;
    const float t = 12;
    int bottom[4] = {s.vertex(-t, 0, t), s.vertex(t, 0, t), s.vertex(t, 0, -t), s.vertex(-t, 0, -t)};
    int top[4] = {s.vertex(-t, 130, t), s.vertex(t, 130, t), s.vertex(t, 130, -t), s.vertex(-t, 130, -t)};
    int corner_normals[4] = {s.normal(-0.7f, 0, 0.7f), s.normal(0.7f, 0, 0.7f), s.normal(0.7f, 0, -0.7f),
                             s.normal(-0.7f, 0, -0.7f)};
    const rgb bark = {110, 70, 40};
    for (int side = 0; side < 4; side++) {
        int a = side, b = (side + 1) % 4;
        int tri1[3] = {top[a], top[b], bottom[b]}, tri2[3] = {top[a], bottom[b], bottom[a]};
        int n1[3] = {corner_normals[a], corner_normals[b], corner_normals[b]};
        int n2[3] = {corner_normals[a], corner_normals[b], corner_normals[a]};
        add_polygon(s, FLAT_TRI_NORMALS, tri1, 3, 0, nullptr, &bark, 1, n1, 3);
        add_polygon(s, FLAT_TRI_NORMALS | (side % 2 ? TYPE_VARIANT : 0), tri2, 3, 0, nullptr, &bark, 1, n2, 3);
    }
    const rgb tint[4] = {WHITE, {200, 255, 200}, {170, 230, 170}, {220, 255, 210}};
    int card_a[4] = {s.vertex(-110, 300, 0), s.vertex(110, 300, 0), s.vertex(110, 60, 0), s.vertex(-110, 60, 0)};
    int card_b[4] = {s.vertex(0, 300, -110), s.vertex(0, 300, 110), s.vertex(0, 60, 110), s.vertex(0, 60, -110)};
    // The cards leave out the page's label strip at the top.
    textured_quad(s, TEX_QUAD_COLOURS, card_a, DEMO_TRANSPARENT_PAGE, rect_uv(0, 24, 255, 255), 0, tint, 4);
    textured_quad(s, TEX_QUAD_COLOURS | TYPE_VARIANT, card_b, DEMO_TRANSPARENT_PAGE, rect_uv(0, 24, 255, 255), 0, tint, 4);
    s.m.draw_flags = MODEL_DRAW_TRANSPARENT_TEX | MODEL_DRAW_SHADOW;
    s.m.radius = 210 * SHAPE_SCALE;
    return s.m;
}

// Model 5: a traffic cone: eight orange sides with one normal each on a black base.
builder_model model_cone()
{
    shape s;
    int apex = s.vertex(0, 160, 0);
    int ring[8];
    for (int i = 0; i < 8; i++) {
        float a = (float)i * 0.785398f;
        ring[i] = s.vertex(55 * cosf(a), 8, 55 * sinf(a));
    }
    for (int i = 0; i < 8; i++) {
        float a = ((float)i + 0.5f) * 0.785398f;
        int n = s.normal(0.94f * cosf(a), 0.34f, 0.94f * sinf(a));
        int tri[3] = {apex, ring[(i + 1) % 8], ring[i]};
        rgb colour = i % 2 ? rgb{255, 120, 20} : rgb{240, 100, 10};
        add_polygon(s, FLAT_TRI_NORMAL, tri, 3, 0, nullptr, &colour, 1, &n, 1);
    }
    box_faces base = add_box(s, -75, 0, -75, 75, 8, 75, false);
    for (int f = 0; f < 6; f++) flat_quad(s, FLAT_QUAD | TYPE_VARIANT, base.face[f], {25, 25, 25});
    s.m.object_flags = MODEL_OBJECT_KNOCK_OVER;
    s.m.radius = 110 * SHAPE_SCALE;
    return s.m;
}

// Model 6: a ramp: asphalt slope, concrete triangular sides, grey back and bottom.
builder_model model_ramp()
{
    shape s;
    int a = s.vertex(-100, 0, 150), b = s.vertex(100, 0, 150), c = s.vertex(100, 0, -150), d = s.vertex(-100, 0, -150);
    int e = s.vertex(-100, 100, -150), f = s.vertex(100, 100, -150);
    int slope[4] = {e, f, b, a};
    textured_quad(s, TEX_QUAD, slope, 1, rect_uv(0, 0, 255, 255));
    int left[3] = {e, a, d};
    const int left_uv[3][2] = {{0, 0}, {255, 255}, {0, 255}};
    add_polygon(s, TEX_TRI, left, 3, 23, left_uv, &WHITE, 1, nullptr, 0);
    int right[3] = {f, c, b};
    const int right_uv[3][2] = {{255, 0}, {255, 255}, {0, 255}};
    add_polygon(s, TEX_TRI | TYPE_VARIANT, right, 3, 23, right_uv, &WHITE, 1, nullptr, 0);
    int back[4] = {f, e, d, c};
    flat_quad(s, FLAT_QUAD, back, {130, 130, 125});
    int under[4] = {a, b, c, d};
    flat_quad(s, FLAT_QUAD, under, {60, 60, 60});
    s.m.radius = 200 * SHAPE_SCALE;
    return s.m;
}

// Model 7: a crash barrier: a long triangular prism in red and white stripes.
builder_model model_barrier()
{
    shape s;
    int lb = s.vertex(-150, 0, 40), lf = s.vertex(-150, 0, -40), lt = s.vertex(-150, 80, 0);
    int rb = s.vertex(150, 0, 40), rf = s.vertex(150, 0, -40), rt = s.vertex(150, 80, 0);
    int n_front = s.normal(0, 0.45f, 0.9f), n_back = s.normal(0, 0.45f, -0.9f);
    int n_left = s.normal(-1, 0, 0), n_right = s.normal(1, 0, 0), n_down = s.normal(0, -1, 0);
    int front[4] = {lt, rt, rb, lb};
    textured_quad(s, TEX_QUAD_NORMAL, front, 18, rect_uv(0, 96, 255, 160), n_front);
    int back[4] = {rt, lt, lf, rf};
    textured_quad(s, TEX_QUAD_NORMAL | TYPE_VARIANT, back, 18, rect_uv(0, 0, 255, 64), n_back);
    int left_end[3] = {lt, lb, lf};
    const int end_uv[3][2] = {{32, 0}, {64, 40}, {0, 40}};
    add_polygon(s, TEX_TRI_NORMAL, left_end, 3, 18, end_uv, &WHITE, 1, &n_left, 1);
    int right_end[3] = {rt, rf, rb};
    add_polygon(s, TEX_TRI_NORMAL | TYPE_VARIANT, right_end, 3, 18, end_uv, &WHITE, 1, &n_right, 1);
    int bottom[4] = {lb, rb, rf, lf};
    flat_quad(s, FLAT_QUAD_NORMAL | TYPE_VARIANT, bottom, {40, 40, 40}, n_down);
    s.m.radius = 170 * SHAPE_SCALE;
    return s.m;
}

// Model 8: a house: yellow brick walls, tiled roof, brick gables.
builder_model model_house()
{
    shape s;
    box_faces walls = add_box(s, -120, 0, -100, 120, 140, 100, true);
    for (int f : {FACE_FRONT, FACE_BACK, FACE_LEFT, FACE_RIGHT}) {
        int normals[4] = {walls.normal[f], walls.normal[f], walls.normal[f], walls.normal[f]};
        const uv_rect uv = rect_uv(0, 40, 255, 200);
        add_polygon(s, TEX_QUAD_NORMALS, walls.face[f], 4, 17, uv.coords, &WHITE, 1, normals, 4);
    }
    int g1 = s.vertex(-130, 220, 0), g2 = s.vertex(130, 220, 0);
    int r1 = s.vertex(-130, 135, 110), r2 = s.vertex(130, 135, 110), r3 = s.vertex(130, 135, -110),
        r4 = s.vertex(-130, 135, -110);
    int n_front_roof = s.normal(0, 0.79f, 0.61f), n_back_roof = s.normal(0, 0.79f, -0.61f);
    int roof_front[4] = {g1, g2, r2, r1};
    textured_quad(s, TEX_QUAD_NORMAL | TYPE_VARIANT, roof_front, 26, rect_uv(0, 0, 255, 255), n_front_roof);
    int roof_back[4] = {g2, g1, r4, r3};
    textured_quad(s, TEX_QUAD_NORMAL, roof_back, 26, rect_uv(0, 0, 255, 255), n_back_roof);
    int n_left = walls.normal[FACE_LEFT], n_right = walls.normal[FACE_RIGHT];
    int gl[3] = {s.vertex(-120, 215, 0), s.vertex(-120, 140, -100), s.vertex(-120, 140, 100)};
    int gr[3] = {s.vertex(120, 215, 0), s.vertex(120, 140, 100), s.vertex(120, 140, -100)};
    const int gable_uv[3][2] = {{128, 0}, {0, 96}, {255, 96}};
    int nl[3] = {n_left, n_left, n_left}, nr[3] = {n_right, n_right, n_right};
    add_polygon(s, TEX_TRI_NORMALS, gl, 3, 17, gable_uv, &WHITE, 1, nl, 3);
    add_polygon(s, TEX_TRI_NORMALS | TYPE_VARIANT, gr, 3, 17, gable_uv, &WHITE, 1, nr, 3);
    s.m.object_flags = MODEL_OBJECT_INSIDE;
    s.m.radius = 250 * SHAPE_SCALE;
    return s.m;
}

// Model 9: a billboard on two posts.
builder_model model_billboard()
{
    shape s;
    int board[4] = {s.vertex(-200, 330, 0), s.vertex(200, 330, 0), s.vertex(200, 120, 0), s.vertex(-200, 120, 0)};
    const rgb light[4] = {WHITE, {255, 230, 200}, {230, 230, 255}, {255, 255, 255}};
    textured_quad(s, TEX_QUAD_COLOURS | TYPE_VARIANT, board, 24, rect_uv(0, 0, 255, 255), 0, light, 4);
    int back[4] = {s.vertex(200, 330, -4), s.vertex(-200, 330, -4), s.vertex(-200, 120, -4), s.vertex(200, 120, -4)};
    flat_quad(s, FLAT_QUAD, back, {90, 90, 95});
    for (float x : {-150.0f, 150.0f}) {
        box_faces post = add_box(s, x - 8, 0, -12, x + 8, 120, -4, true);
        for (int f = 0; f < 6; f++) flat_quad(s, FLAT_QUAD_NORMAL | TYPE_VARIANT, post.face[f], {110, 80, 50}, post.normal[f]);
    }
    s.m.draw_flags = MODEL_DRAW_SHADOW;
    s.m.radius = 330 * SHAPE_SCALE;
    return s.m;
}

// Model 10: a chequered checkpoint pyramid that always faces the camera.
builder_model model_marker()
{
    shape s;
    int apex = s.vertex(0, 200, 0);
    int base[4] = {s.vertex(-80, 0, 80), s.vertex(80, 0, 80), s.vertex(80, 0, -80), s.vertex(-80, 0, -80)};
    const rgb corner_colours[3] = {WHITE, {255, 90, 90}, {90, 90, 255}};
    const int uv[3][2] = {{128, 0}, {255, 192}, {0, 192}};
    for (int side = 0; side < 4; side++) {
        int tri[3] = {apex, base[side], base[(side + 1) % 4]};
        add_polygon(s, TEX_TRI_COLOURS | (side == 3 ? TYPE_VARIANT : 0), tri, 3, 8, uv, corner_colours, 3, nullptr, 0);
    }
    const rgb red = {200, 30, 30};
    int t1[3] = {base[0], base[2], base[1]}, t2[3] = {base[0], base[3], base[2]};
    add_polygon(s, FLAT_TRI, t1, 3, 0, nullptr, &red, 1, nullptr, 0);
    add_polygon(s, FLAT_TRI | TYPE_VARIANT, t2, 3, 0, nullptr, &red, 1, nullptr, 0);
    s.m.draw_flags = MODEL_DRAW_FACES_CAMERA;
    s.m.radius = 150 * SHAPE_SCALE;
    return s.m;
}

// Model 11: a street lamp: pole and arm of smooth-shaded quads, a yellow lamp head.
builder_model model_lamp_post()
{
    shape s;
    box_faces pole = add_box(s, -8, 0, -8, 8, 300, 8, true);
    box_faces arm = add_box(s, 8, 288, -5, 110, 300, 5, false);
    const rgb steel = {70, 75, 85};
    for (int f = 0; f < 6; f++) {
        int n = pole.normal[f];
        int normals[4] = {n, n, n, n};
        add_polygon(s, FLAT_QUAD_NORMALS | TYPE_VARIANT, pole.face[f], 4, 0, nullptr, &steel, 1, normals, 4);
        add_polygon(s, FLAT_QUAD_NORMALS, arm.face[f], 4, 0, nullptr, &steel, 1, normals, 4);
    }
    int tip = s.vertex(95, 250, 0);
    int head[4] = {s.vertex(75, 288, -20), s.vertex(115, 288, -20), s.vertex(115, 288, 20), s.vertex(75, 288, 20)};
    const rgb glow = {255, 240, 150};
    int down = s.normal(0, -1, 0);
    for (int i = 0; i < 4; i++) {
        int tri[3] = {tip, head[i], head[(i + 1) % 4]};
        add_polygon(s, FLAT_TRI_NORMAL | TYPE_VARIANT, tri, 3, 0, nullptr, &glow, 1, &down, 1);
    }
    s.m.object_flags = MODEL_OBJECT_KNOCK_OVER;
    s.m.radius = 220 * SHAPE_SCALE;
    return s.m;
}

// Model 12: a swatch board: a tile of nearly every page on one wall, so its
// texture list is long (it wraps in the information panel). The rainbow,
// colour-wheel and plasma pages are left out: no model uses them.
builder_model model_swatch_board()
{
    shape s;
    int front = s.normal(0, 0, 1);
    int column = 0, row = 0;
    for (int page = 0; page < DEMO_PAGE_COUNT; page++) {
        if (page == 3 || page == 19 || page == 25) continue;
        float x = -240 + 80 * (float)column, y = 420 - 80 * (float)row;
        int tile[4] = {s.vertex(x, y, 0), s.vertex(x + 76, y, 0), s.vertex(x + 76, y - 76, 0), s.vertex(x, y - 76, 0)};
        textured_quad(s, TEX_QUAD_NORMAL, tile, page, rect_uv(0, 0, 255, 255), front);
        if (++column == 6) {
            column = 0;
            row++;
        }
    }
    box_faces back = add_box(s, -250, 10, -12, 250, 430, -2, false);
    for (int f = 0; f < 6; f++) flat_quad(s, FLAT_QUAD, back.face[f], {60, 60, 70});
    s.m.radius = 340 * SHAPE_SCALE;
    return s.m;
}

std::vector<builder_model> demo_models()
{
    std::vector<builder_model> models;
    models.push_back(model_crate());
    models.push_back(model_striped_crate(models[0]));
    models.push_back(model_box_car());
    models.push_back(model_road_sign());
    models.push_back(model_tree());
    models.push_back(model_cone());
    models.push_back(model_ramp());
    models.push_back(model_barrier());
    models.push_back(model_house());
    models.push_back(model_billboard());
    models.push_back(model_marker());
    models.push_back(model_lamp_post());
    models.push_back(model_swatch_board());
    return models;
}

const char *const DEMO_MODEL_NAMES[DEMO_MODEL_COUNT] = {
    "crate", "striped_crate", "box_car", "road_sign", "tree", "cone",
    "ramp", "barrier", "house", "billboard", "marker", "lamp_post", "swatch_board",
};

// Event model 0: a finish banner between two poles.
builder_model event_finish_banner()
{
    shape s;
    int banner[4] = {s.vertex(-250, 400, 0), s.vertex(250, 400, 0), s.vertex(250, 300, 0), s.vertex(-250, 300, 0)};
    textured_quad(s, TEX_QUAD, banner, 8, rect_uv(0, 180, 255, 250));
    for (float x : {-260.0f, 250.0f}) {
        box_faces pole = add_box(s, x, 0, -5, x + 10, 400, 5, false);
        for (int f = 0; f < 6; f++) flat_quad(s, FLAT_QUAD, pole.face[f], {220, 220, 220});
    }
    s.m.radius = 330 * SHAPE_SCALE;
    return s.m;
}

// Event model 1: a burst of coloured triangles.
builder_model event_burst()
{
    shape s;
    int centre = s.vertex(0, 150, 0);
    for (int i = 0; i < 8; i++) {
        float a0 = (float)i * 0.785398f, a1 = a0 + 0.3f;
        int tri[3] = {centre, s.vertex(150 * cosf(a0), 150 + 150 * sinf(a0), 0),
                      s.vertex(60 * cosf(a1), 150 + 60 * sinf(a1), 0)};
        rgb colour = hsv((float)i * 45, 1, 1);
        add_polygon(s, FLAT_TRI, tri, 3, 0, nullptr, &colour, 1, nullptr, 0);
    }
    s.m.draw_flags = MODEL_DRAW_FACES_CAMERA;
    s.m.radius = 160 * SHAPE_SCALE;
    return s.m;
}

// Event model 2: the banner's vertices with the billboard as its cloth.
builder_model event_race_day_banner(const builder_model &banner)
{
    shape s;
    s.m.instance_of = 0;
    for (builder_polygon p : banner.polygons) {
        if (textured_type(p.type)) {
            p.texture = 24;
            p.uv[0][0] = 0; p.uv[0][1] = 20; p.uv[1][0] = 255; p.uv[1][1] = 20;
            p.uv[2][0] = 255; p.uv[2][1] = 170; p.uv[3][0] = 0; p.uv[3][1] = 170;
        }
        s.m.polygons.push_back(p);
    }
    s.use_page(24);
    s.m.radius = banner.radius;
    return s.m;
}

std::vector<builder_model> demo_event_models()
{
    std::vector<builder_model> models;
    models.push_back(event_finish_banner());
    models.push_back(event_burst());
    models.push_back(event_race_day_banner(models[0]));
    return models;
}

// ---- 7. world, names and the demo level ------------------------------------

// World coordinates are kept as read; these are whole units times 256.
builder_instance place(int model, int x, int z, int angle)
{
    builder_instance i;
    i.skipped_a = (uint16_t)(0x100 + model);
    i.model = (uint16_t)model;
    i.x = x * 256;
    i.y = 0;
    i.z = z * 256;
    i.angle = (int16_t)angle;
    i.skipped_b = 0xBEEF;
    return i;
}

// The first list lines the road with one of each model; two sections add
// more, each with its skipped lists filled.
void demo_world(std::vector<builder_instance> &instances, std::vector<builder_section> &sections)
{
    for (int m = 0; m < DEMO_MODEL_COUNT; m++) instances.push_back(place(m, 600 * m, (m % 2) ? 400 : -400, m * 512 - 2048));
    builder_section trees;
    trees.pairs = {{1, 2}, {3, 5}, {8, 13}};
    trees.bytes = {'t', 'r', 'e', 'e', 's'};
    for (int k = 0; k < 6; k++) trees.instances.push_back(place(4, 300 * k, 900, k * 700));
    sections.push_back(trees);
    builder_section track;
    track.pairs = {{0xFFFF, 0}};
    for (int k = 0; k < 8; k++) track.instances.push_back(place(k % 2 ? 7 : 5, 200 * k, 0, 1024));
    sections.push_back(track);
}

std::vector<builder_texture_name> demo_texture_names()
{
    return {
        {"BRICK_A", 0, 0, 0, 128, 128},     {"BRICK_B", 0, 128, 0, 127, 128},
        {"SOOT", 0, 176, 40, 24, 200},      {"LOWER", 0, 0, 128, 255, 127},
        {"ASPHALT", 1, 0, 0, 255, 255},     {DEMO_LONG_TEXTURE_NAME, 2, 28, 28, 200, 200},
        {"RAINBOW", 3, 0, 0, 255, 255},     {"GRASS", 4, 0, 0, 255, 255},
        {"HALT", 5, 16, 16, 224, 224},      {"PLANKS", 6, 0, 0, 255, 255},
        {"CAR07", 7, 0, 0, 255, 255},       {"FINISH", 8, 0, 180, 255, 70},
        {"TREE", 9, 0, 0, 255, 255},        {"SKY", 10, 0, 0, 255, 255},
        {"SUN", 10, 170, 26, 60, 60},       {"METAL", 11, 0, 0, 255, 255},
        {"CARD", 12, 0, 0, 255, 255},       {"EXIT7", 13, 0, 0, 255, 255},
        {"GRAVEL", 14, 0, 0, 255, 255},     {"WARNING", 15, 0, 0, 255, 255},
        {"WALL", 17, 0, 0, 255, 255},       {"STRIPES", 18, 0, 0, 255, 255},
        {"CRATE", 20, 0, 0, 255, 255},      {"CAR12", 21, 0, 0, 255, 255},
        {"BILLBRD", 24, 0, 0, 255, 255},    {"ROOF", 26, 0, 0, 255, 255},
        {"SPEED50", 28, 28, 28, 200, 200},  {"FONT", 30, 0, 24, 255, 231},
    };
}

// A block of a kind the editor does not read: skipped by its size.
byte_buffer unknown_block()
{
    byte_buffer b;
    const char *text = "synthetic block the editor skips";
    put_bytes(b, text, strlen(text));
    for (int i = 0; i < 96; i++) put8(b, (unsigned)(i * 5));
    return b;
}

}  // namespace

sample_level make_demo_level()
{
    demo_textures t = make_demo_textures();
    std::vector<builder_instance> instances;
    std::vector<builder_section> sections;
    demo_world(instances, sections);
    std::vector<std::string> names(DEMO_MODEL_NAMES, DEMO_MODEL_NAMES + DEMO_MODEL_COUNT);

    sample_level out;
    out.lev = encode_level({
        {BLOCK_TEXTURES, encode_texture_block(t.palettes, t.pages)},
        {BLOCK_MODELS, encode_model_block(demo_models())},
        {DEMO_UNKNOWN_BLOCK_KIND, unknown_block()},
        {BLOCK_WORLD, encode_world_block(instances, sections, 0x11)},
        {BLOCK_TEXTURE_NAMES, encode_texture_names_block(demo_texture_names())},
        {BLOCK_MODEL_NAMES, encode_model_names_block(names)},
        {BLOCK_EVENT_MODELS, encode_model_block(demo_event_models())},
    });
    out.d3d = encode_palette_lists(t.lists);
    return out;
}

std::vector<unsigned char> demo_page_picture(int page)
{
    canvas *c = new canvas();
    draw_demo_picture(*c, page);
    std::vector<unsigned char> rgb_bytes(c->px, c->px + sizeof c->px);
    delete c;
    return rgb_bytes;
}

// ---- 8. the large benchmark level ------------------------------------------

namespace {

// Writes "P" and the page number over the demo's label plate, straight into
// the page's pixels: palette indices of the nearest dark and light entries
// for a paletted page, 15-bit colours otherwise.
void relabel_page(builder_page &page, const builder_palette *palette, int number)
{
    char label[12];
    snprintf(label, sizeof label, "P%03d", number % 1000);
    canvas *scratch = new canvas();
    canvas &c = *scratch;
    int w = text_width(label, 2);
    fill_rect(c, 2, 2, 2 + w + 6, 22, {1, 1, 1});
    draw_text(c, 5, 5, label, 2, {2, 2, 2});
    int dark = 0, light = 0;
    if (palette) {
        int best_dark = 1 << 30, best_light = -1;
        for (int i = 0; i < 256; i++) {
            int sum = palette->entries[i][0] + palette->entries[i][1] + palette->entries[i][2];
            int yellowness = palette->entries[i][0] + palette->entries[i][1] - 2 * palette->entries[i][2];
            if (sum < best_dark) { best_dark = sum; dark = i; }
            if (yellowness + sum / 4 > best_light) { best_light = yellowness + sum / 4; light = i; }
        }
    }
    for (int y = 0; y < 24; y++)
        for (int x = 0; x < 64; x++) {
            int v = c.px[(y * 256 + x) * 3];
            if (v == 0) continue;
            int i = y * 256 + x;
            if (palette) page.indices[i] = (unsigned char)(v == 2 ? light : dark);
            else page.pixels[i] = v == 2 ? (uint16_t)(31 << 10 | 30 << 5 | 10) : (uint16_t)(1 << 10 | 1 << 5 | 4);
        }
    delete scratch;
}

}  // namespace

sample_level make_big_level(int page_count, int model_count)
{
    if (page_count < 1) page_count = 1;
    if (model_count < 0) model_count = 0;
    demo_textures base = make_demo_textures();
    // The palette slot 0 of each demo paletted page, by page.
    std::vector<const builder_palette *> base_palette(DEMO_PAGE_COUNT, nullptr);
    for (const builder_palette_list &list : base.lists)
        for (const builder_palette &p : base.palettes)
            if (p.id == list.palette_ids[0]) base_palette[list.texture] = &p;
    for (const builder_palette &p : base.palettes)
        if (p.id == PAGE_PALETTE_IDS[DEMO_UNLISTED_PAGE / 2][0]) base_palette[DEMO_UNLISTED_PAGE] = &p;

    std::vector<builder_palette> palettes;
    std::vector<builder_page> pages;
    std::vector<builder_palette_list> lists;
    for (int i = 0; i < page_count; i++) {
        int from = i % DEMO_PAGE_COUNT;
        builder_page page = base.pages[from];
        if (from % 2 == 0) {
            builder_palette palette = *base_palette[from];
            palette.id = (int16_t)(1 + i % 32000);
            relabel_page(page, &palette, i);
            palettes.push_back(palette);
            lists.push_back({i, {palette.id}});
        } else {
            relabel_page(page, nullptr, i);
        }
        pages.push_back(page);
    }

    // Models: the demo's shapes over and over, page references moved along
    // by whole multiples of the demo's page count (keeping each page's
    // format) within the pages a model can name (0-255).
    std::vector<builder_model> shapes = demo_models();
    int reachable = std::min(page_count, 256);
    int rounds = reachable / DEMO_PAGE_COUNT;   // whole copies of the demo's pages a model can name
    std::vector<builder_model> models;
    std::vector<std::string> names;
    std::vector<builder_instance> instances;
    for (int m = 0; m < model_count; m++) {
        int shape_index = m % DEMO_MODEL_COUNT, round = m / DEMO_MODEL_COUNT;
        builder_model model = shapes[shape_index];
        auto move = [&](int page) {
            return rounds > 0 ? page + DEMO_PAGE_COUNT * (round % rounds) : page % reachable;
        };
        for (builder_polygon &p : model.polygons)
            if (textured_type(p.type)) p.texture = move(p.texture);
        for (unsigned char &t : model.textures_used) t = (unsigned char)move(t);
        if (model.instance_of >= 0) model.instance_of = m - shape_index + model.instance_of;
        models.push_back(model);
        char name[32];
        snprintf(name, sizeof name, "%s_%04d", DEMO_MODEL_NAMES[shape_index], m);
        names.push_back(name);
        instances.push_back(place(m, 500 * (m % 40), 500 * (m / 40), (m * 300) % 4096 - 2048));
    }

    std::vector<builder_texture_name> texture_names;
    for (int i = 0; i < reachable; i++) {
        char name[16];
        snprintf(name, sizeof name, "PAGE%d", i);
        texture_names.push_back({name, i, 0, 0, 255, 255});
    }

    sample_level out;
    out.lev = encode_level({
        {BLOCK_TEXTURES, encode_texture_block(palettes, pages)},
        {BLOCK_MODELS, encode_model_block(models)},
        {DEMO_UNKNOWN_BLOCK_KIND, unknown_block()},
        {BLOCK_WORLD, encode_world_block(instances, {})},
        {BLOCK_TEXTURE_NAMES, encode_texture_names_block(texture_names)},
        {BLOCK_MODEL_NAMES, encode_model_names_block(names)},
        {BLOCK_EVENT_MODELS, encode_model_block(demo_event_models())},
    });
    out.d3d = encode_palette_lists(lists);
    return out;
}
