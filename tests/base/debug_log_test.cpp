// The debug log's line format, flushing and silence while closed; a path's folder.
#include <gtest/gtest.h>

#include "base/debug_log.h"
#include "base/path.h"
#include "test_support.h"

TEST(debug_log, lines_end_in_a_blank_reach_the_file_at_once_and_nothing_is_written_while_closed)
{
    std::string path = make_temp_folder() + "/debug.txt";
    testing::internal::CaptureStdout();
    debug_log("nobody hears this");
    open_debug_log(path.c_str());
    debug_log(" Placing in %d", 7);
    std::vector<unsigned char> bytes = read_file_bytes(path);  // flushed before closing
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "Debug file initialized. \n Placing in 7 \n");
    close_debug_log();
    open_debug_log("/nonexistent-folder/debug.txt");
    debug_log("lost");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Debug file initialized. \n Placing in 7 \nClosing debug file. \n");
    EXPECT_EQ(debug_file, nullptr);
}

TEST(path, a_folder_keeps_its_last_slash_and_is_cut_to_fit)
{
    struct { const char *path, *folder; } cases[] = {
        {"/a/b/c.lev", "/a/b/"}, {"C:\\lev\\x.lev", ""}, {"plain.lev", ""}, {"/a-very-long-folder-name/x", "/a-very-long-fo"}};
    for (const auto &c : cases) {
        char folder[16];
        folder_of(c.path, folder, sizeof folder);
        EXPECT_STREQ(folder, c.folder);
    }
}
