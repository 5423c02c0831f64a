// The editor's entry point: the command line; everything else lives in the library.
#include <allegro.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "app/editor.h"
#include "base/command_line.h"
#include "base/file_system.h"

static const char USAGE[] =
    "Usage: qte [LEVEL.lev [LEVEL.d3d]]\n"
    "Opens the texture pages of a level; without LEVEL.d3d, the file named as\n"
    "the level with \".d3d\" (in any case) beside it.\n"
    "  --help     show this text\n"
    "  --version  show the version\n";

int main(int argc, char **argv)
{
    // UTF-8 words on every system (Windows hands main the local code page).
    command_line line;
    read_command_line(argc, argv, &line);
    argc = (int)line.words.size();
    argv = line.argv.data();
    const char *files[2] = {nullptr, nullptr};
    int file_count = 0;
    bool options_done = false;
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        if (!options_done && strcmp(a, "--help") == 0) {
            fputs(USAGE, stdout);
            return 0;
        }
        if (!options_done && strcmp(a, "--version") == 0) {
            puts("Quarly Texture Editor 2.0");
            return 0;
        }
        if (!options_done && strcmp(a, "--") == 0) {
            options_done = true;
        } else if ((!options_done && a[0] == '-' && a[1] != '\0') || file_count == 2) {
            fprintf(stderr, "qte: unexpected argument: %s\n%s", a, USAGE);
            return 2;
        } else {
            files[file_count++] = a;
        }
    }
    // Made absolute, so the folders the editor remembers for its file
    // dialogs are real folders.
    std::string lev = files[0] ? absolute_path(files[0]) : "", d3d = files[1] ? absolute_path(files[1]) : "";
    return run_editor(files[0] ? lev.c_str() : nullptr, files[1] ? d3d.c_str() : nullptr);
}
END_OF_MAIN()
