// Benchmarks of the batch export and import on the 128-page benchmark level:
// exporting every page as 8-bit bitmaps against writing the same files' bytes
// from memory, and importing 128 true-colour bitmaps from a folder against 128
// single true-colour imports of the same files.
#include <benchmark/benchmark.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "demo/demo_level.h"
#include "imaging/batch.h"
#include "imaging/page_import.h"
#include "imaging/image_decode.h"
#include "imaging/image_file.h"
#include "level/level.h"

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

enum { PAGES = 128 };

std::string temp_dir(const char *what)
{
    char pattern[] = "/tmp/qte_bench_XXXXXX";
    return std::string(mkdtemp(pattern)) + "/" + what;
}

const sample_level &big_level()
{
    static sample_level files = make_big_level(PAGES, 64);
    return files;
}

void load(level *lvl)
{
    const sample_level &s = big_level();
    memset(lvl, 0, sizeof *lvl);
    if (load_level_from_memory(lvl, s.lev.data(), s.lev.size(), s.d3d.data(), s.d3d.size(), LOAD_ALL).code != LOAD_OK)
        abort();
}

std::string file_name(const std::string &folder, int page)
{
    char name[64];
    batch_file_name(name, sizeof name, page, -1, BATCH_BMP);
    return folder + "/" + name;
}

std::vector<unsigned char> read_all(const std::string &path)
{
    std::vector<unsigned char> bytes;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) abort();
    unsigned char buffer[65536];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.insert(bytes.end(), buffer, buffer + n);
    fclose(f);
    return bytes;
}

void BM_export_pages_8bit(benchmark::State &state)
{
    level lvl;
    load(&lvl);
    std::string folder = temp_dir("");
    batch_report report;
    for (auto _ : state)
        if (export_pages(&lvl, folder.c_str(), nullptr, &report) != 0 || report.exported != PAGES)
            state.SkipWithError(report.reason);
    release_level_memory(&lvl);
}
BENCHMARK(BM_export_pages_8bit)->Unit(benchmark::kMillisecond);

// The same files, their bytes already in memory: one fopen, fwrite and fclose each.
void BM_write_same_bytes(benchmark::State &state)
{
    level lvl;
    load(&lvl);
    std::string folder = temp_dir("");
    batch_report report;
    if (export_pages(&lvl, folder.c_str(), nullptr, &report) != 0) abort();
    release_level_memory(&lvl);
    std::vector<std::vector<unsigned char>> files;
    for (int p = 0; p < PAGES; p++) files.push_back(read_all(file_name(folder, p)));
    for (auto _ : state)
        for (int p = 0; p < PAGES; p++) {
            FILE *f = fopen(file_name(folder, p).c_str(), "wb");
            if (!f || fwrite(files[p].data(), 1, files[p].size(), f) != files[p].size() || fclose(f) != 0)
                state.SkipWithError("write failed");
        }
}
BENCHMARK(BM_write_same_bytes)->Unit(benchmark::kMillisecond);

// Every page as a 24-bit bitmap with one pixel changed, so none is skipped.
const std::string &edited_truecolour_folder()
{
    static std::string folder;
    if (!folder.empty()) return folder;
    folder = temp_dir("");
    level lvl;
    load(&lvl);
    batch_export_options options;
    options.want_8bit = false;
    batch_report report;
    if (export_pages(&lvl, folder.c_str(), &options, &report) != 0) abort();
    release_level_memory(&lvl);
    for (int p = 0; p < PAGES; p++) {
        std::vector<unsigned char> bytes = read_all(file_name(folder, p));
        bytes[54] ^= 0x80;
        FILE *f = fopen(file_name(folder, p).c_str(), "wb");
        if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || fclose(f) != 0) abort();
    }
    return folder;
}

// The folder's import on state.range(0) threads: 2 against 1 is the gain of
// reducing pages side by side (the level comes out the same).
void BM_import_pages_truecolour(benchmark::State &state)
{
    const std::string &folder = edited_truecolour_folder();
    batch_report report;
    batch_import_options options;
    options.jobs = (int)state.range(0);
    for (auto _ : state) {
        state.PauseTiming();
        level lvl;
        load(&lvl);
        state.ResumeTiming();
        if (import_pages(&lvl, folder.c_str(), &options, &report) != 0 || report.imported != PAGES)
            state.SkipWithError(report.reason);
        state.PauseTiming();
        release_level_memory(&lvl);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_import_pages_truecolour)->ArgName("jobs")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_single_truecolour_imports(benchmark::State &state)
{
    const std::string &folder = edited_truecolour_folder();
    for (auto _ : state) {
        state.PauseTiming();
        level lvl;
        load(&lvl);
        state.ResumeTiming();
        for (int p = 0; p < PAGES; p++)
            if (import_file(&lvl, p, file_name(folder, p).c_str()) != IMPORT_OK)
                state.SkipWithError("import failed");
        state.PauseTiming();
        release_level_memory(&lvl);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_single_truecolour_imports)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
