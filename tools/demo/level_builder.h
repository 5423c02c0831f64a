// Builds level-file and palette-list bytes in memory, for tests, tools and benchmarks.
//
// Everything here produces plain little-endian bytes in a byte_buffer; nothing
// touches the editor's global level. A typical use:
//
//     byte_buffer lev = encode_level({
//         {BLOCK_TEXTURES, encode_texture_block(palettes, pages)},
//         {BLOCK_MODELS, encode_model_block({cube})},
//         {7, byte_buffer(100, 0xAB)},            // a kind the editor skips
//     });
//     byte_buffer d3d = encode_palette_lists({{0, {3, 5}}});
//
// Sections:
//   1. put helpers (put8, put16le, put32le, put_f32le, patch32le)
//   2. blocks and whole level files
//   3. palettes and texture pages (kind 0)
//   4. models (kinds 1 and 13)
//   5. world (kind 2), texture names (kind 5), model names (kind 12)
//   6. palette-list files
//   7. a small sample level with every block kind, and file helpers
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <array>
#include <string>
#include <vector>

typedef std::vector<unsigned char> byte_buffer;

// ---- 1. put helpers: append little-endian values ------------------------
void put8(byte_buffer &b, unsigned value);
void put16le(byte_buffer &b, unsigned value);
void put32le(byte_buffer &b, uint32_t value);
void put_f32le(byte_buffer &b, float value);
void put_bytes(byte_buffer &b, const void *data, size_t size);
void put_bytes(byte_buffer &b, const byte_buffer &data);
// Overwrite 4 bytes at `offset` (which must lie inside `b`).
void patch32le(byte_buffer &b, size_t offset, uint32_t value);
uint32_t peek32le(const byte_buffer &b, size_t offset);

// ---- 2. blocks and level files --------------------------------------------
enum {
    BLOCK_TEXTURES = 0,
    BLOCK_MODELS = 1,
    BLOCK_WORLD = 2,
    BLOCK_TEXTURE_NAMES = 5,
    BLOCK_MODEL_NAMES = 12,
    BLOCK_EVENT_MODELS = 13,
};

struct builder_block {
    int32_t kind;
    byte_buffer content;      // the size field is content.size()
};

// int32 block count, then kind, size, content for each block.
byte_buffer encode_level(const std::vector<builder_block> &blocks);
// One block: kind, size, content (for hand-made files with odd sizes).
void put_block(byte_buffer &b, int32_t kind, const byte_buffer &content);

// ---- 3. palettes and texture pages ----------------------------------------
struct builder_palette {
    int16_t id;
    // In memory order: red, green, blue, extra. Written as blue, green, red, extra.
    std::array<std::array<unsigned char, 4>, 256> entries;
};

struct builder_page {
    uint32_t flags;                 // bit 4 (0x10) = paletted, bit 0 = transparent
    std::vector<unsigned char> indices;   // 65,536 bytes when paletted
    std::vector<uint16_t> pixels;         // 65,536 pixels otherwise
};

// A palette whose colours are a recognisable function of id and index.
builder_palette make_palette(int16_t id);
// A paletted page (flags 0x10 | extra_flags) with an asymmetric pattern.
builder_page make_paletted_page(int seed, uint32_t extra_flags = 0);
// A 15-bit page (flags extra_flags, bit 4 cleared) with an asymmetric pattern.
builder_page make_rgb15_page(int seed, uint32_t extra_flags = 0);

// Content of a kind-0 block: uint16 palette count, palettes, int32 page
// count, pages (flags then pixels).
byte_buffer encode_texture_block(const std::vector<builder_palette> &palettes,
                                 const std::vector<builder_page> &pages);

// ---- 4. models -------------------------------------------------------------
// One polygon as written in the file. Corner and normal indices and (u, v)
// pairs are in file order (the decoder reverses them); only the fields the
// type's layout uses are written, everything else of its length is zero.
struct builder_polygon {
    int type = 0;                   // type byte 0-255
    int corners[4] = {0, 0, 0, 0};
    int normals[4] = {0, 0, 0, 0};
    int texture = 0;                // page index byte
    unsigned char uv[4][2] = {};
    unsigned char colour[4][3] = {};  // red, green, blue per corner (file order)
};

struct builder_model {
    uint32_t draw_flags = 0;
    int32_t instance_of = -1;
    uint32_t object_flags = 0;
    float radius = 1.0f;
    uint32_t extra_word = 0;
    std::vector<std::array<float, 3>> vertices;
    std::vector<std::array<float, 3>> normals;
    std::vector<builder_polygon> polygons;
    std::vector<unsigned char> textures_used;
    // One 16-byte record per polygon; missing records are written as zeros.
    std::vector<std::array<unsigned char, 16>> polygon_info;
    bool has_extra_table = false;   // write an extra-record table (offset 52)
    std::vector<std::array<unsigned char, 20>> extra_records;
};

// Byte length of a polygon of this type in the stream (0 for types without a
// layout, which includes everything above 55).
int builder_polygon_length(int type);
// One polygon's bytes (builder_polygon_length(type) bytes; one type byte for
// types without a layout, so a caller can write odd streams).
byte_buffer encode_polygon(const builder_polygon &p);
// A model's bytes: 56-byte header, then texture list, vertices, polygon
// info, normals, polygon stream, extra records, with the header's offsets.
byte_buffer encode_model(const builder_model &m);
// Content of a kind-1 or kind-13 block: int32 count, then length + bytes per model.
byte_buffer encode_model_block(const std::vector<builder_model> &models);
// The same from already encoded model bytes (for hand-broken models).
byte_buffer encode_model_block_raw(const std::vector<byte_buffer> &models);
// A small cube of 8 vertices and 6 textured quads on `page`.
builder_model make_cube_model(int page, float size = 1.0f);

// ---- 5. world, texture names, model names ---------------------------------
struct builder_instance {
    uint16_t skipped_a = 0;
    uint16_t model = 0;
    int32_t x = 0, y = 0, z = 0;
    int16_t angle = 0;              // 1/4096 of a full turn
    uint16_t skipped_b = 0;
};

struct builder_section {
    std::vector<std::array<uint16_t, 2>> pairs;   // skipped by the reader
    std::vector<unsigned char> bytes;             // skipped by the reader
    std::vector<builder_instance> instances;
};

// Content of a kind-2 block: eleven header words (word 3 = section count,
// the rest `header_fill`), the first instance list, then the sections.
byte_buffer encode_world_block(const std::vector<builder_instance> &instances,
                               const std::vector<builder_section> &sections,
                               int32_t header_fill = 0);

struct builder_texture_name {
    std::string name;               // up to 8 characters (longer is cut)
    int texture = 0, x = 0, y = 0, w = 0, h = 0;
};
// Content of a kind-5 block: int32 count, 16-byte records.
byte_buffer encode_texture_names_block(const std::vector<builder_texture_name> &names);
// Content of a kind-12 block: each name followed by a NUL.
byte_buffer encode_model_names_block(const std::vector<std::string> &names);

// ---- 6. palette-list files -------------------------------------------------
struct builder_palette_list {
    int32_t texture;
    std::vector<int32_t> palette_ids;
};
// int32 entry count, then texture, count, ids for each entry.
byte_buffer encode_palette_lists(const std::vector<builder_palette_list> &lists);

// ---- 7. sample levels and files --------------------------------------------
struct sample_level {
    byte_buffer lev;
    byte_buffer d3d;
};

// A level with every block kind the editor reads plus one it skips (kind 7):
// `paletted_pages` paletted pages (each with a palette list of one to three
// palettes) followed by `rgb15_pages` 15-bit pages, a few models, event
// models, world instances in two sections, texture and model names.
sample_level make_sample_level(int paletted_pages = 2, int rgb15_pages = 1);

// Writes bytes to a file; false on any failure.
bool write_bytes_to_file(const char *path, const byte_buffer &bytes);
