// Draws the editor's icon, a texture page of coloured tiles with a white Q,
// as the launcher's PNGs and the window icon's BMP.
//
// Usage: make_icons OUTPUT_FOLDER
// writes OUTPUT_FOLDER/hicolor/NxN/apps/qte.png for N = 16 ... 256 (RGBA,
// transparent round the page's rounded corners) and OUTPUT_FOLDER/qte.bmp,
// the 64 x 64 picture as 24-bit BMP with the transparent pixels magenta,
// Allegro's mask colour, and OUTPUT_FOLDER/qte.ico, the Windows program's
// icon, which holds the PNGs of 16 to 256 pixels as they are.
#include <math.h>
#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/file_system.h"

namespace {

struct rgba {
    float r, g, b, a;
};

const rgba CLEAR = {0, 0, 0, 0};
const rgba FRAME = {0.17f, 0.20f, 0.25f, 1};
const rgba TILE_COLOURS[4] = {{0.29f, 0.56f, 0.85f, 1}, {0.95f, 0.69f, 0.20f, 1},
                              {0.35f, 0.70f, 0.38f, 1}, {0.85f, 0.33f, 0.30f, 1}};
const rgba LETTER = {1, 1, 1, 1};
const rgba OUTLINE = {0.10f, 0.11f, 0.14f, 1};

// Distance from (x, y) to the segment (ax, ay)-(bx, by).
float segment_distance(float x, float y, float ax, float ay, float bx, float by)
{
    float dx = bx - ax, dy = by - ay;
    float t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy);
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    return hypotf(x - (ax + t * dx), y - (ay + t * dy));
}

// How far inside the Q's stroke (x, y) lies: positive inside, negative out.
float letter_depth(float x, float y)
{
    float ring = 0.055f - fabsf(hypotf(x - 0.5f, y - 0.46f) - 0.235f);
    float tail = 0.05f - segment_distance(x, y, 0.58f, 0.60f, 0.78f, 0.82f);
    return ring > tail ? ring : tail;
}

// The picture at (x, y) in the unit square, y downwards.
rgba shade(float x, float y)
{
    // The page: a square with rounded corners and a dark frame.
    const float margin = 0.04f, radius = 0.12f;
    float cx = x < margin + radius ? margin + radius : x > 1 - margin - radius ? 1 - margin - radius : x;
    float cy = y < margin + radius ? margin + radius : y > 1 - margin - radius ? 1 - margin - radius : y;
    float corner = hypotf(x - cx, y - cy);
    if (corner > radius || x < margin || y < margin || x > 1 - margin || y > 1 - margin)
        return CLEAR;
    if (corner > radius - 0.05f || x < margin + 0.05f || y < margin + 0.05f || x > 0.91f || y > 0.91f)
        return FRAME;
    float depth = letter_depth(x, y);
    if (depth > 0)
        return LETTER;
    if (depth > -0.035f)
        return OUTLINE;
    // A 4 x 4 page of tiles, each a colour of its diagonal.
    int col = (int)((x - 0.09f) / 0.82f * 4), row = (int)((y - 0.09f) / 0.82f * 4);
    return TILE_COLOURS[(col + row) % 4];
}

// One size of the picture, 8 x 8 samples a pixel, as RGBA bytes.
std::vector<unsigned char> render(int size)
{
    std::vector<unsigned char> pixels((size_t)size * size * 4);
    const int samples = 8;
    for (int y = 0; y < size; y++) {
        for (int x = 0; x < size; x++) {
            float r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < samples; sy++) {
                for (int sx = 0; sx < samples; sx++) {
                    rgba c = shade((x + (sx + 0.5f) / samples) / size, (y + (sy + 0.5f) / samples) / size);
                    r += c.r * c.a;
                    g += c.g * c.a;
                    b += c.b * c.a;
                    a += c.a;
                }
            }
            unsigned char *p = &pixels[((size_t)y * size + x) * 4];
            p[0] = (unsigned char)(a > 0 ? lroundf(255 * r / a) : 0);
            p[1] = (unsigned char)(a > 0 ? lroundf(255 * g / a) : 0);
            p[2] = (unsigned char)(a > 0 ? lroundf(255 * b / a) : 0);
            p[3] = (unsigned char)lroundf(255 * a / (samples * samples));
        }
    }
    return pixels;
}

// Creates each folder of `path` in turn; 0 when the last one exists.
int make_folders(const std::string &path)
{
    for (size_t i = 1; i <= path.size(); i++) {
        if (i == path.size() || path[i] == '/')
            make_folder(path.substr(0, i).c_str());
    }
    return path_kind(path.c_str(), nullptr) == PATH_FOLDER ? 0 : 1;
}

// Writes the picture through libpng; 0 on success. `rows` points into
// `pixels`, set up before the error jump target so nothing is skipped.
int write_png(const char *path, int size, std::vector<unsigned char> &pixels, std::vector<png_bytep> &rows)
{
    FILE *f = open_file(path, "wb");
    if (!f)
        return 1;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(f);
        return 1;
    }
    for (int y = 0; y < size; y++)
        rows[y] = &pixels[(size_t)y * size * 4];
    png_init_io(png, f);
    png_set_IHDR(png, info, size, size, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return fclose(f) == 0 ? 0 : 1;
}

void put32(unsigned char *p, unsigned v)
{
    for (int i = 0; i < 4; i++)
        p[i] = (unsigned char)(v >> (8 * i));
}

// 24-bit BMP, rows bottom-up in blue, green, red order (a 64-pixel row is
// 192 bytes, already a multiple of four); mostly transparent pixels magenta.
int write_bmp(const char *path, int size, const std::vector<unsigned char> &pixels)
{
    const unsigned row_bytes = (unsigned)size * 3, data_size = row_bytes * (unsigned)size;
    unsigned char header[54] = {'B', 'M'};
    put32(header + 2, 54 + data_size);   // file size
    put32(header + 10, 54);              // offset of the pixels
    put32(header + 14, 40);              // info header size
    put32(header + 18, (unsigned)size);  // width
    put32(header + 22, (unsigned)size);  // height (positive: bottom-up)
    header[26] = 1;                      // planes
    header[28] = 24;                     // bits per pixel
    put32(header + 34, data_size);       // no compression; the pixels' size
    FILE *f = open_file(path, "wb");
    if (!f)
        return 1;
    bool ok = fwrite(header, 1, sizeof header, f) == sizeof header;
    std::vector<unsigned char> line(row_bytes);
    for (int y = size - 1; y >= 0 && ok; y--) {
        for (int x = 0; x < size; x++) {
            const unsigned char *p = &pixels[((size_t)y * size + x) * 4];
            bool clear = p[3] < 128;
            line[x * 3 + 0] = clear ? 255 : p[2];
            line[x * 3 + 1] = clear ? 0 : p[1];
            line[x * 3 + 2] = clear ? 255 : p[0];
        }
        ok = fwrite(line.data(), 1, row_bytes, f) == row_bytes;
    }
    return fclose(f) == 0 && ok ? 0 : 1;
}

// An icon file of PNG pictures: the directory (6 bytes, then 16 a picture)
// and the PNG files' bytes after it. A side of 256 is written as 0.
int write_ico(const std::string &path, const std::vector<int> &sizes, const std::vector<std::string> &pngs)
{
    std::vector<unsigned char> ico = {0, 0, 1, 0, (unsigned char)sizes.size(), 0};
    size_t offset = 6 + 16 * sizes.size();
    for (size_t i = 0; i < sizes.size(); i++) {
        unsigned char entry[16] = {(unsigned char)(sizes[i] & 255), (unsigned char)(sizes[i] & 255), 0, 0, 1, 0, 32};
        put32(entry + 8, (unsigned)pngs[i].size());
        put32(entry + 12, (unsigned)offset);
        ico.insert(ico.end(), entry, entry + 16);
        offset += pngs[i].size();
    }
    for (const std::string &png : pngs) ico.insert(ico.end(), png.begin(), png.end());
    FILE *f = open_file(path.c_str(), "wb");
    if (!f) return 1;
    bool ok = fwrite(ico.data(), 1, ico.size(), f) == ico.size();
    return fclose(f) == 0 && ok ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    std::string out = argv[1];
    std::vector<int> ico_sizes;
    std::vector<std::string> ico_pngs;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        std::string folder = out + "/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps";
        std::string path = folder + "/qte.png";
        std::vector<unsigned char> pixels = render(size);
        std::vector<png_bytep> rows((size_t)size);
        if (make_folders(folder) != 0 || write_png(path.c_str(), size, pixels, rows) != 0) {
            fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        size_t png_size = 0;
        unsigned char *png = read_file_start(path.c_str(), 1 << 20, &png_size);
        if (png && size != 24 && size != 128) {
            ico_sizes.push_back(size);
            ico_pngs.emplace_back((const char *)png, png_size);
        }
        free(png);
        if (size == 64 && write_bmp((out + "/qte.bmp").c_str(), size, pixels) != 0) {
            fprintf(stderr, "cannot write %s/qte.bmp\n", out.c_str());
            return 1;
        }
    }
    if (write_ico(out + "/qte.ico", ico_sizes, ico_pngs) != 0) {
        fprintf(stderr, "cannot write %s/qte.ico\n", out.c_str());
        return 1;
    }
    return 0;
}
