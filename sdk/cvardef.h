// Console variable record.
#pragma once

#include "archtypes.h"
#include "const.h"
#include "layout.h"

struct cvar_s {
    const char *name;
    const char *string;
    int flags;
    float value;
    struct cvar_s *next;
};

ORLEX_PIN_SIZE(cvar_t, 20, 32);
ORLEX_PIN_OFFSET(cvar_t, name, 0, 0);
ORLEX_PIN_OFFSET(cvar_t, string, 4, 8);
ORLEX_PIN_OFFSET(cvar_t, flags, 8, 16);
ORLEX_PIN_OFFSET(cvar_t, value, 12, 20);
ORLEX_PIN_OFFSET(cvar_t, next, 16, 24);
