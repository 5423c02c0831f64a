// The main loop's catch-up rule (the title, the flash and the redraws show end to end).
#include <gtest/gtest.h>

#include <allegro.h>

#include "app/app_state.h"
#include "app/editor.h"

namespace {

int steps_seen = 0;
int ticks_per_step[16];  // ticks the "timer" delivers during step i

void step_with_ticks() { tick_counter += ticks_per_step[steps_seen++]; }

}  // namespace

TEST(main_loop, one_step_per_owed_tick_but_two_arriving_in_one_step_stop_for_a_frame)
{
    struct { int owed; std::vector<int> arriving; int steps, left; } cases[] = {
        {0, {}, 0, 0}, {1, {}, 1, 0}, {5, {}, 5, 0},
        {2, {1, 0, 0}, 3, 0},  // one tick arriving is worked off in the same pass
        {3, {2}, 1, 4},        // two arrive: stop and draw
        {3, {0, 3}, 2, 4},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.owed);
        steps_seen = 0;
        for (size_t i = 0; i < 16; i++) ticks_per_step[i] = i < c.arriving.size() ? c.arriving[i] : 0;
        tick_counter = c.owed;
        EXPECT_EQ(run_owed_logic_steps(step_with_ticks), c.steps);
        EXPECT_EQ(tick_counter, c.left);
    }
    tick_counter = 0;
}
