// Importing indexed images: palette placement, the selected rectangles, and a refusal for want of memory that changes nothing.
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "imaging/bitmap_import.h"
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
    void TearDown() override { import_allocate = malloc, free_import_image(&image), release_level_memory(&lvl); }
    void decode(const bytes &file)
    {
        free_import_image(&image);
        ASSERT_EQ(IMPORT_OK, decode_image_bytes(file.data(), file.size(), nullptr, &image).code);
        ASSERT_TRUE(image.indexed);
        log.clear();
    }
    int import(int page, const import_selection *selection = nullptr) { return import_image_into_page(&lvl, page, &image, selection); }
};

TEST_F(import_test, an_indexed_image_into_a_page_with_one_palette_takes_a_new_palette_with_the_lowest_free_id)
{
    decode(valid_8bit(16));
    ASSERT_EQ(IMPORT_OK, import(0));
    EXPECT_EQ((lines{"Loading 8-bit texture.", " Placing in 2", "Done importing 8-bit texture."}), log.lines());
    EXPECT_EQ(2, lvl.palette_lists[0].palette_ids[0]);
    for (int id : {0, 1, 2, 3, 4}) EXPECT_EQ(&lvl.palettes[id == 2 ? 4 : id < 2 ? id : id - 1], palette_by_id(&lvl, id)) << id;
    EXPECT_TRUE(has_table(palette_by_id(&lvl, 2), 16));
    for (int i = 0; i < PAGE_PIXELS; i++) ASSERT_EQ(index_at(i), lvl.textures[0].pixels[i]) << i;
}

TEST_F(import_test, several_palettes_mean_the_current_one_in_place_and_only_the_selected_rectangles_change)
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
    // Other colours for palette 3 recolour the page; page 0 (one palette) would take a new one.
    EXPECT_EQ(3, palette_recoloured_by_image(&lvl, 1, &image));
    EXPECT_EQ(-1, palette_recoloured_by_image(&lvl, 0, &image));
    ASSERT_EQ(IMPORT_OK, import(1, &selection));
    EXPECT_EQ((lines{"Loading 8-bit texture.", " Placing in 3", "Done importing 8-bit texture."}), log.lines());
    EXPECT_EQ(-1, palette_recoloured_by_image(&lvl, 1, &image));   // the same colours now
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
    import_allocate = [](size_t size) -> void * { return ++calls == 2 ? nullptr : malloc(size); };
    EXPECT_EQ(IMPORT_NO_MEMORY, import(1));
    EXPECT_EQ((lines{"Loading 8-bit texture.", " Placing in 9", " Failed to allocate space for new palette!"}), log.lines());
    EXPECT_TRUE(unchanged == level_state(lvl));
    ASSERT_EQ(IMPORT_OK, import(1));
    EXPECT_EQ(10, lvl.palette_table_size);
    EXPECT_TRUE(&lvl.palettes[4] == palette_by_id(&lvl, 9) && has_table(&lvl.palettes[4]));
}
