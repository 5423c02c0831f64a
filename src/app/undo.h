// The loaded level's undo history: the steps, their bounds and the saved position (the Undo and Redo commands are in commands.h).
//
// A step is one snapshot. While it can be undone it holds the level as it
// was before the change; undoing exchanges it with the level, after which it
// holds the level as it was after the change, ready to be redone. So undo and
// redo allocate nothing and cannot fail. The history is linear: a new change
// drops every step that could have been redone.
#pragma once
#include <stddef.h>

struct level;

// The history keeps at most this many steps and this many bytes of
// snapshots; past either bound the oldest steps go first.
extern int undo_step_limit;       // 64
extern size_t undo_byte_limit;    // 256 MB
enum { UNDO_MOST_STEPS = 64 };

// Call before a change that may alter the level's palettes, palette lists,
// slots and the pixels of `pages`. When memory for the snapshot runs out, it
// logs so and clears the history (older steps would no longer fit the level);
// the change then goes ahead without a step.
void undo_begin_change(const level *lvl, const int *pages, int page_count);
// Call after the change: records a step when the level differs from what it
// was at undo_begin_change, else records nothing.
void undo_end_change(const level *lvl);
// Takes the level one step back or forward. `changed` (one entry per page,
// may be null) marks the pages that look different afterwards. False, with
// nothing touched, when there is no step to take.
bool undo_change(level *lvl, bool *changed);
bool redo_change(level *lvl, bool *changed);
// Whether there is a step to take back, or one to take again.
bool undo_available();
bool redo_available();
// Whether the level is at the step last opened or saved.
bool undo_at_saved_state();
// The level as it is now is what the files on disk hold.
void undo_mark_saved();
// Forgets every step (a level was opened or closed); the level as it is
// counts as saved.
void undo_clear();
