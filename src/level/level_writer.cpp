// Writing a level back: the level file rebuilt from its source, the palette lists, the safe save.
//
// Sections:
//   1. checked reads and writes on stdio streams
//   2. the structure check of the source file
//   3. write_texture_block, write_level, write_palette_lists
//   4. save_level: temporary files renamed over the originals
//
// A save never loses the level: both new files are written completely to
// temporary files in the folders of their targets, synced, and only then
// renamed over the originals (a rename replaces a file in one step). Until
// that moment the originals are untouched; on any failure the temporary
// files are removed and the originals stay exactly as they were.
#include "level/level_writer.h"

#include <errno.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include "base/byte_cursor.h"
#include "base/byte_writer.h"
#include "base/file_io.h"
#include "base/file_system.h"
#include "base/path.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "15-bit pages are written straight from memory, which holds them little-endian");

// ---- 1. checked reads and writes --------------------------------------------------

namespace {

bool read_exact(FILE *f, void *dst, size_t n) { return n == 0 || fread(dst, 1, n, f) == n; }
bool write_exact(FILE *f, const void *src, size_t n) { return n == 0 || fwrite(src, 1, n, f) == n; }

bool read_u16(FILE *f, uint32_t *v)
{
    unsigned char b[2];
    if (!read_exact(f, b, 2)) return false;
    byte_cursor c = make_cursor(b, 2);
    *v = get16le(&c);
    return true;
}

bool read_u32(FILE *f, uint32_t *v)
{
    unsigned char b[4];
    if (!read_exact(f, b, 4)) return false;
    byte_cursor c = make_cursor(b, 4);
    *v = get32le(&c);
    return true;
}

bool write_u32(FILE *f, uint32_t v)
{
    unsigned char b[4];
    put32le(b, v);
    return write_exact(f, b, 4);
}

bool skip_bytes(FILE *f, uint64_t n) { return n == 0 || fseeko(f, (off_t)n, SEEK_CUR) == 0; }

// Copies n bytes from src to dst through a buffer of `buffer_size` bytes.
result copy_bytes(FILE *src, FILE *dst, uint64_t n, unsigned char *buffer, size_t buffer_size)
{
    while (n > 0) {
        size_t chunk = n < buffer_size ? (size_t)n : buffer_size;
        if (!read_exact(src, buffer, chunk)) return failed(SAVE_READ_FAILED, "the level file ended early");
        if (!write_exact(dst, buffer, chunk)) return failed(SAVE_WRITE_FAILED, "a write failed (%s)", strerror(errno));
        n -= chunk;
    }
    return succeeded();
}

enum { COPY_BUFFER_SIZE = 1 << 20 };

// The palette records that will be written: those whose id has a table entry.
bool palette_is_written(const level *lvl, const level_palette &p)
{
    return p.id >= 0 && p.id < lvl->palette_table_size && lvl->palette_table && lvl->palette_table[p.id];
}

}  // namespace

// ---- 2. the structure check ------------------------------------------------------

// Size of the rebuilt content of the texture block; written palettes in *palettes.
static uint64_t rebuilt_texture_block_size(const level *lvl, int32_t *palettes)
{
    int32_t written = 0;
    for (int32_t i = 0; i < lvl->palette_count; i++)
        if (palette_is_written(lvl, lvl->palettes[i])) written++;
    *palettes = written;
    uint64_t size = 2 + 1026 * (uint64_t)written + 4;
    for (int32_t i = 0; i < lvl->texture_count; i++) size += 4 + page_byte_size(lvl->textures[i]);
    return size;
}

// Walks the source's blocks from its current position and checks that the
// texture block the level was read from still has the level's pages, in the
// level's formats. Leaves the position where it was. *texture_block is the
// index of the block to rebuild (the last kind-0 block; -1 when the level was
// read without its textures and every block is copied).
static result check_source_structure(FILE *src, const level *lvl, int64_t *texture_block)
{
    *texture_block = -1;
    off_t start = ftello(src);
    uint64_t length = 0;
    if (start < 0 || !regular_file_size(src, &length)) return failed(SAVE_READ_FAILED, "the level file cannot be measured");
    uint64_t file_size = length > (uint64_t)start ? length - (uint64_t)start : 0;

    uint32_t count;
    if (!read_u32(src, &count) || (int32_t)count < 0)
        return failed(SAVE_SOURCE_CHANGED, "the level file has no valid block count");
    uint64_t pos = 4, texture_offset = 0;
    for (uint32_t b = 0; b < count; b++) {
        uint32_t kind, size;
        if (!read_u32(src, &kind) || !read_u32(src, &size) || (int32_t)size < 0 || file_size - pos < 8 ||
            size > file_size - pos - 8)
            return failed(SAVE_SOURCE_CHANGED, "block %u of the level file runs past its end", b);
        pos += 8;
        if (kind == 0 && (lvl->load_mask & LOAD_TEXTURES)) {
            *texture_block = b;
            texture_offset = pos;
        }
        if (!skip_bytes(src, size)) return failed(SAVE_READ_FAILED, "the level file cannot be read");
        pos += size;
    }
    // A level without a texture block has nothing to rebuild; one with
    // pages or palettes needs the block they came from.
    if (*texture_block < 0 && (lvl->texture_count > 0 || lvl->palette_count > 0))
        return failed(SAVE_SOURCE_CHANGED, "the level file no longer has a texture block");

    if (*texture_block >= 0) {
        if (fseeko(src, start + (off_t)texture_offset, SEEK_SET) != 0)
            return failed(SAVE_READ_FAILED, "the level file cannot be read");
        uint32_t palettes, pages;
        if (!read_u16(src, &palettes) || !skip_bytes(src, 1026 * (uint64_t)palettes) || !read_u32(src, &pages))
            return failed(SAVE_SOURCE_CHANGED, "the level file's texture block is cut short");
        if ((int32_t)pages != lvl->texture_count)
            return failed(SAVE_SOURCE_CHANGED, "the level file on disk has %d pages, the level %d",
                             (int)(int32_t)pages, (int)lvl->texture_count);
        for (int32_t i = 0; i < lvl->texture_count; i++) {
            const level_texture &t = lvl->textures[i];
            uint32_t flags;
            if (!read_u32(src, &flags)) return failed(SAVE_SOURCE_CHANGED, "the level file's page %d is cut short", (int)i);
            bool paletted = (flags & PAGE_FLAG_PALETTED) != 0;
            if (paletted != t.paletted)
                return failed(SAVE_SOURCE_CHANGED, "page %d of the level file on disk has another format", (int)i);
            if (t.pixels && ((t.flags & PAGE_FLAG_PALETTED) != 0) != t.paletted)
                return failed(SAVE_SOURCE_CHANGED, "page %d's flags do not match its pixels", (int)i);
            if (!skip_bytes(src, page_byte_size(t))) return failed(SAVE_READ_FAILED, "the level file cannot be read");
        }
    }
    if (fseeko(src, start, SEEK_SET) != 0) return failed(SAVE_READ_FAILED, "the level file cannot be read");
    return succeeded();
}

// ---- 3. the writers ----------------------------------------------------------------

result write_texture_block(FILE *src, FILE *dst, level *lvl)
{
    if (!src || !dst) return failed(SAVE_NULL_FILE, "there is no file to read or write");
    // The source's palettes are replaced by the level's.
    uint32_t palettes;
    if (!read_u16(src, &palettes) || !skip_bytes(src, 1026 * (uint64_t)palettes))
        return failed(SAVE_READ_FAILED, "the level file's palettes cannot be read");

    int32_t written = 0;
    rebuilt_texture_block_size(lvl, &written);
    if (written > 65535) return failed(SAVE_TOO_LARGE, "the level has %d palettes, more than a file holds", (int)written);
    unsigned char count[2];
    put16le(count, (unsigned)written);
    if (!write_exact(dst, count, 2)) return failed(SAVE_WRITE_FAILED, "a write failed (%s)", strerror(errno));
    unsigned char record[1026];
    for (int32_t i = 0; i < lvl->palette_count; i++) {
        const level_palette &p = lvl->palettes[i];
        if (!palette_is_written(lvl, p)) continue;   // removed palettes are left out
        put16le(record, (uint16_t)p.id);             // int16 id
        for (int k = 0; k < 256; k++) {
            record[2 + 4 * k] = p.entries[k][2];      // blue
            record[3 + 4 * k] = p.entries[k][1];      // green
            record[4 + 4 * k] = p.entries[k][0];      // red
            record[5 + 4 * k] = p.entries[k][3];      // extra
        }
        if (!write_exact(dst, record, sizeof record))
            return failed(SAVE_WRITE_FAILED, "a write failed (%s)", strerror(errno));
    }

    uint32_t pages;
    if (!read_u32(src, &pages)) return failed(SAVE_READ_FAILED, "the level file's page count cannot be read");
    if ((int32_t)pages != lvl->texture_count)
        return failed(SAVE_SOURCE_CHANGED, "the level file on disk has %d pages, the level %d", (int)(int32_t)pages,
                         (int)lvl->texture_count);
    if (!write_u32(dst, pages)) return failed(SAVE_WRITE_FAILED, "a write failed (%s)", strerror(errno));
    unsigned char *copy_buffer = nullptr;
    result outcome = succeeded();
    for (int32_t i = 0; i < lvl->texture_count && outcome.code == SAVE_OK; i++) {
        const level_texture &t = lvl->textures[i];
        uint32_t flags;
        if (!read_u32(src, &flags)) {
            outcome = failed(SAVE_READ_FAILED, "the level file's page %d cannot be read", (int)i);
            break;
        }
        if (((flags & PAGE_FLAG_PALETTED) != 0) != t.paletted) {
            outcome = failed(SAVE_SOURCE_CHANGED, "page %d of the level file on disk has another format", (int)i);
            break;
        }
        size_t bytes = page_byte_size(t);
        if (t.pixels) {
            if (!write_u32(dst, t.flags) || !write_exact(dst, t.pixels, bytes))
                outcome = failed(SAVE_WRITE_FAILED, "a write failed (%s)", strerror(errno));
            else if (!skip_bytes(src, bytes))
                outcome = failed(SAVE_READ_FAILED, "the level file's page %d cannot be read", (int)i);
        } else {
            // A page without pixels in memory keeps its bytes from the file.
            if (!copy_buffer && !(copy_buffer = (unsigned char *)malloc(2 * PAGE_PIXELS)))
                outcome = failed(SAVE_NO_MEMORY, "no memory for the page buffer");
            else if (!write_u32(dst, flags))
                outcome = failed(SAVE_WRITE_FAILED, "a write failed (%s)", strerror(errno));
            else
                outcome = copy_bytes(src, dst, bytes, copy_buffer, 2 * PAGE_PIXELS);
        }
    }
    free(copy_buffer);
    return outcome;
}

result write_level(FILE *src, FILE *dst, level *lvl)
{
    if (!src || !dst) return failed(SAVE_NULL_FILE, "there is no file to read or write");
    int64_t texture_block;
    result outcome = check_source_structure(src, lvl, &texture_block);
    if (outcome.code != SAVE_OK) return outcome;
    int32_t palettes;
    uint64_t rebuilt_size = rebuilt_texture_block_size(lvl, &palettes);
    if (texture_block >= 0 && rebuilt_size > INT32_MAX)
        return failed(SAVE_TOO_LARGE, "the texture block would be larger than a file holds");

    unsigned char *buffer = (unsigned char *)malloc(COPY_BUFFER_SIZE);
    if (!buffer) return failed(SAVE_NO_MEMORY, "no memory for the copy buffer");
    uint32_t count = 0;
    if (!read_u32(src, &count)) outcome = failed(SAVE_READ_FAILED, "the level file cannot be read");
    else if (!write_u32(dst, count)) outcome = failed(SAVE_WRITE_FAILED, "a write failed (%s)", strerror(errno));
    for (uint32_t b = 0; b < count && outcome.code == SAVE_OK; b++) {
        uint32_t kind, size;
        if (!read_u32(src, &kind) || !read_u32(src, &size)) {
            outcome = failed(SAVE_READ_FAILED, "the level file cannot be read");
            break;
        }
        if ((int64_t)b == texture_block) {
            if (!write_u32(dst, kind) || !write_u32(dst, (uint32_t)rebuilt_size))
                outcome = failed(SAVE_WRITE_FAILED, "a write failed (%s)", strerror(errno));
            else
                outcome = write_texture_block(src, dst, lvl);
        } else {
            if (!write_u32(dst, kind) || !write_u32(dst, size))
                outcome = failed(SAVE_WRITE_FAILED, "a write failed (%s)", strerror(errno));
            else
                outcome = copy_bytes(src, dst, size, buffer, COPY_BUFFER_SIZE);
        }
    }
    // Bytes after the last block are not the editor's to drop.
    while (outcome.code == SAVE_OK) {
        size_t n = fread(buffer, 1, COPY_BUFFER_SIZE, src);
        if (n == 0) {
            if (ferror(src)) outcome = failed(SAVE_READ_FAILED, "the level file cannot be read");
            break;
        }
        if (!write_exact(dst, buffer, n)) outcome = failed(SAVE_WRITE_FAILED, "a write failed (%s)", strerror(errno));
    }
    free(buffer);
    return outcome;
}

result write_palette_lists(FILE *dst, level *lvl)
{
    if (!dst) return failed(SAVE_NULL_FILE, "there is no file to write");
    if (!write_u32(dst, (uint32_t)lvl->palette_list_count))
        return failed(SAVE_WRITE_FAILED, "a write failed (%s)", strerror(errno));
    if (lvl->palette_list_count < 1) return succeeded();
    for (int32_t i = 0; i < lvl->palette_list_count; i++) {
        const palette_list &l = lvl->palette_lists[i];
        int32_t n = l.palette_ids ? l.count : 0;
        if (n < 0) n = 0;
        bool ok = write_u32(dst, (uint32_t)l.texture) && write_u32(dst, (uint32_t)n);
        for (int32_t k = 0; ok && k < n; k++) ok = write_u32(dst, (uint32_t)l.palette_ids[k]);
        if (!ok) return failed(SAVE_WRITE_FAILED, "a write failed (%s)", strerror(errno));
    }
    return succeeded();
}

// ---- 4. save_level -----------------------------------------------------------------

namespace {

enum { SAVE_PATH_SIZE = 4096 + 64 };

// The paths one save works with.
struct save_paths {
    char level_target[SAVE_PATH_SIZE], d3d_target[SAVE_PATH_SIZE];
    char level_temp[SAVE_PATH_SIZE], d3d_temp[SAVE_PATH_SIZE], backup[SAVE_PATH_SIZE + 8];
};

// The file a path names, through symbolic links (so that the rename
// replaces the file and not the link); the path itself if it cannot be resolved.
void resolve_target(const char *path, char *out)
{
    if (!resolve_path(path, out, SAVE_PATH_SIZE)) snprintf(out, SAVE_PATH_SIZE, "%s", path);
}

// Creates a new, uniquely named file beside `target` and opens it for
// writing. It never opens an existing file, so the temporary file can
// never be the level itself (whatever the level is called); it gets the
// permissions of the file it replaces.
FILE *create_temp_beside(const char *target, const char *stem, char *temp_path)
{
    char folder[SAVE_PATH_SIZE];
    folder_of(target, folder, sizeof folder);
    FILE *f = nullptr;
    if (snprintf(temp_path, SAVE_PATH_SIZE, "%s%s.XXXXXX", folder, stem) < SAVE_PATH_SIZE)
        f = create_temp_file(temp_path, target);
    if (!f) temp_path[0] = 0;
    return f;
}

}  // namespace

result save_level(level *lvl, const char *level_path, const char *d3d_path)
{
    return save_level_as(lvl, level_path, level_path, d3d_path);
}

result save_level_as(level *lvl, const char *source_path, const char *level_path, const char *d3d_path)
{
    if (!lvl->load_mask) return succeeded();
    save_paths paths;
    char *level_target = paths.level_target, *d3d_target = paths.d3d_target;
    char *level_temp = paths.level_temp, *d3d_temp = paths.d3d_temp, *backup = paths.backup;
    resolve_target(level_path, level_target);
    resolve_target(d3d_path, d3d_target);
    if (strcmp(level_target, d3d_target) == 0)
        return failed(SAVE_WRITE_FAILED, "the level file and the palette-list file are the same file");

    FILE *src = open_file(source_path, "rb");
    if (!src) return failed(SAVE_READ_FAILED, "the level file %s cannot be opened (%s)", source_path, strerror(errno));
    result outcome = succeeded();
    FILE *tmp = create_temp_beside(level_target, "temp.lev", level_temp);
    if (!tmp) {
        outcome = failed(SAVE_WRITE_FAILED, "no temporary file can be made beside %s (%s)", level_target, strerror(errno));
        fclose(src);
        return outcome;
    }
    setvbuf(tmp, nullptr, _IOFBF, 1 << 16);
    outcome = write_level(src, tmp, lvl);
    fclose(src);
    if (!finish_file(tmp) && outcome.code == SAVE_OK)
        outcome = failed(SAVE_WRITE_FAILED, "the new level file cannot be completed (%s)", strerror(errno));

    FILE *d3d = nullptr;
    if (outcome.code == SAVE_OK) {
        d3d = create_temp_beside(d3d_target, "temp.d3d", d3d_temp);
        if (!d3d) outcome = failed(SAVE_WRITE_FAILED, "no temporary file can be made beside %s (%s)", d3d_target, strerror(errno));
    }
    if (d3d) {
        outcome = write_palette_lists(d3d, lvl);
        if (!finish_file(d3d) && outcome.code == SAVE_OK)
            outcome = failed(SAVE_WRITE_FAILED, "the new palette-list file cannot be completed (%s)", strerror(errno));
    }

    if (outcome.code == SAVE_OK) {
        // Keep the old level file under a second name until both renames
        // are done, so a failure of the second can put the first back.
        backup[0] = 0;
        snprintf(backup, sizeof paths.backup, "%s.old", level_temp);
        bool have_backup = link_file(level_target, backup);
        if (!have_backup) backup[0] = 0;
        if (!replace_file(level_temp, level_target)) {
            outcome = failed(SAVE_WRITE_FAILED, "the new level file cannot replace %s (%s)", level_target, strerror(errno));
        } else {
            level_temp[0] = 0;
            if (!replace_file(d3d_temp, d3d_target)) {
                outcome = failed(SAVE_WRITE_FAILED, "the new palette-list file cannot replace %s (%s)", d3d_target,
                                   strerror(errno));
                if (have_backup && replace_file(backup, level_target)) backup[0] = 0;
            } else {
                d3d_temp[0] = 0;
            }
        }
        if (backup[0]) remove_file(backup);
        sync_folder_of(level_target);
        sync_folder_of(d3d_target);
    }
    if (level_temp[0]) remove_file(level_temp);
    if (d3d && d3d_temp[0]) remove_file(d3d_temp);
    level_temp[0] = d3d_temp[0] = 0;
    return outcome;
}
