// Loading and saving a large level against plain reading and copying of its files, and its memory.
//
// The level (about 40 MB: 160 paletted and 230 15-bit pages) is made by the
// level builder and written once to a folder in the build tree. Baselines
// run in the same process on the same files:
//   read_files/0 fread of both files into fresh buffers  <- load_level
//   read_files/1 fread into one buffer reused across runs (bare fread)
//   copy_files/1 copy of both files to new files, synced <- save_level
//   copy_files/0 the same without syncing (for scale)
// The memory benchmark reports the heap a loaded level holds and the peak
// resident growth while loading, each against the file size.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "demo/level_builder.h"
#include "level/level.h"
#include "level/level_writer.h"

namespace {

struct bench_files {
    std::string folder, lev, d3d;
    size_t lev_size = 0, d3d_size = 0;
};

const bench_files &files()
{
    static bench_files f;
    if (f.lev.empty()) {
        f.folder = std::string(QTE_BINARY_DIR) + "/bench_level_files";
        mkdir(f.folder.c_str(), 0755);
        f.lev = f.folder + "/large.lev";
        f.d3d = f.folder + "/large.d3d";
        sample_level s = make_sample_level(160, 230);
        f.lev_size = s.lev.size();
        f.d3d_size = s.d3d.size();
        if (!write_bytes_to_file(f.lev.c_str(), s.lev) || !write_bytes_to_file(f.d3d.c_str(), s.d3d)) abort();
    }
    return f;
}

// Reads a whole file into `reused` (grown as needed) or, without it, into
// a fresh buffer that is freed again.
size_t read_whole(const char *path, std::vector<unsigned char> *reused)
{
    FILE *f = fopen(path, "rb");
    if (!f) abort();
    struct stat st;
    fstat(fileno(f), &st);
    unsigned char *buffer;
    if (reused) {
        if (reused->size() < (size_t)st.st_size) reused->resize((size_t)st.st_size);
        buffer = reused->data();
    } else {
        buffer = (unsigned char *)malloc((size_t)st.st_size);
    }
    size_t n = fread(buffer, 1, (size_t)st.st_size, f);
    benchmark::DoNotOptimize(buffer[n / 2]);
    if (!reused) free(buffer);
    fclose(f);
    return n;
}

// Argument 0: a fresh buffer per read (as a loader must allocate); 1: one
// buffer reused, already in memory (the bare cost of fread).
void BM_read_files(benchmark::State &state)
{
    const bench_files &f = files();
    std::vector<unsigned char> lev_buffer, d3d_buffer;
    bool reuse = state.range(0) != 0;
    for (auto _ : state) {
        size_t n = read_whole(f.lev.c_str(), reuse ? &lev_buffer : nullptr) +
                   read_whole(f.d3d.c_str(), reuse ? &d3d_buffer : nullptr);
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)(f.lev_size + f.d3d_size));
}
BENCHMARK(BM_read_files)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_load_level(benchmark::State &state)
{
    const bench_files &f = files();
    for (auto _ : state) {
        level lvl;
        memset(&lvl, 0, sizeof lvl);
        FILE *a = fopen(f.lev.c_str(), "rb");
        FILE *b = fopen(f.d3d.c_str(), "rb");
        if (load_level(&lvl, a, b, LOAD_ALL).code != LOAD_OK) abort();
        fclose(a);
        fclose(b);
        release_level_memory(&lvl);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)(f.lev_size + f.d3d_size));
}
BENCHMARK(BM_load_level)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void copy_file(const std::string &from, const std::string &to, bool sync)
{
    FILE *in = fopen(from.c_str(), "rb");
    FILE *out = fopen(to.c_str(), "wb");
    if (!in || !out) abort();
    static unsigned char buffer[1 << 20];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, in)) > 0)
        if (fwrite(buffer, 1, n, out) != n) abort();
    fflush(out);
    if (sync) fsync(fileno(out));
    fclose(in);
    fclose(out);
}

void BM_copy_files(benchmark::State &state)
{
    const bench_files &f = files();
    for (auto _ : state) {
        copy_file(f.lev, f.folder + "/copy.lev", state.range(0) != 0);
        copy_file(f.d3d, f.folder + "/copy.d3d", state.range(0) != 0);
    }
    unlink((f.folder + "/copy.lev").c_str());
    unlink((f.folder + "/copy.d3d").c_str());
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)(f.lev_size + f.d3d_size));
}
// Argument 1: synced like the save; 0: left to the page cache.
BENCHMARK(BM_copy_files)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_save_level(benchmark::State &state)
{
    const bench_files &f = files();
    level lvl;
    memset(&lvl, 0, sizeof lvl);
    FILE *a = fopen(f.lev.c_str(), "rb");
    FILE *b = fopen(f.d3d.c_str(), "rb");
    if (load_level(&lvl, a, b, LOAD_ALL).code != LOAD_OK) abort();
    fclose(a);
    fclose(b);
    for (auto _ : state)
        if (save_level(&lvl, f.lev.c_str(), f.d3d.c_str()).code != SAVE_OK) abort();
    release_level_memory(&lvl);
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)(f.lev_size + f.d3d_size));
}
BENCHMARK(BM_save_level)->Unit(benchmark::kMillisecond)->MinTime(3.0);

long status_kb(const char *field)
{
    FILE *f = fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long value = -1;
    size_t n = strlen(field);
    while (fgets(line, sizeof line, f))
        if (strncmp(line, field, n) == 0) value = atol(line + n + 1);
    fclose(f);
    return value;
}

// Heap held by a loaded level, and the peak resident growth while loading.
void BM_level_memory(benchmark::State &state)
{
    const bench_files &f = files();
    double held = 0, peak = 0;
    for (auto _ : state) {
        malloc_trim(0);
        struct mallinfo2 before = mallinfo2();
        // Reset the peak resident size, then load.
        int fd = open("/proc/self/clear_refs", O_WRONLY);
        if (fd >= 0) {
            if (write(fd, "5", 1) != 1) {}
            close(fd);
        }
        long rss_before = status_kb("VmRSS:");
        level lvl;
        memset(&lvl, 0, sizeof lvl);
        FILE *a = fopen(f.lev.c_str(), "rb");
        FILE *b = fopen(f.d3d.c_str(), "rb");
        if (load_level(&lvl, a, b, LOAD_ALL).code != LOAD_OK) abort();
        fclose(a);
        fclose(b);
        struct mallinfo2 after = mallinfo2();
        long hwm = status_kb("VmHWM:");
        held = (double)((after.uordblks + after.hblkhd) - (before.uordblks + before.hblkhd));
        peak = (double)(hwm - rss_before) * 1024.0;
        release_level_memory(&lvl);
    }
    double file_bytes = (double)(f.lev_size + f.d3d_size);
    state.counters["file_MB"] = file_bytes / 1e6;
    state.counters["held_MB"] = held / 1e6;
    state.counters["held_ratio"] = held / file_bytes;
    state.counters["peak_load_MB"] = peak / 1e6;
    state.counters["peak_ratio"] = peak / file_bytes;
}
BENCHMARK(BM_level_memory)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
