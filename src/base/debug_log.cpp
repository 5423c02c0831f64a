// The debug log: one file handle, echoed to standard output.
#include "base/debug_log.h"

#include <stdarg.h>

#include "base/file_system.h"

static FILE *debug_file = nullptr;   // null while logging is off
static FILE *echo_file = stdout;    // null: the file only

void set_debug_log_echo(FILE *echo) { echo_file = echo; }

void open_debug_log(const char *path)
{
    debug_file = open_file(path, "wb");   // "\n" alone on every system
    debug_log("Debug file initialized.");
}

void close_debug_log()
{
    if (!debug_file) return;
    debug_log("Closing debug file.");
    fclose(debug_file);
    debug_file = nullptr;
}

void debug_log(const char *format, ...)
{
    if (!debug_file) return;
    va_list args;
    va_start(args, format);
    vfprintf(debug_file, format, args);
    va_end(args);
    fputs(" \n", debug_file);
    if (echo_file) {
        va_start(args, format);
        vfprintf(echo_file, format, args);
        va_end(args);
        fputs(" \n", echo_file);
    }
    fflush(debug_file);
}
