// The update check's download: one HTTP(S) GET of the version file, through
// libcurl on Linux and WinHTTP on Windows. Depends on src/base only, so its
// tests link it without Allegro.
#pragma once
#include <string>

// A version file is a header and a short note; anything bigger is refused.
enum { UPDATE_MAX_SIZE = 1 << 20 };
// Seconds the download may take to connect and in all; the check never
// blocks the editor longer than this.
enum { UPDATE_CONNECT_TIMEOUT = 5, UPDATE_TOTAL_TIMEOUT = 15 };

// GETs `url` (http or https; https certificates are checked against the
// system's trusted roots) into `body`. 0 on success: a 2xx status and at
// most UPDATE_MAX_SIZE bytes. 1 on any failure (no connection, a timeout, an
// untrusted certificate, another status, a bigger body), logged; `body` is
// then empty.
int download_update_file(const char *url, std::string *body);
