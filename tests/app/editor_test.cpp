// The main loop's logic: the catch-up rule, retitling, the flash phase and when to draw.
#include <gtest/gtest.h>

#include <allegro.h>

#include "app/app_state.h"
#include "app/editor.h"

namespace {

int steps_seen = 0;
int ticks_per_step[16];  // ticks the "timer" delivers during step i

void step_with_ticks() { tick_counter += ticks_per_step[steps_seen++]; }
void flip_level_changed() { level_changed = !level_changed; }

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

TEST(main_loop, the_title_changes_only_on_the_step_where_the_flag_flips)
{
    EXPECT_EQ(title_after_step(false, false), nullptr);
    EXPECT_EQ(title_after_step(true, true), nullptr);
    EXPECT_STREQ(title_after_step(false, true), "*Quarly Texture Editor 2.0");
    EXPECT_STREQ(title_after_step(true, false), "Quarly Texture Editor 2.0");
    level_changed = false;
    logic_step(nullptr, flip_level_changed);
    EXPECT_STREQ(current_window_title(), "*Quarly Texture Editor 2.0");
    logic_step(nullptr, flip_level_changed);
    EXPECT_STREQ(current_window_title(), "Quarly Texture Editor 2.0");
    level_changed = true;  // flipped twice within the step: nothing to retitle
    logic_step(nullptr, [] { level_changed = false; level_changed = true; });
    EXPECT_STREQ(current_window_title(), "Quarly Texture Editor 2.0");
    level_changed = false;
}

TEST(main_loop, the_flash_phase_blinks_only_while_the_box_is_checked)
{
    flash_phase = false;
    const bool checked[] = {true, true, true, false, false}, phase[] = {true, false, true, false, false};
    for (int i = 0; i < 5; i++) {
        advance_flash_phase(checked[i]);
        EXPECT_EQ(flash_phase, phase[i]) << i;
    }
}

TEST(main_loop, only_input_state_changes_or_the_keep_alive_ask_for_a_frame)
{
    EXPECT_FALSE(frame_due(false, FRAME_KEEP_ALIVE_TICKS - 1));
    EXPECT_TRUE(frame_due(false, FRAME_KEEP_ALIVE_TICKS));
    EXPECT_TRUE(frame_due(true, 0));
    screen_sample idle;
    idle.mouse_x = 300;
    idle.mouse_y = 200;
    EXPECT_FALSE(step_changes_picture(idle, idle));
    // Moves and state changes, and held input even when nothing moves.
    void (*changes[])(screen_sample &) = {
        [](screen_sample &s) { s.mouse_x++; },         [](screen_sample &s) { s.mouse_y--; },
        [](screen_sample &s) { s.mouse_z = -1; },      [](screen_sample &s) { s.flash_phase = true; },
        [](screen_sample &s) { s.level_changed = true; }, [](screen_sample &s) { s.mouse_b = 1; },
        [](screen_sample &s) { s.key_held = true; },   [](screen_sample &s) { s.key_waiting = true; },
        [](screen_sample &s) { s.captured = true; },
    };
    for (size_t i = 0; i < sizeof changes / sizeof changes[0]; i++) {
        screen_sample now = idle;
        changes[i](now);
        EXPECT_TRUE(step_changes_picture(idle, now)) << i;
    }
    screen_sample pressed = idle;
    pressed.mouse_b = 2;
    EXPECT_TRUE(step_changes_picture(pressed, idle));  // the release
}
