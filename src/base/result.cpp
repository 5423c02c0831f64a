// Failures with their reasons.
#include "base/result.h"

#include <stdarg.h>
#include <stdio.h>

result failed(int code, const char *format, ...)
{
    result r;
    r.code = code;
    va_list args;
    va_start(args, format);
    vsnprintf(r.reason, sizeof r.reason, format, args);
    va_end(args);
    return r;
}
