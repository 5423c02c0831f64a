// The File, Image and Level commands on the main screen's own widgets, with a stand-in file chooser and the messages recorded.
#include <gtest/gtest.h>

#include "gl_test_window.h"

#include <sys/stat.h>
#include <unistd.h>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/file_dialog.h"
#include "app/screen_widgets.h"
#include "app/settings.h"
#include "app/user_message.h"
#include "imaging/bitmap_export.h"
#include "level/texture_store.h"
#include "level_test_support.h"
#include "render/gl_textures.h"

namespace {

level the_level;
settings the_settings;
gl_texture_set the_textures;
typedef std::vector<std::string> texts;
texts told;

// A page's GL texture at palette slot 0.
std::vector<unsigned char> gl_page(int page)
{
    std::vector<unsigned char> rgba((size_t)PAGE_PIXELS * 4);
    glBindTexture(GL_TEXTURE_2D, gl_texture_for(&the_textures, page, 0));
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}

// What the chooser prints for a file chosen with the given filter.
std::string pick(const std::string &path, int filter = 1) { return std::to_string(filter) + "\n" + path + "\n"; }

struct commands : testing::Test {
    std::string folder = make_temp_folder();

    void SetUp() override
    {
        the_settings = settings{};
        current_level = &the_level;
        current_settings = &the_settings;
        current_textures = &the_textures;
        show_message = [](const char *text) { told.push_back(text); };
        level_changed = false;
        // The chooser prints the queued picks in turn (none left: a cancel) and logs its arguments;
        // the editor goes on once a pick is printed, so it leaves the queue first.
        std::string script = folder + "/chooser";
        write_file_text(script, "#!/bin/sh\ncd '" + folder + "'\necho \"$@\" >> args\n[ -s queue ] || exit 1\n"
                                "head -n 2 queue > pick\nsed -i 1,2d queue\ncat pick\n");
        chmod(script.c_str(), 0755);
        set_file_chooser_program(script.c_str());
    }
    void TearDown() override
    {
        close_level();
        set_file_chooser_program(nullptr);
        show_message = nullptr;
    }
    void answer(const texts &picks)
    {
        std::string queue;
        for (const std::string &p : picks) queue += p;
        write_file_text(folder + "/queue", queue);
        remove((folder + "/args").c_str());
        told.clear();
    }
    // Writes a level's two files as <name>.lev and <name>.d3d and opens them.
    std::string open(const std::string &name, const sample_level &s)
    {
        std::string lev = folder + "/" + name + ".lev", d3d = folder + "/" + name + ".d3d";
        write_bytes_to_file(lev.c_str(), s.lev);
        write_bytes_to_file(d3d.c_str(), s.d3d);
        answer({pick(lev), pick(d3d)});
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
    EXPECT_EQ(read_file_text(folder + "/args"), "open /start/here/ Quarly Level *.lev\nopen  Quarly D3D *.d3d\n");
    EXPECT_FALSE(level_changed);
    EXPECT_EQ(level_path + std::string(d3d_path) + level_folder, lev + folder + "/first.d3d" + folder + "/");
    EXPECT_EQ(the_settings.lev_directory + std::string(the_settings.d3d_directory), folder + "/" + folder + "/");
    texture_view.selected_texture = 1;
    level_changed = true;
    write_file_text(folder + "/bad.lev", "no level");
    write_file_text(folder + "/bad.d3d", "x");
    struct { texts picks; std::string told; } failures[] = {
        {{pick(folder + "/bad.lev"), pick(folder + "/first.d3d")}, "The level file could not be opened:\n" + folder + "/bad.lev\n"},
        {{pick(lev), pick(folder + "/bad.d3d")}, "The palette-list file could not be opened:\n" + folder + "/bad.d3d\n"},
        {{pick(folder + "/" + std::string(FILE_DIALOG_PATH_SIZE, 'x'))}, "The chosen file name is too long."},   // refused, not cut
    };
    for (const auto &c : failures) {
        answer(c.picks);
        open_level_command();
        EXPECT_EQ(told.empty() ? "" : told[0].substr(0, c.told.size()), c.told);
        EXPECT_TRUE(the_level.texture_count == 3 && texture_view.selected_texture == 1 && level_changed && d3d_path == folder + "/first.d3d");
    }
    log_capture log;
    save_command();
    EXPECT_FALSE(level_changed);
    // A level file changed on disk behind the editor's back is not overwritten.
    write_bytes_to_file(lev.c_str(), make_sample_level(1, 1).lev);
    level_changed = true;
    answer({});
    save_command();
    EXPECT_TRUE(level_changed);
    EXPECT_EQ(told, texts{"The level could not be saved: the level file on disk has 2 pages, the level 3. "
                          "The files on disk were left as they were."});
    EXPECT_EQ(log.lines(), (texts{"Saving changes.", "Save completed", "Saving changes.",
                                  " Save failed: the level file on disk has 2 pages, the level 3."}));
    open("second", make_sample_level(1, 1));   // the old level goes with its selections
    EXPECT_EQ(texture_view.selected_texture, -1);
}

TEST_F(commands, export_writes_the_chosen_name_with_bmp_and_remembers_its_folder_only_when_written)
{
    open("level", make_sample_level(2, 1));
    texture_view.selected_texture = 0;
    strcpy(the_settings.export_directory, "/start/");
    mkdir((folder + "/out").c_str(), 0755);
    struct { std::string pick, written; size_t size; std::string directory, told; } cases[] = {
        {"", "", 0, "/start/", ""},
        {pick(folder + "/out/p", 2), "/out/p.bmp", BITMAP_8BIT_FILE_SIZE, folder + "/out/", ""},
        {pick(folder + "/q.bmp"), "/q.bmp", BITMAP_24BIT_FILE_SIZE, folder + "/", ""},
        {pick(folder + "/r.BMP"), "/r.BMP.bmp", BITMAP_24BIT_FILE_SIZE, folder + "/", ""},
        {pick(folder + "/none/x"), "", 0, folder + "/", "The page could not be exported to\n" + folder + "/none/x\nThe file cannot be created."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pick);
        answer({c.pick});
        export_command();
        if (!c.written.empty()) EXPECT_EQ(read_file_bytes(folder + c.written).size(), c.size);
        EXPECT_EQ(the_settings.export_directory, c.directory);
        EXPECT_EQ(told, c.told.empty() ? texts{} : texts{c.told});
    }
    EXPECT_EQ(read_file_text(folder + "/args"), "save " + folder + "/ 24-bit Bitmap *.bmp 8-bit Bitmap *.bmp\n");
    the_level.palette_table[current_palette_id(&the_level, 0)] = nullptr;
    answer({pick(folder + "/y")});
    export_command();
    EXPECT_EQ(told, texts{"The page could not be exported to\n" + folder + "/y\nThe page's palette is missing."});
    EXPECT_FALSE(level_changed);
}

TEST_F(commands, import_and_palette_deletion_mark_the_level_changed_and_an_import_reuploads_every_page_of_its_palette)
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
    answer({pick(rle)});
    import_command();
    EXPECT_EQ(told, texts{"The image could not be imported:\n" + rle + "\nCan't load bitmaps with compression."});
    EXPECT_TRUE(level_changed);   // the user asked for a change
    EXPECT_EQ(the_settings.import_directory, folder + "/in/");

    // Into page 1's slot 0 through the selection window: palette 0 is overwritten, so page 0 changes too.
    texture_view.selected_texture = 1;
    level_changed = false;
    std::vector<unsigned char> page0 = gl_page(0), page1 = gl_page(1);
    answer({pick(bitmap)});
    import_command();
    EXPECT_TRUE(import_window.visible && !level_changed);
    import_select_all_command();
    import_done_command();
    EXPECT_TRUE(!import_window.visible && level_changed && told.empty());
    EXPECT_NE(gl_page(0), page0);
    EXPECT_NE(gl_page(1), page1);

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

// The editor goes on once the chooser's answer is whole: not when the chooser ends (GTK is slow to close
// down), nor when the pipe ends (a program the chooser started may hold it). Without a whole answer the
// exit status decides. The stand-ins linger until "go" appears (5 s at most), then mark that they ended.
TEST_F(commands, a_dialog_returns_once_the_answer_is_whole_and_the_chooser_is_reaped_later)
{
    std::string file = folder + "/a.lev", linger = "(for i in $(seq 100); do [ -e go ] && break; sleep 0.05; done; touch ended)";
    write_file_text(file, "x");
    struct { std::string body; int result, error; } cases[] = {
        {"echo $$ > pid; printf '1\\n%s\\n' '" + file + "'; " + linger, 1, FILE_DIALOG_CANCELLED},
        {linger + " & exit 1", 0, FILE_DIALOG_CANCELLED},
        {"printf '1\\n'; " + linger + " & exit 0", 0, FILE_DIALOG_HELPER_FAILED},
        {"kill -9 $$", 0, FILE_DIALOG_NO_HELPER},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        SCOPED_TRACE(cases[i].body);
        std::string script = folder + "/chooser" + std::to_string(i);
        write_file_text(script, "#!/bin/sh\ncd '" + folder + "'\nexec 2>/dev/null\n" + cases[i].body + "\n");
        chmod(script.c_str(), 0755);
        set_file_chooser_program(script.c_str());
        char path[FILE_DIALOG_PATH_SIZE];
        EXPECT_EQ(open_file_dialog("L\0*.lev\0", path, sizeof path, nullptr, 0, ""), cases[i].result);
        EXPECT_EQ(file_dialog_error(), cases[i].error);
        EXPECT_NE(access((folder + "/ended").c_str(), F_OK), 0);
        if (cases[i].result) { EXPECT_EQ(path, file); }
    }
    // Once it has ended, the first one is reaped, not left a zombie.
    write_file_text(folder + "/go", "");
    std::string proc = "/proc/" + std::to_string(atoi(read_file_text(folder + "/pid").c_str()));
    for (int i = 0; i < 300 && access(proc.c_str(), F_OK) == 0; i++) {
        reap_file_choosers();
        usleep(10000);
    }
    EXPECT_NE(access(proc.c_str(), F_OK), 0);
}
