#include "host/cvars.h"

#include <climits>
#include <cmath>
#include <cstdio>

#include "host/engine.h"
#include "host/version.h"

namespace {
const int PUBLIC = FCVAR_SERVER | FCVAR_EXTDLL;  // shown in the server's public rules
const int PRIVATE = FCVAR_EXTDLL;
}  // namespace

cvar_t orlex_cvars[ORLEX_CVAR_COUNT + 1] = {
    {"orlex_mm_port", "0", PUBLIC, 0.0f, nullptr},
    {"orlex_mm_ip", "0", PRIVATE, 0.0f, nullptr},
    {"orlex_mm_version", ORLEX_VERSION, PUBLIC, 0.0f, nullptr},
    {"orlex_timer_refresh", "5.0", PRIVATE, 5.0f, nullptr},
    {"orlex_refresh_lag", "-1", PRIVATE, -1.0f, nullptr},
    {"orlex_timer_server", "2.0", PRIVATE, 2.0f, nullptr},
    {"orlex_timer_conncheck", "0.5", PRIVATE, 0.5f, nullptr},
    {"orlex_timer_query", "2.0", PRIVATE, 2.0f, nullptr},
    {"orlex_port_pool", "10", PRIVATE, 10.0f, nullptr},
    {"orlex_port_avail", "10", PUBLIC, 10.0f, nullptr},
    {"orlex_mm_udp_port", "0", PRIVATE, 0.0f, nullptr},
    // Access control, off by default; private, so that the admin hosts are not published.
    {"orlex_mm_allow", "", PRIVATE, 0.0f, nullptr},
    {"orlex_mm_rate", "0", PRIVATE, 0.0f, nullptr},
    {"orlex_mm_hide_password", "0", PRIVATE, 0.0f, nullptr},
    {nullptr, nullptr, 0, 0.0f, nullptr},
};

cvar_t *orlex_mm_port;
cvar_t *orlex_mm_ip;
cvar_t *orlex_mm_version;
cvar_t *orlex_timer_refresh;
cvar_t *orlex_refresh_lag;
cvar_t *orlex_timer_server;
cvar_t *orlex_timer_conncheck;
cvar_t *orlex_timer_query;
cvar_t *orlex_port_pool;
cvar_t *orlex_port_avail;
cvar_t *orlex_mm_udp_port;
cvar_t *orlex_mm_allow;
cvar_t *orlex_mm_rate;
cvar_t *orlex_mm_hide_password;

// In the order of orlex_cvars.
static cvar_t **const live_records[ORLEX_CVAR_COUNT] = {
    &orlex_mm_port,      &orlex_mm_ip,           &orlex_mm_version,  &orlex_timer_refresh,    &orlex_refresh_lag,
    &orlex_timer_server, &orlex_timer_conncheck, &orlex_timer_query, &orlex_port_pool,        &orlex_port_avail,
    &orlex_mm_udp_port,  &orlex_mm_allow,        &orlex_mm_rate,     &orlex_mm_hide_password,
};

void register_cvars() {
    for (cvar_t *record = orlex_cvars; record->name; ++record)
        g_engfuncs.pfnCVarRegister(record);
    for (int i = 0; i < ORLEX_CVAR_COUNT; ++i)
        *live_records[i] = g_engfuncs.pfnCVarGetPointer(orlex_cvars[i].name);
}

float cvar_float(const cvar_t *var) {
    if (!var || !std::isfinite(var->value))
        return 0.0f;
    return var->value;
}

int cvar_whole(const cvar_t *var) {
    const double value = cvar_float(var);
    if (value >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (value <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(value);
}

const char *cvar_text(const cvar_t *var) { return var ? or_empty(var->string) : ""; }

void cvar_set_text(cvar_t *var, const char *text) {
    if (var)
        g_engfuncs.pfnCvar_DirectSet(var, text);
}

void cvar_set_whole(cvar_t *var, int number) {
    char text[16];
    snprintf(text, sizeof(text), "%i", number);
    cvar_set_text(var, text);
}

const char *engine_cvar_text(const char *name) { return or_empty(g_engfuncs.pfnCVarGetString(name)); }
