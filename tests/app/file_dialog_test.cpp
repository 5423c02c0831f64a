// The file dialogs' failures against a stand-in chooser program (the real one is driven end to end).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/file_dialog.h"
#include "app/user_message.h"
#include "test_support.h"

namespace {
std::vector<std::string> told;
void record(const char *text) { told.push_back(text); }
}  // namespace

TEST(file_dialog, answers_that_cannot_be_used_leave_empty_buffers)
{
    std::string folder = make_temp_folder(), script = folder + "/chooser";
    show_message = record;
    struct { std::string answer; int status, error; size_t size; std::string told; } cases[] = {
        {"garbage", 3, FILE_DIALOG_HELPER_FAILED, FILE_DIALOG_PATH_SIZE, "The file chooser failed (status 3)."},
        {"0\n/x\n", 0, FILE_DIALOG_HELPER_FAILED, FILE_DIALOG_PATH_SIZE, "The file chooser gave an answer that cannot be used."},
        {"1\n" + folder + "/gone.lev\n", 0, FILE_DIALOG_NOT_FOUND, FILE_DIALOG_PATH_SIZE, ""},
        {"1\n/" + std::string(40, 'x') + "\n", 0, FILE_DIALOG_NAME_TOO_LONG, 16, "The chosen file name is too long."},  // refused, not cut
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.answer);
        told.clear();
        FILE *f = fopen(script.c_str(), "w");
        fprintf(f, "#!/bin/sh\nprintf '%%s' '%s'\nexit %d\n", c.answer.c_str(), c.status);
        fclose(f);
        chmod(script.c_str(), 0755);
        set_file_chooser_program(script.c_str());
        char path[FILE_DIALOG_PATH_SIZE] = "old", title[FILE_DIALOG_TITLE_SIZE] = "old";
        EXPECT_EQ(open_file_dialog("Quarly Level\0*.lev\0", path, c.size, title, sizeof title, ""), 0);
        EXPECT_EQ(file_dialog_error(), c.error);
        EXPECT_EQ(std::string(path) + title, "");
        EXPECT_EQ(told, c.told.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.told});
    }
    show_message = nullptr;
    set_file_chooser_program(nullptr);
}
