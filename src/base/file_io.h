// Reading the start of a file into memory and writing a file whole or not at all.
#pragma once
#include <stddef.h>
#include <stdio.h>

// Reads at most `limit` bytes of the file at `path` into a new buffer
// (released with free; `*size` its length, which may be 0). Returns null when
// the file cannot be opened or read, or memory runs out.
unsigned char *read_file_start(const char *path, size_t limit, size_t *size);

// Results of write_file_whole.
enum { WRITE_FILE_OK = 0, WRITE_FILE_CANNOT_CREATE = 1, WRITE_FILE_FAILED = 2 };

// Writes `size` bytes to `path` whole or not at all: they go to
// "<path>.part", which is renamed over `path` only when written, flushed,
// synced to the disk and closed without error; the folder is synced after
// the rename, so the new file survives a power cut. A failure removes the
// partial file, leaves an older file at `path` untouched and logs
// " Failed to write <path>.".
int write_file_whole(const char *path, const void *bytes, size_t size);

// Flushes, syncs to the disk and closes; false when any of them fails.
// Closes in every case.
bool finish_file(FILE *file);
// Syncs the folder holding `path`, so that a rename in it is on the disk.
void sync_folder_of(const char *path);
