// Fuzz entry point: the JPEG decoder on bytes (what it hands on goes through
// the importers that fuzz_image_import covers).
#include <stdint.h>

#include "imaging/image_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    import_image image;
    decode_jpeg(data, size, &image);
    free_import_image(&image);
    return 0;
}
