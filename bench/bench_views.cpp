// Frame time of the texture-group view with 128 pages and of the 3D view with the largest models.
//
// Needs an X display (run under xvfb-run); without one every benchmark
// reports that it was skipped. Each figure has its baseline in the same run:
// an empty frame (clear and finish) and, for the 3D view, the view with no
// model shown.
#include <benchmark/benchmark.h>

#include <allegro.h>
#include <alleggl.h>

#include <vector>

#include "app/commands.h"
#include "app/gl_window.h"
#include "app/app_state.h"
#include "demo/demo_level.h"
#include "demo/level_builder.h"
#include "gui/window.h"
#include "render/gl_textures.h"
#include "level/level.h"
#include "render/model_render.h"
#include "views/texture_render.h"

namespace {

// The largest models each block's scratch buffer admits: every polygon a
// textured quad (24 bytes in the stream, 16 of polygon info) over its own
// vertex (12 bytes). 2,500 quads make 130,056 bytes of 131,072; 10,000 make
// 520,056 of 524,288.
builder_model large_model(int quads, int page)
{
    builder_model m;
    m.radius = 600.0f;
    // A grid of vertices in a 600 x 600 square, one quad per vertex so the
    // counts match; quads reuse neighbouring vertices.
    int side = 1;
    while (side * side < quads) side++;
    for (int i = 0; i < quads; i++)
        m.vertices.push_back({(float)(i % side) * 600.0f / side - 300.0f,
                              (float)(i / side) * 600.0f / side - 300.0f, (float)((i * 37) % 50)});
    for (int i = 0; i < quads; i++) {
        builder_polygon p;
        p.type = 5;
        int a = i, b = (i + 1) % quads, c = (i + side + 1) % quads, d = (i + side) % quads;
        p.corners[0] = d; p.corners[1] = c; p.corners[2] = b; p.corners[3] = a;
        p.texture = page;
        const unsigned char uv[4][2] = {{0, 0}, {255, 0}, {255, 255}, {0, 255}};
        for (int k = 0; k < 4; k++) { p.uv[k][0] = uv[k][0]; p.uv[k][1] = uv[k][1]; }
        p.colour[0][0] = 200; p.colour[0][1] = 180; p.colour[0][2] = 160;
        m.polygons.push_back(p);
    }
    m.textures_used.push_back((unsigned char)page);
    return m;
}

struct bench_world {
    bool ready = false;
    level lvl{};
    gl_texture_set set{};
    // The generated 128-page level with the demo's pictures and models, and
    // the demo level itself; each with its own GL textures.
    level big{};
    gl_texture_set big_set{};
    level demo{};
    gl_texture_set demo_set{};
    int demo_largest = 0;              // the demo model with the most polygons

    bench_world()
    {
        if (open_gl_window_like_editor() != 0)
            return;

        // 128 pages: 96 paletted with one to three palettes, 32 of 15 bits.
        std::vector<builder_palette> palettes;
        std::vector<builder_page> pages;
        std::vector<builder_palette_list> lists;
        for (int i = 0; i < 96; i++) {
            builder_palette_list list{i, {}};
            for (int k = 0; k <= i % 3; k++) {
                palettes.push_back(make_palette((int16_t)palettes.size()));
                list.palette_ids.push_back((int32_t)palettes.size() - 1);
            }
            lists.push_back(list);
            pages.push_back(make_paletted_page(i));
        }
        for (int i = 0; i < 32; i++)
            pages.push_back(make_rgb15_page(i));
        byte_buffer lev = encode_level({
            {BLOCK_TEXTURES, encode_texture_block(palettes, pages)},
            {BLOCK_MODELS, encode_model_block({large_model(2500, 0)})},
            {BLOCK_EVENT_MODELS, encode_model_block({large_model(10000, 1)})},
        });
        byte_buffer d3d = encode_palette_lists(lists);
        result loaded = load_level_from_memory(&lvl, lev.data(), lev.size(), d3d.data(), d3d.size(), LOAD_ALL);
        if (loaded.code != LOAD_OK) {
            fprintf(stderr, "bench level refused: %s\n", loaded.reason);
            return;
        }
        build_gl_textures(&set, &lvl);
        sample_level big_files = make_big_level(128, 64);
        sample_level demo_files = make_demo_level();
        loaded = load_level_from_memory(&big, big_files.lev.data(), big_files.lev.size(), big_files.d3d.data(),
                                        big_files.d3d.size(), LOAD_ALL);
        if (loaded.code == LOAD_OK)
            loaded = load_level_from_memory(&demo, demo_files.lev.data(), demo_files.lev.size(),
                                            demo_files.d3d.data(), demo_files.d3d.size(), LOAD_ALL);
        if (loaded.code != LOAD_OK) {
            fprintf(stderr, "bench level refused: %s\n", loaded.reason);
            return;
        }
        build_gl_textures(&big_set, &big);
        build_gl_textures(&demo_set, &demo);
        for (int i = 0; i < demo.model_count; i++)
            if (demo.models[i].polygon_count > demo.models[demo_largest].polygon_count)
                demo_largest = i;
        current_level = &lvl;
        current_textures = &set;
        ready = true;
    }
};

bench_world &world()
{
    static bench_world w;
    return w;
}

bool skip_without_display(benchmark::State &state)
{
    if (world().ready)
        return false;
    state.SkipWithError("no OpenGL window (run under xvfb-run)");
    return true;
}

void clear_frame()
{
    glClearColor(0.2f, 0.2f, 0.2f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void BM_empty_frame(benchmark::State &state)
{
    if (skip_without_display(state))
        return;
    for (auto _ : state) {
        clear_frame();
        allegro_gl_set_allegro_mode();
        allegro_gl_unset_allegro_mode();
        glFinish();
    }
}
BENCHMARK(BM_empty_frame)->Unit(benchmark::kMillisecond);

// The texture-group view at a thumbnail size; range(1) = 1 scrolls to the
// end; range(2) = 1 shows the 128 pages of the generated level with the
// demo's pictures instead of the builder's patterns.
void BM_texture_groups_128_pages(benchmark::State &state)
{
    if (skip_without_display(state))
        return;
    texture_render view;
    gui_manager manager;
    bool big = state.range(2) != 0;
    view.level = big ? &world().big : &world().lvl;
    view.texture_set = big ? &world().big_set : &world().set;
    view.x = 5; view.y = 25; view.w = 600; view.h = 570;
    manager.add(&view);
    view.thumbnail_size = (int)state.range(0);
    view.set_mode(TEXTURE_MODE_GROUP);
    view.selected_texture = 3;
    if (state.range(1))
        view.select_and_show(127, true);
    for (auto _ : state) {
        clear_frame();
        allegro_gl_set_allegro_mode();
        view.draw(screen);
        allegro_gl_unset_allegro_mode();
        glFinish();
    }
}
BENCHMARK(BM_texture_groups_128_pages)->Args({32, 0, 0})->Args({64, 0, 0})->Args({64, 1, 0})
    ->Args({256, 0, 0})->Args({64, 0, 1})->Unit(benchmark::kMillisecond);

// The 3D view: range(0) = 0 shows nothing, 1 the largest model, 2 the
// largest event model, 3 the demo level's largest model.
void BM_model_view(benchmark::State &state)
{
    if (skip_without_display(state))
        return;
    render3d view;
    view.x = 5; view.y = 25; view.w = 600; view.h = 570;
    view.yaw = 30.0f;
    view.pitch = 20.0f;
    show_event_model = state.range(0) == 2;
    selected_model = state.range(0) == 1 ? 0 : state.range(0) == 3 ? world().demo_largest : -1;
    selected_event_model = state.range(0) == 2 ? 0 : -1;
    current_level = state.range(0) == 3 ? &world().demo : &world().lvl;
    current_textures = state.range(0) == 3 ? &world().demo_set : &world().set;
    for (auto _ : state) {
        clear_frame();
        allegro_gl_set_allegro_mode();
        draw_selected_model(&view, &view.yaw, &view.pitch, &view.pan_x, &view.pan_y, &view.distance);
        allegro_gl_unset_allegro_mode();
        glFinish();
    }
    const level &lvl = world().lvl;
    if (state.range(0) == 1)
        state.counters["polygons"] = lvl.models[0].polygon_count;
    if (state.range(0) == 2)
        state.counters["polygons"] = lvl.event_models[0].polygon_count;
    if (state.range(0) == 3)
        state.counters["polygons"] = world().demo.models[world().demo_largest].polygon_count;
    current_level = &world().lvl;
    current_textures = &world().set;
}
BENCHMARK(BM_model_view)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
