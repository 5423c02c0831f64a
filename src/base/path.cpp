// The folder part of a path, and the palette list found beside a level.
#include "base/path.h"

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <string>
#include <vector>

#include "base/file_system.h"

void folder_of(const char *path, char *folder, int size)
{
    size_t n = strlen(path);
    while (n > 0 && !is_path_separator(path[n - 1])) n--;
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
    std::vector<std::string> names;
    if (!list_folder(folder[0] ? folder : ".", &names)) return false;
    for (const std::string &name : names) {
        if (strcasecmp(name.c_str(), wanted.c_str()) != 0) continue;
        int rank = strncmp(name.c_str(), wanted.c_str(), wanted.size() - 4) == 0 ? 0 : 1;
        std::string path = std::string(folder) + name;
        if (path_kind(path.c_str(), nullptr) != PATH_FILE) continue;
        if (rank < best_rank || (rank == best_rank && path < best)) {
            best = path;
            best_rank = rank;
        }
    }
    if (best.empty() || best.size() >= (size_t)d3d_size) return false;
    memcpy(d3d, best.c_str(), best.size() + 1);
    return true;
}
