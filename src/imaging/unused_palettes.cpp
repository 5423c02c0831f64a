// Removal of the palettes that no page's palette list names any more.
#include "imaging/unused_palettes.h"

#include "base/debug_log.h"
#include "level/level.h"
#include "level/texture_store.h"

int remove_unused_palettes(level *lvl, int32_t *ids, int ids_size)
{
    debug_log("Deleting unused palettes.");
    if (!lvl || !lvl->load_mask) return 0;
    int removed = 0;
    for (int32_t id = 0; id < lvl->palette_table_size; id++) {
        if (!lvl->palette_table[id] || palette_is_listed(lvl, id)) continue;
        lvl->palette_table[id] = nullptr;
        debug_log("Palette %d flagged for deletion.", (int)id);
        if (removed < ids_size) ids[removed] = id;
        removed++;
    }
    debug_log("Finished deleting unused palettes");
    return removed;
}
