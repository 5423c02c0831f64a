// The PNG codec: exact paletted round trips, the 24-bit bitmap's colours, hostile files refused, other PNGs as true colour.
#include <png.h>
#include <string.h>
#include <zlib.h>

#include "imaging/bitmap_export.h"
#include "imaging/bitmap_import.h"
#include "imaging/image_file.h"
#include "imaging/png_image.h"
#include "imaging_support.h"

// Channel c (red, green, blue, alpha) of pixel (x, y) in a test PNG of colour `type`; a grey
// file keeps red, a paletted one shows index_at(...) % colours through table_byte.
static unsigned char test_colour(int type, int x, int y, int c, int colours = 256)
{
    if (type == PNG_COLOR_TYPE_PALETTE) return c == 4 ? index_at(y * 256 + x) % colours : table_byte(index_at(y * 256 + x) % colours, c);
    if ((type & PNG_COLOR_MASK_COLOR) == 0 && c < 3) c = 0;
    return (unsigned char)(c == 0 ? x * 7 + y : c == 1 ? y * 3 : c == 2 ? x ^ y : x + 1);
}

static bytes make_png(int w, int h, int type, int depth = 8, int interlace = PNG_INTERLACE_NONE, int colours = 256)
{
    bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, [](png_structp p, png_bytep d, size_t n) { ((bytes *)png_get_io_ptr(p))->insert(((bytes *)png_get_io_ptr(p))->end(), d, d + n); }, nullptr);
    png_set_IHDR(png, info, w, h, depth, type, interlace, 0, 0);
    png_color palette[256];
    for (int i = 0; i < colours; i++) palette[i] = {table_byte(i, 0), table_byte(i, 1), table_byte(i, 2)};
    if (type == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, palette, colours);
    png_write_info(png, info);
    png_set_packing(png);
    const std::vector<int> channels = type == PNG_COLOR_TYPE_PALETTE ? std::vector<int>{4} : type == PNG_COLOR_TYPE_GRAY ? std::vector<int>{0}
        : type == PNG_COLOR_TYPE_GA ? std::vector<int>{0, 3} : type == PNG_COLOR_TYPE_RGB ? std::vector<int>{0, 1, 2} : std::vector<int>{0, 1, 2, 3};
    for (int pass = png_set_interlace_handling(png); pass > 0; pass--)
        for (int y = 0; y < h; y++) {
            bytes row;
            for (int x = 0; x < w; x++)
                for (int c : channels) row.insert(row.end(), depth / 8 == 2 ? 2 : 1, test_colour(type, x, y, c, colours));  // 16 bits: v * 257
            png_write_row(png, row.data());
        }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

struct png_test : testing::Test {
    level lvl;
    import_image image = {};
    log_capture log;
    void SetUp() override { make_test_level(&lvl, {true, false}, {4, 9}, {}), log.clear(); }  // page 1: 15-bit
    void TearDown() override { free_import_image(&image), release_level_memory(&lvl); }
    int decode(const bytes &b) { return free_import_image(&image), decode_png_image(b.data(), b.size(), &image); }
};

TEST_F(png_test, a_paletted_page_comes_back_exactly_and_rgb_files_hold_the_24_bit_bitmaps_colours)
{
    for (int i = 0; i < 1024; i++) lvl.palettes[1].entries[i / 4][i % 4] = table_byte(i / 4, i % 4);  // palette 9
    unsigned char *png;
    size_t size;
    ASSERT_EQ(EXPORT_OK, encode_page_png(&lvl, 0, 9, true, &png, &size));
    ASSERT_EQ(IMPORT_OK, decode(bytes(png, png + size)));
    free(png);
    EXPECT_TRUE(image.indexed && memcmp(image.pixels, lvl.textures[0].pixels, PAGE_PIXELS) == 0);
    for (int i = 0; i < 1024; i++) ASSERT_EQ(i % 4 == 3 ? 0 : table_byte(i / 4, i % 4), image.entries[i / 4][i % 4]) << i;
    bytes bmp(BITMAP_24BIT_FILE_SIZE);
    for (int page : {0, 1}) {
        std::string path = make_temp_folder() + "/page.png";
        ASSERT_EQ(EXPORT_OK, write_page_png_file(&lvl, page, 9, page == 1, path.c_str()));
        ASSERT_EQ(IMPORT_OK, decode(read_file_bytes(path)));
        ASSERT_EQ(EXPORT_OK, encode_page_bitmap(&lvl, page, 9, false, bmp.data(), &size));
        for (int i = 0; i < PAGE_PIXELS * 3; i++)
            ASSERT_EQ(bmp[54 + ((255 - i / 768) * 256 + i / 3 % 256) * 3 + 2 - i % 3], image.pixels[i]) << page << " " << i;
    }
}

TEST_F(png_test, hostile_files_are_refused_with_one_line_and_nothing_kept)
{
    bytes good = make_png(256, 256, PNG_COLOR_TYPE_PALETTE), half(good.begin(), good.begin() + good.size() / 2), no_end(good.begin(), good.end() - 12), crc = good, wide = good, tall = good, empty = good;
    crc[900] ^= 1;
    wide[18] = 0x20, wide[19] = 0x01, tall[22] = 0x20, tall[23] = 0x01, empty[18] = 0, empty[19] = 0;
    uint32_t sum = (uint32_t)crc32(0, empty.data() + 12, 17);  // a zero width with a right CRC
    for (int i = 0; i < 4; i++) empty[29 + i] = (unsigned char)(sum >> (24 - 8 * i));
    struct { bytes file; int code; const char *message; } cases[] = {
        {valid_8bit(), IMPORT_CORRUPT, "Can't load the PNG image: it has no PNG signature and header."},
        {half, IMPORT_CORRUPT, "Can't load the PNG image: the file is truncated."},
        {no_end, IMPORT_CORRUPT, "Can't load the PNG image: the file is truncated."}, {crc, IMPORT_CORRUPT, "Can't load the PNG image: IDAT: CRC error."},
        {wide, IMPORT_TOO_LARGE, "Can't load the PNG image: it is 8193 x 256 pixels, larger than 8192 x 8192."},
        {tall, IMPORT_TOO_LARGE, "Can't load the PNG image: it is 256 x 8193 pixels, larger than 8192 x 8192."},
        {empty, IMPORT_CORRUPT, "Can't load the PNG image: Invalid IHDR data."}};
    for (auto &c : cases) {
        log.clear(), c.file.shrink_to_fit();  // exact size, so ASan sees any over-read
        EXPECT_EQ(c.code, decode(c.file)) << c.message;
        EXPECT_EQ(c.message, log.lines().back());
        EXPECT_TRUE(image.pixels == nullptr && !image.indexed);
    }
}

TEST_F(png_test, only_256_square_8_bit_paletted_files_stay_indexed_and_the_rest_are_cropped_or_padded_true_colour)
{
    struct { int w, h, type, depth, interlace, colours; bool indexed; } cases[] = {
        {256, 256, PNG_COLOR_TYPE_PALETTE, 8, PNG_INTERLACE_ADAM7, 16, true}, {256, 256, PNG_COLOR_TYPE_PALETTE, 4, 0, 16, false},
        {100, 300, PNG_COLOR_TYPE_PALETTE, 8, 0, 256, false}, {8192, 1, PNG_COLOR_TYPE_RGB, 8, 0, 256, false},
        {300, 260, PNG_COLOR_TYPE_RGBA, 8, PNG_INTERLACE_ADAM7, 256, false}, {100, 50, PNG_COLOR_TYPE_GRAY, 16, 0, 256, false},
        {256, 256, PNG_COLOR_TYPE_GA, 8, PNG_INTERLACE_ADAM7, 256, false}};
    for (const auto &c : cases) {
        ASSERT_EQ(IMPORT_OK, decode(make_png(c.w, c.h, c.type, c.depth, c.interlace, c.colours))) << c.w << " " << c.type;
        EXPECT_TRUE(image.indexed == c.indexed && image.width == c.w && image.height == c.h);
        for (int i = 0; c.indexed && i < 1024; i++) ASSERT_EQ(i / 4 < c.colours && i % 4 < 3 ? table_byte(i / 4, i % 4) : 0, image.entries[i / 4][i % 4]);
        const int channels = c.indexed ? 1 : 3;
        for (int i = 0; i < PAGE_PIXELS * channels; i++) {
            int x = i / channels % 256, y = i / channels / 256;
            ASSERT_EQ(x < c.w && y < c.h ? test_colour(c.type, x, y, c.indexed ? 4 : i % 3, c.colours) : 0, image.pixels[i]) << c.w << " " << x << "," << y;
        }
    }
}

TEST_F(png_test, a_paletted_png_imports_as_its_8_bit_bitmap_does_and_files_are_told_apart_by_their_bytes)
{
    bytes bmp = valid_8bit();
    for (int i = 0; i < 256; i++) bmp[54 + i * 4 + 3] = 0;  // a PNG's palette has no fourth byte
    level other;
    make_test_level(&other, {true, false}, {4, 9}, {});
    std::string folder = make_temp_folder();
    ASSERT_TRUE(write_file_bytes(folder + "/a.png", make_png(256, 256, PNG_COLOR_TYPE_PALETTE)) && write_file_bytes(folder + "/a.bmp", bmp));
    for (const char *name : {"/a.png", "/a.bmp"}) {
        ASSERT_EQ(IMPORT_OK, load_import_image((folder + name).c_str(), &image));
        ASSERT_EQ(IMPORT_OK, import_image_into_page(&lvl, 0, &image, nullptr));
        free_import_image(&image);
    }
    ASSERT_EQ(IMPORT_OK, import_8bit_bitmap_bytes(&other, 0, bmp.data(), bmp.size(), nullptr));
    ASSERT_EQ(IMPORT_OK, import_8bit_bitmap_bytes(&other, 0, bmp.data(), bmp.size(), nullptr));
    EXPECT_EQ(lvl.palette_count, other.palette_count);
    EXPECT_EQ(0, memcmp(lvl.palettes, other.palettes, lvl.palette_count * sizeof(level_palette)));
    EXPECT_EQ(0, memcmp(lvl.textures[0].pixels, other.textures[0].pixels, PAGE_PIXELS));
    release_level_memory(&other);
    EXPECT_EQ(IMPORT_CANNOT_OPEN, load_import_image((folder + "/none.png").c_str(), &image));
}
