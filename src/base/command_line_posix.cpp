// The command line on POSIX systems: main's arguments are already the bytes the user typed.
#include "base/command_line.h"

void read_command_line(int argc, char **argv, command_line *line)
{
    line->words.assign(argv, argv + argc);
    line->argv.clear();
    for (std::string &word : line->words) line->argv.push_back(&word[0]);
    line->argv.push_back(nullptr);
}
