// The main screen as built at start-up: geometry the end-to-end clicks do not reach, initial state from the settings.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "app/app_state.h"
#include "app/main_screen.h"
#include "app/message_box.h"
#include "app/screen_widgets.h"
#include "app/settings.h"
#include "app/user_message.h"
#include "gl_test_window.h"
#include "render/gl_textures.h"
#include "level/level.h"
#include "render/model_render.h"

namespace {

std::string geometry(const object &o)
{
    return std::to_string(o.x) + "," + std::to_string(o.y) + "," + std::to_string(o.w) + "," + std::to_string(o.h);
}

}  // namespace

TEST(main_screen, is_built_with_its_geometry_and_state)
{
    ASSERT_TRUE(open_gl_test_window());
    static level empty_level;
    static settings start_settings;
    static gl_texture_set no_textures;
    memset(&empty_level, 0, sizeof empty_level);
    set_default_settings(&start_settings);
    start_settings.invert_yrot = 1;
    current_level = &empty_level;
    current_settings = &start_settings;
    current_textures = &no_textures;
    void (*saved_message)(const char *) = show_message;
    gui_manager m;
    build_main_screen(&m);

    EXPECT_EQ(geometry(image_menu), "320,0,80,20");
    EXPECT_FALSE(image_menu.visible);  // waits for a page
    struct { const object *o; const char *geometry; } places[] = {
        {&texture_view, "5,25,600,570"},      {&model_view, "5,25,600,570"},
        {&users_list, "610,200,185,395"},     {&info_panel, "610,25,185,155"},
        {&texture_search, "610,185,185,15"},  {&import_window, "165,160,280,300"},
        {&import_selector, "177,180,256,256"}, {&quit_window, "300,280,200,40"},
    };
    for (const auto &p : places)
        EXPECT_EQ(geometry(*p.o), p.geometry);

    EXPECT_EQ(texture_view.mode, TEXTURE_MODE_GROUP);
    for (const window *w : {&settings_window, &about_window, &import_window, &update_window, &quit_window})
        EXPECT_FALSE(w->visible);
    EXPECT_TRUE(setting_boxes[SETTING_INVERT_YROT].checked);  // from the settings
    EXPECT_FALSE(setting_boxes[SETTING_FAST_QUIT].checked);
    EXPECT_TRUE(model_view.invert_yrot);

    EXPECT_EQ(texture_list.scroll.wheel_step, 1);
    EXPECT_EQ(model_list.scroll.wheel_step, 3);

    show_message = saved_message;
    set_after_modal_hook(nullptr);
}
