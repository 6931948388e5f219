// Hooks on the game's network messages, named after the engine functions they hook.
#pragma once

#include "sdk/eiface.h"

enum { TEAM_SLOTS = 4, TEAM_NAME_SIZE = 256 };

// Teams seen in the game's score messages this map, and their scores.
extern char det_team_names[TEAM_SLOTS][TEAM_NAME_SIZE];
extern int team_scores[TEAM_SLOTS];

void pfnMessageBegin(int msg_dest, int msg_type, const float *pOrigin, edict_t *ed);
void pfnMessageEnd();
void pfnWriteByte(int iValue);
void pfnWriteChar(int iValue);
void pfnWriteShort(int iValue);
void pfnWriteLong(int iValue);
void pfnWriteAngle(float flValue);
void pfnWriteCoord(float flValue);
void pfnWriteString(const char *sz);
void pfnWriteEntity(int iValue);
