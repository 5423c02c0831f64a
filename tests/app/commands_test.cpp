// The main screen's view switches, selection routing, per-step work, quit
// request and image-command messages, on the screen's own widget instances.
#include <gtest/gtest.h>
#include <allegro.h>
#include <string.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/file_dialog.h"
#include "app/main_screen.h"
#include "app/screen_widgets.h"
#include "app/settings.h"
#include "app/user_message.h"
#include "demo/level_builder.h"
#include "level/level.h"
#include "render/model_render.h"
#include "level/name_lists.h"
#include "test_support.h"

namespace {

level test_level;
settings test_settings;
std::vector<std::string> messages;
void record_message(const char *text) { messages.push_back(text); }

// The widgets in their start-up state, without a window.
class commands : public testing::Test {
protected:
    gui_input_state input;

    void SetUp() override
    {
        memset(&test_level, 0, sizeof test_level);
        memset(&test_settings, 0, sizeof test_settings);
        current_level = &test_level;
        current_settings = &test_settings;
        messages.clear();
        set_tell_user_hook(record_message);
        gui_set_input(&input);
        level_changed = show_event_model = false;
        quit_requested = 0;
        selected_model = selected_event_model = -1;
        for (object *o : std::initializer_list<object *>{&model_view, &texture_list, &model_list, &event_model_list,
                                                          &users_list, &texture_search, &model_search,
                                                          &flash_checkbox, &image_menu, &quit_window})
            o->hide();
        texture_view.show();
        group_list.show();
        texture_view.selected_texture = group_list.selected = model_list.selected = event_model_list.selected = -1;
        for (checkbox &c : setting_boxes)
            c.checked = false;
        info_panel.show_pages = info_panel.show_texture_info = true;
        info_panel.show_event_models = false;
    }
    void TearDown() override
    {
        gui_set_input(nullptr);
        set_tell_user_hook(nullptr);
        free_users_list();
    }
};

// Visibility as 0/1: texture_view, model_view, texture_list, model_list, group_list,
// event_model_list, users_list, texture_search, model_search, flash_checkbox.
std::string shown()
{
    const object *all[] = {&texture_view, &model_view, &texture_list, &model_list, &group_list,
                           &event_model_list, &users_list, &texture_search, &model_search, &flash_checkbox};
    std::string s;
    for (const object *o : all)
        s += o->visible ? '1' : '0';
    return s;
}

}  // namespace

TEST_F(commands, view_switches_show_exactly_their_widgets_and_the_image_menu_follows_the_page)
{
    group_list_pick(3);
    EXPECT_TRUE(image_menu.visible);
    EXPECT_EQ(info_panel.texture, 3);
    struct { void (*command)(); const char *shown; bool event_models, texture_info, image_menu; } cases[] = {
        {view_models_command, "0101000010", false, false, false},
        {view_event_models_command, "0100010000", true, false, false},
        {view_individual_textures_command, "1010000100", true, true, false},
        {view_texture_groups_command, "1000100000", true, true, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.shown);
        c.command();
        EXPECT_EQ(shown(), c.shown);
        EXPECT_EQ(show_event_model, c.event_models);  // the single-texture view leaves it as it was
        EXPECT_EQ(info_panel.show_texture_info, c.texture_info);
        EXPECT_EQ(image_menu.visible, c.image_menu);
        texture_view.selected_texture = 3;
    }
    EXPECT_EQ(texture_view.mode, TEXTURE_MODE_GROUP);
    EXPECT_TRUE(info_panel.show_pages);
}

TEST_F(commands, models_using_this_tex_lists_users_and_routes_their_rows)
{
    test_level.texture_count = 4;
    texture_view.selected_texture = 2;
    unsigned char uses2[] = {2}, uses0[] = {0};
    model models[2] = {}, events[1] = {};
    models[0].textures_used = uses0;
    models[1].textures_used = uses2;
    events[0].textures_used = uses2;
    models[0].textures_used_count = models[1].textures_used_count = events[0].textures_used_count = 1;
    test_level.models = models;
    test_level.model_count = 2;
    test_level.event_models = events;
    test_level.event_model_count = 1;
    view_users_command();
    EXPECT_EQ(shown(), "0100001001");
    EXPECT_EQ(users_list.count, 2);
    EXPECT_EQ(flash_page, 2);
    // Row 0 is the event model, row 1 the model.
    users_list.selected = 0;
    main_screen_step();
    EXPECT_TRUE(show_event_model);
    EXPECT_EQ(selected_event_model, 0);
    EXPECT_EQ(info_panel.model, 0);
    users_list.selected = 1;
    main_screen_step();
    EXPECT_FALSE(show_event_model);
    EXPECT_EQ(selected_model, 1);
    EXPECT_EQ(info_panel.model, 1);
}

TEST_F(commands, lists_route_the_model_shown_and_the_group_highlight)
{
    model_list.selected = 4;
    event_model_list.selected = 2;
    texture_view.selected_texture = 7;
    main_screen_step();
    EXPECT_EQ(selected_model, 4);
    EXPECT_EQ(selected_event_model, 2);
    EXPECT_EQ(info_panel.model, 4);
    EXPECT_EQ(group_list.selected, 7);
    show_event_model = true;
    main_screen_step();
    EXPECT_EQ(info_panel.model, 2);

    model_search_hit(-1);  // a miss changes nothing
    EXPECT_EQ(model_list.selected, 4);
}

TEST_F(commands, quit_asks_unless_fast_quit_and_nothing_unsaved)
{
    level_changed = true;
    request_quit();
    EXPECT_TRUE(quit_window.visible);
    EXPECT_STREQ(quit_window.title, "Quit without saving?");
    quit_no_command();
    EXPECT_FALSE(quit_window.visible);
    test_settings.fast_quit = 1;  // does not skip the question while there are changes
    request_quit();
    EXPECT_STREQ(quit_window.title, "Quit without saving?");
    test_settings.fast_quit = 0;
    level_changed = false;
    request_quit();
    EXPECT_STREQ(quit_window.title, "Really quit?");
    EXPECT_EQ(quit_requested, 0);
    quit_yes_command();
    EXPECT_EQ(quit_requested, 1);
    quit_requested = 0;
    quit_window.hide();
    test_settings.fast_quit = 1;
    request_quit();
    EXPECT_EQ(quit_requested, 1);
    EXPECT_FALSE(quit_window.visible);
}

TEST_F(commands, each_step_copies_the_settings_boxes_and_escape_quits)
{
    setting_boxes[SETTING_INVERT_YPOS].checked = true;
    setting_boxes[SETTING_FAST_QUIT].checked = true;
    main_screen_step();
    EXPECT_EQ(test_settings.fast_quit, 1);
    EXPECT_EQ(test_settings.invert_ypos, 1);
    EXPECT_EQ(test_settings.invert_yrot, 0);
    EXPECT_TRUE(model_view.invert_ypos);
    EXPECT_FALSE(model_view.invert_xpos);
    EXPECT_EQ(quit_requested, 0);
    input.key_down[KEY_ESC] = true;
    main_screen_step();
    EXPECT_EQ(quit_requested, 1);
}

TEST(command_helpers, folders_keep_their_last_separator)
{
    struct { const char *path, *folder; } cases[] = {
        {"/a/b/c.lev", "/a/b/"}, {"C:\\lev\\x.lev", "C:\\lev\\"}, {"plain.lev", ""},
        {"/a-very-long-folder-name/x", "/a-very-long-fo"},
    };
    for (const auto &c : cases) {
        char folder[16];
        folder_of(c.path, folder, sizeof folder);
        EXPECT_STREQ(folder, c.folder);
    }
}

TEST_F(commands, a_failed_export_says_so_and_is_not_remembered)
{
    std::string folder = make_temp_folder();
    sample_level sample = make_sample_level(3, 1);
    ASSERT_EQ(load_level_from_memory(&test_level, sample.lev.data(), sample.lev.size(), sample.d3d.data(),
                                     sample.d3d.size(), LOAD_ALL),
              LOAD_OK);
    texture_view.selected_texture = 0;
    std::string script = folder + "/chooser";
    FILE *f = fopen(script.c_str(), "w");
    fprintf(f, "#!/bin/sh\nprintf '1\\n%s/no-such-folder/page\\n'\n", folder.c_str());
    fclose(f);
    chmod(script.c_str(), 0755);
    set_file_chooser_program(script.c_str());
    export_command();
    EXPECT_EQ(messages, std::vector<std::string>{"The page could not be exported to\n" + folder +
                                                 "/no-such-folder/page\nThe file cannot be created."});
    EXPECT_STREQ(test_settings.export_directory, "");
    set_file_chooser_program(nullptr);
    cleanup_level(&test_level);
}
