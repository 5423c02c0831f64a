// The editor's commands on the main screen's own widgets, with a stand-in file chooser and the messages recorded.
#include <gtest/gtest.h>

#include "gl_test_window.h"

#include <sys/stat.h>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/file_dialog.h"
#include "app/screen_widgets.h"
#include "app/settings.h"
#include "app/user_message.h"
#include "base/debug_log.h"
#include "imaging/bitmap_export.h"
#include "level/texture_store.h"
#include "level_test_support.h"
#include "render/gl_textures.h"

namespace {

level the_level;
settings the_settings;
gl_texture_set the_textures;
std::vector<std::string> told;
void record(const char *text) { told.push_back(text); }
typedef std::vector<std::string> texts;

// The pixels of a page's GL texture at a palette slot.
std::vector<unsigned char> gl_page(int page, int slot)
{
    std::vector<unsigned char> rgba((size_t)PAGE_PIXELS * 4);
    glBindTexture(GL_TEXTURE_2D, gl_texture_for(&the_textures, page, slot));
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}

class commands : public testing::Test {
protected:
    std::string folder;

    void SetUp() override
    {
        folder = make_temp_folder();
        memset(&the_settings, 0, sizeof the_settings);
        current_level = &the_level;
        current_settings = &the_settings;
        current_textures = &the_textures;
        told.clear();
        show_message = record;
        level_changed = false;
        // The chooser prints answer1, answer2, ... in turn (a missing one is a cancel) and logs its arguments.
        std::string script = folder + "/chooser";
        FILE *f = fopen(script.c_str(), "w");
        fprintf(f, "#!/bin/sh\nd='%s'\nn=$(($(cat $d/count 2>/dev/null || echo 0)+1))\necho $n > $d/count\n"
                   "echo \"$@\" >> $d/args\n[ -f $d/answer$n ] || exit 1\ncat $d/answer$n\n", folder.c_str());
        fclose(f);
        chmod(script.c_str(), 0755);
        set_file_chooser_program(script.c_str());
    }
    void TearDown() override
    {
        close_level();
        set_file_chooser_program(nullptr);
        show_message = nullptr;
    }
    // The chooser's next answers, each a filter index and a path.
    void answer(const texts &answers)
    {
        for (const char *name : {"/count", "/args", "/answer1", "/answer2"}) remove((folder + name).c_str());
        for (size_t i = 0; i < answers.size(); i++)
            if (!answers[i].empty()) write_file_bytes(folder + "/answer" + std::to_string(i + 1), std::vector<unsigned char>(answers[i].begin(), answers[i].end()));
    }
    std::string chooser_args() { return read_file_text(folder + "/args"); }
    // Writes a level's two files as <name>.lev and <name>.d3d and opens them.
    std::string open(const std::string &name, const sample_level &s)
    {
        std::string lev = folder + "/" + name + ".lev", d3d = folder + "/" + name + ".d3d";
        write_bytes_to_file(lev.c_str(), s.lev);
        write_bytes_to_file(d3d.c_str(), s.d3d);
        answer({"1\n" + lev + "\n", "1\n" + d3d + "\n"});
        open_level_command();
        return lev;
    }
};

}  // namespace

TEST_F(commands, open_replaces_the_level_only_when_both_files_read_and_save_clears_the_change_only_when_written)
{
    strcpy(the_settings.lev_directory, "/start/here/");
    level_changed = true;
    std::string lev = open("first", make_sample_level(2, 1));
    ASSERT_EQ(the_level.texture_count, 3);
    EXPECT_EQ(chooser_args(), "open /start/here/ Quarly Level *.lev\nopen  Quarly D3D *.d3d\n");
    EXPECT_FALSE(level_changed);
    EXPECT_EQ(level_path + std::string(d3d_path) + level_folder, lev + folder + "/first.d3d" + folder + "/");
    EXPECT_EQ(the_settings.lev_directory + std::string(the_settings.d3d_directory), folder + "/" + folder + "/");
    EXPECT_EQ(group_list.count, 3);
    texture_view.selected_texture = 1;
    level_changed = true;
    write_file_bytes(folder + "/bad.lev", {'n', 'o'});
    write_file_bytes(folder + "/bad.d3d", {'x'});
    struct { texts answers; std::string told; } failures[] = {
        {{"1\n" + lev + "\n"}, ""},   // the second dialog cancelled
        {{"1\n" + folder + "/bad.lev\n", "1\n" + folder + "/first.d3d\n"}, "The level file could not be opened:\n" + folder + "/bad.lev\n"},
        {{"1\n" + lev + "\n", "1\n" + folder + "/bad.d3d\n"}, "The palette-list file could not be opened:\n" + folder + "/bad.d3d\n"},
    };
    for (const auto &c : failures) {
        told.clear();
        answer(c.answers);
        open_level_command();
        EXPECT_EQ(told.empty() ? "" : told[0].substr(0, c.told.size()), c.told);
        EXPECT_EQ(the_level.texture_count, 3);
        EXPECT_EQ(texture_view.selected_texture, 1);
        EXPECT_TRUE(level_changed);
        EXPECT_EQ(d3d_path, folder + "/first.d3d");
    }
    log_capture log;
    save_command();
    EXPECT_FALSE(level_changed);
    // A level file changed on disk behind the editor's back is not overwritten.
    write_bytes_to_file(lev.c_str(), make_sample_level(1, 1).lev);
    level_changed = true;
    told.clear();
    save_command();
    EXPECT_TRUE(level_changed);
    EXPECT_EQ(told, texts{"The level could not be saved: the level file on disk has 2 pages, the level 3. "
                          "The files on disk were left as they were."});
    EXPECT_EQ(log.lines(), (texts{"Saving changes.", "Save completed", "Saving changes.",
                                  " Save failed: the level file on disk has 2 pages, the level 3."}));
    open("second", make_sample_level(1, 1));   // the old level goes with its selections
    EXPECT_EQ(texture_view.selected_texture, -1);
    EXPECT_EQ(the_level.texture_count, 2);
}

TEST_F(commands, export_writes_the_chosen_name_with_bmp_and_remembers_its_folder_only_when_written)
{
    open("level", make_sample_level(2, 1));
    texture_view.selected_texture = 0;
    strcpy(the_settings.export_directory, "/start/");
    mkdir((folder + "/out").c_str(), 0755);
    struct { std::string answer, written; size_t size; std::string directory, told; } cases[] = {
        {"", "", 0, "/start/", ""},
        {"2\n" + folder + "/out/p\n", "/out/p.bmp", BITMAP_8BIT_FILE_SIZE, folder + "/out/", ""},
        {"1\n" + folder + "/q.bmp\n", "/q.bmp", BITMAP_24BIT_FILE_SIZE, folder + "/", ""},
        {"1\n" + folder + "/r.BMP\n", "/r.BMP.bmp", BITMAP_24BIT_FILE_SIZE, folder + "/", ""},
        {"1\n" + folder + "/none/x\n", "", 0, folder + "/",
         "The page could not be exported to\n" + folder + "/none/x\nThe file cannot be created."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.answer);
        told.clear();
        answer({c.answer});
        export_command();
        if (!c.written.empty()) EXPECT_EQ(read_file_bytes(folder + c.written).size(), c.size);
        EXPECT_EQ(the_settings.export_directory, c.directory);
        EXPECT_EQ(told, c.told.empty() ? texts{} : texts{c.told});
    }
    EXPECT_EQ(chooser_args(), "save " + folder + "/ 24-bit Bitmap *.bmp 8-bit Bitmap *.bmp\n");
    the_level.palette_table[current_palette_id(&the_level, 0)] = nullptr;
    answer({"1\n" + folder + "/y\n"});
    export_command();
    EXPECT_EQ(told.back(), "The page could not be exported to\n" + folder + "/y\nThe page's palette is missing.");
    EXPECT_FALSE(level_changed);
}

TEST_F(commands, import_and_palette_deletion_mark_the_level_changed_and_import_reuploads_every_page_of_its_palette)
{
    QTE_REQUIRE_GL_WINDOW();
    sample_level s = make_sample_level(2, 1);
    s.d3d = encode_palette_lists({{0, {0}}, {1, {0, 2}}});   // palette 0 on both pages, palette 1 on none
    open("level", s);
    std::string bitmap = folder + "/in/page.bmp", rle = folder + "/in/rle.bmp";
    mkdir((folder + "/in").c_str(), 0755);
    ASSERT_EQ(write_page_bitmap_file(&the_level, 1, 2, true, bitmap.c_str()), EXPORT_OK);   // page 1 in palette 2
    std::vector<unsigned char> compressed = read_file_bytes(bitmap);
    compressed[30] = 1;
    write_file_bytes(rle, compressed);
    texture_view.selected_texture = 0;
    answer({});
    import_command();   // cancelled
    EXPECT_FALSE(level_changed);
    answer({"1\n" + rle + "\n"});
    import_command();
    EXPECT_EQ(told, texts{"The image could not be imported:\n" + rle + "\nCan't load bitmaps with compression."});
    EXPECT_TRUE(level_changed);   // the user asked for a change
    EXPECT_EQ(the_settings.import_directory, folder + "/in/");

    // Into page 1's slot 0 through the selection window: palette 0 is overwritten, so page 0 changes too.
    texture_view.selected_texture = 1;
    level_changed = false;
    std::vector<unsigned char> page0_before = gl_page(0, 0);
    answer({"1\n" + bitmap + "\n"});
    import_command();
    EXPECT_TRUE(import_window.visible);
    EXPECT_FALSE(level_changed);
    import_select_all_command();
    import_done_command();
    EXPECT_FALSE(import_window.visible);
    EXPECT_TRUE(level_changed);
    EXPECT_EQ(told.size(), 1u);
    std::vector<unsigned char> page0(PAGE_PIXELS * 4), page1(PAGE_PIXELS * 4);
    page8_to_rgba(page_indices(the_level.textures[0]), palette_by_id(&the_level, 0), page0.data());
    page8_to_rgba(page_indices(the_level.textures[1]), palette_by_id(&the_level, 0), page1.data());
    EXPECT_NE(page0, page0_before);
    EXPECT_EQ(gl_page(0, 0), page0);
    EXPECT_EQ(gl_page(1, 0), page1);

    // Palette 1 is on no list: deleting it is a change; deleting nothing keeps the flag as it was.
    level_changed = false;
    delete_unused_palettes_command();
    EXPECT_TRUE(level_changed && !palette_by_id(&the_level, 1));
    for (bool changed : {false, true}) {
        level_changed = changed;
        delete_unused_palettes_command();
        EXPECT_EQ(level_changed, changed);
    }
}
