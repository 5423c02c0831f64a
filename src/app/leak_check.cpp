// Keeping the OpenGL driver loaded to the end of the process in leak-checked builds.
#include "app/leak_check.h"

#if defined(__SANITIZE_ADDRESS__)
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#endif

void keep_gl_driver_for_leak_check()
{
#if defined(__SANITIZE_ADDRESS__)
    static bool done = false;
    if (done) return;
    done = true;
    const char *folders[] = {getenv("LIBGL_DRIVERS_PATH"), "/usr/lib/x86_64-linux-gnu/dri",
                             "/usr/lib/aarch64-linux-gnu/dri", "/usr/lib64/dri", "/usr/lib/dri"};
    for (const char *folder : folders) {
        if (!folder || !*folder) continue;
        char path[512];
        snprintf(path, sizeof path, "%s/swrast_dri.so", folder);
        // Never closed: the point is that it stays.
        if (dlopen(path, RTLD_LAZY | RTLD_NODELETE)) return;
    }
#endif
}
