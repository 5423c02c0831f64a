// The program's version, one place for the editor, its update check and the command-line tool.
#pragma once

enum { VERSION_MAJOR = 2, VERSION_MINOR = 0, VERSION_BUILD = 0, VERSION_REVISION = 0 };
// As the update file's version compares: major * 10,000,000 + minor * 100,000 + build * 1,000 + revision.
enum {
    PROGRAM_VERSION_VALUE = VERSION_MAJOR * 10000000 + VERSION_MINOR * 100000 + VERSION_BUILD * 1000 + VERSION_REVISION
};
