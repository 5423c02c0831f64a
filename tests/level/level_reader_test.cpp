// The level and palette-list reader: every block kind, the mask, log lines, refusals, hostile files.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include "level/level.h"
#include "level_test_support.h"

namespace {
byte_buffer with_block(int32_t kind, const byte_buffer &content) { return encode_level({{kind, content}}); }
}  // namespace

TEST(level_reader, sample_level_reads_every_block_and_logs_in_file_order)
{
    log_capture log;
    sample_level s = make_sample_level(3, 2);
    level l;
    ASSERT_EQ(load_bytes(&l, s.lev, s.d3d), LOAD_OK);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{
        "Attempting to load level.", "File pointers okay", "Loading model names.", "Finished loading model names.",
        "Loading textures.", "Loaded palettes successfully.", "Finished loading textures.", "Loading world.",
        "Finished loading world.", "Loading texture names.", "Finished loading texture names.",
        "Loading event models.", "Number of event models: 1", "Finished event models.", "Parsing d3d.",
        "Finished parsing d3d."}));
    log.clear();
    // Palettes: stored blue, green, red, extra; held red, green, blue, extra.
    EXPECT_EQ(0, memcmp(l.palette_table[3]->entries, make_palette(3).entries.data(), 1024));
    ASSERT_EQ(l.texture_count, 5);
    EXPECT_EQ(l.textures[1].flags, 0x11u);
    EXPECT_EQ(0, memcmp(l.textures[1].pixels, make_paletted_page(1, 1).indices.data(), 65536));
    EXPECT_EQ(0, memcmp(l.textures[4].pixels, make_rgb15_page(1, 1 | 2u << 16).pixels.data(), 131072));
    EXPECT_EQ(l.models[2].instance_of, 0);
    EXPECT_STREQ(l.model_names[2], "inst");
    EXPECT_STREQ(l.texture_names[3].name, "LONGNAME");
    // Two instances, then one and two in the sections, in one array.
    ASSERT_EQ(l.world_instance_count, 5);
    EXPECT_FLOAT_EQ(l.world_instances[1].angle, -180.0f);
    EXPECT_EQ(l.world_instances[1].z, -5000);
    EXPECT_EQ(l.palette_lists[2].palette_ids[2], 5);
    cleanup_level(&l);
    EXPECT_TRUE(level_is_empty(l));
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Cleaning up level.", "Level cleaned up successfully."}));
}

TEST(level_reader, reads_files_and_unmeasurable_streams_and_refuses_null_handles)
{
    sample_level s = make_sample_level(2, 1);
    std::string folder = make_temp_folder();
    std::string lev_path = folder + "/a.lev", d3d_file = folder + "/a.d3d";
    ASSERT_TRUE(write_bytes_to_file(d3d_file.c_str(), s.d3d));
    level l;
    memset(&l, 0, sizeof l);
    EXPECT_EQ(load_level(&l, nullptr, stdin, LOAD_ALL), LOAD_NO_LEVEL_FILE);
    EXPECT_EQ(load_level(&l, stdin, nullptr, LOAD_ALL), LOAD_NO_D3D_FILE);
    for (size_t cut : {s.lev.size(), s.lev.size() - 1, (size_t)5}) {
        SCOPED_TRACE(cut);
        ASSERT_TRUE(write_bytes_to_file(lev_path.c_str(), byte_buffer(s.lev.begin(), s.lev.begin() + (long)cut)));
        FILE *lev = fopen(lev_path.c_str(), "rb");
        FILE *d3d = fopen(d3d_file.c_str(), "rb");
        EXPECT_EQ(load_level(&l, lev, d3d, LOAD_ALL), cut == s.lev.size() ? LOAD_OK : LOAD_BAD_LEVEL);
        EXPECT_TRUE(cut != s.lev.size() || l.texture_count == 3);
        cleanup_level(&l);
        fclose(lev);
        fclose(d3d);
    }
    // A stream without a file descriptor is read whole.
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
    byte_buffer junk(37, 0xFF);
    ASSERT_EQ(load_bytes(&l, encode_level({{-1, junk}, {3, junk}, {14, junk}, {11, junk}}), no_lists()), LOAD_OK);
    cleanup_level(&l);
    sample_level s = make_sample_level(2, 1);
    ASSERT_EQ(load_bytes(&l, s.lev, s.d3d, LOAD_TEXTURES), LOAD_OK);
    EXPECT_EQ(l.texture_count, 3);
    EXPECT_EQ(l.model_count + l.event_model_count + l.world_instance_count + l.texture_name_count +
                  l.model_name_count, 0);
    EXPECT_EQ(l.palette_list_count, 2);   // the palette-list file is always read
    cleanup_level(&l);
}

TEST(level_reader, a_kind_read_twice_keeps_the_second_and_palettes_are_indexed_by_id)
{
    level l;
    byte_buffer lev = encode_level({
        {BLOCK_MODEL_NAMES, encode_model_names_block({"first", "second"})},
        {BLOCK_TEXTURES, encode_texture_block({make_palette(0)}, {make_paletted_page(0)})},
        {BLOCK_MODEL_NAMES, encode_model_names_block({"third"})},
        {BLOCK_TEXTURES, encode_texture_block({make_palette(300), make_palette(7), make_palette(7)}, {})},
    });
    ASSERT_EQ(load_bytes(&l, lev, no_lists()), LOAD_OK);
    ASSERT_EQ(l.model_name_count, 1);
    EXPECT_STREQ(l.model_names[0], "third");
    EXPECT_EQ(l.texture_count, 0);
    ASSERT_EQ(l.palette_table_size, 301);
    EXPECT_EQ(l.palette_table[300], &l.palettes[0]);
    EXPECT_EQ(l.palette_table[7], &l.palettes[2]);   // the later record with id 7 wins
    EXPECT_EQ(l.palette_table[299], nullptr);
    cleanup_level(&l);
}

TEST(level_reader, names_and_palette_lists_at_their_edges)
{
    level l;
    const unsigned char raw[] = {'a', 0, 'b', 'b', 0, 'd'};
    ASSERT_EQ(load_bytes(&l, with_block(BLOCK_MODEL_NAMES, byte_buffer(raw, raw + sizeof raw)), no_lists()), LOAD_OK);
    ASSERT_EQ(l.model_name_count, 3);
    EXPECT_STREQ(l.model_names[2], "d");   // still a C string without its NUL
    cleanup_level(&l);
    for (int32_t count : {0, -1}) {
        byte_buffer d3d;
        put32le(d3d, (uint32_t)count);
        ASSERT_EQ(load_bytes(&l, encode_level({}), d3d), LOAD_OK);
        EXPECT_EQ(l.palette_list_count, count);   // kept as read, to be written back the same
        cleanup_level(&l);
    }
}

// Each page shows slot 0 of the first list naming it; the slot count is the
// list's length, 0 for an empty list, -1 without a list or for a 15-bit page.
TEST(level_reader, pages_start_on_the_first_slot_of_their_palette_list)
{
    byte_buffer lev = with_block(BLOCK_TEXTURES, encode_texture_block({make_palette(0)},
        {make_paletted_page(0), make_paletted_page(1), make_paletted_page(2), make_rgb15_page(0)}));
    byte_buffer d3d = encode_palette_lists({{0, {0, 0, 0}}, {1, {}}, {3, {0}}, {0, {0}}, {9, {0}}});
    level l;
    ASSERT_EQ(load_bytes(&l, lev, d3d), LOAD_OK);
    const int expected[] = {3, 0, -1, -1};
    for (int t = 0; t < 4; t++) {
        EXPECT_EQ(l.textures[t].palette_slot_count, expected[t]) << t;
        EXPECT_EQ(l.textures[t].palette_slot, 0) << t;
    }
    cleanup_level(&l);
}

// Every refusal once, with its exact reason (which is also the log's last line).
TEST(level_reader, unparseable_files_are_refused_whole_with_the_reason)
{
    struct refusal {
        byte_buffer lev, d3d;
        int expected;
        const char *reason;
    };
    auto patched = [](byte_buffer b, size_t at, uint32_t v) { patch32le(b, at, v); return b; };
    auto grown = [](byte_buffer b, int by) { b.resize(b.size() + by, 0); return b; };
    byte_buffer tex = encode_texture_block({make_palette(0)}, {make_paletted_page(0)});
    byte_buffer one_page = encode_texture_block({}, {make_paletted_page(0)}), as_rgb = one_page;
    as_rgb[2 + 4] &= (unsigned char)~0x10;   // the page claims 15-bit pixels: twice the bytes
    byte_buffer models = encode_model_block({make_cube_model(0)}), cube = encode_model(make_cube_model(0));
    byte_buffer stray = patched(cube, 44, (uint32_t)cube.size() - 4);   // a flat triangle 4 bytes before the end
    stray[stray.size() - 4] = 0;
    byte_buffer negative_vertices = cube, palette_count_2 = encode_texture_block({make_palette(0)}, {});
    negative_vertices[21] = 0xFF;
    palette_count_2[0] = 2;
    byte_buffer lists = encode_palette_lists({{0, {1, 2}}}), none = encode_level({}), two_blocks, three;
    put32le(two_blocks, 2);
    put_block(two_blocks, 7, {1, 2});
    put32le(three, 3);
    byte_buffer big_event = grown(cube, 524289 - (int)cube.size());
    const refusal cases[] = {
        {{}, no_lists(), LOAD_BAD_LEVEL, "the file is too short for its block count (at offset 0)"},
        {{1, 0, 0}, no_lists(), LOAD_BAD_LEVEL, "the file is too short for its block count (at offset 0)"},
        {{0xFF, 0xFF, 0xFF, 0xFF}, no_lists(), LOAD_BAD_LEVEL, "block count -1 does not fit the file (at offset 0)"},
        {two_blocks, no_lists(), LOAD_BAD_LEVEL, "block count 2 does not fit the file (at offset 0)"},
        {patched(with_block(7, {}), 8, (uint32_t)-5), no_lists(), LOAD_BAD_LEVEL,
         "block size -5 runs past the end of the file (block 0 of kind 7, at offset 4)"},
        {patched(with_block(7, {1, 2, 3}), 8, 4), no_lists(), LOAD_BAD_LEVEL,
         "block size 4 runs past the end of the file (block 0 of kind 7, at offset 4)"},
        {with_block(0, {5}), no_lists(), LOAD_BAD_LEVEL, "the block ends inside its palette count (block 0 of kind 0, at offset 12)"},
        {with_block(0, palette_count_2), no_lists(), LOAD_BAD_LEVEL,
         "palette count 2 does not fit in the 1030 bytes left (block 0 of kind 0, at offset 12)"},
        {with_block(0, encode_texture_block({make_palette(-2)}, {})), no_lists(), LOAD_BAD_LEVEL,
         "negative palette id -2 (block 0 of kind 0, at offset 14)"},
        {with_block(0, {0, 0, 1, 0, 0}), no_lists(), LOAD_BAD_LEVEL,
         "the block ends inside its page count (block 0 of kind 0, at offset 14)"},
        {with_block(0, patched(encode_texture_block({}, {}), 2, (uint32_t)-1)), no_lists(), LOAD_BAD_LEVEL,
         "negative page count -1 (block 0 of kind 0, at offset 14)"},
        {with_block(0, patched(one_page, 2, 2)), no_lists(), LOAD_BAD_LEVEL,
         "page count 2 does not fit in the 65540 bytes left (block 0 of kind 0, at offset 14)"},
        {with_block(0, grown(tex, -1)), no_lists(), LOAD_BAD_LEVEL,
         "page count 1 does not fit in the 65539 bytes left (block 0 of kind 0, at offset 1040)"},
        {with_block(0, as_rgb), no_lists(), LOAD_BAD_LEVEL,
         "page 0 runs past the end of the block (block 0 of kind 0, at offset 18)"},
        {with_block(0, grown(tex, 1)), no_lists(), LOAD_BAD_LEVEL,
         "1 bytes are left in the block after its last page (block 0 of kind 0, at offset 66584)"},
        {with_block(1, {}), no_lists(), LOAD_BAD_LEVEL, "the block ends inside its model count (block 0 of kind 1, at offset 12)"},
        {with_block(1, patched(models, 0, (uint32_t)-3)), no_lists(), LOAD_BAD_LEVEL,
         "negative model count -3 (block 0 of kind 1, at offset 16)"},
        {with_block(1, patched(models, 0, 1000)), no_lists(), LOAD_BAD_LEVEL,
         "model count 1000 does not fit in the 469 bytes left (block 0 of kind 1, at offset 16)"},
        {with_block(1, patched(models, 4, peek32le(models, 4) + 1)), no_lists(), LOAD_BAD_LEVEL,
         "model 0 runs past the end of the block (block 0 of kind 1, at offset 16)"},
        {with_block(1, grown(models, 1)), no_lists(), LOAD_BAD_LEVEL,
         "1 bytes are left in the block after its records (block 0 of kind 1, at offset 485)"},
        {with_block(13, encode_model_block_raw({stray})), no_lists(), LOAD_BAD_LEVEL,
         "event model 0 has a table or polygon outside its bytes (block 0 of kind 13, at offset 16)"},
        {with_block(1, encode_model_block_raw({negative_vertices})), no_lists(), LOAD_BAD_LEVEL,
         "model 0 has a negative count (block 0 of kind 1, at offset 16)"},
        {with_block(1, encode_model_block_raw({grown(cube, 131073 - (int)cube.size())})), no_lists(), LOAD_BAD_LEVEL,
         "model 0 is 131073 bytes long, more than 131072 (block 0 of kind 1, at offset 16)"},
        {with_block(13, encode_model_block_raw({big_event})), no_lists(), LOAD_BAD_LEVEL,
         "event model 0 is 524289 bytes long, more than 524288 (block 0 of kind 13, at offset 16)"},
        {with_block(2, byte_buffer(43, 0)), no_lists(), LOAD_BAD_LEVEL,
         "the block ends inside its section count (block 0 of kind 2, at offset 55)"},
        {with_block(2, patched(encode_world_block({}, {}), 12, (uint32_t)-1)), no_lists(), LOAD_BAD_LEVEL,
         "negative section count -1 (block 0 of kind 2, at offset 56)"},
        {with_block(2, patched(encode_world_block({builder_instance()}, {}), 44, 2)), no_lists(), LOAD_BAD_LEVEL,
         "instance count 2 does not fit in the 20 bytes left (block 0 of kind 2, at offset 60)"},
        {with_block(2, patched(encode_world_block({}, {builder_section()}), 48, (uint32_t)-1)), no_lists(),
         LOAD_BAD_LEVEL, "negative pair count -1 (block 0 of kind 2, at offset 64)"},
        {with_block(5, grown(encode_texture_names_block({{"a", 0, 0, 0, 1, 1}}), -1)), no_lists(), LOAD_BAD_LEVEL,
         "texture name count 1 does not fit in the 15 bytes left (block 0 of kind 5, at offset 16)"},
        {none, {}, LOAD_BAD_D3D, "the file ends inside its entry count (at offset 0)"},
        {none, three, LOAD_BAD_D3D, "entry count 3 does not fit in the 0 bytes left (at offset 0)"},
        {none, patched(lists, 8, (uint32_t)-2), LOAD_BAD_D3D, "entry 0 has a palette count of -2 (entry 0, at offset 4)"},
        {none, grown(lists, -1), LOAD_BAD_D3D, "entry 0 has a palette count of 2 (entry 0, at offset 4)"},
        {none, patched(grown(encode_palette_lists({{0, {1}}}), 4), 0, 2), LOAD_BAD_D3D,
         "the file ends inside entry 1 (entry 1, at offset 16)"},
    };
    for (const refusal &c : cases) {
        std::string reason = std::string("The ") + (c.expected == LOAD_BAD_D3D ? "palette-list" : "level") +
                             " file was refused: " + c.reason + ".";
        SCOPED_TRACE(reason);
        log_capture log;
        level l;
        EXPECT_EQ(load_bytes(&l, c.lev, c.d3d), c.expected);
        EXPECT_TRUE(level_is_empty(l));
        EXPECT_EQ(load_failure_reason(), reason);
        std::vector<std::string> lines = log.lines();
        EXPECT_TRUE(!lines.empty() && lines.back() == reason);
    }
}

TEST(level_reader, blocks_read_before_a_refusal_are_freed_and_model_sizes_end_at_their_limit)
{
    // Under AddressSanitizer a leak here fails the run.
    sample_level s = make_sample_level(2, 1);
    level l;
    EXPECT_EQ(load_bytes(&l, s.lev, [&] { byte_buffer b = s.d3d; patch32le(b, 0, 1000); return b; }()), LOAD_BAD_D3D);
    EXPECT_TRUE(level_is_empty(l));
    byte_buffer cube = encode_model(make_cube_model(0));
    for (size_t size : {(size_t)131072, (size_t)524288}) {
        cube.resize(size, 0);
        ASSERT_EQ(load_bytes(&l, with_block(size > 131072 ? 13 : 1, encode_model_block_raw({cube})), no_lists()), LOAD_OK);
        cleanup_level(&l);
    }
}

TEST(level_reader, missing_targets_and_looping_instances_are_kept_but_marked_unsafe)
{
    builder_model cube = make_cube_model(0), good_inst = cube, self = cube, far = cube;
    cube.polygons[2].corners[1] = 9;   // vertex 9 of 8
    good_inst.vertices.clear();
    good_inst.instance_of = 0;
    self.vertices.clear();
    self.instance_of = 2;   // itself: a loop
    far.vertices.clear();
    far.instance_of = 77;   // outside the list
    level l;
    ASSERT_EQ(load_bytes(&l, with_block(1, encode_model_block({cube, good_inst, self, far})), no_lists()), LOAD_OK);
    EXPECT_TRUE(l.models[0].polygons[2].unsafe);
    EXPECT_FALSE(l.models[0].polygons[1].unsafe);
    EXPECT_FALSE(l.models[1].polygons[0].unsafe);
    EXPECT_TRUE(l.models[2].polygons[0].unsafe && l.models[3].polygons[5].unsafe);
    cleanup_level(&l);
}

// Cuts files at every point and changes bytes at every offset: each variant
// is either read or refused cleanly (empty level), never crashes.
TEST(level_reader, truncated_and_corrupted_files_are_read_or_refused_cleanly)
{
    byte_buffer lev = make_sample_level(0, 0).lev;
    byte_buffer with_palettes = encode_level({{BLOCK_TEXTURES, encode_texture_block({make_palette(0), make_palette(1)}, {})},
                                              {BLOCK_MODELS, encode_model_block({make_cube_model(0)})}});
    byte_buffer d3d = encode_palette_lists({{0, {0, 1}}, {1, {1}}});
    level l;
    int read = 0, refused = 0;
    auto check = [&](const byte_buffer &a, const byte_buffer &b) {
        int r = load_bytes(&l, a, b);
        r == LOAD_OK ? read++ : refused++;
        ASSERT_TRUE(r == LOAD_OK || ((r == LOAD_BAD_LEVEL || r == LOAD_BAD_D3D) && level_is_empty(l))) << r;
        cleanup_level(&l);
    };
    for (const byte_buffer *file : {&lev, &with_palettes}) {
        for (size_t cut = 0; cut < file->size(); cut++) {
            ASSERT_EQ(load_bytes(&l, byte_buffer(file->begin(), file->begin() + (long)cut), d3d), LOAD_BAD_LEVEL) << cut;
            ASSERT_TRUE(level_is_empty(l));
        }
        for (size_t at = 0; at < file->size(); at++)
            for (unsigned char value : {0x00, 0x7F, 0x80, 0xFF}) {
                byte_buffer t = *file;
                t[at] = value;
                check(t, d3d);
            }
    }
    for (size_t cut = 0; cut < d3d.size(); cut++) check(lev, byte_buffer(d3d.begin(), d3d.begin() + (long)cut));
    EXPECT_GT(read, 100);
    EXPECT_GT(refused, 100);
}
