// Keeping the OpenGL driver loaded to the end of the process in leak-checked builds.
#pragma once

// In AddressSanitizer builds, loads Mesa's software driver once more with
// RTLD_NODELETE, so that it is still mapped when the leak checker runs at
// exit. The driver leaves a few allocations behind when the display closes;
// once it has been unloaded they cannot be traced to it and the suppressions
// for the system's GL libraries do not match. Does nothing in other builds
// or when the driver is not found. Call before the OpenGL window is opened.
void keep_gl_driver_for_leak_check();
