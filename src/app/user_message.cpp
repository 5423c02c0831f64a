// Modal message boxes of the main screen's commands.
#include "app/user_message.h"

#include "app/message_box.h"

namespace {
void (*tell_hook)(const char *) = nullptr;
void (*modal_hook)() = nullptr;
}

void tell_user(const char *text)
{
    if (tell_hook)
        tell_hook(text);
    else
        show_message(text);
    after_modal();
}

void set_tell_user_hook(void (*hook)(const char *)) { tell_hook = hook; }
void set_after_modal_hook(void (*hook)()) { modal_hook = hook; }

void after_modal()
{
    if (modal_hook)
        modal_hook();
}
