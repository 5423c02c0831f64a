// Importing into pages: palette placement, the selected rectangles, a refusal for want of memory that changes
// nothing, and the rules that keep everything outside the chosen textures as it was.
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "imaging/page_import.h"
#include "imaging/image_decode.h"
#include "imaging/image_file.h"
#include "imaging_support.h"
#include "level/texture_store.h"

// Whether a palette holds the test page's first `colours` colours (zeros after them).
static bool has_table(const level_palette *p, int colours = 256)
{
    level_palette want = {};
    for (int i = 0; i < colours * 4; i++) want.entries[i / 4][i % 4] = table_byte(i / 4, i % 4);
    return p && memcmp(want.entries, p->entries, sizeof want.entries) == 0;
}

struct import_test : testing::Test {
    level lvl;
    log_capture log;
    import_image image = {};
    // Page 0: list {1}. Page 1: list {0, 3, 4} at slot 1. Palettes 0, 1, 3, 4.
    void SetUp() override
    {
        make_test_level(&lvl, {true, true}, {0, 1, 3, 4}, {{0, {1}}, {1, {0, 3, 4}}}), lvl.textures[1].palette_slot = 1;
        decode(valid_8bit());
    }
    void TearDown() override { free_import_image(&image), release_level_memory(&lvl); }
    void decode(const bytes &file)
    {
        free_import_image(&image);
        ASSERT_EQ(IMPORT_OK, decode_image_bytes(file.data(), file.size(), nullptr, &image).code);
        ASSERT_TRUE(image.indexed);
        log.clear();
    }
    import_options options;
    int import(int page, const import_selection *selection = nullptr)
    {
        options.selection = selection;
        return import_image_into_page(&lvl, page, &image, &options);
    }
};

TEST_F(import_test, replacing_the_whole_palette_writes_the_current_one_in_place_and_only_the_selected_rectangles_change)
{
    // Rectangles include both bounds and are clipped to the page.
    struct { texture_name name; bool selected; int x0, y0, x1, y1; } cases[] = {
        {{"a", 1, 10, 20, 5, 3}, true, 10, 20, 15, 23}, {{"b", 1, 250, 252, 20, 20}, true, 250, 252, 255, 255},
        {{"c", 1, -5, -7, 6, 8}, true, 0, 0, 1, 1}, {{"d", 1, 40, 0, 0, 0}, true, 40, 0, 40, 0},
        {{"e", 1, 100, 100, 50, 50}, false, 1, 1, 0, 0}, {{"f", 1, 300, 10, 5, 5}, true, 1, 1, 0, 0}};
    const texture_name *names[6];
    bool selected[6];
    for (int k = 0; k < 6; k++) names[k] = &cases[k].name, selected[k] = cases[k].selected;
    import_selection selection = {6, names, selected};
    bytes before(lvl.textures[1].pixels, lvl.textures[1].pixels + PAGE_PIXELS);
    const level_palette *current = palette_by_id(&lvl, 3);
    options.replace_palette = true;
    ASSERT_EQ(IMPORT_OK, import(1, &selection));
    EXPECT_EQ((lines{"Loading 8-bit texture.", " Placing in 3", "Done importing 8-bit texture."}), log.lines());
    EXPECT_EQ(4, lvl.palette_count);
    EXPECT_TRUE(current == palette_by_id(&lvl, 3) && has_table(current));
    for (int i = 0; i < PAGE_PIXELS; i++) {
        bool inside = std::any_of(cases, cases + 6, [i](const auto &c) { return i % 256 >= c.x0 && i % 256 <= c.x1 && i / 256 >= c.y0 && i / 256 <= c.y1; });
        ASSERT_EQ(inside ? index_at(i) : before[i], lvl.textures[1].pixels[i]) << i % 256 << "," << i / 256;
    }
    // A slot naming no palette gets one with that id; no memory to grow the
    // table for it keeps the level.
    lvl.palette_lists[1].palette_ids[1] = 9;  // page 1's current slot
    std::vector<bytes> unchanged = level_state(lvl);
    log.clear();
    static int calls = 0;  // the palette array, then the table
    options.allocate = [](size_t size) -> void * { return ++calls == 2 ? nullptr : malloc(size); };
    EXPECT_EQ(IMPORT_NO_MEMORY, import(1));
    EXPECT_EQ((lines{"Loading 8-bit texture.", " Placing in 9", " Failed to allocate space for new palette!"}), log.lines());
    EXPECT_TRUE(unchanged == level_state(lvl));
    options.allocate = nullptr;
    ASSERT_EQ(IMPORT_OK, import(1));
    EXPECT_EQ(10, lvl.palette_table_size);
    EXPECT_TRUE(&lvl.palettes[4] == palette_by_id(&lvl, 9) && has_table(&lvl.palettes[4]));
}

namespace {

// A page's look through one palette: red, green, blue per pixel.
bytes look(const level &l, int page, int palette_id)
{
    bytes rgb(PAGE_PIXELS * 3);
    const level_palette *p = palette_by_id(&l, palette_id);
    for (int i = 0; p && i < PAGE_PIXELS; i++) memcpy(&rgb[3 * i], p->entries[l.textures[page].pixels[i]], 3);
    return rgb;
}

uint64_t squared_error(const bytes &a, const bytes &b, const unsigned char *mask)
{
    uint64_t sum = 0;
    for (int i = 0; i < PAGE_PIXELS * 3; i++)
        if (mask[i / 3]) sum += (uint64_t)((a[i] - b[i]) * (a[i] - b[i]));
    return sum;
}

// The nearest colour of a palette to each chosen pixel: what the old colours alone allow.
uint64_t old_colours_error(const level_palette &p, const bytes &rgb, const unsigned char *mask)
{
    uint64_t sum = 0;
    for (int i = 0; i < PAGE_PIXELS; i++) {
        uint64_t best = UINT64_MAX;
        for (int e = 0; mask[i] && e < 256; e++) {
            uint64_t d = 0;
            for (int c = 0; c < 3; c++) d += (uint64_t)((rgb[3 * i + c] - p.entries[e][c]) * (rgb[3 * i + c] - p.entries[e][c]));
            best = d < best ? d : best;
        }
        if (mask[i]) sum += best;
    }
    return sum;
}

}  // namespace

// Pages 0 (list {0}), 1 ({1, 2}, showing 2) and 2 ({0, 3, 4}, showing 0, which
// page 0 shares); page 3 is 15-bit. Inside the chosen rectangle a page uses
// entries 100-255, outside 0-99; page 0 uses 0-49.
TEST(partial_import, nothing_outside_the_chosen_textures_changes_colour_and_recolours_keep_the_indices)
{
    enum { TRUE_COLOUR, RECOLOUR, SAME_TABLE, OTHER_TABLE };
    struct { int page, image; bool whole; } cases[] = {
        {2, TRUE_COLOUR, false}, {1, TRUE_COLOUR, false}, {2, RECOLOUR, false}, {1, RECOLOUR, true}, {0, RECOLOUR, true},
        {2, SAME_TABLE, false}, {2, OTHER_TABLE, false}, {3, OTHER_TABLE, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "page " << c.page << ", image " << c.image);
        level lvl;
        make_test_level(&lvl, {true, true, true, false}, {0, 1, 2, 3, 4}, {{0, {0}}, {1, {1, 2}}, {2, {0, 3, 4}}});
        lvl.textures[1].palette_slot = 1;
        texture_name chosen = {"a", c.page, 30, 40, 99, 79};
        const texture_name *names[1] = {&chosen};
        bool marked[1] = {true};
        import_selection selection = {1, names, marked};
        unsigned char mask[PAGE_PIXELS];
        build_selection_mask(mask, c.whole ? nullptr : &selection);
        for (int p = 0; p < 3; p++)
            for (int i = 0; i < PAGE_PIXELS; i++)
                lvl.textures[p].pixels[i] = (unsigned char)(p == 0 ? i % 50 : mask[i] ? 100 + (i * 7 + i / 256) % 156 : i % 100);
        const int shown = c.page < 3 ? current_palette_id(&lvl, c.page) : -1;
        // Every page's look through every palette of its list, before.
        std::vector<bytes> before;
        for (int p = 0; p < 3; p++)
            for (int k = 0; k < lvl.palette_lists[p].count; k++) before.push_back(look(lvl, p, lvl.palette_lists[p].palette_ids[k]));
        bytes old_pixels(lvl.textures[c.page].pixels, lvl.textures[c.page].pixels + page_byte_size(lvl.textures[c.page]));
        const level_palette old_palette = shown >= 0 ? *palette_by_id(&lvl, shown) : level_palette();
        // The image: a colourful gradient, or the page's look in other colours (a recolour), or the page with a colour table.
        import_image image = {};
        image.width = image.height = PAGE_SIZE;
        image.indexed = c.image >= SAME_TABLE;
        image.pixels = (unsigned char *)malloc(PAGE_PIXELS * 3);
        for (int e = 0; e < 256; e++)
            for (int k = 0; k < 4; k++) image.entries[e][k] = c.image == SAME_TABLE ? old_palette.entries[e][k] : (unsigned char)(e * 5 + k * 40);
        for (int i = 0; i < PAGE_PIXELS; i++) {
            if (image.indexed) image.pixels[i] = (unsigned char)(255 - i % 200);
            else
                for (int k = 0; k < 3; k++)
                    image.pixels[3 * i + k] = c.image == RECOLOUR ? (unsigned char)(old_palette.entries[old_pixels[i]][k] ^ 0x5A)
                                                                 : (unsigned char)((i % 256) * (k + 1) + (i / 256) * (3 - k));
        }
        import_options options;
        options.selection = c.whole ? nullptr : &selection;
        import_summary summary;
        ASSERT_EQ(IMPORT_OK, import_image_into_page(&lvl, c.page, &image, &options, &summary));

        // Outside the chosen area every page looks as it did, in every palette of its list.
        size_t at = 0;
        for (int p = 0; p < 3; p++)
            for (int k = 0; k < lvl.palette_lists[p].count; k++, at++) {
                bytes after = look(lvl, p, lvl.palette_lists[p].palette_ids[k]);
                for (int i = 0; i < PAGE_PIXELS; i++)
                    if (p != c.page || !mask[i]) {
                        ASSERT_EQ(0, memcmp(&before[at][3 * i], &after[3 * i], 3)) << "page " << p << " palette " << k << " pixel " << i;
                    }
            }
        const level_texture &t = lvl.textures[c.page];
        if (!t.paletted) {  // an 8-bit image into a 15-bit page keeps its colours
            const uint16_t *pixels = (const uint16_t *)(const void *)t.pixels;
            for (int i = 0; i < PAGE_PIXELS; i++) {
                const unsigned char *e = image.entries[image.pixels[i]];
                ASSERT_EQ(rgb15_from_rgb(e[0], e[1], e[2]), pixels[i]) << i;
            }
        } else if (c.image == RECOLOUR || c.image == SAME_TABLE) {  // exact colours, indices kept
            EXPECT_TRUE(summary.indices_kept);
            bytes now = look(lvl, c.page, current_palette_id(&lvl, c.page)), want(PAGE_PIXELS * 3);
            for (int i = 0; i < PAGE_PIXELS; i++) memcpy(&want[3 * i], image.indexed ? image.entries[image.pixels[i]] : &image.pixels[3 * i], 3);
            EXPECT_EQ(0u, squared_error(now, want, mask));
            for (int i = 0; c.image == RECOLOUR && i < PAGE_PIXELS; i++) ASSERT_EQ(old_pixels[i], t.pixels[i]) << i;
        } else {  // at least as close as the old colours alone, and closer with 156 free entries
            bytes rgb(PAGE_PIXELS * 3);
            for (int i = 0; i < PAGE_PIXELS; i++) memcpy(&rgb[3 * i], image.indexed ? image.entries[image.pixels[i]] : &image.pixels[3 * i], 3);
            EXPECT_EQ(156, summary.free_entries);
            EXPECT_LT(squared_error(look(lvl, c.page, current_palette_id(&lvl, c.page)), rgb, mask), old_colours_error(old_palette, rgb, mask) / 2);
        }
        free_import_image(&image);
        release_level_memory(&lvl);
    }
}
