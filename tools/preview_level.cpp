// Writes a contact sheet of a level's pages or models as a PPM picture, to look at what a generator made.
//
//   preview_level LEV D3D OUT.ppm [SLOT]   pages, eight a row at full size
//   preview_level LEV D3D OUT.ppm models   models then event models, drawn in software
//
// Each paletted page is drawn with palette slot SLOT of its list (slot 0 by
// default, the last slot when it has fewer; a grey ramp when it has none),
// transparent key pixels in magenta. Models are drawn the way the editor's 3D
// view draws them (flat colours, textures modulated by the corner colours,
// the transparent key cut out), seen from the front left and a little above.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "level/level.h"

namespace {

struct texel {
    float r, g, b;
    bool clear;
};

// The colour of a page pixel with the page's slot-`wanted_slot` palette.
texel page_texel(const level &lvl, int t, int x, int y, int wanted_slot)
{
    const level_texture &page = lvl.textures[t];
    int i = (y & 255) * 256 + (x & 255);
    if (page.paletted) {
        const level_palette *palette = nullptr;
        for (int k = 0; k < lvl.palette_list_count && !palette; k++) {
            const palette_list &list = lvl.palette_lists[k];
            if (list.texture != t || list.count < 1) continue;
            int slot = wanted_slot < list.count ? wanted_slot : list.count - 1;
            int id = list.palette_ids[slot];
            if (id >= 0 && id < lvl.palette_table_size) palette = lvl.palette_table[id];
        }
        int index = page_indices(page)[i];
        if (!palette) return {(float)index, (float)index, (float)index, false};
        return {(float)palette->entries[index][0], (float)palette->entries[index][1],
                (float)palette->entries[index][2], false};
    }
    uint16_t p = page_pixels16(page)[i];
    if (p == TRANSPARENT_KEY) return {0, 0, 0, true};
    return {(float)(((p >> 10) & 31) << 3), (float)(((p >> 5) & 31) << 3), (float)((p & 31) << 3), false};
}

int polygon_kind_of(int type)
{
    if (type < 0 || type > 55) return -1;
    int t = type & ~32;
    if (t <= 7) return t;
    if (t >= 16 && t <= 23) return 8 + (t - 16);
    return -1;
}

struct corner {
    float sx, sy, depth;    // screen position and view depth
    float u, v;
    float r, g, b;          // 0-1
};

// Fills one triangle into the tile with a depth buffer.
void fill_triangle(const level &lvl, std::vector<unsigned char> &sheet, int width, std::vector<float> &zbuf,
                   int ox, int oy, int tile, const corner &a, const corner &b, const corner &c, int page)
{
    float area = (b.sx - a.sx) * (c.sy - a.sy) - (b.sy - a.sy) * (c.sx - a.sx);
    if (fabsf(area) < 1e-6f) return;
    int x0 = (int)floorf(fminf(a.sx, fminf(b.sx, c.sx))), x1 = (int)ceilf(fmaxf(a.sx, fmaxf(b.sx, c.sx)));
    int y0 = (int)floorf(fminf(a.sy, fminf(b.sy, c.sy))), y1 = (int)ceilf(fmaxf(a.sy, fmaxf(b.sy, c.sy)));
    if (x0 < 0) x0 = 0;
    if (y0 < 0) y0 = 0;
    if (x1 > tile - 1) x1 = tile - 1;
    if (y1 > tile - 1) y1 = tile - 1;
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) {
            float px = (float)x + 0.5f, py = (float)y + 0.5f;
            float w0 = ((b.sx - px) * (c.sy - py) - (b.sy - py) * (c.sx - px)) / area;
            float w1 = ((c.sx - px) * (a.sy - py) - (c.sy - py) * (a.sx - px)) / area;
            float w2 = 1 - w0 - w1;
            if (w0 < 0 || w1 < 0 || w2 < 0) continue;
            // 1/depth is what varies linearly across the screen; larger is nearer.
            float nearness = w0 / a.depth + w1 / b.depth + w2 / c.depth;
            float &z = zbuf[(size_t)y * tile + x];
            if (nearness <= z) continue;
            float r = w0 * a.r + w1 * b.r + w2 * c.r, g = w0 * a.g + w1 * b.g + w2 * c.g,
                  bl = w0 * a.b + w1 * b.b + w2 * c.b;
            if (page >= 0 && page < lvl.texture_count) {
                float u = w0 * a.u + w1 * b.u + w2 * c.u, v = w0 * a.v + w1 * b.v + w2 * c.v;
                texel t = page_texel(lvl, page, (int)u, (int)v, 0);
                if (t.clear) continue;
                r *= t.r / 255; g *= t.g / 255; bl *= t.b / 255;
            }
            z = nearness;
            unsigned char *out = &sheet[((size_t)(oy + y) * width + ox + x) * 3];
            out[0] = (unsigned char)fminf(255, r * 255);
            out[1] = (unsigned char)fminf(255, g * 255);
            out[2] = (unsigned char)fminf(255, bl * 255);
        }
}

// Draws model `index` of `list` into the tile at (ox, oy).
void draw_model_tile(const level &lvl, const model *list, int count, int index, std::vector<unsigned char> &sheet,
                     int width, int ox, int oy, int tile)
{
    const model &m = list[index];
    int source = model_vertex_source(list, count, index);
    if (source < 0) return;
    const model &v = list[source];
    std::vector<float> zbuf((size_t)tile * tile, 0.0f);
    const float yaw = -35 * 3.14159265f / 180, pitch = 20 * 3.14159265f / 180;
    float distance = 1000 + m.radius;
    float focal = (float)tile / 2 / tanf(22.5f * 3.14159265f / 180);
    // The model's middle: the centre of its vertices' bounding box.
    float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
    for (int i = 0; i < v.vertex_count; i++)
        for (int k = 0; k < 3; k++) {
            lo[k] = fminf(lo[k], v.vertices[i][k]);
            hi[k] = fmaxf(hi[k], v.vertices[i][k]);
        }
    float mid[3] = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
    auto project = [&](int vi, corner &c) {
        float x = v.vertices[vi][0] - mid[0], y = v.vertices[vi][1] - mid[1], z = v.vertices[vi][2] - mid[2];
        float x1 = x * cosf(yaw) + z * sinf(yaw), z1 = -x * sinf(yaw) + z * cosf(yaw);
        float y2 = y * cosf(pitch) - z1 * sinf(pitch), z2 = y * sinf(pitch) + z1 * cosf(pitch);
        float depth = distance - z2;
        c.sx = (float)tile / 2 + x1 * focal / depth;
        c.sy = (float)tile / 2 - y2 * focal / depth;
        c.depth = depth;
    };
    for (int p = 0; p < m.polygon_count; p++) {
        const model_polygon &poly = m.polygons[p];
        int kind = polygon_kind_of(poly.type);
        if (kind < 0 || kind == 2 || kind == 3 || poly.unsafe) continue;
        int n = kind % 2 ? 4 : 3;
        corner c[4];
        bool ok = true;
        for (int k = 0; k < n; k++) {
            if (poly.corners[k] < 0 || poly.corners[k] >= v.vertex_count) ok = false;
            if (!ok) break;
            project(poly.corners[k], c[k]);
            c[k].u = poly.uv[k].u;
            c[k].v = poly.uv[k].v;
            c[k].r = poly.red[0] / 256; c[k].g = poly.green[0] / 256; c[k].b = poly.blue[0] / 256;
            if ((kind == 6 && k > 0) || (kind == 7 && k > 0)) {
                c[k].r = poly.red[k] / 256; c[k].g = poly.green[k] / 256; c[k].b = poly.blue[k] / 256;
            }
            if (kind == 7 && k == 0) c[k].r = c[k].g = c[k].b = 1;
        }
        if (!ok) continue;
        int page = poly.textured ? poly.texture : -1;
        fill_triangle(lvl, sheet, width, zbuf, ox, oy, tile, c[0], c[1], c[2], page);
        if (n == 4) fill_triangle(lvl, sheet, width, zbuf, ox, oy, tile, c[0], c[2], c[3], page);
    }
}

int write_ppm(const char *path, const std::vector<unsigned char> &sheet, int width, int height)
{
    FILE *f = fopen(path, "wb");
    if (!f) {
        fprintf(stderr, "preview_level: cannot write %s\n", path);
        return 1;
    }
    fprintf(f, "P6\n%d %d\n255\n", width, height);
    fwrite(sheet.data(), 1, sheet.size(), f);
    return fclose(f) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 4 || argc > 5) {
        fprintf(stderr, "usage: preview_level LEV D3D OUT.ppm [SLOT]\n");
        return 2;
    }
    int wanted_slot = argc > 4 ? atoi(argv[4]) : 0;
    FILE *lev = fopen(argv[1], "rb");
    FILE *d3d = fopen(argv[2], "rb");
    level lvl = {};
    result loaded = load_level(&lvl, lev, d3d, LOAD_ALL);
    if (lev) fclose(lev);
    if (d3d) fclose(d3d);
    if (loaded.code != LOAD_OK) {
        fprintf(stderr, "preview_level: the level does not load (%d): %s\n", loaded.code, loaded.reason);
        return 1;
    }
    if (argc > 4 && strcmp(argv[4], "models") == 0) {
        const int columns = 4, tile = 320, gap = 4;
        int total = lvl.model_count + lvl.event_model_count;
        int rows = (total + columns - 1) / columns;
        int width = columns * (tile + gap) + gap, height = rows * (tile + gap) + gap;
        std::vector<unsigned char> sheet((size_t)width * height * 3, 40);
        for (int i = 0; i < total; i++) {
            int ox = gap + (i % columns) * (tile + gap), oy = gap + (i / columns) * (tile + gap);
            for (int y = 0; y < tile; y++)
                for (int x = 0; x < tile; x++) {
                    unsigned char *out = &sheet[((size_t)(oy + y) * width + ox + x) * 3];
                    out[0] = 100; out[1] = 200; out[2] = 255;
                }
            if (i < lvl.model_count) draw_model_tile(lvl, lvl.models, lvl.model_count, i, sheet, width, ox, oy, tile);
            else draw_model_tile(lvl, lvl.event_models, lvl.event_model_count, i - lvl.model_count, sheet, width, ox, oy, tile);
        }
        release_level_memory(&lvl);
        return write_ppm(argv[3], sheet, width, height);
    }
    const int columns = 8, gap = 4;
    int rows = (lvl.texture_count + columns - 1) / columns;
    int width = columns * (256 + gap) + gap, height = rows * (256 + gap) + gap;
    std::vector<unsigned char> sheet((size_t)width * height * 3, 40);
    for (int t = 0; t < lvl.texture_count; t++) {
        int ox = gap + (t % columns) * (256 + gap), oy = gap + (t / columns) * (256 + gap);
        for (int y = 0; y < 256; y++)
            for (int x = 0; x < 256; x++) {
                unsigned char *out = &sheet[((size_t)(oy + y) * width + ox + x) * 3];
                texel c = page_texel(lvl, t, x, y, wanted_slot);
                out[0] = c.clear ? 255 : (unsigned char)c.r;
                out[1] = c.clear ? 0 : (unsigned char)c.g;
                out[2] = c.clear ? 255 : (unsigned char)c.b;
            }
    }
    release_level_memory(&lvl);
    return write_ppm(argv[3], sheet, width, height);
}
