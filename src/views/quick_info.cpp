// The quick info panel: facts about the selected page, named texture or model.
#include "views/quick_info.h"

#include <allegro.h>
#include <alleggl.h>
#include <stdarg.h>
#include <stdio.h>

#include "level/level.h"
#include "level/texture_store.h"

quick_info::quick_info()
{
    theme = -1;
}

int quick_info::handle_event(int, int) { return 0; }
int quick_info::update() { return 0; }

static void add_line(std::vector<info_line> *lines, int x, int y, const char *format, ...)
    __attribute__((format(printf, 4, 5)));

static void add_line(std::vector<info_line> *lines, int x, int y, const char *format, ...)
{
    info_line line;
    line.x = x;
    line.y = y;
    va_list args;
    va_start(args, format);
    vsnprintf(line.text, sizeof line.text, format, args);
    va_end(args);
    lines->push_back(line);
}

static void page_lines(const level *lvl, int page, std::vector<info_line> *lines)
{
    if (page < 0 || page >= lvl->texture_count || !lvl->textures)
        return;
    const level_texture &t = lvl->textures[page];
    if (t.paletted) {
        add_line(lines, 10, 14, "%s", "8-bit Paletted");
        if (t.palette_slot_count < 0) {
            add_line(lines, 10, 24, "%s", "No palette list");
            return;
        }
        // Short enough for the panel with two-digit numbers.
        add_line(lines, 10, 24, "Palette %d of %d.", t.palette_slot + 1, t.palette_slot_count);
        // The slot may lie beyond a list the user has shortened; then the id
        // is simply not shown.
        const palette_list *list = find_palette_list(lvl, page);
        if (list && t.palette_slot >= 0 && t.palette_slot < list->count && list->palette_ids)
            add_line(lines, 10, 34, "Palette id %d", list->palette_ids[t.palette_slot]);
    } else {
        add_line(lines, 10, 14, "%s", "15-bit Truecolor");
        add_line(lines, 10, 24, "%s", t.transparent ? "Has transparency" : "No transparency");
        short car = (short)(t.flags >> 16);
        if (car == -1)
            add_line(lines, 10, 44, "%s", "Not used by car.");
        else
            add_line(lines, 10, 44, "Used by car: %hd", car);
    }
}

static void name_lines(const level *lvl, int index, std::vector<info_line> *lines)
{
    if (index < 0 || index >= lvl->texture_name_count || !lvl->texture_names)
        return;
    const ::texture_name &n = lvl->texture_names[index];
    add_line(lines, 10, 14, "Uses texture %d", n.texture);
    add_line(lines, 10, 24, "X: %d", n.x);
    add_line(lines, 10, 34, "Y: %d", n.y);
    add_line(lines, 10, 44, "W: %d", n.w);
    add_line(lines, 10, 54, "H: %d", n.h);
}

static void model_lines(const ::model &m, int panel_w, int (*measure)(const char *),
                        std::vector<info_line> *lines)
{
    add_line(lines, 10, 14, "%s", "Textures Used:");
    int line_y = 24, column = 0;
    int comma = measure(", ");
    for (int i = 0; i < m.textures_used_count && m.textures_used; i++) {
        unsigned value = m.textures_used[i];
        char number[16];
        snprintf(number, sizeof number, "%u", value);
        int width = measure(number);
        bool last = i == m.textures_used_count - 1;
        // The comma after a number must fit too.
        if (column + width + (last ? 0 : comma) > panel_w - 20) {
            line_y += 10;
            column = 0;
        }
        add_line(lines, 10 + column, line_y, last ? "%u" : "%u, ", value);
        column += width + comma;
    }
    int y = line_y + 20;
    add_line(lines, 10, y, "%s", "Flags:");
    static const struct {
        bool object_word;
        uint32_t bit;
        const char *text;
    } flag_lines[] = {
        {true, MODEL_OBJECT_KNOCK_OVER, "Can be knocked over"},
        {true, MODEL_OBJECT_INSIDE, "Inside"},
        {false, MODEL_DRAW_TRANSPARENT_TEX, "Has transparent tex."},
        {false, MODEL_DRAW_FACES_CAMERA, "Always faces camera"},
        {false, MODEL_DRAW_SHADOW, "Shadow"},
    };
    for (const auto &f : flag_lines) {
        uint32_t word = f.object_word ? m.object_flags : m.draw_flags;
        if (word & f.bit) {
            y += 10;
            add_line(lines, 10, y, "%s", f.text);
        }
    }
}

void quick_info_lines(const quick_info &panel, int (*measure)(const char *),
                      std::vector<info_line> *lines)
{
    lines->clear();
    add_line(lines, 4, 4, "%s", "Quick Info:");
    const level *lvl = panel.level;
    if (!lvl)
        return;
    if (panel.show_texture_info) {
        if (panel.show_pages && panel.texture != -1)
            page_lines(lvl, panel.texture, lines);
        else if (panel.texture_name != -1)
            name_lines(lvl, panel.texture_name, lines);
        return;
    }
    if (panel.model < 0)
        return;
    // With event models shown, an index past their count describes the
    // model of that index when there is one.
    const ::model *m = nullptr;
    if (panel.show_event_models && panel.model < lvl->event_model_count && lvl->event_models)
        m = &lvl->event_models[panel.model];
    else if (panel.model < lvl->model_count && lvl->models)
        m = &lvl->models[panel.model];
    if (m)
        model_lines(*m, panel.w, measure, lines);
}

static int font_text_length(const char *text)
{
    return text_length(font, text);
}

int quick_info::draw(BITMAP *target)
{
    rectfill(target, x, y, x + w, y + h, makecol(255, 255, 255));
    draw_frame(target, theme, x, y, w, h);

    std::vector<info_line> lines;
    quick_info_lines(*this, font_text_length, &lines);

    // The glyphs darken the white face: dest = dest * (1 - glyph colour).
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
    glEnable(GL_TEXTURE_2D);
    for (const info_line &line : lines)
        allegro_gl_printf_ex(font, (float)(x + line.x), (float)(y + line.y), 0.0f, "%s", line.text);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_BLEND);
    return 0;
}
