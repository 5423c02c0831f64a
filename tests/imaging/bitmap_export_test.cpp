// The bitmap writer and the export command's work after the dialog.
#include <gtest/gtest.h>
#include <signal.h>
#include <string.h>
#include <sys/resource.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "level_test_support.h"
#include "app/app_state.h"
#include "app/settings.h"
#include "imaging/bitmap_export.h"
#include "imaging_support.h"

namespace {

typedef std::vector<std::string> lines;

bool file_exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

class export_test : public ::testing::Test {
protected:
    level lvl;
    settings prefs;
    std::string folder = make_temp_folder();
    log_capture log;
    void SetUp() override
    {
        // Page 0: paletted, list {4, 9}; page 1: 15-bit; page 2: paletted,
        // its list names palette 6, which does not exist.
        make_test_level(&lvl, {true, false, true}, {4, 9, 2}, {{0, {4, 9}}, {2, {6}}});
        lvl.textures[0].palette_slot = 1;  // palette 9
        memset(&prefs, 0, sizeof prefs);
        current_settings = &prefs;
        log.clear();
    }
    void TearDown() override
    {
        current_settings = nullptr;
        release_level_memory(&lvl);
    }
};

}  // namespace

// The whole files are compared byte for byte in tests/e2e (slot 0 and a
// 15-bit page); here the current slot and the 15-bit edge cases.
TEST_F(export_test, a_paletted_page_uses_the_palette_at_its_current_slot)
{
    const level_palette *palette = palette_with_id(&lvl, 9);
    const unsigned char *indices = lvl.textures[0].pixels;
    std::string path = folder + "/page.bmp";
    ASSERT_EQ(EXPORT_OK, export_page_to_file(&lvl, 0, path.c_str(), EXPORT_FILTER_8BIT));
    std::vector<unsigned char> b = read_file_bytes(path);
    ASSERT_EQ(66614u, b.size());
    for (int i = 0; i < 256; i++) {
        const unsigned char *e = palette->entries[i], want[4] = {e[2], e[1], e[0], e[3]};
        ASSERT_EQ(0, memcmp(want, &b[54 + i * 4], 4)) << i;
    }
    EXPECT_EQ(0, memcmp(&b[1078], indices + 255 * 256, 256));  // bottom row first
    ASSERT_EQ(EXPORT_OK, export_page_to_file(&lvl, 0, path.c_str(), EXPORT_FILTER_24BIT));
    b = read_file_bytes(path);
    ASSERT_EQ(196662u, b.size());
    const unsigned char *e = palette->entries[indices[255 * 256]], want[3] = {e[2], e[1], e[0]};
    EXPECT_EQ(0, memcmp(want, &b[54], 3));
    EXPECT_EQ(lines(2, "Finished exporting image."), log.lines());
}

TEST_F(export_test, fifteen_bit_page_is_always_24_bit_with_the_low_bits_clear)
{
    uint16_t *pixels = page_pixels16(lvl.textures[1]);
    pixels[255 * 256 + 0] = TRANSPARENT_KEY;  // bottom-left: first pixel in the file
    pixels[255 * 256 + 1] = 0x7C00;           // pure red
    pixels[255 * 256 + 2] = 0x801F;           // blue with bit 15 set
    std::string path = folder + "/rgb.bmp";
    ASSERT_EQ(EXPORT_OK, export_page_to_file(&lvl, 1, path.c_str(), EXPORT_FILTER_8BIT));  // asks 8-bit, gets 24
    std::vector<unsigned char> b = read_file_bytes(path);
    ASSERT_EQ(196662u, b.size());
    const unsigned char expected[9] = {8, 8, 8, 0, 0, 248, 248, 0, 0};  // b, g, r per pixel
    EXPECT_EQ(0, memcmp(&b[54], expected, 9));
}

TEST_F(export_test, bmp_is_appended_unless_the_name_ends_in_exactly_bmp_and_the_folder_is_remembered)
{
    struct { const char *chosen, *written; } cases[] = {{"plain", "plain.bmp"}, {"upper.BMP", "upper.BMP.bmp"}, {"done.bmp", "done.bmp"}, {"dotted.bm", "dotted.bm.bmp"}, {"bmp", "bmp.bmp"}};
    for (const auto &c : cases) {
        ASSERT_EQ(EXPORT_OK, export_page_to_file(&lvl, 0, (folder + "/" + c.chosen).c_str(), EXPORT_FILTER_24BIT));
        EXPECT_TRUE(file_exists(folder + "/" + c.written)) << c.chosen;
        EXPECT_FALSE(file_exists(folder + "/" + c.written + ".part")) << c.chosen;
    }
    EXPECT_FALSE(file_exists(folder + "/upper.BMP"));
    EXPECT_EQ(folder + "/", std::string(prefs.export_directory));
}

TEST_F(export_test, refusals_and_failures_leave_no_file_and_keep_an_older_one)
{
    std::string path = folder + "/old.bmp";
    EXPECT_EQ(EXPORT_NO_PALETTE, export_page_to_file(&lvl, 2, path.c_str(), EXPORT_FILTER_8BIT));
    EXPECT_EQ(EXPORT_NO_PALETTE, export_page_to_file(&lvl, 2, path.c_str(), EXPORT_FILTER_24BIT));
    EXPECT_EQ(lines(2, " Palette 6 does not exist; the page was not exported."), log.lines());
    EXPECT_EQ(EXPORT_BAD_PAGE, export_page_to_file(&lvl, 3, path.c_str(), EXPORT_FILTER_8BIT));
    EXPECT_EQ(EXPORT_BAD_PAGE, export_page_to_file(&lvl, -1, path.c_str(), EXPORT_FILTER_8BIT));
    EXPECT_FALSE(file_exists(path));
    log.clear();
    EXPECT_EQ(EXPORT_CANNOT_CREATE, export_page_to_file(&lvl, 0, (folder + "/no/such/x.bmp").c_str(), EXPORT_FILTER_8BIT));
    EXPECT_EQ(lines{}, log.lines());  // silent
    // A write failing part-way (files limited to 4 KiB) removes the partial file.
    ASSERT_TRUE(write_file_bytes(path, {1, 2, 3}));
    struct rlimit old_limit, small;
    getrlimit(RLIMIT_FSIZE, &old_limit);
    small = old_limit, small.rlim_cur = 4096;
    void (*old_handler)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    int result = export_page_to_file(&lvl, 0, path.c_str(), EXPORT_FILTER_24BIT);
    setrlimit(RLIMIT_FSIZE, &old_limit);
    signal(SIGXFSZ, old_handler);
    EXPECT_EQ(EXPORT_WRITE_FAILED, result);
    EXPECT_EQ(lines{" Failed to write " + path + "."}, log.lines());
    EXPECT_FALSE(file_exists(path + ".part"));
    EXPECT_EQ((std::vector<unsigned char>{1, 2, 3}), read_file_bytes(path));
    EXPECT_STREQ("", prefs.export_directory);
}

namespace {
std::string dialog_answer, dialog_folder;
const char *dialog_filter;
int dialog_result;
int fake_save_dialog(const char *filter, char *path, int path_size, char *, int, const char *initial_folder)
{
    dialog_filter = filter;
    dialog_folder = initial_folder;
    EXPECT_EQ(1024, path_size);
    snprintf(path, (size_t)path_size, "%s", dialog_answer.c_str());
    return dialog_result;
}
}  // namespace

TEST_F(export_test, the_whole_command_offers_the_filters_the_page_allows)
{
    snprintf(prefs.export_directory, sizeof prefs.export_directory, "%s/", folder.c_str());
    dialog_answer = folder + "/whole";
    dialog_result = EXPORT_FILTER_8BIT;
    ASSERT_EQ(EXPORT_OK, export_image_command(&lvl, 0, fake_save_dialog));
    EXPECT_EQ(0, memcmp("24-bit Bitmap\0*.bmp\0" "8-bit Bitmap\0*.bmp\0\0", dialog_filter, 40));
    EXPECT_EQ(folder + "/", dialog_folder);
    EXPECT_EQ(66614u, read_file_bytes(folder + "/whole.bmp").size());
    ASSERT_EQ(EXPORT_OK, export_image_command(&lvl, 1, fake_save_dialog));  // 15-bit: 24-bit only
    EXPECT_EQ(0, memcmp("24-bit Bitmap\0*.bmp\0\0", dialog_filter, 21));
    dialog_result = -1;
    log.clear();
    EXPECT_EQ(EXPORT_CANCELLED, export_image_command(&lvl, 0, fake_save_dialog));
    EXPECT_EQ((lines{"Exporting image.", "Finished exporting image."}), log.lines());
}
