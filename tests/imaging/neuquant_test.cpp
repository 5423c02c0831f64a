// The colour quantiser against a compact transcription of the published
// integer algorithm: same palette and same index for every pixel.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <climits>
#include <utility>

#include "imaging/neuquant.h"
#include "imaging_support.h"

// The published algorithm with sample factor 1: records of four ints
// (blue, green, red, colour number), kept apart from the program's form.
namespace ref {
const int netsize = 256, ncycles = 100, netbiasshift = 4, intbiasshift = 16, intbias = 1 << intbiasshift;
const int gammashift = 10, betashift = 10, beta = intbias >> betashift, betagamma = intbias << (gammashift - betashift);
const int initrad = netsize >> 3, radiusbiasshift = 6, initradius = initrad << radiusbiasshift, radiusdec = 30;
const int initalpha = 1 << 10, radbias = 1 << 8, alpharadbias = 1 << 18;
int network[netsize][4], netindex[256], bias[netsize], freq[netsize], radpower[initrad];

int contest(const int c[3])
{
    int bestd = INT_MAX, bestbiasd = INT_MAX, bestpos = -1, bestbiaspos = -1;
    for (int i = 0; i < netsize; i++) {
        int dist = abs(network[i][0] - c[0]) + abs(network[i][1] - c[1]) + abs(network[i][2] - c[2]);
        if (dist < bestd) bestd = dist, bestpos = i;
        int biasdist = dist - (bias[i] >> (intbiasshift - netbiasshift));
        if (biasdist < bestbiasd) bestbiasd = biasdist, bestbiaspos = i;
        int betafreq = freq[i] >> betashift;
        freq[i] -= betafreq, bias[i] += betafreq << gammashift;
    }
    freq[bestpos] += beta, bias[bestpos] -= betagamma;
    return bestbiaspos;
}

void alter(int *n, int a, int divisor, const int c[3]) { for (int k = 0; k < 3; k++) n[k] -= (a * (n[k] - c[k])) / divisor; }

void learn(const unsigned char *pic, int len)
{
    for (int i = 0; i < netsize; i++) {
        network[i][0] = network[i][1] = network[i][2] = (i << (netbiasshift + 8)) / netsize;
        freq[i] = intbias / netsize, bias[i] = 0;
    }
    const int alphadec = 30, samplepixels = len / 3, delta = samplepixels / ncycles;
    const int step = 3 * (len % 499 ? 499 : len % 491 ? 491 : len % 487 ? 487 : 503);
    int alpha = initalpha, radius = initradius, rad = 0;
    auto set_radpower = [&] {
        rad = radius >> radiusbiasshift;
        if (rad <= 1) rad = 0;
        for (int i = 0; i < rad; i++) radpower[i] = alpha * (((rad * rad - i * i) * radbias) / (rad * rad));
    };
    set_radpower();
    for (int i = 0, pos = 0; i < samplepixels;) {
        int c[3] = {pic[pos] << netbiasshift, pic[pos + 1] << netbiasshift, pic[pos + 2] << netbiasshift};
        int j = contest(c);
        alter(network[j], alpha, initalpha, c);
        int lo = std::max(j - rad, -1), hi = std::min(j + rad, netsize);
        for (int up = j + 1, down = j - 1, m = 1; rad && (up < hi || down > lo); m++) {
            if (up < hi) alter(network[up++], radpower[m], alpharadbias, c);
            if (down > lo) alter(network[down--], radpower[m], alpharadbias, c);
        }
        if ((pos += step) >= len) pos -= len;
        if (++i % delta == 0) alpha -= alpha / alphadec, radius -= radius / radiusdec, set_radpower();
    }
    for (int i = 0; i < netsize * 4; i++)  // unbias and number the neurons
        network[i / 4][i % 4] = i % 4 == 3 ? i / 4 : std::min(255, (network[i / 4][i % 4] + (1 << (netbiasshift - 1))) >> netbiasshift);
}

void inxbuild()
{
    int previouscol = 0, startpos = 0;
    for (int i = 0; i < netsize; i++) {
        int smallpos = i;
        for (int j = i + 1; j < netsize; j++)
            if (network[j][1] < network[smallpos][1]) smallpos = j;
        int smallval = network[smallpos][1];
        if (i != smallpos) std::swap(network[i], network[smallpos]);
        if (smallval != previouscol) {
            netindex[previouscol] = (startpos + i) >> 1;
            for (int j = previouscol + 1; j < smallval; j++) netindex[j] = i;
            previouscol = smallval, startpos = i;
        }
    }
    netindex[previouscol] = (startpos + netsize - 1) >> 1;
    for (int j = previouscol + 1; j < 256; j++) netindex[j] = netsize - 1;
}

int inxsearch(int b, int g, int r)
{
    int bestd = 1000, best = -1;
    auto consider = [&](const int *p) {
        int dist = abs(p[1] - g) + abs(p[0] - b) + abs(p[2] - r);
        if (dist < bestd) bestd = dist, best = p[3];
    };
    for (int i = netindex[g], j = i - 1; i < netsize || j >= 0;) {
        if (i < netsize) { if (network[i][1] - g >= bestd) i = netsize; else consider(network[i++]); }
        if (j >= 0) { if (g - network[j][1] >= bestd) j = -1; else consider(network[j--]); }
    }
    return best;
}
}  // namespace ref

// The palette entries (red, green, blue, extra) followed by every pixel's index.
static bytes quantise(const bytes &bgr, bool reference, bool vector = true)
{
    level_palette palette;
    static neuquant network;  // one per test, large for the stack of a sanitizer build
    if (reference) {
        ref::learn(bgr.data(), (int)bgr.size());
        for (int i = 0; i < 1024; i++) palette.entries[i / 4][i % 4] = (unsigned char)(i % 4 < 3 ? ref::network[i / 4][2 - i % 4] : 0);
        ref::inxbuild();
    } else {
        neuquant_init(&network, bgr.data(), (int)bgr.size(), 1);
        network.vector_code = network.vector_code && vector;
        neuquant_learn(&network), neuquant_unbias(&network), neuquant_store_palette(&network, &palette), neuquant_build_index(&network);
    }
    bytes out(&palette.entries[0][0], &palette.entries[0][0] + sizeof palette.entries);
    for (size_t i = 0; i < bgr.size(); i += 3)
        out.push_back((unsigned char)(reference ? ref::inxsearch(bgr[i], bgr[i + 1], bgr[i + 2]) : neuquant_lookup(&network, bgr[i], bgr[i + 1], bgr[i + 2])));
    return out;
}

// Noise of 256 x 256 pixels whose channels take `levels` values (three: many ties).
static bytes noise_picture(unsigned seed, int levels)
{
    bytes bgr(PAGE_PIXELS * 3);
    for (auto &c : bgr) c = (unsigned char)((((seed = seed * 1103515245u + 12345u) >> 16) % (unsigned)levels) * (255 / (levels - 1)));
    return bgr;
}

TEST(quantiser, same_palette_and_indices_as_the_published_algorithm_in_both_code_paths)
{
    for (int levels : {256, 3}) {
        bytes bgr = noise_picture(7, levels), theirs = quantise(bgr, true);
        for (bool vector : {true, false})  // without AVX2 both runs take the plain code
            EXPECT_TRUE(quantise(bgr, false, vector) == theirs) << levels << " " << vector;
    }
}
