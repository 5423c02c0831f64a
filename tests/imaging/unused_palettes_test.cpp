// Removing the palettes that no palette list names.
#include "imaging/unused_palettes.h"
#include "imaging_support.h"

TEST(unused_palettes, those_no_list_names_lose_their_table_entry_and_are_counted_and_logged)
{
    level lvl;
    // Palettes 0-5; lists name 4, 1, 4 again, 9 (no such palette), -2 and 1.
    make_test_level(&lvl, {true, true}, {0, 1, 2, 3, 4, 5}, {{0, {4, 1, 4}}, {1, {9, -2, 1}}});
    log_capture log;
    EXPECT_EQ(4, remove_unused_palettes(&lvl));
    EXPECT_EQ(log.lines(), (lines{
        "Deleting unused palettes.", "Palette 0 flagged for deletion.", "Palette 2 flagged for deletion.",
        "Palette 3 flagged for deletion.", "Palette 5 flagged for deletion.", "Finished deleting unused palettes"}));
    for (int id = 0; id < 6; id++) EXPECT_EQ(id == 1 || id == 4 ? &lvl.palettes[id] : nullptr, lvl.palette_table[id]) << id;
    EXPECT_EQ(6, lvl.palette_count);  // the records stay; the writer leaves them out
    EXPECT_EQ(0, remove_unused_palettes(&lvl));
    EXPECT_EQ(0, remove_unused_palettes(nullptr));  // no level open
    release_level_memory(&lvl);
}
