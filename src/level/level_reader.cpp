// The level-file and palette-list reader: load_level and its block readers.
//
// Sections:
//   1. the failure reason
//   2. byte sources: a file or bytes in memory, read with bounds
//   3. releasing a level's memory
//   4. block readers (textures, models, world, texture names, model names)
//   5. the palette-list reader
//   6. load_level and load_level_from_memory
//
// Both files come from the user and are treated as hostile: every count,
// size and offset is checked against the bytes present before anything is
// allocated or copied. What cannot be parsed safely refuses the whole level
// (nothing of it stays in memory); what parses but names something missing
// (a page, a palette, a vertex) is kept, and its users check it.
#include <errno.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include "base/debug_log.h"
#include "base/byte_cursor.h"
#include "base/file_system.h"
#include "level/level.h"
#include "level/texture_store.h"

// ---- 2. byte sources -----------------------------------------------------------

namespace {

// The bytes of one input file from its start position on. A regular file is
// read in place (pages go straight from the file into their pixel buffers);
// anything else (a pipe) is first read whole into memory.
struct byte_source {
    const unsigned char *mem;   // the bytes, when held in memory
    unsigned char *owned;       // mem when we allocated it
    FILE *file;                 // else read from here
    size_t size;                // bytes from the start position to the end
    size_t pos;                 // bytes consumed
};

bool open_memory_source(byte_source *s, const unsigned char *data, size_t size)
{
    memset(s, 0, sizeof *s);
    s->mem = data;
    s->size = size;
    return true;
}

bool open_file_source(byte_source *s, FILE *f)
{
    memset(s, 0, sizeof *s);
    uint64_t length = 0;
    off_t start = ftello(f);
    if (start >= 0 && regular_file_size(f, &length)) {
        s->file = f;
        s->size = length > (uint64_t)start ? (size_t)(length - (uint64_t)start) : 0;
        return true;
    }
    // Not seekable: take everything there is.
    size_t capacity = 1 << 16, used = 0;
    unsigned char *buffer = (unsigned char *)malloc(capacity);
    while (buffer) {
        used += fread(buffer + used, 1, capacity - used, f);
        if (used < capacity) break;
        unsigned char *bigger = (unsigned char *)realloc(buffer, capacity * 2);
        if (!bigger) {
            free(buffer);
            buffer = nullptr;
            break;
        }
        buffer = bigger;
        capacity *= 2;
    }
    if (!buffer || ferror(f)) {
        free(buffer);
        return false;
    }
    s->owned = buffer;
    s->mem = buffer;
    s->size = used;
    return true;
}

void close_source(byte_source *s)
{
    free(s->owned);
    s->owned = nullptr;
}

size_t source_left(const byte_source *s) { return s->size - s->pos; }

// Reads n bytes into dst; false when fewer are left or the read fails.
bool source_read(byte_source *s, void *dst, size_t n)
{
    if (n > source_left(s)) return false;
    if (s->mem) {
        if (n) memcpy(dst, s->mem + s->pos, n);
    } else if (n && fread(dst, 1, n, s->file) != n) {
        s->size = s->pos;   // the file ended early: nothing more to read
        return false;
    }
    s->pos += n;
    return true;
}

bool source_skip(byte_source *s, size_t n)
{
    if (n > source_left(s)) return false;
    if (!s->mem && n && fseeko(s->file, (off_t)n, SEEK_CUR) != 0) return false;
    s->pos += n;
    return true;
}

// The next n bytes as a pointer: into memory, or read into *scratch (which
// the caller frees). Null when short or out of memory.
const unsigned char *source_view(byte_source *s, size_t n, unsigned char **scratch)
{
    *scratch = nullptr;
    if (n > source_left(s)) return nullptr;
    if (s->mem) {
        const unsigned char *at = s->mem + s->pos;
        s->pos += n;
        return at;
    }
    *scratch = (unsigned char *)malloc(n ? n : 1);
    if (!*scratch) return nullptr;
    if (!source_read(s, *scratch, n)) {
        free(*scratch);
        *scratch = nullptr;
        return nullptr;
    }
    return *scratch;
}

// A cursor over the next n bytes (at most the size of `buf`), read into
// `buf`: overrun when the source holds fewer before position `end` or the
// read fails. Fields of what is read in place (the file's block headers,
// the texture block) go through these; so they are bounded like the rest.
byte_cursor read_fields(byte_source *s, size_t end, unsigned char *buf, size_t n)
{
    if (n > end - s->pos || !source_read(s, buf, n)) {
        byte_cursor c = make_cursor(buf, 0);
        c.overrun = true;
        return c;
    }
    return make_cursor(buf, n);
}

}  // namespace

// ---- 3. releasing a level's memory ----------------------------------------------

static void free_textures(level *lvl)
{
    if (lvl->textures)
        for (int32_t i = 0; i < lvl->texture_count; i++) free(lvl->textures[i].pixels);
    free(lvl->textures);
    lvl->textures = nullptr;
    lvl->texture_count = 0;
}

static void free_palettes(level *lvl)
{
    free(lvl->palettes);
    free(lvl->palette_table);
    lvl->palettes = nullptr;
    lvl->palette_table = nullptr;
    lvl->palette_count = 0;
    lvl->palette_table_size = 0;
}

static void free_models(model **list, int32_t *count)
{
    if (*list)
        for (int32_t i = 0; i < *count; i++) free_model(&(*list)[i]);
    free(*list);
    *list = nullptr;
    *count = 0;
}

static void free_model_names(level *lvl)
{
    free(lvl->model_name_data);
    free(lvl->model_names);
    lvl->model_name_data = nullptr;
    lvl->model_names = nullptr;
    lvl->model_name_count = 0;
}

static void free_palette_lists(level *lvl)
{
    if (lvl->palette_lists)
        for (int32_t i = 0; i < lvl->palette_list_count; i++) free(lvl->palette_lists[i].palette_ids);
    free(lvl->palette_lists);
    lvl->palette_lists = nullptr;
    lvl->palette_list_count = 0;
}

void release_level_memory(level *lvl)
{
    free_model_names(lvl);
    free_models(&lvl->models, &lvl->model_count);
    free_models(&lvl->event_models, &lvl->event_model_count);
    free(lvl->texture_names);
    lvl->texture_names = nullptr;
    lvl->texture_name_count = 0;
    free(lvl->world_instances);
    lvl->world_instances = nullptr;
    lvl->world_instance_count = 0;
    free_palette_lists(lvl);
    free_palettes(lvl);
    free_textures(lvl);
    lvl->load_mask = 0;
}

// ---- 4. block readers ---------------------------------------------------------------

namespace {

// State of one load: where we are, for the failure message.
struct load_state {
    level *lvl;
    result outcome;             // code LOAD_OK until the first failure
    const char *file_name;      // "level file" or "palette-list file"
    bool in_d3d;                // where counts entries, not blocks
    int block_index;            // -1 = the file's header
    int32_t block_kind;
    size_t content_offset;      // file offset of the block's content
};

// Records the first failure: what was wrong and where.
void fail(load_state *st, int code, size_t offset, const char *format, ...)
    __attribute__((format(printf, 4, 5)));
void fail(load_state *st, int code, size_t offset, const char *format, ...)
{
    if (st->outcome.code != LOAD_OK) return;
    char what[256];
    va_list args;
    va_start(args, format);
    vsnprintf(what, sizeof what, format, args);
    va_end(args);
    if (st->block_index < 0)
        st->outcome = failed(code, "the %s was refused: %s (at offset %zu)", st->file_name, what, offset);
    else if (st->in_d3d)
        st->outcome = failed(code, "the %s was refused: %s (entry %d, at offset %zu)", st->file_name, what,
                             st->block_index, offset);
    else
        st->outcome = failed(code, "the %s was refused: %s (block %d of kind %d, at offset %zu)", st->file_name,
                             what, st->block_index, (int)st->block_kind, offset);
}

// File offset of a cursor over a block's content.
size_t at(const load_state *st, const byte_cursor *c) { return st->content_offset + cursor_offset(c); }

// A count read from the file: refuses negative counts and counts of records
// of `record_size` bytes that the bytes left cannot hold.
bool check_count(load_state *st, const byte_cursor *c, int32_t count, size_t record_size, const char *what)
{
    if (c->overrun) {
        fail(st, LOAD_BAD_LEVEL, at(st, c), "the block ends inside its %s", what);
        return false;
    }
    if (count < 0) {
        fail(st, LOAD_BAD_LEVEL, at(st, c), "negative %s %d", what, (int)count);
        return false;
    }
    if ((size_t)count > cursor_left(c) / record_size) {
        fail(st, LOAD_BAD_LEVEL, at(st, c), "%s %d does not fit in the %zu bytes left", what, (int)count,
             cursor_left(c));
        return false;
    }
    return true;
}

// Kind 0, read straight from the source so that the pages go from the file
// into their pixel buffers without a copy of the whole block in between.
void read_texture_block(load_state *st, byte_source *src, size_t size)
{
    level *lvl = st->lvl;
    debug_log("Loading textures.");
    free_palettes(lvl);
    free_textures(lvl);
    size_t block_start = src->pos, block_end = src->pos + size;
    unsigned char field[4];

    byte_cursor head = read_fields(src, block_end, field, 2);
    unsigned palette_count = get16le(&head);
    if (head.overrun) {
        fail(st, LOAD_BAD_LEVEL, st->content_offset, "the block ends inside its palette count");
        return;
    }
    if (palette_count > (block_end - src->pos) / 1026) {
        fail(st, LOAD_BAD_LEVEL, st->content_offset, "palette count %u does not fit in the %zu bytes left",
             palette_count, block_end - src->pos);
        return;
    }
    if (palette_count > 0) {
        unsigned char *scratch;
        const unsigned char *bytes = source_view(src, (size_t)palette_count * 1026, &scratch);
        if (!bytes) {
            fail(st, LOAD_BAD_LEVEL, st->content_offset + 2, "the palettes cannot be read");
            return;
        }
        lvl->palettes = (level_palette *)malloc(palette_count * sizeof(level_palette));
        if (!lvl->palettes) {
            free(scratch);
            fail(st, LOAD_NO_MEMORY, st->content_offset, "no memory for %u palettes", palette_count);
            return;
        }
        lvl->palette_count = (int32_t)palette_count;
        byte_cursor c = make_cursor(bytes, (size_t)palette_count * 1026);
        int max_id = 0;
        for (unsigned i = 0; i < palette_count; i++) {
            level_palette &p = lvl->palettes[i];
            p.id = (int16_t)get16le(&c);
            if (p.id < 0) {
                fail(st, LOAD_BAD_LEVEL, st->content_offset + 2 + 1026 * (size_t)i, "negative palette id %d",
                     (int)p.id);
                free(scratch);
                return;
            }
            for (int k = 0; k < 256; k++) {
                p.entries[k][2] = (unsigned char)get8(&c);   // blue
                p.entries[k][1] = (unsigned char)get8(&c);   // green
                p.entries[k][0] = (unsigned char)get8(&c);   // red
                p.entries[k][3] = (unsigned char)get8(&c);   // extra, carried unchanged
            }
            if (p.id > max_id) max_id = p.id;
        }
        free(scratch);
        lvl->palette_table = (level_palette **)calloc((size_t)max_id + 1, sizeof(level_palette *));
        if (!lvl->palette_table) {
            fail(st, LOAD_NO_MEMORY, st->content_offset, "no memory for the palette table");
            return;
        }
        lvl->palette_table_size = max_id + 1;
        // In file order, so a later record with the same id wins.
        for (unsigned i = 0; i < palette_count; i++) lvl->palette_table[lvl->palettes[i].id] = &lvl->palettes[i];
    }
    debug_log("Loaded palettes successfully.");

    size_t count_offset = st->content_offset + (src->pos - block_start);
    byte_cursor count = read_fields(src, block_end, field, 4);
    int32_t page_count = (int32_t)get32le(&count);
    if (count.overrun) {
        fail(st, LOAD_BAD_LEVEL, count_offset, "the block ends inside its page count");
        return;
    }
    if (page_count < 0) {
        fail(st, LOAD_BAD_LEVEL, count_offset, "negative page count %d", (int)page_count);
        return;
    }
    if ((size_t)page_count > (block_end - src->pos) / (4 + PAGE_PIXELS)) {
        fail(st, LOAD_BAD_LEVEL, count_offset, "page count %d does not fit in the %zu bytes left",
             (int)page_count, block_end - src->pos);
        return;
    }
    if (page_count > 0) {
        lvl->textures = (level_texture *)calloc((size_t)page_count, sizeof(level_texture));
        if (!lvl->textures) {
            fail(st, LOAD_NO_MEMORY, count_offset, "no memory for %d pages", (int)page_count);
            return;
        }
    }
    for (int32_t i = 0; i < page_count; i++) {
        size_t page_offset = st->content_offset + (src->pos - block_start);
        byte_cursor flags = read_fields(src, block_end, field, 4);
        level_texture &t = lvl->textures[i];
        t.flags = get32le(&flags);
        if (flags.overrun) {
            fail(st, LOAD_BAD_LEVEL, page_offset, "the block ends inside page %d", (int)i);
            return;
        }
        t.transparent = (t.flags & PAGE_FLAG_TRANSPARENT) != 0;
        t.paletted = (t.flags & PAGE_FLAG_PALETTED) != 0;
        size_t bytes = page_byte_size(t);
        if (bytes > block_end - src->pos) {
            fail(st, LOAD_BAD_LEVEL, page_offset, "page %d runs past the end of the block", (int)i);
            return;
        }
        t.pixels = (unsigned char *)malloc(bytes);
        if (!t.pixels) {
            fail(st, LOAD_NO_MEMORY, page_offset, "no memory for page %d", (int)i);
            return;
        }
        lvl->texture_count = i + 1;   // so a failure from here on frees this page
        if (!source_read(src, t.pixels, bytes)) {
            fail(st, LOAD_BAD_LEVEL, page_offset, "page %d cannot be read", (int)i);
            return;
        }
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        if (!t.paletted)
            for (int k = 0; k < PAGE_PIXELS; k++) page_pixels16(t)[k] = (uint16_t)le16_at(t.pixels + 2 * k);
#endif
    }
    if (src->pos != block_end) {
        fail(st, LOAD_BAD_LEVEL, st->content_offset + (src->pos - block_start),
             "%zu bytes are left in the block after its last page", block_end - src->pos);
        return;
    }
    debug_log("Finished loading textures.");
}

// Kinds 1 and 13.
void read_model_block(load_state *st, byte_cursor *c, bool event_models)
{
    level *lvl = st->lvl;
    model **list = event_models ? &lvl->event_models : &lvl->models;
    int32_t *count_field = event_models ? &lvl->event_model_count : &lvl->model_count;
    size_t max_bytes = event_models ? EVENT_MODEL_MAX_BYTES : MODEL_MAX_BYTES;
    const char *what = event_models ? "event model" : "model";
    free_models(list, count_field);

    if (event_models) debug_log("Loading event models.");
    int32_t count = (int32_t)get32le(c);
    if (event_models) debug_log("Number of event models: %d", (int)count);
    if (!check_count(st, c, count, 4, event_models ? "event model count" : "model count")) return;
    if (count > 0) {
        *list = (model *)calloc((size_t)count, sizeof(model));
        if (!*list) {
            if (event_models) debug_log("Failed to allocate memory for models!");
            fail(st, LOAD_NO_MEMORY, at(st, c), "no memory for %d %ss", (int)count, what);
            return;
        }
    }
    for (int32_t i = 0; i < count; i++) {
        size_t model_offset = at(st, c);
        uint32_t length = get32le(c);
        if (c->overrun || length > cursor_left(c)) {
            fail(st, LOAD_BAD_LEVEL, model_offset, "%s %d runs past the end of the block", what, (int)i);
            return;
        }
        if (length > max_bytes) {
            fail(st, LOAD_BAD_LEVEL, model_offset, "%s %d is %u bytes long, more than %zu", what, (int)i,
                 (unsigned)length, max_bytes);
            return;
        }
        const unsigned char *data = cursor_take(c, length);
        *count_field = i + 1;   // so a failure from here on frees this record
        int result = decode_model(data, length, &(*list)[i]);
        if (result == DECODE_NO_MEMORY) {
            fail(st, LOAD_NO_MEMORY, model_offset, "no memory for %s %d", what, (int)i);
            return;
        }
        if (result != DECODE_OK) {
            fail(st, LOAD_BAD_LEVEL, model_offset, "%s %d %s", what, (int)i,
                 result == DECODE_BAD_COUNT ? "has a negative count"
                                            : "has a table or polygon outside its bytes");
            return;
        }
    }
    check_model_list(*list, *count_field);
    if (event_models) debug_log("Finished event models.");
}

// Kind 2: a header, the first instance list, then sections that append to it.
void read_world_block(load_state *st, byte_cursor *c)
{
    level *lvl = st->lvl;
    debug_log("Loading world.");
    free(lvl->world_instances);
    lvl->world_instances = nullptr;
    lvl->world_instance_count = 0;

    int32_t header[11];
    for (int i = 0; i < 11; i++) header[i] = (int32_t)get32le(c);
    int32_t sections = header[3];
    // Every section holds at least its three counts.
    if (!check_count(st, c, sections, 12, "section count")) return;

    size_t capacity = 0;
    for (int32_t s = -1; s < sections; s++) {
        if (s >= 0) {
            int32_t pairs = (int32_t)get32le(c);
            if (!check_count(st, c, pairs, 4, "pair count")) return;
            cursor_skip(c, (size_t)pairs * 4);
            int32_t bytes = (int32_t)get32le(c);
            if (!check_count(st, c, bytes, 1, "byte count")) return;
            cursor_skip(c, (size_t)bytes);
        }
        int32_t count = (int32_t)get32le(c);
        if (!check_count(st, c, count, 20, "instance count")) return;
        size_t needed = (size_t)lvl->world_instance_count + (size_t)count;
        if (needed > capacity) {
            size_t grown = capacity * 2 > needed ? capacity * 2 : needed;
            world_instance *bigger =
                (world_instance *)realloc(lvl->world_instances, grown * sizeof(world_instance));
            if (!bigger) {
                fail(st, LOAD_NO_MEMORY, at(st, c), "no memory for %zu world instances", grown);
                return;
            }
            lvl->world_instances = bigger;
            capacity = grown;
        }
        for (int32_t i = 0; i < count; i++) {
            world_instance &w = lvl->world_instances[lvl->world_instance_count++];
            get16le(c);                                   // skipped
            w.model = (uint16_t)get16le(c);
            w.x = (int32_t)get32le(c);
            w.y = (int32_t)get32le(c);
            w.z = (int32_t)get32le(c);
            w.angle = (float)(int16_t)get16le(c) * 0.087890625f;   // 360 / 4096
            get16le(c);                                   // skipped
        }
    }
    if (c->overrun) {
        fail(st, LOAD_BAD_LEVEL, at(st, c), "the world ends inside a record");
        return;
    }
    debug_log("Finished loading world.");
}

// Kind 5: named rectangles, 16 bytes each.
void read_texture_names_block(load_state *st, byte_cursor *c)
{
    level *lvl = st->lvl;
    debug_log("Loading texture names.");
    free(lvl->texture_names);
    lvl->texture_names = nullptr;
    lvl->texture_name_count = 0;

    int32_t count = (int32_t)get32le(c);
    if (!check_count(st, c, count, 16, "texture name count")) return;
    if (count > 0) {
        lvl->texture_names = (texture_name *)calloc((size_t)count, sizeof(texture_name));
        if (!lvl->texture_names) {
            fail(st, LOAD_NO_MEMORY, at(st, c), "no memory for %d texture names", (int)count);
            return;
        }
    }
    lvl->texture_name_count = count;
    for (int32_t i = 0; i < count; i++) {
        texture_name &n = lvl->texture_names[i];
        get_bytes(c, n.name, 8);
        n.name[8] = 0;
        n.texture = (int32_t)get8(c);
        n.x = (int32_t)get8(c);
        n.y = (int32_t)get8(c);
        n.w = (int32_t)get8(c);
        n.h = (int32_t)get8(c);
        cursor_skip(c, 3);   // padding
    }
    debug_log("Finished loading texture names.");
}

// Kind 12: NUL-ended names; a last name without its NUL still counts. One
// NUL more than the file holds is kept after the data, so every name is a
// C string even then.
void read_model_names_block(load_state *st, byte_cursor *c)
{
    level *lvl = st->lvl;
    debug_log("Loading model names.");
    free_model_names(lvl);
    size_t size = cursor_left(c);
    lvl->model_name_data = (char *)malloc(size + 1);
    if (!lvl->model_name_data) {
        fail(st, LOAD_NO_MEMORY, at(st, c), "no memory for %zu bytes of model names", size);
        return;
    }
    get_bytes(c, lvl->model_name_data, size);
    lvl->model_name_data[size] = 0;
    size_t count = 0;
    for (size_t i = 0; i < size; i++)
        if (lvl->model_name_data[i] == 0 || i + 1 == size) count++;
    lvl->model_names = (char **)malloc((count + 1) * sizeof(char *));
    if (!lvl->model_names) {
        fail(st, LOAD_NO_MEMORY, at(st, c), "no memory for %zu model names", count);
        return;
    }
    lvl->model_name_count = (int32_t)count;
    size_t n = 0;
    lvl->model_names[n++] = lvl->model_name_data;
    for (size_t i = 0; i < size; i++)
        if (lvl->model_name_data[i] == 0 || i + 1 == size) lvl->model_names[n++] = lvl->model_name_data + i + 1;
    debug_log("Finished loading model names.");
}

// ---- 5. the palette-list reader ----------------------------------------------

void read_palette_lists(load_state *st, byte_cursor *c)
{
    level *lvl = st->lvl;
    debug_log("Parsing d3d.");
    int32_t count = (int32_t)get32le(c);
    if (c->overrun) {
        fail(st, LOAD_BAD_D3D, 0, "the file ends inside its entry count");
        return;
    }
    // A count of 0 or below means an empty file; the count is kept as read
    // so that the file is written back the same.
    lvl->palette_list_count = count;
    if (count > 0) {
        if ((size_t)count > cursor_left(c) / 8) {
            lvl->palette_list_count = 0;
            fail(st, LOAD_BAD_D3D, 0, "entry count %d does not fit in the %zu bytes left", (int)count,
                 cursor_left(c));
            return;
        }
        lvl->palette_lists = (palette_list *)calloc((size_t)count, sizeof(palette_list));
        if (!lvl->palette_lists) {
            lvl->palette_list_count = 0;
            fail(st, LOAD_NO_MEMORY, 0, "no memory for %d palette lists", (int)count);
            return;
        }
        for (int32_t i = 0; i < count; i++) {
            st->block_index = i;
            size_t entry_offset = at(st, c);
            palette_list &l = lvl->palette_lists[i];
            l.texture = (int32_t)get32le(c);
            int32_t ids = (int32_t)get32le(c);
            if (c->overrun) {
                fail(st, LOAD_BAD_D3D, entry_offset, "the file ends inside entry %d", (int)i);
                return;
            }
            if (ids < 0 || (size_t)ids > cursor_left(c) / 4) {
                fail(st, LOAD_BAD_D3D, entry_offset, "entry %d has a palette count of %d", (int)i, (int)ids);
                return;
            }
            if (ids > 0) {
                l.palette_ids = (int32_t *)malloc((size_t)ids * sizeof(int32_t));
                if (!l.palette_ids) {
                    fail(st, LOAD_NO_MEMORY, entry_offset, "no memory for entry %d", (int)i);
                    return;
                }
                for (int32_t k = 0; k < ids; k++) l.palette_ids[k] = (int32_t)get32le(c);
            }
            l.count = ids;
        }
    }
    debug_log("Finished parsing d3d.");
}

// Mask bit of each kind the editor reads; 0 for the others.
int mask_bit(int32_t kind)
{
    switch (kind) {
    case 0: return LOAD_TEXTURES;
    case 1: return LOAD_MODELS;
    case 2: return LOAD_WORLD;
    case 5: return LOAD_TEXTURE_NAMES;
    case 12: return LOAD_MODEL_NAMES;
    case 13: return LOAD_EVENT_MODELS;
    default: return 0;
    }
}

// ---- 6. load_level --------------------------------------------------------------

void read_level_file(load_state *st, byte_source *src, int mask)
{
    st->file_name = "level file";
    st->block_index = -1;
    unsigned char field[8];
    byte_cursor head = read_fields(src, src->size, field, 4);
    int32_t block_count = (int32_t)get32le(&head);
    if (head.overrun) {
        fail(st, LOAD_BAD_LEVEL, 0, "the file is too short for its block count");
        return;
    }
    if (block_count < 0 || (size_t)block_count > source_left(src) / 8) {
        fail(st, LOAD_BAD_LEVEL, 0, "block count %d does not fit the file", (int)block_count);
        return;
    }
    for (int32_t b = 0; b < block_count && st->outcome.code == LOAD_OK; b++) {
        size_t header_offset = src->pos;
        st->block_index = b;
        st->block_kind = -1;
        byte_cursor header = read_fields(src, src->size, field, 8);
        int32_t kind = (int32_t)get32le(&header);
        int32_t size = (int32_t)get32le(&header);
        if (header.overrun) {
            fail(st, LOAD_BAD_LEVEL, header_offset, "the file ends inside a block header");
            return;
        }
        st->block_kind = kind;
        st->content_offset = src->pos;
        if (size < 0 || (size_t)size > source_left(src)) {
            fail(st, LOAD_BAD_LEVEL, header_offset, "block size %d runs past the end of the file", (int)size);
            return;
        }
        int bit = mask_bit(st->block_kind);
        if (!(bit & mask)) {
            if (!source_skip(src, (size_t)size))
                fail(st, LOAD_BAD_LEVEL, header_offset, "the block cannot be skipped");
            continue;
        }
        if (st->block_kind == 0) {
            read_texture_block(st, src, (size_t)size);
            continue;
        }
        unsigned char *scratch;
        const unsigned char *content = source_view(src, (size_t)size, &scratch);
        if (!content) {
            fail(st, LOAD_BAD_LEVEL, st->content_offset, "the block cannot be read");
            return;
        }
        byte_cursor c = make_cursor(content, (size_t)size);
        switch (st->block_kind) {
        case 1: read_model_block(st, &c, false); break;
        case 13: read_model_block(st, &c, true); break;
        case 2: read_world_block(st, &c); break;
        case 5: read_texture_names_block(st, &c); break;
        case 12: read_model_names_block(st, &c); break;
        }
        // A block reader must consume its block exactly.
        if (st->outcome.code == LOAD_OK && c.overrun)
            fail(st, LOAD_BAD_LEVEL, at(st, &c), "the block ends inside a record");
        if (st->outcome.code == LOAD_OK && cursor_left(&c) != 0)
            fail(st, LOAD_BAD_LEVEL, at(st, &c), "%zu bytes are left in the block after its records",
                 cursor_left(&c));
        free(scratch);
    }
}

void read_d3d_file(load_state *st, byte_source *src)
{
    st->file_name = "palette-list file";
    st->in_d3d = true;
    st->block_index = -1;
    st->block_kind = -1;
    st->content_offset = 0;
    // The palette-list file is small: read it whole and parse it in memory.
    unsigned char *scratch;
    size_t size = source_left(src);
    const unsigned char *bytes = source_view(src, size, &scratch);
    if (!bytes) {
        fail(st, LOAD_BAD_D3D, 0, "the file cannot be read");
        return;
    }
    byte_cursor c = make_cursor(bytes, size);
    read_palette_lists(st, &c);
    free(scratch);
}

// Every page starts on slot 0 of its palette list. palette_slot_count is
// the slots the list can show (none for a corrupt list), -1 for a page
// without a list and for a 15-bit page.
void set_palette_slots(level *lvl)
{
    for (int32_t t = 0; t < lvl->texture_count; t++) {
        level_texture &page = lvl->textures[t];
        page.palette_slot = 0;
        page.palette_slot_count = -1;
        const palette_list *list = page.paletted ? find_palette_list(lvl, t) : nullptr;
        if (list) page.palette_slot_count = list->count > 0 && list->palette_ids ? list->count : 0;
    }
}

result load_sources(level *lvl, byte_source *lev, byte_source *d3d, int mask)
{
    lvl->load_mask = mask;
    load_state st;
    memset(&st, 0, sizeof st);
    st.lvl = lvl;
    st.outcome = succeeded();
    read_level_file(&st, lev, mask);
    if (st.outcome.code == LOAD_OK) read_d3d_file(&st, d3d);
    if (st.outcome.code == LOAD_OK) set_palette_slots(lvl);
    if (st.outcome.code != LOAD_OK) {
        debug_log("Load failed: %s.", st.outcome.reason);
        release_level_memory(lvl);
        memset(lvl, 0, sizeof *lvl);
    }
    return st.outcome;
}

}  // namespace

result load_level(level *lvl, FILE *lev, FILE *d3d, int mask)
{
    debug_log("Attempting to load level.");
    if (!lev) return failed(LOAD_NO_LEVEL_FILE, "there is no level file");
    if (!d3d) return failed(LOAD_NO_D3D_FILE, "there is no palette-list file");
    debug_log("File pointers okay");
    byte_source lev_source, d3d_source;
    if (!open_file_source(&lev_source, lev)) {
        result r = failed(LOAD_BAD_LEVEL, "the level file could not be read (%s)", strerror(errno));
        debug_log("Load failed: %s.", r.reason);
        return r;
    }
    if (!open_file_source(&d3d_source, d3d)) {
        close_source(&lev_source);
        result r = failed(LOAD_BAD_D3D, "the palette-list file could not be read (%s)", strerror(errno));
        debug_log("Load failed: %s.", r.reason);
        return r;
    }
    result outcome = load_sources(lvl, &lev_source, &d3d_source, mask);
    close_source(&lev_source);
    close_source(&d3d_source);
    return outcome;
}

result load_level_from_memory(level *lvl, const unsigned char *lev, size_t lev_size, const unsigned char *d3d,
                              size_t d3d_size, int mask)
{
    debug_log("Attempting to load level.");
    static const unsigned char empty[1] = {0};
    if (!lev && lev_size) return failed(LOAD_NO_LEVEL_FILE, "there is no level file");
    if (!d3d && d3d_size) return failed(LOAD_NO_D3D_FILE, "there is no palette-list file");
    debug_log("File pointers okay");
    byte_source lev_source, d3d_source;
    open_memory_source(&lev_source, lev ? lev : empty, lev_size);
    open_memory_source(&d3d_source, d3d ? d3d : empty, d3d_size);
    return load_sources(lvl, &lev_source, &d3d_source, mask);
}
