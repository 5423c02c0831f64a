// Files and folders on POSIX systems (Linux): stdio, stat, dirent, rename and fsync.
#include "base/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

const char *const null_device_path = "/dev/null";

FILE *open_file(const char *path, const char *mode) { return fopen(path, mode); }

int path_kind(const char *path, uint64_t *size)
{
    struct stat st;
    if (stat(path, &st) != 0) return PATH_MISSING;
    if (size) *size = (uint64_t)st.st_size;
    return S_ISREG(st.st_mode) ? PATH_FILE : S_ISDIR(st.st_mode) ? PATH_FOLDER : PATH_OTHER;
}

bool regular_file_size(FILE *file, uint64_t *size)
{
    struct stat st;
    if (fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    *size = (uint64_t)st.st_size;
    return true;
}

bool folder_is_writable(const char *folder) { return access(folder, W_OK | X_OK) == 0; }

bool remove_file(const char *path) { return unlink(path) == 0; }
bool make_folder(const char *path) { return mkdir(path, 0777) == 0; }
bool remove_folder(const char *path) { return rmdir(path) == 0; }

bool list_folder(const char *folder, std::vector<std::string> *names)
{
    DIR *dir = opendir(folder);
    if (!dir) return false;
    while (const dirent *entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) names->push_back(entry->d_name);
    }
    closedir(dir);
    return true;
}

bool replace_file(const char *from, const char *to) { return rename(from, to) == 0; }
bool link_file(const char *existing, const char *link_path) { return link(existing, link_path) == 0; }
bool sync_file(FILE *file) { return fsync(fileno(file)) == 0; }

void sync_folder(const char *folder)
{
    // A rename is on the disk only once the folder holding it is synced.
    int fd = open(folder[0] ? folder : ".", O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

bool resolve_path(const char *path, char *out, size_t size)
{
    char resolved[PATH_MAX];
    if (!realpath(path, resolved) || strlen(resolved) >= size) return false;
    memcpy(out, resolved, strlen(resolved) + 1);
    return true;
}

std::string absolute_path(const char *path)
{
    char here[PATH_MAX];
    if (path[0] == '/' || !getcwd(here, sizeof here)) return path;
    if (strcmp(path, ".") == 0) return here;
    return std::string(here) + "/" + path;
}

std::string executable_folder()
{
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return "";
    exe[n] = '\0';
    std::string folder(exe);
    folder.erase(folder.rfind('/') + 1);
    return folder;
}

FILE *create_temp_file(char *path_template, const char *permissions_of)
{
    struct stat st;
    mode_t mode = stat(permissions_of, &st) == 0 ? (st.st_mode & 07777) : 0644;
    int fd = mkstemp(path_template);
    if (fd < 0) return nullptr;
    fchmod(fd, mode);
    FILE *f = fdopen(fd, "wb");
    if (!f) {
        close(fd);
        unlink(path_template);
    }
    return f;
}

bool is_path_separator(char c) { return c == '/'; }
