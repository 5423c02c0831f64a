// The level and palette-list reader: every block kind, the mask, order, log lines, hostile files.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <cmath>

#include "level/level.h"
#include "level/texture_store.h"
#include "level_test_support.h"

TEST(level_reader, sample_level_reads_every_block)
{
    sample_level s = make_sample_level(3, 2);
    level l;
    ASSERT_EQ(load_bytes(&l, s.lev, s.d3d), LOAD_OK);
    EXPECT_EQ(l.load_mask, LOAD_ALL);

    // Palettes: stored blue, green, red, extra; held red, green, blue, extra.
    ASSERT_EQ(l.palette_count, 6);   // 1 + 2 + 3 slots
    ASSERT_EQ(l.palette_table_size, 6);
    builder_palette p3 = make_palette(3);
    EXPECT_EQ(l.palette_table[3]->id, 3);
    EXPECT_EQ(0, memcmp(l.palette_table[3]->entries, p3.entries.data(), 1024));

    ASSERT_EQ(l.texture_count, 5);
    builder_page paletted = make_paletted_page(1, 1);
    EXPECT_TRUE(l.textures[1].paletted);
    EXPECT_TRUE(l.textures[1].transparent);
    EXPECT_EQ(l.textures[1].flags, 0x11u);
    EXPECT_EQ(0, memcmp(l.textures[1].pixels, paletted.indices.data(), 65536));
    builder_page rgb = make_rgb15_page(1, 1 | 2u << 16);
    EXPECT_FALSE(l.textures[4].paletted);
    EXPECT_EQ(l.textures[4].flags, 1 | 2u << 16);
    EXPECT_EQ(0, memcmp(l.textures[4].pixels, rgb.pixels.data(), 131072));
    EXPECT_EQ(page_pixels16(l.textures[3])[0], 0x8421);
    EXPECT_EQ(l.textures[4].palette_slot_count, -1);

    ASSERT_EQ(l.model_count, 3);
    EXPECT_EQ(l.models[0].polygon_count, 6);
    EXPECT_EQ(l.models[2].instance_of, 0);
    EXPECT_EQ(l.models[2].vertex_count, 0);
    ASSERT_EQ(l.event_model_count, 1);
    EXPECT_EQ(l.event_models[0].vertex_count, 8);

    ASSERT_EQ(l.model_name_count, 3);
    EXPECT_STREQ(l.model_names[0], "cube");
    EXPECT_STREQ(l.model_names[2], "inst");

    ASSERT_EQ(l.texture_name_count, 10);
    EXPECT_STREQ(l.texture_names[2].name, "tex1a");
    EXPECT_STREQ(l.texture_names[3].name, "LONGNAME");
    EXPECT_EQ(l.texture_names[3].texture, 1);
    EXPECT_EQ(l.texture_names[3].x, 64);
    EXPECT_EQ(l.texture_names[3].h, 128);

    // Two instances, then one and two in the sections, in one array.
    ASSERT_EQ(l.world_instance_count, 5);
    EXPECT_EQ(l.world_instances[0].x, 100);
    EXPECT_FLOAT_EQ(l.world_instances[0].angle, 90.0f);
    EXPECT_FLOAT_EQ(l.world_instances[1].angle, -180.0f);
    EXPECT_EQ(l.world_instances[1].z, -5000);
    EXPECT_EQ(l.world_instances[2].model, 2);
    EXPECT_EQ(l.world_instances[4].y, 77);

    ASSERT_EQ(l.palette_list_count, 3);
    EXPECT_EQ(l.palette_lists[2].texture, 2);
    ASSERT_EQ(l.palette_lists[2].count, 3);
    EXPECT_EQ(l.palette_lists[2].palette_ids[2], 5);
    cleanup_level(&l);
    EXPECT_TRUE(level_is_empty(l));
}

TEST(level_reader, logs_each_block_in_file_order)
{
    log_capture log;
    sample_level s = make_sample_level(1, 0);
    level l;
    ASSERT_EQ(load_bytes(&l, s.lev, s.d3d), LOAD_OK);
    std::vector<std::string> expected = {
        "Attempting to load level.", "File pointers okay",
        "Loading model names.", "Finished loading model names.",
        "Loading textures.", "Loaded palettes successfully.", "Finished loading textures.",
        "Loading world.", "Finished loading world.",
        "Loading texture names.", "Finished loading texture names.",
        "Loading event models.", "Number of event models: 1", "Finished event models.",
        "Parsing d3d.", "Finished parsing d3d.",
    };
    EXPECT_EQ(log.lines(), expected);
    log.clear();
    cleanup_level(&l);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Cleaning up level.", "Level cleaned up successfully."}));
}

TEST(level_reader, files_read_from_their_position_and_null_handles)
{
    sample_level s = make_sample_level(2, 1);
    std::string folder = make_temp_folder();
    std::string lev_path = folder + "/a.lev", d3d_path_ = folder + "/a.d3d";
    ASSERT_TRUE(write_bytes_to_file(lev_path.c_str(), s.lev));
    ASSERT_TRUE(write_bytes_to_file(d3d_path_.c_str(), s.d3d));
    FILE *lev = fopen(lev_path.c_str(), "rb");
    FILE *d3d = fopen(d3d_path_.c_str(), "rb");
    level l;
    memset(&l, 0, sizeof l);
    {
        log_capture log;
        EXPECT_EQ(load_level(&l, nullptr, d3d, LOAD_ALL), LOAD_NO_LEVEL_FILE);
        EXPECT_EQ(load_level(&l, lev, nullptr, LOAD_ALL), LOAD_NO_D3D_FILE);
        EXPECT_EQ(log.lines(), (std::vector<std::string>{"Attempting to load level.", "Attempting to load level."}));
        EXPECT_TRUE(level_is_empty(l));
    }
    ASSERT_EQ(load_level(&l, lev, d3d, LOAD_ALL), LOAD_OK);
    level m;
    ASSERT_EQ(load_bytes(&m, s.lev, s.d3d), LOAD_OK);
    EXPECT_EQ(l.texture_count, m.texture_count);
    EXPECT_EQ(0, memcmp(l.textures[2].pixels, m.textures[2].pixels, 131072));
    EXPECT_EQ(l.world_instance_count, m.world_instance_count);
    cleanup_level(&l);
    cleanup_level(&m);
    fclose(lev);
    fclose(d3d);

    // A stream that cannot be measured (no file descriptor) is read whole.
    FILE *lev_stream = fmemopen(s.lev.data(), s.lev.size(), "rb");
    FILE *d3d_stream = fmemopen(s.d3d.data(), s.d3d.size(), "rb");
    ASSERT_EQ(load_level(&l, lev_stream, d3d_stream, LOAD_ALL), LOAD_OK);
    EXPECT_EQ(l.palette_list_count, 2);
    cleanup_level(&l);
    fclose(lev_stream);
    fclose(d3d_stream);
}

TEST(level_reader, unknown_kinds_and_masked_blocks_are_skipped_by_size)
{
    level l;
    byte_buffer d3d = encode_palette_lists({{0, {4}}});
    ASSERT_EQ(load_bytes(&l, encode_level({{7, byte_buffer(100, 0xAB)}}), d3d), LOAD_OK);
    EXPECT_EQ(l.texture_count, 0);
    EXPECT_EQ(l.palette_list_count, 1);
    cleanup_level(&l);

    // Negative and large kinds, and kinds 3, 4, 6-11, 14 are not read.
    byte_buffer junk(37, 0xFF);
    ASSERT_EQ(load_bytes(&l, encode_level({{-1, junk}, {3, junk}, {14, junk}, {1000, junk}, {11, junk}}), d3d),
              LOAD_OK);
    cleanup_level(&l);

    sample_level s = make_sample_level(2, 1);
    ASSERT_EQ(load_bytes(&l, s.lev, s.d3d, LOAD_TEXTURES), LOAD_OK);
    EXPECT_EQ(l.load_mask, LOAD_TEXTURES);
    EXPECT_EQ(l.texture_count, 3);
    EXPECT_EQ(l.model_count, 0);
    EXPECT_EQ(l.event_model_count, 0);
    EXPECT_EQ(l.world_instance_count, 0);
    EXPECT_EQ(l.texture_name_count, 0);
    EXPECT_EQ(l.model_name_count, 0);
    EXPECT_EQ(l.palette_list_count, 2);   // the palette-list file is always read
    cleanup_level(&l);

    ASSERT_EQ(load_bytes(&l, s.lev, s.d3d, LOAD_MODELS | LOAD_MODEL_NAMES), LOAD_OK);
    EXPECT_EQ(l.texture_count, 0);
    EXPECT_EQ(l.model_count, 3);
    EXPECT_EQ(l.model_name_count, 3);
    cleanup_level(&l);

    // A skipped block is still checked against the file's end.
    byte_buffer lev = encode_level({{7, byte_buffer(100, 0)}});
    lev.resize(lev.size() - 1);
    EXPECT_EQ(load_bytes(&l, lev, d3d), LOAD_BAD_LEVEL);
}

TEST(level_reader, a_kind_read_twice_keeps_the_second)
{
    level l;
    byte_buffer lev = encode_level({
        {BLOCK_MODEL_NAMES, encode_model_names_block({"first", "second"})},
        {BLOCK_TEXTURES, encode_texture_block({make_palette(0)}, {make_paletted_page(0)})},
        {BLOCK_MODEL_NAMES, encode_model_names_block({"third"})},
        {BLOCK_TEXTURES, encode_texture_block({make_palette(4)}, {make_rgb15_page(0), make_rgb15_page(1)})},
    });
    ASSERT_EQ(load_bytes(&l, lev, no_lists()), LOAD_OK);
    ASSERT_EQ(l.model_name_count, 1);
    EXPECT_STREQ(l.model_names[0], "third");
    EXPECT_EQ(l.texture_count, 2);
    EXPECT_EQ(l.palette_table_size, 5);
    cleanup_level(&l);
}

TEST(level_reader, palette_table_is_indexed_by_id)
{
    level l;
    byte_buffer lev = encode_level(
        {{BLOCK_TEXTURES, encode_texture_block({make_palette(300), make_palette(7), make_palette(7)}, {})}});
    // The second record with id 7 wins.
    ASSERT_EQ(load_bytes(&l, lev, no_lists()), LOAD_OK);
    ASSERT_EQ(l.palette_table_size, 301);
    EXPECT_EQ(l.palette_table[300], &l.palettes[0]);
    EXPECT_EQ(l.palette_table[7], &l.palettes[2]);
    EXPECT_EQ(l.palette_table[0], nullptr);
    EXPECT_EQ(l.palette_table[299], nullptr);
    EXPECT_EQ(find_free_palette_id(&l), 0);
    cleanup_level(&l);

    // No palettes: no table.
    ASSERT_EQ(load_bytes(&l, encode_level({{BLOCK_TEXTURES, encode_texture_block({}, {make_rgb15_page(0)})}}),
                         no_lists()),
              LOAD_OK);
    EXPECT_EQ(l.palette_table_size, 0);
    EXPECT_EQ(l.palette_table, nullptr);
    EXPECT_EQ(find_free_palette_id(&l), -1);
    cleanup_level(&l);
}

TEST(level_reader, model_names_and_texture_names_edge_cases)
{
    level l;
    const unsigned char raw[] = {'a', 0, 'b', 'b', 0, 'd'};
    byte_buffer names(raw, raw + sizeof raw);
    ASSERT_EQ(load_bytes(&l, encode_level({{BLOCK_MODEL_NAMES, names}}), no_lists()), LOAD_OK);
    ASSERT_EQ(l.model_name_count, 3);
    EXPECT_STREQ(l.model_names[0], "a");
    EXPECT_STREQ(l.model_names[1], "bb");
    EXPECT_STREQ(l.model_names[2], "d");   // still a C string without its NUL
    EXPECT_EQ(l.model_names[3], l.model_name_data + 6);
    cleanup_level(&l);

    ASSERT_EQ(load_bytes(&l, encode_level({{BLOCK_MODEL_NAMES, {}}}), no_lists()), LOAD_OK);
    EXPECT_EQ(l.model_name_count, 0);
    EXPECT_EQ(l.model_names[0], l.model_name_data);
    cleanup_level(&l);

    byte_buffer tn = encode_texture_names_block({{"ABCDEFGH", 200, 255, 1, 2, 3}});
    ASSERT_EQ(load_bytes(&l, encode_level({{BLOCK_TEXTURE_NAMES, tn}}), no_lists()), LOAD_OK);
    ASSERT_EQ(l.texture_name_count, 1);
    EXPECT_STREQ(l.texture_names[0].name, "ABCDEFGH");
    EXPECT_EQ(l.texture_names[0].texture, 200);   // kept; the level has no such page
    EXPECT_EQ(l.texture_names[0].x, 255);
    cleanup_level(&l);
}

TEST(level_reader, palette_list_counts_of_zero_and_below_are_kept)
{
    level l;
    byte_buffer lev = encode_level({});
    for (int32_t count : {0, -1}) {
        byte_buffer d3d;
        put32le(d3d, (uint32_t)count);
        put32le(d3d, 5);   // ignored
        ASSERT_EQ(load_bytes(&l, lev, d3d), LOAD_OK);
        EXPECT_EQ(l.palette_list_count, count);
        EXPECT_EQ(l.palette_lists, nullptr);
        cleanup_level(&l);
    }
    // An entry with no palettes.
    ASSERT_EQ(load_bytes(&l, lev, encode_palette_lists({{3, {}}})), LOAD_OK);
    EXPECT_EQ(l.palette_lists[0].count, 0);
    cleanup_level(&l);
}

// ---- hostile files --------------------------------------------------------

namespace {

struct refusal_case {
    const char *what;
    byte_buffer lev;
    byte_buffer d3d;
    int expected;
    const char *log_fragment;
};

byte_buffer with_block(int32_t kind, const byte_buffer &content) { return encode_level({{kind, content}}); }

}  // namespace

TEST(level_reader, unparseable_files_are_refused_whole)
{
    byte_buffer good_textures = encode_texture_block({make_palette(0)}, {make_paletted_page(0)});
    std::vector<refusal_case> cases;

    byte_buffer lev;
    cases.push_back({"empty file", {}, no_lists(), LOAD_BAD_LEVEL, "block count"});
    lev = {1, 0, 0};
    cases.push_back({"short block count", lev, no_lists(), LOAD_BAD_LEVEL, "at offset 0"});
    lev.clear();
    put32le(lev, 0xFFFFFFFF);
    cases.push_back({"negative block count", lev, no_lists(), LOAD_BAD_LEVEL, "block count -1"});
    lev.clear();
    put32le(lev, 2);
    put_block(lev, 7, {1, 2});
    cases.push_back({"missing block", lev, no_lists(), LOAD_BAD_LEVEL, "block count 2"});
    lev.clear();
    put32le(lev, 1);
    put32le(lev, 7);
    put32le(lev, (uint32_t)-5);
    cases.push_back({"negative block size", lev, no_lists(), LOAD_BAD_LEVEL, "block size -5"});
    lev = with_block(7, {1, 2, 3});
    patch32le(lev, 8, 4);
    cases.push_back({"block past the end", lev, no_lists(), LOAD_BAD_LEVEL, "block 0 of kind 7, at offset 4"});

    byte_buffer t = good_textures;
    t.push_back(0);
    cases.push_back({"texture block one byte long", with_block(0, t), no_lists(), LOAD_BAD_LEVEL,
                     "1 bytes are left"});
    t = good_textures;
    t.pop_back();
    cases.push_back({"texture block one byte short", with_block(0, t), no_lists(), LOAD_BAD_LEVEL, "page count 1"});
    t = encode_texture_block({make_palette(-2)}, {});
    cases.push_back({"negative palette id", with_block(0, t), no_lists(), LOAD_BAD_LEVEL, "negative palette id -2"});
    t = encode_texture_block({}, {});
    patch32le(t, 2, (uint32_t)-1);
    cases.push_back({"negative page count", with_block(0, t), no_lists(), LOAD_BAD_LEVEL, "negative page count"});
    t = encode_texture_block({}, {make_paletted_page(0)});
    patch32le(t, 2, 2);
    cases.push_back({"page count too large", with_block(0, t), no_lists(), LOAD_BAD_LEVEL, "page count 2"});
    t = encode_texture_block({make_palette(0)}, {});
    t[0] = 2;
    cases.push_back({"palette count too large", with_block(0, t), no_lists(), LOAD_BAD_LEVEL, "palette count 2"});
    t = encode_texture_block({}, {make_paletted_page(0)});
    t[2 + 4] &= (unsigned char)~0x10;   // the page claims 15-bit pixels: twice the bytes
    cases.push_back({"page format past the block", with_block(0, t), no_lists(), LOAD_BAD_LEVEL, "page 0 runs"});

    byte_buffer m = encode_model_block({make_cube_model(0)});
    m.push_back(0);
    cases.push_back({"model block one byte long", with_block(1, m), no_lists(), LOAD_BAD_LEVEL, "1 bytes are left"});
    m = encode_model_block({make_cube_model(0)});
    patch32le(m, 0, (uint32_t)-3);
    cases.push_back({"negative model count", with_block(1, m), no_lists(), LOAD_BAD_LEVEL, "negative model count"});
    m = encode_model_block({make_cube_model(0)});
    patch32le(m, 0, 1000);
    cases.push_back({"model count too large", with_block(1, m), no_lists(), LOAD_BAD_LEVEL, "model count 1000"});
    m = encode_model_block({make_cube_model(0)});
    patch32le(m, 4, peek32le(m, 4) + 1);
    cases.push_back({"model length past the block", with_block(1, m), no_lists(), LOAD_BAD_LEVEL, "model 0 runs"});
    byte_buffer cube = encode_model(make_cube_model(0));
    patch32le(cube, 44, (uint32_t)cube.size() - 4);   // a flat triangle 4 bytes before the end
    cube[cube.size() - 4] = 0;
    cases.push_back({"polygon stream outside the model", with_block(13, encode_model_block_raw({cube})), no_lists(),
                     LOAD_BAD_LEVEL, "event model 0 has a table or polygon outside its bytes"});
    cube = encode_model(make_cube_model(0));
    cube[20] = 0xFF;
    cube[21] = 0xFF;
    cases.push_back({"negative vertex count", with_block(1, encode_model_block_raw({cube})), no_lists(),
                     LOAD_BAD_LEVEL, "model 0 has a negative count"});
    byte_buffer big = encode_model(make_cube_model(0));
    big.resize(131073, 0);
    cases.push_back({"model larger than its buffer", with_block(1, encode_model_block_raw({big})), no_lists(),
                     LOAD_BAD_LEVEL, "131073 bytes long, more than 131072"});

    byte_buffer w = encode_world_block({}, {});
    patch32le(w, 12, (uint32_t)-1);
    cases.push_back({"negative section count", with_block(2, w), no_lists(), LOAD_BAD_LEVEL, "negative section count"});
    w = encode_world_block({builder_instance()}, {});
    patch32le(w, 44, 2);
    cases.push_back({"instance count too large", with_block(2, w), no_lists(), LOAD_BAD_LEVEL, "instance count 2"});
    w = encode_world_block({}, {builder_section()});
    patch32le(w, 48, (uint32_t)-1);
    cases.push_back({"negative pair count", with_block(2, w), no_lists(), LOAD_BAD_LEVEL, "negative pair count"});
    byte_buffer names = encode_texture_names_block({{"a", 0, 0, 0, 1, 1}});
    names.pop_back();
    cases.push_back({"texture names short", with_block(5, names), no_lists(), LOAD_BAD_LEVEL, "texture name count 1"});

    byte_buffer d3d;
    put32le(d3d, 3);
    cases.push_back({"d3d count too large", encode_level({}), d3d, LOAD_BAD_D3D, "palette-list file"});
    d3d = encode_palette_lists({{0, {1, 2}}});
    patch32le(d3d, 8, (uint32_t)-2);
    cases.push_back({"d3d negative palette count", encode_level({}), d3d, LOAD_BAD_D3D, "palette count of -2"});
    d3d = encode_palette_lists({{0, {1, 2}}});
    d3d.pop_back();
    cases.push_back({"d3d short", encode_level({}), d3d, LOAD_BAD_D3D, "(entry 0, at offset 4)"});
    cases.push_back({"d3d empty", encode_level({}), {}, LOAD_BAD_D3D, "entry count"});

    for (const refusal_case &c : cases) {
        SCOPED_TRACE(c.what);
        log_capture log;
        level l;
        EXPECT_EQ(load_bytes(&l, c.lev, c.d3d), c.expected);
        EXPECT_TRUE(level_is_empty(l));
        std::vector<std::string> lines = log.lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_NE(lines.back().find("was refused"), std::string::npos) << lines.back();
        EXPECT_NE(lines.back().find(c.log_fragment), std::string::npos) << lines.back();
        EXPECT_EQ(std::string(load_failure_reason()), lines.back());
    }
}

TEST(level_reader, a_refused_level_frees_what_earlier_blocks_read)
{
    // Under AddressSanitizer a leak here fails the run.
    sample_level s = make_sample_level(2, 1);
    byte_buffer bad = s.d3d;
    patch32le(bad, 0, 1000);
    level l;
    EXPECT_EQ(load_bytes(&l, s.lev, bad), LOAD_BAD_D3D);
    EXPECT_TRUE(level_is_empty(l));
    byte_buffer lev = s.lev;
    lev.resize(lev.size() - 10);   // the last block (event models) is cut
    EXPECT_EQ(load_bytes(&l, lev, s.d3d), LOAD_BAD_LEVEL);
    EXPECT_TRUE(level_is_empty(l));
}

TEST(level_reader, event_models_may_be_larger_than_models)
{
    byte_buffer big = encode_model(make_cube_model(0));
    big.resize(524288, 0);
    level l;
    ASSERT_EQ(load_bytes(&l, with_block(13, encode_model_block_raw({big})), no_lists()), LOAD_OK);
    EXPECT_EQ(l.event_model_count, 1);
    cleanup_level(&l);
    big.push_back(0);
    EXPECT_EQ(load_bytes(&l, with_block(13, encode_model_block_raw({big})), no_lists()), LOAD_BAD_LEVEL);
}

TEST(level_reader, missing_targets_are_kept_but_marked)
{
    // A polygon naming vertex 9 of an 8-vertex model parses: it is kept, marked unsafe.
    builder_model cube = make_cube_model(0);
    cube.polygons[2].corners[1] = 9;
    builder_model inst = make_cube_model(0);
    inst.vertices.clear();
    inst.instance_of = 2;   // itself: a loop
    builder_model far = make_cube_model(0);
    far.vertices.clear();
    far.instance_of = 77;   // outside the list
    builder_model good_inst = make_cube_model(0);
    good_inst.vertices.clear();
    good_inst.instance_of = 0;
    level l;
    ASSERT_EQ(load_bytes(&l, with_block(1, encode_model_block({cube, good_inst, inst, far})), no_lists()), LOAD_OK);
    EXPECT_TRUE(l.models[0].polygons[2].unsafe);
    EXPECT_FALSE(l.models[0].polygons[1].unsafe);
    EXPECT_FALSE(l.models[1].polygons[0].unsafe);
    for (int i = 2; i < 4; i++)
        for (int p = 0; p < l.models[i].polygon_count; p++) EXPECT_TRUE(l.models[i].polygons[p].unsafe);
    cleanup_level(&l);
}

// Cuts a level at many points and changes bytes at many offsets: every
// variant is either read or refused cleanly (empty level), never crashes.
TEST(level_reader, truncated_and_corrupted_files_are_read_or_refused_cleanly)
{
    // Small pages-free level so every cut can be tried, plus a texture block.
    sample_level s = make_sample_level(0, 0);
    byte_buffer lev = s.lev;
    byte_buffer tex = encode_texture_block({make_palette(0), make_palette(1)}, {});
    byte_buffer with_textures = encode_level({{BLOCK_TEXTURES, tex}, {BLOCK_MODELS, encode_model_block({make_cube_model(0)})}});
    byte_buffer d3d = encode_palette_lists({{0, {0, 1}}, {1, {1}}});
    level l;
    int read = 0, refused = 0;
    auto check = [&](const byte_buffer &a, const byte_buffer &b) {
        int r = load_bytes(&l, a, b);
        if (r == LOAD_OK) {
            read++;
            cleanup_level(&l);
        } else {
            refused++;
            ASSERT_TRUE(r == LOAD_BAD_LEVEL || r == LOAD_BAD_D3D) << r;
            ASSERT_TRUE(level_is_empty(l));
        }
    };
    for (const byte_buffer *file : {&lev, &with_textures}) {
        for (size_t cut = 0; cut < file->size(); cut++) {
            byte_buffer t(file->begin(), file->begin() + (long)cut);
            ASSERT_EQ(load_bytes(&l, t, d3d), LOAD_BAD_LEVEL) << "cut at " << cut;
            ASSERT_TRUE(level_is_empty(l));
        }
        for (size_t at = 0; at < file->size(); at++)
            for (unsigned char value : {0x00, 0x7F, 0x80, 0xFF}) {
                byte_buffer t = *file;
                if (t[at] == value) continue;
                t[at] = value;
                check(t, d3d);
            }
    }
    for (size_t cut = 0; cut < d3d.size(); cut++) check(lev, byte_buffer(d3d.begin(), d3d.begin() + (long)cut));
    for (size_t at = 0; at < d3d.size(); at++) {
        byte_buffer t = d3d;
        t[at] ^= 0xFF;
        check(lev, t);
    }
    EXPECT_GT(read, 100);
    EXPECT_GT(refused, 100);
}

TEST(level_reader, truncated_files_on_disk_are_refused)
{
    sample_level s = make_sample_level(2, 1);
    std::string folder = make_temp_folder();
    std::string lev_path = folder + "/cut.lev", d3d_file = folder + "/cut.d3d";
    ASSERT_TRUE(write_bytes_to_file(d3d_file.c_str(), s.d3d));
    for (size_t cut : {s.lev.size() - 1, s.lev.size() / 2, (size_t)5}) {
        ASSERT_TRUE(write_bytes_to_file(lev_path.c_str(), byte_buffer(s.lev.begin(), s.lev.begin() + (long)cut)));
        FILE *lev = fopen(lev_path.c_str(), "rb");
        FILE *d3d = fopen(d3d_file.c_str(), "rb");
        level l;
        memset(&l, 0, sizeof l);
        EXPECT_EQ(load_level(&l, lev, d3d, LOAD_ALL), LOAD_BAD_LEVEL) << cut;
        EXPECT_TRUE(level_is_empty(l));
        fclose(lev);
        fclose(d3d);
    }
}
