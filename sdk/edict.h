// Entity dictionary record.
#pragma once

#include "archtypes.h"
#include "layout.h"
#include "progdefs.h"

enum { MAX_ENT_LEAFS = 48 };

typedef struct link_s {
    struct link_s *prev;
    struct link_s *next;
} link_t;

ORLEX_PIN_SIZE(link_t, 8, 16);

struct edict_s {
    qboolean free;
    int serialnumber;
    link_t area;
    int headnode;
    int num_leafs;
    short leafnums[MAX_ENT_LEAFS];
    float freetime;
    void *pvPrivateData;
    entvars_t v;
};

ORLEX_PIN_SIZE(edict_t, 804, 864);
ORLEX_PIN_OFFSET(edict_t, free, 0, 0);
ORLEX_PIN_OFFSET(edict_t, serialnumber, 4, 4);
ORLEX_PIN_OFFSET(edict_t, area, 8, 8);
ORLEX_PIN_OFFSET(edict_t, headnode, 16, 24);
ORLEX_PIN_OFFSET(edict_t, num_leafs, 20, 28);
ORLEX_PIN_OFFSET(edict_t, leafnums, 24, 32);
ORLEX_PIN_OFFSET(edict_t, freetime, 120, 128);
ORLEX_PIN_OFFSET(edict_t, pvPrivateData, 124, 136);
ORLEX_PIN_OFFSET(edict_t, v, 128, 144);
