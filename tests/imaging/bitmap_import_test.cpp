// The 8-bit importer: refusals (also found by the validation alone), palette placement and the selected rectangles.
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "imaging/bitmap_import.h"
#include "imaging_support.h"
#include "level/texture_store.h"

// Whether a palette holds the test page's first `colours` colours (zeros after them).
static bool has_table(const level_palette *p, int colours = 256)
{
    level_palette want = {};
    for (int i = 0; i < colours * 4; i++) want.entries[i / 4][i % 4] = table_byte(i / 4, i % 4);
    return p && memcmp(want.entries, p->entries, sizeof want.entries) == 0;
}

// Everything an import may change, to prove a refusal changed nothing.
static std::vector<bytes> snapshot(const level &l)
{
    std::vector<bytes> s;
    auto add = [&](const void *p, size_t n) { s.emplace_back((const unsigned char *)p, (const unsigned char *)p + n); };
    add(&l.palettes, sizeof l.palettes), add(l.palettes, l.palette_count * sizeof(level_palette));
    add(l.palette_table, l.palette_table_size * sizeof(level_palette *));
    for (int i = 0; i < l.palette_list_count; i++) add(l.palette_lists[i].palette_ids, l.palette_lists[i].count * 4);
    for (int t = 0; t < l.texture_count; t++) add(l.textures[t].pixels, page_byte_size(l.textures[t]));
    return s;
}

struct import_test : testing::Test {
    level lvl;
    log_capture log;
    bytes b = valid_8bit();
    // Page 0: list {1}. Page 1: list {0, 3, 4} at slot 1. Palettes 0, 1, 3, 4.
    void SetUp() override { make_test_level(&lvl, {true, true}, {0, 1, 3, 4}, {{0, {1}}, {1, {0, 3, 4}}}), lvl.textures[1].palette_slot = 1, log.clear(); }
    void TearDown() override { import_allocate = malloc, release_level_memory(&lvl); }
    int import(int page, const import_selection *selection = nullptr) { return import_8bit_bitmap_bytes(&lvl, page, b.data(), b.size(), selection); }
};

TEST_F(import_test, refusals_log_why_and_change_nothing_and_cut_files_are_never_read_past_their_end)
{
    std::vector<bytes> before = snapshot(lvl);
    std::string path = make_temp_folder() + "/page.bmp";
    const char *header = "Bitmap file is shorter than its header.", *table = "Bitmap file is shorter than its colour table and pixels.";
    // Four bytes at `at` changed to `value`, or the file cut to `cut` bytes.
    // The header check refuses the rows up to "Bitmap is not 8-bit." (it does not
    // look at compression and colours) and files shorter than the header.
    struct { size_t at; uint32_t value; int code; const char *message; size_t cut = 0; int colours = 256; } cases[] = {
        {0, 'X' | 'M' << 8, IMPORT_NOT_BITMAP, "Not a windows bitmap."}, {14, 108, IMPORT_NOT_V3, "Can't load images without V3 header."},
        {18, 128, IMPORT_NOT_256, "Bitmap must be 256x256."}, {22, (uint32_t)-256, IMPORT_NOT_256, "Bitmap must be 256x256."},  // top-down
        {28, 24, IMPORT_NOT_8BIT, "Bitmap is not 8-bit."}, {30, 1, IMPORT_COMPRESSED, "Can't load bitmaps with compression."},
        {46, 257, IMPORT_TOO_MANY_COLOURS, "Bitmap has too many colours."}, {46, 0xFFFFFFFF, IMPORT_TOO_MANY_COLOURS, "Bitmap has too many colours."},
        {0, 0, IMPORT_TRUNCATED, header, 53}, {0, 0, IMPORT_TRUNCATED, table, 54 + 16 * 4 - 1, 16},
        {0, 0, IMPORT_TRUNCATED, table, 54 + 16 * 4 + 65535, 16}, {0, 0, IMPORT_TRUNCATED, table, 54 + 1024 + 65535},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.message) + " " + std::to_string(c.cut));
        bytes file = valid_8bit(c.colours);
        for (int i = 0; c.value && i < 4; i++) file[c.at + i] = (unsigned char)(c.value >> (8 * i));
        if (c.cut) file.resize(c.cut), file.shrink_to_fit();  // exact size, so ASan sees any over-read
        ASSERT_TRUE(write_file_bytes(path, file));
        EXPECT_EQ(c.code <= IMPORT_NOT_8BIT || (c.cut && c.cut < 54) ? 1 : 0, check_8bit_bitmap(path.c_str()));
        EXPECT_EQ(c.code, validate_8bit_bitmap(path.c_str()));
        log.clear();
        EXPECT_EQ(c.code, import_8bit_bitmap_bytes(&lvl, 0, file.data(), file.size(), nullptr));
        EXPECT_EQ(lines{c.message}, log.lines());
    }
    EXPECT_TRUE(before == snapshot(lvl));
    // A new palette takes the lowest free id; the table points at it.
    ASSERT_TRUE(write_file_bytes(path, valid_8bit(16)));
    log.clear();
    ASSERT_EQ(IMPORT_OK, import_8bit_bitmap(&lvl, 0, path.c_str(), nullptr));
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
    std::string path = make_temp_folder() + "/page.bmp";
    ASSERT_TRUE(write_file_bytes(path, b));
    EXPECT_EQ(3, palette_recoloured_by_8bit_bitmap(&lvl, 1, path.c_str()));
    EXPECT_EQ(-1, palette_recoloured_by_8bit_bitmap(&lvl, 0, path.c_str()));
    ASSERT_EQ(IMPORT_OK, import(1, &selection));
    EXPECT_EQ((lines{" Placing in 3", "Done importing 8-bit texture."}), log.lines());
    EXPECT_EQ(-1, palette_recoloured_by_8bit_bitmap(&lvl, 1, path.c_str()));   // the same colours now
    EXPECT_EQ(4, lvl.palette_count);
    EXPECT_TRUE(current == palette_by_id(&lvl, 3) && has_table(current));
    for (int i = 0; i < PAGE_PIXELS; i++) {
        bool inside = std::any_of(cases, cases + 6, [i](const auto &c) { return i % 256 >= c.x0 && i % 256 <= c.x1 && i / 256 >= c.y0 && i / 256 <= c.y1; });
        ASSERT_EQ(inside ? index_at(i) : before[i], lvl.textures[1].pixels[i]) << i % 256 << "," << i / 256;
    }
    // A slot naming no palette gets one with that id; no memory to grow the
    // table for it keeps the level.
    lvl.palette_lists[1].palette_ids[1] = 9;  // page 1's current slot
    std::vector<bytes> unchanged = snapshot(lvl);
    log.clear();
    static int calls = 0;  // the palette array, then the table
    import_allocate = [](size_t size) -> void * { return ++calls == 2 ? nullptr : malloc(size); };
    EXPECT_EQ(IMPORT_NO_MEMORY, import(1));
    EXPECT_EQ((lines{" Placing in 9", " Failed to allocate space for new palette!"}), log.lines());
    EXPECT_TRUE(unchanged == snapshot(lvl));
    ASSERT_EQ(IMPORT_OK, import(1));
    EXPECT_EQ(10, lvl.palette_table_size);
    EXPECT_TRUE(&lvl.palettes[4] == palette_by_id(&lvl, 9) && has_table(&lvl.palettes[4]));
}
