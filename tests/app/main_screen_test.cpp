// The main screen as built at start-up: order of adding, geometry, initial
// state and wiring of every instance.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/main_screen.h"
#include "app/message_box.h"
#include "app/screen_widgets.h"
#include "app/settings.h"
#include "app/user_message.h"
#include "gl_test_window.h"
#include "level/gl_textures.h"
#include "level/level.h"
#include "level/model_render.h"

namespace {

int index_of(const gui_manager &m, const object *o)
{
    for (size_t i = 0; i < m.objects.size(); i++)
        if (m.objects[i] == o)
            return (int)i;
    return -1;
}

std::string geometry(const object &o)
{
    return std::to_string(o.x) + "," + std::to_string(o.y) + "," + std::to_string(o.w) + "," + std::to_string(o.h);
}

}  // namespace

TEST(main_screen, is_built_once_in_order_with_its_geometry_state_and_wiring)
{
    ASSERT_TRUE(open_gl_test_window());
    static level empty_level;
    static settings start_settings;
    static gl_texture_set no_textures;
    memset(&empty_level, 0, sizeof empty_level);
    set_default_settings(&start_settings);
    start_settings.invert_yrot = 1;
    start_settings.fast_quit = 1;
    current_level = &empty_level;
    current_settings = &start_settings;
    current_textures = &no_textures;
    void (*saved_message)(const char *) = show_message;

    gui_manager m;
    build_main_screen(&m);

    // Order of adding (composites add their inner parts right after them).
    std::vector<const object *> order = {&texture_view, &model_view, &texture_list, &model_list, &group_list,
                                         &event_model_list, &users_list, &flash_checkbox, &info_panel,
                                         &texture_search, &model_search};
    std::vector<menu *> menus;
    for (object *o : m.objects)
        if (menu *mn = dynamic_cast<menu *>(o))
            menus.push_back(mn);
    ASSERT_EQ(menus.size(), 5u);
    for (menu *mn : menus)
        order.push_back(mn);
    for (const object *o : {(const object *)&settings_window, (const object *)&setting_boxes[0],
                            (const object *)&setting_boxes[3], (const object *)&about_window,
                            (const object *)&credits_box, (const object *)&about_image,
                            (const object *)&import_window, (const object *)&import_selector,
                            (const object *)&update_window, (const object *)&update_text,
                            (const object *)&quit_window})
        order.push_back(o);
    EXPECT_EQ(m.objects.front(), &texture_view);
    for (size_t i = 1; i < order.size(); i++)
        EXPECT_LT(index_of(m, order[i - 1]), index_of(m, order[i])) << "instance " << i;

    // The menus: built File, Level, View, Image, Help; each 80 x 20 on top.
    const char *labels[] = {"File", "Level", "View", "Image", "Help"};
    const int xs[] = {0, 160, 240, 320, 80};
    for (int i = 0; i < 5; i++) {
        EXPECT_STREQ(menus[i]->label, labels[i]);
        EXPECT_EQ(geometry(*menus[i]), std::to_string(xs[i]) + ",0,80,20");
        EXPECT_EQ(menus[i]->visible, i != 3);
    }
    EXPECT_EQ(menus[3], &image_menu);
    const menu_chunk *file_rows = menus[0]->chunks[0];
    ASSERT_EQ(file_rows->row_count(), 3);
    EXPECT_STREQ(file_rows->labels[0], "Open     >");
    EXPECT_STREQ(file_rows->sub_chunks[0]->labels[0], "LEV");
    EXPECT_STREQ(file_rows->labels[1], "Save");
    EXPECT_STREQ(file_rows->labels[2], "Exit");
    EXPECT_EQ(file_rows->commands[2], request_quit);
    const menu_chunk *view_rows = menus[2]->chunks[0];
    ASSERT_EQ(view_rows->row_count(), 6);
    EXPECT_STREQ(view_rows->labels[2], "Models Using This Tex");
    EXPECT_EQ(view_rows->commands[2], view_users_command);
    EXPECT_STREQ(menus[4]->chunks[0]->labels[2], "Check for updates");
    EXPECT_STREQ(menus[1]->chunks[0]->labels[0], "Delete Unused Palettes");

    // Geometry in the 800 x 600 window; the import window centres on the view.
    EXPECT_EQ(geometry(texture_view), "5,25,600,570");
    EXPECT_EQ(geometry(model_view), "5,25,600,570");
    for (const listbox *l : {&texture_list, &model_list, &group_list, &event_model_list, &users_list})
        EXPECT_EQ(geometry(*l), "610,200,185,395");
    EXPECT_EQ(geometry(flash_checkbox), "610,185,100,10");
    EXPECT_EQ(geometry(info_panel), "610,25,185,155");
    EXPECT_EQ(geometry(texture_search), "610,185,185,15");
    EXPECT_EQ(geometry(settings_window), "100,100,600,400");
    EXPECT_EQ(geometry(about_window), "100,50,600,500");
    EXPECT_EQ(geometry(credits_box), "110,370,580,150");
    EXPECT_EQ(geometry(import_window), "165,160,280,300");
    EXPECT_EQ(geometry(import_selector), "177,180,256,256");
    EXPECT_EQ(geometry(update_text), "110,120,580,370");
    EXPECT_EQ(geometry(quit_window), "300,280,200,40");
    EXPECT_EQ(geometry(setting_boxes[3]), "120,180,100,10");

    // Initial state: the texture-group view; every window and child hidden.
    EXPECT_TRUE(texture_view.visible);
    EXPECT_EQ(texture_view.mode, TEXTURE_MODE_GROUP);
    EXPECT_FALSE(model_view.visible);
    EXPECT_TRUE(group_list.visible);
    EXPECT_TRUE(info_panel.visible);
    for (const object *o : {(const object *)&texture_list, (const object *)&model_list,
                            (const object *)&event_model_list, (const object *)&users_list,
                            (const object *)&flash_checkbox, (const object *)&texture_search,
                            (const object *)&model_search})
        EXPECT_FALSE(o->visible);
    for (const window *w : {&settings_window, &about_window, &import_window, &update_window, &quit_window}) {
        EXPECT_FALSE(w->visible);
        for (const object *child : w->children)
            EXPECT_FALSE(child->visible);
    }
    EXPECT_EQ(settings_window.flags, WINDOW_CLOSE | WINDOW_DRAG);
    EXPECT_EQ(import_window.flags, 0);
    EXPECT_EQ(quit_window.flags, WINDOW_CLOSE);
    EXPECT_STREQ(quit_window.title, "Quit without saving?");
    EXPECT_STREQ(import_window.title, "Select textures to import.");
    EXPECT_EQ(update_window.title, nullptr);
    EXPECT_STREQ(flash_checkbox.label, "Flash texture");
    EXPECT_FALSE(flash_checkbox.checked);

    // The settings check boxes and the 3D view start from the settings.
    EXPECT_TRUE(setting_boxes[SETTING_INVERT_YROT].checked);
    EXPECT_FALSE(setting_boxes[SETTING_INVERT_YPOS].checked);
    EXPECT_TRUE(setting_boxes[SETTING_FAST_QUIT].checked);
    EXPECT_STREQ(setting_boxes[SETTING_FAST_QUIT].label, "Fast quit");
    EXPECT_TRUE(model_view.invert_yrot);

    // Wiring.
    EXPECT_EQ(texture_view.on_select, texture_view_pick);
    EXPECT_EQ(texture_view.level, &empty_level);
    EXPECT_EQ(model_view.on_draw, draw_model_view);
    EXPECT_EQ(group_list.on_change, group_list_pick);
    EXPECT_EQ(texture_list.on_change, texture_list_pick);
    EXPECT_EQ(model_list.on_change, nullptr);
    EXPECT_EQ(texture_search.on_search, texture_search_hit);
    EXPECT_EQ(model_search.on_search, model_search_hit);
    EXPECT_EQ(texture_list.scroll.wheel_step, 1);
    for (const listbox *l : {&model_list, &group_list, &event_model_list, &users_list})
        EXPECT_EQ(l->scroll.wheel_step, 3);
    EXPECT_TRUE(texture_list.numbered);
    EXPECT_TRUE(model_list.numbered);
    EXPECT_FALSE(group_list.numbered);
    EXPECT_EQ(std::string(credits_box.text, (size_t)credits_box.length).rfind("Credits:\n\n", 0), 0u);
    EXPECT_FALSE(flash_checkbox_checked());

    show_message = saved_message;
    set_after_modal_hook(nullptr);
}
