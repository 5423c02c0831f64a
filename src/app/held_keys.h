// Forgetting the keys that were down when a modal window took the focus.
#pragma once

// Clears Allegro's key state and key buffer, so keys held when a dialog or
// message box opened count as up until they are pressed again. Call after
// every dialog and message box returns: while another window has the focus
// Allegro may never see those keys go up, and the shortcut that opened the
// dialog would otherwise fire again on the next logic step.
void forget_held_keys();
