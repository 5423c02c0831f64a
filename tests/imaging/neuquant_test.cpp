// Tests of the colour quantiser: known answers, properties, and agreement
// with a plain transcription of the published integer algorithm.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "imaging/neuquant.h"
#include "imaging_support.h"
#include "level/level.h"

namespace {

// ---- The published algorithm, written the way it was published: records
// of four ints, pointer walks, one routine per step. Kept apart from the
// program's vectorised form so that the two check each other.
namespace reference {

const int netsize = 256, ncycles = 100, netbiasshift = 4, intbiasshift = 16, intbias = 1 << intbiasshift;
const int gammashift = 10, betashift = 10, beta = intbias >> betashift, betagamma = intbias << (gammashift - betashift);
const int initrad = netsize >> 3, radiusbiasshift = 6, initradius = initrad << radiusbiasshift, radiusdec = 30;
const int alphabiasshift = 10, initalpha = 1 << alphabiasshift, radbiasshift = 8, radbias = 1 << radbiasshift;
const int alpharadbshift = alphabiasshift + radbiasshift, alpharadbias = 1 << alpharadbshift;
const int prime1 = 499, prime2 = 491, prime3 = 487, prime4 = 503;

const unsigned char *thepicture;
int lengthcount, samplefac, alphadec;
int network[netsize][4];
int netindex[256];
int bias[netsize], freq[netsize], radpower[initrad];

void initnet(const unsigned char *thepic, int len, int sample)
{
    thepicture = thepic;
    lengthcount = len;
    samplefac = sample;
    for (int i = 0; i < netsize; i++) {
        int *p = network[i];
        p[0] = p[1] = p[2] = (i << (netbiasshift + 8)) / netsize;
        freq[i] = intbias / netsize;
        bias[i] = 0;
    }
}

void unbiasnet()
{
    for (int i = 0; i < netsize; i++) {
        for (int j = 0; j < 3; j++) {
            int temp = (network[i][j] + (1 << (netbiasshift - 1))) >> netbiasshift;
            if (temp > 255) temp = 255;
            network[i][j] = temp;
        }
        network[i][3] = i;
    }
}

void inxbuild()
{
    int previouscol = 0, startpos = 0;
    for (int i = 0; i < netsize; i++) {
        int *p = network[i];
        int smallpos = i;
        int smallval = p[1];
        for (int j = i + 1; j < netsize; j++) {
            int *q = network[j];
            if (q[1] < smallval) {
                smallpos = j;
                smallval = q[1];
            }
        }
        int *q = network[smallpos];
        if (i != smallpos) {
            for (int c = 0; c < 4; c++) {
                int t = q[c];
                q[c] = p[c];
                p[c] = t;
            }
        }
        if (smallval != previouscol) {
            netindex[previouscol] = (startpos + i) >> 1;
            for (int j = previouscol + 1; j < smallval; j++) netindex[j] = i;
            previouscol = smallval;
            startpos = i;
        }
    }
    netindex[previouscol] = (startpos + netsize - 1) >> 1;
    for (int j = previouscol + 1; j < 256; j++) netindex[j] = netsize - 1;
}

int inxsearch(int b, int g, int r)
{
    int bestd = 1000, best = -1;
    int i = netindex[g];
    int j = i - 1;
    while (i < netsize || j >= 0) {
        if (i < netsize) {
            int *p = network[i];
            int dist = p[1] - g;
            if (dist >= bestd) i = netsize;
            else {
                i++;
                if (dist < 0) dist = -dist;
                int a = p[0] - b;
                if (a < 0) a = -a;
                dist += a;
                if (dist < bestd) {
                    a = p[2] - r;
                    if (a < 0) a = -a;
                    dist += a;
                    if (dist < bestd) {
                        bestd = dist;
                        best = p[3];
                    }
                }
            }
        }
        if (j >= 0) {
            int *p = network[j];
            int dist = g - p[1];
            if (dist >= bestd) j = -1;
            else {
                j--;
                if (dist < 0) dist = -dist;
                int a = p[0] - b;
                if (a < 0) a = -a;
                dist += a;
                if (dist < bestd) {
                    a = p[2] - r;
                    if (a < 0) a = -a;
                    dist += a;
                    if (dist < bestd) {
                        bestd = dist;
                        best = p[3];
                    }
                }
            }
        }
    }
    return best;
}

int contest(int b, int g, int r)
{
    int bestd = ~(1 << 31), bestbiasd = bestd, bestpos = -1, bestbiaspos = -1;
    int *p = bias, *f = freq;
    for (int i = 0; i < netsize; i++) {
        int *n = network[i];
        int dist = n[0] - b;
        if (dist < 0) dist = -dist;
        int a = n[1] - g;
        if (a < 0) a = -a;
        dist += a;
        a = n[2] - r;
        if (a < 0) a = -a;
        dist += a;
        if (dist < bestd) {
            bestd = dist;
            bestpos = i;
        }
        int biasdist = dist - ((*p) >> (intbiasshift - netbiasshift));
        if (biasdist < bestbiasd) {
            bestbiasd = biasdist;
            bestbiaspos = i;
        }
        int betafreq = (*f >> betashift);
        *f++ -= betafreq;
        *p++ += (betafreq << gammashift);
    }
    freq[bestpos] += beta;
    bias[bestpos] -= betagamma;
    return bestbiaspos;
}

void altersingle(int alpha, int i, int b, int g, int r)
{
    int *n = network[i];
    *n -= (alpha * (*n - b)) / initalpha;
    n++;
    *n -= (alpha * (*n - g)) / initalpha;
    n++;
    *n -= (alpha * (*n - r)) / initalpha;
}

void alterneigh(int rad, int i, int b, int g, int r)
{
    int lo = i - rad;
    if (lo < -1) lo = -1;
    int hi = i + rad;
    if (hi > netsize) hi = netsize;
    int j = i + 1, k = i - 1;
    int *q = radpower;
    while (j < hi || k > lo) {
        int a = *(++q);
        if (j < hi) {
            int *p = network[j];
            *p -= (a * (*p - b)) / alpharadbias;
            p++;
            *p -= (a * (*p - g)) / alpharadbias;
            p++;
            *p -= (a * (*p - r)) / alpharadbias;
            j++;
        }
        if (k > lo) {
            int *p = network[k];
            *p -= (a * (*p - b)) / alpharadbias;
            p++;
            *p -= (a * (*p - g)) / alpharadbias;
            p++;
            *p -= (a * (*p - r)) / alpharadbias;
            k--;
        }
    }
}

void learn()
{
    alphadec = 30 + ((samplefac - 1) / 3);
    const unsigned char *p = thepicture;
    const unsigned char *lim = thepicture + lengthcount;
    int samplepixels = lengthcount / (3 * samplefac);
    int delta = samplepixels / ncycles;
    int alpha = initalpha;
    int radius = initradius;
    int rad = radius >> radiusbiasshift;
    if (rad <= 1) rad = 0;
    for (int i = 0; i < rad; i++) radpower[i] = alpha * (((rad * rad - i * i) * radbias) / (rad * rad));
    int step;
    if ((lengthcount % prime1) != 0) step = 3 * prime1;
    else if ((lengthcount % prime2) != 0) step = 3 * prime2;
    else if ((lengthcount % prime3) != 0) step = 3 * prime3;
    else step = 3 * prime4;
    int i = 0;
    while (i < samplepixels) {
        int b = p[0] << netbiasshift;
        int g = p[1] << netbiasshift;
        int r = p[2] << netbiasshift;
        int j = contest(b, g, r);
        altersingle(alpha, j, b, g, r);
        if (rad) alterneigh(rad, j, b, g, r);
        p += step;
        if (p >= lim) p -= lengthcount;
        i++;
        if (i % delta == 0) {
            alpha -= alpha / alphadec;
            radius -= radius / radiusdec;
            rad = radius >> radiusbiasshift;
            if (rad <= 1) rad = 0;
            for (j = 0; j < rad; j++) radpower[j] = alpha * (((rad * rad - j * j) * radbias) / (rad * rad));
        }
    }
}

}  // namespace reference

// A training picture (blue, green, red per pixel) from an RGB picture.
std::vector<unsigned char> bgr_from_rgb(const std::vector<unsigned char> &rgb)
{
    std::vector<unsigned char> bgr(rgb.size());
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
        bgr[i] = rgb[i + 2];
        bgr[i + 1] = rgb[i + 1];
        bgr[i + 2] = rgb[i];
    }
    return bgr;
}

std::vector<unsigned char> noise_picture(unsigned seed, int levels)
{
    std::vector<unsigned char> bgr(PAGE_PIXELS * 3);
    for (auto &c : bgr) {
        seed = seed * 1103515245u + 12345u;
        c = (unsigned char)(((seed >> 16) % (unsigned)levels) * (255 / (levels - 1 ? levels - 1 : 1)));
    }
    return bgr;
}

struct quantised {
    level_palette palette;
    std::vector<unsigned char> indices;
};

quantised run_program(const std::vector<unsigned char> &bgr)
{
    quantised q;
    memset(&q.palette, 0xEE, sizeof q.palette);
    quant_init(bgr.data(), (int)bgr.size(), 1);
    quant_learn();
    quant_unbias();
    quant_store_palette(&q.palette);
    quant_build_index();
    for (size_t i = 0; i < bgr.size(); i += 3)
        q.indices.push_back((unsigned char)quant_lookup(bgr[i], bgr[i + 1], bgr[i + 2]));
    return q;
}

quantised run_reference(const std::vector<unsigned char> &bgr)
{
    quantised q;
    reference::initnet(bgr.data(), (int)bgr.size(), 1);
    reference::learn();
    reference::unbiasnet();
    for (int i = 0; i < 256; i++) {
        q.palette.entries[i][0] = (unsigned char)reference::network[i][2];
        q.palette.entries[i][1] = (unsigned char)reference::network[i][1];
        q.palette.entries[i][2] = (unsigned char)reference::network[i][0];
        q.palette.entries[i][3] = 0;
    }
    reference::inxbuild();
    for (size_t i = 0; i < bgr.size(); i += 3)
        q.indices.push_back((unsigned char)reference::inxsearch(bgr[i], bgr[i + 1], bgr[i + 2]));
    return q;
}

void expect_same_as_reference(const std::vector<unsigned char> &bgr)
{
    quantised ours = run_program(bgr);
    quantised theirs = run_reference(bgr);
    EXPECT_EQ(0, memcmp(ours.palette.entries, theirs.palette.entries, sizeof ours.palette.entries));
    EXPECT_TRUE(ours.indices == theirs.indices);
}

int colour_distance(const unsigned char *entry, int b, int g, int r)
{
    return abs(entry[2] - b) + abs(entry[1] - g) + abs(entry[0] - r);
}

}  // namespace

TEST(quantiser, same_palette_and_indices_as_the_published_algorithm)
{
    expect_same_as_reference(bgr_from_rgb(make_letter_picture(256, 256)));
    expect_same_as_reference(noise_picture(7, 256));   // more colours than neurons
    expect_same_as_reference(noise_picture(99, 3));    // few colours, many ties
}

TEST(quantiser, same_as_published_with_black_regions_of_a_partial_selection)
{
    std::vector<unsigned char> bgr = bgr_from_rgb(make_letter_picture(256, 256));
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++)
            if (!(x >= 30 && x <= 90 && y >= 20 && y <= 150)) memset(&bgr[(y * 256 + x) * 3], 0, 3);
    quantised ours = run_program(bgr);
    expect_same_as_reference(bgr);
    // Black counts in training: some entry is black or nearly so.
    int best = 1000;
    for (int i = 0; i < 256; i++) best = std::min(best, colour_distance(ours.palette.entries[i], 0, 0, 0));
    EXPECT_LE(best, 3);
}

TEST(quantiser, one_flat_colour_maps_every_pixel_to_one_entry_of_that_colour)
{
    std::vector<unsigned char> bgr(PAGE_PIXELS * 3);
    for (int i = 0; i < PAGE_PIXELS; i++) {
        bgr[i * 3] = 200;      // blue
        bgr[i * 3 + 1] = 40;   // green
        bgr[i * 3 + 2] = 90;   // red
    }
    quantised q = run_program(bgr);
    for (int i = 1; i < PAGE_PIXELS; i++) ASSERT_EQ(q.indices[0], q.indices[i]);
    const unsigned char *e = q.palette.entries[q.indices[0]];
    EXPECT_NEAR(90, e[0], 1);
    EXPECT_NEAR(40, e[1], 1);
    EXPECT_NEAR(200, e[2], 1);
}

TEST(quantiser, a_few_distinct_colours_are_each_found_exactly)
{
    // Four colours in four quadrants: each must get an entry within rounding
    // and all pixels of a quadrant the same entry.
    const unsigned char colours[4][3] = {{255, 0, 0}, {0, 0, 255}, {0, 255, 0}, {255, 255, 255}};  // b, g, r
    std::vector<unsigned char> bgr(PAGE_PIXELS * 3);
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) memcpy(&bgr[(y * 256 + x) * 3], colours[(y / 128) * 2 + x / 128], 3);
    quantised q = run_program(bgr);
    for (int k = 0; k < 4; k++) {
        int x = (k % 2) * 128 + 5, y = (k / 2) * 128 + 5;
        int index = q.indices[y * 256 + x];
        EXPECT_LE(colour_distance(q.palette.entries[index], colours[k][0], colours[k][1], colours[k][2]), 3) << k;
        for (int yy = (k / 2) * 128; yy < (k / 2) * 128 + 128; yy++)
            for (int xx = (k % 2) * 128; xx < (k % 2) * 128 + 128; xx++) ASSERT_EQ(index, q.indices[yy * 256 + xx]);
    }
    expect_same_as_reference(bgr);
}

TEST(quantiser, palette_properties_and_every_lookup_is_a_nearest_neuron)
{
    std::vector<unsigned char> bgr = noise_picture(12345, 256);
    quantised q = run_program(bgr);
    for (int i = 0; i < 256; i++) {
        EXPECT_EQ(0, q.palette.entries[i][3]) << i;  // extra byte
        // Components are bytes, so "no more than 255" is checked on the
        // network itself, before it is narrowed.
    }
    for (int i = 0; i < 256; i++) {
        int n[4];
        quant_get_neuron(i, n);
        for (int c = 0; c < 3; c++) {
            EXPECT_GE(n[c], 0);
            EXPECT_LE(n[c], 255);
        }
        if (i > 0) {
            int previous[4];
            quant_get_neuron(i - 1, previous);
            EXPECT_LE(previous[1], n[1]);  // sorted by green after the index build
        }
    }
    // Every lookup, also of colours not in the picture, lands on an entry at
    // the smallest city-block distance of all 256.
    unsigned seed = 3;
    for (int k = 0; k < 20000; k++) {
        seed = seed * 1103515245u + 12345u;
        int b = (seed >> 8) & 255, g = (seed >> 16) & 255, r = (seed >> 24) & 255;
        int index = quant_lookup(b, g, r);
        ASSERT_GE(index, 0);
        ASSERT_LT(index, 256);
        int best = 1000;
        for (int i = 0; i < 256; i++) best = std::min(best, colour_distance(q.palette.entries[i], b, g, r));
        ASSERT_EQ(best, colour_distance(q.palette.entries[index], b, g, r));
    }
}

TEST(quantiser, fast_lookup_agrees_with_the_walk_for_every_colour_sampled)
{
    // Several trained networks (many ties in the few-colour one), and a
    // dense sample of the colour cube.
    std::vector<std::vector<unsigned char>> pictures = {noise_picture(5, 2), noise_picture(11, 4),
                                                        bgr_from_rgb(make_letter_picture(256, 256))};
    for (const auto &bgr : pictures) {
        run_program(bgr);
        for (int b = 0; b < 256; b += 3)
            for (int g = 0; g < 256; g += 5)
                for (int r = 0; r < 256; r += 7) ASSERT_EQ(quant_lookup_walk(b, g, r), quant_lookup(b, g, r)) << b << " " << g << " " << r;
    }
}

TEST(quantiser, plain_code_gives_the_same_results_as_the_vector_code)
{
    std::vector<unsigned char> bgr = bgr_from_rgb(make_letter_picture(256, 256));
    bool had_vector = quant_use_vector_code(true);
    quantised vector = run_program(bgr);
    quant_use_vector_code(false);
    quantised plain = run_program(bgr);
    quantised theirs = run_reference(bgr);
    quant_use_vector_code(true);
    EXPECT_EQ(0, memcmp(plain.palette.entries, theirs.palette.entries, sizeof plain.palette.entries));
    EXPECT_TRUE(plain.indices == theirs.indices);
    EXPECT_EQ(0, memcmp(vector.palette.entries, plain.palette.entries, sizeof plain.palette.entries));
    EXPECT_TRUE(vector.indices == plain.indices);
    if (!had_vector) GTEST_SKIP() << "no AVX2 here: only the plain code was compared";
}
