// The bitmap writer: exact 8-bit and 24-bit files, written whole or not at all.
#include <signal.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "imaging/bitmap_export.h"
#include "imaging_support.h"
#include "level/texture_store.h"

struct export_test : testing::Test {
    level lvl;
    std::string folder = make_temp_folder(), path = folder + "/page.bmp";
    log_capture log;
    void SetUp() override { make_test_level(&lvl, {true, false}, {4, 9}, {}), log.clear(); }  // page 1: 15-bit
    void TearDown() override { release_level_memory(&lvl); }
};

TEST_F(export_test, paletted_pages_as_8_or_24_bit_and_15_bit_pages_as_24_bit_byte_for_byte)
{
    for (int i = 0; i < PAGE_PIXELS; i++) lvl.textures[0].pixels[i] = index_at(i);
    for (int i = 0; i < 1024; i++) lvl.palettes[1].entries[i / 4][i % 4] = table_byte(i / 4, i % 4);  // palette 9
    bytes paletted24 = bitmap_header(24, 0), rgb24 = paletted24;
    for (int i = 0; i < PAGE_PIXELS; i++) {
        int at = (255 - i / 256) * 256 + i % 256;  // bottom row first
        unsigned v = page_pixels16(lvl.textures[1])[at];  // bit 15 is not colour
        paletted24.insert(paletted24.end(), {table_byte(index_at(at), 2), table_byte(index_at(at), 1), table_byte(index_at(at), 0)});
        rgb24.insert(rgb24.end(), {(unsigned char)((v & 31) << 3), (unsigned char)((v >> 5 & 31) << 3), (unsigned char)((v >> 10 & 31) << 3)});
    }
    struct { int page; bool want_8bit; bytes file; } cases[] = {{0, true, valid_8bit()}, {0, false, paletted24}, {1, true, rgb24}};
    for (const auto &c : cases) {
        ASSERT_EQ(EXPORT_OK, write_page_bitmap_file(&lvl, c.page, 9, c.want_8bit, path.c_str()));
        EXPECT_TRUE(c.file == read_file_bytes(path)) << c.page << c.want_8bit;
    }
}

TEST_F(export_test, refusals_and_failures_leave_no_file_and_keep_an_older_one)
{
    lvl.palette_table[4] = nullptr;  // removed as unused
    for (int id : {4, 5, 99, -1}) EXPECT_EQ(EXPORT_NO_PALETTE, write_page_bitmap_file(&lvl, 0, id, id % 2, path.c_str())) << id;
    EXPECT_EQ(" Palette -1 does not exist; the page was not exported.", log.lines().back());
    for (int page : {2, -1}) EXPECT_EQ(EXPORT_BAD_PAGE, write_page_bitmap_file(&lvl, page, 9, true, path.c_str())) << page;
    EXPECT_EQ(EXPORT_CANNOT_CREATE, write_page_bitmap_file(&lvl, 0, 9, true, (folder + "/no/such.bmp").c_str()));
    EXPECT_TRUE(read_file_bytes(path).empty());
#ifndef _WIN32  // Windows has no file-size limit to run into
    // A write failing part-way (files limited to 4 KiB) removes the partial file.
    ASSERT_TRUE(write_file_bytes(path, {1, 2, 3}));
    log.clear();
    struct rlimit limit, small;
    getrlimit(RLIMIT_FSIZE, &limit);
    small = limit, small.rlim_cur = 4096;
    signal(SIGXFSZ, SIG_IGN);  // a failed write, not the end of the program
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    int result = write_page_bitmap_file(&lvl, 0, 9, false, path.c_str());
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_EQ(EXPORT_WRITE_FAILED, result);
    EXPECT_EQ(lines{" Failed to write " + path + "."}, log.lines());
    EXPECT_TRUE(read_file_bytes(path + ".part").empty());
    EXPECT_EQ((bytes{1, 2, 3}), read_file_bytes(path));
#endif
}
