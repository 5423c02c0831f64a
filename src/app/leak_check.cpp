// Keeping the OpenGL driver loaded to the end of the process in leak-checked builds.
#include "app/leak_check.h"

#if defined(__SANITIZE_ADDRESS__)
#include <dlfcn.h>
#include <link.h>

static int pin_loaded_module(dl_phdr_info *info, size_t, void *)
{
    // RTLD_NOLOAD: only libraries already there; the handle is never closed.
    if (info->dlpi_name && info->dlpi_name[0])
        dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    return 0;
}
#endif

void keep_gl_driver_for_leak_check()
{
#if defined(__SANITIZE_ADDRESS__)
    dl_iterate_phdr(pin_loaded_module, nullptr);
#endif
}
