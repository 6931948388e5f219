// The simulated engine: the services a plug-in relies on, behind a real engine function table.
#pragma once

#include <string>
#include <vector>

#include "sdk/eiface.h"
#include "simhost/command_args.h"
#include "simhost/cvar_registry.h"
#include "simhost/log_relay.h"
#include "simhost/server_log.h"
#include "simhost/string_pool.h"
#include "simhost/world.h"

namespace simhost {

struct EngineConfig {
    std::string game_dir = "valve";
    std::string files_root;   // folder on disk that holds the game directory's files; empty: no files
    std::string game_folder;  // where exec reads configuration files; empty: exec reads nothing
    int hostport = 27015;
    int port = 27015;
    std::string ip = "127.0.0.1";
    std::string net_address;  // empty: ip and hostport joined by ':'
    std::string hostname = "orlex simulated server";
    std::string sv_password;
    std::string mp_timelimit = "20";
    bool sv_stats = true;  // whether the engine knows "sv_stats" (newer engines do)
    int max_clients = 32;  // at most 32
    int max_entities = 600;
};

class Engine {
public:
    explicit Engine(const EngineConfig &config);
    ~Engine();
    Engine(const Engine &) = delete;
    Engine &operator=(const Engine &) = delete;

    // The one engine the table's functions reach (one per process at a time, like a real server).
    static Engine *active() { return active_; }

    // What a plug-in is handed.
    enginefuncs_t *functions() { return &functions_; }
    globalvars_t *globals() { return &globals_; }

    const EngineConfig &config() const { return config_; }
    CvarRegistry &cvars() { return cvars_; }
    ServerLog &log() { return log_; }
    StringPool &strings() { return strings_; }
    World &world() { return world_; }
    // The client command being executed.
    CommandArgs &command() { return command_; }
    LogRelay &log_relay() { return log_relay_; }

    void set_time(double seconds);
    double time() const { return time_; }
    // A new map: its name in the globals, and a world holding nothing but the players.
    void set_map(const std::string &name);
    // What the server console's say writes to the log.
    void console_say(const std::string &text);

    // The game's network messages: registered by name, with their size (-1: variable).
    int register_user_message(const std::string &name, int size);
    // Id of a registered message, 0 if unknown.
    int user_message_id(const std::string &name, int *size) const;

    // The latest console commands handed to the engine, in order.
    std::vector<std::string> server_commands() const { return server_commands_.lines(); }
    // Names of engine functions that were called although no plug-in is expected to call them.
    const std::vector<std::string> &unexpected_calls() const { return unexpected_calls_; }
    // Files loaded through the engine and not yet released.
    int files_in_use() const { return files_in_use_; }

    // The services behind the table.
    void server_command(const char *text);
    void alert(ALERT_TYPE level, const std::string &text);
    void game_dir(char *buffer) const;
    unsigned char *load_file(const char *path, int *length);
    void free_file(void *data);
    void note_unexpected(const char *name);
    int index_of_edict(const edict_t *entity);
    edict_t *find_entity_by_string(edict_t *start, const char *field, const char *value);
    int player_user_id(const edict_t *player);
    const char *player_auth_id(const edict_t *player);
    void player_stats(const edict_t *player, int *ping, int *loss);
    char *info_key_buffer(const edict_t *player);
    char *info_key_value(const char *buffer, const char *key);

private:
    static Engine *active_;

    void execute(const std::vector<std::string> &command);

    EngineConfig config_;
    enginefuncs_t functions_;
    globalvars_t globals_{};
    StringPool strings_;
    World world_;
    CommandArgs command_;
    CvarRegistry cvars_;
    LogRelay log_relay_;
    ServerLog log_;
    std::string empty_info_buffer_;  // what non-players have
    static constexpr int INFO_VALUE_SLOTS = 4;
    std::string info_values_[INFO_VALUE_SLOTS];  // InfoKeyValue's answers, each valid for a few calls
    int next_info_value_ = 0;
    double time_ = 0.0;
    struct UserMessage {
        std::string name;
        int size;
    };
    std::vector<UserMessage> user_messages_;  // id = FIRST_USER_MESSAGE + position
    RecentLines server_commands_{256};
    std::vector<std::string> unexpected_calls_;
    int files_in_use_ = 0;
};

// Builds the function table whose entries reach Engine::active().
enginefuncs_t make_engine_table();

}  // namespace simhost
