#include "events/message_hooks.h"

#include <cstdio>
#include <cstring>

#include "host/engine.h"
#include "state/players.h"
#include "state/teams.h"

float scorebot_time;

static void (*botMsgFunction)(const MessageField &);  // receives each field of the watched message
static int death_field;                               // place of the next "DeathMsg" field, from 0
static int team_score_msg;                            // a "TeamScore" to all clients is being written
static int score_stored;                              // its first short, the score, has been read
static int cur_team = -1;                             // the team slot that score refers to

namespace {

const float ANNOUNCE_INTERVAL = 60.0f;

bool watching() { return gpGlobals && gpGlobals->deathmatch != 0.0f; }

// Whether a message type is the game's message of that name (0: the game has none).
bool is_message(int msg_type, const char *name) {
    const int id = gpMetaUtilFuncs && gpMetaUtilFuncs->pfnGetUserMsgID
                       ? gpMetaUtilFuncs->pfnGetUserMsgID(&Plugin_info, name, nullptr)
                       : 0;
    return id != 0 && id == msg_type;
}

// The game directory as the engine reports it now.
bool game_is(const char *name) {
    char directory[260] = "";
    g_engfuncs.pfnGetGameDir(directory);
    directory[sizeof(directory) - 1] = '\0';
    return strcmp(directory, name) == 0;
}

void handle_field(const MessageField &field) {
    if (botMsgFunction)
        botMsgFunction(field);
}

MessageField integer_field(int value) { return {MessageField::INTEGER, value, 0.0f, nullptr}; }
MessageField real_field(float value) { return {MessageField::REAL, 0, value, nullptr}; }

// A team's slot by its name, taking the first free slot for a new name; -1 when all four slots
// hold other names.
int team_slot(const char *name) {
    for (int slot = 0; slot < TEAM_SLOTS; ++slot) {
        if (det_team_names[slot][0] == '\0') {
            snprintf(det_team_names[slot], TEAM_NAME_SIZE, "%s", name);
            return slot;
        }
        if (strncmp(det_team_names[slot], name, TEAM_NAME_SIZE - 1) == 0)
            return slot;
    }
    return -1;
}

// A team name inside a console command: nothing in it may end the command or start another.
void append_command_text(char *line, size_t size, const char *text) {
    size_t length = strlen(line);
    for (; *text && length + 1 < size; ++text, ++length)
        line[length] = (*text == ';' || *text == '"' || *text == '\n' || *text == '\r') ? ' ' : *text;
    line[length] = '\0';
}

// "say Score: " and "<name> <score> " per named team, then "\n"; teams that would pass the
// 255-character line are left out.
void announce_scores() {
    char line[256] = "say Score: ";
    for (int slot = 0; slot < TEAM_SLOTS; ++slot) {
        if (det_team_names[slot][0] == '\0')
            continue;
        char score_temp[256] = "";
        append_command_text(score_temp, sizeof(score_temp) - 16, det_team_names[slot]);
        snprintf(score_temp + strlen(score_temp), 16, " %i ", team_scores[slot]);
        if (strlen(line) + strlen(score_temp) + 1 >= sizeof(line))
            break;
        strcat(line, score_temp);
    }
    strcat(line, "\n");
    g_engfuncs.pfnServerCommand(line);
    scorebot_time = gpGlobals->time + ANNOUNCE_INTERVAL;
    fputs(line, stdout);
}

}  // namespace

// Killer, victim, then what the game adds (headshot, weapon, and in newer games flags, position,
// assistant...): only the first two matter, and the count waits for the third field as it always
// has. Every message is read from its own first field, so a longer message cannot shift the next.
void BotClient_Valve_DeathMsg(const MessageField &field) {
    static int victim_index;
    switch (death_field) {
        case 1:
            victim_index = field.kind == MessageField::INTEGER ? field.integer : 0;
            break;
        case 2:
            if (victim_index >= 1 && victim_index <= MAX_PLAYERS)  // any other index is nobody's
                ++player_deaths[victim_index];
            break;
        default:
            break;
    }
    if (death_field < 3)
        ++death_field;
}

void pfnMessageBegin(int msg_dest, int msg_type, const float * /*pOrigin*/, edict_t * /*ed*/) {
    if (watching() && msg_dest == MSG_ALL) {
        if (is_message(msg_type, "DeathMsg")) {
            botMsgFunction = BotClient_Valve_DeathMsg;
            death_field = 0;
        }
        if (is_message(msg_type, "TeamScore")) {
            team_score_msg = 1;
            score_stored = 0;
        }
    }
    set_result_ignored();
}

void pfnMessageEnd() {
    if (watching()) {
        botMsgFunction = nullptr;
        team_score_msg = 0;
        cur_team = -1;
    }
    set_result_ignored();
}

void pfnWriteByte(int iValue) {
    if (watching()) {
        handle_field(integer_field(iValue));
        if (team_score_msg && game_is("dod")) {
            if (iValue == 1 || iValue == 2) {
                cur_team = iValue - 1;
                snprintf(det_team_names[cur_team], TEAM_NAME_SIZE, "%s", iValue == 1 ? "Allied" : "Axis");
            }
        }
    }
    set_result_ignored();
}

void pfnWriteShort(int iValue) {
    if (watching()) {
        handle_field(integer_field(iValue));
        // The first short is the score, 0 included (restarts send 0); any later one is not.
        if (team_score_msg && !score_stored) {
            score_stored = 1;
            if (cur_team >= 0) {
                team_scores[cur_team] = iValue;
                if (iValue != 0 && scorebot_time < gpGlobals->time)
                    announce_scores();
            }
        }
    }
    set_result_ignored();
}

void pfnWriteString(const char *sz) {
    if (watching()) {
        handle_field({MessageField::TEXT, 0, 0.0f, sz});
        if (team_score_msg == 1 && sz && (game_is("tfc") || game_is("cstrike"))) {
            const int slot = team_slot(sz);
            if (slot >= 0)
                cur_team = slot;
        }
    }
    set_result_ignored();
}

static void write_field(const MessageField &field) {
    if (watching())
        handle_field(field);
    set_result_ignored();
}

void pfnWriteChar(int iValue) { write_field(integer_field(iValue)); }
void pfnWriteLong(int iValue) { write_field(integer_field(iValue)); }
void pfnWriteAngle(float flValue) { write_field(real_field(flValue)); }
void pfnWriteCoord(float flValue) { write_field(real_field(flValue)); }
void pfnWriteEntity(int iValue) { write_field(integer_field(iValue)); }
