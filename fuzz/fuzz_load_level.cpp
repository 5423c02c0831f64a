// Fuzz entry for the level reader: the input is a level file and a palette-list file.
//
// Input layout: a little-endian uint32 n, then n bytes of level file (n is
// cut to what is there), then the palette-list file. A level that loads is
// written back (it must come out byte for byte as it went in), walked the
// way the views walk it, and released again.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>

#include <algorithm>
#include <vector>

#include "base/byte_cursor.h"
#include "imaging/unused_palettes.h"
#include "level/level.h"
#include "level/level_writer.h"
#include "level/model.h"
#include "level/texture_store.h"

namespace {

// An in-memory file holding the bytes, at its start, with a real descriptor
// (the writer measures its source).
FILE *file_with(const uint8_t *data, size_t size)
{
    int fd = memfd_create("fuzz", 0);
    FILE *f = fd < 0 ? nullptr : fdopen(fd, "w+b");
    if (!f || fwrite(data, 1, size, f) != size) abort();
    rewind(f);
    return f;
}

// Whether a file holds exactly these bytes; closes it.
bool holds(FILE *f, const uint8_t *data, size_t size)
{
    std::vector<uint8_t> back(size + 1);
    rewind(f);
    bool same = fread(back.data(), 1, size + 1, f) == size && memcmp(back.data(), data, size) == 0;
    fclose(f);
    return same;
}

// Writes the loaded level back and checks that both files come out as they
// went in (the palette-list file up to its last record).
void check_round_trip(level *lvl, const uint8_t *lev, size_t lev_size, const uint8_t *d3d, size_t d3d_size)
{
    FILE *src = file_with(lev, lev_size), *dst = file_with(nullptr, 0), *lists = file_with(nullptr, 0);
    size_t d3d_used = 4;
    for (int32_t i = 0; i < lvl->palette_list_count; i++) d3d_used += 8 + 4 * (size_t)lvl->palette_lists[i].count;
    if (write_level(src, dst, lvl).code != SAVE_OK || !holds(dst, lev, lev_size)) abort();
    if (write_palette_lists(lists, lvl).code != SAVE_OK || d3d_used > d3d_size || !holds(lists, d3d, d3d_used)) abort();
    fclose(src);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The decoder's console lines would drown the fuzzer's own output.
    if (!freopen("/dev/null", "w", stdout)) return 0;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4) return 0;
    size_t rest = size - 4, lev_size = std::min((size_t)le32_at(data), rest), d3d_size = rest - lev_size;
    const uint8_t *lev = data + 4, *d3d = lev + lev_size;
    static level lvl;
    memset(&lvl, 0, sizeof lvl);
    if (load_level_from_memory(&lvl, lev, lev_size, d3d, d3d_size, LOAD_ALL).code != LOAD_OK) return 0;
    check_round_trip(&lvl, lev, lev_size, d3d, d3d_size);

    // What the views and the exporter do with a loaded level.
    for (int page = -1; page <= lvl.texture_count; page++) {
        current_palette_id(&lvl, page);
        palette_list *list = find_palette_list(&lvl, page);
        if (list && list->count > 0) {
            int id = get_palette_list_entry(&lvl, page, list->count - 1);
            set_palette_list_entry(&lvl, page, id, 0);
        }
    }
    find_free_palette_id(&lvl);
    remove_unused_palettes(&lvl);
    for (int i = 0; i < lvl.model_count; i++) {
        int source = model_vertex_source(lvl.models, lvl.model_count, i);
        const model &m = lvl.models[i];
        for (int p = 0; p < m.polygon_count; p++) {
            if (m.polygons[p].unsafe || source < 0) continue;
            // A safe polygon's corners index its source's vertices.
            const model &v = lvl.models[source];
            volatile float sink = v.vertices[m.polygons[p].corners[0]][0];
            (void)sink;
        }
    }
    volatile size_t name_bytes = 0;   // every model name is terminated
    for (int i = 0; i < lvl.model_name_count; i++) name_bytes += strlen(lvl.model_names[i]);
    (void)name_bytes;
    release_level_memory(&lvl);
    return 0;
}
