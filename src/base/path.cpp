// The folder part of a path, and the palette list found beside a level.
#include "base/path.h"

#include <dirent.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>

#include <string>

void folder_of(const char *path, char *folder, int size)
{
    const char *slash = strrchr(path, '/');
    size_t n = slash ? (size_t)(slash - path) + 1 : 0;
    if (n >= (size_t)size) n = (size_t)size - 1;
    memcpy(folder, path, n);
    folder[n] = '\0';
}

bool find_palette_list_file(const char *lev_path, char *d3d, int d3d_size)
{
    char folder[PATH_FOLDER_SIZE];
    folder_of(lev_path, folder, sizeof folder);
    std::string wanted = lev_path + strlen(folder);
    size_t dot = wanted.rfind('.');
    if (dot != std::string::npos && dot > 0) wanted.erase(dot);
    snprintf(d3d, (size_t)d3d_size, "%s%s.d3d", folder, wanted.c_str());
    wanted += ".d3d";
    // Any case will do; a name whose part before ".d3d" has the level's own
    // case wins, then the first in byte order, so the choice never depends
    // on the order the folder lists its files in.
    std::string best;
    int best_rank = 2;
    DIR *dir = opendir(folder[0] ? folder : ".");
    if (!dir) return false;
    while (dirent *entry = readdir(dir)) {
        const char *name = entry->d_name;
        if (strcasecmp(name, wanted.c_str()) != 0) continue;
        int rank = strncmp(name, wanted.c_str(), wanted.size() - 4) == 0 ? 0 : 1;
        std::string path = std::string(folder) + name;
        struct stat st;
        if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (rank < best_rank || (rank == best_rank && path < best)) {
            best = path;
            best_rank = rank;
        }
    }
    closedir(dir);
    if (best.empty() || best.size() >= (size_t)d3d_size) return false;
    memcpy(d3d, best.c_str(), best.size() + 1);
    return true;
}
