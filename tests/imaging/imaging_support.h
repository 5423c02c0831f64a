// Shared helpers of the imaging tests: small levels and exact bitmap files.
#pragma once
#include <stdint.h>

#include "level_test_support.h"

typedef std::vector<unsigned char> bytes;
typedef std::vector<std::string> lines;

// A level loaded from builder bytes: page t paletted or 15-bit (the builder's
// asymmetric patterns), palettes with the given ids, palette lists {page, ids}.
// Free with release_level_memory.
inline void make_test_level(level *lvl, const std::vector<bool> &paletted_pages, const std::vector<int> &palette_ids,
                            const std::vector<builder_palette_list> &lists)
{
    std::vector<builder_palette> palettes;
    std::vector<builder_page> pages;
    for (int id : palette_ids) palettes.push_back(make_palette((int16_t)id));
    for (size_t t = 0; t < paletted_pages.size(); t++) pages.push_back(paletted_pages[t] ? make_paletted_page((int)t) : make_rgb15_page((int)t));
    ASSERT_EQ(LOAD_OK, load_bytes(lvl, encode_level({{BLOCK_TEXTURES, encode_texture_block(palettes, pages)}}), encode_palette_lists(lists)));
}

// Everything an import may change, to prove a refusal changed nothing.
inline std::vector<bytes> level_state(const level &l)
{
    std::vector<bytes> s;
    auto add = [&](const void *p, size_t n) { s.emplace_back((const unsigned char *)p, (const unsigned char *)p + n); };
    add(&l.palettes, sizeof l.palettes), add(l.palettes, l.palette_count * sizeof(level_palette));
    add(l.palette_table, l.palette_table_size * sizeof(level_palette *));
    for (int i = 0; i < l.palette_list_count; i++) add(l.palette_lists[i].palette_ids, l.palette_lists[i].count * 4);
    for (int t = 0; t < l.texture_count; t++) add(l.textures[t].pixels, page_byte_size(l.textures[t]));
    return s;
}

// The 54 header bytes of an uncompressed bottom-up 256 x 256 bitmap with
// `bits` per pixel and `colours` table entries (colours used: 0 for 256).
inline bytes bitmap_header(int bits, int colours)
{
    bytes b = {'B', 'M'};
    auto add = [&](uint32_t v, int n) { for (int i = 0; i < n; i++) b.push_back((unsigned char)(v >> (8 * i))); };
    const uint32_t offset = 54 + colours * 4, data = 65536 * bits / 8;
    for (uint32_t v : {offset + data, 0u, offset, 40u, 256u, 256u}) add(v, 4);
    add(1, 2), add(bits, 2);
    for (uint32_t v : {0u, data, 2835u, 2835u, (uint32_t)colours % 256, 0u}) add(v, 4);
    return b;
}

// A test page: index_at(i) is pixel i's index (row by row from the top) and
// table_byte(i, c) channel c (red, green, blue, extra) of colour i.
inline unsigned char index_at(int i) { return (unsigned char)(((i % 256) * 3 + (i / 256) * 5) ^ (i % 256 / 16)); }
inline unsigned char table_byte(int i, int c) { return (unsigned char)(c == 0 ? 255 - i : c == 1 ? i * 3 : c == 2 ? i / 2 : i ^ 0x33); }

// The test page as an 8-bit bitmap with the first `colours` table entries.
inline bytes valid_8bit(int colours = 256)
{
    bytes b = bitmap_header(8, colours);
    for (int i = 0; i < colours; i++) b.insert(b.end(), {table_byte(i, 2), table_byte(i, 1), table_byte(i, 0), table_byte(i, 3)});
    for (int y = 255; y >= 0; y--)
        for (int x = 0; x < 256; x++) b.push_back(index_at(y * 256 + x));
    return b;
}
