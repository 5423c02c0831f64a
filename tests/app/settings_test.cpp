// The settings file: defaults, missing keys and their log lines, the exact saved text, round trips.
#include <gtest/gtest.h>

#include <allegro.h>

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "app/debug_log.h"
#include "app/settings.h"
#include "test_support.h"

namespace {

std::string text_of(const std::string &path)
{
    std::vector<unsigned char> bytes = read_file_bytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void write_text(const std::string &path, const std::string &text)
{
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(fwrite(text.data(), 1, text.size(), f), text.size());
    EXPECT_EQ(fclose(f), 0);
}

// Runs `load_settings` with the log going to a file of its own; answers the
// log's lines after "Debug file initialized.".
struct logged_load {
    int result;
    std::string log;
};

logged_load load_with_log(settings *s, const std::string &path)
{
    std::string log_path = make_temp_folder() + "/debug.txt";
    testing::internal::CaptureStdout();
    open_debug_log(log_path.c_str());
    int result = load_settings(s, path.c_str());
    close_debug_log();
    testing::internal::GetCapturedStdout();
    std::string log = text_of(log_path);
    const std::string first = "Debug file initialized. \n";
    const std::string last = "Closing debug file. \n";
    log = log.substr(first.size(), log.size() - first.size() - last.size());
    return {result, log};
}

std::string repeat_text(const std::string &piece, int times)
{
    std::string out;
    for (int i = 0; i < times; i++) out += piece;
    return out;
}

const char *const all_missing_log =
    "Attempting to load settings. \n"
    "Failed to find fast_quit value. \n"
    "Failed to find invert_yrot value. \n"
    "Failed to find invert_ypos value. \n"
    "Failed to find invert_xpos value. \n"
    "Failed to find theme name. \n"
    "Failed to find default level directory. \n"
    "Failed to find default d3d directory. \n"
    "Failed to find default export directory. \n"
    "Failed to find default import directory. \n";

void expect_defaults(const settings &s)
{
    EXPECT_EQ(s.fast_quit, 0);
    EXPECT_EQ(s.invert_yrot, 0);
    EXPECT_EQ(s.invert_ypos, 0);
    EXPECT_EQ(s.invert_xpos, 0);
    EXPECT_STREQ(s.theme, "themes/grey.bmp");
    EXPECT_STREQ(s.lev_directory, "");
    EXPECT_STREQ(s.d3d_directory, "");
    EXPECT_STREQ(s.export_directory, "");
    EXPECT_STREQ(s.import_directory, "");
}

// A record with every field set away from its default.
settings full_record()
{
    settings s;
    set_default_settings(&s);
    s.fast_quit = 1;
    s.invert_yrot = 1;
    s.invert_ypos = 0;
    s.invert_xpos = 7;
    strcpy(s.theme, "themes/blue sky.bmp");
    strcpy(s.lev_directory, "/home/ann/levels/");
    strcpy(s.d3d_directory, "/home/ann/palettes/");
    strcpy(s.export_directory, "/tmp/out/");
    strcpy(s.import_directory, "/media/pictures/Summer 2026/");
    return s;
}

void expect_same_record(const settings &a, const settings &b)
{
    EXPECT_EQ(a.fast_quit, b.fast_quit);
    EXPECT_EQ(a.invert_yrot, b.invert_yrot);
    EXPECT_EQ(a.invert_ypos, b.invert_ypos);
    EXPECT_EQ(a.invert_xpos, b.invert_xpos);
    EXPECT_STREQ(a.theme, b.theme);
    EXPECT_STREQ(a.lev_directory, b.lev_directory);
    EXPECT_STREQ(a.d3d_directory, b.d3d_directory);
    EXPECT_STREQ(a.export_directory, b.export_directory);
    EXPECT_STREQ(a.import_directory, b.import_directory);
}

}  // namespace

TEST(settings, missing_file_keeps_defaults_and_logs_one_line)
{
    settings s;
    set_default_settings(&s);
    logged_load r = load_with_log(&s, make_temp_folder() + "/settings.ini");
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.log, "Attempting to load settings. \nCouldn't find config file. \n");
    expect_defaults(s);

    // A folder of that name is not a settings file either.
    std::string folder = make_temp_folder();
    r = load_with_log(&s, folder);
    EXPECT_EQ(r.result, 1);
    expect_defaults(s);
}

TEST(settings, only_fast_quit_present_logs_every_other_key)
{
    std::string path = make_temp_folder() + "/settings.ini";
    write_text(path, "[general]\nfast_quit = 1\n");
    settings s;
    set_default_settings(&s);
    logged_load r = load_with_log(&s, path);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(s.fast_quit, 1);
    EXPECT_EQ(s.invert_yrot, 0);
    EXPECT_EQ(s.invert_ypos, 0);
    EXPECT_EQ(s.invert_xpos, 0);
    EXPECT_STREQ(s.theme, "themes/grey.bmp");
    EXPECT_STREQ(s.lev_directory, "");
    EXPECT_STREQ(s.import_directory, "");
    EXPECT_EQ(r.log,
              "Attempting to load settings. \n"
              "Failed to find invert_yrot value. \n"
              "Failed to find invert_ypos value. \n"
              "Failed to find invert_xpos value. \n"
              "Failed to find theme name. \n"
              "Failed to find default level directory. \n"
              "Failed to find default d3d directory. \n"
              "Failed to find default export directory. \n"
              "Failed to find default import directory. \n");
}

TEST(settings, values_that_read_as_the_missing_marker_count_as_missing)
{
    // A stored -1, a theme spelled like the failure text, a folder spelled
    // like its failure message, and keys in the wrong section.
    std::string path = make_temp_folder() + "/settings.ini";
    write_text(path,
               "[general]\nfast_quit = -1\ninvert_yrot = 1\ntheme = Failed to find theme\n"
               "lev_directory = /wrong/section/\n"
               "[directories]\nd3d_directory = Failed to find default d3d directory.\n"
               "invert_xpos = 1\nexport_directory = /exports/\n");
    settings s;
    set_default_settings(&s);
    logged_load r = load_with_log(&s, path);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(s.fast_quit, 0);
    EXPECT_EQ(s.invert_yrot, 1);
    EXPECT_EQ(s.invert_xpos, 0);
    EXPECT_STREQ(s.theme, "themes/grey.bmp");
    EXPECT_STREQ(s.lev_directory, "");
    EXPECT_STREQ(s.d3d_directory, "");
    EXPECT_STREQ(s.export_directory, "/exports/");
    EXPECT_EQ(r.log,
              "Attempting to load settings. \n"
              "Failed to find fast_quit value. \n"
              "Failed to find invert_ypos value. \n"
              "Failed to find invert_xpos value. \n"
              "Failed to find theme name. \n"
              "Failed to find default level directory. \n"
              "Failed to find default d3d directory. \n"
              "Failed to find default import directory. \n");
}

TEST(settings, empty_or_garbage_file_reads_as_all_keys_missing)
{
    std::string folder = make_temp_folder();
    const std::string contents[] = {"", "\n\n", "[general\nfast_quit\n= 3\n",
                                    std::string("\xff\xfe\x00\x01[general]\x00", 12)};
    for (const std::string &text : contents) {
        std::string path = folder + "/settings.ini";
        write_text(path, text);
        settings s;
        set_default_settings(&s);
        logged_load r = load_with_log(&s, path);
        EXPECT_EQ(r.result, 0);
        EXPECT_EQ(r.log, all_missing_log) << text;
        expect_defaults(s);
    }
}

TEST(settings, overlong_values_are_cut_to_their_fields)
{
    std::string theme(300, 't');
    std::string folder(2000, 'd');
    std::string path = make_temp_folder() + "/settings.ini";
    write_text(path, "[general]\ntheme = " + theme + "\n[directories]\nlev_directory = " + folder +
                         "\nimport_directory = " + folder + "\n");
    settings s;
    set_default_settings(&s);
    // Canaries in the neighbouring fields show an overrun even without ASan.
    strcpy(s.d3d_directory, "canary");
    EXPECT_EQ(load_with_log(&s, path).result, 0);
    EXPECT_EQ(std::string(s.theme), theme.substr(0, SETTINGS_THEME_SIZE - 1));
    EXPECT_EQ(std::string(s.lev_directory), folder.substr(0, SETTINGS_PATH_SIZE - 1));
    EXPECT_EQ(std::string(s.import_directory), folder.substr(0, SETTINGS_PATH_SIZE - 1));
    EXPECT_STREQ(s.d3d_directory, "canary");
}

TEST(settings, bytes_that_are_not_utf8_come_back_unchanged)
{
    // A Latin-1 folder name, a lone lead byte before a line break, and a
    // well-formed UTF-8 name side by side; the keys after them still count.
    settings written = full_record();
    strcpy(written.lev_directory, "/home/J\xf6rg/Stra\xdf" "e/");
    strcpy(written.d3d_directory, "/odd\xe9");
    strcpy(written.export_directory, "/home/J\xc3\xb6rg/\xed\xb3\xa9/");
    strcpy(written.import_directory, "/\x01\xff\xfe/\x7f/");
    // "theme = " and this fill a 256-byte line that ends in a two-byte character.
    strcpy(written.theme, repeat_text("\xc3\xa9", 124).c_str());
    std::string path = make_temp_folder() + "/settings.ini";
    ASSERT_EQ(save_settings(&written, path.c_str()), 0);
    settings read;
    set_default_settings(&read);
    logged_load r = load_with_log(&read, path);
    EXPECT_EQ(r.log, "Attempting to load settings. \n");
    expect_same_record(read, written);
}

TEST(settings, runs_of_stray_bytes_never_stall_the_reader)
{
    // Contents that once kept the config reader looping (long runs of bytes
    // that claim to start or continue multi-byte characters) or made it write
    // past its line buffer (a 256-byte line ending in a multi-byte character).
    std::string folder = make_temp_folder();
    const std::string contents[] = {
        std::string("\xfd") + std::string(200, '\xb9'),
        std::string("[general]\nfast_quit = 1\nimport_directo\xfd") + std::string(60, '\x95') + "y = \n",
        std::string("[[gg\xff\xff\xff\xff\xff\xff\xff\x00\x00\x00\x01", 15) + std::string(100, '\xff'),
        std::string("\x00 \xa5\xa5\xa5\xa5\xa5\xa5\xa5\xa5\xff\xff\xff\xff\xff\xff\xff\xff\xff", 19) +
            std::string(23, '\xa5'),
        "ab" + repeat_text("\xc3\xa9", 127),
        "[general]\nfast_quit = 1\n[]" + repeat_text("\xe2\x82\xac", 84) + "\n",
    };
    for (const std::string &text : contents) {
        std::string path = folder + "/settings.ini";
        write_text(path, text);
        settings s;
        set_default_settings(&s);
        EXPECT_EQ(load_with_log(&s, path).result, 0);
        EXPECT_STREQ(s.theme, "themes/grey.bmp");
    }
}

TEST(settings, saved_defaults_have_the_exact_layout)
{
    std::string path = make_temp_folder() + "/settings.ini";
    settings s;
    set_default_settings(&s);
    std::string log_path = make_temp_folder() + "/debug.txt";
    testing::internal::CaptureStdout();
    open_debug_log(log_path.c_str());
    EXPECT_EQ(save_settings(&s, path.c_str()), 0);
    close_debug_log();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(text_of(path),
              "[general]\nfast_quit = 0\ninvert_yrot = 0\ninvert_ypos = 0\ninvert_xpos = 0\n"
              "theme = themes/grey.bmp\n\n[directories]\nlev_directory = \nd3d_directory = \n"
              "export_directory = \nimport_directory = ");
    EXPECT_EQ(text_of(log_path), "Debug file initialized. \nAttempting to write settings file to: " + path +
                                     " \nFinished writing. \nClosing debug file. \n");
    // No temporary file is left behind.
    EXPECT_NE(access((path + ".tmp").c_str(), F_OK), 0);
}

TEST(settings, saved_record_reads_back_the_same)
{
    std::string path = make_temp_folder() + "/settings.ini";
    settings written = full_record();
    ASSERT_EQ(save_settings(&written, path.c_str()), 0);
    settings read;
    set_default_settings(&read);
    logged_load r = load_with_log(&read, path);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.log, "Attempting to load settings. \n");
    expect_same_record(read, written);

    // Saving over an existing file replaces it completely.
    settings defaults;
    set_default_settings(&defaults);
    ASSERT_EQ(save_settings(&defaults, path.c_str()), 0);
    set_default_settings(&read);
    strcpy(read.lev_directory, "kept");
    load_with_log(&read, path);
    EXPECT_EQ(read.fast_quit, 0);
    EXPECT_STREQ(read.theme, "themes/grey.bmp");
    // Empty values read as missing, so the field keeps what it had.
    EXPECT_STREQ(read.lev_directory, "kept");
}

TEST(settings, full_fields_round_trip_without_overrun)
{
    settings written = full_record();
    memset(written.theme, 'a', sizeof written.theme - 1);
    written.theme[sizeof written.theme - 1] = '\0';
    memset(written.export_directory, 'e', sizeof written.export_directory - 1);
    written.export_directory[sizeof written.export_directory - 1] = '\0';
    std::string path = make_temp_folder() + "/settings.ini";
    ASSERT_EQ(save_settings(&written, path.c_str()), 0);
    settings read;
    set_default_settings(&read);
    load_with_log(&read, path);
    expect_same_record(read, written);
}

TEST(settings, line_breaks_in_a_folder_cannot_plant_keys)
{
    settings written = full_record();
    strcpy(written.lev_directory, "/odd\nfast_quit = 0\ntheme = evil.bmp");
    std::string path = make_temp_folder() + "/settings.ini";
    ASSERT_EQ(save_settings(&written, path.c_str()), 0);
    settings read;
    set_default_settings(&read);
    load_with_log(&read, path);
    EXPECT_STREQ(read.lev_directory, "/odd");
    EXPECT_EQ(read.fast_quit, 1);
    EXPECT_STREQ(read.theme, "themes/blue sky.bmp");
}

TEST(settings, unwritable_place_logs_and_keeps_the_old_file)
{
    settings s = full_record();
    std::string log_path = make_temp_folder() + "/debug.txt";
    testing::internal::CaptureStdout();
    open_debug_log(log_path.c_str());
    EXPECT_EQ(save_settings(&s, "/nonexistent-folder/settings.ini"), 1);
    close_debug_log();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(text_of(log_path),
              "Debug file initialized. \n"
              "Attempting to write settings file to: /nonexistent-folder/settings.ini \n"
              "Couldn't open settings file! \nClosing debug file. \n");

    // A settings "file" that is really a folder cannot be replaced; the
    // folder and its contents stay.
    std::string folder = make_temp_folder();
    std::string target = folder + "/settings.ini";
    ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
    write_text(target + "/inside", "keep");
    EXPECT_NE(save_settings(&s, target.c_str()), 0);
    EXPECT_EQ(text_of(target + "/inside"), "keep");
    EXPECT_NE(access((target + ".tmp").c_str(), F_OK), 0);
}

TEST(settings, allegro_is_left_as_it_was_found)
{
    std::string path = make_temp_folder() + "/settings.ini";
    write_text(path, "[general]\nfast_quit = 1\n");
    settings s;
    set_default_settings(&s);
    // Without Allegro: the read brings it up and takes it down again.
    if (system_driver == nullptr) {
        EXPECT_EQ(load_with_log(&s, path).result, 0);
        EXPECT_EQ(system_driver, nullptr);
    }

    // With Allegro up (as in the editor): it stays up, and its own config is
    // current again, so a value Allegro sets never lands in settings.ini.
    bool own_allegro = system_driver == nullptr;
    if (own_allegro) {
        ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, nullptr), 0);
    }
    push_config_state();
    std::string own_config = make_temp_folder() + "/own.cfg";
    write_text(own_config, "[mine]\nvalue = 5\n");
    set_config_file(own_config.c_str());
    s.fast_quit = 0;
    EXPECT_EQ(load_with_log(&s, path).result, 0);
    EXPECT_EQ(s.fast_quit, 1);
    EXPECT_NE(system_driver, nullptr);
    EXPECT_EQ(get_config_int("mine", "value", -1), 5);
    EXPECT_EQ(get_config_int("general", "fast_quit", -1), -1);
    set_config_int("general", "fast_quit", 9);
    pop_config_state();
    if (own_allegro) allegro_exit();
    EXPECT_EQ(text_of(path), "[general]\nfast_quit = 1\n");
}
