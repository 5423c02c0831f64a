// Keeping the OpenGL driver loaded to the end of the process in leak-checked builds.
#pragma once

// In AddressSanitizer builds, marks every shared library loaded so far as
// never to be unloaded. The GL driver is loaded with dlopen when the window
// opens and unloaded when the display closes at exit, before LeakSanitizer
// looks; its leftovers would then come from an "<unknown module>" that no
// suppression can name. Pinned, they keep their library's name and the
// suppressions for the system's GL libraries match. Does nothing in other
// builds. Call right after the OpenGL window has opened.
void keep_gl_driver_for_leak_check();
