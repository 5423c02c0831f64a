// Reading the start of a file and the whole-or-nothing file writer.
#include "base/file_io.h"

#include <stdio.h>
#include <stdlib.h>

#include "base/debug_log.h"
#include "base/file_system.h"
#include "base/path.h"

unsigned char *read_file_start(const char *path, size_t limit, size_t *size)
{
    FILE *file = open_file(path, "rb");
    if (!file) return nullptr;
    // No more room than the file has: a large limit costs nothing for a small file.
    size_t room = limit;
    if (fseek(file, 0, SEEK_END) == 0) {
        long length = ftell(file);
        if (length >= 0 && (unsigned long)length < room) room = (size_t)length;
        rewind(file);
    }
    unsigned char *bytes = (unsigned char *)malloc(room > 0 ? room : 1);
    if (!bytes) {
        fclose(file);
        return nullptr;
    }
    *size = fread(bytes, 1, room, file);
    bool failed = ferror(file) != 0;
    fclose(file);
    if (failed) {
        free(bytes);
        return nullptr;
    }
    return bytes;
}

int write_file_whole(const char *path, const void *bytes, size_t size)
{
    // Written beside the target and renamed over it when complete, so a
    // failed write neither leaves half a file nor destroys an older one.
    enum { TEMP_PATH_SIZE = 4096 + 16 };
    char temp_path[TEMP_PATH_SIZE];
    if (snprintf(temp_path, sizeof temp_path, "%s.part", path) >= (int)sizeof temp_path) return WRITE_FILE_CANNOT_CREATE;
    FILE *file = open_file(temp_path, "wb");
    if (!file) return WRITE_FILE_CANNOT_CREATE;
    bool written = size == 0 || fwrite(bytes, 1, size, file) == size;
    written = finish_file(file) && written;
    if (!written || !replace_file(temp_path, path)) {
        remove_file(temp_path);
        debug_log(" Failed to write %s.", path);
        return WRITE_FILE_FAILED;
    }
    sync_folder_of(path);
    return WRITE_FILE_OK;
}

bool finish_file(FILE *file)
{
    bool ok = fflush(file) == 0;
    ok = sync_file(file) && ok;
    ok = fclose(file) == 0 && ok;
    return ok;
}

void sync_folder_of(const char *path)
{
    char folder[4096];
    folder_of(path, folder, sizeof folder);
    sync_folder(folder);
}
