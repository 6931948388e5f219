// Hooks on the game's start, map start, player connections and player commands: what they see
// goes into the game and player tables (state/) and the chat queues.
#pragma once

#include "sdk/eiface.h"

void GameInit();
qboolean ClientConnect(edict_t *pEntity, const char *pszName, const char *pszAddress, char szRejectReason[128]);
void ClientCommand(edict_t *pEntity);
void ServerActivate(edict_t *pEdictList, int edictCount, int clientMax);

// Engine hook: console commands the game issues.
void ServerCommand(const char *str);
