// The update check against version files on disk (libcurl reads file:// URLs).
#include <gtest/gtest.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "app/update_check.h"
#include "test_support.h"

namespace {

std::vector<unsigned char> version_file(int32_t a, int32_t b, int32_t c, int32_t d, const std::string &text)
{
    std::vector<unsigned char> bytes;
    for (int32_t v : {a, b, c, d})
        for (int i = 0; i < 4; i++)
            bytes.push_back((unsigned char)((uint32_t)v >> (8 * i)));
    bytes.insert(bytes.end(), text.begin(), text.end());
    return bytes;
}

std::string served(const std::vector<unsigned char> &bytes)
{
    std::string path = make_temp_folder() + "/qte.upd";
    write_file_bytes(path, bytes);
    return "file://" + path;
}

}  // namespace

TEST(update_check, newer_versions_are_found_by_their_value)
{
    struct { int32_t v[4]; int expected; } cases[] = {
        {{2, 0, 0, 1}, 1}, {{2, 0, 0, 0}, 0}, {{1, 99, 99, 999}, 0}, {{2, 0, 1, 0}, 1},
        {{-1, -1, -1, -1}, 0},
        {{300, 0, 0, 0}, 0},  // wraps past the 32-bit range to a negative value: not newer
    };
    for (const auto &c : cases) {
        std::string url = served(version_file(c.v[0], c.v[1], c.v[2], c.v[3], "note"));
        EXPECT_EQ(check_for_updates(url.c_str()), c.expected) << c.v[0] << "." << c.v[1] << "." << c.v[2] << "." << c.v[3];
    }
    // A newer file keeps its text after the header, once however often it is checked.
    std::string url = served(version_file(2, 1, 0, 0, "Line one\n"));
    for (int i = 0; i < 2; i++) {
        ASSERT_EQ(check_for_updates(url.c_str()), 1);
        EXPECT_EQ(update_length(), 16 + 9);
        EXPECT_STREQ(update_buffer() + UPDATE_HEADER_SIZE, "Line one\n");
    }
    free_update_buffer();
}

TEST(update_check, missing_unreachable_or_short_files_are_failed_checks)
{
    std::string missing = "file://" + make_temp_folder() + "/none.upd";
    EXPECT_EQ(check_for_updates(missing.c_str()), -1);
    EXPECT_EQ(update_buffer(), nullptr);
    EXPECT_EQ(check_for_updates("http://127.0.0.1:9/qte/qte.upd"), -1);  // refused at once
    std::vector<unsigned char> header = version_file(3, 0, 0, 0, "");
    for (size_t size : {0, 1, 15}) {
        std::string url = served(std::vector<unsigned char>(header.begin(), header.begin() + size));
        EXPECT_EQ(check_for_updates(url.c_str()), -1) << size;
        EXPECT_EQ(update_length(), 0);
    }
    std::string exact = served(header);
    EXPECT_EQ(check_for_updates(exact.c_str()), 1);
    EXPECT_STREQ(update_buffer() + UPDATE_HEADER_SIZE, "");
    free_update_buffer();
}
