// The command line on Windows: the UTF-16 command line as UTF-8 words; standard streams in binary mode.
#include "base/command_line.h"

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>
#include <shellapi.h>

#include "base/utf16.h"

void read_command_line(int argc, char **argv, command_line *line)
{
    line->words.clear();
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide) {
        for (int i = 0; i < count; i++) line->words.push_back(utf8_from_utf16(wide[i]));
        LocalFree(wide);
    } else {
        line->words.assign(argv, argv + argc);
    }
    line->argv.clear();
    for (std::string &word : line->words) line->argv.push_back(&word[0]);
    line->argv.push_back(nullptr);
    // A window program (the editor) has no standard output; started from a
    // console, it writes its help and errors there.
    if (!GetStdHandle(STD_OUTPUT_HANDLE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        (void)!freopen("CONOUT$", "w", stdout);
        (void)!freopen("CONOUT$", "w", stderr);
    }
    // Text mode would turn each "\n" into "\r\n"; the output stays as on
    // other systems, and a console shows its UTF-8 as such.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
}
