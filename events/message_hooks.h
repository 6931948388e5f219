// Hooks on the game's network messages, named after the engine functions they hook.
#pragma once

#include "sdk/eiface.h"

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
