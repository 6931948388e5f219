// The plug-in's console variables: its whole configuration. At the floor, so that every layer
// reads its settings without reaching up to the entry points that register them.
#pragma once

#include "sdk/cvardef.h"

enum { ORLEX_CVAR_COUNT = 14 };

// Registered at attach, in this order; the last record (null name) ends the table.
extern cvar_t orlex_cvars[ORLEX_CVAR_COUNT + 1];

// The engine's live records, fetched by name after registration (the host registers a copy of
// ours). Null only if the engine refused one; every reader below copes with that.
extern cvar_t *orlex_mm_port;
extern cvar_t *orlex_mm_ip;
extern cvar_t *orlex_mm_version;
extern cvar_t *orlex_timer_refresh;
extern cvar_t *orlex_refresh_lag;
extern cvar_t *orlex_timer_server;
extern cvar_t *orlex_timer_conncheck;
extern cvar_t *orlex_timer_query;
extern cvar_t *orlex_port_pool;
extern cvar_t *orlex_port_avail;
extern cvar_t *orlex_mm_udp_port;
extern cvar_t *orlex_mm_allow;
extern cvar_t *orlex_mm_rate;
extern cvar_t *orlex_mm_hide_password;

// Registers the table with the engine, then fetches the live records.
void register_cvars();

// The number as a float; a missing variable or a value that is not finite reads as 0.
float cvar_float(const cvar_t *var);

// The number converted toward zero, clamped to the int range (13015.9 gives 13015, -0.5 gives 0).
int cvar_whole(const cvar_t *var);

// The text; a missing variable or a null text reads as "".
const char *cvar_text(const cvar_t *var);

// Sets the text through the engine, which also updates the number.
void cvar_set_text(cvar_t *var, const char *text);

// Sets the text to a whole number written as "%i".
void cvar_set_whole(cvar_t *var, int number);

// Text of any engine variable by name; a missing one reads as "".
const char *engine_cvar_text(const char *name);
