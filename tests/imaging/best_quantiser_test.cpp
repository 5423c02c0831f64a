// Tests of the "best" colour quantiser.
// Exact palettes for few colours, fixed entries and masks respected, pinned
// output (how close it comes, against NeuQuant and pngquant, is
// bench_quantisers' to measure).
#include <gtest/gtest.h>
#include <string.h>

#include <set>
#include <vector>

#include "imaging/best_quantiser.h"
#include "level/level.h"

namespace {

typedef std::vector<unsigned char> bytes;
typedef unsigned char palette_table[256][3];

// A 256 x 256 texture: crossing ramps and bands in every hue with grain, so
// that no channel, row or column order hides a swap.
bytes textured_page()
{
    bytes p(256 * 256 * 3);
    unsigned seed = 7;
    for (int i = 0; i < 256 * 256; i++) {
        const int x = i % 256, y = i / 256;
        seed = seed * 1103515245u + 12345u;
        const int grain = (int)(seed >> 16 & 15);
        p[i * 3] = (unsigned char)((x * 3 + y) % 200 + grain);
        p[i * 3 + 1] = (unsigned char)(((x ^ y) & 63) * 3 + grain);
        p[i * 3 + 2] = (unsigned char)((y * 5 / 4 + x / 3 + (x / 32 % 2) * 40) % 240 + grain);
    }
    return p;
}

// Every third pixel of each row, shifted by the row, left out.
bytes sparse_mask()
{
    bytes m(256 * 256);
    for (int i = 0; i < 256 * 256; i++) m[i] = (i % 256 + i / 256) % 3 != 0;
    return m;
}

uint64_t fnv(const void *data, size_t size, uint64_t h = 14695981039346656037ull)
{
    for (size_t i = 0; i < size; i++) h = (h ^ ((const unsigned char *)data)[i]) * 1099511628211ull;
    return h;
}

}  // namespace

TEST(best_quantiser, few_colours_come_back_exactly_around_fixed_entries)
{
    // 200 colours in runs; fixed entries 0, 7, 14, ... hold other colours,
    // and entry 35 the colour of pixel 0.
    bytes rgb(97 * 61 * 3);
    for (size_t i = 0; i < rgb.size() / 3; i++)
        for (int k = 0; k < 3; k++) rgb[i * 3 + k] = (unsigned char)((i / 29 % 200) * (k + 3) + k * 50);
    palette_table palette;
    bool fixed[256] = {};
    for (int e = 0; e < 256; e += 7) palette[e][0] = palette[e][1] = palette[e][2] = (unsigned char)e, fixed[e] = true;
    memcpy(palette[35], &rgb[0], 3);
    palette_table before;
    memcpy(before, palette, sizeof palette);
    ASSERT_EQ(BEST_OK, best_learn_palette(rgb.data(), 97, 61, nullptr, palette, fixed));
    for (int e = 0; e < 256; e += 7) EXPECT_EQ(0, memcmp(palette[e], before[e], 3)) << e;
    for (bool dither : {false, true}) {
        bytes indices(97 * 61);
        ASSERT_EQ(BEST_OK, best_map_pixels(rgb.data(), 97, 61, nullptr, palette, dither, indices.data()));
        for (size_t i = 0; i < indices.size(); i++) ASSERT_EQ(0, memcmp(palette[indices[i]], &rgb[i * 3], 3)) << i;
        EXPECT_EQ(35, indices[0]);  // the fixed entry serves its colour
    }
}

TEST(best_quantiser, masked_out_pixels_neither_teach_nor_change_nor_take_error)
{
    bytes rgb = textured_page(), other = rgb, mask = sparse_mask();
    for (size_t i = 0; i < mask.size(); i++)
        if (!mask[i]) other[i * 3] = 255, other[i * 3 + 1] = 0, other[i * 3 + 2] = 255;
    palette_table a, b;
    bool fixed[256] = {};
    for (int e = 200; e < 256; e++) {
        a[e][0] = b[e][0] = 0, a[e][1] = b[e][1] = (unsigned char)e, a[e][2] = b[e][2] = 9;
        fixed[e] = true;
    }
    ASSERT_EQ(BEST_OK, best_learn_palette(rgb.data(), 256, 256, mask.data(), a, fixed));
    ASSERT_EQ(BEST_OK, best_learn_palette(other.data(), 256, 256, mask.data(), b, fixed));
    EXPECT_EQ(0, memcmp(a, b, sizeof a));
    for (int e = 200; e < 256; e++) EXPECT_TRUE(a[e][0] == 0 && a[e][1] == e && a[e][2] == 9) << e;
    for (bool dither : {false, true}) {
        bytes from_rgb(mask.size(), 201), from_other(mask.size(), 201);
        ASSERT_EQ(BEST_OK, best_map_pixels(rgb.data(), 256, 256, mask.data(), a, dither, from_rgb.data()));
        ASSERT_EQ(BEST_OK, best_map_pixels(other.data(), 256, 256, mask.data(), a, dither, from_other.data()));
        EXPECT_EQ(from_rgb, from_other);
        for (size_t i = 0; i < mask.size(); i++) {
            if (!mask[i]) {
                ASSERT_EQ(201, from_rgb[i]) << i;
            }
        }
    }
}

// The same bytes on every platform and compiler: a change here is a change
// of the algorithm, not of the build.
TEST(best_quantiser, output_is_pinned)
{
    bytes rgb = textured_page(), mask = sparse_mask();
    palette_table palette;
    bool fixed[256] = {};
    for (int e = 0; e < 16; e++) palette[e][0] = palette[e][1] = palette[e][2] = (unsigned char)(e * 17);
    for (int e = 0; e < 16; e++) fixed[e] = true;
    ASSERT_EQ(BEST_OK, best_learn_palette(rgb.data(), 256, 256, mask.data(), palette, fixed));
    bytes plain(mask.size()), dithered(mask.size());
    ASSERT_EQ(BEST_OK, best_map_pixels(rgb.data(), 256, 256, mask.data(), palette, false, plain.data()));
    ASSERT_EQ(BEST_OK, best_map_pixels(rgb.data(), 256, 256, mask.data(), palette, true, dithered.data()));
    uint64_t h = fnv(palette, sizeof palette);
    h = fnv(dithered.data(), dithered.size(), fnv(plain.data(), plain.size(), h));
    EXPECT_EQ(0x1d12c11e38ce4b16ull, h);
}
