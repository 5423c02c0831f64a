// Stand-ins for pieces other parts of the editor have not delivered yet;
// each is used only while its real header is missing.
#pragma once

struct level;

#if __has_include("imaging/unused_palettes.h")
#include "imaging/unused_palettes.h"
#else
void delete_unused_palettes(level *lvl);
#endif
