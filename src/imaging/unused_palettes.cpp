// Removal of the palettes that no page's palette list names any more.
#include "imaging/unused_palettes.h"

#include <stdlib.h>

#include "app/app_state.h"
#include "base/debug_log.h"
#include "level/level.h"

namespace {

// The ids the palette lists name, each once, in order of first appearance.
struct id_list {
    int32_t *ids = nullptr;
    int32_t count = 0, capacity = 0;
    ~id_list() { free(ids); }
    bool contains(int32_t id) const
    {
        for (int32_t i = 0; i < count; i++)
            if (ids[i] == id) return true;
        return false;
    }
    bool append(int32_t id)
    {
        if (count == capacity) {
            int32_t grown = capacity ? capacity * 2 : 64;
            int32_t *bigger = (int32_t *)realloc(ids, (size_t)grown * sizeof *ids);
            if (!bigger) return false;
            ids = bigger;
            capacity = grown;
        }
        ids[count++] = id;
        return true;
    }
};

}  // namespace

void remove_unused_palettes(level *lvl)
{
    debug_log("Deleting unused palettes.");
    if (!lvl || !lvl->load_mask) return;
    id_list used;
    for (int32_t i = 0; i < lvl->palette_list_count; i++) {
        const palette_list &l = lvl->palette_lists[i];
        for (int32_t k = 0; l.palette_ids && k < l.count; k++) {
            if (used.contains(l.palette_ids[k])) continue;
            if (!used.append(l.palette_ids[k])) {
                // Without the whole list a used palette could be taken for
                // unused: remove nothing rather than too much.
                debug_log(" Not enough memory to list the palettes in use.");
                debug_log("Finished deleting unused palettes");
                return;
            }
        }
    }
    for (int32_t id = 0; id < lvl->palette_table_size; id++) {
        if (!lvl->palette_table[id] || used.contains(id)) continue;
        lvl->palette_table[id] = nullptr;
        debug_log("Palette %d flagged for deletion.", (int)id);
        level_changed = true;
    }
    debug_log("Finished deleting unused palettes");
}

void delete_unused_palettes_command() { remove_unused_palettes(current_level); }
