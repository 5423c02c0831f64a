// Building the list of models that use a page, on a level with 1,000 models,
// against a plain scan of the same texture lists that builds no rows.
#include <benchmark/benchmark.h>

#include <string.h>

#include "demo/demo_level.h"
#include "level/level.h"
#include "app/list_rows.h"

namespace {

struct users_world {
    level lvl{};
    bool ready = false;
    int page = 0;   // a page some models use
    users_world()
    {
        sample_level files = make_big_level(32, 1000);
        ready = load_level_from_memory(&lvl, files.lev.data(), files.lev.size(), files.d3d.data(),
                                       files.d3d.size(), LOAD_ALL).code == LOAD_OK &&
                lvl.model_count > 0 && lvl.models[0].textures_used_count > 0;
        if (ready) page = lvl.models[0].textures_used[0];
    }
};

users_world &world()
{
    static users_world w;
    return w;
}

// The baseline: the same walk over every texture list, only counting.
void BM_count_users_only(benchmark::State &state)
{
    const level &lvl = world().lvl;
    const int page = world().page;
    for (auto _ : state) {
        int users = 0;
        for (int m = 0; m < lvl.model_count; m++) {
            const model &md = lvl.models[m];
            if (memchr(md.textures_used, page, (size_t)md.textures_used_count)) users++;
        }
        benchmark::DoNotOptimize(users);
    }
}
BENCHMARK(BM_count_users_only)->Unit(benchmark::kMicrosecond);

void BM_build_users_list(benchmark::State &state)
{
    users_world &w = world();
    if (!w.ready) {
        state.SkipWithError("the benchmark level did not load");
        return;
    }
    bool found = false;
    for (auto _ : state) found = build_users_list(&w.lvl, w.page);
    state.counters["rows"] = users_row_count;
    if (!found) state.SkipWithError("nobody uses the page");
    free_users_list();
}
BENCHMARK(BM_build_users_list)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
