// The colour quantiser: a 256-neuron self-organising network (NeuQuant, 1994)
// that learns a palette from a true-colour picture and maps colours to it.
//
// The state is one static instance: an import initialises, trains, reads out
// the palette and looks up every pixel before the next import starts. Call
// the operations in exactly this order:
//   quant_init -> quant_learn -> quant_unbias -> quant_store_palette
//   -> quant_build_index -> quant_lookup (once per pixel)
// All arithmetic is integer with C's truncating division, so the palette and
// every lookup are the same as the published algorithm's for the same input.
#pragma once

struct level_palette;

enum {
    QUANT_NEURONS = 256,
    QUANT_CYCLES = 100,
    QUANT_MIN_SAMPLES = 3 * QUANT_CYCLES,  // at least this many pixels per sample factor
};

// Stores the picture (byte triplets blue, green, red; `length` bytes, a
// multiple of 3 holding at least 300 * sample_factor pixels), its length and
// the sample factor (1 = every pixel), and resets the network to a grey ramp.
// The picture must stay valid until quant_learn returns.
void quant_init(const unsigned char *picture, int length, int sample_factor);
// Trains the network on the picture. Writes two progress lines to stderr.
void quant_learn();
// Scales the trained colours back to 0 ... 255 and numbers the neurons.
void quant_unbias();
// Writes neuron i as palette entry i (red, green, blue, extra 0). Must run
// before quant_build_index, which reorders the network.
void quant_store_palette(level_palette *palette);
// Sorts the network by green and builds the green index for quant_lookup.
void quant_build_index();
// The palette index of the neuron nearest to the colour (0 ... 255 each).
int quant_lookup(int blue, int green, int red);

// Whether learning writes its two lines on standard error (the default, as
// the editor always has); the command-line tool keeps its standard error for
// its own messages.
void quant_show_learning_messages(bool show);
// Chooses between the AVX2 code (where the processor has it; the default)
// and the plain code, which give the same results. Returns whether the
// AVX2 code is in use. For tests and benchmarks.
bool quant_use_vector_code(bool wanted);

// The same answer by the published walk over the green-sorted network
// (quant_lookup uses a vectorised search where the processor allows).
int quant_lookup_walk(int blue, int green, int red);

