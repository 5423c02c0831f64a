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
void ignore_message(const char *text) { told.push_back(text); }
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
    return script;
}

std::string recorded_args(const std::string &folder)
{
    std::vector<unsigned char> bytes = read_file_bytes(folder + "/args");
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

TEST(file_dialog, open_passes_filters_and_folder_and_returns_an_existing_file)
{
    std::string folder = make_temp_folder();
    std::string level = folder + "/my level.lev";
    write_file_bytes(level, {1, 2, 3});
    set_tell_user_hook(ignore_message);
    set_file_chooser_program(stand_in(folder, "1\n" + level + "\n", 0).c_str());
    set_file_dialog_after_hook(count_hook);
    hook_calls = 0;
    char path[FILE_DIALOG_PATH_SIZE] = "stale", title[FILE_DIALOG_TITLE_SIZE];
    EXPECT_NE(open_file_dialog("Quarly Level\0*.lev\0", path, sizeof path, title, sizeof title, "/tmp"), 0);
    EXPECT_EQ(path, level);
    EXPECT_STREQ(title, "my level.lev");
    EXPECT_EQ(recorded_args(folder), "[open][/tmp][Quarly Level][*.lev]");
    EXPECT_EQ(hook_calls, 1);

    // An empty folder is passed on as empty: the chooser picks its own.
    open_file_dialog("Quarly D3D\0*.d3d\0", path, sizeof path, title, sizeof title, "");
    EXPECT_EQ(recorded_args(folder), "[open][][Quarly D3D][*.d3d]");
    set_file_dialog_after_hook(nullptr);
    set_file_chooser_program(nullptr);
    set_tell_user_hook(nullptr);
}

TEST(file_dialog, save_answers_the_chosen_filter_index)
{
    std::string folder = make_temp_folder();
    std::string out = folder + "/new.bmp";
    set_file_chooser_program(stand_in(folder, "2\n" + out + "\n", 0).c_str());
    char path[FILE_DIALOG_PATH_SIZE], title[FILE_DIALOG_TITLE_SIZE];
    EXPECT_EQ(save_file_dialog("24-bit Bitmap\0*.bmp\0008-bit Bitmap\0*.bmp\0", path, sizeof path, title,
                               sizeof title, folder.c_str()),
              2);
    EXPECT_EQ(path, out);  // a new name is fine for saving
    EXPECT_EQ(recorded_args(folder), "[save][" + folder + "][24-bit Bitmap][*.bmp][8-bit Bitmap][*.bmp]");
    set_file_chooser_program(nullptr);
}

TEST(file_dialog, cancel_and_failures_leave_empty_buffers)
{
    std::string folder = make_temp_folder();
    char path[FILE_DIALOG_PATH_SIZE] = "old", title[FILE_DIALOG_TITLE_SIZE] = "old";

    set_file_chooser_program(stand_in(folder, "", 1).c_str());
    EXPECT_EQ(open_file_dialog("Bitmap Image\0*.bmp\0", path, sizeof path, title, sizeof title, ""), 0);
    EXPECT_EQ(file_dialog_error(), FILE_DIALOG_CANCELLED);
    EXPECT_STREQ(path, "");
    EXPECT_STREQ(title, "");
    EXPECT_EQ(save_file_dialog("24-bit Bitmap\0*.bmp\0", path, sizeof path, title, sizeof title, ""), -1);

    set_tell_user_hook(ignore_message);
    told.clear();
    set_file_chooser_program((folder + "/no-such-chooser").c_str());
    EXPECT_EQ(open_file_dialog("Bitmap Image\0*.bmp\0", path, sizeof path, title, sizeof title, ""), 0);
    EXPECT_EQ(file_dialog_error(), FILE_DIALOG_NO_HELPER);
    ASSERT_EQ(told.size(), 1u);  // a chooser that cannot run is reported
    EXPECT_EQ(told[0], "The file chooser could not be started:\n" + folder + "/no-such-chooser");

    set_file_chooser_program(stand_in(folder, "garbage", 3).c_str());
    EXPECT_EQ(save_file_dialog("24-bit Bitmap\0*.bmp\0", path, sizeof path, title, sizeof title, ""), -1);
    EXPECT_EQ(file_dialog_error(), FILE_DIALOG_HELPER_FAILED);

    // The open dialog never hands out a file that is not there.
    set_file_chooser_program(stand_in(folder, "1\n" + folder + "/gone.lev\n", 0).c_str());
    EXPECT_EQ(open_file_dialog("Quarly Level\0*.lev\0", path, sizeof path, title, sizeof title, ""), 0);
    EXPECT_EQ(file_dialog_error(), FILE_DIALOG_NOT_FOUND);

    // A path longer than the caller's buffer is refused, not cut.
    set_file_chooser_program(stand_in(folder, "1\n/" + std::string(40, 'x') + "\n", 0).c_str());
    char small[16];
    EXPECT_EQ(save_file_dialog("24-bit Bitmap\0*.bmp\0", small, sizeof small, title, sizeof title, ""), -1);
    EXPECT_EQ(file_dialog_error(), FILE_DIALOG_NAME_TOO_LONG);
    EXPECT_STREQ(small, "");
    set_tell_user_hook(nullptr);
    set_file_chooser_program(nullptr);
}
