// The file dialogs against a stand-in chooser program.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "app/file_dialog.h"
#include "app/user_message.h"
#include "test_support.h"

namespace {

int hook_calls = 0;
std::vector<std::string> told;
void record_message(const char *text) { told.push_back(text); }
void count_hook() { hook_calls++; }

// A chooser that records its arguments and answers `answer` with `status`.
std::string stand_in(const std::string &folder, const std::string &answer, int status)
{
    std::string script = folder + "/chooser";
    FILE *f = fopen(script.c_str(), "w");
    fprintf(f, "#!/bin/sh\nfor a in \"$@\"; do printf '[%%s]' \"$a\"; done > '%s/args'\nprintf '%%s' '%s'\nexit %d\n",
            folder.c_str(), answer.c_str(), status);
    fclose(f);
    chmod(script.c_str(), 0755);
    set_file_chooser_program(script.c_str());
    return script;
}

std::string recorded_args(const std::string &folder)
{
    std::vector<unsigned char> bytes = read_file_bytes(folder + "/args");
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

TEST(file_dialog, passes_filters_and_folder_and_answers_the_file_and_filter)
{
    std::string folder = make_temp_folder();
    std::string level = folder + "/my level.lev";
    write_file_bytes(level, {1, 2, 3});
    stand_in(folder, "1\n" + level + "\n", 0);
    set_file_dialog_after_hook(count_hook);
    hook_calls = 0;
    char path[FILE_DIALOG_PATH_SIZE] = "stale", title[FILE_DIALOG_TITLE_SIZE];
    EXPECT_NE(open_file_dialog("Quarly Level\0*.lev\0", path, sizeof path, title, sizeof title, ""), 0);
    EXPECT_EQ(path, level);
    EXPECT_STREQ(title, "my level.lev");
    EXPECT_EQ(recorded_args(folder), "[open][][Quarly Level][*.lev]");
    EXPECT_EQ(hook_calls, 1);
    set_file_dialog_after_hook(nullptr);

    std::string out = folder + "/new.bmp";  // a new name is fine for saving
    stand_in(folder, "2\n" + out + "\n", 0);
    EXPECT_EQ(save_file_dialog("24-bit Bitmap\0*.bmp\0008-bit Bitmap\0*.bmp\0", path, sizeof path, title,
                               sizeof title, folder.c_str()),
              2);
    EXPECT_EQ(path, out);
    EXPECT_EQ(recorded_args(folder), "[save][" + folder + "][24-bit Bitmap][*.bmp][8-bit Bitmap][*.bmp]");
    set_file_chooser_program(nullptr);
}

TEST(file_dialog, cancel_and_failures_leave_empty_buffers)
{
    std::string folder = make_temp_folder();
    set_tell_user_hook(record_message);
    told.clear();
    struct { std::string answer; int status; bool open; int error; size_t size; } cases[] = {
        {"", 1, true, FILE_DIALOG_CANCELLED, FILE_DIALOG_PATH_SIZE},
        {"garbage", 3, false, FILE_DIALOG_HELPER_FAILED, FILE_DIALOG_PATH_SIZE},
        {"1\n" + folder + "/gone.lev\n", 0, true, FILE_DIALOG_NOT_FOUND, FILE_DIALOG_PATH_SIZE},
        {"1\n/" + std::string(40, 'x') + "\n", 0, false, FILE_DIALOG_NAME_TOO_LONG, 16},  // refused, not cut
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.error);
        stand_in(folder, c.answer, c.status);
        char path[FILE_DIALOG_PATH_SIZE] = "old", title[FILE_DIALOG_TITLE_SIZE] = "old";
        if (c.open)
            EXPECT_EQ(open_file_dialog("Quarly Level\0*.lev\0", path, c.size, title, sizeof title, ""), 0);
        else
            EXPECT_EQ(save_file_dialog("24-bit Bitmap\0*.bmp\0", path, c.size, title, sizeof title, ""), -1);
        EXPECT_EQ(file_dialog_error(), c.error);
        EXPECT_STREQ(path, "");
        EXPECT_STREQ(title, "");
    }
    EXPECT_TRUE(told.empty());

    set_file_chooser_program((folder + "/no-such-chooser").c_str());
    char path[FILE_DIALOG_PATH_SIZE], title[FILE_DIALOG_TITLE_SIZE];
    EXPECT_EQ(open_file_dialog("Bitmap Image\0*.bmp\0", path, sizeof path, title, sizeof title, ""), 0);
    EXPECT_EQ(file_dialog_error(), FILE_DIALOG_NO_HELPER);
    EXPECT_EQ(told, std::vector<std::string>{"The file chooser could not be started:\n" + folder + "/no-such-chooser"});
    set_tell_user_hook(nullptr);
    set_file_chooser_program(nullptr);
}
