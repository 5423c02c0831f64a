// Writes the small seed inputs of the fuzz targets, made with the level builder.
//
// Usage: make_fuzz_seeds SEEDS_FOLDER  (writes SEEDS_FOLDER/fuzz_load_level/*
// and SEEDS_FOLDER/fuzz_decode_model/*; each seed is a few KB at most).
#include <stdio.h>

#include <string>

#include "demo/level_builder.h"

namespace {

bool write_load_seed(const std::string &folder, const char *name, const byte_buffer &lev, const byte_buffer &d3d)
{
    byte_buffer seed;
    put32le(seed, (uint32_t)lev.size());
    put_bytes(seed, lev);
    put_bytes(seed, d3d);
    return write_bytes_to_file((folder + "/fuzz_load_level/" + name).c_str(), seed);
}

builder_model every_kind_model()
{
    builder_model m;
    for (int i = 0; i < 5; i++) m.vertices.push_back({(float)i, (float)-i, 1.0f});
    m.normals = {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}, {0, 0, -1}};
    for (int type : {0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23, 32, 55}) {
        builder_polygon p;
        p.type = type;
        for (int k = 0; k < 4; k++) {
            p.corners[k] = k;
            p.normals[k] = 3 - k;
            p.uv[k][0] = (unsigned char)(k * 60);
        }
        p.texture = 1;
        m.polygons.push_back(p);
    }
    m.textures_used = {0, 1};
    m.has_extra_table = true;
    m.extra_records.resize(1);
    return m;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s SEEDS_FOLDER\n", argv[0]);
        return 2;
    }
    std::string folder = argv[1];
    bool ok = true;

    builder_model cube = make_cube_model(0);
    builder_model kinds = every_kind_model();
    builder_model instance = make_cube_model(1);
    instance.vertices.clear();
    instance.instance_of = 0;
    byte_buffer lists = encode_palette_lists({{0, {0, 1}}, {1, {1}}, {5, {7}}});

    // Every block kind the reader knows, pages left out to keep seeds small.
    std::vector<builder_instance> placed(2);
    placed[1].angle = 1024;
    std::vector<builder_section> sections(1);
    sections[0].pairs = {{1, 2}};
    sections[0].bytes = {3};
    sections[0].instances.resize(1);
    byte_buffer all = encode_level({
        {BLOCK_MODEL_NAMES, encode_model_names_block({"cube", "kinds", "inst"})},
        {BLOCK_TEXTURES, encode_texture_block({make_palette(0), make_palette(1)}, {})},
        {7, byte_buffer(16, 0xAB)},
        {BLOCK_MODELS, encode_model_block({cube, kinds, instance})},
        {BLOCK_WORLD, encode_world_block(placed, sections)},
        {BLOCK_TEXTURE_NAMES, encode_texture_names_block({{"road", 0, 0, 0, 64, 64}, {"ABCDEFGH", 3, 1, 2, 3, 4}})},
        {BLOCK_EVENT_MODELS, encode_model_block({kinds})},
    });
    ok &= write_load_seed(folder, "all_blocks", all, lists);
    ok &= write_load_seed(folder, "models_only", encode_level({{BLOCK_MODELS, encode_model_block({cube, instance})}}),
                          encode_palette_lists({}));
    ok &= write_load_seed(folder, "world_only", encode_level({{BLOCK_WORLD, encode_world_block(placed, sections)}}),
                          byte_buffer{0xFF, 0xFF, 0xFF, 0xFF});
    ok &= write_load_seed(folder, "palettes", encode_level({{BLOCK_TEXTURES,
        encode_texture_block({make_palette(3), make_palette(0), make_palette(3)}, {})}}), lists);
    ok &= write_load_seed(folder, "empty", encode_level({}), encode_palette_lists({}));

    ok &= write_bytes_to_file((folder + "/fuzz_decode_model/cube").c_str(), encode_model(cube));
    ok &= write_bytes_to_file((folder + "/fuzz_decode_model/every_kind").c_str(), encode_model(kinds));
    ok &= write_bytes_to_file((folder + "/fuzz_decode_model/instance").c_str(), encode_model(instance));
    if (!ok) {
        fprintf(stderr, "%s: could not write the seeds\n", argv[0]);
        return 1;
    }
    return 0;
}
