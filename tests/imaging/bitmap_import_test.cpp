// The header check, the 8-bit and true-colour importers, palette placement
// and the import command's work after the dialog.
#include <allegro.h>
#include <errno.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "level_test_support.h"
#include "app/app_state.h"
#include "app/settings.h"
#include "imaging/bitmap_import.h"
#include "imaging/neuquant.h"
#include "imaging_support.h"
#include "level/texture_store.h"

namespace {

typedef std::vector<unsigned char> bytes;
typedef std::vector<std::string> lines;

void put(bytes &b, size_t at, uint32_t v, int n = 4)
{
    for (int i = 0; i < n; i++) b[at + i] = (unsigned char)(v >> (8 * i));
}

unsigned char index_at(int i) { return (unsigned char)(((i % 256) * 3 + (i / 256) * 5) ^ (i % 256 / 16)); }
unsigned char table_byte(int i, int c) { return (unsigned char)(c == 0 ? 255 - i : c == 1 ? i * 3 : c == 2 ? i / 2 : i ^ 0x33); }
bool same_as_table(const unsigned char *entry, int i)  // red, green, blue, extra
{
    return entry[0] == table_byte(i, 0) && entry[1] == table_byte(i, 1) && entry[2] == table_byte(i, 2) && entry[3] == table_byte(i, 3);
}

// A byte-exact 256 x 256 8-bit bitmap of index_at() with `colours` table
// entries; the colours-used field is 0 for a full table.
bytes valid_8bit(int colours = 256)
{
    bytes b = {'B', 'M'};
    auto add = [&](uint32_t v, int n) { for (int i = 0; i < n; i++) b.push_back((unsigned char)(v >> (8 * i))); };
    uint32_t offset = 54 + colours * 4;
    for (uint32_t v : {offset + 65536, 0u, offset, 40u, 256u, 256u}) add(v, 4);
    add(1, 2), add(8, 2);
    for (uint32_t v : {0u, 65536u, 2835u, 2835u, colours == 256 ? 0u : (uint32_t)colours, 0u}) add(v, 4);
    for (int i = 0; i < colours; i++) b.insert(b.end(), {table_byte(i, 2), table_byte(i, 1), table_byte(i, 0), table_byte(i, 3)});
    for (int y = 255; y >= 0; y--)
        for (int x = 0; x < 256; x++) b.push_back(index_at(y * 256 + x));
    return b;
}

// Everything an import may change, to prove a refusal changed nothing.
std::vector<bytes> snapshot(const level &l)
{
    std::vector<bytes> s;
    auto add = [&](const void *p, size_t n) { s.emplace_back((const unsigned char *)p, (const unsigned char *)p + n); };
    add(&l.palette_count, sizeof l.palette_count), add(&l.palette_table_size, sizeof l.palette_table_size);
    add(&l.palettes, sizeof l.palettes), add(l.palettes, l.palette_count * sizeof(level_palette));
    add(l.palette_table, l.palette_table_size * sizeof(level_palette *));
    for (int i = 0; i < l.palette_list_count; i++) add(l.palette_lists[i].palette_ids, l.palette_lists[i].count * 4);
    for (int t = 0; t < l.texture_count; t++) add(l.textures[t].pixels, l.textures[t].paletted ? PAGE_PIXELS : PAGE_PIXELS * 2);
    return s;
}

uint16_t pack15(const unsigned char *rgb) { return (uint16_t)((rgb[2] >> 3) + ((rgb[1] >> 3) << 5) + ((rgb[0] >> 3) << 10)); }

std::vector<int> changed_pages;
void record_change(int page) { changed_pages.push_back(page); }
void *fail_allocation(size_t) { return nullptr; }

class import_test : public ::testing::Test {
protected:
    level lvl;
    settings prefs;
    std::string folder = make_temp_folder();
    log_capture log;
    void SetUp() override
    {
        // Page 0: paletted, list {1}. Page 1: 15-bit. Page 2: paletted, list
        // {0, 3, 4} at slot 1. Page 3: paletted, list {3}. Page 4: paletted,
        // no list. Palette ids 0, 1, 3, 4 exist; 2 is free.
        make_test_level(&lvl, {true, false, true, true, true}, {0, 1, 3, 4}, {{0, {1}}, {2, {0, 3, 4}}, {3, {3}}});
        lvl.textures[2].palette_slot = 1;
        memset(&prefs, 0, sizeof prefs);
        current_settings = &prefs;
        log.clear();
        level_changed = false;
        changed_pages.clear();
        page_textures_changed = record_change;
        static bool allegro = install_allegro(SYSTEM_NONE, &errno, atexit) == 0;
        ASSERT_TRUE(allegro);
        set_color_depth(32);
        set_color_conversion(COLORCONV_TOTAL);
    }
    void TearDown() override
    {
        page_textures_changed = rebuild_page_textures;
        import_allocate = malloc;
        current_settings = nullptr;
        release_level_memory(&lvl);
    }
    std::string write(const std::string &name, const bytes &b)
    {
        EXPECT_TRUE(write_file_bytes(folder + "/" + name, b));
        return folder + "/" + name;
    }
    bool logged(const std::string &line)
    {
        lines all = log.lines();
        return std::find(all.begin(), all.end(), line) != all.end();
    }
    // Saves an RGB picture through Allegro in the format the extension names.
    std::string save_picture(const std::string &name, const bytes &rgb, int width, int height)
    {
        BITMAP *bmp = create_bitmap_ex(24, width, height);
        for (int i = 0; i < width * height; i++) putpixel(bmp, i % width, i / width, makecol_depth(24, rgb[i * 3], rgb[i * 3 + 1], rgb[i * 3 + 2]));
        EXPECT_EQ(0, save_bitmap((folder + "/" + name).c_str(), bmp, nullptr));
        destroy_bitmap(bmp);
        return folder + "/" + name;
    }
    bytes page(int t) { return bytes(lvl.textures[t].pixels, lvl.textures[t].pixels + PAGE_PIXELS); }
};

}  // namespace

TEST_F(import_test, header_check_and_eight_bit_refusals_log_why_and_change_nothing)
{
    struct { size_t at; int size; uint32_t value; int code; const char *message; } faults[] = {
        {0, 1, 'X', IMPORT_NOT_BITMAP, "Not a windows bitmap."},
        {14, 4, 108, IMPORT_NOT_V3, "Can't load images without V3 header."},
        {18, 4, 128, IMPORT_NOT_256, "Bitmap must be 256x256."},
        {22, 4, (uint32_t)-256, IMPORT_NOT_256, "Bitmap must be 256x256."},  // top-down
        {28, 2, 24, IMPORT_NOT_8BIT, "Bitmap is not 8-bit."},
        {30, 4, 1, IMPORT_COMPRESSED, "Can't load bitmaps with compression."},  // the header check does not look
        {46, 4, 257, IMPORT_TOO_MANY_COLOURS, "Bitmap has too many colours."},
        {46, 4, 0xFFFFFFFF, IMPORT_TOO_MANY_COLOURS, "Bitmap has too many colours."},
    };
    std::vector<bytes> before = snapshot(lvl);
    for (const auto &f : faults) {
        SCOPED_TRACE(f.message);
        bytes b = valid_8bit();
        put(b, f.at, f.value, f.size);
        std::string path = write("fault.bmp", b);
        log.clear();
        bool header_fault = f.code <= IMPORT_NOT_8BIT;
        EXPECT_EQ(header_fault ? 1 : 0, check_8bit_bitmap(path.c_str()));
        EXPECT_EQ(header_fault ? lines{f.message} : lines{}, log.lines());
        log.clear();
        EXPECT_EQ(f.code, import_8bit_bitmap(&lvl, 0, path.c_str(), nullptr));
        EXPECT_EQ((lines{"Loading 8-bit texture.", f.message}), log.lines());
    }
    bytes b = valid_8bit();
    put(b, 18, 64), b[28] = 4;  // two faults: only the first is reported
    log.clear();
    EXPECT_EQ(1, check_8bit_bitmap(write("two.bmp", b).c_str()));
    EXPECT_EQ(lines{"Bitmap must be 256x256."}, log.lines());
    EXPECT_EQ(0, check_8bit_bitmap_bytes(valid_8bit().data(), 54));  // the header is enough
    EXPECT_EQ(1, check_8bit_bitmap_bytes(valid_8bit().data(), 53));
    EXPECT_EQ(1, check_8bit_bitmap((folder + "/missing.bmp").c_str()));
    log.clear();
    EXPECT_EQ(IMPORT_CANNOT_OPEN, import_8bit_bitmap(&lvl, 0, (folder + "/missing.bmp").c_str(), nullptr));
    EXPECT_EQ(lines{"Loading 8-bit texture."}, log.lines());
    // Cut files: the refusal of what is missing, never a read past the end.
    for (int colours : {256, 16}) {
        bytes b = valid_8bit(colours);
        const char *header = "Bitmap file is shorter than its header.", *table = "Bitmap file is shorter than its colour table and pixels.";
        struct { size_t size; int code; const char *message; } cuts[] = {
            {1, IMPORT_NOT_BITMAP, "Not a windows bitmap."}, {17, IMPORT_NOT_V3, "Can't load images without V3 header."},
            {29, IMPORT_NOT_8BIT, "Bitmap is not 8-bit."}, {40, IMPORT_TRUNCATED, header}, {53, IMPORT_TRUNCATED, header},
            {54, IMPORT_TRUNCATED, table}, {60, IMPORT_TRUNCATED, table}, {b.size() - 1, IMPORT_TRUNCATED, table}};
        for (const auto &c : cuts) {
            SCOPED_TRACE(std::to_string(colours) + " colours, " + std::to_string(c.size) + " bytes");
            bytes cut(b.begin(), b.begin() + (long)c.size);  // exact size, so ASan sees any over-read
            log.clear();
            EXPECT_EQ(c.code, import_8bit_bitmap_bytes(&lvl, 0, cut.data(), cut.size(), nullptr));
            EXPECT_EQ(lines{c.message}, log.lines());
        }
    }
    EXPECT_TRUE(before == snapshot(lvl));
    EXPECT_TRUE(changed_pages.empty());
    bytes longer = valid_8bit(16);
    longer.push_back(7);
    EXPECT_EQ(IMPORT_OK, import_8bit_bitmap_bytes(&lvl, 4, longer.data(), longer.size() - 1, nullptr));  // exact
    EXPECT_EQ(IMPORT_OK, import_8bit_bitmap_bytes(&lvl, 4, longer.data(), longer.size(), nullptr));
}

TEST_F(import_test, eight_bit_through_the_command_refuses_compression_and_repoints_the_palette_table)
{
    // A compressed 8-bit bitmap goes to the 8-bit importer, not to Allegro.
    bytes rle = valid_8bit();
    put(rle, 30, 1);
    std::vector<bytes> before = snapshot(lvl);
    bool eight_bit = false;
    EXPECT_EQ(IMPORT_COMPRESSED, import_chosen_file(&lvl, 0, write("rle.bmp", rle).c_str(), &eight_bit));
    EXPECT_TRUE(eight_bit);
    EXPECT_EQ((lines{"Loading 8-bit texture.", "Can't load bitmaps with compression.", "Finished importing image."}), log.lines());
    EXPECT_TRUE(before == snapshot(lvl));

    eight_bit = false;
    log.clear();
    ASSERT_EQ(IMPORT_OK, import_chosen_file(&lvl, 0, write("page.bmp", valid_8bit()).c_str(), &eight_bit));
    EXPECT_TRUE(eight_bit);
    EXPECT_TRUE(level_changed);
    EXPECT_EQ(folder + "/", std::string(prefs.import_directory));
    EXPECT_EQ((lines{"Loading 8-bit texture.", " Placing in 2", "Done importing 8-bit texture.", "Finished importing image."}), log.lines());
    // Indices, colour table and the lowest free id are checked byte for byte in tests/e2e.
    EXPECT_EQ(5, lvl.palette_table_size);
    for (int id : {0, 1, 2, 3, 4}) EXPECT_EQ(&lvl.palettes[id == 2 ? 4 : id < 2 ? id : id - 1], palette_with_id(&lvl, id)) << id;
    EXPECT_EQ(std::vector<int>{0}, changed_pages);
}

TEST_F(import_test, without_a_free_id_the_table_grows_and_a_short_colour_table_is_padded_with_zeros)
{
    release_level_memory(&lvl);
    make_test_level(&lvl, {true}, {0, 1, 2}, {{0, {1}}});
    bytes b = valid_8bit(16);
    ASSERT_EQ(IMPORT_OK, import_8bit_bitmap_bytes(&lvl, 0, b.data(), b.size(), nullptr));
    EXPECT_EQ(4, lvl.palette_table_size);
    EXPECT_EQ(3, lvl.palette_lists[0].palette_ids[0]);
    level_palette *placed = palette_with_id(&lvl, 3);
    ASSERT_NE(nullptr, placed);
    for (int i = 0; i < 16; i++) EXPECT_TRUE(same_as_table(placed->entries[i], i)) << i;
    EXPECT_EQ(0, memcmp(level_palette{}.entries[16], placed->entries[16], 240 * 4));
}

TEST_F(import_test, a_page_with_several_palettes_gets_its_current_palette_overwritten_and_only_selected_pixels)
{
    texture_name names[3] = {};
    names[0] = {"a", 2, 10, 20, 5, 3};      // x 10..15, y 20..23: bounds included
    names[1] = {"b", 2, 100, 100, 50, 50};  // not selected
    names[2] = {"c", 2, 250, 252, 20, 20};  // clipped at the page edge
    const texture_name *pointers[3] = {&names[0], &names[1], &names[2]};
    bool selected[3] = {true, false, true};
    import_selection selection = {3, pointers, selected};
    bytes before = page(2), b = valid_8bit();
    level_palette *shared = palette_with_id(&lvl, 3);
    ASSERT_EQ(IMPORT_OK, import_8bit_bitmap_bytes(&lvl, 2, b.data(), b.size(), &selection));
    EXPECT_EQ(4, lvl.palette_count);  // nothing appended
    EXPECT_EQ(shared, palette_with_id(&lvl, 3));
    EXPECT_EQ((std::vector<int32_t>{0, 3, 4}), std::vector<int32_t>(lvl.palette_lists[1].palette_ids, lvl.palette_lists[1].palette_ids + 3));
    EXPECT_TRUE(same_as_table(shared->entries[200], 200));  // the whole palette; page 3 shows it too
    EXPECT_TRUE(logged(" Placing in 3"));
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            bool inside = (x >= 10 && x <= 15 && y >= 20 && y <= 23) || (x >= 250 && y >= 252);
            ASSERT_EQ(inside ? index_at(y * 256 + x) : before[y * 256 + x], lvl.textures[2].pixels[y * 256 + x]) << x << "," << y;
        }
}

TEST_F(import_test, eight_bit_into_a_fifteen_bit_page_gives_grey_from_red_on_the_whole_page)
{
    bool none[1] = {false};
    texture_name name = {"n", 1, 0, 0, 3, 3};
    const texture_name *pointer = &name;
    import_selection nothing_selected = {1, &pointer, none};
    bytes b = valid_8bit();
    ASSERT_EQ(IMPORT_OK, import_8bit_bitmap_bytes(&lvl, 1, b.data(), b.size(), &nothing_selected));
    for (int i = 0; i < PAGE_PIXELS; i++) ASSERT_EQ((table_byte(index_at(i), 0) >> 3) * 0x421, page_pixels16(lvl.textures[1])[i]) << i;
    EXPECT_EQ(4, lvl.palette_count);
    EXPECT_EQ(std::vector<int>{1}, changed_pages);
}

TEST_F(import_test, running_out_of_memory_for_a_new_palette_refuses_and_keeps_the_level)
{
    std::vector<bytes> before = snapshot(lvl);
    import_allocate = fail_allocation;
    bytes b = valid_8bit();
    EXPECT_EQ(IMPORT_NO_MEMORY, import_8bit_bitmap_bytes(&lvl, 0, b.data(), b.size(), nullptr));
    EXPECT_TRUE(logged(" Failed to allocate space for new palette!"));
    EXPECT_TRUE(before == snapshot(lvl));
    std::string picture = save_picture("letter.bmp", make_letter_picture(256, 256), 256, 256);
    EXPECT_EQ(IMPORT_NO_MEMORY, import_truecolour_image(&lvl, 0, picture.c_str(), nullptr));
    EXPECT_TRUE(logged(" Failed to allocate space for new palette."));
    EXPECT_FALSE(logged("Successfully imported."));
    EXPECT_TRUE(before == snapshot(lvl));
    // Growing the table fails after the palette array was allocated.
    release_level_memory(&lvl);
    make_test_level(&lvl, {true}, {0, 1}, {{0, {1}}});
    before = snapshot(lvl);
    static int calls;
    calls = 0;
    import_allocate = [](size_t size) -> void * { return ++calls == 2 ? nullptr : malloc(size); };
    EXPECT_EQ(IMPORT_NO_MEMORY, import_8bit_bitmap_bytes(&lvl, 0, b.data(), b.size(), nullptr));
    EXPECT_TRUE(before == snapshot(lvl));
    EXPECT_TRUE(changed_pages.empty());
}

TEST_F(import_test, removed_palettes_get_their_table_entries_back_and_the_new_record_wins)
{
    // Palettes 1 and 4 were removed as unused: records kept, table entries
    // null. The new palette takes id 1; palette 4 gets its entry back.
    lvl.palette_table[1] = lvl.palette_table[4] = nullptr;
    bytes b = valid_8bit();
    ASSERT_EQ(IMPORT_OK, import_8bit_bitmap_bytes(&lvl, 4, b.data(), b.size(), nullptr));  // page 4 has no list
    EXPECT_EQ(5, lvl.palette_count);
    EXPECT_EQ(&lvl.palettes[4], palette_with_id(&lvl, 1));
    EXPECT_EQ(&lvl.palettes[3], palette_with_id(&lvl, 4));
    EXPECT_EQ(nullptr, palette_with_id(&lvl, 2));
    // A removed palette named by the current slot (id 3 on page 2) is overwritten in place.
    lvl.palette_table[3] = nullptr;
    ASSERT_EQ(IMPORT_OK, import_8bit_bitmap_bytes(&lvl, 2, b.data(), b.size(), nullptr));
    EXPECT_EQ(5, lvl.palette_count);
    EXPECT_EQ(&lvl.palettes[2], palette_with_id(&lvl, 3));
    EXPECT_TRUE(same_as_table(lvl.palettes[2].entries[5], 5));
}

TEST_F(import_test, a_current_slot_naming_a_missing_palette_gets_a_palette_with_that_id)
{
    lvl.palette_lists[1].palette_ids[1] = 9;  // page 2's current slot
    bytes b = valid_8bit();
    ASSERT_EQ(IMPORT_OK, import_8bit_bitmap_bytes(&lvl, 2, b.data(), b.size(), nullptr));
    EXPECT_EQ(5, lvl.palette_count);
    ASSERT_NE(nullptr, palette_with_id(&lvl, 9));
    EXPECT_TRUE(same_as_table(palette_with_id(&lvl, 9)->entries[7], 7));
    EXPECT_EQ(9, lvl.palette_lists[1].palette_ids[1]);
}

TEST_F(import_test, true_colour_into_a_fifteen_bit_page_packs_crops_and_fills_with_black)
{
    struct { const char *name; int width, height; } cases[] = {{"p.bmp", 256, 256}, {"big.bmp", 300, 280}, {"small.bmp", 100, 60}, {"p.tga", 256, 256}, {"p.pcx", 256, 256}};
    free(lvl.textures[1].pixels);  // a page without pixels gets them
    lvl.textures[1].pixels = nullptr;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        bytes rgb = make_letter_picture(c.width, c.height);
        rgb[0] = rgb[1] = rgb[2] = 0x84;  // near the transparent key's colour
        std::string path = save_picture(c.name, rgb, c.width, c.height);
        if (lvl.textures[1].pixels) memset(lvl.textures[1].pixels, 0xFF, PAGE_PIXELS * 2);
        log.clear();
        changed_pages.clear();
        ASSERT_EQ(IMPORT_OK, import_truecolour_image(&lvl, 1, path.c_str(), nullptr));
        EXPECT_EQ((lines{"Loading 15-bit texture.", "Importing to 15-bit image", "Successfully imported."}), log.lines());
        EXPECT_EQ(std::vector<int>{1}, changed_pages);
        const uint16_t *pixels = page_pixels16(lvl.textures[1]);
        for (int y = 0; y < 256; y++)
            for (int x = 0; x < 256; x++)
                ASSERT_EQ(x < c.width && y < c.height ? pack15(&rgb[(y * c.width + x) * 3]) : 0, pixels[y * 256 + x]) << x << "," << y;
    }
    // A file Allegro cannot read changes nothing, on either kind of page.
    std::vector<bytes> before = snapshot(lvl);
    std::string junk = write("junk.bmp", bytes(500, 0x42));
    log.clear();
    EXPECT_EQ(IMPORT_CANNOT_OPEN, import_truecolour_image(&lvl, 0, junk.c_str(), nullptr));
    EXPECT_EQ(IMPORT_CANNOT_OPEN, import_truecolour_image(&lvl, 1, junk.c_str(), nullptr));
    EXPECT_TRUE(before == snapshot(lvl));
    EXPECT_EQ((lines{"Loading 15-bit texture.", " Importing to 8-bit image.", "Loading 15-bit texture.", "Importing to 15-bit image"}), log.lines());
}

TEST_F(import_test, true_colour_into_a_paletted_page_quantises_the_selected_pixels_into_the_current_palette)
{
    bytes rgb = make_letter_picture(256, 256);
    std::string path = save_picture("letter.bmp", rgb, 256, 256);
    bool eight_bit = true;
    bytes before = page(2);
    EXPECT_EQ(IMPORT_NEEDS_SELECTION, import_chosen_file(&lvl, 2, path.c_str(), &eight_bit));
    EXPECT_FALSE(eight_bit);
    EXPECT_FALSE(level_changed);
    EXPECT_TRUE(before == page(2));
    EXPECT_EQ((lines{"Bitmap is not 8-bit.", "Finished importing image."}), log.lines());

    texture_name names[2] = {};
    names[0] = {"top", 2, 30, 20, 60, 40};
    names[1] = {"off", 2, 150, 150, 30, 30};
    const texture_name *pointers[2] = {&names[0], &names[1]};
    bool selected[2] = {true, false};
    import_selection selection = {2, pointers, selected};
    log.clear();
    ASSERT_EQ(IMPORT_OK, import_selected_textures(&lvl, 2, path.c_str(), eight_bit, &selection));
    EXPECT_TRUE(level_changed);
    EXPECT_EQ((lines{"Loading 15-bit texture.", " Importing to 8-bit image.", " Placing new palette in 3.", "Successfully imported."}), log.lines());
    EXPECT_EQ(4, lvl.palette_count);  // palette 3 overwritten in place
    // The quantiser trained on the selected pixels, the others black.
    bytes mask(PAGE_PIXELS), bgr(PAGE_PIXELS * 3, 0);
    build_selection_mask(mask.data(), &selection);
    for (int i = 0; i < PAGE_PIXELS; i++)
        if (mask[i]) bgr[i * 3] = rgb[i * 3 + 2], bgr[i * 3 + 1] = rgb[i * 3 + 1], bgr[i * 3 + 2] = rgb[i * 3];
    level_palette expected;
    quant_init(bgr.data(), (int)bgr.size(), 1);
    quant_learn();
    quant_unbias();
    quant_store_palette(&expected);
    quant_build_index();
    EXPECT_EQ(0, memcmp(expected.entries, palette_with_id(&lvl, 3)->entries, sizeof expected.entries));
    for (int i = 0; i < PAGE_PIXELS; i++)
        ASSERT_EQ(mask[i] ? quant_lookup(bgr[i * 3], bgr[i * 3 + 1], bgr[i * 3 + 2]) : before[i], lvl.textures[2].pixels[i]) << i;
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
    EXPECT_EQ((lines{"Importing image.", "Finished importing image."}), log.lines());
    EXPECT_FALSE(level_changed);

    open_answer = write("page.bmp", valid_8bit());
    log.clear();
    EXPECT_EQ(IMPORT_NEEDS_SELECTION, import_image_command(&lvl, 2, fake_open_dialog));
    EXPECT_EQ((lines{"Importing image.", "Finished importing image."}), log.lines());
    texture_name name = {"t", 2, 0, 0, 9, 9};
    const texture_name *pointer = &name;
    bool selected[1] = {true};
    import_selection selection = {1, &pointer, selected};
    bytes before = page(2);
    ASSERT_EQ(IMPORT_OK, import_pending_selection(&lvl, 2, &selection));
    EXPECT_TRUE(level_changed);
    for (int i = 0; i < PAGE_PIXELS; i++) ASSERT_EQ(i % 256 <= 9 && i / 256 <= 9 ? index_at(i) : before[i], lvl.textures[2].pixels[i]) << i;
}
