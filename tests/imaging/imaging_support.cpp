// Helpers of the imaging tests: in-memory levels, pictures, log capture.
#include "imaging_support.h"

#include <allegro.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include "app/debug_log.h"
#include "test_support.h"

void test_palette_colour(int id, int i, unsigned char out[4])
{
    out[0] = (unsigned char)(i * 7 + id * 31);
    out[1] = (unsigned char)(255 - i);
    out[2] = (unsigned char)(i * 3 + id);
    out[3] = (unsigned char)(i ^ 0x5A);
}

void make_test_level(level *lvl, const std::vector<bool> &paletted_pages, const std::vector<int> &palette_ids,
                     const std::vector<test_list> &lists)
{
    memset(lvl, 0, sizeof *lvl);
    lvl->load_mask = LOAD_ALL;
    lvl->texture_count = (int)paletted_pages.size();
    lvl->textures = (level_texture *)calloc(paletted_pages.size() + 1, sizeof(level_texture));
    for (size_t t = 0; t < paletted_pages.size(); t++) {
        level_texture &page = lvl->textures[t];
        page.paletted = paletted_pages[t];
        page.flags = page.paletted ? PAGE_FLAG_PALETTED : 0;
        page.palette_slot = 0;
        page.palette_slot_count = -1;
        if (page.paletted) {
            page.pixels = (unsigned char *)malloc(PAGE_PIXELS);
            for (int i = 0; i < PAGE_PIXELS; i++) page.pixels[i] = (unsigned char)(i % 251 + t);
        } else {
            page.pixels = (unsigned char *)malloc(PAGE_PIXELS * 2);
            uint16_t *p = page_pixels16(page);
            for (int i = 0; i < PAGE_PIXELS; i++) p[i] = (uint16_t)(i * 37 + t);
        }
    }
    lvl->palette_count = (int)palette_ids.size();
    lvl->palettes = (level_palette *)calloc(palette_ids.size() + 1, sizeof(level_palette));
    int max_id = -1;
    for (size_t p = 0; p < palette_ids.size(); p++) {
        lvl->palettes[p].id = (int16_t)palette_ids[p];
        for (int i = 0; i < 256; i++) test_palette_colour(palette_ids[p], i, lvl->palettes[p].entries[i]);
        if (palette_ids[p] > max_id) max_id = palette_ids[p];
    }
    lvl->palette_table_size = max_id + 1;
    lvl->palette_table = (level_palette **)calloc((size_t)max_id + 2, sizeof(level_palette *));
    for (size_t p = 0; p < palette_ids.size(); p++) lvl->palette_table[palette_ids[p]] = &lvl->palettes[p];
    lvl->palette_list_count = (int)lists.size();
    lvl->palette_lists = (palette_list *)calloc(lists.size() + 1, sizeof(palette_list));
    for (size_t l = 0; l < lists.size(); l++) {
        palette_list &list = lvl->palette_lists[l];
        list.texture = lists[l].page;
        list.count = (int)lists[l].ids.size();
        list.palette_ids = (int32_t *)calloc(lists[l].ids.size() + 1, sizeof(int32_t));
        for (size_t s = 0; s < lists[l].ids.size(); s++) list.palette_ids[s] = lists[l].ids[s];
        if (lists[l].page >= 0 && lists[l].page < lvl->texture_count &&
            lvl->textures[lists[l].page].paletted && lvl->textures[lists[l].page].palette_slot_count < 0)
            lvl->textures[lists[l].page].palette_slot_count = list.count;
    }
}

void free_test_level(level *lvl)
{
    for (int t = 0; t < lvl->texture_count; t++) free(lvl->textures[t].pixels);
    free(lvl->textures);
    free(lvl->palettes);
    free(lvl->palette_table);
    for (int l = 0; l < lvl->palette_list_count; l++) free(lvl->palette_lists[l].palette_ids);
    free(lvl->palette_lists);
    memset(lvl, 0, sizeof *lvl);
}

level_palette *palette_with_id(level *lvl, int id)
{
    if (id < 0 || id >= lvl->palette_table_size) return nullptr;
    return lvl->palette_table[id];
}

std::vector<unsigned char> make_letter_picture(int width, int height)
{
    std::vector<unsigned char> rgb((size_t)width * height * 3);
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            unsigned char *p = &rgb[((size_t)y * width + x) * 3];
            // An "F" in the left half of a 256 x 256 frame: stem, top bar, middle bar.
            bool stem = x >= 40 && x < 80 && y >= 30 && y < 226;
            bool top = x >= 40 && x < 200 && y >= 30 && y < 70;
            bool middle = x >= 40 && x < 160 && y >= 110 && y < 145;
            if (stem || top || middle) {
                p[0] = (unsigned char)(200 + (x + y) % 56);
                p[1] = (unsigned char)(20 + y % 30);
                p[2] = (unsigned char)(10 + x % 20);
            } else {
                p[0] = (unsigned char)(x / 8);
                p[1] = (unsigned char)(40 + y / 4);
                p[2] = (unsigned char)(150 + (x * y) % 100);
            }
        }
    }
    return rgb;
}

namespace {
std::string log_path;
}

void start_log_capture()
{
    close_debug_log();
    log_path = make_temp_folder() + "/debug.txt";
    open_debug_log(log_path.c_str());
}

std::string log_text()
{
    if (debug_file) fflush(debug_file);
    std::vector<unsigned char> bytes = read_file_bytes(log_path);
    return std::string(bytes.begin(), bytes.end());
}

void init_allegro_for_tests()
{
    static bool done = false;
    if (done) return;
    done = true;
    install_allegro(SYSTEM_NONE, &errno, atexit);
    set_color_depth(32);
    set_color_conversion(COLORCONV_TOTAL);
}

bool save_picture(const std::string &path, const std::vector<unsigned char> &rgb, int width, int height)
{
    init_allegro_for_tests();
    const int depth = 24;
    BITMAP *bmp = create_bitmap_ex(depth, width, height);
    if (!bmp) return false;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            const unsigned char *p = &rgb[((size_t)y * width + x) * 3];
            putpixel(bmp, x, y, makecol_depth(depth, p[0], p[1], p[2]));
        }
    int result = save_bitmap(path.c_str(), bmp, nullptr);
    destroy_bitmap(bmp);
    return result == 0;
}

std::vector<unsigned char> make_8bit_bitmap(const std::vector<unsigned char> &indices,
                                            const std::vector<std::array<unsigned char, 4>> &table,
                                            uint32_t colours_field)
{
    std::vector<unsigned char> b;
    auto put16 = [&](unsigned v) { b.push_back((unsigned char)v); b.push_back((unsigned char)(v >> 8)); };
    auto put32 = [&](uint32_t v) { put16(v & 0xFFFF); put16(v >> 16); };
    b.push_back('B');
    b.push_back('M');
    put32((uint32_t)(54 + table.size() * 4 + 65536));
    put32(0);
    put32((uint32_t)(54 + table.size() * 4));
    put32(40);
    put32(256);
    put32(256);
    put16(1);
    put16(8);
    put32(0);
    put32(65536);
    put32(2835);
    put32(2835);
    put32(colours_field);
    put32(0);
    for (const auto &e : table) {           // stored blue, green, red, extra
        b.push_back(e[2]);
        b.push_back(e[1]);
        b.push_back(e[0]);
        b.push_back(e[3]);
    }
    for (int y = 255; y >= 0; y--)
        for (int x = 0; x < 256; x++) b.push_back(indices[(size_t)y * 256 + x]);
    return b;
}
