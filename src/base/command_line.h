// The program's arguments and standard streams as the system hands them over.
#pragma once
#include <string>
#include <vector>

// The arguments as UTF-8 words and an argv over them (null-terminated).
struct command_line {
    std::vector<std::string> words;
    std::vector<char *> argv;
};

// Fills `line` from main's arguments (on Windows from the UTF-16 command
// line, since main's own are in the local code page) and makes standard
// output and error pass bytes through unchanged, so both systems write the
// same bytes.
void read_command_line(int argc, char **argv, command_line *line);
