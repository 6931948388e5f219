#include "reports/player_report.h"

#include <cstring>

#include "host/engine.h"
#include "state/game.h"
#include "state/map_world.h"
#include "state/players.h"
#include "text/record.h"

namespace {

enum Key {
    NAMES,
    TEAM,
    MODEL,
    MODEL_ALT,
    KILLS,
    DEATHS,
    HEALTH,
    ARMOR,
    PINGS,
    PACKET_LOSS,
    TIMES,
    STEAM_ID,
    USER_ID,
    INDEX_NUM,
    IP,
    WEAPON,
    X_COORD,
    Y_COORD,
    Z_COORD,
    ANGLE,
    DEAD,
    KEY_COUNT
};

const char *const kKeys[KEY_COUNT] = {
    "NAMES", "TEAM",   "MODEL",       "MODEL_ALT", "KILLS",    "DEATHS",  "HEALTH",
    "ARMOR", "PINGS",  "PACKET_LOSS", "TIMES",     "STEAM_ID", "USER_ID", "INDEX_NUM",
    "IP",    "WEAPON", "X_COORD",     "Y_COORD",   "Z_COORD",  "ANGLE",   "DEAD",
};

// Maximum armour by player class, in every game. Class 0 has none: it is every player of a game
// without classes, whose armour maximum is NO_CLASS_MAX_ARMOR.
const float tfc_max_armor[10] = {0, 50, 50, 200, 120, 100, 300, 150, 100, 50};
const float NO_CLASS_MAX_ARMOR = 100.0f;

const char *const kTerroristModels[] = {"terror", "arab", "leet", "artic", "arctic", "guerilla"};
const char *const kCounterTerroristModels[] = {"urban", "gsg9", "sas", "gign", "vip"};

template <size_t N>
bool one_of(const char *text, const char *const (&list)[N]) {
    for (const char *entry : list)
        if (strcmp(text, entry) == 0)
            return true;
    return false;
}

// The games whose players are reported differently, looked up once a build.
enum Game { OTHER_GAME, CSTRIKE, DOD, NSP };

Game current_game() {
    if (strcmp(game_dir, "cstrike") == 0)
        return CSTRIKE;
    if (strcmp(game_dir, "dod") == 0)
        return DOD;
    return strcmp(game_dir, "nsp") == 0 ? NSP : OTHER_GAME;
}

int team_number(Game game, const entvars_t &player, const char *model_name) {
    if (game != CSTRIKE)
        return player.team - 1;
    if (one_of(model_name, kTerroristModels))
        return 0;
    if (one_of(model_name, kCounterTerroristModels))
        return 1;
    return -1;
}

float max_armor(int playerclass) {
    return playerclass >= 1 && playerclass < 10 ? tfc_max_armor[playerclass] : NO_CLASS_MAX_ARMOR;
}

void fill_models(Game game, WorkingTable &table, int column, const entvars_t &player, const char *model_name) {
    if (game == DOD) {
        table_set_whole(table, MODEL, column, player.playerclass);
        table_set(table, MODEL_ALT, column, model_name);
    } else if (game == NSP) {
        table_set(table, MODEL, column, string_text(player.model));
        table_set(table, MODEL_ALT, column, model_name);
    } else {
        table_set(table, MODEL, column, model_name);
        table_set_whole(table, MODEL_ALT, column, player.playerclass);
    }
}

void fill_player(Game game, WorkingTable &table, int slot, edict_t *entity) {
    int ping = 0, packet_loss = 0;
    g_engfuncs.pfnGetPlayerStats(entity, &ping, &packet_loss);
    const entvars_t &player = entity->v;
    char *info = g_engfuncs.pfnGetInfoKeyBuffer(entity);
    const char *model_name = info ? or_empty(g_engfuncs.pfnInfoKeyValue(info, "model")) : "";
    const char *steam_id = or_empty(g_engfuncs.pfnGetPlayerAuthId(entity));
    const char *name = string_text(player.netname);
    const int user_id = g_engfuncs.pfnGetPlayerUserId(entity);

    table_set(table, NAMES, slot, name);
    fill_models(game, table, slot, player, model_name);
    table_set_whole(table, TEAM, slot, team_number(game, player, model_name));
    table_set_decimal(table, KILLS, slot, player.frags);
    table_set_decimal(table, HEALTH, slot, ratio_or_zero(player.health, player.max_health));
    table_set_decimal(table, ARMOR, slot, ratio_or_zero(player.armorvalue, max_armor(player.playerclass)));
    table_set_whole(table, PINGS, slot, ping);
    table_set_whole(table, PACKET_LOSS, slot, packet_loss);
    table_set(table, STEAM_ID, slot, steam_id);
    table_set_whole(table, USER_ID, slot, user_id);
    table_set_whole(table, INDEX_NUM, slot, slot);
    table_set(table, WEAPON, slot, string_text(static_cast<string_t>(player.weaponmodel)));
    table_set_decimal(table, X_COORD, slot, player.origin[0] - x_offset);
    table_set_decimal(table, Y_COORD, slot, player.origin[1] - y_offset);
    table_set_decimal(table, Z_COORD, slot, player.origin[2]);
    table_set_whole(table, DEATHS, slot, player_deaths[slot]);
    table_set(table, IP, slot, strcmp(steam_id, "BOT") == 0 ? "127.0.0.1" : client_addr[slot]);
    table_set_decimal(table, TIMES, slot, gpGlobals->time - client_join_time[slot]);
    table_set_decimal(table, ANGLE, slot, player.v_angle[1]);
    table_set_whole(table, DEAD, slot, player.deadflag);
}

}  // namespace

void build_player_report(char *players_data) {
    WorkingTable &table = report_table;
    table_reset(table, KEY_COUNT, MAX_PLAYERS + 1, kKeys);
    const Game game = current_game();
    for (int slot = 1; slot <= player_slots(); ++slot) {
        edict_t *entity = g_engfuncs.pfnPEntityOfEntIndex(slot);
        if (entity)
            fill_player(game, table, slot, entity);
    }
    write_table(table, "PLAYER", players_data, REPORT_BUFFER_SIZE);
}
