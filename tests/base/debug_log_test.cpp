// The debug log's line format, flushing and silence while closed.
#include <gtest/gtest.h>

#include <string>

#include "base/debug_log.h"
#include "test_support.h"

TEST(debug_log, lines_end_in_a_blank_and_reach_the_file_at_once)
{
    std::string path = make_temp_folder() + "/debug.txt";
    open_debug_log(path.c_str());
    testing::internal::CaptureStdout();
    debug_log("Loading level.");
    debug_log(" Placing in %d", 7);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Loading level. \n Placing in 7 \n");
    std::vector<unsigned char> bytes = read_file_bytes(path);  // flushed before closing
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "Debug file initialized. \nLoading level. \n Placing in 7 \n");
    close_debug_log();
    bytes = read_file_bytes(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
              "Debug file initialized. \nLoading level. \n Placing in 7 \nClosing debug file. \n");
}

TEST(debug_log, closed_or_unopenable_log_writes_nothing_anywhere)
{
    testing::internal::CaptureStdout();
    debug_log("nobody hears this");
    open_debug_log("/nonexistent-folder/debug.txt");
    debug_log("lost");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(debug_file, nullptr);
}
