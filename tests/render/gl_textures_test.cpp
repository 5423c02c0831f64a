// The GL texture set: slot lookups, palettes that are missing, re-uploads and release.
#include "gl_test_window.h"

#include "level/texture_store.h"
#include "level_test_support.h"
#include "render/gl_textures.h"

namespace {

typedef std::vector<unsigned char> rgba;

// The colour of pixel `at` of a GL texture.
rgba texel(unsigned int name, int at)
{
    rgba all = texture_rgba(name);
    return rgba(all.begin() + at * 4, all.begin() + at * 4 + 4);
}

// Paletted pages 0 to 2 (page 0 listing palettes 0, 1, 99, -5 and 2; page 1
// an empty list; page 2 none) and a 15-bit page 3 with a corner of the
// transparent key, not flagged transparent.
struct gl_textures : testing::Test {
    level lvl = {};
    gl_texture_set set = {};
    void SetUp() override
    {
        QTE_REQUIRE_GL_WINDOW();
        byte_buffer lev = encode_level({{BLOCK_TEXTURES, encode_texture_block({make_palette(0), make_palette(1), make_palette(2)},
            {make_paletted_page(0), make_paletted_page(1), make_paletted_page(2), make_rgb15_page(3)})}});
        ASSERT_EQ(load_bytes(&lvl, lev, encode_palette_lists({{0, {0, 1, 99, -5, 2}}, {1, {}}})), LOAD_OK);
    }
    void TearDown() override
    {
        release_gl_textures(&set);
        release_level_memory(&lvl);
    }
};

}  // namespace

TEST_F(gl_textures, missing_palettes_are_logged_and_lookups_outside_the_set_answer_0)
{
    lvl.palette_table[1] = nullptr;   // a deleted palette
    log_capture log;
    build_gl_textures(&set, &lvl);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Issue with non-existant palette 1 in texture 0.",
        "Issue with non-existant palette 99 in texture 0.", "Issue with non-existant palette -5 in texture 0."}));
    struct { const gl_texture_set *set; int page, slot; bool found; } cases[] = {
        {&set, 0, 0, true}, {&set, 0, 4, true}, {&set, 0, 5, false}, {&set, 0, -1, false}, {&set, 0, 1 << 30, false},
        {&set, 1, 0, false}, {&set, 2, 0, false}, {&set, 3, 0, true}, {&set, 3, 1, false}, {&set, -1, 0, false},
        {&set, 4, 0, false}, {nullptr, 0, 0, false},
    };
    for (const auto &c : cases) EXPECT_EQ(gl_texture_for(c.set, c.page, c.slot) != 0, c.found) << c.page << " " << c.slot;
    // A slot without a palette holds what the slot before it held.
    EXPECT_EQ(texel(gl_texture_for(&set, 0, 1), 300), texel(gl_texture_for(&set, 0, 0), 300));
}

TEST_F(gl_textures, a_rebuild_refills_the_same_textures_and_reaches_nothing_beyond_them_and_a_release_deletes_them)
{
    build_gl_textures(&set, &lvl);
    unsigned int slot4 = gl_texture_for(&set, 0, 4), rgb = gl_texture_for(&set, 3, 0);
    EXPECT_EQ(texel(rgb, 0), (rgba{0, 0, 0, 0}));   // the key is transparent at load whatever the flag
    page_indices(lvl.textures[0])[300] = 200;
    lvl.palettes[2].entries[200][1] = 99;
    // A list that grew after the build has no textures for its new slots.
    palette_list &list = lvl.palette_lists[0];
    list.palette_ids = (int32_t *)realloc(list.palette_ids, 7 * sizeof(int32_t));
    list.palette_ids[5] = list.palette_ids[6] = 0;
    list.count = 7;
    for (int page = -1; page <= 4; page++) rebuild_gl_texture(&set, &lvl, page);
    EXPECT_EQ(gl_texture_for(&set, 0, 4), slot4);
    EXPECT_EQ(gl_texture_for(&set, 0, 5), 0u);
    EXPECT_EQ(texel(slot4, 300)[1], 99);
    EXPECT_EQ(texel(rgb, 0), (rgba{8, 8, 8, 255}));   // after an import only on pages flagged so
    // Building again, and releasing, delete every texture.
    build_gl_textures(&set, &lvl);
    EXPECT_FALSE(glIsTexture(slot4) || glIsTexture(rgb));
    slot4 = gl_texture_for(&set, 0, 4), rgb = gl_texture_for(&set, 3, 0);
    release_gl_textures(&set);
    EXPECT_FALSE(glIsTexture(slot4) || glIsTexture(rgb) || gl_texture_for(&set, 0, 0));
}
