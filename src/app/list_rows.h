// The rows of the main screen's list boxes: pages, event models, texture
// names and models, built when a level is opened, and the users of a page.
//
// Built from the one loaded level when it is opened and freed when it is
// closed; the list boxes hold pointers into these arrays, never copies.
#pragma once
#include "level/level.h"

// Built at open, freed at close (counts 0 while empty).
extern char **page_rows;               // "Texture <i>" per page
extern int page_row_count;
extern char **event_model_rows;        // "Event model <i>" per event model
extern int event_model_row_count;
extern char **texture_name_rows;       // points at each texture_name's name
extern int texture_name_row_count;
extern char **model_rows;              // each model's name; its index when the level lacks the name
extern int model_row_count;

// Rebuilt on request: the event models, then the models, using one page.
extern char **users_rows;              // "Event model <k>" or "<m>: <name>"
extern int *users_index;               // the event model's or model's index per row
extern int users_row_count;
extern int users_event_rows;           // rows below this are event models

// Builds the four lists above from the level (freeing earlier ones).
// Returns 0, or 1 when memory ran out (the lists are then empty).
int build_name_lists(const level *lvl);
// Frees the lists built at open; safe to call twice.
void free_name_lists();
// Rebuilds the users list for page `page`. Logs "Building model list." and,
// when it found users, "Done building model list.". Returns false (list
// empty) when no model or event model uses the page or memory ran out.
bool build_users_list(const level *lvl, int page);
void free_users_list();
