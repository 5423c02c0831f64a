// Fuzz entry point: the PCX decoder on bytes.
#include <stdint.h>
#include <stdlib.h>

#include "imaging/image_decode.h"
#include "imaging/image_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    import_image image = import_image();
    const decode_result result = decode_pcx(data, size, &image);
    // A refusal leaves the image empty and names its reason.
    const bool empty = image.pixels == nullptr;
    if (result.code == IMPORT_OK ? empty : !empty || !result.reason[0]) abort();
    free_import_image(&image);
    return 0;
}
