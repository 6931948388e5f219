#include "host/sdk_util.h"

#include <cstdarg>
#include <cstdio>

#include "host/engine.h"

bool UTIL_TableRequestOk(const char *entry, const char *table_name, const void *table, int *interfaceVersion,
                         int ours) {
    if (!table) {
        UTIL_LogPrintf("%s called with null %s", entry, table_name);
        return false;
    }
    if (*interfaceVersion != ours) {
        UTIL_LogPrintf("%s version mismatch; requested=%d ours=%d", entry, *interfaceVersion, ours);
        *interfaceVersion = ours;
        return false;
    }
    return true;
}

void UTIL_LogPrintf(const char *fmt, ...) {
    static char string[1024];  // static: a hook's stack may be small, and there is one thread

    va_list args;
    va_start(args, fmt);
    vsnprintf(string, sizeof(string), fmt, args);
    va_end(args);

    if (g_engfuncs.pfnAlertMessage)
        g_engfuncs.pfnAlertMessage(at_logged, "%s\n", string);
}
