// The settings file: defaults, loading through Allegro's config reader, and our own writer.
//
// Sections: field copies; escaping the file's bytes for Allegro's reader;
// reading the file; loading; saving.
#include "app/settings.h"

#include <allegro.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/debug_log.h"
#include "base/file_system.h"
#include "base/file_io.h"

// Copies a value into a fixed text field. A value longer than the field is cut
// to fit, so a hand-edited or corrupted file can never overrun the record.
static void copy_field(char *field, size_t field_size, const char *value)
{
    size_t n = strlen(value);
    if (n > field_size - 1) n = field_size - 1;
    memcpy(field, value, n);
    field[n] = '\0';
}

// Allegro's config reader decodes its text as UTF-8 and misbehaves on
// anything but plain ASCII: a stray lead byte swallows the following lines,
// some runs of such bytes make it loop forever, and a line of 256 (512, ...)
// bytes ending in a multi-byte character makes it write past its line buffer.
// Folder names are raw bytes (a Latin-1 or UTF-8 folder name is saved as it
// is), so before the text reaches Allegro every NUL, every escape byte 0x01
// and every byte from 0x80 up becomes the escape byte followed by two hex
// digits, and values are unescaped again when they are copied out. Allegro
// thus sees ASCII only, with the same lines, brackets, equals signs and
// comments as the file, and values come back byte for byte as they were saved.
enum { CONFIG_ESCAPE = 0x01 };

static bool needs_escape(unsigned char b) { return b == 0 || b == CONFIG_ESCAPE || b >= 0x80; }

// Escapes `size` bytes as described above into a new NUL-terminated buffer
// (at most three bytes out per byte in); null when memory runs out.
static char *escape_config_text(const unsigned char *data, size_t size, size_t *escaped_size)
{
    static const char hex[] = "0123456789ABCDEF";
    if (size > ((size_t)-1 - 1) / 3) return nullptr;
    char *out = (char *)malloc(size * 3 + 1);
    if (!out) return nullptr;
    size_t o = 0;
    for (size_t i = 0; i < size; i++) {
        unsigned char b = data[i];
        if (needs_escape(b)) {
            out[o++] = (char)CONFIG_ESCAPE;
            out[o++] = hex[b >> 4];
            out[o++] = hex[b & 0x0F];
        } else {
            out[o++] = (char)b;
        }
    }
    out[o] = '\0';
    *escaped_size = o;
    return out;
}

static int hex_digit(unsigned char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// copy_field for a value read from escaped text: each escape becomes its byte
// again. Stops at the field's end or at an escaped NUL, since the field is a
// C string.
static void copy_escaped_field(char *field, size_t field_size, const char *value)
{
    const unsigned char *p = (const unsigned char *)value;
    size_t o = 0;
    while (*p && o < field_size - 1) {
        if (p[0] == CONFIG_ESCAPE && hex_digit(p[1]) >= 0 && hex_digit(p[2]) >= 0) {
            char b = (char)(hex_digit(p[1]) << 4 | hex_digit(p[2]));
            if (b == 0) break;
            field[o++] = b;
            p += 3;
        } else {
            field[o++] = (char)*p++;
        }
    }
    field[o] = '\0';
}

// A settings file is a few hundred bytes; anything past this is not read.
enum { SETTINGS_FILE_LIMIT = 1 << 20 };

// The file's first SETTINGS_FILE_LIMIT bytes, escaped, or an empty text when
// it cannot be read: an unreadable file then reads like an empty one, every
// key missing. Null only when memory runs out.
static char *read_config_text(const char *path, size_t *escaped_size)
{
    unsigned char *data = nullptr;
    size_t size = 0, capacity = 0;
    FILE *f = open_file(path, "rb");
    if (f) {
        while (size < SETTINGS_FILE_LIMIT) {
            if (size == capacity) {
                size_t grown = capacity ? capacity * 2 : 4096;
                unsigned char *bigger = (unsigned char *)realloc(data, grown);
                if (!bigger) {
                    free(data);
                    fclose(f);
                    return nullptr;
                }
                data = bigger;
                capacity = grown;
            }
            size_t want = capacity - size;
            if (want > SETTINGS_FILE_LIMIT - size) want = SETTINGS_FILE_LIMIT - size;
            size_t n = fread(data + size, 1, want, f);
            if (n == 0) break;
            size += n;
        }
        fclose(f);
    }
    char *text = escape_config_text(data ? data : (const unsigned char *)"", size, escaped_size);
    free(data);
    return text;
}

void set_default_settings(settings *s)
{
    s->fast_quit = 0;
    s->invert_yrot = 0;
    s->invert_ypos = 0;
    s->invert_xpos = 0;
    s->best_colours = 0;
    copy_field(s->theme, sizeof s->theme, "themes/grey.bmp");
    s->lev_directory[0] = '\0';
    s->d3d_directory[0] = '\0';
    s->export_directory[0] = '\0';
    s->import_directory[0] = '\0';
    s->export_paletted_type = 2;
    s->export_truecolour_type = 1;
    for (int i = 0; i < SETTINGS_RECENT_COUNT; i++) {
        s->recent_levels[i][0] = '\0';
        s->recent_d3ds[i][0] = '\0';
    }
}

void remember_recent_level(settings *s, const char *lev, const char *d3d)
{
    if (strlen(lev) >= SETTINGS_PATH_SIZE || strlen(d3d) >= SETTINGS_PATH_SIZE) return;
    // The entry to drop: the level's own older one, else the oldest.
    int drop = SETTINGS_RECENT_COUNT - 1;
    for (int i = 0; i < SETTINGS_RECENT_COUNT; i++) {
        if (strcmp(s->recent_levels[i], lev) == 0) {
            drop = i;
            break;
        }
    }
    for (int i = drop; i > 0; i--) {
        memcpy(s->recent_levels[i], s->recent_levels[i - 1], SETTINGS_PATH_SIZE);
        memcpy(s->recent_d3ds[i], s->recent_d3ds[i - 1], SETTINGS_PATH_SIZE);
    }
    copy_field(s->recent_levels[0], SETTINGS_PATH_SIZE, lev);
    copy_field(s->recent_d3ds[0], SETTINGS_PATH_SIZE, d3d);
}

// Reads one integer key; -1 (missing, or stored as -1) keeps the default.
static void load_int(int32_t *field, const char *section, const char *key, const char *failure)
{
    int value = get_config_int(section, key, -1);
    if (value == -1)
        debug_log("%s", failure);
    else
        *field = value;
}

// Reads one string key; the failure text doubles as the missing-key marker, so a
// value spelled exactly like it counts as missing too.
static void load_text(char *field, size_t field_size, const char *section, const char *key,
                      const char *missing, const char *failure)
{
    const char *value = get_config_string(section, key, missing);
    if (!value || strcmp(value, missing) == 0)
        debug_log("%s", failure);
    else
        copy_escaped_field(field, field_size, value);
}

int load_settings(settings *s, const char *path)
{
    debug_log("Attempting to load settings.");

    // Allegro's config reader needs the library up. The editor has called
    // allegro_init before this; a tool or test has not, so bring up the
    // hardware-free system for the read and take it down again afterwards.
    bool own_allegro = system_driver == nullptr;
    if (own_allegro && install_allegro(SYSTEM_NONE, &errno, nullptr) != 0) {
        debug_log("Couldn't read config file.");
        return 2;
    }

    if (!exists(path)) {
        debug_log("Couldn't find config file.");
        if (own_allegro) allegro_exit();
        return 1;
    }

    size_t text_size = 0;
    char *text = read_config_text(path, &text_size);
    if (!text) {
        debug_log("Couldn't read config file.");
        if (own_allegro) allegro_exit();
        return 2;
    }

    // Keep Allegro's own config as it was: once the read is done, the settings
    // must not stay the current config, or Allegro could write into them.
    // Allegro keeps its own copy of the text.
    push_config_state();
    set_config_data(text, (int)text_size);
    free(text);

    load_int(&s->fast_quit, "general", "fast_quit", "Failed to find fast_quit value.");
    load_int(&s->invert_yrot, "general", "invert_yrot", "Failed to find invert_yrot value.");
    load_int(&s->invert_ypos, "general", "invert_ypos", "Failed to find invert_ypos value.");
    load_int(&s->invert_xpos, "general", "invert_xpos", "Failed to find invert_xpos value.");
    load_int(&s->best_colours, "general", "best_colour_reduction", "Failed to find best_colour_reduction value.");
    load_text(s->theme, sizeof s->theme, "general", "theme", "Failed to find theme",
              "Failed to find theme name.");
    load_text(s->lev_directory, sizeof s->lev_directory, "directories", "lev_directory",
              "Failed to find default level directory.", "Failed to find default level directory.");
    load_text(s->d3d_directory, sizeof s->d3d_directory, "directories", "d3d_directory",
              "Failed to find default d3d directory.", "Failed to find default d3d directory.");
    load_text(s->export_directory, sizeof s->export_directory, "directories", "export_directory",
              "Failed to find default export directory.", "Failed to find default export directory.");
    load_text(s->import_directory, sizeof s->import_directory, "directories", "import_directory",
              "Failed to find default import directory.", "Failed to find default import directory.");
    load_int(&s->export_paletted_type, "export", "export_paletted_type", "Failed to find export_paletted_type value.");
    load_int(&s->export_truecolour_type, "export", "export_truecolour_type",
             "Failed to find export_truecolour_type value.");
    // The recent levels are optional: a missing one ends the list quietly.
    for (int i = 0, kept = 0; i < SETTINGS_RECENT_COUNT; i++) {
        char lev_key[16], d3d_key[16];
        snprintf(lev_key, sizeof lev_key, "level_%d", i + 1);
        snprintf(d3d_key, sizeof d3d_key, "d3d_%d", i + 1);
        const char *lev = get_config_string("recent", lev_key, ""), *d3d = get_config_string("recent", d3d_key, "");
        if (!lev || !d3d || !lev[0] || !d3d[0]) continue;
        copy_escaped_field(s->recent_levels[kept], SETTINGS_PATH_SIZE, lev);
        copy_escaped_field(s->recent_d3ds[kept], SETTINGS_PATH_SIZE, d3d);
        kept++;
    }

    pop_config_state();
    if (own_allegro) allegro_exit();
    return 0;
}

// Appends one value. A line break inside a value (a folder name may hold
// one) would start a new line of the file and could plant a key, so the value
// ends at its first line break; the field is bounded by its size either way.
static void put_value(std::string *text, const char *value, size_t field_size)
{
    size_t n = strnlen(value, field_size);
    size_t cut = strcspn(value, "\r\n");
    if (cut < n) n = cut;
    text->append(value, n);
}

int save_settings(const settings *s, const char *path)
{
    debug_log("Attempting to write settings file to: %s", path);
    char flags[160];
    snprintf(flags, sizeof flags, "[general]\nfast_quit = %d\ninvert_yrot = %d\ninvert_ypos = %d\ninvert_xpos = %d"
             "\nbest_colour_reduction = %d", (int)s->fast_quit, (int)s->invert_yrot, (int)s->invert_ypos,
             (int)s->invert_xpos, (int)s->best_colours);
    std::string text = flags;
    text += "\ntheme = ";
    put_value(&text, s->theme, sizeof s->theme);
    text += "\n\n[directories]\nlev_directory = ";
    put_value(&text, s->lev_directory, sizeof s->lev_directory);
    text += "\nd3d_directory = ";
    put_value(&text, s->d3d_directory, sizeof s->d3d_directory);
    text += "\nexport_directory = ";
    put_value(&text, s->export_directory, sizeof s->export_directory);
    text += "\nimport_directory = ";
    put_value(&text, s->import_directory, sizeof s->import_directory);
    snprintf(flags, sizeof flags, "\n\n[export]\nexport_paletted_type = %d\nexport_truecolour_type = %d\n\n[recent]",
             (int)s->export_paletted_type, (int)s->export_truecolour_type);
    text += flags;
    for (int i = 0; i < SETTINGS_RECENT_COUNT && s->recent_levels[i][0]; i++) {
        text += "\nlevel_" + std::to_string(i + 1) + " = ";
        put_value(&text, s->recent_levels[i], SETTINGS_PATH_SIZE);
        text += "\nd3d_" + std::to_string(i + 1) + " = ";
        put_value(&text, s->recent_d3ds[i], SETTINGS_PATH_SIZE);
    }

    // Whole or not at all: a failed write (full disk, lost drive) leaves the
    // previous settings intact.
    int written = write_file_whole(path, text.data(), text.size());
    if (written != WRITE_FILE_OK) {
        debug_log(written == WRITE_FILE_CANNOT_CREATE ? "Couldn't open settings file!" : "Couldn't write settings file!");
        return written == WRITE_FILE_CANNOT_CREATE ? 1 : 2;
    }
    debug_log("Finished writing.");
    return 0;
}
