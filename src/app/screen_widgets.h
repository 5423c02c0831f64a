// The widget instances of the main screen, shared by its commands.
//
// They are built once at start-up and live until the process ends; commands
// only show, hide and reconfigure them.
#pragma once
#include "gui/button.h"
#include "gui/listbox.h"
#include "gui/menu.h"
#include "gui/progress_bar.h"
#include "gui/textbox.h"
#include "gui/window.h"
#include "views/quick_info.h"
#include "views/texture_render.h"
#include "views/texture_selector.h"

extern texture_render texture_view;
extern render3d model_view;
extern listbox texture_list;
extern listbox model_list;
extern listbox group_list;
extern listbox event_model_list;
extern listbox users_list;
extern checkbox flash_checkbox;
extern quick_info info_panel;
extern searchbox texture_search;
extern searchbox model_search;
extern menu image_menu;
extern window settings_window;
extern window about_window;
extern textbox credits_box;
extern image about_image;
extern window import_window;
extern texture_selector import_selector;
// In the selection window: learn the whole palette from the chosen textures
// (the other textures then change colour); off by default.
extern checkbox import_replace_box;
// Export All and Import All show their progress here.
extern window progress_window;
extern progress_bar progress_window_bar;
extern window update_window;
extern textbox update_text;
// The question before quitting or letting unsaved changes go: Yes and No,
// and Save when changes are unsaved.
extern window quit_window;
extern button quit_yes, quit_no, quit_save;

// The settings check boxes, in the order of the settings window.
enum { SETTING_INVERT_YROT, SETTING_INVERT_YPOS, SETTING_INVERT_XPOS, SETTING_FAST_QUIT, SETTING_BEST_COLOURS, SETTING_COUNT };
extern checkbox setting_boxes[SETTING_COUNT];

// The credits shown in the about box.
extern const char CREDITS_TEXT[];
