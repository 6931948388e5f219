#include "reports/server_report.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "host/cvars.h"
#include "host/engine.h"
#include "state/game.h"
#include "state/map_world.h"
#include "state/teams.h"
#include "text/number_text_reader.h"
#include "text/record.h"

enum { TEAM_LINE_SIZE = 512 };

// "KEY" then "\tvalue" per named team, then a line feed; teams that would pass the line's buffer
// are left out of both lines alike.
static void build_team_lines(char (&names)[TEAM_LINE_SIZE], char (&scores)[TEAM_LINE_SIZE]) {
    size_t names_length = snprintf(names, sizeof(names), "TEAM_NAMES");
    size_t scores_length = snprintf(scores, sizeof(scores), "TEAM_SCORES");
    for (int team = 0; team < TEAM_SLOTS; ++team) {
        if (det_team_names[team][0] == '\0')
            continue;
        char name[TEAM_NAME_SIZE];
        copy_game_text(name, sizeof(name), det_team_names[team]);
        char score[16];
        snprintf(score, sizeof(score), "%i", team_scores[team]);
        const size_t name_room = 1 + strlen(name), score_room = 1 + strlen(score);
        if (names_length + name_room + 1 >= sizeof(names) || scores_length + score_room + 1 >= sizeof(scores))
            break;
        names_length += snprintf(names + names_length, sizeof(names) - names_length, "\t%s", name);
        scores_length += snprintf(scores + scores_length, sizeof(scores) - scores_length, "\t%s", score);
    }
    snprintf(names + names_length, sizeof(names) - names_length, "\n");
    snprintf(scores + scores_length, sizeof(scores) - scores_length, "\n");
}

void Get_Server_Data(char *server_data) {
    char temp_server[2][TEAM_LINE_SIZE];
    build_team_lines(temp_server[0], temp_server[1]);

    // The limit's whole minutes (2.5 counts as 2), in seconds, less the clock: worked in floats as
    // the clock is, so that a huge limit loses precision instead of overflowing.
    const long long minutes = read_whole(engine_cvar_text("mp_timelimit"));
    const float timeleft = static_cast<float>(minutes) * 60.0f - server_time();

    RecordWriter record;
    record_start(record, server_data, REPORT_BUFFER_SIZE, "SERVER");
    record_value(record, "GAME_DIR", game_dir);
    record_whole(record, "MAX_PLAYERS", gpGlobals ? gpGlobals->maxClients : 0);
    record_whole(record, "UPTIME", static_cast<int>(std::time(nullptr) - server_start_time));
    record_value(record, "SV_PASSWORD", cvar_whole(orlex_mm_hide_password) != 0 ? "" : engine_cvar_text("sv_password"));
    record_decimal(record, "WORLDSIZE_X", worldsize_x);
    record_decimal(record, "WORLDSIZE_Y", worldsize_y);
    record_value(record, "MAP_NAME", gpGlobals ? string_text(gpGlobals->mapname) : "");
    record_value(record, "HOST_NAME", engine_cvar_text("hostname"));
    record_value(record, "NET_ADDR", engine_cvar_text("net_address"));
    record_value(record, "ADDR_IP", engine_cvar_text("ip"));
    record_value(record, "ADDR_PORT", engine_cvar_text("hostport"));
    record_decimal(record, "TIMELEFT", timeleft);
    record_line(record, temp_server[0]);
    record_line(record, temp_server[1]);
    record_finish(record);
}
