// Files and folders as the operating system keeps them: the one place that knows which system it is.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

// Every path is UTF-8 text; the Windows build turns it into UTF-16 at the
// system's door, so names in any script work on both. A function that fails
// leaves errno saying why, as the C library's own do.

// fopen with a UTF-8 path; the same modes ("rb", "wb", "w").
FILE *open_file(const char *path, const char *mode);

// What is at a path.
enum { PATH_MISSING = 0, PATH_FILE = 1, PATH_FOLDER = 2, PATH_OTHER = 3 };
// What `path` names; a file's length in `*size` when `size` is not null.
int path_kind(const char *path, uint64_t *size);
// The length of the open regular file `file`; false for a pipe or a terminal.
bool regular_file_size(FILE *file, uint64_t *size);
// Whether new files can be made in the folder (as far as the system tells beforehand).
bool folder_is_writable(const char *folder);

bool remove_file(const char *path);
bool make_folder(const char *path);
bool remove_folder(const char *path);   // an empty one
// The names in a folder, without "." and ".."; false when it cannot be read.
bool list_folder(const char *folder, std::vector<std::string> *names);

// Gives the file at `from` the name `to` in one step, replacing a file
// there, and does not answer before the new name is on the disk (as far as
// the system can promise without syncing the folder). Both in one folder.
bool replace_file(const char *from, const char *to);
// A second name `link` for the file at `existing` (a hard link).
bool link_file(const char *existing, const char *link);
// Flushes the file's written bytes from the system's caches to the disk.
bool sync_file(FILE *file);
// Makes the folder's renames durable, where the system needs that done apart.
void sync_folder(const char *folder);

// The absolute path of an existing file, through symbolic links, in `out`
// (`size` bytes); false when it does not exist or does not fit.
bool resolve_path(const char *path, char *out, size_t size);
// `path` made absolute against the working folder, without asking whether
// it exists; as given when it is absolute already or the system cannot tell.
std::string absolute_path(const char *path);
// The folder holding the running program, ending in its separator; empty
// when the system cannot tell.
std::string executable_folder();
// Creates a new file whose name is `path_template` with its last six
// characters ("XXXXXX") replaced, never opening an existing one, and opens it
// for writing bytes; `path_template` then holds the name. Where the system
// has permission bits the new file takes those of `permissions_of` (or
// 0644 when there is no such file). Null on failure.
FILE *create_temp_file(char *path_template, const char *permissions_of);

// Whether `c` separates the folders of a path ('/', and '\\' on Windows).
bool is_path_separator(char c);
// A path any write to which is thrown away.
extern const char *const null_device_path;
