// The update check: libcurl download of the version file and the comparison.
#include "app/update_check.h"

#include <curl/curl.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "base/debug_log.h"
#include "app/user_message.h"
#include "app/commands.h"

namespace {

// The download buffer always holds one byte more than `received`, a 0, so
// the text after the header can be shown as a terminated string.
char *buffer = nullptr;
int received = 0;
bool too_large = false;

// Reads the little-endian signed 32-bit field at `offset` of the buffer.
int32_t header_field(int offset)
{
    const unsigned char *p = (const unsigned char *)buffer + offset;
    return (int32_t)((uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24);
}

// libcurl's write function: appends to the process-wide buffer. Answering
// fewer bytes than offered makes libcurl stop with an error.
size_t write_callback(char *data, size_t size, size_t count, void *)
{
    size_t n = size * count;
    if (n > (size_t)(UPDATE_MAX_SIZE - received)) {
        too_large = true;
        return 0;
    }
    char *grown = (char *)realloc(buffer, (size_t)received + n + 1);
    if (!grown)
        return 0;
    buffer = grown;
    memcpy(buffer + received, data, n);
    received += (int)n;
    buffer[received] = '\0';
    return n;
}

}  // namespace

const char *update_buffer() { return buffer; }
int update_length() { return received; }

void free_update_buffer()
{
    free(buffer);
    buffer = nullptr;
    received = 0;
}

int fetch_update_file(const char *url)
{
    // Each check reads only what this download brings.
    free_update_buffer();
    too_large = false;
    CURL *curl = curl_easy_init();
    if (!curl)
        return 1;
    debug_log("Curl init successful.");
    curl_easy_setopt(curl, CURLOPT_URL, url);
    curl_easy_setopt(curl, CURLOPT_HEADER, 0L);
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, write_callback);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, nullptr);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, (long)UPDATE_CONNECT_TIMEOUT);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, (long)UPDATE_TOTAL_TIMEOUT);
    CURLcode result = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    if (result == CURLE_OK) {
        debug_log("Got file successfully");
        return 0;
    }
    debug_log("Error obtaining update file!");
    if (too_large)
        debug_log(" The update file is larger than %d bytes.", (int)UPDATE_MAX_SIZE);
    free_update_buffer();
    return 1;
}

int compare_update_version()
{
    debug_log("Checking versions. File size is %d.", received);
    if (!buffer || received < UPDATE_HEADER_SIZE)
        return 0;
    int32_t major = header_field(0), minor = header_field(4);
    int32_t build = header_field(8), revision = header_field(12);
    // The value wraps like the 32-bit arithmetic it was defined with, without
    // the undefined behaviour of signed overflow.
    int32_t value = (int32_t)((uint32_t)major * 10000000u + (uint32_t)minor * 100000u +
                              (uint32_t)build * 1000u + (uint32_t)revision);
    debug_log("Current version: %d.%d.%d.%d", VERSION_MAJOR, VERSION_MINOR, VERSION_BUILD, VERSION_REVISION);
    debug_log("Newest version: %d.%d.%d.%d", major, minor, build, revision);
    return value >= PROGRAM_VERSION_VALUE + 1 ? 1 : 0;
}

int check_for_updates(const char *url)
{
    debug_log("\nChecking for updates.");
    if (fetch_update_file(url) != 0 || received < UPDATE_HEADER_SIZE) {
        // A file too short for its header tells nothing: a failed check.
        if (buffer)
            debug_log(" The update file holds only %d bytes.", received);
        free_update_buffer();
        debug_log("Failed to retrieve update file: %s", url);
        return -1;
    }
    return compare_update_version();
}

void check_for_updates_command()
{
    // The check replaces the buffer the update window's text pointed into.
    forget_update_text();
    int r = check_for_updates(QTE_UPDATE_URL);
    if (r < 0)
        tell_user("Could not retrieve update status.");
    else if (r == 0)
        tell_user("No new updates available.");
    else
        show_update_text(buffer + UPDATE_HEADER_SIZE, received - UPDATE_HEADER_SIZE);
}
