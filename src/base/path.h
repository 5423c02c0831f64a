// The folder part of a path, and the palette list found beside a level.
#pragma once

// Copies the folder part of `path` into `folder`: everything up to and
// including its last separator (is_path_separator), or "" when it has none
// (a bare file name). At most
// `size` - 1 characters are kept; `size` must be at least 1.
void folder_of(const char *path, char *folder, int size);

// Room for a folder's path in find_palette_list_file (as LEVEL_PATH_SIZE).
enum { PATH_FOLDER_SIZE = 1024 };
// The palette list of the level file `lev_path`: the file in the level's
// folder named as the level with ".d3d", in any case ("demo.D3D" will do).
// Returns true with its path in `d3d`; false with `d3d` set to the level's
// name with ".d3d" when there is no such file.
bool find_palette_list_file(const char *lev_path, char *d3d, int d3d_size);
