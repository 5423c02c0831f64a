// Opening and closing a level through a stand-in file chooser.
#include <gtest/gtest.h>
#include <string.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/file_dialog.h"
#include "app/screen_widgets.h"
#include "app/settings.h"
#include "app/user_message.h"
#include "render/gl_textures.h"
#include "app/level_open.h"
#include "level/name_lists.h"
#include "level_test_support.h"

namespace {

level open_level;
settings open_settings;
gl_texture_set open_textures;
std::vector<std::string> told;
void record(const char *text) { told.push_back(text); }

class level_open : public testing::Test {
protected:
    std::string folder;

    void SetUp() override
    {
        folder = make_temp_folder();
        memset(&open_settings, 0, sizeof open_settings);
        current_level = &open_level;
        current_settings = &open_settings;
        current_textures = &open_textures;
        told.clear();
        set_tell_user_hook(record);
        // The chooser answers answer1, answer2, ... in turn; a missing answer is a cancel.
        std::string script = folder + "/chooser";
        FILE *f = fopen(script.c_str(), "w");
        fprintf(f,
                "#!/bin/sh\nd='%s'\nn=$(cat \"$d/count\" 2>/dev/null || echo 0)\nn=$((n+1))\n"
                "echo $n > \"$d/count\"\necho \"$@\" >> \"$d/args\"\n"
                "[ -f \"$d/answer$n\" ] || exit 1\ncat \"$d/answer$n\"\n",
                folder.c_str());
        fclose(f);
        chmod(script.c_str(), 0755);
        set_file_chooser_program(script.c_str());
    }
    void TearDown() override
    {
        close_level();
        set_file_chooser_program(nullptr);
        set_tell_user_hook(nullptr);
    }
    void write_text(const std::string &path, const std::string &text)
    {
        write_file_bytes(path, std::vector<unsigned char>(text.begin(), text.end()));
    }
    // Runs the open command with the chooser answering `paths` and then cancelling.
    void open_with(std::vector<std::string> paths)
    {
        remove((folder + "/count").c_str());
        for (int i = 1; i < 3; i++) remove((folder + "/answer" + std::to_string(i)).c_str());
        for (size_t i = 0; i < paths.size(); i++)
            write_text(folder + "/answer" + std::to_string(i + 1), "1\n" + paths[i] + "\n");
        open_level_command();
    }
    // Writes a sample level into the folder; returns the level path.
    std::string sample(const std::string &name, int pages)
    {
        sample_level s = make_sample_level(pages, 1);
        write_bytes_to_file((folder + "/" + name + ".d3d").c_str(), s.d3d);
        std::string lev = folder + "/" + name + ".lev";
        write_bytes_to_file(lev.c_str(), s.lev);
        return lev;
    }
};

}  // namespace

TEST_F(level_open, both_files_chosen_load_the_level_and_fill_the_lists)
{
    std::string lev = sample("first", 3);
    strcpy(open_settings.lev_directory, "/start/here/");
    level_changed = true;
    open_with({lev, folder + "/first.d3d"});
    ASSERT_NE(open_level.load_mask, 0);
    EXPECT_FALSE(level_changed);
    EXPECT_EQ(level_path, lev);
    EXPECT_EQ(d3d_path, folder + "/first.d3d");
    EXPECT_EQ(level_folder, folder + "/");
    EXPECT_EQ(open_settings.lev_directory, folder + "/");
    EXPECT_EQ(open_settings.d3d_directory, folder + "/");
    EXPECT_EQ(group_list.count, 4);
    EXPECT_STREQ(group_list.items[3], "Texture 3");
    EXPECT_EQ(texture_list.count, open_level.texture_name_count);
    EXPECT_EQ(model_search.count, open_level.model_count);
    EXPECT_EQ(event_model_list.count, open_level.event_model_count);
    // The first dialog started in the remembered folder.
    std::vector<unsigned char> args = read_file_bytes(folder + "/args");
    EXPECT_EQ(std::string(args.begin(), args.end()),
              "open /start/here/ Quarly Level *.lev\nopen  Quarly D3D *.d3d\n");
    EXPECT_TRUE(told.empty());
}

TEST_F(level_open, a_cancel_or_an_unreadable_file_keeps_the_old_level)
{
    std::string lev = sample("good", 2);
    open_with({lev, folder + "/good.d3d"});
    ASSERT_NE(open_level.load_mask, 0);
    texture_view.selected_texture = 1;
    open_with({sample("other", 5)});   // the second dialog is cancelled
    EXPECT_EQ(open_level.texture_count, 3);
    EXPECT_EQ(d3d_path, folder + "/good.d3d");

    std::string bad = folder + "/bad.lev", bad_d3d = folder + "/bad.d3d";
    write_text(bad, "this is not a level");
    write_text(bad_d3d, "xy");
    open_with({bad, folder + "/good.d3d"});
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].rfind("The level file could not be opened:\n" + bad + "\n", 0), 0u) << told[0];
    EXPECT_EQ(level_path, lev);
    EXPECT_EQ(texture_view.selected_texture, 1);
    EXPECT_EQ(group_list.count, 3);
    open_with({lev, bad_d3d});
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[1].rfind("The palette-list file could not be opened:\n" + bad_d3d + "\n", 0), 0u) << told[1];
    EXPECT_NE(open_level.load_mask, 0);
}

TEST_F(level_open, close_resets_every_selection_and_empties_the_lists)
{
    open_with({sample("closing", 2), folder + "/closing.d3d"});
    group_list.selected = model_list.selected = 1;
    texture_view.selected_texture = info_panel.texture = info_panel.model = selected_model = 1;
    close_level();
    EXPECT_EQ(open_level.load_mask, 0);
    for (listbox *l : {&texture_list, &model_list, &group_list, &event_model_list, &users_list}) {
        EXPECT_EQ(l->selected, -1);
        EXPECT_EQ(l->count, 0);
        EXPECT_FALSE(l->scroll.scrollable);
    }
    EXPECT_EQ(texture_view.selected_texture, -1);
    EXPECT_EQ(info_panel.texture, -1);
    EXPECT_EQ(info_panel.model, -1);
    EXPECT_EQ(selected_model, -1);
    EXPECT_EQ(page_row_count + texture_search.count, 0);
    close_level();  // twice is harmless
}
