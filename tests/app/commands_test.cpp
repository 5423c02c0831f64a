// The main screen's view switches, selection callbacks, per-step work and
// quit request, on the screen's own widget instances.
#include <gtest/gtest.h>
#include <allegro.h>
#include <string.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/debug_log.h"
#include "app/main_screen.h"
#include "level/model_render.h"
#include "app/screen_widgets.h"
#include "app/settings.h"
#include "app/user_message.h"
#include "level/level.h"
#include "level/name_lists.h"
#include "test_support.h"

namespace {

level test_level;
settings test_settings;
std::vector<std::string> messages;
void record_message(const char *text) { messages.push_back(text); }

// Puts the widgets into their start-up state (as the screen builds them)
// without a window: texture-group view, Image menu hidden.
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
        level_changed = false;
        quit_requested = 0;
        show_event_model = false;
        selected_model = selected_event_model = -1;
        texture_view.show();
        texture_view.selected_texture = -1;
        model_view.hide();
        for (listbox *l : {&texture_list, &model_list, &event_model_list, &users_list}) {
            l->hide();
            l->selected = -1;
        }
        group_list.show();
        group_list.selected = -1;
        texture_search.hide();
        model_search.hide();
        flash_checkbox.hide();
        image_menu.hide();
        quit_window.hide();
        for (checkbox &c : setting_boxes)
            c.checked = false;
        info_panel.show_pages = true;
        info_panel.show_event_models = false;
        info_panel.show_texture_info = true;
    }
    void TearDown() override
    {
        gui_set_input(nullptr);
        set_tell_user_hook(nullptr);
        free_users_list();
    }
};

// Visibility of the right-hand widgets in a fixed order, as a string of 0/1:
// texture_view, model_view, texture_list, model_list, group_list,
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

TEST_F(commands, view_switches_show_exactly_their_widgets)
{
    view_models_command();
    EXPECT_EQ(shown(), "0101000010");
    EXPECT_FALSE(image_menu.visible);
    EXPECT_FALSE(info_panel.show_event_models);
    EXPECT_FALSE(info_panel.show_texture_info);
    EXPECT_FALSE(show_event_model);

    view_event_models_command();
    EXPECT_EQ(shown(), "0100010000");
    EXPECT_TRUE(info_panel.show_event_models);
    EXPECT_TRUE(show_event_model);

    view_individual_textures_command();
    EXPECT_EQ(shown(), "1010000100");
    EXPECT_EQ(texture_view.mode, TEXTURE_MODE_SINGLE);
    EXPECT_FALSE(info_panel.show_pages);
    EXPECT_TRUE(info_panel.show_texture_info);
    EXPECT_TRUE(show_event_model);  // left as it was

    view_texture_groups_command();
    EXPECT_EQ(shown(), "1000100000");
    EXPECT_EQ(texture_view.mode, TEXTURE_MODE_GROUP);
    EXPECT_TRUE(info_panel.show_pages);
    EXPECT_FALSE(image_menu.visible);  // no current page: unchanged
}

TEST_F(commands, image_menu_follows_the_current_page_in_the_group_view_only)
{
    group_list_pick(3);
    EXPECT_TRUE(image_menu.visible);
    EXPECT_EQ(info_panel.texture, 3);
    view_individual_textures_command();
    EXPECT_FALSE(image_menu.visible);
    texture_view.selected_texture = 3;
    view_texture_groups_command();
    EXPECT_TRUE(image_menu.visible);
    view_models_command();
    EXPECT_FALSE(image_menu.visible);
}

TEST_F(commands, models_using_this_tex_needs_a_page_with_users)
{
    // No page: nothing at all happens, not even a message.
    view_users_command();
    EXPECT_EQ(shown(), "1000100000");
    EXPECT_TRUE(messages.empty());

    // A page nobody uses: the message, and the view stays.
    test_level.texture_count = 4;
    texture_view.selected_texture = 2;
    view_users_command();
    EXPECT_EQ(messages, std::vector<std::string>{"No models use this texture."});
    EXPECT_EQ(shown(), "1000100000");
    EXPECT_EQ(users_list.count, 0);

    // Event model 0 and model 1 use page 2.
    unsigned char uses2[] = {2}, uses0[] = {0};
    model models[2] = {}, events[1] = {};
    models[0].textures_used = uses0;
    models[0].textures_used_count = 1;
    models[1].textures_used = uses2;
    models[1].textures_used_count = 1;
    events[0].textures_used = uses2;
    events[0].textures_used_count = 1;
    test_level.models = models;
    test_level.model_count = 2;
    test_level.event_models = events;
    test_level.event_model_count = 1;
    view_users_command();
    EXPECT_EQ(shown(), "0100001001");
    EXPECT_EQ(users_list.count, 2);
    EXPECT_EQ(flash_page, 2);
    EXPECT_FALSE(show_event_model);

    // Selection routing: row 0 is the event model, row 1 the model.
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
    free_users_list();
    users_list.items = nullptr;
    users_list.count = 0;
}

TEST_F(commands, quit_request_asks_unless_fast_quit_and_nothing_unsaved)
{
    level_changed = true;
    request_quit();
    EXPECT_TRUE(quit_window.visible);
    EXPECT_STREQ(quit_window.title, "Quit without saving?");
    EXPECT_EQ(quit_requested, 0);
    quit_no_command();
    EXPECT_FALSE(quit_window.visible);

    // Fast quit does not skip the question while there are changes.
    test_settings.fast_quit = 1;
    request_quit();
    EXPECT_STREQ(quit_window.title, "Quit without saving?");
    quit_no_command();

    level_changed = false;
    test_settings.fast_quit = 0;
    request_quit();
    EXPECT_STREQ(quit_window.title, "Really quit?");
    quit_yes_command();
    EXPECT_EQ(quit_requested, 1);

    quit_requested = 0;
    quit_window.hide();
    test_settings.fast_quit = 1;
    request_quit();
    EXPECT_EQ(quit_requested, 1);
    EXPECT_FALSE(quit_window.visible);
}

TEST_F(commands, each_step_copies_the_settings_boxes_and_runs_the_keys)
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

    // Escape with fast quit and nothing unsaved ends the program.
    input.key_down[KEY_ESC] = true;
    main_screen_step();
    EXPECT_EQ(quit_requested, 1);
    input.key_down[KEY_ESC] = false;

    // Control+S held saves once per step for as long as it is held.
    std::string log = make_temp_folder() + "/debug.txt";
    open_debug_log(log.c_str());
    input.key_down[KEY_RCONTROL] = true;
    input.key_down[KEY_S] = true;
    for (int i = 0; i < 3; i++)
        main_screen_step();
    input.key_down[KEY_S] = false;
    main_screen_step();  // Control alone does nothing
    close_debug_log();
    std::vector<unsigned char> bytes = read_file_bytes(log);
    std::string text(bytes.begin(), bytes.end());
    size_t saves = 0;
    for (size_t at = text.find("Saving changes."); at != std::string::npos; at = text.find("Saving changes.", at + 1))
        saves++;
    EXPECT_EQ(saves, 3u);
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
}

TEST_F(commands, search_hits_select_rows_and_misses_do_nothing)
{
    texture_list.selected = 1;
    texture_search_hit(-1);
    EXPECT_EQ(texture_list.selected, 1);
    model_search_hit(-1);
    EXPECT_EQ(model_list.selected, -1);
    const char *const rows[] = {"car", "tree"};
    model_list.items = rows;
    model_list.count = 2;
    model_search_hit(1);
    EXPECT_EQ(model_list.selected, 1);
    EXPECT_EQ(info_panel.model, 1);
    model_list.items = nullptr;
    model_list.count = 0;
}

TEST(command_helpers, folders_keep_their_last_separator)
{
    char folder[16];
    folder_of("/a/b/c.lev", folder, sizeof folder);
    EXPECT_STREQ(folder, "/a/b/");
    folder_of("C:\\lev\\x.lev", folder, sizeof folder);
    EXPECT_STREQ(folder, "C:\\lev\\");
    folder_of("plain.lev", folder, sizeof folder);
    EXPECT_STREQ(folder, "");
    folder_of("/a-very-long-folder-name/x", folder, sizeof folder);
    EXPECT_EQ(strlen(folder), 15u);
}

TEST(command_helpers, odd_random_values_show_the_lower_picture)
{
    EXPECT_EQ(about_picture_top(0), 0);
    EXPECT_EQ(about_picture_top(7), 290);
    EXPECT_EQ(about_picture_top(1234), 0);
}

// ---- the image commands through a stand-in chooser ---------------------------

#include <sys/stat.h>

#include "app/file_dialog.h"
#include "demo/level_builder.h"

namespace {

// A chooser that answers `answer` to every dialog.
void chooser_answers(const std::string &folder, const std::string &answer)
{
    std::string script = folder + "/chooser";
    FILE *f = fopen(script.c_str(), "w");
    fprintf(f, "#!/bin/sh\nprintf '%%s' '%s'\n", answer.c_str());
    fclose(f);
    chmod(script.c_str(), 0755);
    set_file_chooser_program(script.c_str());
}

class image_commands : public commands {
protected:
    std::string folder;
    void SetUp() override
    {
        commands::SetUp();
        folder = make_temp_folder();
        sample_level sample = make_sample_level(3, 1);
        ASSERT_EQ(load_level_from_memory(&test_level, sample.lev.data(), sample.lev.size(), sample.d3d.data(),
                                         sample.d3d.size(), LOAD_ALL),
                  LOAD_OK);
        texture_view.selected_texture = 0;
    }
    void TearDown() override
    {
        import_selector.level = nullptr;
        import_selector.prepare(65, 0);
        cleanup_level(&test_level);
        set_file_chooser_program(nullptr);
        commands::TearDown();
    }
};

}  // namespace

TEST_F(image_commands, an_export_that_cannot_be_written_says_so)
{
    chooser_answers(folder, "1\n" + folder + "/no-such-folder/page\n");
    export_command();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "The page could not be exported to\n" + folder +
                               "/no-such-folder/page\nThe file cannot be created.");
    EXPECT_STREQ(test_settings.export_directory, "");  // not remembered

    messages.clear();
    chooser_answers(folder, "2\n" + folder + "/page\n");
    export_command();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(read_file_bytes(folder + "/page.bmp").size(), 66614u);  // the 8-bit filter
    EXPECT_EQ(test_settings.export_directory, folder + "/");
}

TEST_F(image_commands, a_refused_import_says_why_and_leaves_the_level_unchanged)
{
    std::string path = folder + "/not-an-image.bmp";
    write_file_bytes(path, {'B', 'M', 1, 2, 3});
    chooser_answers(folder, "1\n" + path + "\n");
    std::vector<unsigned char> before(test_level.textures[0].pixels, test_level.textures[0].pixels + PAGE_PIXELS);
    import_command();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("The image could not be imported:\n" + path + "\n", 0), 0u) << messages[0];
    EXPECT_EQ(std::vector<unsigned char>(test_level.textures[0].pixels, test_level.textures[0].pixels + PAGE_PIXELS),
              before);
    EXPECT_EQ(test_settings.import_directory, folder + "/");  // remembered once chosen
}

TEST_F(image_commands, a_page_with_several_palettes_waits_for_the_selection_window)
{
    // Page 2 of the sample has three palettes (the slot count is set when
    // the page's GL textures are built).
    texture_view.selected_texture = 2;
    test_level.textures[2].palette_slot_count = 3;
    import_selector.level = &test_level;  // as the screen wires it
    std::string path = folder + "/eight.bmp";
    std::vector<unsigned char> bmp = {'B', 'M'};
    auto put32 = [&](uint32_t v) { for (int i = 0; i < 4; i++) bmp.push_back((unsigned char)(v >> (8 * i))); };
    put32(1078 + 65536); put32(0); put32(1078);
    put32(40); put32(256); put32(256); bmp.push_back(1); bmp.push_back(0); bmp.push_back(8); bmp.push_back(0);
    put32(0); put32(65536); put32(2835); put32(2835); put32(0); put32(0);
    for (int i = 0; i < 256; i++) { bmp.push_back((unsigned char)i); bmp.push_back(0); bmp.push_back((unsigned char)(255 - i)); bmp.push_back(0); }
    for (int i = 0; i < 65536; i++) bmp.push_back((unsigned char)(i % 251));
    write_file_bytes(path, bmp);
    chooser_answers(folder, "1\n" + path + "\n");
    import_window.hide();
    std::vector<unsigned char> before(test_level.textures[2].pixels, test_level.textures[2].pixels + PAGE_PIXELS);
    import_command();
    EXPECT_TRUE(import_window.visible);
    EXPECT_EQ(import_selector.page, 2);
    EXPECT_FALSE(level_changed);
    EXPECT_EQ(std::vector<unsigned char>(test_level.textures[2].pixels, test_level.textures[2].pixels + PAGE_PIXELS),
              before);
    import_cancel_command();
    EXPECT_FALSE(import_window.visible);
    EXPECT_FALSE(level_changed);

    import_command();
    import_select_all_command();
    import_done_command();
    EXPECT_FALSE(import_window.visible);
    EXPECT_TRUE(level_changed);
    EXPECT_TRUE(messages.empty());
    // Every pixel inside the page's rectangles now holds the bitmap's index.
    const unsigned char *px = test_level.textures[2].pixels;
    EXPECT_EQ(px[0], bmp[1078 + 255 * 256]);  // top-left pixel: the file's last row
}
