// Files and folders on Windows: the wide-character C runtime and Win32 calls, paths in UTF-16.
#include "base/file_system.h"

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <string.h>
#include <windows.h>

#include "base/utf16.h"

const char *const null_device_path = "NUL";

namespace {

// errno for the last Win32 failure, so that callers' messages name the cause.
void set_errno_from_last_error()
{
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        errno = ENOENT;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        errno = EACCES;
        break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        errno = EEXIST;
        break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        errno = ENOSPC;
        break;
    case ERROR_NOT_SAME_DEVICE:
        errno = EXDEV;
        break;
    case ERROR_DIR_NOT_EMPTY:
        errno = ENOTEMPTY;
        break;
    default:
        errno = EIO;
    }
}

bool succeeded(BOOL ok)
{
    if (!ok) set_errno_from_last_error();
    return ok != 0;
}

// Attributes of what `path` names; INVALID_FILE_ATTRIBUTES when nothing.
DWORD attributes_of(const char *path, uint64_t *size)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    std::wstring wide = utf16_from_utf8(path);
    if (wide.empty() || !GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data))
        return INVALID_FILE_ATTRIBUTES;
    if (size) *size = ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    return data.dwFileAttributes;
}

}  // namespace

FILE *open_file(const char *path, const char *mode)
{
    std::wstring wide = utf16_from_utf8(path), wide_mode = utf16_from_utf8(mode);
    if (wide.empty()) return nullptr;
    return _wfopen(wide.c_str(), wide_mode.c_str());
}

int path_kind(const char *path, uint64_t *size)
{
    DWORD attributes = attributes_of(path, size);
    if (attributes == INVALID_FILE_ATTRIBUTES) return PATH_MISSING;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PATH_FOLDER;
    return (attributes & FILE_ATTRIBUTE_DEVICE) ? PATH_OTHER : PATH_FILE;
}

bool regular_file_size(FILE *file, uint64_t *size)
{
    HANDLE handle = (HANDLE)_get_osfhandle(_fileno(file));
    LARGE_INTEGER length;
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK || !GetFileSizeEx(handle, &length))
        return false;
    *size = (uint64_t)length.QuadPart;
    return true;
}

// Who may write is kept in access lists that only an attempt answers for
// sure (a folder marked read-only still takes new files): a file is made
// and removed again.
bool folder_is_writable(const char *folder)
{
    if (path_kind(folder, nullptr) != PATH_FOLDER) return false;
    std::string probe = folder;
    if (!probe.empty() && !is_path_separator(probe.back())) probe += '\\';
    probe += "qte-probe.XXXXXX";
    FILE *f = create_temp_file(&probe[0], "");
    if (!f) return false;
    fclose(f);
    remove_file(probe.c_str());
    return true;
}

bool remove_file(const char *path)
{
    std::wstring wide = utf16_from_utf8(path);
    return !wide.empty() && succeeded(DeleteFileW(wide.c_str()));
}

bool make_folder(const char *path)
{
    std::wstring wide = utf16_from_utf8(path);
    return !wide.empty() && succeeded(CreateDirectoryW(wide.c_str(), nullptr));
}

bool remove_folder(const char *path)
{
    std::wstring wide = utf16_from_utf8(path);
    return !wide.empty() && succeeded(RemoveDirectoryW(wide.c_str()));
}

bool list_folder(const char *folder, std::vector<std::string> *names)
{
    std::string pattern = folder;
    if (!pattern.empty() && !is_path_separator(pattern.back())) pattern += '\\';
    pattern += '*';
    std::wstring wide = utf16_from_utf8(pattern.c_str());
    WIN32_FIND_DATAW found;
    HANDLE search = wide.empty() ? INVALID_HANDLE_VALUE : FindFirstFileW(wide.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        // An empty folder still has "." and ".."; only a drive's root can list nothing.
        bool empty = GetLastError() == ERROR_FILE_NOT_FOUND;
        if (!empty) set_errno_from_last_error();
        return empty;
    }
    do {
        if (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0) continue;
        std::string name = utf8_from_utf16(found.cFileName);
        if (!name.empty()) names->push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return true;
}

bool replace_file(const char *from, const char *to)
{
    std::wstring wide_from = utf16_from_utf8(from), wide_to = utf16_from_utf8(to);
    if (wide_from.empty() || wide_to.empty()) return false;
    // Plain rename() refuses an existing target; this replaces it in one step.
    return succeeded(MoveFileExW(wide_from.c_str(), wide_to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
}

bool link_file(const char *existing, const char *link_path)
{
    std::wstring wide_existing = utf16_from_utf8(existing), wide_link = utf16_from_utf8(link_path);
    if (wide_existing.empty() || wide_link.empty()) return false;
    return succeeded(CreateHardLinkW(wide_link.c_str(), wide_existing.c_str(), nullptr));
}

bool sync_file(FILE *file) { return _commit(_fileno(file)) == 0; }

// MOVEFILE_WRITE_THROUGH already waits for the rename to reach the disk.
void sync_folder(const char *) {}

bool resolve_path(const char *path, char *out, size_t size)
{
    std::wstring wide = utf16_from_utf8(path);
    if (wide.empty()) return false;
    HANDLE handle = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    std::wstring final_path(32768, L'\0');
    DWORD n = GetFinalPathNameByHandleW(handle, &final_path[0], (DWORD)final_path.size(),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(handle);
    if (n == 0 || n >= final_path.size()) return false;
    final_path.resize(n);
    // "\\?\C:\x" is "C:\x"; "\\?\UNC\server\share" is "\\server\share".
    if (final_path.compare(0, 8, L"\\\\?\\UNC\\") == 0) final_path.replace(0, 8, L"\\\\");
    else if (final_path.compare(0, 4, L"\\\\?\\") == 0) final_path.erase(0, 4);
    std::string resolved = utf8_from_utf16(final_path.c_str());
    if (resolved.empty() || resolved.size() >= size) return false;
    memcpy(out, resolved.c_str(), resolved.size() + 1);
    return true;
}

std::string absolute_path(const char *path)
{
    std::wstring wide = utf16_from_utf8(path);
    if (wide.empty()) return path;
    DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::wstring full(n + 1, L'\0');
    if (n == 0 || GetFullPathNameW(wide.c_str(), n + 1, &full[0], nullptr) != n - 1) return path;
    full.resize(n - 1);
    std::string result = utf8_from_utf16(full.c_str());
    return result.empty() ? path : result;
}

std::string executable_folder()
{
    std::wstring exe(32768, L'\0');
    DWORD n = GetModuleFileNameW(nullptr, &exe[0], (DWORD)exe.size());
    if (n == 0 || n >= exe.size()) return "";
    exe.resize(n);
    std::string folder = utf8_from_utf16(exe.c_str());
    size_t slash = folder.find_last_of("\\/");
    folder.erase(slash == std::string::npos ? 0 : slash + 1);
    return folder;
}

FILE *create_temp_file(char *path_template, const char *)
{
    size_t length = strlen(path_template);
    if (length < 6) {
        errno = EINVAL;
        return nullptr;
    }
    char *x = path_template + length - 6;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    uint64_t seed = (uint64_t)now.QuadPart ^ ((uint64_t)GetCurrentProcessId() << 32) ^ GetCurrentThreadId();
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; attempt++) {
        // A 64-bit mix of the clock, the process and the attempt (splitmix64).
        uint64_t z = (seed += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        for (int i = 0; i < 6; i++, z /= 36) x[i] = letters[z % 36];
        std::wstring wide = utf16_from_utf8(path_template);
        if (wide.empty()) return nullptr;
        // CREATE_NEW never opens an existing file. The new file takes the
        // access list its folder hands down, as any new file does here.
        HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            set_errno_from_last_error();
            return nullptr;
        }
        int fd = _open_osfhandle((intptr_t)handle, _O_BINARY | _O_WRONLY);
        if (fd < 0) {
            CloseHandle(handle);
            DeleteFileW(wide.c_str());
            return nullptr;
        }
        FILE *f = _fdopen(fd, "wb");
        if (!f) {
            _close(fd);
            DeleteFileW(wide.c_str());
        }
        return f;
    }
    errno = EEXIST;
    return nullptr;
}

bool is_path_separator(char c) { return c == '/' || c == '\\'; }
