// The GL texture set: which textures exist, what they hold, re-uploads and release.
#include <gtest/gtest.h>

#include "gl_test_window.h"

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "render/gl_textures.h"
#include "level/texture_store.h"
#include "level_test_support.h"

namespace {

// A level built by hand in memory: pages, palettes by id, palette lists.
struct test_level {
    level lvl;

    test_level() { memset(&lvl, 0, sizeof lvl); }
    ~test_level()
    {
        for (int i = 0; i < lvl.texture_count; i++) free(lvl.textures[i].pixels);
        free(lvl.textures);
        for (int i = 0; i < lvl.palette_list_count; i++) free(lvl.palette_lists[i].palette_ids);
        free(lvl.palette_lists);
        free(lvl.palettes);
        free(lvl.palette_table);
    }

    // Palettes with ids 0 .. n-1; entry i of palette p is (i, p * 40, 255 - i).
    void add_palettes(int n, int table_size)
    {
        lvl.palette_count = n;
        lvl.palettes = (level_palette *)calloc(n, sizeof(level_palette));
        lvl.palette_table_size = table_size;
        lvl.palette_table = (level_palette **)calloc(table_size, sizeof(level_palette *));
        for (int p = 0; p < n; p++) {
            lvl.palettes[p].id = (int16_t)p;
            for (int i = 0; i < 256; i++) {
                unsigned char *e = lvl.palettes[p].entries[i];
                e[0] = (unsigned char)i, e[1] = (unsigned char)(p * 40), e[2] = (unsigned char)(255 - i), e[3] = 7;
            }
            if (p < table_size) lvl.palette_table[p] = &lvl.palettes[p];
        }
    }

    int add_page(bool paletted, uint32_t flags)
    {
        lvl.textures = (level_texture *)realloc(lvl.textures, (lvl.texture_count + 1) * sizeof(level_texture));
        level_texture &t = lvl.textures[lvl.texture_count];
        memset(&t, 0, sizeof t);
        t.paletted = paletted;
        t.flags = flags | (paletted ? PAGE_FLAG_PALETTED : 0);
        t.transparent = (flags & PAGE_FLAG_TRANSPARENT) != 0;
        t.palette_slot = 5;          // the build must reset these
        t.palette_slot_count = 9;
        t.pixels = (unsigned char *)calloc(PAGE_PIXELS, paletted ? 1 : 2);
        return lvl.texture_count++;
    }

    void add_list(int page, std::vector<int> ids)
    {
        lvl.palette_lists = (palette_list *)realloc(lvl.palette_lists,
                                                    (lvl.palette_list_count + 1) * sizeof(palette_list));
        palette_list &l = lvl.palette_lists[lvl.palette_list_count++];
        l.texture = page;
        l.count = (int32_t)ids.size();
        l.palette_ids = (int32_t *)malloc(ids.size() * sizeof(int32_t) + 1);
        for (size_t i = 0; i < ids.size(); i++) l.palette_ids[i] = ids[i];
    }
};

// The texture's pixels, read back from GL.
std::vector<unsigned char> read_texture(unsigned int name)
{
    std::vector<unsigned char> rgba((size_t)PAGE_PIXELS * 4, 0xEE);
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return rgba;
}

std::vector<unsigned char> pixel(const std::vector<unsigned char> &rgba, int x, int y)
{
    size_t at = ((size_t)y * PAGE_SIZE + x) * 4;
    return {rgba[at], rgba[at + 1], rgba[at + 2], rgba[at + 3]};
}

typedef std::vector<unsigned char> rgba4;
class gl_textures : public testing::Test {
protected:
    void SetUp() override { QTE_REQUIRE_GL_WINDOW(); }
    gl_texture_set set = {};
    void TearDown() override { release_gl_textures(&set); }
};

}  // namespace

TEST_F(gl_textures, a_15_bit_page_answers_slot_0_only_and_its_key_is_transparent_at_load)
{
    test_level t;
    build_gl_textures(&set, &t.lvl);   // an empty level: an empty set
    EXPECT_EQ(set.count, 0);
    EXPECT_EQ(gl_texture_for(&set, 0, 0), 0u);
    int page = t.add_page(false, 0);  // not flagged transparent: the key applies anyway
    uint16_t *px = page_pixels16(t.lvl.textures[page]);
    for (int i = 0; i < PAGE_PIXELS; i++) px[i] = TRANSPARENT_KEY;
    px[1] = (uint16_t)((31 << 10) | (1 << 5) | 2);   // red-ish, top row, second column
    build_gl_textures(&set, &t.lvl);
    EXPECT_EQ(t.lvl.textures[page].palette_slot, 0);
    EXPECT_EQ(t.lvl.textures[page].palette_slot_count, -1);
    std::vector<unsigned char> rgba = read_texture(gl_texture_for(&set, page, 0));
    EXPECT_EQ(pixel(rgba, 0, 0), (rgba4{0, 0, 0, 0}));
    EXPECT_EQ(pixel(rgba, 255, 255), (rgba4{0, 0, 0, 0}));
    EXPECT_EQ(pixel(rgba, 1, 0), (rgba4{248, 8, 16, 255}));
    // Lookups outside the set answer 0.
    EXPECT_EQ(gl_texture_for(nullptr, 0, 0), 0u);
    EXPECT_EQ(gl_texture_for(&set, page, 1), 0u);
    EXPECT_EQ(gl_texture_for(&set, -1, 0), 0u);
    EXPECT_EQ(gl_texture_for(&set, 1, 0), 0u);
    EXPECT_EQ(gl_texture_for(&set, 0, -1), 0u);
    EXPECT_EQ(gl_texture_for(&set, 0, 1 << 30), 0u);
}

TEST_F(gl_textures, a_paletted_page_has_one_texture_per_slot_of_its_list)
{
    test_level t;
    t.add_palettes(4, 4);
    int listed = t.add_page(true, PAGE_FLAG_TRANSPARENT);   // never transparent in GL
    int unlisted = t.add_page(true, 0);
    unsigned char *idx = page_indices(t.lvl.textures[listed]);
    for (int i = 0; i < PAGE_PIXELS; i++) idx[i] = (unsigned char)(i % 251);
    t.add_list(listed, {3, 1, 3});   // slot 2 repeats slot 0's palette
    build_gl_textures(&set, &t.lvl);

    EXPECT_EQ(t.lvl.textures[listed].palette_slot_count, 3);
    EXPECT_EQ(t.lvl.textures[unlisted].palette_slot_count, -1);
    EXPECT_EQ(t.lvl.textures[unlisted].palette_slot, 0);
    unsigned int names[3];
    for (int slot = 0; slot < 3; slot++) {
        names[slot] = gl_texture_for(&set, listed, slot);
        ASSERT_NE(names[slot], 0u) << slot;
    }
    EXPECT_NE(names[0], names[2]);
    EXPECT_EQ(gl_texture_for(&set, listed, 3), 0u);
    for (int slot = 0; slot < 3; slot++) EXPECT_EQ(gl_texture_for(&set, unlisted, slot), 0u);
    // Pixel 300 is index 300 % 251 = 49.
    EXPECT_EQ(pixel(read_texture(names[0]), 300 % 256, 300 / 256), (rgba4{49, 120, 206, 255}));
    EXPECT_EQ(pixel(read_texture(names[1]), 300 % 256, 300 / 256), (rgba4{49, 40, 206, 255}));
    EXPECT_EQ(read_texture(names[2]), read_texture(names[0]));
}

TEST_F(gl_textures, palette_ids_without_a_palette_are_logged_and_never_read)
{
    log_capture capture;
    test_level t;
    t.add_palettes(6, 3);                         // ids 3 to 5 lie outside the table
    t.lvl.palette_table[1] = nullptr;             // a deleted palette
    int page = t.add_page(true, 0);
    page_indices(t.lvl.textures[page])[0] = 10;
    // Ids outside the table either way, a deleted one, then a good one.
    t.add_list(page, {0, 1, 99, -5, 2});
    int empty = t.add_page(true, 0);
    t.add_list(empty, {});
    int negative = t.add_page(true, 0);
    t.add_list(negative, {});
    t.lvl.palette_lists[2].count = -3;            // hostile count
    build_gl_textures(&set, &t.lvl);
    std::vector<std::string> issues;
    for (const std::string &line : capture.lines())
        if (line.find("palette") != std::string::npos) issues.push_back(line);
    EXPECT_EQ(issues, (std::vector<std::string>{"Issue with non-existant palette 1 in texture 0.",
                                                "Issue with non-existant palette 99 in texture 0.",
                                                "Issue with non-existant palette -5 in texture 0."}));

    // The textures exist anyway and hold what the buffer held: slot 1 repeats slot 0.
    for (int slot = 0; slot < 5; slot++) EXPECT_NE(gl_texture_for(&set, page, slot), 0u) << slot;
    EXPECT_EQ(read_texture(gl_texture_for(&set, page, 1)), read_texture(gl_texture_for(&set, page, 0)));
    EXPECT_EQ(gl_texture_for(&set, empty, 0), 0u);
    EXPECT_EQ(gl_texture_for(&set, negative, 0), 0u);
    EXPECT_EQ(t.lvl.textures[empty].palette_slot_count, 0);
}

TEST_F(gl_textures, a_rebuild_shows_the_changed_pixels_and_never_reaches_outside_the_set)
{
    test_level t;
    t.add_palettes(2, 2);
    int plain = t.add_page(false, 0);
    int keyed = t.add_page(false, PAGE_FLAG_TRANSPARENT);
    int paletted = t.add_page(true, 0);
    int unlisted = t.add_page(true, 0);
    t.add_list(paletted, {0, 1});
    build_gl_textures(&set, &t.lvl);
    unsigned int plain_name = gl_texture_for(&set, plain, 0);
    unsigned int pal1_name = gl_texture_for(&set, paletted, 1);
    page_pixels16(t.lvl.textures[plain])[0] = TRANSPARENT_KEY;
    page_pixels16(t.lvl.textures[keyed])[0] = TRANSPARENT_KEY;
    page_indices(t.lvl.textures[paletted])[256] = 200;    // second row
    t.lvl.palettes[1].entries[200][1] = 99;
    for (int page = 0; page < 3; page++) rebuild_gl_texture(&set, &t.lvl, page);
    // The same names, new contents; the key follows the flag after load.
    EXPECT_EQ(gl_texture_for(&set, plain, 0), plain_name);
    EXPECT_EQ(gl_texture_for(&set, paletted, 1), pal1_name);
    EXPECT_EQ(pixel(read_texture(plain_name), 0, 0), (rgba4{8, 8, 8, 255}));
    EXPECT_EQ(pixel(read_texture(gl_texture_for(&set, keyed, 0)), 0, 0), (rgba4{0, 0, 0, 0}));
    EXPECT_EQ(pixel(read_texture(pal1_name), 0, 1), (rgba4{200, 99, 55, 255}));
    EXPECT_EQ(pixel(read_texture(gl_texture_for(&set, paletted, 0)), 0, 1), (rgba4{200, 0, 55, 255}));

    // Lists that grew after the build, or appeared: no texture to fill.
    free(t.lvl.palette_lists[0].palette_ids);
    t.lvl.palette_lists[0].palette_ids = (int32_t *)calloc(3, sizeof(int32_t));
    t.lvl.palette_lists[0].count = 3;
    rebuild_gl_texture(&set, &t.lvl, paletted);
    EXPECT_EQ(gl_texture_for(&set, paletted, 2), 0u);
    t.add_list(unlisted, {1});
    rebuild_gl_texture(&set, &t.lvl, unlisted);
    EXPECT_EQ(gl_texture_for(&set, unlisted, 0), 0u);
    rebuild_gl_texture(&set, &t.lvl, -1);
    rebuild_gl_texture(&set, &t.lvl, 4);
}

TEST_F(gl_textures, release_deletes_every_texture_and_freeing_the_arrays_keeps_them)
{
    test_level t;
    t.add_palettes(2, 2);
    t.add_page(false, 0);
    t.add_list(t.add_page(true, 0), {0, 1});
    auto all = [&] { return std::vector<unsigned int>{gl_texture_for(&set, 0, 0), gl_texture_for(&set, 1, 0),
                                                      gl_texture_for(&set, 1, 1)}; };
    build_gl_textures(&set, &t.lvl);
    std::vector<unsigned int> names = all();
    build_gl_textures(&set, &t.lvl);   // building again releases the previous textures first
    for (unsigned int n : names) EXPECT_FALSE(glIsTexture(n));
    names = all();
    gl_texture_set copy = set;
    free_gl_texture_arrays(&copy);
    EXPECT_EQ(copy.gl_names, nullptr);
    for (unsigned int n : names) EXPECT_TRUE(glIsTexture(n));
    for (unsigned int n : names) glDeleteTextures(1, &n);
    set = {};
    build_gl_textures(&set, &t.lvl);
    names = all();
    release_gl_textures(&set);
    EXPECT_EQ(set.count, 0);
    EXPECT_EQ(set.slot_counts, nullptr);
    for (unsigned int n : names) EXPECT_FALSE(glIsTexture(n));
    release_gl_textures(&set);   // twice is harmless
}

// The importer's tests call rebuild_gl_texture without any GL context.
TEST(gl_textures_without_gl, a_rebuild_outside_the_set_touches_nothing)
{
    test_level t;
    t.add_page(false, 0);
    gl_texture_set empty = {};
    rebuild_gl_texture(nullptr, &t.lvl, 0);
    rebuild_gl_texture(&empty, &t.lvl, 0);
    rebuild_gl_texture(&empty, nullptr, 0);
    EXPECT_EQ(gl_texture_for(&empty, 0, 0), 0u);
    release_gl_textures(&empty);
    free_gl_texture_arrays(nullptr);
    release_gl_textures(nullptr);
}
