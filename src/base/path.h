// The folder part of a path.
#pragma once

// Copies the folder part of `path` into `folder`: everything up to and
// including its last '/', or "" when it has none (a bare file name). At most
// `size` - 1 characters are kept; `size` must be at least 1.
void folder_of(const char *path, char *folder, int size);
