// The update check: the version file's buffer, the comparison and the command.
#include "app/update_check.h"

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

// Reads the little-endian signed 32-bit field at `offset` of the buffer.
int32_t header_field(int offset)
{
    const unsigned char *p = (const unsigned char *)buffer + offset;
    return (int32_t)((uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24);
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
    std::string body;
    if (download_update_file(url, &body) != 0)
        return 1;
    buffer = (char *)malloc(body.size() + 1);
    if (!buffer)
        return 1;
    memcpy(buffer, body.data(), body.size() + 1);
    received = (int)body.size();
    return 0;
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
