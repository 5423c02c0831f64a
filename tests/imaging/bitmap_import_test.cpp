// Tests of the header check, the 8-bit and true-colour importers, palette
// placement, the selection mask and the import command's work after the
// dialog.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/debug_log.h"
#include "app/settings.h"
#include "imaging/bitmap_import.h"
#include "imaging/neuquant.h"
#include "imaging_support.h"
#include "level/texture_store.h"
#include "test_support.h"

namespace {

typedef std::vector<unsigned char> bytes;
typedef std::array<unsigned char, 4> colour;

void put32(bytes &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++) b[at + i] = (unsigned char)(v >> (8 * i));
}

// Indices with a recognisable, asymmetric pattern: a letter of index 200 on
// a gradient.
bytes letter_indices()
{
    bytes indices(PAGE_PIXELS);
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            bool letter = (x >= 40 && x < 80 && y >= 30 && y < 226) || (x >= 40 && x < 200 && y >= 30 && y < 70);
            indices[y * 256 + x] = letter ? 200 : (unsigned char)((x / 16) + 16 * (y / 64));
        }
    return indices;
}

std::vector<colour> test_table(int n)
{
    std::vector<colour> table(n);
    for (int i = 0; i < n; i++) table[i] = {(unsigned char)(255 - i), (unsigned char)(i * 3), (unsigned char)(i / 2), (unsigned char)(i ^ 0x33)};
    return table;
}

bytes valid_8bit(int colours = 256) { return make_8bit_bitmap(letter_indices(), test_table(colours), colours == 256 ? 0 : colours); }

// A deep copy of what an import may change, to prove a refusal changed nothing.
struct level_snapshot {
    int palette_count, palette_table_size;
    std::vector<level_palette> palettes;
    std::vector<level_palette *> table;
    std::vector<std::vector<int32_t>> lists;
    std::vector<bytes> pages;
    level_palette *palettes_pointer;
    explicit level_snapshot(const level &lvl)
    {
        palette_count = lvl.palette_count;
        palette_table_size = lvl.palette_table_size;
        palettes.assign(lvl.palettes, lvl.palettes + lvl.palette_count);
        table.assign(lvl.palette_table, lvl.palette_table + lvl.palette_table_size);
        for (int l = 0; l < lvl.palette_list_count; l++)
            lists.emplace_back(lvl.palette_lists[l].palette_ids, lvl.palette_lists[l].palette_ids + lvl.palette_lists[l].count);
        for (int t = 0; t < lvl.texture_count; t++) {
            size_t size = lvl.textures[t].paletted ? PAGE_PIXELS : PAGE_PIXELS * 2;
            pages.emplace_back(lvl.textures[t].pixels, lvl.textures[t].pixels + size);
        }
        palettes_pointer = lvl.palettes;
    }
    void expect_same(const level &lvl) const
    {
        level_snapshot now(lvl);
        EXPECT_EQ(palette_count, now.palette_count);
        EXPECT_EQ(palette_table_size, now.palette_table_size);
        EXPECT_EQ(palettes_pointer, now.palettes_pointer);
        ASSERT_EQ(palettes.size(), now.palettes.size());
        EXPECT_EQ(0, memcmp(palettes.data(), now.palettes.data(), palettes.size() * sizeof(level_palette)));
        EXPECT_TRUE(table == now.table);
        EXPECT_TRUE(lists == now.lists);
        EXPECT_TRUE(pages == now.pages);
    }
};

std::vector<int> changed_pages;
void record_change(int page) { changed_pages.push_back(page); }

int failing_allocations = 0;
void *fail_allocation(size_t) { return ++failing_allocations, nullptr; }

class import_test : public ::testing::Test {
protected:
    level lvl;
    settings prefs;
    std::string folder;
    void SetUp() override
    {
        // Page 0: paletted, one palette (id 1) in its list. Page 1: 15-bit.
        // Page 2: paletted with three palettes, current slot 1 (palette 3).
        // Page 3: paletted, shares palette 3 at slot 0. Page 4: paletted, no list.
        // Palette ids 0, 1, 3, 4 exist; 2 is free.
        make_test_level(&lvl, {true, false, true, true, true}, {0, 1, 3, 4}, {{0, {1}}, {2, {0, 3, 4}}, {3, {3}}});
        lvl.textures[2].palette_slot = 1;
        memset(&prefs, 0, sizeof prefs);
        current_settings = &prefs;
        level_changed = false;
        folder = make_temp_folder();
        changed_pages.clear();
        page_textures_changed = record_change;
        import_allocate = malloc;
        start_log_capture();
        init_allegro_for_tests();
    }
    void TearDown() override
    {
        page_textures_changed = rebuild_page_textures;
        import_allocate = malloc;
        current_settings = nullptr;
        free_test_level(&lvl);
        close_debug_log();
    }
    std::string write(const std::string &name, const bytes &b)
    {
        std::string path = folder + "/" + name;
        EXPECT_TRUE(write_file_bytes(path, b));
        return path;
    }
    // Log lines after "Debug file initialized.", without the " \n" ends.
    std::vector<std::string> log_lines()
    {
        std::vector<std::string> lines;
        std::string text = log_text();
        size_t at = 0;
        while (at < text.size()) {
            size_t end = text.find(" \n", at);
            if (end == std::string::npos) break;
            lines.push_back(text.substr(at, end - at));
            at = end + 2;
        }
        if (!lines.empty()) lines.erase(lines.begin());
        return lines;
    }
};

}  // namespace

// ---- header check -----------------------------------------------------------

TEST_F(import_test, header_check_refuses_in_order_with_one_message_each)
{
    struct {
        size_t at;
        int size;
        uint32_t value;
        const char *message;
    } faults[] = {
        {0, 1, 'X', "Not a windows bitmap."},
        {14, 4, 108, "Can't load images without V3 header."},
        {18, 4, 128, "Bitmap must be 256x256."},
        {22, 4, (uint32_t)-256, "Bitmap must be 256x256."},  // top-down
        {28, 2, 24, "Bitmap is not 8-bit."},
    };
    for (const auto &f : faults) {
        bytes b = valid_8bit();
        if (f.size == 1) b[f.at] = (unsigned char)f.value;
        else if (f.size == 2) b[f.at] = (unsigned char)f.value, b[f.at + 1] = (unsigned char)(f.value >> 8);
        else put32(b, f.at, f.value);
        start_log_capture();
        EXPECT_EQ(1, check_8bit_bitmap(write("fault.bmp", b).c_str())) << f.message;
        EXPECT_EQ(std::vector<std::string>{f.message}, log_lines());
    }
    // Several faults at once: only the first in order is reported.
    bytes b = valid_8bit();
    put32(b, 18, 64);
    b[28] = 4;
    start_log_capture();
    EXPECT_EQ(1, check_8bit_bitmap(write("two.bmp", b).c_str()));
    EXPECT_EQ(std::vector<std::string>{"Bitmap must be 256x256."}, log_lines());
}

TEST_F(import_test, header_check_passes_compressed_files_and_needs_only_the_header)
{
    bytes b = valid_8bit();
    put32(b, 30, 1);  // RLE8: the check does not look
    EXPECT_EQ(0, check_8bit_bitmap(write("rle.bmp", b).c_str()));
    bytes header(b.begin(), b.begin() + 54);
    EXPECT_EQ(0, check_8bit_bitmap_bytes(header.data(), header.size()));
    EXPECT_EQ(1, check_8bit_bitmap_bytes(header.data(), 53));
    EXPECT_EQ(1, check_8bit_bitmap_bytes(header.data(), 0));
    EXPECT_EQ(1, check_8bit_bitmap((folder + "/missing.bmp").c_str()));
}

// ---- 8-bit importer -----------------------------------------------------------

TEST_F(import_test, eight_bit_refusals_return_their_codes_and_change_nothing)
{
    struct {
        size_t at;
        uint32_t value;
        int code;
        const char *message;
    } faults[] = {
        {0, 0x5858, IMPORT_NOT_BITMAP, "Not a windows bitmap."},
        {14, 12, IMPORT_NOT_V3, "Can't load images without V3 header."},
        {22, 255, IMPORT_NOT_256, "Bitmap must be 256x256."},
        {28, 4, IMPORT_NOT_8BIT, "Bitmap is not 8-bit."},
        {30, 1, IMPORT_COMPRESSED, "Can't load bitmaps with compression."},
        {46, 257, IMPORT_TOO_MANY_COLOURS, "Bitmap has too many colours."},
        {46, 0xFFFFFFFF, IMPORT_TOO_MANY_COLOURS, "Bitmap has too many colours."},
    };
    level_snapshot before(lvl);
    for (const auto &f : faults) {
        bytes b = valid_8bit();
        if (f.at == 0 || f.at == 28) b[f.at] = (unsigned char)f.value, b[f.at + 1] = (unsigned char)(f.value >> 8);
        else put32(b, f.at, f.value);
        start_log_capture();
        EXPECT_EQ(f.code, import_8bit_bitmap(&lvl, 0, write("fault.bmp", b).c_str(), nullptr)) << f.message;
        EXPECT_EQ((std::vector<std::string>{"Loading 8-bit texture.", f.message}), log_lines());
    }
    start_log_capture();
    EXPECT_EQ(IMPORT_CANNOT_OPEN, import_8bit_bitmap(&lvl, 0, (folder + "/missing.bmp").c_str(), nullptr));
    EXPECT_EQ(std::vector<std::string>{"Loading 8-bit texture."}, log_lines());
    before.expect_same(lvl);
    EXPECT_TRUE(changed_pages.empty());
}

TEST_F(import_test, eight_bit_file_sizes_exact_short_and_long)
{
    level_snapshot before(lvl);
    for (int colours : {256, 16}) {
        bytes b = valid_8bit(colours);
        // One byte short of the pixel rows, and files cut inside the colour
        // table or right after the header: refused, never read past the end.
        for (size_t size : {b.size() - 1, (size_t)60, (size_t)54})
            EXPECT_EQ(IMPORT_TRUNCATED, import_8bit_bitmap_bytes(&lvl, 0, b.data(), size, nullptr)) << size;
        before.expect_same(lvl);
    }
    bytes exact = valid_8bit(16);
    EXPECT_EQ(IMPORT_OK, import_8bit_bitmap_bytes(&lvl, 4, exact.data(), exact.size(), nullptr));
    bytes longer = valid_8bit(16);
    longer.push_back(7);
    EXPECT_EQ(IMPORT_OK, import_8bit_bitmap_bytes(&lvl, 4, longer.data(), longer.size(), nullptr));
}

TEST_F(import_test, truncated_files_give_the_refusal_of_what_is_missing)
{
    bytes b = valid_8bit();
    EXPECT_EQ(IMPORT_NOT_BITMAP, import_8bit_bitmap_bytes(&lvl, 0, b.data(), 1, nullptr));
    EXPECT_EQ(IMPORT_NOT_V3, import_8bit_bitmap_bytes(&lvl, 0, b.data(), 17, nullptr));
    EXPECT_EQ(IMPORT_NOT_8BIT, import_8bit_bitmap_bytes(&lvl, 0, b.data(), 29, nullptr));
    EXPECT_EQ(IMPORT_TRUNCATED, import_8bit_bitmap_bytes(&lvl, 0, b.data(), 40, nullptr));   // inside compression..colours
    EXPECT_EQ(IMPORT_TRUNCATED, import_8bit_bitmap_bytes(&lvl, 0, b.data(), 53, nullptr));
    EXPECT_EQ(IMPORT_TRUNCATED, import_8bit_bitmap_bytes(&lvl, 0, b.data(), 54 + 1023, nullptr));
    EXPECT_EQ(IMPORT_TRUNCATED, import_8bit_bitmap_bytes(&lvl, 0, b.data(), b.size() - 1, nullptr));
    EXPECT_NE(std::string::npos, log_text().find("Bitmap file is shorter than its colour table and pixels."));
}

TEST_F(import_test, eight_bit_into_a_one_palette_page_makes_a_new_palette_with_the_lowest_free_id)
{
    std::string path = write("page.bmp", valid_8bit());
    level_snapshot before(lvl);
    ASSERT_EQ(IMPORT_OK, import_8bit_bitmap(&lvl, 0, path.c_str(), nullptr));
    EXPECT_EQ((std::vector<std::string>{"Loading 8-bit texture.", " Placing in 2", "Done importing 8-bit texture."}), log_lines());
    EXPECT_EQ(5, lvl.palette_count);
    EXPECT_EQ(5, lvl.palette_table_size);
    EXPECT_EQ(2, lvl.palette_lists[0].palette_ids[0]);
    level_palette *placed = palette_with_id(&lvl, 2);
    ASSERT_NE(nullptr, placed);
    EXPECT_EQ(&lvl.palettes[4], placed);
    std::vector<colour> table = test_table(256);
    for (int i = 0; i < 256; i++) EXPECT_EQ(0, memcmp(table[i].data(), placed->entries[i], 4)) << i;
    EXPECT_EQ(0, memcmp(letter_indices().data(), lvl.textures[0].pixels, PAGE_PIXELS));  // rows bottom-up
    // The table points into the new array for every id, and the old palettes
    // kept their colours.
    for (int id : {0, 1, 3, 4}) {
        ASSERT_NE(nullptr, palette_with_id(&lvl, id));
        EXPECT_EQ(id, palette_with_id(&lvl, id)->id);
        for (const level_palette &old : before.palettes)
            if (old.id == id) {
                EXPECT_EQ(0, memcmp(old.entries, palette_with_id(&lvl, id)->entries, 1024));
            }
    }
    EXPECT_EQ(std::vector<int>{0}, changed_pages);
}

TEST_F(import_test, without_a_free_id_the_table_grows_and_a_short_colour_table_is_padded_with_zeros)
{
    // A level whose ids 0 ... 2 are all taken.
    free_test_level(&lvl);
    make_test_level(&lvl, {true}, {0, 1, 2}, {{0, {1}}});
    bytes b = valid_8bit(16);
    ASSERT_EQ(IMPORT_OK, import_8bit_bitmap_bytes(&lvl, 0, b.data(), b.size(), nullptr));
    EXPECT_EQ(4, lvl.palette_table_size);
    EXPECT_EQ(3, lvl.palette_lists[0].palette_ids[0]);
    level_palette *placed = palette_with_id(&lvl, 3);
    ASSERT_NE(nullptr, placed);
    std::vector<colour> table = test_table(16);
    for (int i = 0; i < 16; i++) EXPECT_EQ(0, memcmp(table[i].data(), placed->entries[i], 4)) << i;
    for (int i = 16; i < 256; i++)
        for (int c = 0; c < 4; c++) ASSERT_EQ(0, placed->entries[i][c]) << i;
}

TEST_F(import_test, a_page_with_several_palettes_gets_its_current_palette_overwritten_in_place)
{
    bytes b = valid_8bit();
    level_palette *shared = palette_with_id(&lvl, 3);
    ASSERT_EQ(IMPORT_OK, import_8bit_bitmap_bytes(&lvl, 2, b.data(), b.size(), nullptr));
    EXPECT_EQ(4, lvl.palette_count);                      // nothing appended
    EXPECT_EQ(shared, palette_with_id(&lvl, 3));
    EXPECT_EQ((std::vector<int32_t>{0, 3, 4}),
              std::vector<int32_t>(lvl.palette_lists[1].palette_ids, lvl.palette_lists[1].palette_ids + 3));
    std::vector<colour> table = test_table(256);
    EXPECT_EQ(0, memcmp(table[77].data(), shared->entries[77], 4));  // page 3 shows it too
    EXPECT_NE(std::string::npos, log_text().find(" Placing in 3 \n"));
}

TEST_F(import_test, only_selected_pixels_change_bounds_included)
{
    texture_name names[3] = {};
    names[0] = {"a", 2, 10, 20, 5, 3};    // covers x 10..15, y 20..23
    names[1] = {"b", 2, 100, 100, 50, 50};  // not selected
    names[2] = {"c", 2, 250, 252, 20, 20};  // clipped at the page edge
    const texture_name *pointers[3] = {&names[0], &names[1], &names[2]};
    bool selected[3] = {true, false, true};
    import_selection selection = {3, pointers, selected};
    bytes before(lvl.textures[2].pixels, lvl.textures[2].pixels + PAGE_PIXELS);
    bytes b = valid_8bit();
    ASSERT_EQ(IMPORT_OK, import_8bit_bitmap_bytes(&lvl, 2, b.data(), b.size(), &selection));
    bytes wanted = letter_indices();
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            bool inside = (x >= 10 && x <= 15 && y >= 20 && y <= 23) || (x >= 250 && y >= 252);
            ASSERT_EQ(inside ? wanted[y * 256 + x] : before[y * 256 + x], lvl.textures[2].pixels[y * 256 + x]) << x << "," << y;
        }
    // The palette changes for the whole page.
    EXPECT_EQ(0, memcmp(test_table(256)[200].data(), palette_with_id(&lvl, 3)->entries[200], 4));
}

TEST_F(import_test, eight_bit_into_a_fifteen_bit_page_gives_grey_from_red_on_the_whole_page)
{
    bool none[1] = {false};
    texture_name name = {"n", 1, 0, 0, 3, 3};
    const texture_name *pointer = &name;
    import_selection nothing_selected = {1, &pointer, none};
    bytes b = valid_8bit();
    ASSERT_EQ(IMPORT_OK, import_8bit_bitmap_bytes(&lvl, 1, b.data(), b.size(), &nothing_selected));
    std::vector<colour> table = test_table(256);
    bytes indices = letter_indices();
    const uint16_t *pixels = page_pixels16(lvl.textures[1]);
    for (int i = 0; i < PAGE_PIXELS; i++) {
        unsigned red = table[indices[i]][0];
        ASSERT_EQ((red >> 3) * 0x421, pixels[i]) << i;
    }
    EXPECT_EQ(4, lvl.palette_count);
    EXPECT_EQ(std::vector<int>{1}, changed_pages);
}

TEST_F(import_test, running_out_of_memory_for_a_new_palette_refuses_and_keeps_the_level)
{
    level_snapshot before(lvl);
    import_allocate = fail_allocation;
    bytes b = valid_8bit();
    EXPECT_EQ(IMPORT_NO_MEMORY, import_8bit_bitmap_bytes(&lvl, 0, b.data(), b.size(), nullptr));
    EXPECT_NE(std::string::npos, log_text().find(" Failed to allocate space for new palette! \n"));
    before.expect_same(lvl);
    // The table growing fails after the palette array was allocated.
    free_test_level(&lvl);
    make_test_level(&lvl, {true}, {0, 1}, {{0, {1}}});
    level_snapshot full(lvl);
    static int calls;
    calls = 0;
    import_allocate = [](size_t size) -> void * { return ++calls == 2 ? nullptr : malloc(size); };
    EXPECT_EQ(IMPORT_NO_MEMORY, import_8bit_bitmap_bytes(&lvl, 0, b.data(), b.size(), nullptr));
    full.expect_same(lvl);
    EXPECT_TRUE(changed_pages.empty());
}

TEST_F(import_test, the_table_is_rebuilt_from_every_record_and_the_new_record_wins)
{
    // Palette 1 was removed as unused: its record stays, its table entry is
    // null. Placing a new palette takes id 1; the new record wins the id.
    // Palette 4 was removed too; it gets its entry back.
    lvl.palette_table[1] = nullptr;
    lvl.palette_table[4] = nullptr;
    bytes b = valid_8bit();
    ASSERT_EQ(IMPORT_OK, import_8bit_bitmap_bytes(&lvl, 4, b.data(), b.size(), nullptr));  // page 4 has no list
    EXPECT_EQ(5, lvl.palette_count);
    EXPECT_EQ(&lvl.palettes[4], palette_with_id(&lvl, 1));
    EXPECT_EQ(&lvl.palettes[3], palette_with_id(&lvl, 4));
    EXPECT_EQ(nullptr, palette_with_id(&lvl, 2));
}

TEST_F(import_test, a_removed_palette_at_the_current_slot_gets_its_entry_back_and_is_overwritten)
{
    level_palette *removed = &lvl.palettes[2];  // id 3, named by page 2's current slot
    lvl.palette_table[3] = nullptr;
    bytes b = valid_8bit();
    ASSERT_EQ(IMPORT_OK, import_8bit_bitmap_bytes(&lvl, 2, b.data(), b.size(), nullptr));
    EXPECT_EQ(4, lvl.palette_count);
    EXPECT_EQ(removed, palette_with_id(&lvl, 3));
    EXPECT_EQ(0, memcmp(test_table(256)[5].data(), removed->entries[5], 4));
}

TEST_F(import_test, placement_options_force_a_new_or_the_current_palette)
{
    bytes b = valid_8bit();
    ASSERT_EQ(IMPORT_OK, import_8bit_bitmap_bytes(&lvl, 2, b.data(), b.size(), nullptr, IMPORT_PLACE_NEW));
    EXPECT_EQ(5, lvl.palette_count);
    EXPECT_EQ(2, lvl.palette_lists[1].palette_ids[1]);
    ASSERT_EQ(IMPORT_OK, import_8bit_bitmap_bytes(&lvl, 0, b.data(), b.size(), nullptr, IMPORT_PLACE_CURRENT));
    EXPECT_EQ(5, lvl.palette_count);
    EXPECT_EQ(1, lvl.palette_lists[0].palette_ids[0]);
    // A slot naming a palette the level lacks gets a palette with that id.
    lvl.palette_lists[2].palette_ids[0] = 9;
    ASSERT_EQ(IMPORT_OK, import_8bit_bitmap_bytes(&lvl, 3, b.data(), b.size(), nullptr, IMPORT_PLACE_CURRENT));
    EXPECT_EQ(6, lvl.palette_count);
    ASSERT_NE(nullptr, palette_with_id(&lvl, 9));
    EXPECT_EQ(9, lvl.palette_lists[2].palette_ids[0]);
}

// ---- selection mask ----------------------------------------------------------

TEST(selection_mask, inclusive_bounds_clipping_and_unselected_names)
{
    std::vector<unsigned char> mask(PAGE_PIXELS, 7);
    build_selection_mask(mask.data(), nullptr);
    for (unsigned char m : mask) ASSERT_EQ(1, m);
    texture_name names[4] = {};
    names[0] = {"a", 0, 0, 0, 0, 0};          // one pixel
    names[1] = {"b", 0, 255, 200, 255, 255};  // reaches past the page
    names[2] = {"c", 0, 50, 50, 10, 10};      // not selected
    names[3] = {"d", 0, 52, 52, 2, 1};        // overlaps c
    const texture_name *pointers[4] = {&names[0], &names[1], &names[2], &names[3]};
    bool selected[4] = {true, true, false, true};
    import_selection selection = {4, pointers, selected};
    build_selection_mask(mask.data(), &selection);
    int count = 0;
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            bool inside = (x == 0 && y == 0) || (x == 255 && y >= 200) || (x >= 52 && x <= 54 && y >= 52 && y <= 53);
            ASSERT_EQ(inside ? 1 : 0, mask[y * 256 + x]) << x << "," << y;
            count += inside;
        }
    EXPECT_EQ(1 + 56 + 6, count);
    import_selection empty = {0, nullptr, nullptr};
    build_selection_mask(mask.data(), &empty);
    for (unsigned char m : mask) ASSERT_EQ(0, m);
}

// ---- true-colour importer -------------------------------------------------------

namespace {
uint16_t pack15(const unsigned char *rgb) { return (uint16_t)((rgb[2] >> 3) + ((rgb[1] >> 3) << 5) + ((rgb[0] >> 3) << 10)); }
}

TEST_F(import_test, true_colour_into_a_fifteen_bit_page_packs_every_pixel)
{
    std::vector<unsigned char> rgb = make_letter_picture(256, 256);
    rgb[0] = rgb[1] = rgb[2] = 0x84;  // would be near the transparent key's colour
    std::string path = folder + "/picture.bmp";
    ASSERT_TRUE(save_picture(path, rgb, 256, 256));
    ASSERT_EQ(IMPORT_OK, import_truecolour_image(&lvl, 1, path.c_str(), nullptr));
    const uint16_t *pixels = page_pixels16(lvl.textures[1]);
    for (int i = 0; i < PAGE_PIXELS; i++) {
        ASSERT_EQ(pack15(&rgb[i * 3]), pixels[i]) << i;
        ASSERT_EQ(0, pixels[i] & 0x8000);
    }
    EXPECT_EQ((std::vector<std::string>{"Loading 15-bit texture.", "Importing to 15-bit image", "Successfully imported."}), log_lines());
    EXPECT_EQ(std::vector<int>{1}, changed_pages);
}

TEST_F(import_test, larger_images_are_cropped_and_smaller_ones_filled_with_black)
{
    std::vector<unsigned char> big = make_letter_picture(300, 280);
    std::string path = folder + "/big.bmp";
    ASSERT_TRUE(save_picture(path, big, 300, 280));
    ASSERT_EQ(IMPORT_OK, import_truecolour_image(&lvl, 1, path.c_str(), nullptr));
    const uint16_t *pixels = page_pixels16(lvl.textures[1]);
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) ASSERT_EQ(pack15(&big[(y * 300 + x) * 3]), pixels[y * 256 + x]);

    std::vector<unsigned char> small = make_letter_picture(100, 60);
    path = folder + "/small.bmp";
    ASSERT_TRUE(save_picture(path, small, 100, 60));
    ASSERT_EQ(IMPORT_OK, import_truecolour_image(&lvl, 1, path.c_str(), nullptr));
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++)
            ASSERT_EQ(x < 100 && y < 60 ? pack15(&small[(y * 100 + x) * 3]) : 0, pixels[y * 256 + x]) << x << "," << y;
}

TEST_F(import_test, other_formats_allegro_reads_import_the_same)
{
    std::vector<unsigned char> rgb = make_letter_picture(256, 256);
    for (const char *name : {"p.tga", "p.pcx"}) {
        std::string path = folder + "/" + name;
        ASSERT_TRUE(save_picture(path, rgb, 256, 256)) << name;
        memset(lvl.textures[1].pixels, 0, PAGE_PIXELS * 2);
        ASSERT_EQ(IMPORT_OK, import_truecolour_image(&lvl, 1, path.c_str(), nullptr)) << name;
        const uint16_t *pixels = page_pixels16(lvl.textures[1]);
        for (int i = 0; i < PAGE_PIXELS; i++) ASSERT_EQ(pack15(&rgb[i * 3]), pixels[i]) << name << " " << i;
    }
}

TEST_F(import_test, a_file_allegro_cannot_read_changes_nothing)
{
    level_snapshot before(lvl);
    std::string path = write("junk.bmp", bytes(500, 0x42));
    EXPECT_EQ(IMPORT_CANNOT_OPEN, import_truecolour_image(&lvl, 0, path.c_str(), nullptr));
    EXPECT_EQ(IMPORT_CANNOT_OPEN, import_truecolour_image(&lvl, 1, path.c_str(), nullptr));
    EXPECT_EQ(IMPORT_CANNOT_OPEN, import_truecolour_image(&lvl, 0, (folder + "/missing.bmp").c_str(), nullptr));
    before.expect_same(lvl);
    EXPECT_EQ((std::vector<std::string>{"Loading 15-bit texture.", " Importing to 8-bit image.", "Loading 15-bit texture.",
                                        "Importing to 15-bit image", "Loading 15-bit texture.", " Importing to 8-bit image."}),
              log_lines());
}

namespace {
// What the quantiser gives for an RGB picture with only the masked pixels
// kept (others black): the palette and the index of every masked pixel.
void expected_quantisation(const std::vector<unsigned char> &rgb, const std::vector<unsigned char> &mask,
                           level_palette *palette, std::vector<int> *indices)
{
    std::vector<unsigned char> bgr(PAGE_PIXELS * 3, 0);
    for (int i = 0; i < PAGE_PIXELS; i++)
        if (mask[i]) bgr[i * 3] = rgb[i * 3 + 2], bgr[i * 3 + 1] = rgb[i * 3 + 1], bgr[i * 3 + 2] = rgb[i * 3];
    quant_init(bgr.data(), (int)bgr.size(), 1);
    quant_learn();
    quant_unbias();
    quant_store_palette(palette);
    quant_build_index();
    indices->assign(PAGE_PIXELS, -1);
    for (int i = 0; i < PAGE_PIXELS; i++)
        if (mask[i]) (*indices)[i] = quant_lookup(bgr[i * 3], bgr[i * 3 + 1], bgr[i * 3 + 2]);
}
}  // namespace

TEST_F(import_test, true_colour_into_a_paletted_page_quantises_into_a_new_palette)
{
    std::vector<unsigned char> rgb = make_letter_picture(256, 256);
    std::string path = folder + "/letter.bmp";
    ASSERT_TRUE(save_picture(path, rgb, 256, 256));
    bool eight_bit = true;
    ASSERT_EQ(IMPORT_OK, import_chosen_file(&lvl, 0, path.c_str(), &eight_bit));
    EXPECT_FALSE(eight_bit);
    EXPECT_TRUE(level_changed);
    EXPECT_EQ(folder + "/", std::string(prefs.import_directory));
    EXPECT_EQ((std::vector<std::string>{"Bitmap is not 8-bit.", "Loading 15-bit texture.", " Importing to 8-bit image.",
                                        " Placing new palette in 2.", "Successfully imported.", "Finished importing image."}),
              log_lines());
    EXPECT_EQ(2, lvl.palette_lists[0].palette_ids[0]);
    EXPECT_EQ(5, lvl.palette_count);
    level_palette expected;
    std::vector<int> indices;
    expected_quantisation(rgb, std::vector<unsigned char>(PAGE_PIXELS, 1), &expected, &indices);
    const level_palette *placed = palette_with_id(&lvl, 2);
    ASSERT_NE(nullptr, placed);
    EXPECT_EQ(0, memcmp(expected.entries, placed->entries, sizeof expected.entries));
    for (int i = 0; i < PAGE_PIXELS; i++) ASSERT_EQ(indices[i], lvl.textures[0].pixels[i]) << i;
    // And the result looks like the picture: the letter is red, the ground blue.
    const unsigned char *letter = placed->entries[lvl.textures[0].pixels[100 * 256 + 50]];
    const unsigned char *ground = placed->entries[lvl.textures[0].pixels[200 * 256 + 200]];
    EXPECT_GT(letter[0], 180);
    EXPECT_LT(letter[2], 60);
    EXPECT_GT(ground[2], 140);
    EXPECT_LT(ground[0], 60);
    EXPECT_EQ(std::vector<int>{0}, changed_pages);
}

TEST_F(import_test, true_colour_into_selected_textures_trains_on_the_selection_and_keeps_the_rest)
{
    std::vector<unsigned char> rgb = make_letter_picture(256, 256);
    std::string path = folder + "/letter.bmp";
    ASSERT_TRUE(save_picture(path, rgb, 256, 256));
    bool eight_bit = true;
    bytes before(lvl.textures[2].pixels, lvl.textures[2].pixels + PAGE_PIXELS);
    EXPECT_EQ(IMPORT_NEEDS_SELECTION, import_chosen_file(&lvl, 2, path.c_str(), &eight_bit));
    EXPECT_FALSE(eight_bit);
    EXPECT_FALSE(level_changed);
    EXPECT_TRUE(before == bytes(lvl.textures[2].pixels, lvl.textures[2].pixels + PAGE_PIXELS));
    EXPECT_EQ((std::vector<std::string>{"Bitmap is not 8-bit.", "Finished importing image."}), log_lines());

    texture_name names[2] = {};
    names[0] = {"top", 2, 30, 20, 60, 40};
    names[1] = {"off", 2, 150, 150, 30, 30};
    const texture_name *pointers[2] = {&names[0], &names[1]};
    bool selected[2] = {true, false};
    import_selection selection = {2, pointers, selected};
    ASSERT_EQ(IMPORT_OK, import_selected_textures(&lvl, 2, path.c_str(), eight_bit, &selection));
    EXPECT_TRUE(level_changed);
    EXPECT_EQ(4, lvl.palette_count);  // palette 3 overwritten in place
    std::vector<unsigned char> mask(PAGE_PIXELS);
    build_selection_mask(mask.data(), &selection);
    level_palette expected;
    std::vector<int> indices;
    expected_quantisation(rgb, mask, &expected, &indices);
    EXPECT_EQ(0, memcmp(expected.entries, palette_with_id(&lvl, 3)->entries, sizeof expected.entries));
    for (int i = 0; i < PAGE_PIXELS; i++)
        ASSERT_EQ(mask[i] ? indices[i] : before[i], lvl.textures[2].pixels[i]) << i;
}

TEST_F(import_test, true_colour_out_of_memory_for_the_palette_keeps_the_level)
{
    std::vector<unsigned char> rgb = make_letter_picture(256, 256);
    std::string path = folder + "/letter.bmp";
    ASSERT_TRUE(save_picture(path, rgb, 256, 256));
    level_snapshot before(lvl);
    import_allocate = fail_allocation;
    EXPECT_EQ(IMPORT_NO_MEMORY, import_truecolour_image(&lvl, 0, path.c_str(), nullptr));
    EXPECT_NE(std::string::npos, log_text().find(" Failed to allocate space for new palette. \n"));
    EXPECT_EQ(std::string::npos, log_text().find("Successfully imported."));
    before.expect_same(lvl);
    EXPECT_TRUE(changed_pages.empty());
}

TEST_F(import_test, a_page_without_pixels_gets_them)
{
    std::vector<unsigned char> rgb = make_letter_picture(256, 256);
    std::string path = folder + "/letter.bmp";
    ASSERT_TRUE(save_picture(path, rgb, 256, 256));
    free(lvl.textures[1].pixels);
    lvl.textures[1].pixels = nullptr;
    ASSERT_EQ(IMPORT_OK, import_truecolour_image(&lvl, 1, path.c_str(), nullptr));
    ASSERT_NE(nullptr, lvl.textures[1].pixels);
    EXPECT_EQ(pack15(&rgb[300 * 3]), page_pixels16(lvl.textures[1])[300]);
}

// ---- the command after the dialog ------------------------------------------------

TEST_F(import_test, an_rle_bitmap_is_refused_by_the_eight_bit_importer_without_trying_allegro)
{
    bytes b = valid_8bit();
    put32(b, 30, 1);
    std::string path = write("rle.bmp", b);
    level_snapshot before(lvl);
    bool eight_bit = false;
    EXPECT_EQ(IMPORT_COMPRESSED, import_chosen_file(&lvl, 0, path.c_str(), &eight_bit));
    EXPECT_TRUE(eight_bit);
    EXPECT_TRUE(level_changed);  // set before the importer runs
    EXPECT_EQ((std::vector<std::string>{"Loading 8-bit texture.", "Can't load bitmaps with compression.", "Finished importing image."}),
              log_lines());
    before.expect_same(lvl);
}

TEST_F(import_test, an_eight_bit_bitmap_through_the_command_imports_directly)
{
    std::string path = write("page.bmp", valid_8bit());
    bool eight_bit = false;
    EXPECT_EQ(IMPORT_OK, import_chosen_file(&lvl, 0, path.c_str(), &eight_bit));
    EXPECT_TRUE(eight_bit);
    EXPECT_EQ((std::vector<std::string>{"Loading 8-bit texture.", " Placing in 2", "Done importing 8-bit texture.",
                                        "Finished importing image."}),
              log_lines());
    EXPECT_EQ(0, memcmp(letter_indices().data(), lvl.textures[0].pixels, PAGE_PIXELS));
}

namespace {
std::string open_answer;
int fake_open_dialog(const char *filter, char *path, int path_size, char *, int, const char *)
{
    EXPECT_EQ(0, memcmp("Bitmap Image\0*.bmp\0\0", filter, 20));
    snprintf(path, (size_t)path_size, "%s", open_answer.c_str());
    return open_answer.empty() ? 0 : 1;
}
}  // namespace

TEST_F(import_test, the_whole_command_keeps_the_file_for_the_selection_window)
{
    open_answer = "";
    EXPECT_EQ(IMPORT_CANCELLED, import_image_command(&lvl, 0, fake_open_dialog));
    EXPECT_EQ((std::vector<std::string>{"Importing image.", "Finished importing image."}), log_lines());
    EXPECT_FALSE(level_changed);

    open_answer = write("page.bmp", valid_8bit());
    start_log_capture();
    EXPECT_EQ(IMPORT_NEEDS_SELECTION, import_image_command(&lvl, 2, fake_open_dialog));
    EXPECT_EQ((std::vector<std::string>{"Importing image.", "Finished importing image."}), log_lines());
    texture_name name = {"t", 2, 0, 0, 9, 9};
    const texture_name *pointer = &name;
    bool selected[1] = {true};
    import_selection selection = {1, &pointer, selected};
    bytes before(lvl.textures[2].pixels, lvl.textures[2].pixels + PAGE_PIXELS);
    ASSERT_EQ(IMPORT_OK, import_pending_selection(&lvl, 2, &selection));
    EXPECT_TRUE(level_changed);
    bytes wanted = letter_indices();
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++)
            ASSERT_EQ(x <= 9 && y <= 9 ? wanted[y * 256 + x] : before[y * 256 + x], lvl.textures[2].pixels[y * 256 + x]);
}
