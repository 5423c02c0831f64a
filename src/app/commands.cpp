// The main screen's commands (filled in as the widgets arrive).
#include "app/commands.h"

void show_update_text(char *, int) {}
