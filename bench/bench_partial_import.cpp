// Importing into one named texture of a page with several palettes: the
// time against a whole-page import of the same picture, and how close the
// chosen textures come to the picture (PSNR) with the free entries against
// the palette replaced whole, as imports once did.
#include <benchmark/benchmark.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "demo/demo_level.h"
#include "imaging/image_file.h"
#include "imaging/page_import.h"
#include "level/level.h"
#include "level/texture_store.h"

namespace {

struct demo_world {
    sample_level files = make_demo_level();
    level lvl = {};
    void reload()
    {
        release_level_memory(&lvl);
        if (load_level_from_memory(&lvl, files.lev.data(), files.lev.size(), files.d3d.data(), files.d3d.size(), LOAD_ALL).code != LOAD_OK)
            abort();
    }
};

// The page as it looks, repainted inside its named textures: channels
// turned and a gradient laid over them, as a modder's new livery might be.
import_image repainted(const level &l, int page, const unsigned char *mask)
{
    import_image image = {};
    image.width = image.height = PAGE_SIZE;
    image.pixels = (unsigned char *)malloc(PAGE_PIXELS * 3);
    const level_palette *p = palette_by_id(&l, current_palette_id(&l, page));
    for (int i = 0; i < PAGE_PIXELS; i++) {
        const unsigned char *c = p->entries[l.textures[page].pixels[i]];
        unsigned char *out = image.pixels + 3 * i;
        if (mask[i]) out[0] = c[1], out[1] = (unsigned char)((c[2] + i % 256) / 2), out[2] = (unsigned char)(c[0] ^ (i / 256));
        else memcpy(out, c, 3);
    }
    return image;
}

// The PSNR of the chosen pixels shown through `p` at `indices`, or (null
// indices) at their nearest entries of `p`: what those colours alone allow.
double chosen_psnr(const level_palette *p, const unsigned char *indices, const import_image &image, const unsigned char *mask)
{
    double sum = 0;
    int count = 0;
    for (int i = 0; i < PAGE_PIXELS; i++) {
        if (!mask[i]) continue;
        const unsigned char *c = image.pixels + 3 * i;
        double best = 1e9;
        for (int e = indices ? indices[i] : 0; e < (indices ? indices[i] + 1 : 256); e++) {
            double d = 0;
            for (int k = 0; k < 3; k++) d += ((double)c[k] - p->entries[e][k]) * ((double)c[k] - p->entries[e][k]);
            best = d < best ? d : best;
        }
        sum += best, count += 3;
    }
    return sum == 0 ? 99.0 : 10 * log10(255.0 * 255.0 * count / sum);
}

// state.range(0): the page (0 has three palettes, 10 two, 2 one: a whole-page
// import); state.range(1): 1 to replace the whole palette.
void BM_import_named_textures(benchmark::State &state)
{
    static demo_world world;
    world.reload();
    const int page = (int)state.range(0);
    std::vector<texture_name> copies;   // each reload frees the level's own
    for (int i = 0; i < world.lvl.texture_name_count; i++)
        if (world.lvl.texture_names[i].texture == page) copies.push_back(world.lvl.texture_names[i]);
    std::vector<const texture_name *> names;
    for (const texture_name &n : copies) names.push_back(&n);
    std::vector<char> marks(names.size() + 1, 0);
    marks[0] = 1;   // the first named texture alone, as a modder repaints one
    import_selection selection = {(int)names.size(), names.data(), (const bool *)marks.data()};
    import_options options;
    options.selection = world.lvl.textures[page].palette_slot_count > 1 ? &selection : nullptr;
    options.replace_palette = state.range(1) != 0;
    unsigned char mask[PAGE_PIXELS];
    build_selection_mask(mask, options.selection);
    import_image image = repainted(world.lvl, page, mask);
    state.counters["old_colours_dB"] = chosen_psnr(palette_by_id(&world.lvl, current_palette_id(&world.lvl, page)), nullptr, image, mask);
    import_summary summary = {};
    for (auto _ : state) {
        state.PauseTiming();
        world.reload();
        state.ResumeTiming();
        if (import_image_into_page(&world.lvl, page, &image, &options, &summary) != IMPORT_OK) state.SkipWithError("import failed");
    }
    const level &l = world.lvl;
    state.counters["psnr_dB"] = chosen_psnr(palette_by_id(&l, current_palette_id(&l, page)), l.textures[page].pixels, image, mask);
    state.counters["free"] = summary.free_entries;
    free_import_image(&image);
}
BENCHMARK(BM_import_named_textures)->ArgNames({"page", "replace"})->Args({2, 0})->Args({0, 0})->Args({0, 1})
    ->Args({10, 0})->Args({10, 1})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
