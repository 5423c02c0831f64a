// Uploading a 128-page level's GL textures against converting its pixels alone, and one frame of 128 thumbnails.
//
// Needs a display (run under xvfb-run). The frame benchmark stands in for the
// texture page view until it exists: 128 textured 64 x 64 quads of the
// level's pages plus a handful of themed widgets, then the buffer flip.
#include <benchmark/benchmark.h>

#include <allegro.h>
#include <alleggl.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "demo/level_builder.h"
#include "gui/button.h"
#include "gui/listbox.h"
#include "gui/object.h"
#include "render/gl_textures.h"
#include "app/gl_window.h"
#include "level/level.h"
#include "level/texture_store.h"

namespace {

bool open_window()
{
    static int state = 0;   // 0 = not tried, 1 = open, -1 = failed
    if (state != 0) return state == 1;
    state = -1;
    if (open_gl_window_like_editor() != 0) return false;
    state = 1;
    return true;
}

// 64 paletted pages (lists of one to three palettes) and 64 15-bit pages.
level *big_level()
{
    static level lvl;
    static bool loaded = false;
    if (!loaded) {
        sample_level sample = make_sample_level(64, 64);
        memset(&lvl, 0, sizeof lvl);
        if (load_level_from_memory(&lvl, sample.lev.data(), sample.lev.size(), sample.d3d.data(),
                                   sample.d3d.size(), LOAD_ALL).code != LOAD_OK)
            return nullptr;
        loaded = true;
    }
    return &lvl;
}

int texture_count(level *lvl)
{
    int n = 0;
    for (int t = 0; t < lvl->texture_count; t++) {
        palette_list *list = lvl->textures[t].paletted ? find_palette_list(lvl, t) : nullptr;
        n += lvl->textures[t].paletted ? (list ? list->count : 0) : 1;
    }
    return n;
}

// The baseline: the same conversions into one scratch buffer, no GL.
void BM_convert_pages_only(benchmark::State &state)
{
    level *lvl = big_level();
    if (!lvl) {
        state.SkipWithError("the generated level did not load");
        return;
    }
    std::vector<unsigned char> rgba((size_t)PAGE_PIXELS * 4);
    for (auto _ : state) {
        for (int t = 0; t < lvl->texture_count; t++) {
            const level_texture &page = lvl->textures[t];
            if (!page.paletted) {
                page16_to_rgba(page_pixels16(page), true, rgba.data());
                continue;
            }
            palette_list *list = find_palette_list(lvl, t);
            for (int j = 0; list && j < list->count; j++) {
                int id = list->palette_ids[j];
                if (id >= 0 && id < lvl->palette_table_size && lvl->palette_table[id])
                    page8_to_rgba(page_indices(page), lvl->palette_table[id], rgba.data());
            }
        }
        benchmark::DoNotOptimize(rgba.data());
        benchmark::ClobberMemory();
    }
    state.counters["textures"] = texture_count(lvl);
}
BENCHMARK(BM_convert_pages_only)->Unit(benchmark::kMillisecond);

void BM_build_gl_textures(benchmark::State &state)
{
    level *lvl = big_level();
    if (!open_window() || !lvl) {
        state.SkipWithError("no OpenGL window or no level (run under xvfb-run)");
        return;
    }
    gl_texture_set set = {};
    for (auto _ : state) {
        build_gl_textures(&set, lvl);
        glFinish();
        state.PauseTiming();
        release_gl_textures(&set);
        glFinish();
        state.ResumeTiming();
    }
    state.counters["textures"] = texture_count(lvl);
}
BENCHMARK(BM_build_gl_textures)->Unit(benchmark::kMillisecond);

// A few widgets standing in for the main screen's panels and lists.
struct stand_in_gui {
    gui_manager manager;
    button buttons[6];
    listbox list;
    const char *items[40];
    stand_in_gui()
    {
        for (int i = 0; i < 6; i++) {
            buttons[i].x = 10 + i * 90;
            buttons[i].y = 570;
            buttons[i].w = 80;
            buttons[i].h = 20;
            buttons[i].label = "Button";
            manager.add(&buttons[i]);
        }
        for (int i = 0; i < 40; i++) items[i] = "Texture page";
        list.x = 620;
        list.y = 30;
        list.w = 170;
        list.h = 530;
        list.items = items;
        list.count = 40;
        manager.add(&list);
        list.update_range();
    }
};

void BM_draw_frame_128_thumbnails(benchmark::State &state)
{
    level *lvl = big_level();
    if (!open_window() || !lvl) {
        state.SkipWithError("no OpenGL window or no level (run under xvfb-run)");
        return;
    }
    gl_texture_set set = {};
    build_gl_textures(&set, lvl);
    stand_in_gui gui;
    for (auto _ : state) {
        glClearColor(0.2f, 0.2f, 0.2f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDisable(GL_DEPTH_TEST);
        allegro_gl_set_allegro_mode();
        rectfill(screen, 0, 0, SCREEN_W, 20, makecol(200, 200, 200));
        allegro_gl_unset_allegro_mode();
        // 16 columns by 8 rows at a 38-pixel pitch keep all 128 inside the
        // 620 x 560 area left of the list.
        allegro_gl_set_projection();
        glEnable(GL_TEXTURE_2D);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        for (int t = 0; t < 128 && t < lvl->texture_count; t++) {
            float x = 4.0f + (float)(t % 16) * 38.0f;
            float y = 24.0f + (float)(t / 16) * 68.0f;
            glBindTexture(GL_TEXTURE_2D, gl_texture_for(&set, t, 0));
            glBegin(GL_QUADS);
            glTexCoord2f(0.0f, 0.0f);
            glVertex2f(x, y);
            glTexCoord2f(0.0f, 1.0f);
            glVertex2f(x, y + 64.0f);
            glTexCoord2f(1.0f, 1.0f);
            glVertex2f(x + 64.0f, y + 64.0f);
            glTexCoord2f(1.0f, 0.0f);
            glVertex2f(x + 64.0f, y);
            glEnd();
        }
        glDisable(GL_TEXTURE_2D);
        allegro_gl_unset_projection();
        allegro_gl_set_allegro_mode();
        gui.manager.draw_all(screen);
        allegro_gl_unset_allegro_mode();
        allegro_gl_flip();
        glFinish();
    }
    release_gl_textures(&set);
}
BENCHMARK(BM_draw_frame_128_thumbnails)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
