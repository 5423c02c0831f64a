// The folder part of a path.
#include "base/path.h"

#include <string.h>

void folder_of(const char *path, char *folder, int size)
{
    const char *slash = strrchr(path, '/');
    size_t n = slash ? (size_t)(slash - path) + 1 : 0;
    if (n >= (size_t)size) n = (size_t)size - 1;
    memcpy(folder, path, n);
    folder[n] = '\0';
}
