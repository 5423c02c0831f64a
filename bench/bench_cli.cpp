// qte-tool's info --json on the 128-page benchmark level against load_level alone.
//
// The level (128 pages, 1,000 models) is made by the level builder and
// written once to a folder in the build tree. Both runs read the same files:
//   load_level       load_level and release: the baseline
//   info_json        the same plus the JSON report written to /dev/null
// The ratio info_json / load_level is the tool's overhead (target <= 1.3).
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <string>

#include "cli/report.h"
#include "demo/demo_level.h"
#include "level/level.h"

namespace {

struct bench_files { std::string lev, d3d; };

const bench_files &files()
{
    static bench_files f;
    if (f.lev.empty()) {
        std::string folder = std::string(QTE_BINARY_DIR) + "/bench_cli_files";
        mkdir(folder.c_str(), 0755);
        f.lev = folder + "/big128.lev";
        f.d3d = folder + "/big128.d3d";
        sample_level s = make_big_level(128, 1000);
        if (!write_bytes_to_file(f.lev.c_str(), s.lev) || !write_bytes_to_file(f.d3d.c_str(), s.d3d)) abort();
    }
    return f;
}

void run(benchmark::State &state, bool report)
{
    const bench_files &f = files();
    FILE *null_out = fopen("/dev/null", "w");
    for (auto _ : state) {
        level lvl;
        memset(&lvl, 0, sizeof lvl);
        FILE *a = fopen(f.lev.c_str(), "rb");
        FILE *b = fopen(f.d3d.c_str(), "rb");
        if (load_level(&lvl, a, b, LOAD_ALL).code != LOAD_OK) abort();
        fclose(a);
        fclose(b);
        if (report) write_level_info(null_out, &lvl, true);
        release_level_memory(&lvl);
    }
    fclose(null_out);
}

void BM_load_level(benchmark::State &state) { run(state, false); }
void BM_info_json(benchmark::State &state) { run(state, true); }
BENCHMARK(BM_load_level)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_info_json)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
