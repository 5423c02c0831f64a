// Fuzz entry for the model decoder: the input is one model's bytes.
#include <stdint.h>
#include <stdio.h>

#include "level/model.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (!freopen("/dev/null", "w", stdout)) return 0;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    model m;
    clear_model(&m);
    if (decode_model(data, size, &m) == DECODE_OK) {
        check_model_list(&m, 1);
        for (int p = 0; p < m.polygon_count; p++) {
            const model_polygon &q = m.polygons[p];
            if (q.unsafe || m.instance_of != -1) continue;
            // A safe polygon's corners index the model's vertex table.
            volatile float sink = m.vertices ? m.vertices[q.corners[0]][0] : 0.0f;
            (void)sink;
        }
    }
    free_model(&m);
    return 0;
}
