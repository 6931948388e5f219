#include "stream/view_state.h"

#include <algorithm>

#include "stream/numbers.h"

namespace view {
namespace {

// The entity's field of a table line; "" when the line is missing or short.
std::string cell(const records::Record &record, const char *key, size_t entity) {
    const std::vector<std::string> *fields = record.fields(key);
    return fields && entity < fields->size() ? (*fields)[entity] : std::string();
}

double number_cell(const records::Record &record, const char *key, size_t entity) {
    return number_or(cell(record, key, entity), 0);
}

int whole_cell(const records::Record &record, const char *key, size_t entity, int fallback) {
    const double number = number_or(cell(record, key, entity), fallback);
    return number >= -1e9 && number <= 1e9 ? static_cast<int>(number) : fallback;
}

std::vector<Team> teams(const records::Record &record) {
    const std::vector<std::string> *names = record.fields("TEAM_NAMES");
    const std::vector<std::string> *scores = record.fields("TEAM_SCORES");
    std::vector<Team> found;
    for (size_t team = 0; names && team < names->size(); ++team)
        found.push_back({(*names)[team], scores && team < scores->size() ? (*scores)[team] : ""});
    return found;
}

void fold_server(State &state, const records::Record &record) {
    ServerInfo server;
    server.game_dir = record.value("GAME_DIR");
    server.map = record.value("MAP_NAME");
    server.host_name = record.value("HOST_NAME");
    server.max_players = record.value("MAX_PLAYERS");
    server.uptime = number_or(record.value("UPTIME"), 0);
    server.time_left = number_or(record.value("TIMELEFT"), -1);
    server.world_x = number_or(record.value("WORLDSIZE_X"), 0);
    server.world_y = number_or(record.value("WORLDSIZE_Y"), 0);
    server.teams = teams(record);
    // Objectives belong to one map: a new map's come after its SERVER record.
    if (state.have_server && (server.map != state.server.map || server.game_dir != state.server.game_dir))
        state.objectives.clear();
    state.server = server;
    state.have_server = true;
}

Player player(const records::Record &record, size_t entity) {
    Player found;
    const double id = number_or(cell(record, "USER_ID", entity), 0);
    found.user_id = id >= 0 && id <= 2e9 ? static_cast<int>(id) : 0;
    found.name = cell(record, "NAMES", entity);
    found.team = whole_cell(record, "TEAM", entity, -1);
    found.frags = number_cell(record, "KILLS", entity);
    found.deaths = whole_cell(record, "DEATHS", entity, 0);
    found.health = number_cell(record, "HEALTH", entity);
    found.armor = number_cell(record, "ARMOR", entity);
    found.ping = whole_cell(record, "PINGS", entity, 0);
    found.loss = whole_cell(record, "PACKET_LOSS", entity, 0);
    found.connected = number_cell(record, "TIMES", entity);
    found.x = number_cell(record, "X_COORD", entity);
    found.y = number_cell(record, "Y_COORD", entity);
    found.z = number_cell(record, "Z_COORD", entity);
    found.dead = whole_cell(record, "DEAD", entity, 0) != 0;
    return found;
}

void fold_players(State &state, const records::Record &record) {
    state.players.clear();
    for (size_t entity = 0; entity < record.entities(); ++entity)
        state.players.push_back(player(record, entity));
    state.have_players = true;
}

void fold_chat(State &state, const records::Record &record) {
    state.chat.push_back({record.type, record.value("CHAT")});
    while (state.chat.size() > state.chat_limit)
        state.chat.pop_front();
}

bool is_objective(const std::string &kind) {
    const std::vector<std::string> &kinds = objective_kinds();
    return std::find(kinds.begin(), kinds.end(), kind) != kinds.end();
}

}  // namespace

const std::vector<std::string> &objective_kinds() {
    static const std::vector<std::string> kinds = {"FLAG",      "HOSTAGE", "BOMB",     "SENTRY", "TELEPORTER",
                                                   "DISPENSER", "HIVE",    "RESOURCE", "COMMAND"};
    return kinds;
}

void fold(State &state, const records::Record &record) {
    if (record.type == "SERVER")
        fold_server(state, record);
    else if (record.type == "PLAYER")
        fold_players(state, record);
    else if (record.type == "SAY" || record.type == "SAY_TEAM" || record.type == "SERVER_SAY")
        fold_chat(state, record);
    else if (is_objective(record.type))
        state.objectives[record.type] = record;
}

std::vector<std::string> Feed::add(const char *data, size_t size, const Each &each) {
    stream_.feed(data, size);
    std::vector<std::string> kinds;
    records::Record record;
    while (stream_.next_any(&record)) {
        if (each)
            each(record);
        if (record.type.empty())
            continue;
        fold(state_, record);
        kinds.push_back(record.type);
    }
    return kinds;
}

}  // namespace view
