// Fuzz entry for the save: a level that loads is changed as the editor may
// change it (a pixel, a palette list entry, unused palettes removed), written
// and read again, and must come back as the same level.
//
// Input layout as fuzz_load_level's: a little-endian uint32 n, then n bytes of
// level file (n is cut to what is there), then the palette-list file.
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
#include "level/texture_store.h"

namespace {

typedef std::vector<uint8_t> bytes;

// A memory file holding the bytes, at its start (the writer measures its source).
FILE *file_with(const bytes &b)
{
    int fd = memfd_create("fuzz", 0);
    FILE *f = fd < 0 ? nullptr : fdopen(fd, "w+b");
    if (!f || (!b.empty() && fwrite(b.data(), 1, b.size(), f) != b.size())) abort();
    rewind(f);
    return f;
}

bytes contents(FILE *f)
{
    bytes b((size_t)ftell(f));
    rewind(f);
    if (!b.empty() && fread(b.data(), 1, b.size(), f) != b.size()) abort();
    fclose(f);
    return b;
}

// What a save keeps: the palettes the table names (by id), the lists, the pages.
bytes kept(const level &l)
{
    bytes out;
    auto add = [&](const void *p, size_t n) { out.insert(out.end(), (const uint8_t *)p, (const uint8_t *)p + n); };
    for (int id = 0; id < l.palette_table_size; id++)
        if (const level_palette *p = palette_by_id(&l, id)) add(&id, sizeof id), add(p->entries, sizeof p->entries);
    for (int i = 0; i < l.palette_list_count; i++) {
        const palette_list &list = l.palette_lists[i];
        add(&list.texture, 4), add(&list.count, 4);
        if (list.palette_ids && list.count > 0) add(list.palette_ids, 4 * (size_t)list.count);
    }
    for (int t = 0; t < l.texture_count; t++) {
        add(&l.textures[t].flags, 4);
        if (l.textures[t].pixels) add(l.textures[t].pixels, page_byte_size(l.textures[t]));
    }
    add(&l.model_count, 4), add(&l.texture_name_count, 4);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4) return 0;
    size_t rest = size - 4, lev_size = std::min((size_t)le32_at(data), rest);
    const bytes lev(data + 4, data + 4 + lev_size), d3d(data + 4 + lev_size, data + size);
    level lvl = {};
    if (load_level_from_memory(&lvl, lev.data(), lev.size(), d3d.data(), d3d.size(), LOAD_ALL).code != LOAD_OK) return 0;
    if (lvl.texture_count > 0 && lvl.textures[0].pixels) lvl.textures[0].pixels[size % 256] ^= 1;
    if (palette_list *list = find_palette_list(&lvl, (int)(size % 3)))
        if (list->count > 1) set_palette_list_entry(&lvl, list->texture, list->palette_ids[0], list->count - 1);
    if (size % 2) remove_unused_palettes(&lvl);

    FILE *src = file_with(lev), *dst = file_with({}), *lists = file_with({});
    bool written = write_level(src, dst, &lvl).code == SAVE_OK && write_palette_lists(lists, &lvl).code == SAVE_OK;
    fclose(src);
    bytes lev2 = contents(dst), d3d2 = contents(lists);
    level again = {};
    if (!written) {  // a level the writer refuses is a refusal, not a fault here
        release_level_memory(&lvl);
        return 0;
    }
    if (load_level_from_memory(&again, lev2.data(), lev2.size(), d3d2.data(), d3d2.size(), LOAD_ALL).code != LOAD_OK ||
        kept(again) != kept(lvl))
        abort();
    release_level_memory(&again);
    release_level_memory(&lvl);
    return 0;
}
