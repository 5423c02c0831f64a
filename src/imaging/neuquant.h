// The colour quantiser: a 256-neuron self-organising network (NeuQuant, 1994)
// that learns a palette from a true-colour picture and maps colours to it.
//
// The network is a plain record its caller owns (about 8 KiB), so imports on
// several threads each train their own. Call the operations in exactly this
// order:
//   neuquant_init -> neuquant_learn -> neuquant_unbias -> neuquant_store_palette
//   -> neuquant_build_index -> neuquant_lookup (once per pixel)
// All arithmetic is integer with C's truncating division, so the palette and
// every lookup are the same as the published algorithm's for the same input,
// with the vector code or without.
#pragma once
#include <stdint.h>

struct level_palette;

enum {
    QUANT_NEURONS = 256,
    QUANT_CYCLES = 100,
    QUANT_MIN_SAMPLES = 3 * QUANT_CYCLES,  // at least this many pixels per sample factor
    QUANT_RADIUS_STEPS = QUANT_NEURONS >> 3,
};

struct neuquant {
    const unsigned char *picture;
    int length;
    int sample_factor;
    alignas(64) int blue[QUANT_NEURONS];
    alignas(64) int green[QUANT_NEURONS];
    alignas(64) int red[QUANT_NEURONS];
    alignas(64) int colour[QUANT_NEURONS];   // colour number (palette index) after unbias
    alignas(64) int bias[QUANT_NEURONS];
    alignas(64) int freq[QUANT_NEURONS];
    int colour_index[256];                   // by green: where to start the lookup
    int radius_power[QUANT_RADIUS_STEPS];
    // The sorted network as 16-bit lanes for the vectorised lookup.
    alignas(64) int16_t blue16[QUANT_NEURONS];
    alignas(64) int16_t green16[QUANT_NEURONS];
    alignas(64) int16_t red16[QUANT_NEURONS];
    bool vector_code;  // AVX2 contest and lookup; set by neuquant_init where the processor has it
};

// Stores the picture (byte triplets blue, green, red; `length` bytes, a
// multiple of 3 holding at least 300 * sample_factor pixels), its length and
// the sample factor (1 = every pixel), and resets the network to a grey ramp.
// The picture must stay valid until neuquant_learn returns.
void neuquant_init(neuquant *network, const unsigned char *picture, int length, int sample_factor);
// Trains the network on the picture.
void neuquant_learn(neuquant *network);
// Scales the trained colours back to 0 ... 255 and numbers the neurons.
void neuquant_unbias(neuquant *network);
// Writes neuron i as palette entry i (red, green, blue, extra 0). Must run
// before neuquant_build_index, which reorders the network.
void neuquant_store_palette(const neuquant *network, level_palette *palette);
// Sorts the network by green and builds the green index for neuquant_lookup.
void neuquant_build_index(neuquant *network);
// The palette index of the neuron nearest to the colour (0 ... 255 each).
int neuquant_lookup(const neuquant *network, int blue, int green, int red);
// The same answer by the published walk over the green-sorted network
// (neuquant_lookup uses a vectorised search where the processor allows).
int neuquant_lookup_walk(const neuquant *network, int blue, int green, int red);

// Whether this processor runs the AVX2 code; tests and benchmarks clear
// `vector_code` after neuquant_init to run the plain code instead.
bool neuquant_cpu_has_vector_code();
