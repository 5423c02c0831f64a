// The File, Image and Level commands on the main screen's own widgets, with a stand-in file chooser and the messages recorded.
#include "gl_test_window.h"

#include <sys/stat.h>
#include <unistd.h>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/file_dialog.h"
#include "app/screen_widgets.h"
#include "app/settings.h"
#include "app/undo.h"
#include "app/user_message.h"
#include "imaging/bitmap_export.h"
#include "level/level_writer.h"
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
std::vector<unsigned char> gl_page(int page) { return texture_rgba(gl_texture_for(&the_textures, page, 0)); }

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
        quit_requested = 0;
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
    // The level's two files as a save would write them now, without saving.
    std::string unsaved_bytes()
    {
        FILE *src = fopen(level_path, "rb"), *dst = tmpfile();
        EXPECT_TRUE(src && dst && write_level(src, dst, &the_level).code == SAVE_OK && write_palette_lists(dst, &the_level).code == SAVE_OK);
        std::string bytes((size_t)ftell(dst), '\0');
        rewind(dst);
        EXPECT_EQ(fread(&bytes[0], 1, bytes.size(), dst), bytes.size());
        fclose(src);
        fclose(dst);
        return bytes;
    }
    // Writes a level's two files as <name>.lev and <name>.d3d and opens them.
    std::string open(const std::string &name, const sample_level &s)
    {
        std::string lev = folder + "/" + name + ".lev", d3d = folder + "/" + name + ".d3d";
        write_bytes_to_file(lev.c_str(), s.lev);
        write_bytes_to_file(d3d.c_str(), s.d3d);
        answer({pick(lev), pick(d3d)});
        open_level_command();
        if (quit_window.visible) quit_yes_command();   // unsaved changes go
        return lev;
    }
};

}  // namespace

TEST_F(commands, open_replaces_the_level_only_when_both_files_read_and_save_clears_the_change_only_when_written)
{
    strcpy(the_settings.lev_directory, "/start/here/");   // gone: the working folder instead
    // Unsaved changes: Open asks first, and "No" keeps them without a chooser; "Yes" goes on.
    level_changed = true;
    answer({});
    open_level_command();
    EXPECT_TRUE(quit_window.visible && quit_save.visible && quit_window.title == std::string("Discard unsaved changes?"));
    quit_no_command();
    EXPECT_TRUE(!quit_window.visible && level_changed && read_file_text(folder + "/args").empty());
    std::string lev = open("first", make_sample_level(2, 1));
    // The palette-list chooser starts on the level's own list when there is one, else in the remembered folder.
    char working[FILE_DIALOG_PATH_SIZE];
    ASSERT_TRUE(getcwd(working, sizeof working));
    EXPECT_EQ(read_file_text(folder + "/args"), "--title Open Level open " + std::string(working) + " Quarly Level *.lev\n--select " +
                                                    folder + "/first.d3d --title Open Palette List open " + folder + "/ Quarly D3D *.d3d\n");
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
    log_capture log;
    for (const auto &c : failures) {
        answer(c.picks);
        open_level_command();
        quit_yes_command();
        EXPECT_EQ(told.empty() ? "" : told[0].substr(0, c.told.size()), c.told);
        EXPECT_TRUE(the_level.texture_count == 3 && texture_view.selected_texture == 1 && level_changed && d3d_path == folder + "/first.d3d");
    }
    // Each failure is one log line, and the level kept is not said to be cleaned up.
    for (const std::string &line : log.lines()) EXPECT_TRUE(line.find('\n') == std::string::npos && line != "Cleaning up level.") << line;
    log.clear();
    save_command();
    EXPECT_FALSE(level_changed);
    // A level file changed on disk behind the editor's back is not overwritten: "Save" in the quit question
    // fails, and the editor stays with its changes.
    write_bytes_to_file(lev.c_str(), make_sample_level(1, 1).lev);
    level_changed = true;
    answer({});
    request_quit();
    quit_save_command();
    EXPECT_TRUE(level_changed && !quit_requested && !quit_window.visible);
    EXPECT_EQ(told, texts{"The level could not be saved: the level file on disk has 2 pages, the level 3. "
                          "The files on disk were left as they were."});
    EXPECT_EQ(log.lines(), (texts{"Saving changes.", "Save completed", "Saving changes.",
                                  " Save failed: the level file on disk has 2 pages, the level 3."}));
    open("second", make_sample_level(1, 1));   // the old level goes with its selections
    EXPECT_EQ(texture_view.selected_texture, -1);
    log.clear();
    export_command();   // no current page: no chooser, nothing logged
    EXPECT_EQ(log.lines(), texts{});
    texture_search_hit(0);   // the search's pick is the info panel's too
    EXPECT_EQ(info_panel.texture_name, 0);
    answer({pick(folder + "/bad.lev"), pick(folder + "/first.d3d")});
    remove((folder + "/bad.d3d").c_str());
    strcpy(the_settings.d3d_directory, "/");
    open_level_command();
    EXPECT_EQ(read_file_text(folder + "/args"),
              "--title Open Level open " + folder + "/ Quarly Level *.lev\n--title Open Palette List open / Quarly D3D *.d3d\n");
}

TEST(find_palette_list_file, takes_the_level_name_with_d3d_in_any_case_the_level_own_case_first)
{
    std::string f = make_temp_folder() + "/";
    mkdir((f + "b.d3d").c_str(), 0755);
    struct { const char *create, *lev, *d3d; bool found; } cases[] = {
        {nullptr, "a.lev", "a.d3d", false},
        {"A.D3D", "a.LEV", "A.D3D", true},
        {"a.D3d", "a.lev", "a.D3d", true},   // beats A.D3D
        {nullptr, "A.lev", "A.D3D", true},
        {nullptr, "b.lev", "b.d3d", false},  // a folder is no palette list
        {"c.x.d3D", "c.x.Lev", "c.x.d3D", true},
    };
    for (const auto &c : cases) {
        if (c.create) write_file_text(f + c.create, "");
        char d3d[LEVEL_PATH_SIZE];
        EXPECT_EQ(find_palette_list_file((f + c.lev).c_str(), d3d, sizeof d3d), c.found) << c.lev;
        EXPECT_EQ(d3d, f + c.d3d);
    }
}

TEST_F(commands, export_writes_the_chosen_name_with_bmp_or_png_and_remembers_its_folder_only_when_written)
{
    open("level", make_sample_level(2, 1));
    texture_view.selected_texture = 0;
    mkdir((folder + "/out").c_str(), 0755);
    set_default_settings(&the_settings);
    strcpy(the_settings.export_directory, "/start/");   // gone: the level's folder instead
    // The chooser starts in the folder last written to, else in the level's, on the type last written from a
    // paletted page (8-bit Bitmap at first) with a name for the page. A typed .png or .bmp chooses the container,
    // the filter the depth; any other name gets the filter's extension. Sizes 1 and 2 stand for 8- and 24-bit PNGs.
    struct { std::string flags, start, pick, written; size_t size; std::string directory, told; } cases[] = {
        {"--filter 2 --name page_000.bmp", "", "", "", 0, "/start/", ""},
        {"--filter 2 --name page_000.bmp", "", pick(folder + "/x.png", 2), "/x.png", 1, folder + "/", ""},
        {"--filter 3 --name page_000.png", "", pick(folder + "/t.bmp", 4), "/t.bmp", BITMAP_24BIT_FILE_SIZE, folder + "/", ""},
        {"--name page_000.bmp", "", pick(folder + "/out/brick.v2", 2), "/out/brick.v2.bmp", BITMAP_8BIT_FILE_SIZE, folder + "/out/", ""},
        {"--filter 2 --name page_000.bmp", "/out", pick(folder + "/r.BMP"), "/r.BMP", BITMAP_24BIT_FILE_SIZE, folder + "/", ""},
        {"--name page_000.bmp", "", pick(folder + "/s", 4), "/s.png", 2, folder + "/", ""},
        {"--filter 4 --name page_000.png", "", pick(folder + "/none/x"), "", 0, folder + "/", "The page could not be exported to\n" + folder + "/none/x:\nthe file cannot be created."},
    };
    const std::string paletted_types = " 24-bit Bitmap *.bmp 8-bit Bitmap *.bmp 8-bit PNG Image *.png 24-bit PNG Image *.png\n";
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pick);
        answer({c.pick});
        export_command();
        EXPECT_EQ(read_file_text(folder + "/args"), "--title Export Page " + c.flags + " save " + folder + c.start + "/" + paletted_types);
        std::vector<unsigned char> bytes = c.written.empty() ? std::vector<unsigned char>{} : read_file_bytes(folder + c.written);
        if (c.size <= 2 && !c.written.empty()) {
            EXPECT_TRUE(bytes.size() > 8 && memcmp(bytes.data(), "\x89PNG", 4) == 0);
            EXPECT_EQ(std::string(bytes.begin(), bytes.end()).find("PLTE") != std::string::npos, c.size == 1);
        } else if (!c.written.empty()) {
            EXPECT_EQ(bytes.size(), c.size);
        }
        EXPECT_EQ(the_settings.export_directory, c.directory);
        EXPECT_EQ(told, c.told.empty() ? texts{} : texts{c.told});
    }
    // A 15-bit page starts on the last 24-bit type and leaves the paletted pages' own as it was.
    texture_view.selected_texture = 2;
    answer({pick(folder + "/y", 2)});
    export_command();
    EXPECT_EQ(read_file_text(folder + "/args"), "--title Export Page --filter 2 --name page_002.png save " + folder +
                                                    "/ 24-bit Bitmap *.bmp 24-bit PNG Image *.png\n");
    EXPECT_TRUE(read_file_bytes(folder + "/y.png").size() > 8 && the_settings.export_paletted_type == 4);
    texture_view.selected_texture = 0;
    the_level.palette_table[current_palette_id(&the_level, 0)] = nullptr;
    answer({pick(folder + "/y")});
    export_command();
    EXPECT_EQ(told, texts{"The page could not be exported to\n" + folder + "/y:\nthe page's palette is missing."});
    EXPECT_FALSE(level_changed);
}

TEST_F(commands, imports_refuse_early_change_only_the_marked_textures_say_what_became_of_a_small_image_and_mark_only_changes)
{
    QTE_REQUIRE_GL_WINDOW();
    sample_level s = make_sample_level(2, 1);
    s.d3d = encode_palette_lists({{0, {0}}, {1, {0, 2}}});   // palette 0 on both pages, palette 1 on none
    open("level", s);
    std::string bitmap = folder + "/in/page.bmp", old = folder + "/in/old.bmp", cut = folder + "/in/cut.bmp", small = folder + "/in/small.bmp";
    mkdir((folder + "/in").c_str(), 0755);
    ASSERT_EQ(write_page_bitmap_file(&the_level, 1, 2, true, bitmap.c_str()), EXPORT_OK);   // page 1 in palette 2
    ASSERT_EQ(write_page_bitmap_file(&the_level, 1, 0, true, old.c_str()), EXPORT_OK);      // and in palette 0
    std::vector<unsigned char> truncated = read_file_bytes(bitmap), shrunk = truncated;
    truncated.resize(truncated.size() - 1);
    shrunk[18] = 100, shrunk[19] = 0, shrunk[22] = 80, shrunk[23] = 0;   // not 256 x 256: the true-colour importer takes it
    write_file_bytes(cut, truncated);
    write_file_bytes(small, shrunk);
    // Refused (the cut bitmap before page 1's selection window opens); the level stays unchanged.
    write_file_text(folder + "/in/notes.txt", "no image");
    struct { int page; std::string path, why; } refusals[] = {
        {1, cut, "the file is truncated."}, {0, folder + "/in/notes.txt", "not a BMP, PNG, JPEG, TGA, PCX or LBM file."}};
    for (const auto &r : refusals) {
        texture_view.selected_texture = r.page;
        answer({pick(r.path)});
        import_command();
        EXPECT_EQ(told, texts{"The image could not be imported:\n" + r.path + ":\n" + r.why});
        EXPECT_FALSE(level_changed || import_window.visible);
    }
    EXPECT_EQ(the_settings.import_directory, folder + "/in/");
    texture_view.selected_texture = 1;

    // Page 1 shows palette 0, which page 0 shares. Nothing marked: nothing changes.
    import_selector.level = &the_level;   // page 1 has two named textures
    std::vector<unsigned char> page0 = gl_page(0), page1 = gl_page(1);
    auto import_marked = [&](const std::string &path, void (*mark)()) { answer({pick(path)}), import_command(), mark(), import_done_command(); };
    import_marked(bitmap, [] {});
    EXPECT_TRUE(!import_window.visible && !level_changed && gl_page(1) == page1);
    // Every texture marked: page 1 changes, page 0 keeps every colour it shows, all 256 of them, so
    // the page has only its old colours to take the image in.
    import_marked(bitmap, import_select_all_command);
    EXPECT_TRUE(!import_window.visible && level_changed && gl_page(0) == page0 && gl_page(1) != page1);
    EXPECT_EQ(told, texts{"Only 0 palette entries were free; the rest of the image uses the page's existing colours."});
    // Replacing the whole palette, as the check box asks, changes page 0 too.
    told.clear();
    import_marked(bitmap, [] { import_select_all_command(), import_replace_box.checked = true; });
    EXPECT_NE(gl_page(0), page0);
    // A picture smaller than the page, into page 0 (one palette): the user hears where it went.
    texture_view.selected_texture = 0;
    answer({pick(small)});
    import_command();
    EXPECT_EQ(told, texts{"The image is 100 × 80 pixels; it was placed at the top left of the page and the rest of the page was filled with black."});

    // Palette 1 is on no list: deleting it is a change; deleting nothing keeps the flag as it was. Each says so.
    told.clear();
    level_changed = false;
    delete_unused_palettes_command();
    EXPECT_TRUE(level_changed && !palette_by_id(&the_level, 1));
    for (bool changed : {false, true}) {
        level_changed = changed;
        delete_unused_palettes_command();
        EXPECT_EQ(level_changed, changed);
    }
    EXPECT_EQ(told, (texts{"Deleted 1 unused palette (id 1).", "No unused palettes.", "No unused palettes."}));
}

TEST_F(commands, undo_and_redo_give_back_the_bytes_of_each_state_and_the_asterisk_follows_the_saved_one)
{
    QTE_REQUIRE_GL_WINDOW();
    sample_level s = make_sample_level(2, 1);
    s.d3d = encode_palette_lists({{0, {0}}, {1, {0, 2}}});   // palette 1 on no list
    open("level", s);
    std::string bitmap = folder + "/page.bmp";
    ASSERT_EQ(write_page_bitmap_file(&the_level, 1, 2, true, bitmap.c_str()), EXPORT_OK);
    texture_view.selected_texture = 0;   // one palette: the import adds palette 3 and lists it
    auto import = [&] { answer({pick(bitmap)}); import_command(); };
    std::string opened = unsaved_bytes();
    std::vector<unsigned char> page0 = gl_page(0);
    import();
    std::string imported = unsaved_bytes();
    delete_unused_palettes_command();
    std::string deleted = unsaved_bytes();
    delete_unused_palettes_command();   // nothing removed: no step
    // Each command, then the bytes a save would write and the asterisk.
    struct { void (*command)(); std::string bytes; bool changed; } steps[] = {
        {undo_command, imported, true}, {undo_command, opened, false}, {undo_command, opened, false},
        {redo_command, imported, true}, {redo_command, deleted, true}, {redo_command, deleted, true},
        {undo_command, imported, true}, {save_command, imported, false},
        {undo_command, opened, true},   {redo_command, imported, false},
    };
    for (const auto &step : steps) {
        step.command();
        EXPECT_TRUE(unsaved_bytes() == step.bytes && level_changed == step.changed) << &step - steps;
    }
    EXPECT_NE(imported, opened);
    undo_command();
    EXPECT_EQ(gl_page(0), page0);
    // A change after an undo drops the steps ahead, the saved one among them.
    import();
    std::string again = unsaved_bytes();
    redo_command();   // nothing ahead
    undo_command();
    EXPECT_TRUE(unsaved_bytes() == opened && level_changed);
    redo_command();
    EXPECT_TRUE(unsaved_bytes() == again && level_changed);

    // Past the bound the oldest step goes; opening a level forgets them all.
    undo_step_limit = 2;
    std::string first;
    for (int i = 0; i < 3; i++) {
        import();
        if (i == 0) first = unsaved_bytes();
    }
    for (int i = 0; i < 3; i++) undo_command();
    undo_step_limit = UNDO_MOST_STEPS;
    EXPECT_EQ(unsaved_bytes(), first);
    redo_command();
    open("level", s);
    undo_command();
    EXPECT_EQ(unsaved_bytes(), opened);
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
        EXPECT_EQ(open_file_dialog("Open Level", "L\0*.lev\0", path, sizeof path, nullptr, 0, ""), cases[i].result);
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
