// Benchmark of the colour quantisers: quality and time per page side by side.
//
// Four 256 x 256 pictures made here go through the NeuQuant network, the
// "best" quantiser plain and dithered, and pngquant run as a separate
// program. Each reports its PSNR (RGB, 8-bit, all pixels) and its
// milliseconds per page as counters; a summary against the targets follows
// the table. pngquant must be on the PATH (Debian package pngquant);
// its time includes starting the process and its PNG reading and writing.
#include <benchmark/benchmark.h>
#include <math.h>
#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "imaging/best_quantiser.h"
#include "imaging/neuquant.h"
#include "level/level.h"

namespace {

typedef std::vector<unsigned char> picture;  // 256 x 256, red, green, blue
const int SIDE = 256, PIXELS = SIDE * SIDE;

// ---- The pictures ------------------------------------------------------------

unsigned hash2(int x, int y, unsigned seed)
{
    unsigned h = (unsigned)x * 374761393u + (unsigned)y * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

// Smooth value noise, 0 ... 255, with lattice points `period` pixels apart.
int value_noise(int x, int y, int period, unsigned seed)
{
    int gx = x / period, gy = y / period;
    int fx = (x % period) * 256 / period, fy = (y % period) * 256 / period;
    int sx = fx * fx * (768 - 2 * fx) >> 16, sy = fy * fy * (768 - 2 * fy) >> 16;
    int v00 = hash2(gx, gy, seed) & 255, v10 = hash2(gx + 1, gy, seed) & 255;
    int v01 = hash2(gx, gy + 1, seed) & 255, v11 = hash2(gx + 1, gy + 1, seed) & 255;
    int top = v00 * 256 + (v10 - v00) * sx, bottom = v01 * 256 + (v11 - v01) * sx;
    return (top * 256 + (bottom - top) * sy) >> 16;
}

// Five octaves of value noise, 0 ... 255.
int layered_noise(int x, int y, unsigned seed)
{
    return (value_noise(x, y, 64, seed) * 8 + value_noise(x, y, 32, seed + 1) * 4 +
            value_noise(x, y, 16, seed + 2) * 2 + value_noise(x, y, 8, seed + 3) + value_noise(x, y, 4, seed + 4)) /
           16;
}

void put(picture &p, int x, int y, int r, int g, int b)
{
    unsigned char *c = &p[(y * SIDE + x) * 3];
    const int v[3] = {r, g, b};
    for (int k = 0; k < 3; k++) c[k] = (unsigned char)(v[k] < 0 ? 0 : v[k] > 255 ? 255 : v[k]);
}

// Red across, green down, blue falling along the diagonal: 65,536 colours.
picture gradient_picture()
{
    picture p(PIXELS * 3);
    for (int y = 0; y < SIDE; y++)
        for (int x = 0; x < SIDE; x++) put(p, x, y, x, y, 255 - (x + y) / 2);
    return p;
}

picture noise_picture()
{
    picture p(PIXELS * 3);
    unsigned seed = 12345;
    for (unsigned char &c : p) {
        seed = seed * 1103515245u + 12345u;
        c = (unsigned char)(seed >> 16);
    }
    return p;
}

// Bricks with mortar above a wavy edge, grass at the bottom left, rusty
// metal with pits at the bottom right.
picture texture_picture()
{
    picture p(PIXELS * 3);
    for (int y = 0; y < SIDE; y++)
        for (int x = 0; x < SIDE; x++) {
            const int f = layered_noise(x, y, 7), fine = (int)(hash2(x, y, 99) & 31) - 16;
            const int edge = 112 + (value_noise(x, 0, 32, 3) - 128) / 6;
            if (y < edge) {
                const int row = y / 16, shifted = x + (row & 1) * 16;
                if (y % 16 < 2 || shifted % 32 < 2) {
                    const int m = 160 + (f - 128) / 3 + fine / 2;
                    put(p, x, y, m, m - 5, m - 12);
                } else {
                    const int v = (int)(hash2(shifted / 32, row, 5) & 63) - 32, d = (f - 128) / 2 + fine;
                    put(p, x, y, 150 + v + d, 62 + v / 2 + d / 2, 42 + v / 3 + d / 3);
                }
            } else if (x + (y - 128) / 2 < 140) {
                const int blade = value_noise(x * 4, y / 2, 8, 11) - 128;
                put(p, x, y, 45 + f / 5 + fine / 2, 85 + f / 3 + blade / 3 + fine, 25 + f / 8);
            } else {
                const int g = layered_noise(x, y, 21);
                if (g > 140) {
                    put(p, x, y, 110 + fine / 2 + (f - 128) / 8, 115 + fine / 2, 125 + fine / 2 + (f - 128) / 10);
                } else {
                    const int pit = g < 60 ? 60 - g : 0;
                    put(p, x, y, 170 - pit + (f - 128) / 2 + fine, 80 - pit / 2 + (f - 128) / 3 + fine / 2,
                        30 - pit / 4 + fine / 3);
                }
            }
        }
    return p;
}

// A road sign: a flat panel with a border, a 200-step colour bar, and
// blocky letters with a hard shadow: 205 colours.
picture sign_picture()
{
    static const char *const glyphs[5][7] = {
        {"#####", "#....", "#....", "####.", "#....", "#....", "#####"},
        {"#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"},
        {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."},
        {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"},
        {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}};
    picture p(PIXELS * 3);
    for (int y = 0; y < SIDE; y++)
        for (int x = 0; x < SIDE; x++) {
            if (x < 6 || y < 6 || x > 249 || y > 249) {
                put(p, x, y, 235, 235, 225);
            } else if (y >= 200) {
                const int step = (x - 6) * 200 / 244;
                put(p, x, y, step, 255 - step, (step * 7) & 255);
            } else {
                put(p, x, y, 20, 70, 150);
            }
        }
    for (int pass = 0; pass < 2; pass++)
        for (int l = 0; l < 5; l++)
            for (int gy = 0; gy < 7; gy++)
                for (int gx = 0; gx < 5; gx++) {
                    if (glyphs[l][gy][gx] != '#') continue;
                    for (int dy = 0; dy < 8; dy++)
                        for (int dx = 0; dx < 8; dx++) {
                            const int x = 14 + l * 46 + gx * 8 + dx, y = 40 + gy * 8 + dy;
                            if (pass == 0)
                                put(p, x + 3, y + 3, 10, 30, 60);
                            else
                                put(p, x, y, l == 2 ? 250 : 245, l == 2 ? 200 : 245, l == 2 ? 40 : 245);
                        }
                }
    return p;
}

// ---- Measuring -----------------------------------------------------------------

double psnr(const picture &a, const picture &b)
{
    double sse = 0;
    for (size_t i = 0; i < a.size(); i++) sse += ((double)a[i] - b[i]) * ((double)a[i] - b[i]);
    return sse == 0 ? 99.0 : 10.0 * log10(255.0 * 255.0 * (double)a.size() / sse);
}

double now_ms()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// One quantiser: writes the quantised picture into `out`; false on a failure.
typedef std::function<bool(const picture &in, picture &out)> quantiser;

bool run_neuquant(const picture &in, picture &out)
{
    std::vector<unsigned char> bgr(PIXELS * 3);
    for (int i = 0; i < PIXELS; i++)
        for (int k = 0; k < 3; k++) bgr[i * 3 + k] = in[i * 3 + 2 - k];
    neuquant network;
    level_palette palette;
    neuquant_init(&network, bgr.data(), PIXELS * 3, 1);
    neuquant_learn(&network);
    neuquant_unbias(&network);
    neuquant_store_palette(&network, &palette);
    neuquant_build_index(&network);
    for (int i = 0; i < PIXELS; i++) {
        const int e = neuquant_lookup(&network, bgr[i * 3], bgr[i * 3 + 1], bgr[i * 3 + 2]);
        for (int k = 0; k < 3; k++) out[i * 3 + k] = palette.entries[e][k];
    }
    return true;
}

bool run_best(const picture &in, picture &out, bool dither)
{
    unsigned char palette[256][3];
    std::vector<unsigned char> indices(PIXELS);
    if (best_learn_palette(in.data(), SIDE, SIDE, nullptr, palette, nullptr) != BEST_OK) return false;
    if (best_map_pixels(in.data(), SIDE, SIDE, nullptr, palette, dither, indices.data()) != BEST_OK) return false;
    for (int i = 0; i < PIXELS; i++)
        for (int k = 0; k < 3; k++) out[i * 3 + k] = palette[indices[i]][k];
    return true;
}

std::string temp_dir()
{
    char pattern[] = "/tmp/qte_quantisers_XXXXXX";
    const char *dir = mkdtemp(pattern);
    return dir ? dir : "/tmp";
}

bool write_png(const std::string &path, const picture &p)
{
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION, image.width = SIDE, image.height = SIDE, image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, p.data(), 0, nullptr) != 0;
}

bool read_png(const std::string &path, picture &p)
{
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    if (image.width != SIDE || image.height != SIDE) {
        png_image_free(&image);
        return false;
    }
    return png_image_finish_read(&image, nullptr, p.data(), 0, nullptr) != 0;
}

// pngquant at its slowest, best setting without dithering, on a PNG of the picture.
bool run_pngquant(const std::string &dir, const picture &in, picture &out)
{
    const std::string source = dir + "/in.png", result = dir + "/out.png";
    if (!write_png(source, in)) return false;
    const std::string command = "pngquant --speed 1 --nofs --force --output " + result + " 256 " + source;
    return system(command.c_str()) == 0 && read_png(result, out);
}

struct method_result {
    double psnr_db = 0, ms = 0;
    bool every_colour_kept = false;
};

size_t colour_count(const picture &p)
{
    std::vector<bool> seen(1 << 24);
    size_t n = 0;
    for (int i = 0; i < PIXELS; i++) {
        const int c = p[i * 3] << 16 | p[i * 3 + 1] << 8 | p[i * 3 + 2];
        n += !seen[c];
        seen[c] = true;
    }
    return n;
}

void measure(benchmark::State &state, const picture &in, const quantiser &method, method_result *r)
{
    picture out(PIXELS * 3);
    double total = 0;
    for (auto _ : state) {
        const double start = now_ms();
        if (!method(in, out)) {
            state.SkipWithError("the quantiser failed (pngquant missing?)");
            return;
        }
        total += now_ms() - start;
        benchmark::DoNotOptimize(out.data());
    }
    r->psnr_db = psnr(in, out);
    r->ms = total / (double)state.iterations();
    r->every_colour_kept = out == in;
    state.counters["psnr_dB"] = r->psnr_db;
    state.counters["ms_per_page"] = r->ms;
}

}  // namespace

int main(int argc, char **argv)
{
    const std::string dir = temp_dir();
    const char *const picture_names[] = {"gradient", "noise", "texture", "sign"};
    const picture pictures[] = {gradient_picture(), noise_picture(), texture_picture(), sign_picture()};
    const char *const method_names[] = {"neuquant", "best", "best_dither", "pngquant"};
    const quantiser methods[] = {
        run_neuquant,
        [](const picture &in, picture &out) { return run_best(in, out, false); },
        [](const picture &in, picture &out) { return run_best(in, out, true); },
        [&dir](const picture &in, picture &out) { return run_pngquant(dir, in, out); },
    };
    std::map<std::string, method_result> results;
    for (int p = 0; p < 4; p++)
        for (int m = 0; m < 4; m++) {
            const std::string name = std::string(picture_names[p]) + "/" + method_names[m];
            method_result *r = &results[name];
            benchmark::RegisterBenchmark(name.c_str(), [&pictures, &methods, p, m, r](benchmark::State &state) {
                measure(state, pictures[p], methods[m], r);
            })->Unit(benchmark::kMillisecond);
        }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    // The targets: best (undithered) at or above pngquant on average and
    // never 0.3 dB below it, a picture of at most 256 colours kept exactly,
    // at most five times NeuQuant's time.
    printf("\n%-9s %8s | %-16s %-16s %-16s %-16s\n", "picture", "colours", "neuquant", "best", "best_dither",
           "pngquant");
    double margin_sum = 0, worst_margin = 1e9, worst_ratio = 0;
    int measured = 0;
    bool exact = true;
    for (int p = 0; p < 4; p++) {
        const size_t colours = colour_count(pictures[p]);
        printf("%-9s %8zu |", picture_names[p], colours);
        for (int m = 0; m < 4; m++) {
            const method_result &r = results[std::string(picture_names[p]) + "/" + method_names[m]];
            printf(" %5.2f dB %5.1f ms", r.psnr_db, r.ms);
        }
        printf("\n");
        const method_result &nq = results[std::string(picture_names[p]) + "/neuquant"];
        const method_result &best = results[std::string(picture_names[p]) + "/best"];
        const method_result &pq = results[std::string(picture_names[p]) + "/pngquant"];
        if (colours <= 256) exact = exact && best.every_colour_kept;
        if (best.psnr_db < 99.0 || pq.psnr_db < 99.0) {
            margin_sum += best.psnr_db - pq.psnr_db, measured++;
            if (best.psnr_db - pq.psnr_db < worst_margin) worst_margin = best.psnr_db - pq.psnr_db;
        }
        if (nq.ms > 0 && best.ms / nq.ms > worst_ratio) worst_ratio = best.ms / nq.ms;
    }
    printf("best - pngquant: mean %+.2f dB, worst %+.2f dB (pictures both keep exactly left out)\n",
           measured ? margin_sum / measured : 0.0, measured ? worst_margin : 0.0);
    printf("few-colour pictures kept exactly: %s; best's time at most %.1f x NeuQuant's\n", exact ? "yes" : "NO",
           worst_ratio);
    return 0;
}
