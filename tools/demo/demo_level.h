// The demo level and the large benchmark levels: synthetic pages, palettes, models and names of our own.
//
// The demo level is a small level worth opening in the editor: 32 pages in
// both formats with procedural pictures (bricks, asphalt, lettered signs,
// gradients, ...), each labelled with its page number in a corner; palettes
// with scattered ids; palette lists with one, two and three palettes and a
// paletted page without a list; named rectangles; a dozen models that are
// recognisable shapes and together use every drawable polygon kind, one of
// them instancing another, and a swatch board with a long texture list (three
// pages no model uses); event models; a world block with sections; and a
// block of a kind the editor skips. The DEMO_* constants below are the facts
// its tests check.
#pragma once
#include <stdint.h>

#include "demo/level_builder.h"

enum {
    DEMO_PAGE_COUNT = 32,
    DEMO_PALETTED_PAGE_COUNT = 16,      // even page indices are paletted, odd ones 15-bit
    DEMO_THREE_PALETTE_PAGE = 0,        // bricks: day, night and moss palettes
    DEMO_TWO_PALETTE_PAGE = 10,         // sky: day and dusk palettes
    DEMO_UNLISTED_PAGE = 16,            // water: paletted, named by no palette list
    DEMO_TRANSPARENT_PAGE = 9,          // tree foliage, 15-bit, transparency flag and key pixels
    DEMO_CAR_PAGE = 7,                  // car livery, 15-bit, used by car DEMO_CAR_INDEX
    DEMO_CAR_INDEX = 3,
    DEMO_PALETTE_COUNT = 20,            // 16 page palettes, 3 alternates, 1 that no list names
    DEMO_LARGEST_PALETTE_ID = 301,
    DEMO_MODEL_COUNT = 13,
    DEMO_INSTANCING_MODEL = 1,          // uses the vertices of model 0
    DEMO_SWATCH_MODEL = 12,             // its texture list names 29 pages
    DEMO_EVENT_MODEL_COUNT = 3,
    DEMO_UNKNOWN_BLOCK_KIND = 9,
};

// The eight-character name among the demo's named rectangles.
extern const char *const DEMO_LONG_TEXTURE_NAME;

// The demo level's two files.
sample_level make_demo_level();

// A large level for benchmarks: `page_count` pages (paletted and 15-bit in
// turn, the demo's pictures relabelled with their page number), each
// paletted page with its own palette list, `model_count` models (the demo's
// shapes over and over, their texture references spread over the first 256
// pages), the demo's event models, a world placing every model, and names.
// 160 pages make about 15 MB; each 15-bit page is 128 KB, each paletted one
// 64 KB plus its palette.
sample_level make_big_level(int page_count, int model_count);

// The picture of a demo page as red, green, blue bytes, 256 rows of 256
// pixels top to bottom, before it is reduced to a palette or to 15 bits.
// `page` must be below DEMO_PAGE_COUNT.
std::vector<unsigned char> demo_page_picture(int page);
