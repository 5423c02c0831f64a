// The manual in the browser on Windows: the shell opens the file with the
// program the user chose for web pages.
#include "app/readme.h"

#include <windows.h>
#include <shellapi.h>

#include "base/utf16.h"

bool start_browser(const char *path, const char *, std::string *why)
{
    std::wstring wide = utf16_from_utf8(path);
    // Above 32 is success; anything else is an error code.
    INT_PTR answer = (INT_PTR)ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (answer > 32) return true;
    *why = answer == SE_ERR_NOASSOC ? "no program opens web pages."
                                    : "the shell could not open it (error " + std::to_string(answer) + ").";
    return false;
}

void check_readme_launch() {}
