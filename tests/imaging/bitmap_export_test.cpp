// The bitmap writer: exact 8-bit and 24-bit files, written whole or not at all.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include "imaging/bitmap_export.h"
#include "imaging_support.h"
#include "level/texture_store.h"

namespace {

bool exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

struct export_test : testing::Test {
    level lvl;
    std::string folder = make_temp_folder(), path = folder + "/page.bmp";
    log_capture log;
    void SetUp() override { make_test_level(&lvl, {true, false}, {4, 9}, {}), log.clear(); }  // page 1: 15-bit
    void TearDown() override { release_level_memory(&lvl); }
};

}  // namespace

TEST_F(export_test, paletted_pages_as_8_or_24_bit_and_15_bit_pages_as_24_bit_byte_for_byte)
{
    const level_palette *palette = palette_by_id(&lvl, 9);
    bytes eight = bitmap_header(8, 256), paletted24 = bitmap_header(24, 0), rgb24 = paletted24;
    for (const auto &e : palette->entries) eight.insert(eight.end(), {e[2], e[1], e[0], e[3]});
    for (int i = 0; i < PAGE_PIXELS; i++) {
        int at = (255 - i / 256) * 256 + i % 256;  // bottom row first
        const unsigned char *e = palette->entries[lvl.textures[0].pixels[at]];
        unsigned v = page_pixels16(lvl.textures[1])[at];  // bit 15 is not colour
        eight.push_back(lvl.textures[0].pixels[at]);
        paletted24.insert(paletted24.end(), {e[2], e[1], e[0]});
        rgb24.insert(rgb24.end(), {(unsigned char)((v & 31) << 3), (unsigned char)((v >> 5 & 31) << 3), (unsigned char)((v >> 10 & 31) << 3)});
    }
    struct { int page; bool want_8bit; const bytes &file; } cases[] = {{0, true, eight}, {0, false, paletted24}, {1, true, rgb24}};
    for (const auto &c : cases) {
        ASSERT_EQ(EXPORT_OK, write_page_bitmap_file(&lvl, c.page, 9, c.want_8bit, path.c_str()));
        EXPECT_TRUE(c.file == read_file_bytes(path)) << c.page << c.want_8bit;
        EXPECT_FALSE(exists(path + ".part"));
    }
}

TEST_F(export_test, refusals_and_failures_leave_no_file_and_keep_an_older_one)
{
    lvl.palette_table[4] = nullptr;  // removed as unused
    for (int id : {4, 5, 99, -1}) EXPECT_EQ(EXPORT_NO_PALETTE, write_page_bitmap_file(&lvl, 0, id, id % 2, path.c_str())) << id;
    EXPECT_EQ(" Palette -1 does not exist; the page was not exported.", log.lines().back());
    EXPECT_EQ(EXPORT_BAD_PAGE, write_page_bitmap_file(&lvl, 2, 9, true, path.c_str()));
    EXPECT_EQ(EXPORT_BAD_PAGE, write_page_bitmap_file(&lvl, -1, 9, true, path.c_str()));
    EXPECT_EQ(EXPORT_CANNOT_CREATE, write_page_bitmap_file(&lvl, 0, 9, true, (folder + "/no/such.bmp").c_str()));
    EXPECT_FALSE(exists(path));
    // A write failing part-way (files limited to 4 KiB) removes the partial file.
    ASSERT_TRUE(write_file_bytes(path, {1, 2, 3}));
    log.clear();
    struct rlimit old_limit, small;
    getrlimit(RLIMIT_FSIZE, &old_limit);
    small = old_limit, small.rlim_cur = 4096;
    void (*old_handler)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    int result = write_page_bitmap_file(&lvl, 0, 9, false, path.c_str());
    setrlimit(RLIMIT_FSIZE, &old_limit);
    signal(SIGXFSZ, old_handler);
    EXPECT_EQ(EXPORT_WRITE_FAILED, result);
    EXPECT_EQ(std::vector<std::string>{" Failed to write " + path + "."}, log.lines());
    EXPECT_FALSE(exists(path + ".part"));
    EXPECT_EQ((bytes{1, 2, 3}), read_file_bytes(path));
}
