// The GL textures of the loaded level's pages: building, re-uploading, lookup and release.
//
// A 15-bit page has one texture at slot 0; a paletted page has one texture per
// slot of its palette list, so the views can switch palettes without
// converting pixels again. Every name array holds at least one entry, so slot 0
// can always be read; ~0u marks a slot without a texture.
#include "render/gl_textures.h"

#include <GL/gl.h>
#include <stdlib.h>
#include <string.h>

#include "base/debug_log.h"
#include "level/texture_store.h"

static const unsigned int NO_GL_TEXTURE = ~0u;
static const size_t RGBA_PAGE_BYTES = (size_t)PAGE_PIXELS * 4;

// Entries in a page's name array: the slot count of a paletted page with a
// list, otherwise one.
static int name_slots(const gl_texture_set *set, int page)
{
    int n = set->slot_counts[page];
    return n > 0 ? n : 1;
}

// Converts page t through the palette in slot j of its list into rgba. A slot
// naming no palette is logged and leaves the buffer as the previous
// conversion left it. Every slot with a palette is converted, however many
// palettes the level has: a list may name one palette in several slots, so
// the slot number says nothing about the palette count.
static void convert_paletted_slot(const level *lvl, const palette_list *list, int t, int j,
                                  unsigned char *rgba)
{
    int id = list->palette_ids[j];
    const level_palette *palette = palette_by_id(lvl, id);
    if (!palette) {
        debug_log("Issue with non-existant palette %d in texture %d.", id, t);
        return;
    }
    if (!lvl->textures[t].pixels) return;
    page8_to_rgba(page_indices(lvl->textures[t]), palette, rgba);
}

static void upload_page(unsigned int name, const unsigned char *rgba)
{
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, PAGE_SIZE, PAGE_SIZE, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}

static unsigned int new_page_texture(const unsigned char *rgba)
{
    GLuint name = 0;
    glGenTextures(1, &name);
    upload_page(name, rgba);
    return name;
}

// A name array of n entries, all "no texture"; null when out of memory.
static unsigned int *new_name_array(int n)
{
    unsigned int *names = (unsigned int *)malloc((size_t)n * sizeof(unsigned int));
    if (names)
        for (int i = 0; i < n; i++) names[i] = NO_GL_TEXTURE;
    return names;
}

// A palette list's slot count as a usable size (a corrupt negative count is none).
static int list_slots(const palette_list *list)
{
    return (list->count > 0 && list->palette_ids) ? list->count : 0;
}

void build_gl_textures(gl_texture_set *set, level *lvl)
{
    if (!set || !lvl) return;
    // A set still holding a previous level's textures would leak them.
    if (set->gl_names) release_gl_textures(set);
    set->gl_names = nullptr;
    set->slot_counts = nullptr;
    set->count = 0;
    int count = lvl->textures ? lvl->texture_count : 0;
    if (count <= 0) return;

    // Zeroed, so a first slot whose palette is missing uploads black rather
    // than whatever the allocator left behind.
    unsigned char *rgba = (unsigned char *)calloc(RGBA_PAGE_BYTES, 1);
    set->gl_names = (unsigned int **)calloc((size_t)count, sizeof(unsigned int *));
    set->slot_counts = (int *)calloc((size_t)count, sizeof(int));
    if (!rgba || !set->gl_names || !set->slot_counts) {
        debug_log("Not enough memory for the level's GL textures.");
        free(rgba);
        free(set->gl_names);
        free(set->slot_counts);
        set->gl_names = nullptr;
        set->slot_counts = nullptr;
        return;
    }
    set->count = count;

    for (int t = 0; t < count; t++) {
        const level_texture &page = lvl->textures[t];
        if (!page.paletted) {
            set->slot_counts[t] = -1;
            set->gl_names[t] = new_name_array(1);
            if (!set->gl_names[t]) continue;
            // At load time the key is transparent whatever the page's flag.
            if (page.pixels) page16_to_rgba(page_pixels16(page), true, rgba);
            set->gl_names[t][0] = new_page_texture(rgba);
            continue;
        }
        const palette_list *list = find_palette_list(lvl, t);
        int n = list ? list_slots(list) : 0;
        set->slot_counts[t] = n;
        set->gl_names[t] = new_name_array(n > 0 ? n : 1);
        if (!set->gl_names[t]) {
            set->slot_counts[t] = 0;
            continue;
        }
        for (int j = 0; j < n; j++) {
            convert_paletted_slot(lvl, list, t, j, rgba);
            set->gl_names[t][j] = new_page_texture(rgba);
        }
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    free(rgba);
}

void rebuild_gl_texture(gl_texture_set *set, level *lvl, int page)
{
    if (!set || !lvl || !set->gl_names || !set->slot_counts || !lvl->textures) return;
    if (page < 0 || page >= set->count || page >= lvl->texture_count) return;
    unsigned int *names = set->gl_names[page];
    if (!names) return;
    int slots = name_slots(set, page);
    level_texture &t = lvl->textures[page];

    unsigned char *rgba = (unsigned char *)calloc(RGBA_PAGE_BYTES, 1);
    if (!rgba) return;
    if (t.paletted) {
        const palette_list *list = find_palette_list(lvl, page);
        int n = list ? list_slots(list) : 0;
        for (int j = 0; j < n; j++) {
            convert_paletted_slot(lvl, list, page, j, rgba);
            // Only slots that got a texture when the level was opened.
            if (j < slots && names[j] != NO_GL_TEXTURE) upload_page(names[j], rgba);
        }
    } else {
        // After an import the key is transparent only on pages flagged so.
        if (t.pixels) page16_to_rgba(page_pixels16(t), (t.flags & PAGE_FLAG_TRANSPARENT) != 0, rgba);
        if (names[0] != NO_GL_TEXTURE) upload_page(names[0], rgba);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    free(rgba);
}

unsigned int gl_texture_for(const gl_texture_set *set, int page, int slot)
{
    if (!set || !set->gl_names || !set->slot_counts) return 0;
    if (page < 0 || page >= set->count || slot < 0) return 0;
    int n = set->slot_counts[page];
    if (n == 0) return 0;
    if (slot != 0 && n <= slot) return 0;
    if (!set->gl_names[page]) return 0;
    unsigned int name = set->gl_names[page][slot];
    return name == NO_GL_TEXTURE ? 0 : name;
}

// Frees the name arrays; with delete_textures also deletes the GL textures.
static void free_set(gl_texture_set *set, bool delete_textures)
{
    if (!set) return;
    if (set->gl_names) {
        for (int t = 0; t < set->count; t++) {
            unsigned int *names = set->gl_names[t];
            if (!names) continue;
            if (delete_textures) {
                int slots = set->slot_counts ? name_slots(set, t) : 1;
                for (int j = 0; j < slots; j++)
                    if (names[j] != NO_GL_TEXTURE) glDeleteTextures(1, &names[j]);
            }
            free(names);
        }
    }
    free(set->gl_names);
    free(set->slot_counts);
    set->gl_names = nullptr;
    set->slot_counts = nullptr;
    set->count = 0;
}

void release_gl_textures(gl_texture_set *set)
{
    free_set(set, true);
}

void free_gl_texture_arrays(gl_texture_set *set)
{
    free_set(set, false);
}
