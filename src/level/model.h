// Decoded models: the model record, its polygons, and the model byte decoder.
#pragma once
#include <stddef.h>
#include <stdint.h>

// One decoded polygon. Corners, normals and texture coordinates are stored in
// the file in the order 0, 1, 2(, 3) and decoded in reverse; colours are not.
struct model_polygon {
    int type;                 // the polygon's type byte (0-255)
    int32_t corners[4];       // vertex indices; a triangle uses 0-2
    int32_t normal_index[4];  // normal indices
    struct { float u, v; } uv[4];  // texel coordinates 0-255 on the page
    bool textured;
    int32_t texture;          // texture page index (may name a page the level lacks)
    float red[4], green[4], blue[4];  // per-corner colour, 0-255
    // Set by the decoder when a corner index lies outside the vertex table:
    // the polygon is kept (the data parsed) but never drawn. Normal indices
    // are never checked and must not be used to index `normals`.
    bool unsafe;
};

// The 16-byte polygon-info record and the 20-byte extra record are kept as
// raw bytes: the editor carries them but never interprets them.
struct model_polygon_info { unsigned char bytes[16]; };
struct model_extra_record { unsigned char bytes[20]; };

struct model {
    uint32_t draw_flags;
    uint32_t object_flags;
    float radius;
    uint32_t extra_word;
    int32_t instance_of;      // -1 = own vertices, else index in the same list
    int32_t vertex_count;
    float (*vertices)[3];     // own-vertex models only
    int32_t normal_count;
    float (*normals)[3];
    int32_t polygon_count;
    model_polygon *polygons;
    model_polygon_info *polygon_info;  // own-vertex models only
    int32_t textures_used_count;
    unsigned char *textures_used;      // page indices 0-255
    int32_t extra_record_count;
    model_extra_record *extra_records; // own-vertex models only
};

// Draw flags and object flags the information panel names.
enum {
    MODEL_DRAW_SHADOW = 1u << 27,
    MODEL_DRAW_TRANSPARENT_TEX = 1u << 28,
    MODEL_DRAW_FACES_CAMERA = 1u << 30,
    MODEL_OBJECT_INSIDE = 0x100,
    MODEL_OBJECT_KNOCK_OVER = 0x400,
};

// The largest model data each block holds (the size of the game's scratch
// buffers); a longer model is refused.
enum { MODEL_MAX_BYTES = 131072, EVENT_MODEL_MAX_BYTES = 524288 };

// Result codes of decode_model.
enum {
    DECODE_OK = 0,
    DECODE_TRUNCATED = 1,     // header or a table lies outside the model's bytes
    DECODE_BAD_COUNT = 2,     // a negative count
    DECODE_NO_MEMORY = 3,
};

// Zeroes the record (counts and pointers): it then owns nothing.
void clear_model(model *m);
// Frees every array the record owns and zeroes the counts. The record must
// be cleared or decoded before (pointers are either owned or null).
void free_model(model *m);
// Decodes `size` bytes of one model into `m` (which must be cleared or
// decoded before). Never reads outside data[0..size): a header, table or
// polygon running past the end, or a negative count, refuses the model and
// leaves `m` empty. Decoding of the polygon stream stops at the first type
// without a known layout (types above 55 and the unused types 8-15, 24-31,
// 40-47); polygon_count is then the number decoded. Polygons whose corner
// indices lie outside the vertex table are kept but marked unsafe.
int decode_model(const unsigned char *data, size_t size, model *m);
// The kind (0-15) of a polygon type byte, which fixes its length and fields,
// or -1 for a type without one.
int polygon_kind(int type);

// Follows instance_of from `index` in a list of `count` models to the model
// whose vertices it uses. Returns -1 when the chain leaves the list or loops;
// never takes more than `count` steps.
int model_vertex_source(const model *list, int count, int index);
// Marks the polygons of instancing models unsafe whose corners lie outside
// the vertex table of their source (all of them when the chain is broken).
// The reader runs it on each model list once the list is complete.
void check_model_list(model *list, int count);
