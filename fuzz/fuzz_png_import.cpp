// Fuzz entry point: the PNG decoder on bytes, then its image into a paletted
// page (an indexed image) or a 15-bit page (true colour, which needs no
// quantiser run).
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "demo/level_builder.h"
#include "imaging/bitmap_import.h"
#include "imaging/image_file.h"
#include "imaging/png_image.h"
#include "level/level.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const byte_buffer lev = encode_level({{BLOCK_TEXTURES, encode_texture_block(
        {make_palette(0), make_palette(1)}, {make_paletted_page(0), make_rgb15_page(1)})}});
    static const byte_buffer d3d = encode_palette_lists({{0, {0, 1}}});
    import_image image;
    if (decode_png_image(data, size, &image) != 0) return 0;
    level lvl;
    memset(&lvl, 0, sizeof lvl);
    if (load_level_from_memory(&lvl, lev.data(), lev.size(), d3d.data(), d3d.size(), LOAD_ALL) != LOAD_OK) abort();
    palette_recoloured_by_image(&lvl, 0, &image);
    import_image_into_page(&lvl, image.indexed ? 0 : 1, &image, nullptr);
    free_import_image(&image);
    release_level_memory(&lvl);
    return 0;
}
