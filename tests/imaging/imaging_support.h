// Shared helpers of the imaging tests: small levels and bitmap headers.
#pragma once
#include <stdint.h>

#include <vector>

#include "level_test_support.h"

typedef std::vector<unsigned char> bytes;

// A level loaded from builder bytes: page t paletted or 15-bit (the builder's
// asymmetric patterns), palettes with the given ids, palette lists {page, ids},
// each page's slot count from its first list. Free with release_level_memory.
inline void make_test_level(level *lvl, const std::vector<bool> &paletted_pages, const std::vector<int> &palette_ids,
                            const std::vector<builder_palette_list> &lists)
{
    std::vector<builder_palette> palettes;
    std::vector<builder_page> pages;
    for (int id : palette_ids) palettes.push_back(make_palette((int16_t)id));
    for (size_t t = 0; t < paletted_pages.size(); t++) pages.push_back(paletted_pages[t] ? make_paletted_page((int)t) : make_rgb15_page((int)t));
    ASSERT_EQ(LOAD_OK, load_bytes(lvl, encode_level({{BLOCK_TEXTURES, encode_texture_block(palettes, pages)}}), encode_palette_lists(lists)));
    for (const auto &list : lists)  // as the GL texture set does for the first list of a page
        if (lvl->textures[list.texture].palette_slot_count < 0) lvl->textures[list.texture].palette_slot_count = (int)list.palette_ids.size();
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
