// The debug log: every message goes to "debug.txt" and the console.
#pragma once
#include <stdio.h>

// Opens (truncating) the log file and logs "Debug file initialized.".
// A file that cannot be opened leaves logging silently off.
void open_debug_log(const char *path);
// Logs "Closing debug file." and closes the file; nothing logs afterwards.
void close_debug_log();
// printf-style; callers pass whole sentences without a trailing newline.
// Each message ends in " \n" in the file and on standard output and the file
// is flushed, so it is complete up to the last message even after a crash.
void debug_log(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Where messages are echoed: standard output by default, null for nowhere.
// The command-line tool keeps its standard output for its own output.
void set_debug_log_echo(FILE *echo);

