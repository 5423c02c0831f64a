// The PNG codec: exact paletted round trips, the 24-bit bitmap's colours, hostile files refused (every
// colour type and depth is read against Pillow in image_suite_test).
#include <png.h>
#include <string.h>

#include "imaging/bitmap_export.h"
#include "imaging/page_import.h"
#include "imaging/image_decode.h"
#include "imaging/image_file.h"
#include "imaging/png_image.h"
#include "imaging_support.h"

// The test page as a 256 x 256 paletted PNG of 8 bits.
static bytes make_png()
{
    bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, [](png_structp p, png_bytep d, size_t n) { ((bytes *)png_get_io_ptr(p))->insert(((bytes *)png_get_io_ptr(p))->end(), d, d + n); }, nullptr);
    png_set_IHDR(png, info, 256, 256, 8, PNG_COLOR_TYPE_PALETTE, 0, 0, 0);
    png_color palette[256];
    for (int i = 0; i < 256; i++) palette[i] = {table_byte(i, 0), table_byte(i, 1), table_byte(i, 2)};
    png_set_PLTE(png, info, palette, 256);
    png_write_info(png, info);
    for (int y = 0; y < 256; y++) {
        bytes row;
        for (int x = 0; x < 256; x++) row.push_back(index_at(y * 256 + x));
        png_write_row(png, row.data());
    }
    png_write_end(png, info), png_destroy_write_struct(&png, &info);
    return out;
}

struct png_test : testing::Test {
    level lvl;
    import_image image = {};
    void SetUp() override { make_test_level(&lvl, {true, false}, {4, 9}, {}); }  // page 1: 15-bit
    void TearDown() override { free_import_image(&image), release_level_memory(&lvl); }
    decode_result decode(const bytes &b) { return free_import_image(&image), decode_png(b.data(), b.size(), &image); }
};

TEST_F(png_test, a_paletted_page_comes_back_as_its_8_bit_bitmap_and_rgb_files_hold_the_24_bit_bitmaps_colours)
{
    for (int i = 0; i < 1024; i++) lvl.palettes[1].entries[i / 4][i % 4] = i % 4 == 3 ? 0 : table_byte(i / 4, i % 4);  // palette 9; PNG has no fourth byte
    bytes bmp(BITMAP_24BIT_FILE_SIZE);
    size_t size;
    std::string path = make_temp_folder() + "/page";  // no extension: told apart by its bytes
    for (int page : {0, 0, 1}) {
        bool want_8bit = bmp[0] == 0;  // the first time
        ASSERT_EQ(EXPORT_OK, write_page_png_file(&lvl, page, 9, want_8bit, path.c_str()));
        free_import_image(&image);
        ASSERT_EQ(IMPORT_OK, load_import_image(path.c_str(), &image).code);
        ASSERT_EQ(EXPORT_OK, encode_page_bitmap(&lvl, page, 9, want_8bit, bmp.data(), &size));
        ASSERT_EQ(want_8bit, image.indexed);
        for (int i = 0; !want_8bit && i < PAGE_PIXELS * 3; i++) ASSERT_EQ(bmp[54 + ((255 - i / 768) * 256 + i / 3 % 256) * 3 + 2 - i % 3], image.pixels[i]) << page << " " << i;
        if (!want_8bit) continue;
        // The indices unchanged, and the palette's colours (a new palette).
        EXPECT_EQ(0, memcmp(image.pixels, lvl.textures[0].pixels, PAGE_PIXELS));
        EXPECT_TRUE(import_image_into_page(&lvl, 0, &image, nullptr) == IMPORT_OK && memcmp(lvl.palettes[1].entries, lvl.palettes[2].entries, 1024) == 0);
    }
    free_import_image(&image);
    EXPECT_EQ(IMPORT_CANNOT_OPEN, load_import_image((path + ".none").c_str(), &image).code);
}

// The bytes of `parts` one after another.
static bytes join(std::initializer_list<bytes> parts)
{
    bytes out;
    for (const bytes &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A chunk of `type` declaring `length` bytes, followed by `rest` (its data and checksum, or fewer bytes).
static bytes chunk(const char *type, uint32_t length, bytes rest = {})
{
    return join({{(unsigned char)(length >> 24), (unsigned char)(length >> 16), (unsigned char)(length >> 8), (unsigned char)length}, {type, type + 4}, rest});
}

TEST_F(png_test, hostile_files_are_refused_with_their_reason_and_nothing_kept)
{
    bytes good = make_png(), half(good.begin(), good.begin() + good.size() / 2), no_end(good.begin(), good.end() - 12);
    bytes crc = good, wide = good, tall = good, empty = good, depth = good, cut_signature(good.begin(), good.begin() + 5);
    crc[900] ^= 1;
    wide[18] = 0x20, wide[19] = 0x01, tall[22] = 0x20, tall[23] = 0x01, empty[18] = 0, empty[19] = 0, depth[24] = 3;
    const bytes signature(good.begin(), good.begin() + 8), header(good.begin() + 8, good.begin() + 33), end = chunk("IEND", 0, {0xAE, 0x42, 0x60, 0x82});
    // A text chunk declaring a gigabyte in a file of 57 bytes: libpng alone would allocate and clear all of it.
    const bytes huge_text = join({signature, header, chunk("tEXt", 0x3FFFFFFF, {'a', 0, 'b'}), end});
    const char *too_large = "the image is larger than 8192 x 8192 pixels";
    struct { bytes file; int code; const char *reason; } cases[] = {
        {valid_8bit(), IMPORT_NOT_IMAGE, "the file has no PNG signature"}, {{}, IMPORT_NOT_IMAGE, "the file has no PNG signature"},
        {cut_signature, IMPORT_TRUNCATED, "the file is truncated"}, {no_end, IMPORT_TRUNCATED, "the file is truncated"},
        {half, IMPORT_TRUNCATED, "a chunk's length runs past the end of the file"}, {huge_text, IMPORT_TRUNCATED, "a chunk's length runs past the end of the file"},
        {wide, IMPORT_TOO_LARGE, too_large}, {tall, IMPORT_TOO_LARGE, too_large}, {empty, IMPORT_CORRUPT, "the width is zero"},
        {depth, IMPORT_CORRUPT, "the PNG header is damaged"}, {join({signature, chunk("tEXt", 1, {'a', 1, 2, 3, 4}), header, end}), IMPORT_CORRUPT, "the PNG file does not start with its header"},
        {join({signature, header, header, end}), IMPORT_CORRUPT, "the PNG file has a second header"},
#ifndef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION  // checksums are not checked there
        {crc, IMPORT_CORRUPT, "the PNG file is damaged (a checksum is wrong)"},
#endif
    };
    for (auto &c : cases) {
        c.file.shrink_to_fit();  // exact size, so ASan sees any over-read
        decode_result result = decode(c.file);
        EXPECT_EQ(c.code, result.code) << c.reason;
        EXPECT_STREQ(c.reason, result.reason);
        EXPECT_TRUE(image.pixels == nullptr && !image.indexed);
    }
}
