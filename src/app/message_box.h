// The modal message box through which the program tells the user something.
#pragma once

// Shows `text` in a modal message box (Allegro's allegro_message by
// default). A plain function pointer so that tests without a display can put
// a recorder in its place; never null.
extern void (*show_message)(const char *text);

// The default: allegro_message with the text as its only content.
void allegro_message_box(const char *text);
