// Fuzz entry point: the BMP decoder on bytes.
#include <stdint.h>

#include "imaging/image_decode.h"
#include "imaging/image_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    import_image image = import_image();
    decode_bmp(data, size, &image);
    free_import_image(&image);
    return 0;
}
