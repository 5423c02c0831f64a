// The loaded level's undo history: recording steps, keeping the bounds, stepping back and forth, the two commands.
#include "app/undo.h"

#include <stdlib.h>
#include <string.h>

#include "app/app_state.h"
#include "app/commands.h"
#include "base/debug_log.h"
#include "level/level.h"
#include "level/level_snapshot.h"
#include "render/gl_textures.h"

int undo_step_limit = UNDO_MOST_STEPS;
size_t undo_byte_limit = (size_t)256 << 20;

namespace {

// steps[0 .. done) can be undone, steps[done .. step_count) redone.
level_snapshot steps[UNDO_MOST_STEPS];
int step_count = 0;
int done = 0;
// The value of `done` at which the level equals the files on disk; -1 when
// no step leads there any more.
int saved = 0;
level_snapshot pending;
bool pending_taken = false;

void drop_redo_steps()
{
    for (int i = done; i < step_count; i++) free_level_snapshot(&steps[i]);
    step_count = done;
    if (saved > done) saved = -1;
}

void drop_oldest_step()
{
    free_level_snapshot(&steps[0]);
    memmove(&steps[0], &steps[1], (size_t)(step_count - 1) * sizeof steps[0]);
    memset(&steps[step_count - 1], 0, sizeof steps[0]);
    step_count--;
    done--;
    saved = saved > 0 ? saved - 1 : -1;
}

bool over_bounds(const level *lvl)
{
    int limit = undo_step_limit < UNDO_MOST_STEPS ? undo_step_limit : UNDO_MOST_STEPS;
    if (step_count > limit) return true;
    size_t bytes = 0;
    for (int i = 0; i < step_count; i++) bytes += level_snapshot_size(lvl, &steps[i]);
    return bytes > undo_byte_limit;
}

void forget_steps()
{
    done = 0;
    drop_redo_steps();
    if (pending_taken) free_level_snapshot(&pending);
    pending_taken = false;
}

}  // namespace

void undo_begin_change(const level *lvl, const int *pages, int page_count)
{
    if (pending_taken) free_level_snapshot(&pending);
    pending_taken = false;
    if (!lvl->load_mask) return;
    if (take_level_snapshot(lvl, pages, page_count, &pending) == 0) {
        pending_taken = true;
        return;
    }
    debug_log(" Not enough memory to keep this change for Undo; the earlier steps are forgotten.");
    forget_steps();
    saved = -1;
}

void undo_end_change(const level *lvl)
{
    if (!pending_taken) return;
    pending_taken = false;
    if (level_matches_snapshot(lvl, &pending)) {
        free_level_snapshot(&pending);
        return;
    }
    drop_redo_steps();
    if (step_count == UNDO_MOST_STEPS) drop_oldest_step();
    steps[step_count++] = pending;
    done = step_count;
    memset(&pending, 0, sizeof pending);
    while (step_count > 0 && over_bounds(lvl)) drop_oldest_step();
}

bool undo_change(level *lvl, bool *changed)
{
    if (done == 0 || !swap_level_snapshot(lvl, &steps[done - 1])) return false;
    done--;
    if (changed) mark_changed_pages(lvl, &steps[done], changed);
    return true;
}

bool redo_change(level *lvl, bool *changed)
{
    if (done == step_count || !swap_level_snapshot(lvl, &steps[done])) return false;
    if (changed) mark_changed_pages(lvl, &steps[done], changed);
    done++;
    return true;
}

bool undo_available() { return done > 0; }

bool redo_available() { return done < step_count; }

bool undo_at_saved_state() { return done == saved; }

void undo_mark_saved() { saved = done; }

void undo_clear()
{
    forget_steps();
    saved = 0;
}

static void take_step(bool (*step)(level *, bool *), const char *none)
{
    level *lvl = current_level;
    // Without room for the marks every page is drawn again.
    bool *changed = (bool *)calloc((size_t)lvl->texture_count + 1, sizeof *changed);
    if (!step(lvl, changed)) {
        debug_log("%s", none);
        free(changed);
        return;
    }
    for (int p = 0; p < lvl->texture_count; p++)
        if (!changed || changed[p]) rebuild_gl_texture(current_textures, lvl, p);
    free(changed);
    level_changed = !undo_at_saved_state();
}

void undo_command()
{
    debug_log("Undoing the last change.");
    take_step(undo_change, " Nothing to undo.");
}

void redo_command()
{
    debug_log("Redoing the last change.");
    take_step(redo_change, " Nothing to redo.");
}
