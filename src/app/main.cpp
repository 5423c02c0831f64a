// The editor's entry point: the command line; everything else lives in the library.
#include <allegro.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "app/editor.h"

static const char USAGE[] =
    "Usage: qte [LEVEL.lev [LEVEL.d3d]]\n"
    "Opens the texture pages of a level; without LEVEL.d3d, the file named as\n"
    "the level with \".d3d\" (in any case) beside it.\n"
    "  --help     show this text\n"
    "  --version  show the version\n";

// A path from the command line made absolute, so the folders the editor
// remembers for its file dialogs are real folders.
static std::string absolute(const char *path)
{
    char here[4096];
    if (path[0] == '/' || !getcwd(here, sizeof here)) return path;
    return std::string(here) + "/" + path;
}

int main(int argc, char **argv)
{
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
    std::string lev = files[0] ? absolute(files[0]) : "", d3d = files[1] ? absolute(files[1]) : "";
    return run_editor(files[0] ? lev.c_str() : nullptr, files[1] ? d3d.c_str() : nullptr);
}
END_OF_MAIN()
