// The tool's info and check reports over a loaded level.
#include "cli/report.h"

#include <stdlib.h>
#include <string.h>

#include <vector>

#include "level/level.h"
#include "level/name_lists.h"
#include "level/texture_store.h"

namespace {

// The palette list of each page, or null: find_palette_list's answer, the
// list the editor shows.
std::vector<const palette_list *> lists_by_page(const level *lvl)
{
    std::vector<const palette_list *> by_page((size_t)(lvl->texture_count > 0 ? lvl->texture_count : 0), nullptr);
    for (size_t page = 0; page < by_page.size(); page++) by_page[page] = find_palette_list(lvl, (int)page);
    return by_page;
}

int list_size(const palette_list *l) { return l && l->palette_ids && l->count > 0 ? l->count : 0; }

// A JSON string: the names are at most 8 bytes, but any byte may be there.
void put_json_string(FILE *out, const char *s)
{
    fputc('"', out);
    for (; *s; s++) {
        unsigned char c = (unsigned char)*s;
        if (c == '"' || c == '\\') fprintf(out, "\\%c", c);
        else if (c < 0x20 || c >= 0x7f) fprintf(out, "\\u%04x", c);
        else fputc(c, out);
    }
    fputc('"', out);
}

}  // namespace

namespace {

void write_pages(FILE *out, const level *lvl, const std::vector<const palette_list *> &lists, bool json)
{
    int pages = (int)lists.size();
    std::vector<int> users((size_t)pages + 1, 0);
    count_page_users(lvl, users.data(), pages);
    const char *sep = "";
    if (json) fputs("{\n  \"pages\": [", out);
    else fprintf(out, "Pages: %d\n  page  format  transparent  slot  models  palette ids\n", pages);
    for (int p = 0; p < pages; p++) {
        const level_texture &t = lvl->textures[p];
        const palette_list *l = lists[(size_t)p];
        int slot = l ? t.palette_slot : -1;
        if (json) {
            fprintf(out, "%s\n    {\"index\": %d, \"format\": \"%s\", \"transparent\": %s, \"palette_ids\": [", sep, p,
                    t.paletted ? "8-bit" : "15-bit", t.transparent ? "true" : "false");
            for (int s = 0; s < list_size(l); s++) fprintf(out, "%s%d", s ? ", " : "", (int)l->palette_ids[s]);
            fprintf(out, "], \"slot\": %d, \"models\": %d}", slot, users[(size_t)p]);
            sep = ",";
        } else {
            fprintf(out, "  %4d  %-6s  %-11s  %4d  %6d ", p, t.paletted ? "8-bit" : "15-bit",
                    t.transparent ? "yes" : "no", slot, users[(size_t)p]);
            if (!l) fputs(" -", out);
            for (int s = 0; s < list_size(l); s++) fprintf(out, " %d", (int)l->palette_ids[s]);
            fputc('\n', out);
        }
    }
}

void write_palettes(FILE *out, const level *lvl, const std::vector<const palette_list *> &lists, bool json)
{
    // Pages naming each palette id, in page order.
    int ids = lvl->palette_table_size > 0 ? lvl->palette_table_size : 0;
    std::vector<std::vector<int>> pages_of((size_t)ids);
    for (int p = 0; p < (int)lists.size(); p++)
        for (int s = 0; s < list_size(lists[(size_t)p]); s++) {
            int32_t id = lists[(size_t)p]->palette_ids[s];
            if (id >= 0 && id < ids && (pages_of[(size_t)id].empty() || pages_of[(size_t)id].back() != p))
                pages_of[(size_t)id].push_back(p);
        }
    int live = 0;
    for (int i = 0; i < lvl->palette_count; i++) live += palette_by_id(lvl, lvl->palettes[i].id) == &lvl->palettes[i];
    const char *sep = "";
    if (json) fputs("\n  ],\n  \"palettes\": [", out);
    else fprintf(out, "Palettes: %d\n    id  pages\n", live);
    for (int i = 0; i < lvl->palette_count; i++) {
        const level_palette &pal = lvl->palettes[i];
        if (palette_by_id(lvl, pal.id) != &pal) continue;   // deleted, or an earlier palette of the same id
        const std::vector<int> &on = pages_of[(size_t)pal.id];
        if (json) {
            fprintf(out, "%s\n    {\"id\": %d, \"pages\": [", sep, (int)pal.id);
            for (size_t k = 0; k < on.size(); k++) fprintf(out, "%s%d", k ? ", " : "", on[k]);
            fprintf(out, "], \"unused\": %s}", on.empty() ? "true" : "false");
            sep = ",";
        } else {
            fprintf(out, "  %4d ", (int)pal.id);
            if (on.empty()) fputs(" (unused)", out);
            for (int p : on) fprintf(out, " %d", p);
            fputc('\n', out);
        }
    }
}

void write_texture_names(FILE *out, const level *lvl, bool json)
{
    const char *sep = "";
    if (json) fputs("\n  ],\n  \"textures\": [", out);
    else fprintf(out, "Named textures: %d\n  name      page    x    y    w    h\n", lvl->texture_name_count);
    for (int i = 0; i < lvl->texture_name_count; i++) {
        const texture_name &n = lvl->texture_names[i];
        if (json) {
            fprintf(out, "%s\n    {\"name\": ", sep);
            put_json_string(out, n.name);
            fprintf(out, ", \"page\": %d, \"x\": %d, \"y\": %d, \"w\": %d, \"h\": %d}", (int)n.texture, (int)n.x,
                    (int)n.y, (int)n.w, (int)n.h);
            sep = ",";
        } else {
            fprintf(out, "  %-8s  %4d  %3d  %3d  %3d  %3d\n", n.name, (int)n.texture, (int)n.x, (int)n.y, (int)n.w,
                    (int)n.h);
        }
    }
}

int count_unsafe(const model &m)
{
    int n = 0;
    for (int i = 0; m.polygons && i < m.polygon_count; i++) n += m.polygons[i].unsafe;
    return n;
}

}  // namespace

int write_level_info(FILE *out, const level *lvl, bool json)
{
    std::vector<const palette_list *> lists = lists_by_page(lvl);
    write_pages(out, lvl, lists, json);
    write_palettes(out, lvl, lists, json);
    write_texture_names(out, lvl, json);
    if (json)
        fprintf(out, "\n  ],\n  \"models\": %d,\n  \"event_models\": %d,\n  \"world_instances\": %d\n}\n",
                (int)lvl->model_count, (int)lvl->event_model_count, (int)lvl->world_instance_count);
    else
        fprintf(out, "Models: %d\nEvent models: %d\nWorld instances: %d\n", (int)lvl->model_count,
                (int)lvl->event_model_count, (int)lvl->world_instance_count);
    return 0;
}

int write_level_check(FILE *out, const level *lvl)
{
    int findings = 0;
    int pages = lvl->texture_count > 0 ? lvl->texture_count : 0;
    std::vector<const palette_list *> lists = lists_by_page(lvl);
    for (int i = 0; i < lvl->palette_list_count; i++) {
        const palette_list &l = lvl->palette_lists[i];
        if (l.texture < 0 || l.texture >= pages) {
            fprintf(out, "palette list %d: names page %d, which the level does not have\n", i, (int)l.texture);
            findings++;
        } else if (lists[(size_t)l.texture] != &l) {
            fprintf(out, "palette list %d: a second list for page %d, which only the first is used for\n", i,
                    (int)l.texture);
            findings++;
        }
        for (int s = 0; s < list_size(&l); s++)
            if (!palette_by_id(lvl, l.palette_ids[s])) {
                fprintf(out, "page %d: its palette list names palette %d, which the level does not have\n",
                        (int)l.texture, (int)l.palette_ids[s]);
                findings++;
            }
    }
    for (int i = 0; i < lvl->texture_name_count; i++) {
        const texture_name &n = lvl->texture_names[i];
        if (n.texture < 0 || n.texture >= pages) {
            fprintf(out, "texture %s: on page %d, which the level does not have\n", n.name, (int)n.texture);
            findings++;
        } else if (n.x < 0 || n.y < 0 || n.w < 0 || n.h < 0 || (int64_t)n.x + n.w > PAGE_SIZE || (int64_t)n.y + n.h > PAGE_SIZE) {
            fprintf(out, "texture %s: %dx%d at %d,%d lies outside page %d\n", n.name, (int)n.w, (int)n.h, (int)n.x,
                    (int)n.y, (int)n.texture);
            findings++;
        }
    }
    for (int k = 0; lvl->event_models && k < lvl->event_model_count; k++)
        if (int n = count_unsafe(lvl->event_models[k])) {
            fprintf(out, "event model %d: %d polygons skipped as unsafe\n", k, n);
            findings++;
        }
    for (int m = 0; lvl->models && m < lvl->model_count; m++)
        if (int n = count_unsafe(lvl->models[m])) {
            fprintf(out, "model %d: %d polygons skipped as unsafe\n", m, n);
            findings++;
        }
    for (int p = 0; p < pages; p++)
        if (lvl->textures[p].paletted && !list_size(lists[(size_t)p])) {
            fprintf(out, "page %d: paletted, but no palette list covers it\n", p);
            findings++;
        }
    return findings;
}
