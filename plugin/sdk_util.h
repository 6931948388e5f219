// The one way the plug-in writes its own messages to the server log.
#pragma once

#if defined(__GNUC__)
#define ORLEX_PRINTF(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))
#else
#define ORLEX_PRINTF(fmt_index, first_arg)
#endif

// Formats one line of at most 1023 characters and hands it to the engine's log. Not reentrant.
void UTIL_LogPrintf(const char *fmt, ...) ORLEX_PRINTF(1, 2);
