// The JPEG decoder for import: baseline and progressive, grey and YCbCr, through libjpeg.
//
// libjpeg reports errors by calling an exit routine that must not return;
// ours longjmps back to the setjmp in run_jpeg_read, which owns nothing that
// needs cleaning up: the decompressor (its memory pool with it) and the image
// belong to decode_jpeg, which releases them whatever happened.
#include <limits.h>
#include <setjmp.h>
#include <stdint.h>
#include <stdio.h>  // jpeglib.h needs FILE declared first

#include <jerror.h>
#include <jpeglib.h>

#include "imaging/image_decode.h"

namespace {

// How much memory libjpeg may take for one file. A progressive or multi-scan
// file keeps the coefficients of the whole picture (2 bytes a sample) until
// its last scan: a few hundred bytes can declare an 8192 x 8192 picture and
// make the library clear 400 MB for it. Real photos are far denser: a
// 4000 x 3000 progressive photo needs 72 MB at 4:4:4 (36 MB at 4:2:0) and
// its file is rarely under half a megabyte. So the allowance is 12 MiB, with
// room for every baseline file and small progressive ones, plus 256 times
// the file's size: a tiny file stays within 16 MiB in all, a 4000 x 3000
// 4:4:4 photo loads from 240 KB up, an 8192 x 8192 one from 1.5 MB up.
const size_t JPEG_BASE_MEMORY = (size_t)12 << 20;
const size_t JPEG_MEMORY_PER_FILE_BYTE = 256;

// What the error routines keep. `errors` comes first: libjpeg hands back a
// pointer to it, which leads to the rest.
struct jpeg_failure {
    jpeg_error_mgr errors;
    jmp_buf jump;
};

void on_jpeg_error(j_common_ptr cinfo)
{
    longjmp(((jpeg_failure *)(void *)cinfo->err)->jump, 1);
}

// A premature end of the file ends decoding at once (libjpeg would go on
// with made-up data); other warnings mean damaged data that libjpeg decodes
// the same way every time, and are dropped, as are its trace messages.
void on_jpeg_message(j_common_ptr cinfo, int level)
{
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) on_jpeg_error(cinfo);
}

void drop_jpeg_output(j_common_ptr) {}

// libjpeg's errors as the fixed phrases a refusal gives; any other is damage.
struct jpeg_refusal {
    int message_code;
    int code;
    const char *reason;
};

const jpeg_refusal jpeg_refusals[] = {
    {JWRN_JPEG_EOF, IMPORT_TRUNCATED, "the file is truncated"},
    {JERR_INPUT_EOF, IMPORT_TRUNCATED, "the file is truncated"},
    {JERR_INPUT_EMPTY, IMPORT_TRUNCATED, "the file is truncated"},
    {JERR_NO_SOI, IMPORT_NOT_IMAGE, "the file has no JPEG signature"},
    {JERR_NO_BACKING_STORE, IMPORT_TOO_LARGE, "the JPEG file would take too much memory to decode"},
    {JERR_OUT_OF_MEMORY, IMPORT_NO_MEMORY, "there is not enough memory"},
    {JERR_EMPTY_IMAGE, IMPORT_CORRUPT, "the width or height is zero"},
    {JERR_IMAGE_TOO_BIG, IMPORT_TOO_LARGE, "the image is larger than 8192 x 8192 pixels"},
    {JERR_BAD_PRECISION, IMPORT_UNSUPPORTED, "a JPEG of more than 8 bits a sample (not supported)"},
    {JERR_SOF_UNSUPPORTED, IMPORT_UNSUPPORTED, "a lossless or hierarchical JPEG (not supported)"},
    {JERR_CONVERSION_NOTIMPL, IMPORT_UNSUPPORTED, "a JPEG in an unknown colour space (not supported)"},
};

decode_result refusal_of(int message_code)
{
    for (const jpeg_refusal &r : jpeg_refusals)
        if (r.message_code == message_code) return refuse(r.code, r.reason);
    return refuse(IMPORT_CORRUPT, "the JPEG file is damaged");
}

// Decodes the whole file into `image` (empty until the sides are known)
// with `cinfo` zeroed but for its error routines. Every row is decoded,
// though only the top 256 are kept, so that a file cut short anywhere is
// refused.
decode_result run_jpeg_read(jpeg_decompress_struct *cinfo, jpeg_failure *failure, const unsigned char *bytes,
                            size_t size, import_image *image)
{
    if (setjmp(failure->jump)) return refusal_of(failure->errors.msg_code);
    jpeg_create_decompress(cinfo);
    cinfo->mem->max_memory_to_use = size > (LONG_MAX - JPEG_BASE_MEMORY) / JPEG_MEMORY_PER_FILE_BYTE
                                        ? LONG_MAX
                                        : (long)(JPEG_BASE_MEMORY + size * JPEG_MEMORY_PER_FILE_BYTE);
    jpeg_mem_src(cinfo, bytes, (unsigned long)size);
    jpeg_read_header(cinfo, TRUE);
    decode_result sides = check_image_sides(cinfo->image_width, cinfo->image_height);
    if (sides.code != IMPORT_OK) return sides;
    switch (cinfo->jpeg_color_space) {
    case JCS_GRAYSCALE: case JCS_YCbCr: case JCS_RGB: break;
    case JCS_CMYK: case JCS_YCCK: return refuse(IMPORT_UNSUPPORTED, "a CMYK JPEG (not supported)");
    default: return refusal_of(JERR_CONVERSION_NOTIMPL);
    }
    cinfo->out_color_space = JCS_RGB;  // grey comes out as three equal channels

    jpeg_start_decompress(cinfo);
    if (cinfo->output_components != 3) return refusal_of(JERR_CONVERSION_NOTIMPL);
    decode_result begun = begin_rgb_image(image, (int)cinfo->output_width, (int)cinfo->output_height);
    if (begun.code != IMPORT_OK) return begun;
    JSAMPARRAY row = (*cinfo->mem->alloc_sarray)((j_common_ptr)cinfo, JPOOL_IMAGE, cinfo->output_width * 3, 1);
    const JDIMENSION kept = cinfo->output_width < (JDIMENSION)PAGE_SIZE ? cinfo->output_width : (JDIMENSION)PAGE_SIZE;
    while (cinfo->output_scanline < cinfo->output_height) {
        const JDIMENSION y = cinfo->output_scanline;
        if (jpeg_read_scanlines(cinfo, row, 1) != 1) return refusal_of(JWRN_JPEG_EOF);
        if (y >= PAGE_SIZE) continue;
        for (JDIMENSION x = 0; x < kept; x++) put_rgb(image, x, y, row[0][x * 3], row[0][x * 3 + 1], row[0][x * 3 + 2]);
    }
    jpeg_finish_decompress(cinfo);
    return decoded();
}

}  // namespace

decode_result decode_jpeg(const unsigned char *bytes, size_t size, import_image *image)
{
    *image = import_image();
    jpeg_decompress_struct cinfo = {};  // destroying it is safe even if creating it failed
    jpeg_failure failure;
    cinfo.err = jpeg_std_error(&failure.errors);
    failure.errors.error_exit = on_jpeg_error;
    failure.errors.emit_message = on_jpeg_message;
    failure.errors.output_message = drop_jpeg_output;
    decode_result result = run_jpeg_read(&cinfo, &failure, bytes, size, image);
    jpeg_destroy_decompress(&cinfo);
    if (result.code != IMPORT_OK) free_import_image(image);
    return result;
}
