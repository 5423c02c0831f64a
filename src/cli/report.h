// The tool's reports on a loaded level: its contents (a table or JSON) and
// what a modder should know about its references.
#pragma once
#include <stdio.h>

struct level;

// Writes the pages, palettes, named textures and counts of `lvl`: a table
// for reading, or with `json` one JSON document (keys in the manual).
// Returns 0.
int write_level_info(FILE *out, const level *lvl, bool json);

// Writes one line per finding: palette ids without a palette, lists of pages
// the level lacks, named rectangles outside their page or on no page,
// polygons the model decoder skipped as unsafe, paletted pages no list
// covers. Returns how many lines it wrote.
int write_level_check(FILE *out, const level *lvl);
