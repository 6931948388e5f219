#include "stream/view_state.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "stream/numbers.h"
#include "stream/record_limits.h"

namespace view {
namespace {

// The engine's most player slots: a slot beyond it is no slot.
constexpr int kMaxSlot = 64;

// A table line's fields, looked up once per record rather than once per cell.
class Column {
public:
    Column(const records::Record &record, const char *key) : fields_(record.fields(key)) {}
    // The entity's field; "" when the line is missing or short.
    const std::string &text(size_t entity) const {
        static const std::string none;
        return fields_ && entity < fields_->size() ? (*fields_)[entity] : none;
    }
    double number(size_t entity) const { return number_or(text(entity), 0); }
    int whole(size_t entity, int fallback) const {
        const double number = number_or(text(entity), fallback);
        return number >= -1e9 && number <= 1e9 ? static_cast<int>(number) : fallback;
    }

private:
    const std::vector<std::string> *fields_;
};

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
    const int port = std::atoi(record.value("ADDR_PORT").c_str());
    server.game_port = port > 0 && port <= 65535 ? port : 0;
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

struct PlayerColumns {
    explicit PlayerColumns(const records::Record &record)
        : user_id(record, "USER_ID"),
          names(record, "NAMES"),
          team(record, "TEAM"),
          kills(record, "KILLS"),
          deaths(record, "DEATHS"),
          health(record, "HEALTH"),
          armor(record, "ARMOR"),
          pings(record, "PINGS"),
          loss(record, "PACKET_LOSS"),
          times(record, "TIMES"),
          x(record, "X_COORD"),
          y(record, "Y_COORD"),
          z(record, "Z_COORD"),
          dead(record, "DEAD"),
          slot(record, "INDEX_NUM"),
          auth_id(record, "STEAM_ID"),
          address(record, "IP") {}
    Column user_id, names, team, kills, deaths, health, armor, pings, loss, times, x, y, z, dead, slot, auth_id,
        address;
};

Player player(const PlayerColumns &columns, size_t entity) {
    Player found;
    const double id = columns.user_id.number(entity);
    found.user_id = id >= 0 && id <= 2e9 ? static_cast<int>(id) : 0;
    found.slot = columns.slot.whole(entity, 0);
    if (found.slot < 0 || found.slot > kMaxSlot)
        found.slot = 0;
    found.name = columns.names.text(entity);
    found.team = columns.team.whole(entity, -1);
    found.frags = columns.kills.number(entity);
    found.deaths = columns.deaths.whole(entity, 0);
    found.health = columns.health.number(entity);
    found.armor = columns.armor.number(entity);
    found.ping = columns.pings.whole(entity, 0);
    found.loss = columns.loss.whole(entity, 0);
    found.connected = columns.times.number(entity);
    found.x = columns.x.number(entity);
    found.y = columns.y.number(entity);
    found.z = columns.z.number(entity);
    found.dead = columns.dead.whole(entity, 0) != 0;
    found.auth_id = columns.auth_id.text(entity);
    found.address = columns.address.text(entity);
    return found;
}

void fold_players(State &state, const records::Record &record) {
    const PlayerColumns columns(record);
    state.players.clear();
    for (size_t entity = 0; entity < record.entities(); ++entity)
        state.players.push_back(player(columns, entity));
    state.have_players = true;
}

void fold_chat(State &state, const records::Record &record) {
    state.chat.push_back({record.type, record.value("CHAT"), state.now_ms});
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

bool fold(State &state, const records::Record &record) {
    if (records::excess(record) != records::Excess::none)
        return false;
    if (record.type == "SERVER")
        fold_server(state, record);
    else if (record.type == "PLAYER")
        fold_players(state, record);
    else if (record.type == "SAY" || record.type == "SAY_TEAM" || record.type == "SERVER_SAY")
        fold_chat(state, record);
    else if (is_objective(record.type))
        state.objectives[record.type] = record;
    return true;
}

std::vector<std::string> Feed::add(const char *data, size_t size, const Each &each) {
    stream_.feed(data, size);
    state_.now_ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    std::vector<std::string> kinds;
    records::Record record;
    while (stream_.next_any(&record)) {
        if (records::excess(record) != records::Excess::none) {
            ++over_limits_;
            continue;
        }
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
