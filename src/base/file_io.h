// Reading the start of a file into memory and writing a file whole or not at all.
#pragma once
#include <stddef.h>

// Reads at most `limit` bytes of the file at `path` into a new buffer
// (released with free; `*size` its length, which may be 0). Returns null when
// the file cannot be opened or read, or memory runs out.
unsigned char *read_file_start(const char *path, size_t limit, size_t *size);

// Results of write_file_whole.
enum { WRITE_FILE_OK = 0, WRITE_FILE_CANNOT_CREATE = 1, WRITE_FILE_FAILED = 2 };

// Writes `size` bytes to `path` whole or not at all: they go to
// "<path>.part", which is renamed over `path` only when written, flushed and
// closed without error. A failure removes the partial file, leaves an older
// file at `path` untouched and logs " Failed to write <path>.".
int write_file_whole(const char *path, const void *bytes, size_t size);
