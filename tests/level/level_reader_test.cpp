// The level and palette-list reader: every block kind, the mask, log lines, refusals, hostile files.
#include "level_test_support.h"

namespace {

byte_buffer with_block(int32_t kind, const byte_buffer &content) { return encode_level({{kind, content}}); }

// The level file is read in place from a regular file, the palette-list
// file whole from a stream without a descriptor.
int load_files(level *l, const byte_buffer &lev, byte_buffer d3d)
{
    std::string path = make_temp_folder() + "/a.lev";
    EXPECT_TRUE(write_bytes_to_file(path.c_str(), lev));
#ifdef _WIN32  // no fmemopen: the palette list comes from a file there
    EXPECT_TRUE(write_bytes_to_file((path + ".d3d").c_str(), d3d));
    FILE *d3d_stream = fopen((path + ".d3d").c_str(), "rb");
#else
    FILE *d3d_stream = fmemopen(d3d.data(), d3d.size(), "rb");
#endif
    FILE *lev_file = fopen(path.c_str(), "rb");
    memset(l, 0, sizeof *l);
    int result = load_level(l, lev_file, d3d_stream, LOAD_ALL).code;
    fclose(lev_file);
    fclose(d3d_stream);
    return result;
}

}  // namespace

TEST(level_reader, sample_level_reads_every_block_and_logs_in_file_order)
{
    log_capture log;
    sample_level s = make_sample_level(3, 2);   // pages 0-2 paletted, 3-4 15-bit
    byte_buffer d3d = encode_palette_lists({{0, {0, 0, 0}}, {1, {}}, {3, {0}}, {0, {0}}, {9, {0}}});
    level l;
    ASSERT_EQ(load_files(&l, s.lev, d3d), LOAD_OK);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{
        "Attempting to load level.", "File pointers okay", "Loading model names.", "Finished loading model names.",
        "Loading textures.", "Loaded palettes successfully.", "Finished loading textures.", "Loading world.",
        "Finished loading world.", "Loading texture names.", "Finished loading texture names.",
        "Loading event models.", "Number of event models: 1", "Finished event models.", "Parsing d3d.",
        "Finished parsing d3d."}));
    log.clear();
    // (Palettes, flags and the palette lists are checked by the writer's round trips.)
    EXPECT_EQ(0, memcmp(l.textures[4].pixels, make_rgb15_page(1, 1 | 2u << 16).pixels.data(), 131072));
    EXPECT_STREQ(l.texture_names[3].name, "LONGNAME");
    // Two instances, then one and two in the sections, in one array.
    ASSERT_EQ(l.world_instance_count, 5);
    EXPECT_FLOAT_EQ(l.world_instances[1].angle, -180.0f);
    EXPECT_EQ(l.world_instances[1].z, -5000);
    // Each page shows slot 0 of the first list naming it; the slot count is the
    // list's length, 0 for an empty list, -1 without a list or for a 15-bit page.
    const int slot_counts[] = {3, 0, -1, -1, -1};
    for (int t = 0; t < 5; t++)
        EXPECT_TRUE(l.textures[t].palette_slot_count == slot_counts[t] && l.textures[t].palette_slot == 0) << t;
    cleanup_level(&l);
    EXPECT_TRUE(level_is_empty(l));
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Cleaning up level.", "Level cleaned up successfully."}));
    EXPECT_EQ(load_files(&l, byte_buffer(s.lev.begin(), s.lev.end() - 1), d3d), LOAD_BAD_LEVEL);
    EXPECT_EQ(load_level(&l, nullptr, stdin, LOAD_ALL).code, LOAD_NO_LEVEL_FILE);
    EXPECT_EQ(load_level(&l, stdin, nullptr, LOAD_ALL).code, LOAD_NO_D3D_FILE);
}

// Unknown kinds are skipped by their size; a kind read twice keeps the
// second; palettes are indexed by id, a later id winning.
TEST(level_reader, blocks_are_skipped_replaced_and_indexed)
{
    level l;
    const unsigned char raw[] = {'a', 0, 'b', 'b', 0, 'd'};
    byte_buffer lev = encode_level({
        {BLOCK_MODEL_NAMES, encode_model_names_block({"first", "second"})},
        {BLOCK_TEXTURES, encode_texture_block({make_palette(0)}, {make_paletted_page(0)})},
        {-1, byte_buffer(37, 0xFF)}, {3, {}}, {14, {1}},
        {BLOCK_MODEL_NAMES, byte_buffer(raw, raw + sizeof raw)},
        {BLOCK_TEXTURES, encode_texture_block({make_palette(300), make_palette(7), make_palette(7)}, {})},
    });
    ASSERT_EQ(load_bytes(&l, lev, no_lists()), LOAD_OK);
    ASSERT_EQ(l.model_name_count, 3);
    EXPECT_STREQ(l.model_names[2], "d");   // still a C string without its NUL
    EXPECT_EQ(l.texture_count, 0);
    ASSERT_EQ(l.palette_table_size, 301);
    EXPECT_TRUE(l.palette_table[300] == &l.palettes[0] && l.palette_table[7] == &l.palettes[2] && !l.palette_table[299]);
    cleanup_level(&l);
}

namespace {

// Every refusal once, with its exact reason (which the log's last line gives too).
void expect_refusal(const byte_buffer &lev, const byte_buffer &d3d, int expected, const std::string &what)
{
    std::string reason = std::string("the ") + (expected == LOAD_BAD_D3D ? "palette-list" : "level") +
                         " file was refused: " + what, told;
    SCOPED_TRACE(reason);
    log_capture log;
    level l;
    EXPECT_EQ(load_bytes(&l, lev, d3d, LOAD_ALL, &told), expected);
    EXPECT_TRUE(level_is_empty(l));
    EXPECT_EQ(told, reason);
    std::vector<std::string> lines = log.lines();
    EXPECT_TRUE(!lines.empty() && lines.back() == "Load failed: " + reason + ".");
}

byte_buffer patched(byte_buffer b, size_t at, uint32_t v) { patch32le(b, at, v); return b; }
byte_buffer grown(byte_buffer b, int by) { b.resize(b.size() + by, 0); return b; }

}  // namespace

TEST(level_reader, unparseable_level_files_are_refused_whole_with_the_reason)
{
    byte_buffer tex = encode_texture_block({make_palette(0)}, {make_paletted_page(0)});
    byte_buffer one_page = encode_texture_block({}, {make_paletted_page(0)});
    byte_buffer models = encode_model_block({make_cube_model(0)}), cube = encode_model(make_cube_model(0));
    byte_buffer stray = patched(cube, 44, (uint32_t)cube.size() - 4);   // a flat triangle 4 bytes before the end
    stray[stray.size() - 4] = 0;
    const struct { byte_buffer lev; const char *reason; } cases[] = {
        {{}, "the file is too short for its block count (at offset 0)"},
        {{1, 0, 0}, "the file is too short for its block count (at offset 0)"},
        {{0xFF, 0xFF, 0xFF, 0xFF}, "block count -1 does not fit the file (at offset 0)"},
        {{2, 0, 0, 0, 7, 0, 0, 0, 2, 0, 0, 0, 1, 2}, "block count 2 does not fit the file (at offset 0)"},
        {patched(with_block(7, {}), 8, (uint32_t)-5), "block size -5 runs past the end of the file (block 0 of kind 7, at offset 4)"},
        {patched(with_block(7, {1, 2, 3}), 8, 4), "block size 4 runs past the end of the file (block 0 of kind 7, at offset 4)"},
        {encode_level({{0, {5}}, {7, {}}}), "the block ends inside its palette count (block 0 of kind 0, at offset 12)"},
        {with_block(0, patched(encode_texture_block({make_palette(0)}, {}), 0, 2)), "palette count 2 does not fit in the 1030 bytes left (block 0 of kind 0, at offset 12)"},
        {with_block(0, encode_texture_block({make_palette(-2)}, {})), "negative palette id -2 (block 0 of kind 0, at offset 14)"},
        {encode_level({{0, {0, 0, 1, 0, 0}}, {7, {}}}), "the block ends inside its page count (block 0 of kind 0, at offset 14)"},
        {with_block(0, patched(one_page, 2, (uint32_t)-1)), "negative page count -1 (block 0 of kind 0, at offset 14)"},
        {with_block(0, patched(one_page, 2, 2)), "page count 2 does not fit in the 65540 bytes left (block 0 of kind 0, at offset 14)"},
        {with_block(0, grown(tex, -1)), "page count 1 does not fit in the 65539 bytes left (block 0 of kind 0, at offset 1040)"},
        {with_block(0, patched(one_page, 6, 0)), "page 0 runs past the end of the block (block 0 of kind 0, at offset 18)"},   // as 15-bit
        {with_block(0, grown(tex, 1)), "1 bytes are left in the block after its last page (block 0 of kind 0, at offset 66584)"},
        {with_block(1, {}), "the block ends inside its model count (block 0 of kind 1, at offset 12)"},
        {with_block(1, patched(models, 0, (uint32_t)-3)), "negative model count -3 (block 0 of kind 1, at offset 16)"},
        {with_block(1, patched(models, 0, 1000)), "model count 1000 does not fit in the 469 bytes left (block 0 of kind 1, at offset 16)"},
        {with_block(1, patched(models, 4, peek32le(models, 4) + 1)), "model 0 runs past the end of the block (block 0 of kind 1, at offset 16)"},
        {with_block(1, grown(models, 1)), "1 bytes are left in the block after its records (block 0 of kind 1, at offset 485)"},
        {with_block(13, encode_model_block_raw({stray})), "event model 0 has a table or polygon outside its bytes (block 0 of kind 13, at offset 16)"},
        {with_block(1, encode_model_block_raw({patched(cube, 20, 0x00068000)})), "model 0 has a negative count (block 0 of kind 1, at offset 16)"},
        {with_block(1, encode_model_block_raw({grown(cube, 131073 - (int)cube.size())})), "model 0 is 131073 bytes long, more than 131072 (block 0 of kind 1, at offset 16)"},
        {with_block(13, encode_model_block_raw({grown(cube, 524289 - (int)cube.size())})), "event model 0 is 524289 bytes long, more than 524288 (block 0 of kind 13, at offset 16)"},
        {with_block(2, byte_buffer(43, 0)), "the block ends inside its section count (block 0 of kind 2, at offset 55)"},
        {with_block(2, patched(encode_world_block({}, {}), 12, (uint32_t)-1)), "negative section count -1 (block 0 of kind 2, at offset 56)"},
        {with_block(2, patched(encode_world_block({builder_instance()}, {}), 44, 2)), "instance count 2 does not fit in the 20 bytes left (block 0 of kind 2, at offset 60)"},
        {with_block(2, patched(encode_world_block({}, {builder_section()}), 48, (uint32_t)-1)), "negative pair count -1 (block 0 of kind 2, at offset 64)"},
        {with_block(5, grown(encode_texture_names_block({{"a", 0, 0, 0, 1, 1}}), -1)), "texture name count 1 does not fit in the 15 bytes left (block 0 of kind 5, at offset 16)"},
    };
    for (const auto &c : cases) expect_refusal(c.lev, no_lists(), LOAD_BAD_LEVEL, c.reason);
}

TEST(level_reader, unparseable_palette_list_files_are_refused_whole_with_the_reason)
{
    byte_buffer lists = encode_palette_lists({{0, {1, 2}}});
    const struct { byte_buffer d3d; const char *reason; } cases[] = {
        {{}, "the file ends inside its entry count (at offset 0)"},
        {patched(lists, 8, (uint32_t)-2), "entry 0 has a palette count of -2 (entry 0, at offset 4)"},
        {grown(lists, -1), "entry 0 has a palette count of 2 (entry 0, at offset 4)"},
        {{0xE8, 3, 0, 0}, "entry count 1000 does not fit in the 0 bytes left (at offset 0)"},
    };
    for (const auto &c : cases) expect_refusal(encode_level({}), c.d3d, LOAD_BAD_D3D, c.reason);
    // Blocks read before the refusal are freed (under AddressSanitizer a leak fails the run).
    sample_level s = make_sample_level(2, 1);
    expect_refusal(s.lev, patched(s.d3d, 0, 3), LOAD_BAD_D3D, "the file ends inside entry 2 (entry 2, at offset 32)");
}

// Indices outside the model list or its vertices, and loops, are kept but
// mark the polygons unsafe; models are read up to their size limits.
TEST(level_reader, missing_targets_and_looping_instances_are_kept_but_marked_unsafe)
{
    builder_model cube = make_cube_model(0), inst = cube;
    cube.polygons[2].corners[1] = 9;   // vertex 9 of 8
    inst.vertices.clear();
    std::vector<builder_model> list = {cube, inst, inst, inst};
    list[1].instance_of = 0, list[2].instance_of = 2, list[3].instance_of = 77;   // 2 is itself: a loop
    level l;
    ASSERT_EQ(load_bytes(&l, with_block(1, encode_model_block(list)), no_lists()), LOAD_OK);
    EXPECT_EQ(std::vector<bool>({l.models[0].polygons[1].unsafe, l.models[0].polygons[2].unsafe, l.models[1].polygons[0].unsafe,
                                 l.models[2].polygons[0].unsafe, l.models[3].polygons[5].unsafe}),
              std::vector<bool>({false, true, false, true, true}));
    cleanup_level(&l);
    byte_buffer bytes = encode_model(cube);
    for (size_t size : {(size_t)131072, (size_t)524288}) {
        bytes.resize(size, 0);
        EXPECT_EQ(load_bytes(&l, with_block(size > 131072 ? 13 : 1, encode_model_block_raw({bytes})), no_lists()), LOAD_OK);
        cleanup_level(&l);
    }
}

// Cuts a file at every point and changes bytes at every offset: each
// variant is either read or refused cleanly (empty level), never crashes.
TEST(level_reader, truncated_and_corrupted_files_are_read_or_refused_cleanly)
{
    byte_buffer lev = make_sample_level(0, 0).lev, d3d = encode_palette_lists({{0, {0, 1}}, {1, {1}}});
    patch32le(lev, 0, peek32le(lev, 0) + 1);
    put_block(lev, BLOCK_TEXTURES, encode_texture_block({make_palette(0), make_palette(1)}, {}));
    level l;
    int read = 0, refused = 0;
    auto check = [&](const byte_buffer &a, const byte_buffer &b) {
        int r = load_bytes(&l, a, b);
        r == LOAD_OK ? read++ : refused++;
        ASSERT_TRUE(r == LOAD_OK || ((r == LOAD_BAD_LEVEL || r == LOAD_BAD_D3D) && level_is_empty(l))) << r;
        cleanup_level(&l);
    };
    for (size_t cut = 0; cut < lev.size(); cut++) check(byte_buffer(lev.begin(), lev.begin() + (long)cut), d3d);
    for (size_t cut = 0; cut < d3d.size(); cut++) check(lev, byte_buffer(d3d.begin(), d3d.begin() + (long)cut));
    EXPECT_EQ(read, 0);   // no cut of the level file, nor of the palette-list file, is read
    for (size_t at = 0; at < lev.size(); at++)
        for (unsigned char value : {0x00, 0x7F, 0x80, 0xFF}) {
            byte_buffer t = lev;
            t[at] = value;
            check(t, d3d);
        }
    EXPECT_GT(read, 100);
    EXPECT_GT(refused, 100);
}
