// The file dialogs' failures against a stand-in chooser program (the real one is driven end to end).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "app/file_dialog.h"
#include "app/user_message.h"
#include "test_support.h"

namespace {

std::vector<std::string> told;
void record_message(const char *text) { told.push_back(text); }

// A chooser that answers `answer` with `status`.
void stand_in(const std::string &folder, const std::string &answer, int status)
{
    std::string script = folder + "/chooser";
    FILE *f = fopen(script.c_str(), "w");
    fprintf(f, "#!/bin/sh\nprintf '%%s' '%s'\nexit %d\n", answer.c_str(), status);
    fclose(f);
    chmod(script.c_str(), 0755);
    set_file_chooser_program(script.c_str());
}

}  // namespace

TEST(file_dialog, cancel_and_failures_leave_empty_buffers)
{
    std::string folder = make_temp_folder();
    set_tell_user_hook(record_message);
    told.clear();
    struct { std::string answer; int status; bool open; int error; size_t size; std::string told; } cases[] = {
        {"", 1, true, FILE_DIALOG_CANCELLED, FILE_DIALOG_PATH_SIZE, ""},
        {"garbage", 3, false, FILE_DIALOG_HELPER_FAILED, FILE_DIALOG_PATH_SIZE, "The file chooser failed (status 3)."},
        {"1\n" + folder + "/gone.lev\n", 0, true, FILE_DIALOG_NOT_FOUND, FILE_DIALOG_PATH_SIZE, ""},
        {"1\n/" + std::string(40, 'x') + "\n", 0, false, FILE_DIALOG_NAME_TOO_LONG, 16,  // refused, not cut
         "The chosen file name is too long."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.error);
        told.clear();
        stand_in(folder, c.answer, c.status);
        char path[FILE_DIALOG_PATH_SIZE] = "old", title[FILE_DIALOG_TITLE_SIZE] = "old";
        if (c.open)
            EXPECT_EQ(open_file_dialog("Quarly Level\0*.lev\0", path, c.size, title, sizeof title, ""), 0);
        else
            EXPECT_EQ(save_file_dialog("24-bit Bitmap\0*.bmp\0", path, c.size, title, sizeof title, ""), -1);
        EXPECT_EQ(file_dialog_error(), c.error);
        EXPECT_STREQ(path, "");
        EXPECT_STREQ(title, "");
        EXPECT_EQ(told, c.told.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.told});
    }
    told.clear();

    set_file_chooser_program((folder + "/no-such-chooser").c_str());
    char path[FILE_DIALOG_PATH_SIZE], title[FILE_DIALOG_TITLE_SIZE];
    EXPECT_EQ(open_file_dialog("Bitmap Image\0*.bmp\0", path, sizeof path, title, sizeof title, ""), 0);
    EXPECT_EQ(file_dialog_error(), FILE_DIALOG_NO_HELPER);
    EXPECT_EQ(told, std::vector<std::string>{"The file chooser could not be started:\n" + folder + "/no-such-chooser"});
    set_tell_user_hook(nullptr);
    set_file_chooser_program(nullptr);
}
