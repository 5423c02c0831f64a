// Fuzz entry point: a whole import from a file's bytes: its format told, its
// decoder, then the importers into a paletted page with one palette, a
// paletted page with three (only selected textures), and a 15-bit page.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "demo/level_builder.h"
#include "imaging/page_import.h"
#include "imaging/image_decode.h"
#include "imaging/image_file.h"
#include "level/level.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Palettes 0, 1 and 3 (id 2 is free); page 1 shows the palette at slot 3 of {0, 1, 3}.
    static const byte_buffer lev = encode_level({{BLOCK_TEXTURES, encode_texture_block(
        {make_palette(0), make_palette(1), make_palette(3)}, {make_paletted_page(0), make_paletted_page(1), make_rgb15_page(2)})}});
    static const byte_buffer d3d = encode_palette_lists({{0, {0}}, {1, {0, 1, 3}}});
    // The name's extension tells a TGA, which has no signature.
    import_image image;
    if (decode_image_bytes(data, size, size % 3 == 0 ? "page.tga" : "page", &image).code != IMPORT_OK) return 0;
    level lvl;
    memset(&lvl, 0, sizeof lvl);
    if (load_level_from_memory(&lvl, lev.data(), lev.size(), d3d.data(), d3d.size(), LOAD_ALL).code != LOAD_OK) abort();
    lvl.textures[0].palette_slot_count = 1;
    lvl.textures[1].palette_slot_count = 3, lvl.textures[1].palette_slot = 2;
    texture_name names[2] = {{"a", 1, 10, 10, 40, 20}, {"b", 1, 200, 240, 255, 255}};
    const texture_name *pointers[2] = {&names[0], &names[1]};
    bool selected[2] = {true, size % 2 == 0};
    import_selection selection = {2, pointers, selected};
    import_image_into_page(&lvl, 0, &image, nullptr);
    import_image_into_page(&lvl, 1, &image, &selection);
    import_image_into_page(&lvl, 2, &image, nullptr);
    free_import_image(&image);
    release_level_memory(&lvl);
    return 0;
}
