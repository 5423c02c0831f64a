// Writes the grey widget theme: a 64 x 64 24-bit Windows bitmap on the theme grid.
//
// Usage: make_theme OUTPUT.bmp   (the committed file is assets/themes/grey.bmp)
//
// Regions (columns x rows, end exclusive), all drawn here from scratch:
//   0..1  x 0..20   highlighted menu-bar entry, vertical blue gradient
//   2..3  x 0..20   normal menu-bar entry and bar background, grey gradient
//   4..6  x 0..2    frame corner: column 4 / row 0 the outer line, (5, 1) inner
//   4..6  x 3..4    frame edge strip: column 4 outer, column 5 inner
//   7..18 x 0..31   scroll-bar pieces, column 7 along the bar's left (or top) edge:
//                   rows 0..11 first arrow (row 0 outermost), 12 thumb start cap,
//                   14 thumb body, 16 thumb end cap, 18..29 second arrow (row 28
//                   outermost), 30 trough
//   19..20 x 0..11  window title-bar gradient
// Every other texel is a neutral filler the widgets never read.
#include <stdio.h>
#include <string.h>

namespace {

const int SIZE = 64;

struct rgb {
    unsigned char r, g, b;
};

rgb pixels[SIZE][SIZE];   // [row][column], row 0 at the top

void put(int col, int row, rgb c)
{
    if (col >= 0 && col < SIZE && row >= 0 && row < SIZE)
        pixels[row][col] = c;
}

rgb mix(rgb a, rgb b, int step, int steps)
{
    rgb c;
    c.r = (unsigned char)(a.r + (b.r - a.r) * step / steps);
    c.g = (unsigned char)(a.g + (b.g - a.g) * step / steps);
    c.b = (unsigned char)(a.b + (b.b - a.b) * step / steps);
    return c;
}

// A vertical gradient over columns c0..c1-1 and rows r0..r1-1.
void gradient(int c0, int c1, int r0, int r1, rgb top, rgb bottom)
{
    for (int row = r0; row < r1; row++)
        for (int col = c0; col < c1; col++)
            put(col, row, mix(top, bottom, row - r0, r1 - r0 - 1));
}

const rgb FRAME_OUTER = {40, 44, 60};
const rgb FRAME_INNER = {168, 172, 188};
const rgb ARROW_FACE = {208, 208, 212};
const rgb ARROW_EDGE = {90, 90, 100};
const rgb ARROW_MARK = {30, 30, 36};
const rgb THUMB_LIGHT = {188, 192, 206};
const rgb THUMB_FACE = {140, 146, 166};
const rgb THUMB_DARK = {82, 86, 104};
const rgb TROUGH = {228, 228, 232};
const rgb TROUGH_EDGE = {150, 150, 158};

// An 11 x 11 arrow button at rows r0..r0+10 whose triangle points to the
// row `outer` (r0 or r0 + 10).
void arrow_button(int r0, bool points_up)
{
    for (int i = 0; i < 11; i++)
        for (int j = 0; j < 11; j++) {
            bool edge = i == 0 || j == 0 || i == 10 || j == 10;
            put(7 + j, r0 + i, edge ? ARROW_EDGE : ARROW_FACE);
        }
    // Triangle: apex at 3 texels from the outer end, base 4 rows further in.
    for (int k = 0; k < 4; k++) {
        int row = points_up ? r0 + 3 + k : r0 + 7 - k;
        for (int j = 5 - k; j <= 5 + k; j++)
            put(7 + j, row, ARROW_MARK);
    }
}

// A row of the scroll-bar strip: lighter left column, darker right one.
void strip_row(int row, rgb left, rgb face, rgb right)
{
    for (int j = 0; j < 11; j++)
        put(7 + j, row, j == 0 ? left : (j == 10 ? right : face));
}

void draw_theme()
{
    const rgb filler = {128, 128, 128};
    for (int row = 0; row < SIZE; row++)
        for (int col = 0; col < SIZE; col++)
            pixels[row][col] = filler;

    gradient(0, 2, 0, 21, rgb{150, 200, 255}, rgb{40, 110, 215});
    gradient(2, 4, 0, 21, rgb{242, 242, 246}, rgb{186, 188, 196});

    put(4, 0, FRAME_OUTER);
    put(5, 0, FRAME_OUTER);
    put(4, 1, FRAME_OUTER);
    put(5, 1, FRAME_INNER);
    put(4, 3, FRAME_OUTER);
    put(5, 3, FRAME_INNER);

    arrow_button(0, true);
    strip_row(12, THUMB_DARK, THUMB_DARK, THUMB_DARK);
    strip_row(13, THUMB_DARK, THUMB_DARK, THUMB_DARK);
    strip_row(14, THUMB_LIGHT, THUMB_FACE, THUMB_DARK);
    strip_row(15, THUMB_LIGHT, THUMB_FACE, THUMB_DARK);
    strip_row(16, THUMB_DARK, THUMB_DARK, THUMB_DARK);
    strip_row(17, THUMB_DARK, THUMB_DARK, THUMB_DARK);
    arrow_button(18, false);
    strip_row(30, TROUGH_EDGE, TROUGH, TROUGH_EDGE);
    strip_row(31, TROUGH_EDGE, TROUGH, TROUGH_EDGE);

    gradient(19, 21, 0, 12, rgb{250, 250, 252}, rgb{176, 180, 196});
}

void put16(unsigned char *p, unsigned v)
{
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
}

void put32(unsigned char *p, unsigned v)
{
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

// 24-bit BMP: rows stored bottom-up in blue, green, red order; a row of 64
// pixels is 192 bytes, already a multiple of four.
int write_bmp(const char *path)
{
    const unsigned row_bytes = SIZE * 3;
    const unsigned data_size = row_bytes * SIZE;
    unsigned char header[54];
    memset(header, 0, sizeof header);
    header[0] = 'B';
    header[1] = 'M';
    put32(header + 2, 54 + data_size);   // file size
    put32(header + 10, 54);              // offset of the pixels
    put32(header + 14, 40);              // info header size
    put32(header + 18, SIZE);            // width
    put32(header + 22, SIZE);            // height (positive: bottom-up)
    put16(header + 26, 1);               // planes
    put16(header + 28, 24);              // bits per pixel
    put32(header + 30, 0);               // no compression
    put32(header + 34, data_size);
    put32(header + 38, 2835);            // 72 dpi
    put32(header + 42, 2835);

    // Written beside the target and renamed over it, so a failed run never
    // leaves a half-written theme.
    char temp[1100];
    if (snprintf(temp, sizeof temp, "%s.tmp", path) >= (int)sizeof temp)
        return 1;
    FILE *f = fopen(temp, "wb");
    if (!f)
        return 1;
    bool ok = fwrite(header, 1, sizeof header, f) == sizeof header;
    for (int row = SIZE - 1; row >= 0 && ok; row--) {
        unsigned char line[SIZE * 3];
        for (int col = 0; col < SIZE; col++) {
            line[col * 3 + 0] = pixels[row][col].b;
            line[col * 3 + 1] = pixels[row][col].g;
            line[col * 3 + 2] = pixels[row][col].r;
        }
        ok = fwrite(line, 1, row_bytes, f) == row_bytes;
    }
    ok = (fclose(f) == 0) && ok;
    if (!ok || rename(temp, path) != 0) {
        remove(temp);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s OUTPUT.bmp\n", argv[0]);
        return 2;
    }
    draw_theme();
    if (write_bmp(argv[1]) != 0) {
        fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
