// Tests of the bitmap writer and the export command's work after the dialog.
#include <gtest/gtest.h>
#include <signal.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/debug_log.h"
#include "app/settings.h"
#include "imaging/bitmap_export.h"
#include "imaging_support.h"
#include "test_support.h"

namespace {

uint32_t u32(const std::vector<unsigned char> &b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | (uint32_t)b[at + 3] << 24;
}
unsigned u16(const std::vector<unsigned char> &b, size_t at) { return b[at] | b[at + 1] << 8; }

bool file_exists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

class export_test : public ::testing::Test {
protected:
    level lvl;
    settings prefs;
    std::string folder;
    void SetUp() override
    {
        // Page 0: paletted with palettes 4 and 9 in its list; page 1: 15-bit;
        // page 2: paletted, its list names palette 6 which does not exist.
        make_test_level(&lvl, {true, false, true}, {4, 9, 2}, {{0, {4, 9}}, {2, {6}}});
        memset(&prefs, 0, sizeof prefs);
        current_settings = &prefs;
        folder = make_temp_folder();
        start_log_capture();
    }
    void TearDown() override
    {
        current_settings = nullptr;
        free_test_level(&lvl);
        close_debug_log();
    }
};

}  // namespace

TEST_F(export_test, eight_bit_file_has_the_header_the_palette_and_rows_bottom_first)
{
    std::string path = folder + "/page.bmp";
    ASSERT_EQ(EXPORT_OK, export_page_to_file(&lvl, 0, path.c_str(), EXPORT_FILTER_8BIT));
    std::vector<unsigned char> b = read_file_bytes(path);
    ASSERT_EQ(66614u, b.size());
    EXPECT_EQ('B', b[0]);
    EXPECT_EQ('M', b[1]);
    EXPECT_EQ(66614u, u32(b, 2));
    EXPECT_EQ(0u, u32(b, 6));
    EXPECT_EQ(1078u, u32(b, 10));
    EXPECT_EQ(40u, u32(b, 14));
    EXPECT_EQ(256u, u32(b, 18));
    EXPECT_EQ(256u, u32(b, 22));
    EXPECT_EQ(1u, u16(b, 26));
    EXPECT_EQ(8u, u16(b, 28));
    EXPECT_EQ(0u, u32(b, 30));
    EXPECT_EQ(65536u, u32(b, 34));
    EXPECT_EQ(2835u, u32(b, 38));
    EXPECT_EQ(2835u, u32(b, 42));
    EXPECT_EQ(0u, u32(b, 46));
    EXPECT_EQ(0u, u32(b, 50));
    const level_palette *palette = palette_with_id(&lvl, 4);  // slot 0 of the page's list
    for (int i = 0; i < 256; i++) {
        ASSERT_EQ(palette->entries[i][2], b[54 + i * 4]) << i;      // blue
        ASSERT_EQ(palette->entries[i][1], b[54 + i * 4 + 1]) << i;  // green
        ASSERT_EQ(palette->entries[i][0], b[54 + i * 4 + 2]) << i;  // red
        ASSERT_EQ(palette->entries[i][3], b[54 + i * 4 + 3]) << i;  // extra as stored
    }
    // The first row in the file is the page's bottom row.
    const unsigned char *indices = lvl.textures[0].pixels;
    for (int y = 0; y < 256; y++)
        ASSERT_EQ(0, memcmp(&b[1078 + (255 - y) * 256], indices + y * 256, 256)) << y;
    EXPECT_EQ("Finished exporting image. \n", log_text().substr(log_text().find("Finished")));
}

TEST_F(export_test, twenty_four_bit_file_of_a_paletted_page_resolves_the_current_palette)
{
    std::string path = folder + "/page.bmp";
    lvl.textures[0].palette_slot = 1;  // palette 9 now
    ASSERT_EQ(EXPORT_OK, export_page_to_file(&lvl, 0, path.c_str(), EXPORT_FILTER_24BIT));
    std::vector<unsigned char> b = read_file_bytes(path);
    ASSERT_EQ(196662u, b.size());
    EXPECT_EQ(196662u, u32(b, 2));
    EXPECT_EQ(54u, u32(b, 10));
    EXPECT_EQ(24u, u16(b, 28));
    EXPECT_EQ(196608u, u32(b, 34));
    const level_palette *palette = palette_with_id(&lvl, 9);
    const unsigned char *indices = lvl.textures[0].pixels;
    for (int y = 0; y < 256; y += 17)
        for (int x = 0; x < 256; x++) {
            const unsigned char *entry = palette->entries[indices[y * 256 + x]];
            size_t at = 54 + ((255 - y) * 256 + x) * 3;
            ASSERT_EQ(entry[2], b[at]);
            ASSERT_EQ(entry[1], b[at + 1]);
            ASSERT_EQ(entry[0], b[at + 2]);
        }
}

TEST_F(export_test, switching_the_palette_slot_changes_the_colour_table_not_the_indices)
{
    std::string first = folder + "/a.bmp", second = folder + "/b.bmp";
    ASSERT_EQ(EXPORT_OK, export_page_to_file(&lvl, 0, first.c_str(), EXPORT_FILTER_8BIT));
    lvl.textures[0].palette_slot = 1;
    ASSERT_EQ(EXPORT_OK, export_page_to_file(&lvl, 0, second.c_str(), EXPORT_FILTER_8BIT));
    std::vector<unsigned char> a = read_file_bytes(first), b = read_file_bytes(second);
    EXPECT_NE(0, memcmp(&a[54], &b[54], 1024));
    EXPECT_EQ(0, memcmp(&a[1078], &b[1078], 65536));
}

TEST_F(export_test, fifteen_bit_page_is_always_24_bit_with_the_low_bits_clear)
{
    uint16_t *pixels = page_pixels16(lvl.textures[1]);
    pixels[255 * 256 + 0] = TRANSPARENT_KEY;         // bottom-left: first pixel in the file
    pixels[255 * 256 + 1] = 0x7C00;                  // pure red
    pixels[255 * 256 + 2] = 0x801F;                  // blue with bit 15 set
    std::string path = folder + "/rgb.bmp";
    ASSERT_EQ(EXPORT_OK, export_page_to_file(&lvl, 1, path.c_str(), EXPORT_FILTER_8BIT));  // asks 8-bit, gets 24
    std::vector<unsigned char> b = read_file_bytes(path);
    ASSERT_EQ(196662u, b.size());
    EXPECT_EQ(24u, u16(b, 28));
    const unsigned char expected[9] = {8, 8, 8, 0, 0, 248, 248, 0, 0};  // b, g, r per pixel
    EXPECT_EQ(0, memcmp(&b[54], expected, 9));
    for (size_t i = 54; i < b.size(); i++) ASSERT_EQ(0, b[i] & 7) << i;
    // Top row comes last.
    uint16_t v = pixels[0];
    EXPECT_EQ((v & 0x1F) << 3, b[54 + 255 * 768]);
    EXPECT_EQ(((v >> 10) & 0x1F) << 3, b[54 + 255 * 768 + 2]);
}

TEST_F(export_test, bmp_is_appended_unless_the_name_ends_in_exactly_bmp)
{
    struct {
        const char *chosen;
        const char *written;
    } cases[] = {{"plain", "plain.bmp"}, {"upper.BMP", "upper.BMP.bmp"}, {"done.bmp", "done.bmp"},
                 {"dotted.bm", "dotted.bm.bmp"}, {"bmp", "bmp.bmp"}};
    for (const auto &c : cases) {
        ASSERT_EQ(EXPORT_OK, export_page_to_file(&lvl, 0, (folder + "/" + c.chosen).c_str(), EXPORT_FILTER_24BIT));
        EXPECT_TRUE(file_exists(folder + "/" + c.written)) << c.chosen;
        EXPECT_FALSE(file_exists(folder + "/" + c.written + ".part")) << c.chosen;
    }
    EXPECT_FALSE(file_exists(folder + "/upper.BMP"));
}

TEST_F(export_test, the_folder_is_remembered_and_a_cancel_only_logs)
{
    EXPECT_EQ(EXPORT_CANCELLED, export_page_to_file(&lvl, 0, "", -1));
    EXPECT_EQ("Debug file initialized. \nFinished exporting image. \n", log_text());
    EXPECT_STREQ("", prefs.export_directory);
    ASSERT_EQ(EXPORT_OK, export_page_to_file(&lvl, 0, (folder + "/x").c_str(), EXPORT_FILTER_24BIT));
    EXPECT_EQ(folder + "/", std::string(prefs.export_directory));
}

TEST_F(export_test, a_missing_palette_is_refused_with_a_log_line_and_no_file)
{
    std::string path = folder + "/none.bmp";
    EXPECT_EQ(EXPORT_NO_PALETTE, export_page_to_file(&lvl, 2, path.c_str(), EXPORT_FILTER_8BIT));
    EXPECT_EQ(EXPORT_NO_PALETTE, export_page_to_file(&lvl, 2, path.c_str(), EXPORT_FILTER_24BIT));
    EXPECT_FALSE(file_exists(path));
    EXPECT_NE(std::string::npos, log_text().find(" Palette 6 does not exist; the page was not exported."));
    EXPECT_EQ(std::string::npos, log_text().find("Finished exporting image."));
    EXPECT_STREQ("", prefs.export_directory);
    // Page index out of range, too.
    EXPECT_EQ(EXPORT_BAD_PAGE, export_page_to_file(&lvl, 3, path.c_str(), EXPORT_FILTER_8BIT));
    EXPECT_EQ(EXPORT_BAD_PAGE, export_page_to_file(&lvl, -1, path.c_str(), EXPORT_FILTER_8BIT));
}

TEST_F(export_test, a_file_that_cannot_be_created_is_a_silent_failure)
{
    std::string path = folder + "/no/such/folder/x.bmp";
    EXPECT_EQ(EXPORT_CANNOT_CREATE, export_page_to_file(&lvl, 0, path.c_str(), EXPORT_FILTER_8BIT));
    EXPECT_EQ("Debug file initialized. \n", log_text());
    EXPECT_STREQ("", prefs.export_directory);
}

TEST_F(export_test, a_failed_write_removes_the_partial_file_and_keeps_an_older_one)
{
    std::string path = folder + "/old.bmp";
    ASSERT_TRUE(write_file_bytes(path, {1, 2, 3}));
    // Limit the size of files this process may write, so the write fails
    // part-way.
    struct rlimit old_limit;
    getrlimit(RLIMIT_FSIZE, &old_limit);
    void (*old_handler)(int) = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old_limit;
    small.rlim_cur = 4096;
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    int result = export_page_to_file(&lvl, 0, path.c_str(), EXPORT_FILTER_24BIT);
    setrlimit(RLIMIT_FSIZE, &old_limit);
    signal(SIGXFSZ, old_handler);
    EXPECT_EQ(EXPORT_WRITE_FAILED, result);
    EXPECT_FALSE(file_exists(path + ".part"));
    EXPECT_EQ((std::vector<unsigned char>{1, 2, 3}), read_file_bytes(path));
    EXPECT_STREQ("", prefs.export_directory);
}

TEST(bitmap_writer, writes_to_an_open_stream_and_reports_a_failed_write)
{
    level lvl;
    make_test_level(&lvl, {true}, {0}, {{0, {0}}});
    FILE *memory = tmpfile();
    ASSERT_NE(nullptr, memory);
    EXPECT_EQ(EXPORT_OK, write_page_bitmap(&lvl, memory, 0, 0, true));
    EXPECT_EQ(66614, ftell(memory));
    fclose(memory);
    FILE *full = fopen("/dev/full", "wb");
    ASSERT_NE(nullptr, full);
    EXPECT_EQ(EXPORT_WRITE_FAILED, write_page_bitmap(&lvl, full, 0, 0, false));
    fclose(full);
    free_test_level(&lvl);
}

namespace {
std::string dialog_answer;
int dialog_result;
const char *dialog_filter;
std::string dialog_folder;
int fake_save_dialog(const char *filter, char *path, int path_size, char *, int, const char *initial_folder)
{
    dialog_filter = filter;
    dialog_folder = initial_folder;
    EXPECT_STREQ("", path);
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
    EXPECT_EQ(EXPORT_FILTER_PALETTED, dialog_filter);
    EXPECT_EQ(folder + "/", dialog_folder);
    EXPECT_EQ(66614u, read_file_bytes(folder + "/whole.bmp").size());
    EXPECT_EQ("Debug file initialized. \nExporting image. \nFinished exporting image. \n", log_text());

    ASSERT_EQ(EXPORT_OK, export_image_command(&lvl, 1, fake_save_dialog));
    EXPECT_EQ(EXPORT_FILTER_15BIT, dialog_filter);
    EXPECT_EQ(196662u, read_file_bytes(folder + "/whole.bmp").size());
    EXPECT_EQ(0, memcmp("24-bit Bitmap\0*.bmp\0\0", EXPORT_FILTER_15BIT, 21));
    EXPECT_EQ(0, memcmp("24-bit Bitmap\0*.bmp\0" "8-bit Bitmap\0*.bmp\0\0", EXPORT_FILTER_PALETTED, 40));

    start_log_capture();
    dialog_result = -1;
    EXPECT_EQ(EXPORT_CANCELLED, export_image_command(&lvl, 0, fake_save_dialog));
    EXPECT_EQ("Debug file initialized. \nExporting image. \nFinished exporting image. \n", log_text());
}
