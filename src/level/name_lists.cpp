// Questions about the level's names and page users that the lists and the tool ask.
#include "level/name_lists.h"

#include <stdlib.h>
#include <string.h>

bool model_uses_page(const model &m, int page)
{
    if (!m.textures_used || m.textures_used_count <= 0)
        return false;
    for (int i = 0; i < m.textures_used_count; i++)
        if (m.textures_used[i] == page)
            return true;
    return false;
}

void count_page_users(const level *lvl, int *counts, int page_count)
{
    if (page_count <= 0) return;
    memset(counts, 0, (size_t)page_count * sizeof *counts);
    // last[p]: the model that last counted page p, so a list naming a page
    // twice counts once (as uses_page does).
    int *last = (int *)malloc((size_t)page_count * sizeof *last);
    if (!last) return;
    for (int p = 0; p < page_count; p++) last[p] = -1;
    int events = lvl->event_models ? lvl->event_model_count : 0;
    int models = lvl->models ? lvl->model_count : 0;
    for (int i = 0; i < events + models; i++) {
        const model &m = i < events ? lvl->event_models[i] : lvl->models[i - events];
        if (!m.textures_used) continue;
        for (int t = 0; t < m.textures_used_count; t++) {
            int page = m.textures_used[t];
            if (page < page_count && last[page] != i) {
                last[page] = i;
                counts[page]++;
            }
        }
    }
    free(last);
}

const char *model_name(const level *lvl, int index)
{
    if (!lvl->model_names || index < 0 || index >= lvl->model_name_count)
        return nullptr;
    return lvl->model_names[index];
}
