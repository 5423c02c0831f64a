// The rows of the main screen's list boxes and the users of a page.
#include "app/list_rows.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/debug_log.h"
#include "level/name_lists.h"

char **page_rows = nullptr;
int page_row_count = 0;
char **event_model_rows = nullptr;
int event_model_row_count = 0;
char **texture_name_rows = nullptr;
int texture_name_row_count = 0;
char **model_rows = nullptr;
int model_row_count = 0;

char **users_rows = nullptr;
int *users_index = nullptr;
int users_row_count = 0;
int users_event_rows = 0;

namespace {

// Substitute rows of model_rows (indices for missing names) are owned; rows
// that point at the level's names are not.
bool *model_row_owned = nullptr;

void free_rows(char **rows, int count)
{
    if (!rows)
        return;
    for (int i = 0; i < count; i++)
        free(rows[i]);
    free(rows);
}

// "<prefix><i>" for i in 0..count-1; null when memory ran out.
char **numbered_rows(const char *prefix, int count)
{
    char **rows = (char **)calloc(count > 0 ? (size_t)count : 1, sizeof *rows);
    if (!rows)
        return nullptr;
    for (int i = 0; i < count; i++) {
        size_t size = strlen(prefix) + 12;
        rows[i] = (char *)malloc(size);
        if (!rows[i]) {
            free_rows(rows, i);
            return nullptr;
        }
        snprintf(rows[i], size, "%s%d", prefix, i);
    }
    return rows;
}

}  // namespace

int build_name_lists(const level *lvl)
{
    free_name_lists();
    int pages = lvl->texture_count > 0 ? lvl->texture_count : 0;
    int events = lvl->event_model_count > 0 ? lvl->event_model_count : 0;
    int names = lvl->texture_names && lvl->texture_name_count > 0 ? lvl->texture_name_count : 0;
    int models = lvl->models && lvl->model_count > 0 ? lvl->model_count : 0;

    page_rows = numbered_rows("Texture ", pages);
    event_model_rows = numbered_rows("Event model ", events);
    texture_name_rows = (char **)calloc(names > 0 ? (size_t)names : 1, sizeof *texture_name_rows);
    model_rows = (char **)calloc(models > 0 ? (size_t)models : 1, sizeof *model_rows);
    model_row_owned = (bool *)calloc(models > 0 ? (size_t)models : 1, sizeof *model_row_owned);
    if (!page_rows || !event_model_rows || !texture_name_rows || !model_rows || !model_row_owned) {
        free_rows(page_rows, pages);
        free_rows(event_model_rows, events);
        page_rows = event_model_rows = nullptr;
        free_name_lists();
        return 1;
    }
    page_row_count = pages;
    event_model_row_count = events;
    texture_name_row_count = names;
    for (int i = 0; i < names; i++)
        texture_name_rows[i] = (char *)lvl->texture_names[i].name;
    model_row_count = models;
    for (int i = 0; i < models; i++) {
        const char *name = model_name(lvl, i);
        if (name) {
            model_rows[i] = (char *)name;
        } else {
            model_rows[i] = (char *)malloc(12);
            if (model_rows[i])
                snprintf(model_rows[i], 12, "%d", i);
            else
                model_rows[i] = (char *)"";
            model_row_owned[i] = model_rows[i][0] != '\0';
        }
    }
    return 0;
}

void free_name_lists()
{
    free_rows(page_rows, page_row_count);
    free_rows(event_model_rows, event_model_row_count);
    free(texture_name_rows);
    if (model_rows && model_row_owned)
        for (int i = 0; i < model_row_count; i++)
            if (model_row_owned[i])
                free(model_rows[i]);
    free(model_rows);
    free(model_row_owned);
    page_rows = event_model_rows = texture_name_rows = model_rows = nullptr;
    model_row_owned = nullptr;
    page_row_count = event_model_row_count = texture_name_row_count = model_row_count = 0;
}

void free_users_list()
{
    free_rows(users_rows, users_row_count);
    free(users_index);
    users_rows = nullptr;
    users_index = nullptr;
    users_row_count = 0;
    users_event_rows = 0;
}

bool build_users_list(const level *lvl, int page)
{
    debug_log("Building model list.");
    free_users_list();
    int events = lvl->event_models ? lvl->event_model_count : 0;
    int models = lvl->models ? lvl->model_count : 0;
    int count = 0;
    for (int k = 0; k < events; k++)
        count += model_uses_page(lvl->event_models[k], page);
    for (int m = 0; m < models; m++)
        count += model_uses_page(lvl->models[m], page);
    if (count == 0)
        return false;

    users_rows = (char **)calloc((size_t)count, sizeof *users_rows);
    users_index = (int *)calloc((size_t)count, sizeof *users_index);
    if (!users_rows || !users_index) {
        free(users_rows);
        free(users_index);
        users_rows = nullptr;
        users_index = nullptr;
        return false;
    }
    int row = 0;
    bool ok = true;
    for (int k = 0; k < events && ok; k++) {
        if (!model_uses_page(lvl->event_models[k], page))
            continue;
        users_rows[row] = (char *)malloc(24);
        ok = users_rows[row] != nullptr;
        if (ok)
            snprintf(users_rows[row], 24, "Event model %d", k);
        users_index[row++] = k;
    }
    users_event_rows = row;
    for (int m = 0; m < models && ok; m++) {
        if (!model_uses_page(lvl->models[m], page))
            continue;
        const char *name = model_name(lvl, m);
        size_t size = 16 + (name ? strlen(name) : 0);
        users_rows[row] = (char *)malloc(size);
        ok = users_rows[row] != nullptr;
        if (ok)
            snprintf(users_rows[row], size, "%d: %s", m, name ? name : "");
        users_index[row++] = m;
    }
    users_row_count = row;
    if (!ok) {
        free_users_list();
        return false;
    }
    debug_log("Done building model list.");
    return true;
}
