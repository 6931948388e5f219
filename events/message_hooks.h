// Hooks on the game's network messages, named after the engine functions they hook: deaths are
// counted from "DeathMsg", teams and their scores learnt from "TeamScore", and the scores are
// announced in game at most once a minute. Deaths and teams go into the player and team tables
// (state/).
#pragma once

#include "sdk/eiface.h"

// Game time after which the next score announcement may be made.
extern float scorebot_time;

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

// One field of a message as a handler receives it: integer fields (byte, char, short, long,
// entity), float fields (angle, coordinate) or text.
struct MessageField {
    enum Kind { INTEGER, REAL, TEXT } kind;
    int integer;
    float real;
    const char *text;
};

// Field handler of "DeathMsg": counts the victim's death at the message's third field.
void BotClient_Valve_DeathMsg(const MessageField &field);
