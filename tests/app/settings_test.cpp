// The settings file: defaults, missing keys and their log lines, the exact saved text, round trips.
#include <gtest/gtest.h>

#include <allegro.h>

#include <errno.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "base/debug_log.h"
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
    write_file_bytes(path, std::vector<unsigned char>(text.begin(), text.end()));
}

// Runs `f` with the log in a file of its own; answers the log between its opening and closing lines.
template <typename F> std::string logged(F f)
{
    std::string log_path = make_temp_folder() + "/debug.txt";
    testing::internal::CaptureStdout();
    open_debug_log(log_path.c_str());
    f();
    close_debug_log();
    testing::internal::GetCapturedStdout();
    std::string log = text_of(log_path);
    const std::string first = "Debug file initialized. \n", last = "Closing debug file. \n";
    return log.substr(first.size(), log.size() - first.size() - last.size());
}

std::string loaded(settings *s, const std::string &path, int expected_result = 0)
{
    return logged([&] { EXPECT_EQ(load_settings(s, path.c_str()), expected_result); });
}

settings defaults()
{
    settings s;
    set_default_settings(&s);
    return s;
}

// A record with every field set away from its default.
settings full_record()
{
    settings s = defaults();
    s.fast_quit = 1;
    s.invert_yrot = 1;
    s.invert_xpos = 7;
    strcpy(s.theme, "themes/blue sky.bmp");
    strcpy(s.lev_directory, "/home/ann/levels/");
    strcpy(s.d3d_directory, "/home/ann/palettes/");
    strcpy(s.export_directory, "/tmp/out/");
    strcpy(s.import_directory, "/media/pictures/Summer 2026/");
    return s;
}

// The saved text shows every field, so equal texts mean equal records.
std::string saved_text(const settings &s)
{
    std::string path = make_temp_folder() + "/settings.ini";
    EXPECT_EQ(save_settings(&s, path.c_str()), 0);
    return text_of(path);
}

void expect_round_trip(const settings &written)
{
    std::string path = make_temp_folder() + "/settings.ini";
    ASSERT_EQ(save_settings(&written, path.c_str()), 0);
    settings read = defaults();
    EXPECT_EQ(loaded(&read, path), "Attempting to load settings. \n");
    EXPECT_EQ(saved_text(read), text_of(path));
}

}  // namespace

TEST(settings, missing_file_or_a_folder_keeps_defaults_and_logs_one_line)
{
    for (std::string path : {make_temp_folder() + "/settings.ini", make_temp_folder()}) {
        settings s = defaults();
        EXPECT_EQ(loaded(&s, path, 1), "Attempting to load settings. \nCouldn't find config file. \n");
        EXPECT_EQ(saved_text(s), saved_text(defaults()));
    }
}

TEST(settings, each_missing_or_unreadable_key_is_logged_and_keeps_its_default)
{
    const std::string all_missing =
        "Attempting to load settings. \nFailed to find fast_quit value. \nFailed to find invert_yrot value. \n"
        "Failed to find invert_ypos value. \nFailed to find invert_xpos value. \nFailed to find theme name. \n"
        "Failed to find default level directory. \nFailed to find default d3d directory. \n"
        "Failed to find default export directory. \nFailed to find default import directory. \n";
    auto without = [&](std::initializer_list<const char *> found) {
        std::string log = all_missing;
        for (const char *key : found) {
            size_t at = log.find(key);
            log.erase(log.rfind("Failed", at), log.find('\n', at) + 1 - log.rfind("Failed", at));
        }
        return log;
    };
    struct { std::string text, log; int fast_quit, invert_yrot; const char *export_directory; } cases[] = {
        {"", all_missing, 0, 0, ""},
        {"\n\n", all_missing, 0, 0, ""},
        {"[general\nfast_quit\n= 3\n", all_missing, 0, 0, ""},
        {std::string("\xff\xfe\x00\x01[general]\x00", 12), all_missing, 0, 0, ""},
        {"[general]\nfast_quit = 1\n", without({"fast_quit"}), 1, 0, ""},
        // A stored -1, values spelled like the failure texts, keys in the wrong section.
        {"[general]\nfast_quit = -1\ninvert_yrot = 1\ntheme = Failed to find theme\n"
         "lev_directory = /wrong/section/\n[directories]\nd3d_directory = Failed to find default d3d directory.\n"
         "invert_xpos = 1\nexport_directory = /exports/\n",
         without({"invert_yrot", "export"}), 0, 1, "/exports/"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        std::string path = make_temp_folder() + "/settings.ini";
        write_text(path, c.text);
        settings s = defaults();
        EXPECT_EQ(loaded(&s, path), c.log);
        EXPECT_EQ(s.fast_quit, c.fast_quit);
        EXPECT_EQ(s.invert_yrot, c.invert_yrot);
        EXPECT_EQ(s.invert_xpos, 0);
        EXPECT_STREQ(s.theme, "themes/grey.bmp");
        EXPECT_STREQ(s.lev_directory, "");
        EXPECT_STREQ(s.d3d_directory, "");
        EXPECT_STREQ(s.export_directory, c.export_directory);
    }
}

TEST(settings, overlong_values_are_cut_to_their_fields)
{
    std::string theme(300, 't'), folder(2000, 'd');
    std::string path = make_temp_folder() + "/settings.ini";
    write_text(path, "[general]\ntheme = " + theme + "\n[directories]\nlev_directory = " + folder +
                         "\nimport_directory = " + folder + "\n");
    settings s = defaults();
    strcpy(s.d3d_directory, "canary");  // shows an overrun even without ASan
    loaded(&s, path);
    EXPECT_EQ(std::string(s.theme), theme.substr(0, SETTINGS_THEME_SIZE - 1));
    EXPECT_EQ(std::string(s.lev_directory), folder.substr(0, SETTINGS_PATH_SIZE - 1));
    EXPECT_EQ(std::string(s.import_directory), folder.substr(0, SETTINGS_PATH_SIZE - 1));
    EXPECT_STREQ(s.d3d_directory, "canary");
}

TEST(settings, runs_of_stray_bytes_never_stall_the_reader)
{
    // Contents that once kept the config reader looping or made it write past its line buffer.
    auto repeat = [](const std::string &piece, int times) {
        std::string out;
        for (int i = 0; i < times; i++) out += piece;
        return out;
    };
    const std::string contents[] = {
        std::string("\xfd") + std::string(200, '\xb9'),
        std::string("[general]\nfast_quit = 1\nimport_directo\xfd") + std::string(60, '\x95') + "y = \n",
        std::string("[[gg\xff\xff\xff\xff\xff\xff\xff\x00\x00\x00\x01", 15) + std::string(100, '\xff'),
        std::string("\x00 \xa5\xa5\xa5\xa5\xa5\xa5\xa5\xa5\xff\xff\xff\xff\xff\xff\xff\xff\xff", 19) +
            std::string(23, '\xa5'),
        "ab" + repeat("\xc3\xa9", 127),
        "[general]\nfast_quit = 1\n[]" + repeat("\xe2\x82\xac", 84) + "\n",
    };
    for (const std::string &text : contents) {
        std::string path = make_temp_folder() + "/settings.ini";
        write_text(path, text);
        settings s = defaults();
        loaded(&s, path);
        EXPECT_STREQ(s.theme, "themes/grey.bmp");
    }
    // Non-UTF-8 bytes and a 256-byte line ending in a two-byte character come back unchanged.
    settings odd = full_record();
    strcpy(odd.lev_directory, "/home/J\xf6rg/Stra\xdf" "e/");
    strcpy(odd.import_directory, "/\x01\xff\xfe/\x7f/");
    strcpy(odd.theme, repeat("\xc3\xa9", 124).c_str());
    expect_round_trip(odd);
}

TEST(settings, saved_defaults_have_the_exact_layout_and_log)
{
    std::string path = make_temp_folder() + "/settings.ini";
    settings s = defaults();
    EXPECT_EQ(logged([&] { EXPECT_EQ(save_settings(&s, path.c_str()), 0); }),
              "Attempting to write settings file to: " + path + " \nFinished writing. \n");
    EXPECT_EQ(text_of(path),
              "[general]\nfast_quit = 0\ninvert_yrot = 0\ninvert_ypos = 0\ninvert_xpos = 0\n"
              "theme = themes/grey.bmp\n\n[directories]\nlev_directory = \nd3d_directory = \n"
              "export_directory = \nimport_directory = ");
    EXPECT_NE(access((path + ".tmp").c_str(), F_OK), 0);
}

TEST(settings, records_round_trip_and_line_breaks_cannot_plant_keys)
{
    expect_round_trip(full_record());
    settings full = full_record();
    memset(full.theme, 'a', sizeof full.theme - 1);
    full.theme[sizeof full.theme - 1] = '\0';
    memset(full.export_directory, 'e', sizeof full.export_directory - 1);
    full.export_directory[sizeof full.export_directory - 1] = '\0';
    expect_round_trip(full);

    settings planted = full_record();
    strcpy(planted.lev_directory, "/odd\nfast_quit = 0\ntheme = evil.bmp");
    std::string path = make_temp_folder() + "/settings.ini";
    ASSERT_EQ(save_settings(&planted, path.c_str()), 0);
    settings read = defaults();
    loaded(&read, path);
    EXPECT_STREQ(read.lev_directory, "/odd");
    EXPECT_EQ(read.fast_quit, 1);
    EXPECT_STREQ(read.theme, "themes/blue sky.bmp");
}

TEST(settings, unwritable_place_logs_and_keeps_the_old_file)
{
    settings s = full_record();
    EXPECT_EQ(logged([&] { EXPECT_EQ(save_settings(&s, "/nonexistent-folder/settings.ini"), 1); }),
              "Attempting to write settings file to: /nonexistent-folder/settings.ini \n"
              "Couldn't open settings file! \n");
    // A "file" that is really a folder is not replaced.
    std::string target = make_temp_folder() + "/settings.ini";
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
    settings s = defaults();
    if (system_driver == nullptr) {
        loaded(&s, path);
        EXPECT_EQ(system_driver, nullptr);  // brought up and taken down again
    }
    // With Allegro up, its own config is current again after the read.
    bool own_allegro = system_driver == nullptr;
    if (own_allegro) {
        ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, nullptr), 0);
    }
    push_config_state();
    std::string own_config = make_temp_folder() + "/own.cfg";
    write_text(own_config, "[mine]\nvalue = 5\n");
    set_config_file(own_config.c_str());
    s.fast_quit = 0;
    loaded(&s, path);
    EXPECT_EQ(s.fast_quit, 1);
    EXPECT_EQ(get_config_int("mine", "value", -1), 5);
    set_config_int("general", "fast_quit", 9);
    pop_config_state();
    if (own_allegro) allegro_exit();
    EXPECT_EQ(text_of(path), "[general]\nfast_quit = 1\n");
}
