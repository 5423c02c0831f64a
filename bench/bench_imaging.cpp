// Benchmarks of the imaging code: a whole quantised import of a 256 x 256
// picture and its parts, and the bitmap exports against one raw fwrite of the
// same number of bytes.
#include <allegro.h>
#include <benchmark/benchmark.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "imaging/bitmap_export.h"
#include "imaging/page_import.h"
#include "imaging/image_decode.h"
#include "imaging/image_file.h"
#include "imaging/neuquant.h"
#include "level/level.h"
#include "level/texture_store.h"

namespace {

// One image file read and imported whole into a page, as the editor does.
int import_file(level *lvl, int page, const char *path)
{
    import_image image;
    int result = load_import_image(path, &image).code;
    if (result == IMPORT_OK) result = import_image_into_page(lvl, page, &image, nullptr);
    free_import_image(&image);
    return result;
}

// A colourful picture: a red letter on a blue gradient, with some noise so
// the quantiser has many colours to learn (blue, green, red per pixel).
std::vector<unsigned char> training_picture()
{
    std::vector<unsigned char> bgr(PAGE_PIXELS * 3);
    unsigned seed = 1;
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            seed = seed * 1103515245u + 12345u;
            unsigned noise = (seed >> 16) & 15;
            unsigned char *p = &bgr[(y * 256 + x) * 3];
            bool letter = (x >= 40 && x < 80 && y >= 30 && y < 226) || (x >= 40 && x < 200 && y >= 30 && y < 70) ||
                          (x >= 40 && x < 160 && y >= 110 && y < 145);
            p[0] = (unsigned char)(letter ? 10 + noise : 150 + (x * y) % 100);
            p[1] = (unsigned char)(letter ? 20 + y % 30 : 40 + y / 4 + noise);
            p[2] = (unsigned char)(letter ? 200 + (x + y) % 56 : x / 8 + noise);
        }
    return bgr;
}

std::string temp_dir()
{
    static std::string dir;
    if (dir.empty()) {
        char pattern[] = "/tmp/qte_bench_XXXXXX";
        dir = mkdtemp(pattern);
    }
    return dir;
}

// One page of each kind, one palette, no lists.
struct bench_level {
    level lvl;
    bench_level()
    {
        memset(&lvl, 0, sizeof lvl);
        lvl.texture_count = 2;
        lvl.textures = (level_texture *)calloc(2, sizeof(level_texture));
        lvl.textures[0].paletted = true;
        lvl.textures[0].flags = PAGE_FLAG_PALETTED;
        lvl.textures[0].palette_slot_count = -1;
        lvl.textures[0].pixels = (unsigned char *)malloc(PAGE_PIXELS);
        for (int i = 0; i < PAGE_PIXELS; i++) lvl.textures[0].pixels[i] = (unsigned char)(i * 7);
        lvl.textures[1].palette_slot_count = -1;
        lvl.textures[1].pixels = (unsigned char *)malloc(PAGE_PIXELS * 2);
        for (int i = 0; i < PAGE_PIXELS; i++) page_pixels16(lvl.textures[1])[i] = (uint16_t)(i * 37);
        lvl.palette_count = 1;
        lvl.palettes = (level_palette *)calloc(1, sizeof(level_palette));
        lvl.palette_table_size = 1;
        lvl.palette_table = (level_palette **)calloc(1, sizeof(level_palette *));
        lvl.palette_table[0] = &lvl.palettes[0];
    }
    ~bench_level()
    {
        for (int t = 0; t < lvl.texture_count; t++) free(lvl.textures[t].pixels);
        free(lvl.textures);
        free(lvl.palettes);
        free(lvl.palette_table);
    }
};

void learn_bench(benchmark::State &state, bool vector)
{
    std::vector<unsigned char> bgr = training_picture();
    neuquant network;
    for (auto _ : state) {
        neuquant_init(&network, bgr.data(), (int)bgr.size(), 1);
        network.vector_code = network.vector_code && vector;
        neuquant_learn(&network);
        neuquant_unbias(&network);
        benchmark::ClobberMemory();
    }
}

void BM_quant_learn(benchmark::State &state) { learn_bench(state, true); }
BENCHMARK(BM_quant_learn)->Unit(benchmark::kMillisecond);

// The same training with the plain (non-AVX2) contest, for comparison.
void BM_quant_learn_plain_code(benchmark::State &state) { learn_bench(state, false); }
BENCHMARK(BM_quant_learn_plain_code)->Unit(benchmark::kMillisecond);

// Building the index again on the sorted network gives the same index, so
// every iteration does the import's whole lookup work; the walk is the
// published search, for comparison.
void lookup_bench(benchmark::State &state, int (*lookup)(const neuquant *, int, int, int))
{
    std::vector<unsigned char> bgr = training_picture();
    std::vector<unsigned char> indices(PAGE_PIXELS);
    level_palette palette;
    neuquant network;
    neuquant_init(&network, bgr.data(), (int)bgr.size(), 1);
    neuquant_learn(&network);
    neuquant_unbias(&network);
    neuquant_store_palette(&network, &palette);
    for (auto _ : state) {
        neuquant_build_index(&network);
        for (int i = 0; i < PAGE_PIXELS; i++)
            indices[i] = (unsigned char)lookup(&network, bgr[i * 3], bgr[i * 3 + 1], bgr[i * 3 + 2]);
        benchmark::DoNotOptimize(indices.data());
    }
}

void BM_quant_index_and_lookups(benchmark::State &state) { lookup_bench(state, neuquant_lookup); }
BENCHMARK(BM_quant_index_and_lookups)->Unit(benchmark::kMillisecond);

void BM_quant_lookups_walk(benchmark::State &state) { lookup_bench(state, neuquant_lookup_walk); }
BENCHMARK(BM_quant_lookups_walk)->Unit(benchmark::kMillisecond);

// The whole true-colour import into a paletted page: loading a 24-bit
// bitmap, the training picture, learning, palette placement,
// index build and 65,536 lookups.
void BM_truecolour_import_paletted(benchmark::State &state)
{
    install_allegro(SYSTEM_NONE, &errno, atexit);
    set_color_depth(32);
    std::vector<unsigned char> bgr = training_picture();
    BITMAP *bmp = create_bitmap_ex(24, 256, 256);
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            const unsigned char *p = &bgr[(y * 256 + x) * 3];
            putpixel(bmp, x, y, makecol24(p[2], p[1], p[0]));
        }
    std::string path = temp_dir() + "/picture.bmp";
    save_bitmap(path.c_str(), bmp, nullptr);
    destroy_bitmap(bmp);
    for (auto _ : state) {
        state.PauseTiming();
        bench_level *b = new bench_level;
        state.ResumeTiming();
        int result = import_file(&b->lvl, 0, path.c_str());
        if (result != IMPORT_OK) state.SkipWithError("import failed");
        state.PauseTiming();
        delete b;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_truecolour_import_paletted)->Unit(benchmark::kMillisecond);

void export_bench(benchmark::State &state, int page, int filter)
{
    bench_level b;
    std::string path = temp_dir() + "/export.bmp";
    int palette_id = current_palette_id(&b.lvl, page);
    for (auto _ : state) {
        if (write_page_bitmap_file(&b.lvl, page, palette_id, filter == 2, path.c_str()) != EXPORT_OK)
            state.SkipWithError("export failed");
    }
    state.SetBytesProcessed(state.iterations() * (filter == 2 ? BITMAP_8BIT_FILE_SIZE : BITMAP_24BIT_FILE_SIZE));
}

// The baseline: the same number of bytes written to a file with one fwrite
// (open, write, close). The export also writes beside the target and renames
// it over the target when complete.
void raw_write_bench(benchmark::State &state, size_t size)
{
    std::vector<unsigned char> bytes(size, 0x5A);
    std::string path = temp_dir() + "/raw.bin";
    for (auto _ : state) {
        FILE *f = fopen(path.c_str(), "wb");
        if (!f || fwrite(bytes.data(), 1, size, f) != size) state.SkipWithError("write failed");
        if (f) fclose(f);
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)size);
}

void BM_export_8bit(benchmark::State &state) { export_bench(state, 0, 2); }
void BM_raw_write_8bit_size(benchmark::State &state) { raw_write_bench(state, BITMAP_8BIT_FILE_SIZE); }
void BM_export_24bit_from_paletted(benchmark::State &state) { export_bench(state, 0, 1); }
void BM_export_24bit_from_15bit(benchmark::State &state) { export_bench(state, 1, 1); }
void BM_raw_write_24bit_size(benchmark::State &state) { raw_write_bench(state, BITMAP_24BIT_FILE_SIZE); }
BENCHMARK(BM_export_8bit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_raw_write_8bit_size)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_export_24bit_from_paletted)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_export_24bit_from_15bit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_raw_write_24bit_size)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
