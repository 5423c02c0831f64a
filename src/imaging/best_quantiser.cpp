// The "best" colour quantiser: palette learning and nearest-entry mapping.
//
// The distinct colours of a picture, variance-based box splits for a
// starting palette, weighted k-means and Hartigan sweeps, and the mapping of
// pixels to a palette through candidate lists per colour cell.
//
// Sections:
//   1. Constants and small arithmetic
//   2. The distinct colours of the masked pixels
//   3. The nearest-entry table
//   4. Box splits for the starting palette
//   5. Weighted k-means (Lloyd's rounds)
//   6. Hartigan sweeps
//   7. best_learn_palette
//   8. best_map_pixels

#include "imaging/best_quantiser.h"

#include <limits.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

// ---- 1. Constants and small arithmetic -----------------------------------------

namespace {

enum {
    ENTRIES = 256,
    // The nearest-entry table's cells have sides of 64, 32, 16 and 8 colour
    // steps. A cell gets children with their own candidate lists only when
    // its list is longer than SPLIT_LIST: where the entries are sparse a
    // coarse cell does, where they crowd together finer cells pay.
    TABLE_LEVELS = 4,
    COARSEST_SHIFT = 6,
    SPLIT_LIST = 6,
    TABLE_COLUMNS = 4 + 8 + 16 + 32,  // cell columns of all levels together
    LIST_POOL = 1 << 20,              // list bytes one table keeps; past that, parents' lists serve
    // Lloyd's rounds stop when a round lowers the error by less than 1/64 of
    // it before the Hartigan sweeps (which gain more for their time), by
    // less than 1/1024 after them.
    KMEANS_MAX_ROUNDS = 60,
    KMEANS_ROUGH_STOP = 64,
    KMEANS_FINE_STOP = 1024,
    HARTIGAN_SWEEPS = 6,
};

// A colour's key interleaves the bits of red, green and blue from the top
// (Morton order), so the key shifted right by 3s numbers the colour's cell
// of side 2^s, and sorted keys keep every cell's colours together.
inline uint32_t spread_bits(uint32_t v)
{
    v = (v | v << 8) & 0x00F00Fu;
    v = (v | v << 4) & 0x0C30C3u;
    return (v | v << 2) & 0x249249u;
}

inline uint32_t compact_bits(uint32_t v)
{
    v &= 0x249249u;
    v = (v | v >> 2) & 0x0C30C3u;
    v = (v | v >> 4) & 0x00F00Fu;
    return (v | v >> 8) & 0xFFu;
}

inline uint32_t colour_key(const unsigned char *c)
{
    return spread_bits(c[0]) << 2 | spread_bits(c[1]) << 1 | spread_bits(c[2]);
}

inline int square(int v) { return v * v; }

inline int distance2(const unsigned char *c, const int *e)
{
    return square(c[0] - e[0]) + square(c[1] - e[1]) + square(c[2] - e[2]);
}

// The pixel count of a picture, or -1 when a side is below 1 or the count
// does not fit an int.
int64_t pixel_count(int width, int height)
{
    if (width < 1 || height < 1) return -1;
    int64_t n = (int64_t)width * height;
    return n > INT_MAX ? -1 : n;
}

// ---- 2. The distinct colours of the masked pixels --------------------------------

struct colour_set {
    int count;
    uint32_t *key;               // increasing
    unsigned char (*colour)[3];  // red, green, blue
    uint32_t *weight;            // pixels of that colour
    uint64_t total;              // pixels in all
};

void free_colour_set(colour_set *set)
{
    free(set->key), free(set->colour), free(set->weight);
    set->key = nullptr, set->colour = nullptr, set->weight = nullptr;
}

// Counts the masked pixels' colours: two 12-bit radix passes over the keys,
// then one record per run of equal keys. Answers false when memory runs out.
bool collect_colours(const unsigned char *rgb, int pixels, const unsigned char *mask, colour_set *set)
{
    set->count = 0, set->total = 0, set->key = nullptr, set->colour = nullptr, set->weight = nullptr;
    int n = 0;
    for (int i = 0; i < pixels; i++) n += !mask || mask[i];
    // No buffer holds more than 16 bytes per pixel, so none of their sizes overflows.
    if ((size_t)n > SIZE_MAX / 16 - 1) return false;
    uint32_t *block = (uint32_t *)malloc(((size_t)n + 1) * 2 * sizeof(uint32_t));
    uint32_t *counts = (uint32_t *)malloc(4097 * sizeof(uint32_t));
    if (!block || !counts) {
        free(block), free(counts);
        return false;
    }
    uint32_t *keys = block, *sorted = block + n + 1;
    for (int i = 0, k = 0; i < pixels; i++)
        if (!mask || mask[i]) keys[k++] = colour_key(rgb + (size_t)i * 3);
    for (int pass = 0; pass < 2; pass++) {
        const int shift = pass * 12;
        memset(counts, 0, 4097 * sizeof(uint32_t));
        for (int i = 0; i < n; i++) counts[(keys[i] >> shift & 4095) + 1]++;
        for (int b = 0; b < 4096; b++) counts[b + 1] += counts[b];
        for (int i = 0; i < n; i++) sorted[counts[keys[i] >> shift & 4095]++] = keys[i];
        uint32_t *t = keys;
        keys = sorted, sorted = t;
    }
    int distinct = 0;
    for (int i = 0; i < n; i++) distinct += i == 0 || keys[i] != keys[i - 1];
    set->key = (uint32_t *)malloc(((size_t)distinct + 1) * sizeof(uint32_t));
    set->colour = (unsigned char(*)[3])malloc(((size_t)distinct + 1) * 3);
    set->weight = (uint32_t *)malloc(((size_t)distinct + 1) * sizeof(uint32_t));
    if (!set->key || !set->colour || !set->weight) {
        free(block), free(counts), free_colour_set(set);
        return false;
    }
    for (int i = 0; i < n; i++) {
        if (i == 0 || keys[i] != keys[i - 1]) {
            const uint32_t key = keys[i];
            set->key[set->count] = key;
            for (int k = 0; k < 3; k++) set->colour[set->count][k] = (unsigned char)compact_bits(key >> (2 - k));
            set->weight[set->count++] = 0;
        }
        set->weight[set->count - 1]++;
    }
    set->total = (uint64_t)n;
    free(block), free(counts);
    return true;
}

// ---- 3. The nearest-entry table --------------------------------------------------
//
// For a cell of the colour cube, the entries that can be nearest to some
// colour in it are those whose least distance to the cell is at most the
// smallest greatest distance of any entry to the cell: the entry achieving
// that smallest greatest distance is at least that near to every colour of
// the cell. Lists keep increasing index order, so a strict comparison while
// scanning one gives the lowest index on a tie. A cell's list is built on
// first use from its parent's list, which already holds every entry that
// can be nearest anywhere in the child. The least and greatest distances
// split by channel, so they come from tables per cell column and value.
// Any list found this way gives the exact nearest entry; how deep the
// search goes (and whether the pool had room) changes only the time.

inline int level_shift(int level) { return COARSEST_SHIFT - level; }
inline int level_cells(int level) { return 1 << (3 * (8 - level_shift(level))); }

// The first column of a level in the distance tables.
inline int level_first_column(int level)
{
    int first = 0;
    for (int l = 0; l < level; l++) first += 256 >> level_shift(l);
    return first;
}

struct nearest_table {
    int entry[ENTRIES][3];
    unsigned char used[ENTRIES];  // the entries searched, increasing
    int used_count;
    // Per cell column (the levels' columns one after another) and value: the
    // squared distance to the column's nearest and farthest value.
    uint16_t near[TABLE_COLUMNS][256];
    uint16_t far[TABLE_COLUMNS][256];
    int32_t *start[TABLE_LEVELS];  // per cell: its list's place in the pool, -1 until built
    uint16_t *count[TABLE_LEVELS]; // per cell: its list's length
    unsigned char *pool;
    int pool_used;
};

void free_table(nearest_table *t)
{
    for (int l = 0; l < TABLE_LEVELS; l++) {
        free(t->start[l]), free(t->count[l]);
        t->start[l] = nullptr, t->count[l] = nullptr;
    }
    free(t->pool);
    t->pool = nullptr;
}

bool allocate_table(nearest_table *t)
{
    for (int l = 0; l < TABLE_LEVELS; l++) t->start[l] = nullptr, t->count[l] = nullptr;
    t->pool = (unsigned char *)malloc(LIST_POOL);
    bool ok = t->pool != nullptr;
    for (int l = 0; l < TABLE_LEVELS; l++) {
        t->start[l] = (int32_t *)malloc((size_t)level_cells(l) * sizeof(int32_t));
        t->count[l] = (uint16_t *)malloc((size_t)level_cells(l) * sizeof(uint16_t));
        ok = ok && t->start[l] && t->count[l];
        const int shift = level_shift(l), first = level_first_column(l);
        for (int column = 0; column < 256 >> shift; column++) {
            const int lo = column << shift, hi = lo + (1 << shift) - 1;
            for (int v = 0; v < 256; v++) {
                const int near = lo - v > 0 ? lo - v : v - hi > 0 ? v - hi : 0;
                const int far = v - lo > hi - v ? v - lo : hi - v;
                t->near[first + column][v] = (uint16_t)(near * near);
                t->far[first + column][v] = (uint16_t)(far * far);
            }
        }
    }
    if (!ok) free_table(t);
    return ok;
}

// Takes new entries and forgets every list built for the old ones. Only the
// entries with `use` set (null: all) are searched; at least one must be.
void set_table_entries(nearest_table *t, const int (*entries)[3], const bool *use)
{
    memcpy(t->entry, entries, sizeof t->entry);
    t->used_count = 0;
    for (int e = 0; e < ENTRIES; e++)
        if (!use || use[e]) t->used[t->used_count++] = (unsigned char)e;
    for (int l = 0; l < TABLE_LEVELS; l++) memset(t->start[l], 0xFF, (size_t)level_cells(l) * sizeof(int32_t));
    t->pool_used = 0;
}

// Builds the list of `cell` of `level`, which holds colour c, from its
// parent's list. Answers false, building nothing, when the pool is full.
bool build_list(nearest_table *t, int level, uint32_t cell, const unsigned char *c, const unsigned char *source,
                int source_count)
{
    if (source_count > LIST_POOL - t->pool_used) return false;
    const int shift = level_shift(level), first = level_first_column(level);
    const uint16_t *near_r = t->near[first + (c[0] >> shift)], *far_r = t->far[first + (c[0] >> shift)];
    const uint16_t *near_g = t->near[first + (c[1] >> shift)], *far_g = t->far[first + (c[1] >> shift)];
    const uint16_t *near_b = t->near[first + (c[2] >> shift)], *far_b = t->far[first + (c[2] >> shift)];
    int nearest[ENTRIES];
    int bound = INT_MAX;
    for (int i = 0; i < source_count; i++) {
        const int *e = t->entry[source[i]];
        const int far_sum = far_r[e[0]] + far_g[e[1]] + far_b[e[2]];
        nearest[i] = near_r[e[0]] + near_g[e[1]] + near_b[e[2]];
        bound = far_sum < bound ? far_sum : bound;
    }
    unsigned char *list = t->pool + t->pool_used;
    int count = 0;
    for (int i = 0; i < source_count; i++)
        if (nearest[i] <= bound) list[count++] = source[i];
    t->start[level][cell] = t->pool_used;
    t->count[level][cell] = (uint16_t)count;
    t->pool_used += count;
    return true;
}

// A candidate list and the cell it serves: the colours whose key shifted
// right by 3 * shift equals `cell`.
struct cell_list {
    int shift;  // -1: none yet
    uint32_t cell;
    int count;
    const unsigned char *list;
};

// The list for colour c (key `key`): its cell's on the finest level the
// lists are split to, built as needed.
cell_list find_list(nearest_table *t, uint32_t key, const unsigned char *c)
{
    cell_list found = {8, 0, t->used_count, t->used};  // the whole cube
    for (int level = 0; level < TABLE_LEVELS && found.count > SPLIT_LIST; level++) {
        const int shift = level_shift(level);
        const uint32_t cell = key >> (3 * shift);
        if (t->start[level][cell] < 0 && !build_list(t, level, cell, c, found.list, found.count)) break;
        found = cell_list{shift, cell, t->count[level][cell], t->pool + t->start[level][cell]};
    }
    return found;
}

// The index of the entry nearest to c (lowest index on a tie) and its
// squared distance. `cache` keeps the last list found, which serves runs of
// colours from one cell.
inline int nearest_entry(nearest_table *t, cell_list *cache, const unsigned char *c, uint32_t key, int *distance)
{
    if (cache->shift < 0 || key >> (3 * cache->shift) != cache->cell) *cache = find_list(t, key, c);
    int best = INT_MAX, best_index = 0;
    for (int i = 0; i < cache->count; i++) {
        const int e = cache->list[i];
        const int d = distance2(c, t->entry[e]);
        if (d < best) best = d, best_index = e;
    }
    *distance = best;
    return best_index;
}

// ---- 4. Box splits for the starting palette --------------------------------------
//
// Boxes are ranges of a copy of the distinct colours. Each box
// knows its best cut: the plane across one channel that most lowers the
// summed squared error of the two halves about their means. The box with
// the largest lowering is cut next, until there are as many boxes as free
// entries (or no box can be cut).

struct colour_box {
    int begin, end;        // range of box_work's colours
    uint64_t weight;
    uint64_t sum[3];
    int64_t gain;          // how much the best cut lowers the error
    int axis;              // of the best cut; -1 when the box cannot be cut
    int cut;               // values up to this one go to the first half
};

// floor(s * s / w) for s <= 255 * w, without overflow for any w below 2^32.
inline uint64_t square_over(uint64_t s, uint64_t w)
{
    uint64_t q = s / w, r = s % w;
    return q * s + r * q + r * r / w;
}

// The part of a box's error its mean explains: the squared sums over the
// weight. One division does when the picture has under 2^22 pixels (the
// squares then stay below 2^60); larger pictures take it channel by channel.
inline uint64_t explained(const uint64_t *sum, uint64_t weight, bool narrow)
{
    if (narrow) return (sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]) / weight;
    return square_over(sum[0], weight) + square_over(sum[1], weight) + square_over(sum[2], weight);
}

struct colour_bin {
    uint64_t weight, sum[3];
};

// A distinct colour as the splits move it about.
struct box_colour {
    unsigned char c[3];
    uint32_t weight;
};

struct box_work {
    bool narrow;
    box_colour *colours, *spare;  // the boxes' colours, each box a range
    colour_bin bins[3][256];      // per channel and value; all zero between boxes
};

void find_cut(box_work *w, colour_box *box)
{
    box->axis = -1, box->gain = 0;
    if (box->end - box->begin < 2) return;
    for (int i = box->begin; i < box->end; i++) {
        const box_colour *p = &w->colours[i];
        const uint64_t weight = p->weight;
        const uint64_t r = weight * p->c[0], g = weight * p->c[1], b = weight * p->c[2];
        for (int a = 0; a < 3; a++) {
            colour_bin *bin = &w->bins[a][p->c[a]];
            bin->weight += weight, bin->sum[0] += r, bin->sum[1] += g, bin->sum[2] += b;
        }
    }
    const uint64_t whole = explained(box->sum, box->weight, w->narrow);
    uint64_t best = 0;
    for (int a = 0; a < 3; a++) {
        uint64_t left_weight = 0, left[3] = {0, 0, 0};
        for (int v = 0; v < 256; v++) {
            colour_bin *bin = &w->bins[a][v];
            if (!bin->weight) continue;
            left_weight += bin->weight;
            for (int k = 0; k < 3; k++) left[k] += bin->sum[k];
            memset(bin, 0, sizeof *bin);
            // Every bin past the last full one is empty, so all are clean again.
            if (left_weight == box->weight) break;
            const uint64_t right[3] = {box->sum[0] - left[0], box->sum[1] - left[1], box->sum[2] - left[2]};
            const uint64_t score =
                explained(left, left_weight, w->narrow) + explained(right, box->weight - left_weight, w->narrow);
            if (box->axis < 0 || score > best) best = score, box->axis = a, box->cut = v;
        }
    }
    // The rounding down can make a useless cut look a unit worse than none.
    if (box->axis >= 0) box->gain = best > whole ? (int64_t)(best - whole) : 0;
}

// Cuts `box` into itself and `second` along its best cut (a stable partition
// of its range) and finds both halves' cuts.
void cut_box(box_work *w, colour_box *box, colour_box *second)
{
    const int a = box->axis, cut = box->cut;
    int left = box->begin, right = 0;
    *second = *box;
    second->weight = 0, second->sum[0] = second->sum[1] = second->sum[2] = 0;
    for (int i = box->begin; i < box->end; i++) {
        const box_colour p = w->colours[i];
        if (p.c[a] <= cut) {
            w->colours[left++] = p;
        } else {
            w->spare[right++] = p;
            second->weight += p.weight;
            for (int k = 0; k < 3; k++) second->sum[k] += (uint64_t)p.weight * p.c[k];
        }
    }
    memcpy(w->colours + left, w->spare, (size_t)right * sizeof(box_colour));
    second->begin = left, second->end = box->end;
    box->end = left;
    box->weight -= second->weight;
    for (int k = 0; k < 3; k++) box->sum[k] -= second->sum[k];
    find_cut(w, box);
    find_cut(w, second);
}

// The starting centres: the means of up to `wanted` boxes. Answers how many
// boxes there are, or -1 when memory runs out.
int split_boxes(const colour_set *set, int wanted, int (*centres)[3])
{
    if (wanted < 1) return 0;
    box_work *w = (box_work *)malloc(sizeof(box_work));
    colour_box *boxes = (colour_box *)malloc((size_t)wanted * sizeof(colour_box));
    box_colour *colours = (box_colour *)malloc(((size_t)set->count + 1) * 2 * sizeof(box_colour));
    if (!w || !boxes || !colours) {
        free(w), free(boxes), free(colours);
        return -1;
    }
    memset(w->bins, 0, sizeof w->bins);
    w->colours = colours, w->spare = colours + set->count + 1;
    w->narrow = set->total < (uint64_t)1 << 22;
    colour_box *root = &boxes[0];
    root->begin = 0, root->end = set->count, root->weight = 0;
    root->sum[0] = root->sum[1] = root->sum[2] = 0;
    for (int i = 0; i < set->count; i++) {
        memcpy(colours[i].c, set->colour[i], 3);
        colours[i].weight = set->weight[i];
        root->weight += set->weight[i];
        for (int k = 0; k < 3; k++) root->sum[k] += (uint64_t)set->weight[i] * set->colour[i][k];
    }
    find_cut(w, root);
    int count = 1;
    while (count < wanted) {
        int pick = -1;
        for (int b = 0; b < count; b++)
            if (boxes[b].axis >= 0 && (pick < 0 || boxes[b].gain > boxes[pick].gain)) pick = b;
        if (pick < 0) break;
        cut_box(w, &boxes[pick], &boxes[count++]);
    }
    for (int b = 0; b < count; b++)
        for (int k = 0; k < 3; k++)
            centres[b][k] = (int)((boxes[b].sum[k] + boxes[b].weight / 2) / boxes[b].weight);
    free(w), free(boxes), free(colours);
    return count;
}

// ---- 5. Weighted k-means ---------------------------------------------------------
//
// Lloyd's rounds over the distinct colours, each weighted by its pixels:
// every colour goes to its nearest entry, then every free entry moves to the
// rounded mean of its colours (the integer point nearest the mean is the best
// integer centre for them, so the error never rises). A free entry left with
// no colours moves to the colour that costs the most error. The rounds stop
// when the error falls by less than a given part of it; the best entries
// seen are kept.
//
// After the first round most entries stand still. A colour whose entry did
// not move is still nearer to it than to every other entry that did not
// move, so it only needs comparing with the entries that moved: a second
// table searches those alone.

struct cluster_sums {
    uint64_t weight[ENTRIES];
    uint64_t sum[ENTRIES][3];
};

struct kmeans_work {
    nearest_table all, moved;
    cluster_sums sums;
    bool entry_moved[ENTRIES];
    int moved_count;
    int clearance[ENTRIES];  // squared distance from each entry to its nearest other entry
    unsigned char *owner;    // per colour: its entry
    int *cost;               // per colour: squared distance to its entry
};

void find_clearances(kmeans_work *w)
{
    for (int e = 0; e < ENTRIES; e++) w->clearance[e] = INT_MAX;
    for (int e = 0; e < ENTRIES; e++)
        for (int f = e + 1; f < ENTRIES; f++) {
            const int *a = w->all.entry[e], *b = w->all.entry[f];
            const int d = square(a[0] - b[0]) + square(a[1] - b[1]) + square(a[2] - b[2]);
            if (d < w->clearance[e]) w->clearance[e] = d;
            if (d < w->clearance[f]) w->clearance[f] = d;
        }
}

// How assign_colours finds a colour's entry when the shortcuts fail.
enum { SEARCH_ALL, SEARCH_MOVED };

// Assigns every colour and sums the clusters; answers the total error. With
// `first`, every colour is searched for; otherwise a colour stays with its
// entry when it is nearer to it than half the way to any other entry (then
// no other entry can be as near), and else is searched for as `search` says.
uint64_t assign_colours(kmeans_work *w, const colour_set *set, bool first, int search)
{
    cluster_sums *s = &w->sums;
    memset(s, 0, sizeof *s);
    cell_list all_cache = {-1, 0, 0, nullptr}, moved_cache = {-1, 0, 0, nullptr};
    uint64_t error = 0;
    for (int i = 0; i < set->count; i++) {
        const unsigned char *c = set->colour[i];
        int e, d;
        if (first) {
            e = nearest_entry(&w->all, &all_cache, c, set->key[i], &d);
        } else {
            e = w->owner[i];
            d = distance2(c, w->all.entry[e]);
            if (4 * d < w->clearance[e]) {
                // Stays.
            } else if (search == SEARCH_ALL || w->entry_moved[e]) {
                e = nearest_entry(&w->all, &all_cache, c, set->key[i], &d);
            } else {
                int moved_d;
                const int m = nearest_entry(&w->moved, &moved_cache, c, set->key[i], &moved_d);
                if (moved_d < d || (moved_d == d && m < e)) e = m, d = moved_d;
            }
        }
        const uint64_t weight = set->weight[i];
        w->owner[i] = (unsigned char)e;
        w->cost[i] = d;
        s->weight[e] += weight;
        for (int k = 0; k < 3; k++) s->sum[e][k] += weight * c[k];
        error += weight * (uint64_t)d;
    }
    return error;
}

// Moves the free entries to their clusters' means and notes which moved.
void move_centres(kmeans_work *w, const colour_set *set, const bool *fixed, int (*centres)[3])
{
    const cluster_sums *s = &w->sums;
    w->moved_count = 0;
    for (int e = 0; e < ENTRIES; e++) {
        w->entry_moved[e] = false;
        if (fixed[e]) continue;
        int c[3];
        if (s->weight[e]) {
            for (int k = 0; k < 3; k++) c[k] = (int)((s->sum[e][k] + s->weight[e] / 2) / s->weight[e]);
        } else {
            // The colour with the most error (weight times distance) takes the empty entry.
            int worst = 0;
            uint64_t worst_error = 0;
            for (int i = 0; i < set->count; i++) {
                uint64_t err = (uint64_t)set->weight[i] * (uint64_t)w->cost[i];
                if (err > worst_error) worst_error = err, worst = i;
            }
            if (!worst_error) continue;
            w->cost[worst] = 0;
            for (int k = 0; k < 3; k++) c[k] = set->colour[worst][k];
        }
        if (c[0] != centres[e][0] || c[1] != centres[e][1] || c[2] != centres[e][2]) {
            w->entry_moved[e] = true;
            w->moved_count++;
        }
        memcpy(centres[e], c, sizeof c);
    }
}

// Lloyd's rounds from `centres` until a round lowers the error by less than
// 1/stop_fraction of it; leaves the best entries seen in `centres` and
// answers their error.
uint64_t lloyd_rounds(kmeans_work *w, const colour_set *set, const bool *fixed, int (*centres)[3],
                      uint64_t stop_fraction)
{
    int best[ENTRIES][3];
    uint64_t best_error = UINT64_MAX;
    w->moved_count = 0;
    for (int round = 0; round < KMEANS_MAX_ROUNDS; round++) {
        set_table_entries(&w->all, centres, nullptr);
        find_clearances(w);
        // While most entries move, searching the moved ones as well costs more than it saves.
        const int search = w->moved_count > ENTRIES / 2 ? SEARCH_ALL : SEARCH_MOVED;
        if (round > 0 && search == SEARCH_MOVED) set_table_entries(&w->moved, centres, w->entry_moved);
        const uint64_t error = assign_colours(w, set, round == 0, search);
        if (error >= best_error) break;
        const bool settled = best_error - error < error / stop_fraction;
        best_error = error;
        memcpy(best, centres, sizeof best);
        if (settled) break;
        move_centres(w, set, fixed, centres);
        if (!w->moved_count) break;
    }
    memcpy(centres, best, sizeof best);
    return best_error;
}

// ---- 6. Hartigan sweeps ----------------------------------------------------------
//
// Lloyd's rounds stop where no colour is nearer to another entry. A colour
// may still be worth moving, because its cluster's mean moves away from it
// as it leaves and the other cluster's mean moves towards it as it arrives
// (Hartigan and Wong). Leaving cluster a (weight W, sum S, the colour c of
// weight w) lowers the error by w W / (W - w) |c - S/W|^2, joining cluster b
// raises it by w W / (W + w) |c - S/W|^2; a fixed entry's mean stands still,
// so it costs w |c - e|^2 either way. The colour moves to the candidate of
// least cost when that is below what leaving saves. The means here are exact
// fractions, compared by cross-multiplying in 128 bits.

// A cost without the colour's weight, as numerator over denominator.
struct move_cost {
    uint64_t num, den;
};

// The 128-bit product a * b as high and low halves.
inline void multiply_wide(uint64_t a, uint64_t b, uint64_t *high, uint64_t *low)
{
#if defined(__SIZEOF_INT128__)
    const unsigned __int128 p = (unsigned __int128)a * b;
    *high = (uint64_t)(p >> 64), *low = (uint64_t)p;
#else
    const uint64_t a_lo = a & 0xFFFFFFFFu, a_hi = a >> 32, b_lo = b & 0xFFFFFFFFu, b_hi = b >> 32;
    const uint64_t ll = a_lo * b_lo, lh = a_lo * b_hi, hl = a_hi * b_lo, hh = a_hi * b_hi;
    const uint64_t mid = (ll >> 32) + (lh & 0xFFFFFFFFu) + (hl & 0xFFFFFFFFu);
    *low = mid << 32 | (ll & 0xFFFFFFFFu);
    *high = hh + (lh >> 32) + (hl >> 32) + (mid >> 32);
#endif
}

// Whether x.num / x.den < y.num / y.den.
inline bool cheaper(move_cost x, move_cost y)
{
    uint64_t x_high, x_low, y_high, y_low;
    multiply_wide(x.num, y.den, &x_high, &x_low);
    multiply_wide(y.num, x.den, &y_high, &y_low);
    return x_high < y_high || (x_high == y_high && x_low < y_low);
}

struct cluster_state {
    uint64_t weight[ENTRIES];
    int64_t sum[ENTRIES][3];
};

// |W c - S|^2: the squared distance to the mean, times W^2. Below 2^62 for
// clusters under 2^22 pixels.
inline uint64_t scaled_distance(const cluster_state *k, int e, const unsigned char *c)
{
    uint64_t total = 0;
    for (int i = 0; i < 3; i++) {
        const int64_t d = (int64_t)k->weight[e] * c[i] - k->sum[e][i];
        total += (uint64_t)(d * d);
    }
    return total;
}

// What cluster e saves (`leaving`) or costs when a colour of weight w leaves or joins it.
inline move_cost cluster_cost(const cluster_state *k, const nearest_table *t, const bool *fixed, int e,
                              const unsigned char *c, uint64_t w, bool leaving)
{
    if (fixed[e]) return move_cost{(uint64_t)distance2(c, t->entry[e]), 1};
    const uint64_t weight = k->weight[e];
    return move_cost{scaled_distance(k, e, c), weight * (leaving ? weight - w : weight + w)};
}

// Sweeps over the colours, moving each to the candidate cluster (entries of
// its cell's list for the current means) where it costs least, then sets the
// free entries to their clusters' rounded means. Answers how many moved.
int hartigan_sweep(kmeans_work *w, const colour_set *set, const bool *fixed, cluster_state *k, int (*centres)[3])
{
    set_table_entries(&w->all, centres, nullptr);
    cell_list cache = {-1, 0, 0, nullptr};
    int moves = 0;
    for (int i = 0; i < set->count; i++) {
        const unsigned char *c = set->colour[i];
        const int a = w->owner[i];
        const uint64_t weight = set->weight[i];
        // A colour alone in its cluster stays: leaving would empty it.
        if (!fixed[a] && k->weight[a] <= weight) continue;
        const uint32_t key = set->key[i];
        if (cache.shift < 0 || key >> (3 * cache.shift) != cache.cell) cache = find_list(&w->all, key, c);
        const int n = cache.count;
        move_cost best = cluster_cost(k, &w->all, fixed, a, c, weight, true);
        int target = a;
        for (int j = 0; j < n; j++) {
            const int b = cache.list[j];
            if (b == a || (!fixed[b] && !k->weight[b])) continue;
            const move_cost cost = cluster_cost(k, &w->all, fixed, b, c, weight, false);
            if (cheaper(cost, best)) best = cost, target = b;
        }
        if (target == a) continue;
        k->weight[a] -= weight, k->weight[target] += weight;
        for (int ch = 0; ch < 3; ch++) {
            k->sum[a][ch] -= (int64_t)weight * c[ch];
            k->sum[target][ch] += (int64_t)weight * c[ch];
        }
        w->owner[i] = (unsigned char)target;
        moves++;
    }
    for (int e = 0; e < ENTRIES; e++)
        if (!fixed[e] && k->weight[e])
            for (int ch = 0; ch < 3; ch++)
                centres[e][ch] = (int)(((uint64_t)k->sum[e][ch] + k->weight[e] / 2) / k->weight[e]);
    return moves;
}

// Refines `centres` (all 256: the fixed ones stay): Lloyd's rounds, then
// Hartigan sweeps from where they settle and Lloyd's rounds again, keeping
// whichever entries map with less error. Answers false when memory runs out.
bool refine_centres(const colour_set *set, const bool *fixed, int (*centres)[3])
{
    kmeans_work *w = (kmeans_work *)malloc(sizeof(kmeans_work));
    cluster_state *k = (cluster_state *)malloc(sizeof(cluster_state));
    if (!w || !k) {
        free(w), free(k);
        return false;
    }
    w->owner = (unsigned char *)malloc((size_t)set->count + 1);
    w->cost = (int *)malloc(((size_t)set->count + 1) * sizeof(int));
    // A table that fails to allocate is left empty, so freeing both is always safe.
    const bool have_all = allocate_table(&w->all), have_moved = allocate_table(&w->moved);
    const bool ok = w->owner && w->cost && have_all && have_moved;
    if (ok) {
        const uint64_t error = lloyd_rounds(w, set, fixed, centres, KMEANS_ROUGH_STOP);
        // The exact costs need |W c - S|^2 below 2^64.
        if (set->total < (uint64_t)1 << 22) {
            int before[ENTRIES][3];
            memcpy(before, centres, sizeof before);
            set_table_entries(&w->all, centres, nullptr);
            assign_colours(w, set, true, SEARCH_ALL);
            for (int e = 0; e < ENTRIES; e++) {
                k->weight[e] = w->sums.weight[e];
                for (int ch = 0; ch < 3; ch++) k->sum[e][ch] = (int64_t)w->sums.sum[e][ch];
            }
            for (int sweep = 0; sweep < HARTIGAN_SWEEPS; sweep++)
                if (!hartigan_sweep(w, set, fixed, k, centres)) break;
            const uint64_t after = lloyd_rounds(w, set, fixed, centres, KMEANS_FINE_STOP);
            if (after >= error) memcpy(centres, before, sizeof before);
        }
    }
    free_table(&w->all), free_table(&w->moved);
    free(w->owner), free(w->cost), free(w), free(k);
    return ok;
}

}  // namespace

// ---- 7. best_learn_palette -------------------------------------------------------

int best_learn_palette(const unsigned char *rgb, int width, int height, const unsigned char *mask,
                       unsigned char palette[256][3], const bool fixed[256])
{
    const int64_t pixels = pixel_count(width, height);
    if (pixels < 0) return BEST_BAD_SIZE;
    bool is_fixed[ENTRIES];
    int free_count = 0;
    for (int e = 0; e < ENTRIES; e++) {
        is_fixed[e] = fixed && fixed[e];
        free_count += !is_fixed[e];
    }
    if (!free_count) return BEST_OK;
    colour_set set;
    if (!collect_colours(rgb, (int)pixels, mask, &set)) return BEST_NO_MEMORY;

    // Colours already held by a fixed entry need no free one.
    uint32_t fixed_keys[ENTRIES];
    int fixed_count = 0;
    for (int e = 0; e < ENTRIES; e++)
        if (is_fixed[e]) fixed_keys[fixed_count++] = colour_key(palette[e]);
    int needed = 0;
    for (int i = 0; i < set.count && needed <= free_count; i++) {
        const uint32_t key = set.key[i];
        bool held = false;
        for (int f = 0; f < fixed_count && !held; f++) held = fixed_keys[f] == key;
        needed += !held;
    }

    int centres[ENTRIES][3];
    for (int e = 0; e < ENTRIES; e++)
        for (int k = 0; k < 3; k++) centres[e][k] = is_fixed[e] ? palette[e][k] : 0;
    int result = BEST_OK;
    if (needed <= free_count) {
        for (int i = 0, e = 0; i < set.count; i++) {
            const uint32_t key = set.key[i];
            bool held = false;
            for (int f = 0; f < fixed_count && !held; f++) held = fixed_keys[f] == key;
            if (held) continue;
            while (is_fixed[e]) e++;
            for (int k = 0; k < 3; k++) centres[e][k] = set.colour[i][k];
            e++;
        }
    } else {
        int start[ENTRIES][3];
        int boxes = split_boxes(&set, free_count, start);
        if (boxes < 0) {
            result = BEST_NO_MEMORY;
        } else {
            for (int e = 0, b = 0; e < ENTRIES && b < boxes; e++)
                if (!is_fixed[e]) memcpy(centres[e], start[b++], sizeof start[0]);
            if (!refine_centres(&set, is_fixed, centres)) result = BEST_NO_MEMORY;
        }
    }
    free_colour_set(&set);
    if (result != BEST_OK) return result;
    for (int e = 0; e < ENTRIES; e++)
        for (int k = 0; k < 3; k++) palette[e][k] = (unsigned char)centres[e][k];
    return BEST_OK;
}

// ---- 8. best_map_pixels ----------------------------------------------------------

namespace {

// e / 16 rounded to nearest, halves upwards, for either sign.
inline int sixteenths(int e)
{
    int q = (e + 8) / 16;
    return (e + 8) % 16 < 0 ? q - 1 : q;
}

inline unsigned char clamp_channel(int v) { return (unsigned char)(v < 0 ? 0 : v > 255 ? 255 : v); }

void map_plain(nearest_table *t, const unsigned char *rgb, int64_t pixels, const unsigned char *mask,
               unsigned char *indices)
{
    int last = -1;
    unsigned char last_index = 0;
    cell_list cache = {-1, 0, 0, nullptr};
    for (int64_t i = 0; i < pixels; i++) {
        if (mask && !mask[i]) continue;
        const unsigned char *c = rgb + i * 3;
        const int colour = c[0] << 16 | c[1] << 8 | c[2];
        if (colour != last) {
            int d;
            last = colour;
            last_index = (unsigned char)nearest_entry(t, &cache, c, colour_key(c), &d);
        }
        indices[i] = last_index;
    }
}

// Serpentine Floyd-Steinberg. `error` holds two rows of width x 3 errors in
// sixteenths of a step: the row being mapped and the next one.
void map_dithered(nearest_table *t, const unsigned char *rgb, int width, int height, const unsigned char *mask,
                  unsigned char *indices, int *error)
{
    const size_t stride = (size_t)width * 3;
    int *here = error, *next = error + stride;
    cell_list cache = {-1, 0, 0, nullptr};
    memset(error, 0, stride * 2 * sizeof(int));
    for (int y = 0; y < height; y++) {
        const bool forward = (y & 1) == 0;
        const int step = forward ? 1 : -1;
        memset(next, 0, stride * sizeof(int));
        for (int n = 0; n < width; n++) {
            const int x = forward ? n : width - 1 - n;
            const int64_t i = (int64_t)y * width + x;
            if (mask && !mask[i]) continue;
            unsigned char c[3];
            int *err = here + (size_t)x * 3;
            for (int k = 0; k < 3; k++) c[k] = clamp_channel(rgb[i * 3 + k] + sixteenths(err[k]));
            int d;
            const int e = nearest_entry(t, &cache, c, colour_key(c), &d);
            indices[i] = (unsigned char)e;
            // Neighbours that are off the picture or outside the mask take nothing.
            const bool ahead = x + step >= 0 && x + step < width && (!mask || mask[i + step]);
            const bool below = y + 1 < height;
            const int64_t j = i + width;
            const bool below_behind = below && x - step >= 0 && x - step < width && (!mask || mask[j - step]);
            const bool below_here = below && (!mask || mask[j]);
            const bool below_ahead = below && x + step >= 0 && x + step < width && (!mask || mask[j + step]);
            for (int k = 0; k < 3; k++) {
                const int diff = c[k] - t->entry[e][k];
                if (ahead) err[step * 3 + k] += diff * 7;
                int *below_row = next + (size_t)x * 3 + k;
                if (below_behind) below_row[-step * 3] += diff * 3;
                if (below_here) below_row[0] += diff * 5;
                if (below_ahead) below_row[step * 3] += diff;
            }
        }
        int *swap = here;
        here = next, next = swap;
    }
}

}  // namespace

int best_map_pixels(const unsigned char *rgb, int width, int height, const unsigned char *mask,
                    const unsigned char palette[256][3], bool dither, unsigned char *indices)
{
    const int64_t pixels = pixel_count(width, height);
    if (pixels < 0) return BEST_BAD_SIZE;
    nearest_table *t = (nearest_table *)malloc(sizeof(nearest_table));
    int *error = dither ? (int *)malloc((size_t)width * 6 * sizeof(int)) : nullptr;
    if (!t || (dither && !error) || !allocate_table(t)) {
        free(t), free(error);
        return BEST_NO_MEMORY;
    }
    int entries[ENTRIES][3];
    for (int e = 0; e < ENTRIES; e++)
        for (int k = 0; k < 3; k++) entries[e][k] = palette[e][k];
    set_table_entries(t, entries, nullptr);
    if (dither)
        map_dithered(t, rgb, width, height, mask, indices, error);
    else
        map_plain(t, rgb, pixels, mask, indices);
    free_table(t);
    free(t), free(error);
    return BEST_OK;
}
