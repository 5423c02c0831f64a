// The loaded level: its records, the level-file reader and the save path.
//
// The level code is free functions over this plain struct: every function
// takes the level it works on, so the same code serves the editor (which
// owns one level at a time) and anything else that reads levels.
#pragma once
#include <stdint.h>
#include <stdio.h>

#include "base/result.h"
#include "level/model.h"

enum { PAGE_SIZE = 256, PAGE_PIXELS = 256 * 256 };
enum { PAGE_FLAG_TRANSPARENT = 0x01, PAGE_FLAG_PALETTED = 0x10 };
enum { TRANSPARENT_KEY = 0x8421 };

// A 15-bit pixel: bits 10-14 red, 5-9 green, 0-4 blue (bit 15 is not part of
// the colour); an 8-bit channel is its 5-bit value shifted into the top of
// the byte, and back.
inline unsigned char rgb15_red(unsigned pixel) { return (unsigned char)(((pixel >> 10) & 0x1F) << 3); }
inline unsigned char rgb15_green(unsigned pixel) { return (unsigned char)(((pixel >> 5) & 0x1F) << 3); }
inline unsigned char rgb15_blue(unsigned pixel) { return (unsigned char)((pixel & 0x1F) << 3); }
inline uint16_t rgb15_from_rgb(unsigned red, unsigned green, unsigned blue)
{
    return (uint16_t)((red >> 3) << 10 | (green >> 3) << 5 | blue >> 3);
}

// Load-mask bits, one per block kind the editor reads.
enum {
    LOAD_TEXTURES = 0x01,       // kind 0
    LOAD_MODELS = 0x02,         // kind 1
    LOAD_WORLD = 0x04,          // kind 2
    LOAD_TEXTURE_NAMES = 0x08,  // kind 5
    LOAD_MODEL_NAMES = 0x10,    // kind 12
    LOAD_EVENT_MODELS = 0x20,   // kind 13
    LOAD_ALL = 63,
};

struct level_palette {
    int16_t id;
    unsigned char entries[256][4];  // red, green, blue, extra (file: b, g, r, extra)
};

struct level_texture {
    uint32_t flags;            // as stored; written back unchanged
    bool paletted;             // flag bit 4 when read
    bool transparent;          // flag bit 0 when read
    int32_t palette_slot;      // slot of the palette list shown
    int32_t palette_slot_count;// slots of the page's palette list, -1 = none
    // 65,536 palette indices (paletted) or 65,536 16-bit pixels in host
    // order (15-bit), rows top to bottom. Use page_indices / page_pixels16.
    unsigned char *pixels;
};

inline unsigned char *page_indices(const level_texture &t) { return t.pixels; }
inline uint16_t *page_pixels16(const level_texture &t) { return (uint16_t *)(void *)t.pixels; }
// Bytes of a page's pixels in memory: one index a pixel, or two for 15-bit.
inline size_t page_byte_size(const level_texture &t) { return t.paletted ? PAGE_PIXELS : 2 * PAGE_PIXELS; }

struct texture_name {
    char name[9];              // up to 8 characters and the terminator
    int32_t texture, x, y, w, h;
};

struct world_instance {
    uint16_t model;
    int32_t x, y, z;           // kept exactly as read
    float angle;               // degrees
};

struct palette_list {
    int32_t texture;           // page index
    int32_t count;
    int32_t *palette_ids;      // slot 0 first
};

struct level {
    int32_t load_mask;         // 0 = no level loaded
    char *model_name_data;
    char **model_names;        // model_name_count + 1 pointers into model_name_data
    int32_t model_name_count;
    int32_t model_count;
    model *models;
    int32_t event_model_count;
    model *event_models;
    int32_t texture_name_count;
    texture_name *texture_names;
    int32_t world_instance_count;
    world_instance *world_instances;
    int32_t palette_count;
    level_palette *palettes;   // contiguous, file order
    int32_t palette_table_size;// highest id read + 1
    level_palette **palette_table; // by id; null = none or deleted
    int32_t texture_count;
    level_texture *textures;
    int32_t palette_list_count;
    palette_list *palette_lists;
};

// Result codes of load_level.
enum {
    LOAD_OK = 0,
    LOAD_NO_LEVEL_FILE = 1,
    LOAD_NO_D3D_FILE = 2,
    LOAD_BAD_LEVEL = 3,        // the level file cannot be parsed safely
    LOAD_BAD_D3D = 4,          // the palette-list file cannot be parsed safely
    LOAD_NO_MEMORY = 5,
};

// Reads both opened files into an empty level. Answers LOAD_OK, or a LOAD_*
// code with the reason saying what was wrong and where ("the level file was
// refused: block size 9 runs past the end of the file (block 0 of kind 0, at
// offset 4)"); the level is then left empty (everything freed, load_mask 0).
result load_level(level *lvl, FILE *lev, FILE *d3d, int mask);
// Same, from bytes in memory (the fuzz targets and tests use this). A null
// pointer with a size of 0 is an empty file; null with a size is no file.
result load_level_from_memory(level *lvl, const unsigned char *lev, size_t lev_size,
                              const unsigned char *d3d, size_t d3d_size, int mask);

// Frees everything the reader allocated and logs it; load_mask becomes 0.
void cleanup_level(level *lvl);
// The same without the log lines (the reader's failure path uses it).
void release_level_memory(level *lvl);

// Room for a level's or palette-list file's path, terminator included.
enum { LEVEL_PATH_SIZE = 1024 };
