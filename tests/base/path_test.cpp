// A path's folder: the part the editor remembers and syncs, cut to fit its buffer; '\\' separates on Windows only.
#include <gtest/gtest.h>

#include "base/file_system.h"
#include "base/path.h"

TEST(path, a_folder_keeps_its_last_slash_and_is_cut_to_fit)
{
    struct { const char *path, *folder; } cases[] = {
        {"/a/b/c.lev", "/a/b/"}, {"C:\\lev\\x.lev", is_path_separator('\\') ? "C:\\lev\\" : ""},
        {"plain.lev", ""}, {"/a-very-long-folder-name/x", "/a-very-long-fo"}};
    for (const auto &c : cases) {
        char folder[16];
        folder_of(c.path, folder, sizeof folder);
        EXPECT_STREQ(folder, c.folder);
    }
}
