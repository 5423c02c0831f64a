// Questions about the level's names and page users: which models use a page,
// how many use each page, what a model is called.
#pragma once
#include "level/level.h"

// Whether the model's texture list names page `page`.
bool model_uses_page(const model &m, int page);
// Counts for each of the first `page_count` pages the event models and
// models using it, each model once however often its list names the page;
// all zero when memory runs out.
void count_page_users(const level *lvl, int *counts, int page_count);
// The model's name or null when the level has no name for that index.
const char *model_name(const level *lvl, int index);
