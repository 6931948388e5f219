// The objective records of the supported games: one table per class of game entity.
#pragma once

void Get_Flag_Data(char *buffer);         // "tfc" goal items: FLAG
void Get_DODCAP_Data(char *buffer);       // "dod" control points: FLAG
void Get_Hostage_Data(char *buffer);      // "cstrike": HOSTAGE
void Get_CSBOMB_Data(char *buffer);       // "cstrike": BOMB
void Get_SG_Data(char *buffer);           // "tfc" sentry guns: SENTRY
void Get_Teleporter_Data(char *buffer);   // "tfc": TELEPORTER
void Get_Dispenser_Data(char *buffer);    // "tfc": DISPENSER
void Get_NSPHIVE_Data(char *buffer);      // "nsp": HIVE
void Get_NSPRESOURCE_Data(char *buffer);  // "nsp" resource towers of both sides: RESOURCE
void Get_NSPCOMMAND_Data(char *buffer);   // "nsp": COMMAND
