// UTF-8 text to the UTF-16 of the Windows API and back (Windows builds only).
#pragma once
#include <string>

// Empty, with errno set to EINVAL, when `text` is not valid UTF-8 (or UTF-16).
std::wstring utf16_from_utf8(const char *text);
std::string utf8_from_utf16(const wchar_t *text);
