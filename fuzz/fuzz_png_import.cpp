// Fuzz entry point: the PNG decoder on bytes (what it hands on goes through
// the importers that fuzz_bitmap_import covers).
#include <stdint.h>

#include "imaging/image_file.h"
#include "imaging/png_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    import_image image;
    decode_png_image(data, size, &image);
    free_import_image(&image);
    return 0;
}
