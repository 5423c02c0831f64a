// Writes a large benchmark level: make_big_level OUT.lev OUT.d3d [PAGES [MODELS]]
#include <stdio.h>
#include <stdlib.h>

#include "demo/demo_level.h"

int main(int argc, char **argv)
{
    if (argc < 3 || argc > 5) {
        fprintf(stderr, "usage: make_big_level OUT.lev OUT.d3d [PAGES (160)] [MODELS (1000)]\n");
        return 2;
    }
    int pages = argc > 3 ? atoi(argv[3]) : 160;
    int models = argc > 4 ? atoi(argv[4]) : 1000;
    if (pages < 1 || pages > 32000 || models < 0 || models > 65535) {
        fprintf(stderr, "make_big_level: PAGES must be 1-32000 and MODELS 0-65535\n");
        return 2;
    }
    sample_level big = make_big_level(pages, models);
    if (!write_bytes_to_file(argv[1], big.lev) || !write_bytes_to_file(argv[2], big.d3d)) {
        fprintf(stderr, "make_big_level: cannot write %s or %s\n", argv[1], argv[2]);
        return 1;
    }
    printf("%d pages, %d models: %zu + %zu bytes\n", pages, models, big.lev.size(), big.d3d.size());
    return 0;
}
