// The colour quantiser: palette and every pixel's index pinned for two noise pictures, in both code paths.
#include "imaging/neuquant.h"
#include "imaging_support.h"

// The palette entries (red, green, blue, extra) followed by every pixel's
// index, folded into a 64-bit FNV-1a hash.
static uint64_t quantised_hash(const bytes &bgr)
{
    level_palette palette;
    quant_init(bgr.data(), (int)bgr.size(), 1);
    quant_learn();
    quant_unbias();
    quant_store_palette(&palette);
    quant_build_index();
    bytes out(&palette.entries[0][0], &palette.entries[0][0] + sizeof palette.entries);
    for (size_t i = 0; i < bgr.size(); i += 3) out.push_back((unsigned char)quant_lookup(bgr[i], bgr[i + 1], bgr[i + 2]));
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : out) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

// Noise of 256 x 256 pixels whose channels take `levels` values (three: many ties).
static bytes noise_picture(unsigned seed, int levels)
{
    bytes bgr(PAGE_PIXELS * 3);
    for (auto &c : bgr) c = (unsigned char)((((seed = seed * 1103515245u + 12345u) >> 16) % (unsigned)levels) * (255 / (levels - 1)));
    return bgr;
}

// The hashes were recorded from a plain transcription of the published
// integer algorithm (sample factor 1, records of blue, green, red and the
// colour number) that gave the same palette and indices as this code.
TEST(quantiser, same_palette_and_indices_as_the_published_algorithm_in_both_code_paths)
{
    const struct { int levels; uint64_t hash; } cases[] = {{256, 0xce2201225ef19b53ull}, {3, 0xdf36f79dc4cb5e9full}};
    for (const auto &c : cases) {
        bytes bgr = noise_picture(7, c.levels);
        for (bool vector : {true, false}) {  // without AVX2 both runs take the plain code
            quant_use_vector_code(vector);
            EXPECT_EQ(quantised_hash(bgr), c.hash) << c.levels << " " << vector;
        }
        quant_use_vector_code(true);
    }
}
