// The undo history's saved mark follows the step the files on disk hold, also
// when the oldest steps are dropped.
#include "app/undo.h"
#include "level_test_support.h"

TEST(undo, dropping_the_oldest_steps_keeps_the_saved_mark_on_the_state_the_files_hold)
{
    level lvl;
    ASSERT_EQ(load_bytes(&lvl, make_sample_level(1, 0).lev, make_sample_level(1, 0).d3d), LOAD_OK);
    int page = 0;
    auto change = [&](unsigned char value) {
        undo_begin_change(&lvl, &page, 1);
        lvl.textures[0].pixels[0] = value;
        undo_end_change(&lvl);
    };
    undo_clear();
    undo_step_limit = 2;
    // Saved after the first change; two more push it out of the history's reach by one step.
    change(1), undo_mark_saved(), change(2), change(3);
    EXPECT_FALSE(undo_at_saved_state());
    ASSERT_TRUE(undo_change(&lvl, nullptr));
    EXPECT_FALSE(undo_at_saved_state());   // holds 2: changed since the save
    ASSERT_TRUE(undo_change(&lvl, nullptr));
    EXPECT_TRUE(undo_at_saved_state() && lvl.textures[0].pixels[0] == 1);
    // Saved at the start, then three changes: the saved state can no longer be reached.
    undo_clear();
    change(4), change(5), change(6);
    while (undo_change(&lvl, nullptr)) EXPECT_FALSE(undo_at_saved_state());
    undo_step_limit = UNDO_MOST_STEPS;
    undo_clear();
    release_level_memory(&lvl);
}
