// Forgetting the keys that were down when a modal window took the focus.
#include "app/held_keys.h"

#include <allegro.h>
#include <allegro/internal/aintern.h>

void forget_held_keys()
{
    // A key still physically down sends no new press, so it stays up for us
    // until it is released and pressed again. Allegro keeps a second copy of
    // the state for polled mode; both must agree.
    for (int k = 0; k < KEY_MAX; k++) {
        key[k] = 0;
        _key[k] = 0;
    }
    // Modifier flags follow the keys; the lock flags are the keyboard's own
    // state and stay.
    const int held_modifiers = KB_SHIFT_FLAG | KB_CTRL_FLAG | KB_ALT_FLAG | KB_LWIN_FLAG |
                               KB_RWIN_FLAG | KB_MENU_FLAG | KB_COMMAND_FLAG;
    key_shifts &= ~held_modifiers;
    _key_shifts &= ~held_modifiers;
    clear_keybuf();
}
