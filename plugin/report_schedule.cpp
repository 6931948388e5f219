#include "plugin/report_schedule.h"

#include <cstring>

#include "reports/objective_reports.h"
#include "reports/player_report.h"
#include "reports/server_report.h"
#include "state/game.h"
#include "state/players.h"

char tcp_buffer[REPORT_BUFFERS][REPORT_BUFFER_SIZE];

void Get_Players_Data(char *players_data) {
    record_unseen_players();
    build_player_report(players_data);
}

namespace {

struct ScheduledReport {
    const char *game;  // "" for every game
    int buffer;
    void (*build)(char *buffer);
    ReportTimer timer;
    const char *request;
};

// In build order within each timer; the server report comes last of its timer.
const ScheduledReport kReports[] = {
    {"", 5, Get_Players_Data, REFRESH_TIMER, "GET_PLAYER"},
    {"tfc", 1, Get_Flag_Data, REFRESH_TIMER, "GET_FLAG"},
    {"dod", 1, Get_DODCAP_Data, REFRESH_TIMER, "GET_FLAG"},
    {"cstrike", 1, Get_CSBOMB_Data, REFRESH_TIMER, "GET_BOMB"},
    {"cstrike", 2, Get_Hostage_Data, REFRESH_TIMER, "GET_HOSTAGE"},
    {"tfc", 3, Get_Teleporter_Data, SERVER_TIMER, "GET_TELEPORTER"},
    {"tfc", 4, Get_Dispenser_Data, SERVER_TIMER, "GET_DISPENSER"},
    {"tfc", 2, Get_SG_Data, SERVER_TIMER, "GET_SENTRY"},
    {"nsp", 1, Get_NSPHIVE_Data, SERVER_TIMER, "GET_HIVE"},
    {"nsp", 3, Get_NSPRESOURCE_Data, SERVER_TIMER, "GET_RESOURCE"},
    {"nsp", 2, Get_NSPCOMMAND_Data, SERVER_TIMER, "GET_COMMAND"},
    {"", 0, Get_Server_Data, SERVER_TIMER, "GET_SERVER"},
};

bool for_current_game(const ScheduledReport &report) {
    return report.game[0] == '\0' || strcmp(report.game, game_dir) == 0;
}

}  // namespace

void build_reports(ReportTimer timer) {
    for (const ScheduledReport &report : kReports)
        if (report.timer == timer && for_current_game(report))
            report.build(tcp_buffer[report.buffer]);
}

bool game_sends_buffer(int buffer) {
    for (const ScheduledReport &report : kReports)
        if (report.buffer == buffer && for_current_game(report))
            return true;
    return false;
}

int requested_buffer(const char *command) {
    for (const ScheduledReport &report : kReports)
        if (strcmp(report.request, command) == 0 && for_current_game(report))
            return report.buffer;
    return -1;
}
