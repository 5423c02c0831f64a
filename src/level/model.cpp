// The model byte decoder: header, tables and the polygon stream into a model record.
//
// Sections: polygon kinds and layouts; record lifetime (clear, free);
// decode_model; instance chains and the unsafe-polygon pass.
#include "level/model.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/byte_cursor.h"
#include "base/debug_log.h"

// ---- polygon kinds and layouts ------------------------------------------------

int polygon_kind(int type)
{
    // Bit 5 does not change the decoding; types above 55 are never decoded.
    if (type < 0 || type > 55) return -1;
    int t = type & ~32;
    if (t <= 7) return t;
    if (t >= 16 && t <= 23) return 8 + t - 16;
    return -1;
}

namespace {

const unsigned KIND_LENGTH[16] = {12, 16, 20, 28, 20, 24, 28, 36, 16, 16, 20, 24, 20, 24, 24, 32};

// Where each kind keeps its fields, as byte offsets inside the polygon
// (0 = the kind has no such field; offset 0 is always the type byte).
struct kind_layout {
    bool quad;
    bool textured;
    unsigned texture;       // page byte
    unsigned normals;       // first normal index
    unsigned normal_count;  // 1 = one normal (to position 0), else one per corner
    unsigned uv;            // first u byte
    unsigned colour;        // first colour (red, green, blue; 4 bytes apart)
    unsigned colour_count;  // corners with their own colour
};

const kind_layout LAYOUT[16] = {
    /* 0 flat triangle */              {false, false, 0, 0, 0, 0, 8, 1},
    /* 1 flat quad */                  {true, false, 0, 0, 0, 0, 12, 1},
    /* 2 not supported */              {false, false, 0, 0, 0, 0, 0, 0},
    /* 3 not supported */              {true, false, 0, 0, 0, 0, 0, 0},
    /* 4 textured triangle */          {false, true, 1, 0, 0, 10, 16, 1},
    /* 5 textured quad */              {true, true, 1, 0, 0, 12, 20, 1},
    /* 6 textured tri, corner colour */{false, true, 1, 0, 0, 10, 16, 3},
    /* 7 textured quad, corner colour*/{true, true, 1, 0, 0, 12, 20, 4},
    /* 8 flat tri, one normal */       {false, false, 0, 10, 1, 0, 12, 1},
    /* 9 flat quad, one normal */      {true, false, 1, 10, 1, 0, 12, 1},
    /* 10 flat tri, corner normals */  {false, false, 1, 10, 3, 0, 16, 1},
    /* 11 flat quad, corner normals */ {true, false, 1, 12, 4, 0, 20, 1},
    /* 12 textured tri, one normal */  {false, true, 1, 8, 1, 10, 16, 1},
    /* 13 textured quad, one normal */ {true, true, 1, 10, 1, 12, 20, 1},
    /* 14 textured tri, corner norm. */{false, true, 1, 8, 3, 14, 20, 1},
    /* 15 textured quad, corner norm.*/{true, true, 1, 12, 4, 20, 28, 1},
};

int32_t s16_at(const unsigned char *p) { return (int16_t)le16_at(p); }

// Decodes one polygon of a known kind from its `KIND_LENGTH` bytes.
void decode_polygon(const unsigned char *p, int kind, model_polygon *out)
{
    const kind_layout &l = LAYOUT[kind];
    int n = l.quad ? 4 : 3;
    out->type = p[0];
    for (int k = 0; k < n; k++) out->corners[n - 1 - k] = s16_at(p + 2 + 2 * k);
    if (kind == 2 || kind == 3) {
        debug_log(" Model uses unimplemented type %d", kind);
        return;
    }
    if (l.texture) out->texture = p[l.texture];
    out->textured = l.textured;
    if (l.normal_count == 1) {
        out->normal_index[0] = s16_at(p + l.normals);
    } else if (l.normal_count) {
        for (int k = 0; k < n; k++) out->normal_index[n - 1 - k] = s16_at(p + l.normals + 2 * k);
    }
    if (l.uv)
        for (int k = 0; k < n; k++) {
            out->uv[n - 1 - k].u = p[l.uv + 2 * k];
            out->uv[n - 1 - k].v = p[l.uv + 2 * k + 1];
        }
    for (unsigned k = 0; k < l.colour_count; k++) {
        out->red[k] = p[l.colour + 4 * k];
        out->green[k] = p[l.colour + 4 * k + 1];
        out->blue[k] = p[l.colour + 4 * k + 2];
    }
}

// True when the polygon's corner indices lie in [0, vertex_count). Normals
// take no part in drawing, so their indices are kept as read, never checked.
// A type without a kind has no corners.
bool polygon_indices_fit(const model_polygon &p, int32_t vertex_count)
{
    int kind = polygon_kind(p.type);
    if (kind < 0) return true;
    const kind_layout &l = LAYOUT[kind];
    int n = l.quad ? 4 : 3;
    for (int k = 0; k < n; k++)
        if (p.corners[k] < 0 || p.corners[k] >= vertex_count) return false;
    return true;
}

// True when `count` entries of `stride` bytes at `offset` lie inside the data.
bool table_fits(size_t size, uint32_t offset, int32_t count, size_t stride)
{
    if (offset > size) return false;
    return (size_t)count <= (size - offset) / stride;
}

// Copies `count` xyz triples, flipping the sign bits of x and y.
void copy_points(const unsigned char *p, int32_t count, float (*out)[3])
{
    byte_cursor c = make_cursor(p, (size_t)count * 12);
    for (int32_t i = 0; i < count; i++) {
        for (int a = 0; a < 3; a++) {
            uint32_t bits = get32le(&c);
            if (a < 2) bits ^= 0x80000000u;
            memcpy(&out[i][a], &bits, 4);
        }
    }
}

}  // namespace

// ---- record lifetime ----------------------------------------------------------

void clear_model(model *m)
{
    // Counts and pointers both: a record that owns nothing is all zeros, so
    // free_model can always tell what it owns.
    memset(m, 0, sizeof *m);
}

void free_model(model *m)
{
    free(m->vertices);
    free(m->normals);
    free(m->polygons);
    free(m->polygon_info);
    free(m->textures_used);
    free(m->extra_records);
    m->vertices = nullptr;
    m->normals = nullptr;
    m->polygons = nullptr;
    m->polygon_info = nullptr;
    m->textures_used = nullptr;
    m->extra_records = nullptr;
    m->vertex_count = m->normal_count = m->polygon_count = 0;
    m->textures_used_count = m->extra_record_count = 0;
}

// ---- decode_model -------------------------------------------------------------

int decode_model(const unsigned char *data, size_t size, model *m)
{
    free_model(m);
    clear_model(m);
    enum { HEADER_SIZE = 56 };
    if (!data || size < HEADER_SIZE) return DECODE_TRUNCATED;

    byte_cursor c = make_cursor(data, size);
    m->draw_flags = get32le(&c);                        //  0
    m->instance_of = (int32_t)get32le(&c);              //  4
    m->object_flags = get32le(&c);                      //  8
    m->radius = get_f32le(&c);                          // 12
    m->extra_word = get32le(&c);                        // 16
    int32_t vertex_count = (int16_t)get16le(&c);        // 20
    int32_t polygon_count = (int16_t)get16le(&c);       // 22
    int32_t normal_count = (int16_t)get16le(&c);        // 24
    int32_t texture_count = (int16_t)get16le(&c);       // 26
    uint32_t texture_offset = get32le(&c);              // 28
    uint32_t vertex_offset = get32le(&c);               // 32
    uint32_t info_offset = get32le(&c);                 // 36
    uint32_t normal_offset = get32le(&c);               // 40
    uint32_t stream_offset = get32le(&c);               // 44
    get32le(&c);                                        // 48, not read
    uint32_t extra_offset = get32le(&c);                // 52, 0 = none

    if (vertex_count < 0 || polygon_count < 0 || normal_count < 0 || texture_count < 0)
        return DECODE_BAD_COUNT;
    bool own_vertices = m->instance_of == -1;

    // Check every table before allocating anything. Tables with no entries
    // are not looked at, so their offsets may be anything.
    if (own_vertices && vertex_count && !table_fits(size, vertex_offset, vertex_count, 12)) return DECODE_TRUNCATED;
    if (own_vertices && polygon_count && !table_fits(size, info_offset, polygon_count, 16)) return DECODE_TRUNCATED;
    if (normal_count && !table_fits(size, normal_offset, normal_count, 12)) return DECODE_TRUNCATED;
    if (texture_count && !table_fits(size, texture_offset, texture_count, 1)) return DECODE_TRUNCATED;
    uint32_t extra_count = 0;
    if (own_vertices && extra_offset != 0) {
        if (!table_fits(size, extra_offset, 1, 4)) return DECODE_TRUNCATED;
        extra_count = le32_at(data + extra_offset);
        if (extra_count > (size - extra_offset - 4) / 20) return DECODE_TRUNCATED;
    }

    // Walk the polygon stream once to find how many polygons decode. A type
    // above 55 has no known length and a type without a layout has length 0
    // (every later polygon would repeat it): decoding stops at either.
    int32_t decodable = 0;
    if (polygon_count) {
        if (stream_offset > size) return DECODE_TRUNCATED;
        size_t pos = stream_offset;
        for (; decodable < polygon_count; decodable++) {
            if (pos >= size) return DECODE_TRUNCATED;
            int kind = polygon_kind(data[pos]);
            if (kind < 0) break;
            if (KIND_LENGTH[kind] > size - pos) return DECODE_TRUNCATED;
            pos += KIND_LENGTH[kind];
        }
    }

    // Allocate everything, then fill.
    bool failed = false;
    if (own_vertices && vertex_count) {
        m->vertices = (float(*)[3])malloc((size_t)vertex_count * sizeof *m->vertices);
        failed |= !m->vertices;
    }
    if (own_vertices && polygon_count) {
        m->polygon_info = (model_polygon_info *)malloc((size_t)polygon_count * sizeof *m->polygon_info);
        failed |= !m->polygon_info;
    }
    if (normal_count) {
        m->normals = (float(*)[3])malloc((size_t)normal_count * sizeof *m->normals);
        failed |= !m->normals;
    }
    if (texture_count) {
        m->textures_used = (unsigned char *)malloc((size_t)texture_count);
        failed |= !m->textures_used;
    }
    if (extra_count) {
        m->extra_records = (model_extra_record *)malloc((size_t)extra_count * sizeof *m->extra_records);
        failed |= !m->extra_records;
    }
    if (decodable) {
        m->polygons = (model_polygon *)calloc((size_t)decodable, sizeof *m->polygons);
        failed |= !m->polygons;
    }
    if (failed) {
        free_model(m);
        return DECODE_NO_MEMORY;
    }

    if (m->vertices) {
        m->vertex_count = vertex_count;
        copy_points(data + vertex_offset, vertex_count, m->vertices);
    }
    if (m->polygon_info) memcpy(m->polygon_info, data + info_offset, (size_t)polygon_count * 16);
    if (m->normals) {
        m->normal_count = normal_count;
        copy_points(data + normal_offset, normal_count, m->normals);
    }
    if (m->textures_used) {
        m->textures_used_count = texture_count;
        memcpy(m->textures_used, data + texture_offset, (size_t)texture_count);
    }
    if (m->extra_records) {
        m->extra_record_count = (int32_t)extra_count;
        memcpy(m->extra_records, data + extra_offset + 4, (size_t)extra_count * 20);
    }

    size_t pos = stream_offset;
    for (int32_t i = 0; i < decodable; i++) {
        int kind = polygon_kind(data[pos]);
        decode_polygon(data + pos, kind, &m->polygons[i]);
        pos += KIND_LENGTH[kind];
        // Vertex indices of an instancing model are checked against its
        // source by check_model_list, once the whole list is known.
        int32_t vertices_for_check = own_vertices ? m->vertex_count : INT32_MAX;
        m->polygons[i].unsafe = !polygon_indices_fit(m->polygons[i], vertices_for_check);
    }
    m->polygon_count = decodable;
    return DECODE_OK;
}

// ---- instance chains ----------------------------------------------------------

int model_vertex_source(const model *list, int count, int index)
{
    // A chain longer than the list has visited some model twice: a loop.
    int v = index;
    for (int steps = 0; steps <= count; steps++) {
        if (!list || v < 0 || v >= count) return -1;
        if (list[v].instance_of == -1) return v;
        v = list[v].instance_of;
    }
    return -1;
}

void check_model_list(model *list, int count)
{
    for (int i = 0; i < count; i++) {
        model &m = list[i];
        if (m.instance_of == -1) continue;
        int source = model_vertex_source(list, count, i);
        int32_t vertex_count = source < 0 ? 0 : list[source].vertex_count;
        for (int32_t p = 0; p < m.polygon_count; p++)
            m.polygons[p].unsafe = !polygon_indices_fit(m.polygons[p], vertex_count);
    }
}
