// Writes the demo level: make_demo_level OUT.lev OUT.d3d
#include <stdio.h>

#include "demo/demo_level.h"

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: make_demo_level OUT.lev OUT.d3d\n");
        return 2;
    }
    sample_level demo = make_demo_level();
    if (!write_bytes_to_file(argv[1], demo.lev) || !write_bytes_to_file(argv[2], demo.d3d)) {
        fprintf(stderr, "make_demo_level: cannot write %s or %s\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
