// The modal message box, through Allegro by default.
#include "app/message_box.h"

#include <allegro.h>

void allegro_message_box(const char *text) { allegro_message("%s", text); }

void (*show_message)(const char *text) = allegro_message_box;
