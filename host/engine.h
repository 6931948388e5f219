// The host pointers the plug-in keeps for its lifetime, and the one result every hook reports.
// The floor every other layer stands on: only sdk/ lies below it.
#pragma once

#include "host/local.h"
#include "sdk/eiface.h"
#include "sdk/meta_api.h"

extern ORLEX_LOCAL enginefuncs_t g_engfuncs;        // the engine's functions (a full copy)
extern ORLEX_LOCAL globalvars_t *gpGlobals;         // the engine's globals
extern ORLEX_LOCAL mutil_funcs_t *gpMetaUtilFuncs;  // the host's utility functions
// The host's per-call result record; until attach, a record of our own that nobody reads, so that
// every hook writes it without a test.
extern ORLEX_LOCAL meta_globals_t *gpMetaGlobals;
extern ORLEX_LOCAL plugin_info_t Plugin_info;  // our description, also our identifier with the host

// Every hook only observes: the game and the engine carry on as if the plug-in were not there.
inline void set_result_ignored() { gpMetaGlobals->mres = MRES_IGNORED; }

// A null text from the engine reads as the empty text everywhere.
inline const char *or_empty(const char *text) { return text ? text : ""; }

// The text of an engine string field; the null string is the empty text.
inline const char *string_text(string_t field) { return field && gpGlobals ? gpGlobals->pStringBase + field : ""; }

// The server clock, in seconds; 0 until the engine has handed over its globals.
inline float server_time() { return gpGlobals ? gpGlobals->time : 0.0f; }
