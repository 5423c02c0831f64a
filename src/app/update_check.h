// The update check: downloads the version file and compares it with ours.
#pragma once

#include "app/update_download.h"
#include "base/version.h"

enum { UPDATE_HEADER_SIZE = 16 };

// 1 = a newer version exists, 0 = not newer, -1 = the file could not be
// fetched (or is shorter than its 16-byte header). Each check starts from an
// empty download buffer.
int check_for_updates(const char *url);
// Fills the download buffer; 0 on success, 1 on failure (buffer emptied).
int fetch_update_file(const char *url);
// 1 when the downloaded header names a version above ours, else 0.
int compare_update_version();

// The last download: its bytes (followed by one 0 byte) and their count.
// Null and 0 when nothing has been downloaded or the download failed.
const char *update_buffer();
int update_length();
void free_update_buffer();

// The "Check for updates" menu command.
void check_for_updates_command();
