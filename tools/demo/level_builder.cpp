// Level-file and palette-list bytes built in memory (see level_builder.h).
//
// Sections follow the header: put helpers, blocks, pages, models, world and
// names, palette lists, the sample level.
#include "demo/level_builder.h"

#include <stdio.h>
#include <string.h>

// ---- 1. put helpers ---------------------------------------------------------

void put8(byte_buffer &b, unsigned value) { b.push_back((unsigned char)value); }

void put16le(byte_buffer &b, unsigned value)
{
    b.push_back((unsigned char)value);
    b.push_back((unsigned char)(value >> 8));
}

void put32le(byte_buffer &b, uint32_t value)
{
    for (int i = 0; i < 4; i++) b.push_back((unsigned char)(value >> (8 * i)));
}

void put_f32le(byte_buffer &b, float value)
{
    uint32_t bits;
    memcpy(&bits, &value, 4);
    put32le(b, bits);
}

void put_bytes(byte_buffer &b, const void *data, size_t size)
{
    const unsigned char *p = (const unsigned char *)data;
    b.insert(b.end(), p, p + size);
}

void put_bytes(byte_buffer &b, const byte_buffer &data) { b.insert(b.end(), data.begin(), data.end()); }

void patch32le(byte_buffer &b, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; i++) b[offset + i] = (unsigned char)(value >> (8 * i));
}

uint32_t peek32le(const byte_buffer &b, size_t offset)
{
    return (uint32_t)b[offset] | (uint32_t)b[offset + 1] << 8 | (uint32_t)b[offset + 2] << 16 |
           (uint32_t)b[offset + 3] << 24;
}

// ---- 2. blocks --------------------------------------------------------------

void put_block(byte_buffer &b, int32_t kind, const byte_buffer &content)
{
    put32le(b, (uint32_t)kind);
    put32le(b, (uint32_t)content.size());
    put_bytes(b, content);
}

byte_buffer encode_level(const std::vector<builder_block> &blocks)
{
    size_t total = 4;
    for (const builder_block &block : blocks) total += 8 + block.content.size();
    byte_buffer b;
    b.reserve(total);
    put32le(b, (uint32_t)blocks.size());
    for (const builder_block &block : blocks) put_block(b, block.kind, block.content);
    return b;
}

// ---- 3. palettes and pages --------------------------------------------------

builder_palette make_palette(int16_t id)
{
    builder_palette p;
    p.id = id;
    for (int i = 0; i < 256; i++) {
        p.entries[i][0] = (unsigned char)(i * 3 + id * 17);       // red
        p.entries[i][1] = (unsigned char)(255 - i + id * 5);      // green
        p.entries[i][2] = (unsigned char)((i * 7) ^ (id * 29));   // blue
        p.entries[i][3] = (unsigned char)(i ^ 0x5A ^ id);         // extra, carried unchanged
    }
    return p;
}

builder_page make_paletted_page(int seed, uint32_t extra_flags)
{
    builder_page page;
    page.flags = 0x10 | extra_flags;
    page.indices.resize(65536);
    // A diagonal ramp with a block in the top-left corner: flips and
    // transpositions change it visibly.
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            unsigned v = (unsigned)(x + 2 * y + seed * 13);
            if (x < 40 && y < 20) v = (unsigned)(200 + seed);
            page.indices[y * 256 + x] = (unsigned char)v;
        }
    return page;
}

builder_page make_rgb15_page(int seed, uint32_t extra_flags)
{
    builder_page page;
    page.flags = extra_flags & ~0x10u;
    page.pixels.resize(65536);
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            unsigned r = (unsigned)(x >> 3), g = (unsigned)(y >> 3), b = (unsigned)((x + y + seed) >> 4) & 31;
            uint16_t p = (uint16_t)(r << 10 | g << 5 | b);
            if (x < 16 && y < 16) p = 0x8421;   // a corner of transparent key
            page.pixels[y * 256 + x] = p;
        }
    return page;
}

byte_buffer encode_texture_block(const std::vector<builder_palette> &palettes,
                                 const std::vector<builder_page> &pages)
{
    size_t total = 2 + 1026 * palettes.size() + 4;
    for (const builder_page &page : pages) total += 4 + ((page.flags & 0x10) ? 65536 : 131072);
    byte_buffer b;
    b.reserve(total);
    put16le(b, (unsigned)palettes.size());
    for (const builder_palette &p : palettes) {
        put16le(b, (uint16_t)p.id);
        for (int i = 0; i < 256; i++) {
            put8(b, p.entries[i][2]);   // blue
            put8(b, p.entries[i][1]);   // green
            put8(b, p.entries[i][0]);   // red
            put8(b, p.entries[i][3]);   // extra
        }
    }
    put32le(b, (uint32_t)pages.size());
    for (const builder_page &page : pages) {
        put32le(b, page.flags);
        if (page.flags & 0x10) {
            byte_buffer indices = page.indices;
            indices.resize(65536, 0);
            put_bytes(b, indices);
        } else {
            for (int i = 0; i < 65536; i++) put16le(b, i < (int)page.pixels.size() ? page.pixels[i] : 0);
        }
    }
    return b;
}

// ---- 4. models --------------------------------------------------------------

namespace {

// Kind of each type byte (-1 = none) and the byte layout of each kind.
int polygon_kind(int type)
{
    if (type < 0 || type > 55) return -1;
    int t = type & ~32;
    if (t <= 7) return t;
    if (t >= 16 && t <= 23) return 8 + (t - 16);
    return -1;
}

const int KIND_LENGTH[16] = {12, 16, 20, 28, 20, 24, 28, 36, 16, 16, 20, 24, 20, 24, 24, 32};

struct kind_layout {
    bool quad;
    int texture;        // offset of the page byte, 0 = none
    int normals;        // offset of the first normal index, 0 = none
    int normal_count;   // 1 = one normal, else one per corner
    int uv;             // offset of the first u byte, 0 = none
    int colour;         // offset of the first colour, 0 = none
    int colour_count;   // corners with a colour
};

const kind_layout LAYOUT[16] = {
    {false, 0, 0, 0, 0, 8, 1},    {true, 0, 0, 0, 0, 12, 1},
    {false, 0, 0, 0, 0, 0, 0},    {true, 0, 0, 0, 0, 0, 0},
    {false, 1, 0, 0, 10, 16, 1},  {true, 1, 0, 0, 12, 20, 1},
    {false, 1, 0, 0, 10, 16, 3},  {true, 1, 0, 0, 12, 20, 4},
    {false, 0, 10, 1, 0, 12, 1},  {true, 1, 10, 1, 0, 12, 1},
    {false, 1, 10, 3, 0, 16, 1},  {true, 1, 12, 4, 0, 20, 1},
    {false, 1, 8, 1, 10, 16, 1},  {true, 1, 10, 1, 12, 20, 1},
    {false, 1, 8, 3, 14, 20, 1},  {true, 1, 12, 4, 20, 28, 1},
};

void set16(byte_buffer &b, size_t at, int value)
{
    b[at] = (unsigned char)value;
    b[at + 1] = (unsigned char)((unsigned)value >> 8);
}

}  // namespace

int builder_polygon_length(int type)
{
    int kind = polygon_kind(type);
    return kind < 0 ? 0 : KIND_LENGTH[kind];
}

byte_buffer encode_polygon(const builder_polygon &p)
{
    int kind = polygon_kind(p.type);
    if (kind < 0) return byte_buffer(1, (unsigned char)p.type);
    const kind_layout &l = LAYOUT[kind];
    byte_buffer b(KIND_LENGTH[kind], 0);
    b[0] = (unsigned char)p.type;
    int corners = l.quad ? 4 : 3;
    for (int k = 0; k < corners; k++) set16(b, 2 + 2 * k, p.corners[k]);
    if (l.texture) b[l.texture] = (unsigned char)p.texture;
    if (l.normals) {
        int n = l.normal_count == 1 ? 1 : corners;
        for (int k = 0; k < n; k++) set16(b, l.normals + 2 * k, p.normals[k]);
    }
    if (l.uv)
        for (int k = 0; k < corners; k++) {
            b[l.uv + 2 * k] = p.uv[k][0];
            b[l.uv + 2 * k + 1] = p.uv[k][1];
        }
    if (l.colour)
        for (int k = 0; k < l.colour_count; k++)
            for (int c = 0; c < 3; c++) b[l.colour + 4 * k + c] = p.colour[k][c];
    return b;
}

byte_buffer encode_model(const builder_model &m)
{
    byte_buffer texture_list(m.textures_used.begin(), m.textures_used.end());
    byte_buffer vertices, info, normals, stream, extra;
    for (const auto &v : m.vertices)
        for (float f : v) put_f32le(vertices, f);
    for (const auto &n : m.normals)
        for (float f : n) put_f32le(normals, f);
    for (size_t i = 0; i < m.polygons.size(); i++) {
        if (i < m.polygon_info.size()) put_bytes(info, m.polygon_info[i].data(), 16);
        else info.resize(info.size() + 16, 0);
        put_bytes(stream, encode_polygon(m.polygons[i]));
    }
    if (m.has_extra_table) {
        put32le(extra, (uint32_t)m.extra_records.size());
        for (const auto &r : m.extra_records) put_bytes(extra, r.data(), 20);
    }

    uint32_t at = 56;
    uint32_t texture_offset = at;  at += (uint32_t)texture_list.size();
    uint32_t vertex_offset = at;   at += (uint32_t)vertices.size();
    uint32_t info_offset = at;     at += (uint32_t)info.size();
    uint32_t normal_offset = at;   at += (uint32_t)normals.size();
    uint32_t stream_offset = at;   at += (uint32_t)stream.size();
    uint32_t extra_offset = m.has_extra_table ? at : 0;

    byte_buffer b;
    put32le(b, m.draw_flags);                          //  0 draw flags
    put32le(b, (uint32_t)m.instance_of);               //  4 instance source
    put32le(b, m.object_flags);                        //  8 object flags
    put_f32le(b, m.radius);                            // 12 radius
    put32le(b, m.extra_word);                          // 16 further word
    put16le(b, (unsigned)m.vertices.size());           // 20 vertex count
    put16le(b, (unsigned)m.polygons.size());           // 22 polygon count
    put16le(b, (unsigned)m.normals.size());            // 24 normal count
    put16le(b, (unsigned)m.textures_used.size());      // 26 texture-list length
    put32le(b, texture_offset);                        // 28 texture list
    put32le(b, vertex_offset);                         // 32 vertex table
    put32le(b, info_offset);                           // 36 polygon-info table
    put32le(b, normal_offset);                         // 40 normal table
    put32le(b, stream_offset);                         // 44 polygon stream
    put32le(b, 0);                                     // 48 not read
    put32le(b, extra_offset);                          // 52 extra-record table
    put_bytes(b, texture_list);
    put_bytes(b, vertices);
    put_bytes(b, info);
    put_bytes(b, normals);
    put_bytes(b, stream);
    put_bytes(b, extra);
    return b;
}

byte_buffer encode_model_block_raw(const std::vector<byte_buffer> &models)
{
    byte_buffer b;
    put32le(b, (uint32_t)models.size());
    for (const byte_buffer &m : models) {
        put32le(b, (uint32_t)m.size());
        put_bytes(b, m);
    }
    return b;
}

byte_buffer encode_model_block(const std::vector<builder_model> &models)
{
    std::vector<byte_buffer> encoded;
    for (const builder_model &m : models) encoded.push_back(encode_model(m));
    return encode_model_block_raw(encoded);
}

builder_model make_cube_model(int page, float size)
{
    builder_model m;
    m.radius = size * 1.75f;
    for (int i = 0; i < 8; i++)
        m.vertices.push_back({(i & 1) ? size : -size, (i & 2) ? size : -size, (i & 4) ? size : -size});
    m.normals = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    const int faces[6][4] = {{1, 3, 7, 5}, {0, 4, 6, 2}, {2, 6, 7, 3}, {0, 1, 5, 4}, {4, 5, 7, 6}, {0, 2, 3, 1}};
    for (int f = 0; f < 6; f++) {
        builder_polygon p;
        p.type = 21;   // textured quad with one normal
        for (int k = 0; k < 4; k++) p.corners[k] = faces[f][k];
        p.normals[0] = f;
        p.texture = page;
        const unsigned char uv[4][2] = {{0, 0}, {255, 0}, {255, 255}, {0, 255}};
        memcpy(p.uv, uv, sizeof uv);
        p.colour[0][0] = 200; p.colour[0][1] = 100; p.colour[0][2] = (unsigned char)(40 * f);
        m.polygons.push_back(p);
    }
    m.textures_used.push_back((unsigned char)page);
    return m;
}

// ---- 5. world and names -----------------------------------------------------

namespace {

void put_instance(byte_buffer &b, const builder_instance &i)
{
    put16le(b, i.skipped_a);
    put16le(b, i.model);
    put32le(b, (uint32_t)i.x);
    put32le(b, (uint32_t)i.y);
    put32le(b, (uint32_t)i.z);
    put16le(b, (uint16_t)i.angle);
    put16le(b, i.skipped_b);
}

}  // namespace

byte_buffer encode_world_block(const std::vector<builder_instance> &instances,
                               const std::vector<builder_section> &sections, int32_t header_fill)
{
    byte_buffer b;
    for (int i = 0; i < 11; i++) put32le(b, (uint32_t)(i == 3 ? (int32_t)sections.size() : header_fill));
    put32le(b, (uint32_t)instances.size());
    for (const builder_instance &i : instances) put_instance(b, i);
    for (const builder_section &s : sections) {
        put32le(b, (uint32_t)s.pairs.size());
        for (const auto &pair : s.pairs) {
            put16le(b, pair[0]);
            put16le(b, pair[1]);
        }
        put32le(b, (uint32_t)s.bytes.size());
        put_bytes(b, s.bytes.data(), s.bytes.size());
        put32le(b, (uint32_t)s.instances.size());
        for (const builder_instance &i : s.instances) put_instance(b, i);
    }
    return b;
}

byte_buffer encode_texture_names_block(const std::vector<builder_texture_name> &names)
{
    byte_buffer b;
    put32le(b, (uint32_t)names.size());
    for (const builder_texture_name &n : names) {
        unsigned char name[8] = {};
        memcpy(name, n.name.data(), n.name.size() < 8 ? n.name.size() : 8);
        put_bytes(b, name, 8);
        put8(b, (unsigned)n.texture);
        put8(b, (unsigned)n.x);
        put8(b, (unsigned)n.y);
        put8(b, (unsigned)n.w);
        put8(b, (unsigned)n.h);
        put8(b, 0); put8(b, 0); put8(b, 0);   // padding
    }
    return b;
}

byte_buffer encode_model_names_block(const std::vector<std::string> &names)
{
    byte_buffer b;
    for (const std::string &n : names) {
        put_bytes(b, n.data(), n.size());
        put8(b, 0);
    }
    return b;
}

// ---- 6. palette lists -------------------------------------------------------

byte_buffer encode_palette_lists(const std::vector<builder_palette_list> &lists)
{
    byte_buffer b;
    put32le(b, (uint32_t)lists.size());
    for (const builder_palette_list &l : lists) {
        put32le(b, (uint32_t)l.texture);
        put32le(b, (uint32_t)l.palette_ids.size());
        for (int32_t id : l.palette_ids) put32le(b, (uint32_t)id);
    }
    return b;
}

// ---- 7. sample level --------------------------------------------------------

sample_level make_sample_level(int paletted_pages, int rgb15_pages)
{
    std::vector<builder_palette> palettes;
    std::vector<builder_page> pages;
    std::vector<builder_palette_list> lists;
    int16_t next_id = 0;
    for (int i = 0; i < paletted_pages; i++) {
        builder_palette_list list;
        list.texture = i;
        int slots = 1 + i % 3;
        for (int s = 0; s < slots; s++) {
            palettes.push_back(make_palette(next_id));
            list.palette_ids.push_back(next_id);
            next_id++;
        }
        lists.push_back(list);
        pages.push_back(make_paletted_page(i, (i % 2) ? 0x01 : 0));
    }
    for (int i = 0; i < rgb15_pages; i++)
        pages.push_back(make_rgb15_page(i, (uint32_t)(i % 2) | ((uint32_t)(i % 4 == 0 ? 0xFFFF : 2) << 16)));

    int page_count = paletted_pages + rgb15_pages;
    std::vector<builder_model> models;
    models.push_back(make_cube_model(0));
    builder_model tri;
    tri.vertices = {{0, 0, 0}, {1.5f, -2.0f, 3.0f}, {0, 1, 0}};
    tri.normals = {{0, 0, 1}};
    builder_polygon p;
    p.type = 4;
    p.corners[0] = 0; p.corners[1] = 1; p.corners[2] = 2;
    p.texture = page_count > 1 ? 1 : 0;
    p.uv[1][0] = 255; p.uv[2][0] = 255; p.uv[2][1] = 255;
    p.colour[0][0] = 128; p.colour[0][1] = 64; p.colour[0][2] = 32;
    tri.polygons.push_back(p);
    p.type = 0;
    tri.polygons.push_back(p);
    tri.textures_used = {(unsigned char)p.texture};
    tri.has_extra_table = true;
    std::array<unsigned char, 20> extra{};
    extra[0] = 7;
    tri.extra_records.push_back(extra);
    tri.draw_flags = 1u << 27;
    tri.object_flags = 0x400;
    models.push_back(tri);
    builder_model instance = make_cube_model(0);
    instance.instance_of = 0;
    instance.vertices.clear();
    models.push_back(instance);

    std::vector<builder_model> event_models = {make_cube_model(page_count > 2 ? 2 : 0, 2.0f)};

    std::vector<builder_instance> instances(2);
    instances[0].model = 0; instances[0].x = 100; instances[0].angle = 1024;
    instances[1].model = 1; instances[1].z = -5000; instances[1].angle = -2048;
    std::vector<builder_section> sections(2);
    sections[0].pairs = {{1, 2}, {3, 4}};
    sections[0].bytes = {9, 8, 7};
    sections[0].instances.resize(1);
    sections[0].instances[0].model = 2;
    sections[1].instances.resize(2);
    sections[1].instances[1].model = 1;
    sections[1].instances[1].y = 77;

    std::vector<builder_texture_name> names;
    for (int i = 0; i < page_count; i++) {
        names.push_back({"tex" + std::to_string(i) + "a", i, 0, 0, 64, 32});
        names.push_back({"LONGNAME", i, 64, 32, 128, 128});
    }

    sample_level out;
    out.lev = encode_level({
        {BLOCK_MODEL_NAMES, encode_model_names_block({"cube", "tri", "inst"})},
        {BLOCK_TEXTURES, encode_texture_block(palettes, pages)},
        {7, byte_buffer(100, 0xAB)},
        {BLOCK_MODELS, encode_model_block(models)},
        {BLOCK_WORLD, encode_world_block(instances, sections)},
        {BLOCK_TEXTURE_NAMES, encode_texture_names_block(names)},
        {BLOCK_EVENT_MODELS, encode_model_block(event_models)},
    });
    out.d3d = encode_palette_lists(lists);
    return out;
}

bool write_bytes_to_file(const char *path, const byte_buffer &bytes)
{
    FILE *f = fopen(path, "wb");
    if (!f) return false;
    bool ok = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (fclose(f) != 0) ok = false;
    return ok;
}
