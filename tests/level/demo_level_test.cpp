// The demo level and the benchmark level: what their DEMO_* facts promise, and an unchanged write-back.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <set>
#include <string>

#include "demo/demo_level.h"
#include "level/level.h"
#include "level/level_writer.h"
#include "render/model_render.h"
#include "level_test_support.h"
#include "test_support.h"

namespace {

// The demo level as the build wrote it (generating it is slow in a debug build).
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

// Every polygon is of a drawable kind, safe, and names a page the level has
// and its model lists.
void expect_sound_models(const level &l, const model *list, int count)
{
    for (int m = 0; m < count; m++) {
        const model &md = list[m];
        ASSERT_GE(model_vertex_source(list, count, m), 0) << "model " << m;
        EXPECT_GT(md.polygon_count, 0);
        for (int p = 0; p < md.polygon_count; p++) {
            const model_polygon &poly = md.polygons[p];
            int kind = polygon_draw_kind(poly.type);
            SCOPED_TRACE(testing::Message() << "model " << m << " polygon " << p);
            EXPECT_TRUE(kind >= 0 && kind != 2 && kind != 3);
            EXPECT_FALSE(poly.unsafe);
            if (!poly.textured) continue;
            bool listed = false;
            for (int t = 0; t < md.textures_used_count; t++) listed |= md.textures_used[t] == poly.texture;
            EXPECT_TRUE(listed && poly.texture < l.texture_count) << poly.texture;
        }
    }
}

}  // namespace

// The build's files are what the generator makes, hold a block the editor
// does not read, and write back byte for byte.
TEST(demo_level, build_writes_the_generator_output_which_writes_back_unchanged)
{
    sample_level made = make_demo_level();
    EXPECT_TRUE(read_file_bytes(binary_path("demo/demo.lev")) == made.lev);
    EXPECT_TRUE(read_file_bytes(binary_path("demo/demo.d3d")) == made.d3d);
    size_t at = 4;
    bool found = false;
    for (uint32_t b = 0; b < peek32le(made.lev, 0) && at + 8 <= made.lev.size(); b++) {
        found |= peek32le(made.lev, at) == DEMO_UNKNOWN_BLOCK_KIND;
        at += 8 + peek32le(made.lev, at + 4);
    }
    EXPECT_TRUE(found);
    std::string folder = make_temp_folder();
    std::string source = folder + "/demo.lev", copy = folder + "/copy.lev", lists = folder + "/copy.d3d";
    ASSERT_TRUE(write_file_bytes(source, made.lev));
    loaded_level d(made);
    FILE *src = fopen(source.c_str(), "rb");
    FILE *dst = fopen(copy.c_str(), "wb");
    FILE *d3d = fopen(lists.c_str(), "wb");
    ASSERT_TRUE(src && dst && d3d);
    EXPECT_EQ(write_level(src, dst, &d.lvl), SAVE_OK) << save_failure_reason();
    EXPECT_EQ(write_palette_lists(d3d, &d.lvl), SAVE_OK) << save_failure_reason();
    fclose(src);
    fclose(dst);
    fclose(d3d);
    EXPECT_TRUE(read_file_bytes(copy) == made.lev);
    EXPECT_TRUE(read_file_bytes(lists) == made.d3d);
}

TEST(demo_level, pages_come_in_both_formats_and_only_the_cut_out_pages_hold_the_key)
{
    loaded_level d(demo());
    const level &l = d.lvl;
    ASSERT_EQ(l.texture_count, DEMO_PAGE_COUNT);
    EXPECT_EQ(l.palette_count, DEMO_PALETTE_COUNT);
    EXPECT_EQ(l.palette_table_size, DEMO_LARGEST_PALETTE_ID + 1);
    EXPECT_EQ(l.palette_list_count, DEMO_PALETTED_PAGE_COUNT - 1);   // the unlisted page has none
    for (int t = 0; t < l.texture_count; t++) {
        const level_texture &page = l.textures[t];
        EXPECT_EQ(page.paletted, t % 2 == 0) << t;
        if (page.paletted) continue;
        int keys = 0;
        for (int i = 0; i < PAGE_PIXELS; i++) keys += page_pixels16(page)[i] == TRANSPARENT_KEY;
        bool cut_out = t == DEMO_TRANSPARENT_PAGE || t == 15;
        EXPECT_EQ(page.transparent, cut_out) << t;
        EXPECT_TRUE(cut_out ? keys > 1000 : keys == 0) << t;
    }
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
            int type = l.models[m].polygons[p].type;
            kinds.insert(polygon_draw_kind(type));
            if (type & 32) variants.insert(polygon_draw_kind(type));
        }
        draw_flags |= l.models[m].draw_flags;
        object_flags |= l.models[m].object_flags;
    }
    for (int kind : {0, 1, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}) EXPECT_TRUE(kinds.count(kind)) << kind;
    EXPECT_GE(variants.size(), 5u);   // types with bit 5 set
    EXPECT_EQ(draw_flags & (MODEL_DRAW_SHADOW | MODEL_DRAW_TRANSPARENT_TEX | MODEL_DRAW_FACES_CAMERA),
              (uint32_t)(MODEL_DRAW_SHADOW | MODEL_DRAW_TRANSPARENT_TEX | MODEL_DRAW_FACES_CAMERA));
    EXPECT_EQ(object_flags & (MODEL_OBJECT_INSIDE | MODEL_OBJECT_KNOCK_OVER),
              (uint32_t)(MODEL_OBJECT_INSIDE | MODEL_OBJECT_KNOCK_OVER));
    EXPECT_EQ(l.models[DEMO_INSTANCING_MODEL].vertex_count, 0);
    EXPECT_EQ(model_vertex_source(l.models, l.model_count, DEMO_INSTANCING_MODEL), 0);
    EXPECT_EQ(l.models[DEMO_SWATCH_MODEL].textures_used_count, DEMO_PAGE_COUNT - 3);
    EXPECT_EQ(l.world_instance_count, DEMO_MODEL_COUNT + 6 + 8);   // one of each, then sections of 6 and 8
}

TEST(demo_level, big_level_loads_with_its_counts)
{
    loaded_level d(make_big_level(40, 30));
    const level &l = d.lvl;
    ASSERT_EQ(l.texture_count, 40);
    ASSERT_EQ(l.model_count, 30);
    EXPECT_EQ(l.world_instance_count, 30);
    EXPECT_EQ(l.palette_list_count, 20);
    expect_sound_models(l, l.models, l.model_count);
    EXPECT_EQ(l.models[DEMO_MODEL_COUNT + DEMO_INSTANCING_MODEL].instance_of, DEMO_MODEL_COUNT);
    // Pages beyond the demo's carry their own number.
    EXPECT_NE(memcmp(l.textures[0].pixels, l.textures[32].pixels, PAGE_PIXELS), 0);
}
