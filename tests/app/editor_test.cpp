// The main loop's logic: the catch-up rule, retitling, the flash phase and forgetting held keys.
#include <gtest/gtest.h>

#include <allegro.h>
#include <allegro/internal/aintern.h>

#include "app/app_state.h"
#include "app/editor.h"
#include "app/held_keys.h"

namespace {

int steps_seen = 0;
int ticks_per_step[16];   // ticks the "timer" delivers during step i

void step_with_ticks()
{
    tick_counter += ticks_per_step[steps_seen];
    steps_seen++;
}

int owed_steps(int owed, std::initializer_list<int> arriving)
{
    steps_seen = 0;
    for (int &t : ticks_per_step) t = 0;
    int i = 0;
    for (int t : arriving) ticks_per_step[i++] = t;
    tick_counter = owed;
    return run_owed_logic_steps(step_with_ticks);
}

void flip_level_changed()
{
    level_changed = !level_changed;
}

}  // namespace

TEST(main_loop, one_step_per_owed_tick_until_none_is_owed)
{
    EXPECT_EQ(owed_steps(0, {}), 0);
    EXPECT_EQ(owed_steps(1, {}), 1);
    EXPECT_EQ(tick_counter, 0);
    EXPECT_EQ(owed_steps(5, {}), 5);
    EXPECT_EQ(tick_counter, 0);
    // One tick arriving during a step is simply worked off in the same pass.
    EXPECT_EQ(owed_steps(2, {1, 0, 0}), 3);
    EXPECT_EQ(tick_counter, 0);
}

TEST(main_loop, two_ticks_arriving_during_one_step_stop_the_catch_up_for_a_frame)
{
    // Step 1 of 3 owed: two ticks arrive, so 4 remain and a frame is drawn.
    EXPECT_EQ(owed_steps(3, {2}), 1);
    EXPECT_EQ(tick_counter, 4);
    // The second step falls behind: stop after it.
    EXPECT_EQ(owed_steps(3, {0, 3}), 2);
    EXPECT_EQ(tick_counter, 4);
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
    logic_step(nullptr, nullptr);
    EXPECT_STREQ(current_window_title(), "*Quarly Texture Editor 2.0");
    logic_step(nullptr, flip_level_changed);
    EXPECT_STREQ(current_window_title(), "Quarly Texture Editor 2.0");
    // Flipped twice within the step: nothing to retitle.
    level_changed = true;
    logic_step(nullptr, [] { level_changed = false; level_changed = true; });
    EXPECT_STREQ(current_window_title(), "Quarly Texture Editor 2.0");
    level_changed = false;
}

TEST(main_loop, the_flash_phase_blinks_only_while_the_box_is_checked)
{
    flash_phase = false;
    advance_flash_phase(true);
    EXPECT_TRUE(flash_phase);
    advance_flash_phase(true);
    EXPECT_FALSE(flash_phase);
    advance_flash_phase(true);
    advance_flash_phase(false);
    EXPECT_FALSE(flash_phase);
    advance_flash_phase(false);
    EXPECT_FALSE(flash_phase);
}

TEST(held_keys, keys_down_when_a_dialog_opened_count_as_up_afterwards)
{
    key[KEY_LCONTROL] = -1;
    key[KEY_S] = -1;
    _key[KEY_S] = -1;
    key_shifts |= KB_CTRL_FLAG | KB_CAPSLOCK_FLAG;
    forget_held_keys();
    EXPECT_EQ(key[KEY_LCONTROL], 0);
    EXPECT_EQ(key[KEY_S], 0);
    EXPECT_EQ(_key[KEY_S], 0);
    EXPECT_EQ(key_shifts & KB_CTRL_FLAG, 0);
    EXPECT_NE(key_shifts & KB_CAPSLOCK_FLAG, 0);   // a lock is not a held key
    EXPECT_FALSE(keypressed());
    key_shifts = 0;
}

TEST(main_loop, an_idle_window_is_redrawn_only_for_the_keep_alive)
{
    screen_sample idle;
    idle.mouse_x = 300;
    idle.mouse_y = 200;
    idle.mouse_z = 4;
    EXPECT_FALSE(step_changes_picture(idle, idle));
    EXPECT_FALSE(frame_due(false, 1));
    EXPECT_FALSE(frame_due(false, FRAME_KEEP_ALIVE_TICKS - 1));
    EXPECT_TRUE(frame_due(false, FRAME_KEEP_ALIVE_TICKS));
    EXPECT_TRUE(frame_due(true, 0));
}

TEST(main_loop, input_and_state_changes_ask_for_a_frame)
{
    screen_sample before;
    before.mouse_x = 300;
    before.mouse_y = 200;
    auto changed = [&](void (*change)(screen_sample &)) {
        screen_sample now = before;
        change(now);
        return step_changes_picture(before, now);
    };
    EXPECT_TRUE(changed([](screen_sample &s) { s.mouse_x++; }));
    EXPECT_TRUE(changed([](screen_sample &s) { s.mouse_y--; }));
    EXPECT_TRUE(changed([](screen_sample &s) { s.mouse_z = -1; }));
    EXPECT_TRUE(changed([](screen_sample &s) { s.flash_phase = true; }));
    EXPECT_TRUE(changed([](screen_sample &s) { s.level_changed = true; }));
    // Held input keeps frames coming even when nothing moves: a drag warps
    // the pointer back to its anchor, a held key repeats.
    screen_sample held = before;
    held.mouse_b = 1;
    EXPECT_TRUE(step_changes_picture(held, held));
    held = before;
    held.key_held = true;
    EXPECT_TRUE(step_changes_picture(held, held));
    held = before;
    held.key_waiting = true;
    EXPECT_TRUE(step_changes_picture(held, held));
    held = before;
    held.captured = true;
    EXPECT_TRUE(step_changes_picture(held, held));
    // The release of a button changes the picture too.
    screen_sample pressed = before;
    pressed.mouse_b = 2;
    EXPECT_TRUE(step_changes_picture(pressed, before));
}
