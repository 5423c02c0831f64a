// The settings file: hostile bytes, values that do not fit, the exact saved text and its safe replacement.
#include <gtest/gtest.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/settings.h"
#include "test_support.h"

namespace {

// The record read from a file holding `text`, over the defaults.
settings loaded_from(const std::string &text)
{
    std::string path = make_temp_folder() + "/settings.ini";
    write_file_text(path, text);
    settings s;
    set_default_settings(&s);
    strcpy(s.d3d_directory, "canary");   // shows an overrun of the field before it
    load_settings(&s, path.c_str());
    return s;
}

std::string saved_text(const settings &s)
{
    std::string path = make_temp_folder() + "/settings.ini";
    EXPECT_EQ(save_settings(&s, path.c_str()), 0);
    EXPECT_NE(access((path + ".part").c_str(), F_OK), 0);
    return read_file_text(path);
}

}  // namespace

TEST(settings, hostile_bytes_never_stall_the_reader_or_overrun_a_field)
{
    std::string lead_bytes("[[gg\xff\xff\xff\xff\xff\xff\xff\x00\x00\x00\x01", 15), utf8_line = "ab";
    for (int i = 0; i < 127; i++) utf8_line += "\xc3\xa9";
    // Contents that once kept the config reader looping or made it write past its line buffer, and values too long.
    struct { std::string text, theme; } cases[] = {
        {"\xfd" + std::string(200, '\xb9'), "themes/grey.bmp"},
        {lead_bytes + std::string(100, '\xff'), "themes/grey.bmp"},
        {utf8_line, "themes/grey.bmp"},
        {"[general]\nfast_quit = 1\nimport_directo\xfd" + std::string(60, '\x95') + "y = \n", "themes/grey.bmp"},
        {"[general]\ntheme = " + std::string(300, 't') + "\n[directories]\nlev_directory = " + std::string(2000, 'd') + "\n",
         std::string(SETTINGS_THEME_SIZE - 1, 't')},
    };
    for (const auto &c : cases) {
        settings s = loaded_from(c.text);
        EXPECT_EQ(s.theme, c.theme);
        EXPECT_STREQ(s.d3d_directory, "canary");
    }
    EXPECT_EQ(std::string(loaded_from(cases[4].text).lev_directory), std::string(SETTINGS_PATH_SIZE - 1, 'd'));
    EXPECT_EQ(loaded_from(cases[3].text).fast_quit, 1);
}

TEST(settings, saved_text_has_its_exact_layout_odd_values_come_back_byte_for_byte_and_a_failed_save_keeps_the_old_file)
{
    settings s;
    set_default_settings(&s);
    EXPECT_EQ(saved_text(s), "[general]\nfast_quit = 0\ninvert_yrot = 0\ninvert_ypos = 0\ninvert_xpos = 0\nbest_colour_reduction = 0\n"
                             "theme = themes/grey.bmp\n\n[directories]\nlev_directory = \nd3d_directory = \n"
                             "export_directory = \nimport_directory = \n\n[export]\nexport_paletted_type = 2\n"
                             "export_truecolour_type = 1\n\n[recent]");
    // The recent levels: the newest first, a level opened again moves up, the ninth pushes out the oldest.
    for (const char *lev : {"/a.lev", "/b.lev", "/a.lev", "/c.lev", "/d.lev", "/e.lev", "/f.lev", "/g.lev", "/h.lev", "/i.lev"})
        remember_recent_level(&s, lev, (std::string(lev) + ".d3d").c_str());
    EXPECT_TRUE(strcmp(s.recent_levels[0], "/i.lev") == 0 && strcmp(s.recent_d3ds[0], "/i.lev.d3d") == 0 &&
                strcmp(s.recent_levels[6], "/c.lev") == 0 && strcmp(s.recent_levels[7], "/a.lev") == 0);
    s.fast_quit = 1;
    s.export_truecolour_type = 2;
    strcpy(s.lev_directory, "/home/J\xf6rg/Stra\xdf" "e/");
    strcpy(s.d3d_directory, "/\x01\xff\xfe/\x7f/ [x] = ;");
    strcpy(s.export_directory, std::string(SETTINGS_PATH_SIZE - 1, 'e').c_str());
    for (int i = 0; i < 124; i++) strcpy(s.theme + 2 * i, "\xc3\xa9");   // "theme = " and these: 256 bytes
    EXPECT_EQ(saved_text(loaded_from(saved_text(s))), saved_text(s));
    EXPECT_EQ(std::string(loaded_from(saved_text(s)).recent_d3ds[7]), "/a.lev.d3d");
    // A line break in a folder cannot plant keys.
    strcpy(s.lev_directory, "/odd\nfast_quit = 0\ntheme = evil.bmp");
    settings read = loaded_from(saved_text(s));
    EXPECT_STREQ(read.lev_directory, "/odd");
    EXPECT_TRUE(read.fast_quit == 1 && strcmp(read.theme, s.theme) == 0);
    // A place that cannot be written keeps the old file and is left without a temporary file.
    EXPECT_EQ(save_settings(&s, "/nonexistent-folder/settings.ini"), 1);
    std::string target = make_temp_folder() + "/settings.ini";   // a folder: not replaced
    ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
    write_file_text(target + "/inside", "k");
    EXPECT_NE(save_settings(&s, target.c_str()), 0);
    EXPECT_EQ(read_file_text(target + "/inside"), "k");
    EXPECT_NE(access((target + ".part").c_str(), F_OK), 0);
}
