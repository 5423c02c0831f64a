// The "best" colour quantiser: learning a palette and mapping pixels to one.
//
// The palette comes from variance-based box splits, weighted k-means and
// Hartigan sweeps over a picture's distinct colours; pixels go to the
// nearest entry of a palette, plain or dithered. It trades time for quality
// against the NeuQuant network (neuquant.h): it minimises the squared RGB
// error of the mapped picture directly, keeps every colour exactly when a
// picture has no more colours than the free entries, and can learn around
// entries the caller fixes. Everything it keeps lives in buffers local to
// one call, and all arithmetic that decides the output is integer, so the
// same bytes come out on every platform and compiler.
#pragma once

// Results of best_learn_palette and best_map_pixels.
enum {
    BEST_OK = 0,
    BEST_NO_MEMORY = 1,  // a work buffer could not be allocated
    BEST_BAD_SIZE = 2,   // width or height below 1, or over 2^31 - 1 pixels
};

// Learns the free entries of `palette` (red, green, blue per entry) from the
// pixels of a width x height picture (`rgb`: red, green, blue per pixel, rows
// one after another) whose `mask` byte is non-zero (null mask: every pixel).
// Entries with fixed[i] set keep their colour exactly (null `fixed`: all 256
// are free); pixels may still be matched to them. When the masked pixels hold
// no more colours than there are free entries (counting a colour equal to a
// fixed entry as held already), every colour gets an entry of its own and
// the free entries left over become black.
// Answers BEST_OK, BEST_NO_MEMORY or BEST_BAD_SIZE; on a failure the palette
// is unchanged.
int best_learn_palette(const unsigned char *rgb, int width, int height, const unsigned char *mask,
                       unsigned char palette[256][3], const bool fixed[256]);

// Sets the index of every masked pixel (null mask: every pixel) to its
// nearest palette entry by squared RGB distance, the lowest index on a tie;
// the indices of pixels outside the mask are not written. With `dither`,
// rows run in alternate directions and each pixel's error (its colour plus
// the error it received, against its entry) goes to its masked neighbours in
// Floyd-Steinberg proportions; pixels outside the mask neither give nor take
// error. Answers BEST_OK, BEST_NO_MEMORY (indices unchanged) or BEST_BAD_SIZE.
int best_map_pixels(const unsigned char *rgb, int width, int height, const unsigned char *mask,
                    const unsigned char palette[256][3], bool dither, unsigned char *indices);
