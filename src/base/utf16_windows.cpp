// UTF-8 to UTF-16 and back with the Windows API's own converters.
#include "base/utf16.h"

#include <errno.h>
#include <windows.h>

std::wstring utf16_from_utf8(const char *text)
{
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (n <= 0) {
        errno = EINVAL;
        return std::wstring();
    }
    std::wstring out((size_t)n, L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, &out[0], n);
    out.resize((size_t)n - 1);   // without the terminator the count included
    return out;
}

std::string utf8_from_utf16(const wchar_t *text)
{
    int n = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) {
        errno = EINVAL;
        return std::string();
    }
    std::string out((size_t)n, '\0');
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, &out[0], n, nullptr, nullptr);
    out.resize((size_t)n - 1);
    return out;
}
