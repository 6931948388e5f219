// The one way the plug-in writes its own messages to the server log, and the check every table
// request from the host goes through.
#pragma once

#if defined(__GNUC__)
#define ORLEX_PRINTF(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))
#else
#define ORLEX_PRINTF(fmt_index, first_arg)
#endif

// A host asking for one of our function tables: false, with the message the host expects, for a
// null table or another interface version (ours is then written back for the host).
bool UTIL_TableRequestOk(const char *entry, const char *table_name, const void *table, int *interfaceVersion, int ours);

// Formats one line of at most 1023 characters and hands it to the engine's log. Not reentrant.
void UTIL_LogPrintf(const char *fmt, ...) ORLEX_PRINTF(1, 2);
