// The canvas the image decoders paint into: the top-left 256 x 256 pixels.
#include <stdlib.h>
#include <string.h>

#include "imaging/image_decode.h"

decode_result check_image_sides(int64_t width, int64_t height)
{
    if (width < 0) return refuse(IMPORT_CORRUPT, "the width is negative");
    if (height < 0) return refuse(IMPORT_CORRUPT, "the height is negative");
    if (width == 0) return refuse(IMPORT_CORRUPT, "the width is zero");
    if (height == 0) return refuse(IMPORT_CORRUPT, "the height is zero");
    if (width > IMAGE_MAX_SIDE || height > IMAGE_MAX_SIDE)
        return refuse(IMPORT_TOO_LARGE, "the image is larger than 8192 x 8192 pixels");
    return decoded();
}

decode_result begin_rgb_image(import_image *image, int width, int height)
{
    decode_result sides = check_image_sides(width, height);
    if (sides.code != IMPORT_OK) return sides;
    *image = import_image();
    image->pixels = (unsigned char *)calloc(PAGE_PIXELS, 3);
    if (!image->pixels) return refuse(IMPORT_NO_MEMORY, "there is not enough memory");
    image->width = width;
    image->height = height;
    return decoded();
}

decode_result begin_indexed_image(import_image *image, const unsigned char (*entries)[4], int count)
{
    *image = import_image();
    image->pixels = (unsigned char *)calloc(PAGE_PIXELS, 1);
    if (!image->pixels) return refuse(IMPORT_NO_MEMORY, "there is not enough memory");
    image->indexed = true;
    image->width = image->height = PAGE_SIZE;
    if (count > 256) count = 256;
    if (count > 0) memcpy(image->entries, entries, (size_t)count * 4);
    return decoded();
}
