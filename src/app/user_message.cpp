// Telling the user something: the modal message box of the editor's commands.
#include "app/user_message.h"

#include <allegro.h>

void (*show_message)(const char *text) = nullptr;

namespace {
void (*modal_hook)() = nullptr;
void (*redraw_hook)() = nullptr;
}

void tell_user(const char *text)
{
    redraw_now();
    if (show_message)
        show_message(text);
    else
        allegro_message("%s", text);
    after_modal();
}

void set_after_modal_hook(void (*hook)()) { modal_hook = hook; }

void after_modal()
{
    if (modal_hook)
        modal_hook();
}

void set_redraw_hook(void (*hook)()) { redraw_hook = hook; }

void redraw_now()
{
    if (redraw_hook)
        redraw_hook();
}
