// The demo level and the benchmark level load, hold what they promise, and write back unchanged.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <set>
#include <string>

#include "demo/demo_level.h"
#include "level/level.h"
#include "level/level_writer.h"
#include "level_test_support.h"
#include "test_support.h"

namespace {

int kind_of(int type)
{
    if (type < 0 || type > 55) return -1;
    int t = type & ~32;
    if (t <= 7) return t;
    if (t >= 16 && t <= 23) return 8 + (t - 16);
    return -1;
}

bool textured_kind(int kind) { return (kind >= 4 && kind <= 7) || kind >= 12; }

// The demo level as the build wrote it (generating it takes a while in a
// debug build); made here only when the files are missing.
const sample_level &demo()
{
    static sample_level made;
    if (made.lev.empty()) {
        made.lev = read_file_bytes(binary_path("demo/demo.lev"));
        made.d3d = read_file_bytes(binary_path("demo/demo.d3d"));
        if (made.lev.empty() || made.d3d.empty()) made = make_demo_level();
    }
    return made;
}

struct loaded_level {
    level lvl;
    loaded_level(const sample_level &s) { EXPECT_EQ(load_bytes(&lvl, s.lev, s.d3d), LOAD_OK) << load_failure_reason(); }
    ~loaded_level() { release_level_memory(&lvl); }
};

const palette_list *list_for(const level &l, int page)
{
    for (int i = 0; i < l.palette_list_count; i++)
        if (l.palette_lists[i].texture == page) return &l.palette_lists[i];
    return nullptr;
}

// Every polygon of a model list is safe, names pages the level has, and
// those pages are in its model's texture list.
void expect_sound_models(const level &l, const model *list, int count)
{
    for (int m = 0; m < count; m++) {
        const model &md = list[m];
        int source = model_vertex_source(list, count, m);
        ASSERT_GE(source, 0) << "model " << m;
        EXPECT_GT(md.radius, 0.0f);
        EXPECT_GT(md.polygon_count, 0);
        for (int t = 0; t < md.textures_used_count; t++) EXPECT_LT(md.textures_used[t], l.texture_count);
        for (int p = 0; p < md.polygon_count; p++) {
            const model_polygon &poly = md.polygons[p];
            int kind = kind_of(poly.type);
            ASSERT_GE(kind, 0) << "model " << m << " polygon " << p;
            EXPECT_NE(kind, 2);
            EXPECT_NE(kind, 3);
            EXPECT_FALSE(poly.unsafe) << "model " << m << " polygon " << p;
            int corners = kind % 2 ? 4 : 3;
            for (int k = 0; k < corners; k++) EXPECT_LT(poly.corners[k], list[source].vertex_count);
            if (textured_kind(kind)) {
                EXPECT_TRUE(poly.textured);
                EXPECT_LT(poly.texture, l.texture_count);
                bool listed = false;
                for (int t = 0; t < md.textures_used_count; t++) listed |= md.textures_used[t] == poly.texture;
                EXPECT_TRUE(listed) << "model " << m << " polygon " << p << " page " << poly.texture;
            }
        }
    }
}

}  // namespace

TEST(demo_level, build_writes_the_generator_output)
{
    // The build runs make_demo_level; its files are what the function makes
    // (so the function makes the same bytes every time).
    sample_level made = make_demo_level();
    EXPECT_TRUE(read_file_bytes(binary_path("demo/demo.lev")) == made.lev);
    EXPECT_TRUE(read_file_bytes(binary_path("demo/demo.d3d")) == made.d3d);
}

TEST(demo_level, loads_from_its_files_with_every_block_logged)
{
    FILE *lev = fopen(binary_path("demo/demo.lev").c_str(), "rb");
    FILE *d3d = fopen(binary_path("demo/demo.d3d").c_str(), "rb");
    ASSERT_TRUE(lev && d3d);
    level l;
    memset(&l, 0, sizeof l);
    log_capture log;
    testing::internal::CaptureStdout();
    int result = load_level(&l, lev, d3d, LOAD_ALL);
    std::string console = testing::internal::GetCapturedStdout();
    fclose(lev);
    fclose(d3d);
    ASSERT_EQ(result, LOAD_OK) << load_failure_reason();
    std::vector<std::string> lines = log.lines();
    for (const char *expected : {"Loading textures.", "Finished loading textures.", "Loading world.",
                                 "Finished loading world.", "Loading texture names.", "Finished loading texture names.",
                                 "Loading model names.", "Finished loading model names.", "Loading event models.",
                                 "Number of event models: 3", "Finished event models.", "Parsing d3d.",
                                 "Finished parsing d3d."})
        EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
    // No polygon of an unsupported kind.
    EXPECT_EQ(console.find("unimplemented"), std::string::npos);
    EXPECT_EQ(l.load_mask, LOAD_ALL);
    release_level_memory(&l);
}

TEST(demo_level, pages_come_in_both_formats_with_their_flags)
{
    loaded_level d(demo());
    const level &l = d.lvl;
    ASSERT_EQ(l.texture_count, DEMO_PAGE_COUNT);
    EXPECT_GE(DEMO_PAGE_COUNT, 24);
    int paletted = 0;
    for (int t = 0; t < l.texture_count; t++) {
        const level_texture &page = l.textures[t];
        EXPECT_EQ(page.paletted, t % 2 == 0) << t;
        paletted += page.paletted;
        uint16_t car = (uint16_t)(page.flags >> 16);
        EXPECT_EQ(car, t == DEMO_CAR_PAGE ? DEMO_CAR_INDEX : t == 21 ? 5 : 0xFFFF) << t;
        if (page.paletted) continue;
        int keys = 0;
        for (int i = 0; i < PAGE_PIXELS; i++) keys += page_pixels16(page)[i] == TRANSPARENT_KEY;
        // Only the two cut-out pages hold the key, and only they are flagged.
        bool cut_out = t == DEMO_TRANSPARENT_PAGE || t == 15;
        EXPECT_EQ(page.transparent, cut_out) << t;
        EXPECT_EQ(keys > 1000, cut_out) << t;
        if (!cut_out) {
            EXPECT_EQ(keys, 0) << t;
        }
    }
    EXPECT_EQ(paletted, DEMO_PALETTED_PAGE_COUNT);
}

TEST(demo_level, pictures_are_colourful_and_asymmetric)
{
    // A page equal to its mirror image or its upside-down self would hide
    // flipped rows or columns; a grey page would hide swapped channels.
    loaded_level d(demo());
    const level &l = d.lvl;
    for (int t = 0; t < l.texture_count; t++) {
        const level_texture &page = l.textures[t];
        int size = page.paletted ? 1 : 2;
        const unsigned char *px = page.pixels;
        bool mirror_equal = true, flip_equal = true;
        for (int y = 0; y < 256 && (mirror_equal || flip_equal); y++)
            for (int x = 0; x < 256; x++) {
                if (memcmp(px + (y * 256 + x) * size, px + (y * 256 + 255 - x) * size, size) != 0) mirror_equal = false;
                if (memcmp(px + (y * 256 + x) * size, px + ((255 - y) * 256 + x) * size, size) != 0) flip_equal = false;
            }
        EXPECT_FALSE(mirror_equal) << t;
        EXPECT_FALSE(flip_equal) << t;

        std::vector<unsigned char> picture = demo_page_picture(t);
        ASSERT_EQ(picture.size(), 256u * 256u * 3u);
        int coloured = 0;
        for (size_t i = 0; i < picture.size(); i += 3) {
            int r = picture[i], g = picture[i + 1], b = picture[i + 2];
            coloured += r != g || g != b;
        }
        EXPECT_GT(coloured, 2000) << t;
    }
}

TEST(demo_level, palettes_and_palette_lists)
{
    loaded_level d(demo());
    const level &l = d.lvl;
    EXPECT_EQ(l.palette_count, DEMO_PALETTE_COUNT);
    EXPECT_EQ(l.palette_table_size, DEMO_LARGEST_PALETTE_ID + 1);
    // Ids are scattered: the table has gaps.
    int present = 0;
    for (int id = 0; id < l.palette_table_size; id++) present += l.palette_table[id] != nullptr;
    EXPECT_EQ(present, DEMO_PALETTE_COUNT);

    std::set<int> listed_ids;
    for (int t = 0; t < l.texture_count; t++) {
        const palette_list *list = list_for(l, t);
        if (!l.textures[t].paletted || t == DEMO_UNLISTED_PAGE) {
            EXPECT_EQ(list, nullptr) << t;
            continue;
        }
        ASSERT_NE(list, nullptr) << t;
        int expected = t == DEMO_THREE_PALETTE_PAGE ? 3 : t == DEMO_TWO_PALETTE_PAGE ? 2 : 1;
        ASSERT_EQ(list->count, expected) << t;
        for (int s = 0; s < list->count; s++) {
            int id = list->palette_ids[s];
            ASSERT_TRUE(id >= 0 && id < l.palette_table_size && l.palette_table[id]) << t;
            listed_ids.insert(id);
        }
    }
    // The three palettes of the brick page colour the same indices differently.
    const palette_list *bricks = list_for(l, DEMO_THREE_PALETTE_PAGE);
    ASSERT_NE(bricks, nullptr);
    const level_palette *slot[3];
    for (int s = 0; s < 3; s++) slot[s] = l.palette_table[bricks->palette_ids[s]];
    EXPECT_NE(memcmp(slot[0]->entries, slot[1]->entries, sizeof slot[0]->entries), 0);
    EXPECT_NE(memcmp(slot[0]->entries, slot[2]->entries, sizeof slot[0]->entries), 0);
    EXPECT_NE(memcmp(slot[1]->entries, slot[2]->entries, sizeof slot[0]->entries), 0);
    // Two palettes no list names: the unlisted page's and a spare one.
    EXPECT_EQ((int)listed_ids.size(), DEMO_PALETTE_COUNT - 2);
    EXPECT_EQ(l.palette_list_count, DEMO_PALETTED_PAGE_COUNT - 1);
}

TEST(demo_level, names_of_textures_and_models)
{
    loaded_level d(demo());
    const level &l = d.lvl;
    ASSERT_GT(l.texture_name_count, DEMO_PAGE_COUNT / 2);
    int eight = 0;
    std::set<int> named_pages;
    for (int i = 0; i < l.texture_name_count; i++) {
        const texture_name &n = l.texture_names[i];
        size_t length = strlen(n.name);
        EXPECT_GT(length, 0u);
        if (length == 8) {
            eight++;
            EXPECT_STREQ(n.name, DEMO_LONG_TEXTURE_NAME);
        }
        EXPECT_LT(n.texture, l.texture_count);
        EXPECT_LE(n.x + n.w, 256) << n.name;
        EXPECT_LE(n.y + n.h, 256) << n.name;
        EXPECT_GT(n.w, 0);
        EXPECT_GT(n.h, 0);
        named_pages.insert(n.texture);
    }
    EXPECT_GE(eight, 1);
    // The three-palette page has several named rectangles (for the texture selector).
    int on_bricks = 0;
    for (int i = 0; i < l.texture_name_count; i++) on_bricks += l.texture_names[i].texture == DEMO_THREE_PALETTE_PAGE;
    EXPECT_GE(on_bricks, 3);

    ASSERT_EQ(l.model_name_count, DEMO_MODEL_COUNT);
    EXPECT_STREQ(l.model_names[0], "crate");
    EXPECT_STREQ(l.model_names[DEMO_MODEL_COUNT - 1], "swatch_board");
    for (int i = 0; i < l.model_name_count; i++) EXPECT_GT(strlen(l.model_names[i]), 2u);
}

TEST(demo_level, models_use_every_drawable_kind_and_flag)
{
    loaded_level d(demo());
    const level &l = d.lvl;
    ASSERT_EQ(l.model_count, DEMO_MODEL_COUNT);
    ASSERT_EQ(l.event_model_count, DEMO_EVENT_MODEL_COUNT);
    expect_sound_models(l, l.models, l.model_count);
    expect_sound_models(l, l.event_models, l.event_model_count);

    std::set<int> kinds, variants;
    uint32_t draw_flags = 0, object_flags = 0;
    for (int m = 0; m < l.model_count; m++) {
        for (int p = 0; p < l.models[m].polygon_count; p++) {
            kinds.insert(kind_of(l.models[m].polygons[p].type));
            if (l.models[m].polygons[p].type & 32) variants.insert(kind_of(l.models[m].polygons[p].type));
        }
        draw_flags |= l.models[m].draw_flags;
        object_flags |= l.models[m].object_flags;
    }
    for (int kind : {0, 1, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}) EXPECT_TRUE(kinds.count(kind)) << kind;
    EXPECT_GE(variants.size(), 5u);   // types with bit 5 set decode like their plain twins
    for (uint32_t flag : {(uint32_t)MODEL_DRAW_SHADOW, (uint32_t)MODEL_DRAW_TRANSPARENT_TEX, (uint32_t)MODEL_DRAW_FACES_CAMERA})
        EXPECT_TRUE(draw_flags & flag) << flag;
    for (uint32_t flag : {(uint32_t)MODEL_OBJECT_INSIDE, (uint32_t)MODEL_OBJECT_KNOCK_OVER})
        EXPECT_TRUE(object_flags & flag) << flag;

    // The instancing model borrows the crate's vertices and has none of its own.
    const model &striped = l.models[DEMO_INSTANCING_MODEL];
    EXPECT_EQ(striped.instance_of, 0);
    EXPECT_EQ(striped.vertex_count, 0);
    EXPECT_EQ(model_vertex_source(l.models, l.model_count, DEMO_INSTANCING_MODEL), 0);
    EXPECT_EQ(l.event_models[2].instance_of, 0);
    // Extra records are carried by the box car.
    EXPECT_EQ(l.models[2].extra_record_count, 2);
    // The tree uses the cut-out foliage page.
    bool tree_uses_foliage = false;
    for (int t = 0; t < l.models[4].textures_used_count; t++)
        tree_uses_foliage |= l.models[4].textures_used[t] == DEMO_TRANSPARENT_PAGE;
    EXPECT_TRUE(tree_uses_foliage);

    // Pages the swatch board names; three pages no model uses at all.
    EXPECT_EQ(l.models[DEMO_SWATCH_MODEL].textures_used_count, DEMO_PAGE_COUNT - 3);
    std::set<int> used;
    for (int m = 0; m < l.model_count; m++)
        for (int t = 0; t < l.models[m].textures_used_count; t++) used.insert(l.models[m].textures_used[t]);
    for (int m = 0; m < l.event_model_count; m++)
        for (int t = 0; t < l.event_models[m].textures_used_count; t++) used.insert(l.event_models[m].textures_used[t]);
    EXPECT_EQ((int)used.size(), DEMO_PAGE_COUNT - 3);
}

TEST(demo_level, world_sections_and_the_skipped_block)
{
    loaded_level d(demo());
    const level &l = d.lvl;
    // One of each model, then a section of six trees and one of eight.
    ASSERT_EQ(l.world_instance_count, DEMO_MODEL_COUNT + 6 + 8);
    for (int i = 0; i < l.world_instance_count; i++) EXPECT_LT(l.world_instances[i].model, l.model_count);
    EXPECT_EQ(l.world_instances[DEMO_MODEL_COUNT].model, 4);
    EXPECT_FLOAT_EQ(l.world_instances[DEMO_MODEL_COUNT + 6].angle, 90.0f);

    // The level file really holds a block of a kind the editor does not read.
    const byte_buffer &lev = demo().lev;
    uint32_t blocks = peek32le(lev, 0);
    size_t at = 4;
    bool found = false;
    for (uint32_t b = 0; b < blocks; b++) {
        ASSERT_LE(at + 8, lev.size());
        found |= peek32le(lev, at) == DEMO_UNKNOWN_BLOCK_KIND;
        at += 8 + peek32le(lev, at + 4);
    }
    EXPECT_EQ(at, lev.size());
    EXPECT_TRUE(found);
}

TEST(demo_level, writes_back_byte_for_byte)
{
    std::string folder = make_temp_folder();
    std::string source = folder + "/demo.lev", copy = folder + "/copy.lev", lists = folder + "/copy.d3d";
    ASSERT_TRUE(write_file_bytes(source, demo().lev));
    loaded_level d(demo());
    FILE *src = fopen(source.c_str(), "rb");
    FILE *dst = fopen(copy.c_str(), "wb");
    FILE *d3d = fopen(lists.c_str(), "wb");
    ASSERT_TRUE(src && dst && d3d);
    EXPECT_EQ(write_level(src, dst, &d.lvl), SAVE_OK) << save_failure_reason();
    EXPECT_EQ(write_palette_lists(d3d, &d.lvl), SAVE_OK) << save_failure_reason();
    fclose(src);
    fclose(dst);
    fclose(d3d);
    EXPECT_TRUE(read_file_bytes(copy) == demo().lev);
    EXPECT_TRUE(read_file_bytes(lists) == demo().d3d);
}

TEST(demo_level, big_level_loads_with_its_counts)
{
    sample_level big = make_big_level(40, 30);
    loaded_level d(big);
    const level &l = d.lvl;
    ASSERT_EQ(l.texture_count, 40);
    ASSERT_EQ(l.model_count, 30);
    ASSERT_EQ(l.model_name_count, 30);
    EXPECT_EQ(l.world_instance_count, 30);
    EXPECT_EQ(l.palette_list_count, 20);
    for (int t = 0; t < l.texture_count; t++) EXPECT_EQ(l.textures[t].paletted, t % 2 == 0);
    expect_sound_models(l, l.models, l.model_count);
    // The second round of shapes names the second copy of the demo's pages
    // where it exists (40 pages hold one whole copy, so it wraps to the first).
    EXPECT_EQ(l.models[DEMO_MODEL_COUNT + DEMO_INSTANCING_MODEL].instance_of, DEMO_MODEL_COUNT);
    // Pages beyond the demo's carry their own number.
    EXPECT_NE(memcmp(l.textures[0].pixels, l.textures[32].pixels, PAGE_PIXELS), 0);
}
