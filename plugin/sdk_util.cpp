#include "plugin/sdk_util.h"

#include <cstdarg>
#include <cstdio>

#include "plugin/engine.h"

void UTIL_LogPrintf(const char *fmt, ...) {
    static char string[1024];  // static: a hook's stack may be small, and there is one thread

    va_list args;
    va_start(args, fmt);
    vsnprintf(string, sizeof(string), fmt, args);
    va_end(args);

    if (g_engfuncs.pfnAlertMessage)
        g_engfuncs.pfnAlertMessage(at_logged, "%s\n", string);
}
