// The colour quantiser: training, unbiasing, palette read-out, green index
// and nearest-colour lookup of a 256-neuron one-dimensional network.
//
// The network is kept as four separate arrays (blue, green, red, colour
// number) rather than 256 records of four ints, so that the distance loop of
// the contest, which runs 65,536 times over all 256 neurons, vectorises. The
// arithmetic is exactly the published integer arithmetic: same shifts, same
// truncating divisions, same tie rules, hence the same palette.
//
// Sections:
//   1. Constants
//   2. Training: contest (plain and AVX2), moving the winner and neighbours
//   3. neuquant_init, neuquant_learn, neuquant_unbias, neuquant_store_palette
//   4. neuquant_build_index and neuquant_lookup (AVX2 search and the published walk)

// The contest loop is most of an import's time; vectorising it needs more
// than the default optimisation level even in debug builds.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("O3")
#endif

#include "imaging/neuquant.h"

#include <limits.h>
#include <stdint.h>
#include <string.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUANT_HAVE_X86 1
#endif

#include "level/level.h"

// ---- 1. Constants ----------------------------------------------------------------

namespace {

enum {
    NET_SIZE = QUANT_NEURONS,
    MAX_NET_POS = NET_SIZE - 1,
    NET_BIAS_SHIFT = 4,                    // colours are scaled by 16 while learning
    INT_BIAS_SHIFT = 16,                   // bias and frequency fractions
    INT_BIAS = 1 << INT_BIAS_SHIFT,
    GAMMA_SHIFT = 10,
    BETA_SHIFT = 10,
    BETA = INT_BIAS >> BETA_SHIFT,         // 64
    BETA_GAMMA = INT_BIAS << (GAMMA_SHIFT - BETA_SHIFT),  // 65536
    INIT_RAD = NET_SIZE >> 3,              // 32 neurons
    RADIUS_BIAS_SHIFT = 6,
    INIT_RADIUS = INIT_RAD << RADIUS_BIAS_SHIFT,  // 2048
    RADIUS_DEC = 30,
    ALPHA_BIAS_SHIFT = 10,
    INIT_ALPHA = 1 << ALPHA_BIAS_SHIFT,    // 1024
    RAD_BIAS_SHIFT = 8,
    RAD_BIAS = 1 << RAD_BIAS_SHIFT,
    ALPHA_RAD_BIAS = 1 << (ALPHA_BIAS_SHIFT + RAD_BIAS_SHIFT),  // 262144
    PRIME1 = 499,
    PRIME2 = 491,
    PRIME3 = 487,
    PRIME4 = 503,
    START_DISTANCE = 1000,
};

// ---- 2. Training --------------------------------------------------------------

inline int absolute(int v) { return v < 0 ? -v : v; }

// Chooses the neuron to train for the scaled sample and updates every
// neuron's frequency and bias. The neuron with the smallest plain distance
// wins the frequency; the one with the smallest biased distance is returned.
// Ties go to the lowest index in both cases.
int contest_plain(neuquant &quant, int b, int g, int r)
{
    alignas(64) int dist[NET_SIZE];
    alignas(64) int biased[NET_SIZE];
    int *bias = quant.bias;
    int *freq = quant.freq;
    for (int i = 0; i < NET_SIZE; i++) {
        int d = absolute(quant.blue[i] - b) + absolute(quant.green[i] - g) + absolute(quant.red[i] - r);
        dist[i] = d;
        biased[i] = d - (bias[i] >> (INT_BIAS_SHIFT - NET_BIAS_SHIFT));
        int f = freq[i] >> BETA_SHIFT;
        freq[i] -= f;
        bias[i] += f << GAMMA_SHIFT;
    }
    // Minimum first (vectorises), then the first position holding it: the
    // same neuron a strictly-smaller scan would keep.
    int best_d = INT_MAX, best_biased_d = INT_MAX;
    for (int i = 0; i < NET_SIZE; i++) {
        best_d = dist[i] < best_d ? dist[i] : best_d;
        best_biased_d = biased[i] < best_biased_d ? biased[i] : best_biased_d;
    }
    int best_pos = 0;
    while (dist[best_pos] != best_d) best_pos++;
    int best_biased_pos = 0;
    while (biased[best_biased_pos] != best_biased_d) best_biased_pos++;
    freq[best_pos] += BETA;
    bias[best_pos] -= BETA_GAMMA;
    return best_biased_pos;
}

#ifdef QUANT_HAVE_X86
// The contest with AVX2, eight neurons at a time; same arithmetic (the
// arithmetic shifts are C's >> on these ints), same tie rule: the minimum is
// found first, then its first position.
__attribute__((target("avx2"))) int first_position_of(const int *values, int wanted)
{
    const __m256i v = _mm256_set1_epi32(wanted);
    for (int i = 0; i < NET_SIZE; i += 8) {
        __m256i eq = _mm256_cmpeq_epi32(_mm256_load_si256((const __m256i *)(values + i)), v);
        int mask = _mm256_movemask_ps(_mm256_castsi256_ps(eq));
        if (mask) return i + __builtin_ctz((unsigned)mask);
    }
    return 0;  // not reached: the value is one of them
}

__attribute__((target("avx2"))) int horizontal_min(__m256i v)
{
    __m128i m = _mm_min_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    m = _mm_min_epi32(m, _mm_shuffle_epi32(m, _MM_SHUFFLE(1, 0, 3, 2)));
    m = _mm_min_epi32(m, _mm_shuffle_epi32(m, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(m);
}

__attribute__((target("avx2"))) int contest_avx2(neuquant &quant, int b, int g, int r)
{
    alignas(64) int dist[NET_SIZE];
    alignas(64) int biased[NET_SIZE];
    const __m256i vb = _mm256_set1_epi32(b), vg = _mm256_set1_epi32(g), vr = _mm256_set1_epi32(r);
    __m256i smallest = _mm256_set1_epi32(INT_MAX), smallest_biased = _mm256_set1_epi32(INT_MAX);
    for (int i = 0; i < NET_SIZE; i += 8) {
        __m256i d = _mm256_abs_epi32(_mm256_sub_epi32(_mm256_load_si256((const __m256i *)(quant.blue + i)), vb));
        d = _mm256_add_epi32(d, _mm256_abs_epi32(_mm256_sub_epi32(_mm256_load_si256((const __m256i *)(quant.green + i)), vg)));
        d = _mm256_add_epi32(d, _mm256_abs_epi32(_mm256_sub_epi32(_mm256_load_si256((const __m256i *)(quant.red + i)), vr)));
        __m256i bias = _mm256_load_si256((const __m256i *)(quant.bias + i));
        __m256i freq = _mm256_load_si256((const __m256i *)(quant.freq + i));
        __m256i bd = _mm256_sub_epi32(d, _mm256_srai_epi32(bias, INT_BIAS_SHIFT - NET_BIAS_SHIFT));
        __m256i f = _mm256_srai_epi32(freq, BETA_SHIFT);
        _mm256_store_si256((__m256i *)(quant.freq + i), _mm256_sub_epi32(freq, f));
        _mm256_store_si256((__m256i *)(quant.bias + i), _mm256_add_epi32(bias, _mm256_slli_epi32(f, GAMMA_SHIFT)));
        _mm256_store_si256((__m256i *)(dist + i), d);
        _mm256_store_si256((__m256i *)(biased + i), bd);
        smallest = _mm256_min_epi32(smallest, d);
        smallest_biased = _mm256_min_epi32(smallest_biased, bd);
    }
    const int best_pos = first_position_of(dist, horizontal_min(smallest));
    const int best_biased_pos = first_position_of(biased, horizontal_min(smallest_biased));
    quant.freq[best_pos] += BETA;
    quant.bias[best_pos] -= BETA_GAMMA;
    return best_biased_pos;
}
#endif

int contest(neuquant &quant, int b, int g, int r)
{
#ifdef QUANT_HAVE_X86
    if (quant.vector_code) return contest_avx2(quant, b, g, r);
#endif
    return contest_plain(quant, b, g, r);
}

// Moves neuron i towards the sample by alpha / 1024.
void alter_single(neuquant &quant, int alpha, int i, int b, int g, int r)
{
    quant.blue[i] -= (alpha * (quant.blue[i] - b)) / INIT_ALPHA;
    quant.green[i] -= (alpha * (quant.green[i] - g)) / INIT_ALPHA;
    quant.red[i] -= (alpha * (quant.red[i] - r)) / INIT_ALPHA;
}

// Moves the neighbours of neuron i within rad positions towards the sample,
// walking outwards on both sides in lockstep; the m-th step on either side
// uses radius_power[m].
void alter_neighbours(neuquant &quant, int rad, int i, int b, int g, int r)
{
    int lo = i - rad;
    if (lo < -1) lo = -1;
    int hi = i + rad;
    if (hi > NET_SIZE) hi = NET_SIZE;
    int j = i + 1;
    int k = i - 1;
    int m = 0;
    while (j < hi || k > lo) {
        int a = quant.radius_power[++m];
        if (j < hi) {
            quant.blue[j] -= (a * (quant.blue[j] - b)) / ALPHA_RAD_BIAS;
            quant.green[j] -= (a * (quant.green[j] - g)) / ALPHA_RAD_BIAS;
            quant.red[j] -= (a * (quant.red[j] - r)) / ALPHA_RAD_BIAS;
            j++;
        }
        if (k > lo) {
            quant.blue[k] -= (a * (quant.blue[k] - b)) / ALPHA_RAD_BIAS;
            quant.green[k] -= (a * (quant.green[k] - g)) / ALPHA_RAD_BIAS;
            quant.red[k] -= (a * (quant.red[k] - r)) / ALPHA_RAD_BIAS;
            k--;
        }
    }
}

void set_radius_power(neuquant &quant, int alpha, int rad)
{
    for (int k = 0; k < rad; k++)
        quant.radius_power[k] = alpha * (((rad * rad - k * k) * RAD_BIAS) / (rad * rad));
}

}  // namespace

// ---- 3. Initialising, learning, unbiasing, reading out ------------------------

bool neuquant_cpu_has_vector_code()
{
#ifdef QUANT_HAVE_X86
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

void neuquant_init(neuquant *network, const unsigned char *picture, int length, int sample_factor)
{
    neuquant &quant = *network;
    quant.vector_code = neuquant_cpu_has_vector_code();
    quant.picture = picture;
    quant.length = length;
    quant.sample_factor = sample_factor;
    for (int i = 0; i < NET_SIZE; i++) {
        int v = (i << (NET_BIAS_SHIFT + 8)) / NET_SIZE;  // i * 16
        quant.blue[i] = quant.green[i] = quant.red[i] = v;
        quant.colour[i] = 0;
        quant.freq[i] = INT_BIAS / NET_SIZE;  // 256
        quant.bias[i] = 0;
    }
}

void neuquant_learn(neuquant *network)
{
    neuquant &quant = *network;
    const int sample_factor = quant.sample_factor > 0 ? quant.sample_factor : 1;
    const int alpha_dec = 30 + (sample_factor - 1) / 3;
    const int length = quant.length;
    const int sample_count = length / (3 * sample_factor);
    int cycle_length = sample_count / QUANT_CYCLES;
    // Too small a picture for 100 cycles; avoid dividing by zero and let
    // every sample end a cycle.
    if (cycle_length < 1) cycle_length = 1;
    int alpha = INIT_ALPHA;
    int radius = INIT_RADIUS;
    int rad = radius >> RADIUS_BIAS_SHIFT;
    if (rad <= 1) rad = 0;
    set_radius_power(quant, alpha, rad);

    int step;
    if (length % PRIME1 != 0) step = 3 * PRIME1;
    else if (length % PRIME2 != 0) step = 3 * PRIME2;
    else if (length % PRIME3 != 0) step = 3 * PRIME3;
    else step = 3 * PRIME4;

    const unsigned char *picture = quant.picture;
    int pos = 0;
    for (int i = 0; i < sample_count;) {
        int b = picture[pos] << NET_BIAS_SHIFT;
        int g = picture[pos + 1] << NET_BIAS_SHIFT;
        int r = picture[pos + 2] << NET_BIAS_SHIFT;
        int j = contest(quant, b, g, r);
        alter_single(quant, alpha, j, b, g, r);
        if (rad) alter_neighbours(quant, rad, j, b, g, r);
        pos += step;
        if (pos >= length) pos -= length;
        // A position left over from a length that is not a multiple of 3
        // must not read past the end.
        if (pos > length - 3) pos = 0;
        i++;
        if (i % cycle_length == 0) {
            alpha -= alpha / alpha_dec;
            radius -= radius / RADIUS_DEC;
            rad = radius >> RADIUS_BIAS_SHIFT;
            if (rad <= 1) rad = 0;
            set_radius_power(quant, alpha, rad);
        }
    }
}

void neuquant_unbias(neuquant *network)
{
    neuquant &quant = *network;
    int *components[3] = {quant.blue, quant.green, quant.red};
    for (int i = 0; i < NET_SIZE; i++) {
        for (int c = 0; c < 3; c++) {
            int v = (components[c][i] + (1 << (NET_BIAS_SHIFT - 1))) >> NET_BIAS_SHIFT;
            if (v > 255) v = 255;
            if (v < 0) v = 0;  // cannot happen: training stays between grey ramp and samples
            components[c][i] = v;
        }
        quant.colour[i] = i;
    }
}

void neuquant_store_palette(const neuquant *network, level_palette *palette)
{
    const neuquant &quant = *network;
    for (int i = 0; i < NET_SIZE; i++) {
        palette->entries[i][0] = (unsigned char)quant.red[i];
        palette->entries[i][1] = (unsigned char)quant.green[i];
        palette->entries[i][2] = (unsigned char)quant.blue[i];
        palette->entries[i][3] = 0;
    }
}

// ---- 4. Green index and lookup -------------------------------------------------

void neuquant_build_index(neuquant *network)
{
    neuquant &quant = *network;
    int previous = 0;
    int start = 0;
    for (int i = 0; i < NET_SIZE; i++) {
        int small_pos = i;
        int small_val = quant.green[i];
        for (int j = i + 1; j < NET_SIZE; j++) {
            if (quant.green[j] < small_val) {
                small_pos = j;
                small_val = quant.green[j];
            }
        }
        if (small_pos != i) {
            int *components[4] = {quant.blue, quant.green, quant.red, quant.colour};
            for (int c = 0; c < 4; c++) {
                int t = components[c][i];
                components[c][i] = components[c][small_pos];
                components[c][small_pos] = t;
            }
        }
        if (small_val != previous) {
            quant.colour_index[previous] = (start + i) >> 1;
            for (int j = previous + 1; j < small_val; j++) quant.colour_index[j] = i;
            previous = small_val;
            start = i;
        }
    }
    quant.colour_index[previous] = (start + MAX_NET_POS) >> 1;
    for (int j = previous + 1; j < 256; j++) quant.colour_index[j] = MAX_NET_POS;

    for (int i = 0; i < NET_SIZE; i++) {
        quant.blue16[i] = (int16_t)quant.blue[i];
        quant.green16[i] = (int16_t)quant.green[i];
        quant.red16[i] = (int16_t)quant.red[i];
    }
}

namespace {

#ifdef QUANT_HAVE_X86
// The lookup without the walk. The walk below visits neurons in the order
// start, start - 1, start + 1, start - 2, ... and keeps the first one with
// the smallest distance; it stops a side only where no neuron of that side
// can come strictly closer than the best so far, so no neuron at the
// smallest distance that comes earlier in that order is ever skipped. Its
// answer is therefore: of all neurons at the smallest city-block distance,
// the one earliest in that order. This computes all 256 distances at once
// and picks that neuron, giving the same answer in fixed time.
__attribute__((target("avx2"))) int lookup_avx2(const neuquant &quant, int b, int g, int r)
{
    const __m256i vb = _mm256_set1_epi16((short)b);
    const __m256i vg = _mm256_set1_epi16((short)g);
    const __m256i vr = _mm256_set1_epi16((short)r);
    __m256i dist[NET_SIZE / 16];
    __m256i smallest = _mm256_set1_epi16(0x7FFF);
    for (int v = 0; v < NET_SIZE / 16; v++) {
        __m256i db = _mm256_abs_epi16(_mm256_sub_epi16(_mm256_load_si256((const __m256i *)(quant.blue16 + v * 16)), vb));
        __m256i dg = _mm256_abs_epi16(_mm256_sub_epi16(_mm256_load_si256((const __m256i *)(quant.green16 + v * 16)), vg));
        __m256i dr = _mm256_abs_epi16(_mm256_sub_epi16(_mm256_load_si256((const __m256i *)(quant.red16 + v * 16)), vr));
        dist[v] = _mm256_add_epi16(_mm256_add_epi16(db, dg), dr);
        smallest = _mm256_min_epi16(smallest, dist[v]);
    }
    __m128i half = _mm_min_epu16(_mm256_castsi256_si128(smallest), _mm256_extracti128_si256(smallest, 1));
    const int best_d = _mm_cvtsi128_si32(_mm_minpos_epu16(half)) & 0xFFFF;
    // Two mask bits per neuron: bit 2n is set when neuron n is at best_d.
    const __m256i vbest = _mm256_set1_epi16((short)best_d);
    uint64_t at_best[NET_SIZE / 32];
    for (int w = 0; w < NET_SIZE / 32; w++) {
        uint32_t lo = (uint32_t)_mm256_movemask_epi8(_mm256_cmpeq_epi16(dist[2 * w], vbest));
        uint32_t hi = (uint32_t)_mm256_movemask_epi8(_mm256_cmpeq_epi16(dist[2 * w + 1], vbest));
        at_best[w] = (uint64_t)lo | (uint64_t)hi << 32;
    }
    // Nearest candidate at or above the start, and nearest below it.
    const int start = quant.colour_index[g];
    int up = -1, down = -1;
    for (int w = (2 * start) >> 6; w < NET_SIZE / 32; w++) {
        uint64_t bits = at_best[w];
        if (w == (2 * start) >> 6) bits &= ~0ull << ((2 * start) & 63);
        if (bits) {
            up = (w * 64 + __builtin_ctzll(bits)) >> 1;
            break;
        }
    }
    for (int w = (2 * start - 1) >> 6; start > 0 && w >= 0; w--) {
        uint64_t bits = at_best[w];
        if (w == (2 * start - 1) >> 6) {
            int keep = ((2 * start - 1) & 63) + 1;  // bits 0 ... 2 * start - 1 of this word
            if (keep < 64) bits &= (1ull << keep) - 1;
        }
        if (bits) {
            down = (w * 64 + 63 - __builtin_clzll(bits)) >> 1;
            break;
        }
    }
    // Rank in the walk's order: start + m is visited as step 2m, start - 1 - m
    // as step 2m + 1.
    int chosen;
    if (up < 0) chosen = down;
    else if (down < 0) chosen = up;
    else chosen = 2 * (up - start) < 2 * (start - 1 - down) + 1 ? up : down;
    return quant.colour[chosen];
}
#endif

// The published walk outwards from the neurons whose green is closest.
int lookup_walk(const neuquant &quant, int b, int g, int r)
{
    const int *blue = quant.blue;
    const int *green = quant.green;
    const int *red = quant.red;
    int best_d = START_DISTANCE;
    int best = -1;
    int i = quant.colour_index[g];
    int k = i - 1;
    while (i < NET_SIZE || k >= 0) {
        if (i < NET_SIZE) {
            int d = green[i] - g;
            if (d >= best_d) {
                i = NET_SIZE;
            } else {
                int n = i++;
                if (d < 0) d = -d;
                d += absolute(blue[n] - b);
                if (d < best_d) {
                    d += absolute(red[n] - r);
                    if (d < best_d) {
                        best_d = d;
                        best = quant.colour[n];
                    }
                }
            }
        }
        if (k >= 0) {
            int d = g - green[k];
            if (d >= best_d) {
                k = -1;
            } else {
                int n = k--;
                if (d < 0) d = -d;
                d += absolute(blue[n] - b);
                if (d < best_d) {
                    d += absolute(red[n] - r);
                    if (d < best_d) {
                        best_d = d;
                        best = quant.colour[n];
                    }
                }
            }
        }
    }
    return best;
}

}  // namespace

int neuquant_lookup(const neuquant *network, int b, int g, int r)
{
    b &= 255;
    g &= 255;
    r &= 255;
#ifdef QUANT_HAVE_X86
    if (network->vector_code) return lookup_avx2(*network, b, g, r);
#endif
    return lookup_walk(*network, b, g, r);
}

int neuquant_lookup_walk(const neuquant *network, int b, int g, int r)
{
    return lookup_walk(*network, b & 255, g & 255, r & 255);
}

