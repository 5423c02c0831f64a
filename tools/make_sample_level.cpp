// Writes a synthetic sample level (level file and palette-list file) of a
// chosen size, for the end-to-end tests and timing runs.
//
// Usage: make_sample_level LEVEL.lev LIST.d3d [PALETTED_PAGES [RGB15_PAGES]]
#include <stdio.h>
#include <stdlib.h>

#include "demo/level_builder.h"

int main(int argc, char **argv)
{
    if (argc < 3 || argc > 5) {
        fprintf(stderr, "usage: make_sample_level LEVEL.lev LIST.d3d [PALETTED_PAGES [RGB15_PAGES]]\n");
        return 2;
    }
    int paletted = argc > 3 ? atoi(argv[3]) : 2;
    int rgb15 = argc > 4 ? atoi(argv[4]) : 1;
    if (paletted < 0 || rgb15 < 0 || paletted + rgb15 > 256) {
        fprintf(stderr, "make_sample_level: between 0 and 256 pages in all\n");
        return 2;
    }
    sample_level sample = make_sample_level(paletted, rgb15);
    if (!write_bytes_to_file(argv[1], sample.lev) || !write_bytes_to_file(argv[2], sample.d3d)) {
        fprintf(stderr, "make_sample_level: cannot write the files\n");
        return 1;
    }
    return 0;
}
