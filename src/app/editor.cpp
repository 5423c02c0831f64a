// The main routine: start-up, the 60 Hz main loop and shut-down.
//
// Sections: process-wide records; timers, the tick wait and the close
// button; the loop's logic (catch-up rule, retitling, when an idle window
// needs a frame); drawing one frame; start-up; shut-down; run_editor.
//
// Start-up and shut-down run in a fixed order: the log first and last, the
// OpenGL window before anything that makes textures, the theme before any
// widget is added (the manager hands it only to widgets added afterwards).
#include "app/editor.h"

#include <allegro.h>
#include <alleggl.h>
#include <GL/glu.h>
#include <errno.h>
#include <semaphore.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "app/app_paths.h"
#include "app/app_state.h"
#include "app/commands.h"
#include "app/file_dialog.h"
#include "app/held_keys.h"
#include "app/user_message.h"
#include "base/debug_log.h"
#include "app/gl_window.h"
#include "app/main_screen.h"
#include "app/readme.h"
#include "app/settings.h"
#include "app/undo.h"
#include "app/desktop_window.h"
#include "gui/object.h"
#include "render/gl_textures.h"
#include "level/level.h"

// ---------------------------------------------------------------------------
// Process-wide records. The main routine owns the one level, the one texture
// set and the settings; everybody else reaches them through the pointers
// published in app_state.

static level the_level;
static gl_texture_set the_textures;
static settings the_settings;
static int theme_texture = -1;

// ---------------------------------------------------------------------------
// Timers and the close button. The callbacks run in Allegro's timer (and, for
// the close button, window) thread: they touch only the tick counter, the
// flash phase and a request flag, never a widget.

static volatile int close_button_pressed = 0;

// Posted once per tick, so the idle loop sleeps until the next tick instead
// of waking every millisecond to look at the counter.
static sem_t tick_semaphore;
static bool tick_semaphore_ready = false;

static void tick_timer()
{
    __atomic_add_fetch(&tick_counter, 1, __ATOMIC_SEQ_CST);
    if (tick_semaphore_ready) sem_post(&tick_semaphore);
}
END_OF_STATIC_FUNCTION(tick_timer)

void advance_flash_phase(bool flash_checked)
{
    flash_phase = flash_checked ? !flash_phase : false;
}

static void flash_timer()
{
    advance_flash_phase(flash_checkbox_checked());
}
END_OF_STATIC_FUNCTION(flash_timer)

// Gives up the processor until a tick may have arrived: the next post of the
// tick timer, or 1 ms when the semaphore could not be made.
static void wait_for_tick()
{
    if (!tick_semaphore_ready) {
        rest(1);
        return;
    }
    timespec until;
    clock_gettime(CLOCK_REALTIME, &until);
    until.tv_nsec += 20 * 1000 * 1000;   // a safety net; a tick comes every 16.7 ms
    if (until.tv_nsec >= 1000 * 1000 * 1000) {
        until.tv_sec++;
        until.tv_nsec -= 1000 * 1000 * 1000;
    }
    while (sem_timedwait(&tick_semaphore, &until) != 0 && errno == EINTR) {}
}

// The quit request may open the quit window, which is widget work for the
// main thread; the hook only records the click and the next logic step runs
// the request.
static void close_button_hook()
{
    close_button_pressed = 1;
}
END_OF_STATIC_FUNCTION(close_button_hook)

// ---------------------------------------------------------------------------
// The loop's logic.

int run_owed_logic_steps(void (*step)())
{
    int steps = 0;
    while (tick_counter > 0) {
        int start = tick_counter;
        if (step) step();
        steps++;
        // The timer thread increments concurrently; a plain decrement could
        // lose one of its ticks.
        int now = __atomic_sub_fetch(&tick_counter, 1, __ATOMIC_SEQ_CST);
        if (now > start) break;  // two or more ticks came in during this step
    }
    return steps;
}

const char *title_after_step(bool changed_before, bool changed_after)
{
    if (changed_before == changed_after) return nullptr;
    return changed_after ? CHANGED_WINDOW_TITLE : WINDOW_TITLE;
}

static const char *window_title = WINDOW_TITLE;

const char *current_window_title()
{
    return window_title;
}

static void set_title(const char *title)
{
    window_title = title;
    if (system_driver && system_driver->set_window_title) set_window_title(title);
    set_desktop_window_title(title);
}

void logic_step(gui_manager *manager, void (*screen_step)())
{
    bool changed_before = level_changed;
    if (close_button_pressed) {
        close_button_pressed = 0;
        request_quit();
    }
    if (screen_step) screen_step();
    if (manager) manager->update();
    const char *title = title_after_step(changed_before, level_changed);
    if (title) set_title(title);
}

bool step_changes_picture(const screen_sample &previous, const screen_sample &now)
{
    if (now.mouse_b != 0 || now.key_waiting || now.key_held || now.captured) return true;
    return now.mouse_x != previous.mouse_x || now.mouse_y != previous.mouse_y ||
           now.mouse_z != previous.mouse_z || now.mouse_b != previous.mouse_b ||
           now.flash_phase != previous.flash_phase || now.level_changed != previous.level_changed;
}

bool frame_due(bool picture_may_change, int ticks_since_frame)
{
    return picture_may_change || ticks_since_frame >= FRAME_KEEP_ALIVE_TICKS;
}

static screen_sample sample_screen(const gui_manager *manager)
{
    screen_sample s;
    s.mouse_x = mouse_x;
    s.mouse_y = mouse_y;
    s.mouse_z = mouse_z;
    s.mouse_b = mouse_b;
    s.key_waiting = keypressed() != 0;
    for (int k = 1; k < KEY_MAX && !s.key_held; k++) s.key_held = key[k] != 0;
    s.flash_phase = flash_phase;
    s.level_changed = level_changed;
    s.captured = manager && !manager->active.empty();
    return s;
}

static gui_manager *loop_manager = nullptr;
static screen_sample last_sample;
static bool picture_may_change = true;   // the first pass always draws
static int ticks_since_frame = 0;
static int redraw_ticks_left = 0;

void redraw_for_ticks(int ticks)
{
    if (ticks > redraw_ticks_left) redraw_ticks_left = ticks;
}

static void draw_one_frame(gui_manager *manager);

// Before a message box and after every box or dialog, in the middle of a
// logic step: a whole frame, leaving the back buffer clear as the main loop
// expects it between frames.
static void draw_frame_now()
{
    if (!loop_manager) return;
    glClearColor(0.2f, 0.2f, 0.2f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    draw_one_frame(loop_manager);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// After every message box and file dialog: the keys held when it opened
// count as up (their releases went to it, not to the editor), and the part
// of the window it covered is redrawn at once and for a few ticks more.
static void after_modal_window()
{
    forget_held_keys();
    draw_frame_now();
    redraw_for_ticks(FRAMES_AFTER_MODAL_TICKS);
}

// The screen's per-step work, then what was dropped on the window: inside
// the logic step, so that a change it makes retitles the window.
static void screen_step()
{
    main_screen_step();
    file_drop drop;
    if (poll_dropped_files(&drop)) {
        open_dropped_files(drop.files, drop.x, drop.y);
        picture_may_change = true;
    }
}

static void main_loop_step()
{
    screen_sample now = sample_screen(loop_manager);
    if (step_changes_picture(last_sample, now) || take_window_exposure()) picture_may_change = true;
    if (redraw_ticks_left > 0) {
        redraw_ticks_left--;
        picture_may_change = true;
    }
    last_sample = now;
    logic_step(loop_manager, screen_step);
    reap_file_choosers();
    check_readme_launch();
    ticks_since_frame++;
}

// While a file chooser is up the loop stands still: the window is drawn
// again when it was exposed, and every half second besides (a compositor may
// have let it go stale), so the user keeps the page in sight. No logic step
// runs meanwhile, so input to the window is not acted on.
static void redraw_while_waiting()
{
    static double last_drawn = 0;
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    double seconds = (double)now.tv_sec + (double)now.tv_nsec / 1e9;
    if (take_window_exposure() || seconds - last_drawn >= 0.5) {
        draw_frame_now();
        last_drawn = seconds;
    }
}

// ---------------------------------------------------------------------------
// Drawing one frame: the menu-bar strip, every visible widget, the flip.

static void draw_one_frame(gui_manager *manager)
{
    draw_screen(manager, theme_texture);
    allegro_gl_flip();
}

// ---------------------------------------------------------------------------
// Start-up.

static void install_timers()
{
    LOCK_VARIABLE(tick_counter);
    LOCK_VARIABLE(flash_phase);
    LOCK_VARIABLE(close_button_pressed);
    LOCK_FUNCTION(tick_timer);
    LOCK_FUNCTION(flash_timer);
    LOCK_FUNCTION(close_button_hook);
    tick_semaphore_ready = sem_init(&tick_semaphore, 0, 0) == 0;
    install_int_ex(flash_timer, BPS_TO_TIMER(2));
    install_int_ex(tick_timer, BPS_TO_TIMER(60));
}

// The graphics-mode message; `reason` (may be null) stands in for Allegro's
// text when Allegro has none, as when the display itself failed.
static void show_mode_failure(const char *reason)
{
    const char *allegro_text = allegro_error[0] || !reason ? allegro_error : reason;
    debug_log(" The OpenGL window could not be opened: %s%s%s", allegro_text, allegro_gl_error[0] ? " " : "",
              allegro_gl_error);
    allegro_message("Error setting OpenGL graphics mode:\n%s\nAllegro GL error : %s\n", allegro_text,
                    allegro_gl_error);
}

// set_gfx_mode, once more after a failure: a failed attempt is logged with
// its reasons and the window state is started afresh by Allegro.
static bool set_window_mode()
{
    for (int attempt = 1; attempt <= 2; attempt++) {
        choose_gl_mode();
        if (set_gfx_mode(GFX_OPENGL, 800, 600, 0, 0) == 0) return true;
        if (attempt == 1) {
            debug_log(" Setting the OpenGL mode failed (%s %s); trying once more.", allegro_error, allegro_gl_error);
            rest(200);
        }
    }
    return false;
}

// Loads the theme bitmap named in the settings (a path in the asset folder,
// or absolute) and uploads it; -1 when it cannot be read (the GUI then draws
// flat).
static int load_theme(const char *path)
{
    int texture = upload_theme(asset_path(path).c_str());
    if (texture == -1) debug_log("Failed to load theme file: %s", path);
    return texture;
}

// The window's icon, the launcher's picture: a window without an icon when
// the asset is missing.
static void set_icon()
{
    set_desktop_window_icon(asset_path("icons/qte.bmp").c_str());
}

// ---------------------------------------------------------------------------
// Shut-down.

static void shut_down()
{
    cleanup_level(current_level);
    undo_clear();
    free_gl_texture_arrays(&the_textures);
    free_main_screen_lists();

    save_settings(current_settings, settings_save_path().c_str());

    close_debug_log();
}

// ---------------------------------------------------------------------------

int run_editor(const char *level_file, const char *d3d_file)
{
    open_debug_log(log_path().c_str());
    // Without a system driver (no display) every later Allegro call would
    // crash; the user gets the same message as for a window that cannot open,
    // with the reason.
    char why[256];
    if (!open_window_system(why, sizeof why)) {
        show_mode_failure(why);
        return -1;
    }
    if (allegro_init() != 0) {
        show_mode_failure("Allegro could not be started.");
        close_window_system();
        return -1;
    }
    install_allegro_gl();
    install_keyboard();
    install_timer();
    install_mouse();
    show_os_cursor(MOUSE_CURSOR_ARROW);
    install_timers();

    prepare_desktop_window(WINDOW_TITLE);
    set_display_switch_mode(SWITCH_BACKGROUND);
    if (!set_window_mode()) {
        show_mode_failure(nullptr);
        return -1;
    }
    catch_window_system_errors();
    watch_window_exposure();
    accept_dropped_files();
    bring_window_to_front();
    allegro_gl_use_mipmapping(FALSE);

    memset(&the_level, 0, sizeof the_level);
    current_level = &the_level;
    current_textures = &the_textures;
    set_gl_state();

    size_t font_texture_count = convert_font_for_gl();

    set_default_settings(&the_settings);
    current_settings = &the_settings;
    load_settings(&the_settings, settings_load_path().c_str());

    set_title(WINDOW_TITLE);
    set_icon();
    set_close_button_callback(close_button_hook);

    gui_manager *manager = new gui_manager();
    theme_texture = load_theme(the_settings.theme);
    if (theme_texture != -1) manager->set_theme(theme_texture);

    srand((unsigned)time(nullptr));
    flash_phase = false;
    set_after_modal_hook(after_modal_window);
    set_redraw_hook(draw_frame_now);
    set_file_dialog_wait_hook(redraw_while_waiting);
    build_main_screen(manager);
    set_nearest_filtering(font_texture_count, theme_texture);
    set_start_projection();
    loop_manager = manager;   // from here on a message box draws the screen first
    if (level_file) open_level_files(level_file, d3d_file);

    bool back_buffer_clear = false;
    while (!quit_requested) {
        // After a skipped frame the back buffer is still clear.
        if (!back_buffer_clear) {
            glClearColor(0.2f, 0.2f, 0.2f, 1.0f);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            back_buffer_clear = true;
        }
        while (tick_counter == 0) wait_for_tick();
        run_owed_logic_steps(main_loop_step);
        // An idle window is not redrawn 60 times a second: with software
        // OpenGL each frame costs several per cent of a core.
        if (frame_due(picture_may_change, ticks_since_frame)) {
            draw_one_frame(manager);
            back_buffer_clear = false;
            picture_may_change = false;
            ticks_since_frame = 0;
        }
    }
    loop_manager = nullptr;
    set_redraw_hook(nullptr);

    shut_down();
    set_close_button_callback(nullptr);
    set_file_dialog_wait_hook(nullptr);
    delete manager;
    close_window_system();
    return 0;
}
