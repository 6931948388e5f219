#include "simhost/engine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "simhost/command_text.h"
#include "simhost/entity_fields.h"
#include "simhost/info_buffer.h"

namespace simhost {

Engine *Engine::active_ = nullptr;

Engine::Engine(const EngineConfig &config)
    : config_(config), functions_(make_engine_table()), world_(strings_, config.max_clients, config.max_entities) {
    active_ = this;
    globals_.pStringBase = strings_.base();
    globals_.maxClients = world_.max_clients();
    globals_.maxEntities = world_.max_entities();
    globals_.deathmatch = 1.0f;
    log_.set_forward([this](const std::string &text) { log_relay_.send(text); });

    const std::string hostport = std::to_string(config_.hostport);
    cvars_.set("hostport", hostport);
    cvars_.set("port", std::to_string(config_.port));
    cvars_.set("ip", config_.ip);
    cvars_.set("net_address", config_.net_address.empty() ? config_.ip + ":" + hostport : config_.net_address);
    cvars_.set("hostname", config_.hostname);
    cvars_.set("sv_password", config_.sv_password);
    cvars_.set("mp_timelimit", config_.mp_timelimit);
    if (config_.sv_stats)
        cvars_.set("sv_stats", "1");
}

Engine::~Engine() {
    if (active_ == this)
        active_ = nullptr;
}

void Engine::set_time(double seconds) {
    time_ = seconds;
    globals_.time = static_cast<float>(seconds);
}

void Engine::set_map(const std::string &name) {
    globals_.mapname = strings_.intern(name);
    world_.start_map(name);
}

void Engine::console_say(const std::string &text) { log_.write("Server say \"" + text + "\"\n"); }

// Ids below this are the engine's own messages.
static const int FIRST_USER_MESSAGE = 64;

int Engine::register_user_message(const std::string &name, int size) {
    const int existing = user_message_id(name, nullptr);
    if (existing)
        return existing;
    user_messages_.push_back({name, size});
    return FIRST_USER_MESSAGE + static_cast<int>(user_messages_.size()) - 1;
}

int Engine::user_message_id(const std::string &name, int *size) const {
    for (size_t i = 0; i < user_messages_.size(); ++i)
        if (user_messages_[i].name == name) {
            if (size)
                *size = user_messages_[i].size;
            return FIRST_USER_MESSAGE + static_cast<int>(i);
        }
    return 0;
}

void Engine::server_command(const char *text) {
    const std::string command_text = text ? text : "";
    server_commands_.push(command_text);
    for (const std::vector<std::string> &command : split_commands(command_text))
        execute(command);
}

// Commands the simulated engine does not know are ignored, as unknown commands are by a server.
void Engine::execute(const std::vector<std::string> &command) { log_relay_.execute(command); }

void Engine::alert(ALERT_TYPE level, const std::string &text) {
    if (level == at_logged)
        log_.write(text);
}

void Engine::game_dir(char *buffer) const {
    // Callers pass path-sized buffers (260 characters).
    std::snprintf(buffer, 256, "%s", config_.game_dir.c_str());
}

unsigned char *Engine::load_file(const char *path, int *length) {
    if (length)
        *length = 0;
    if (config_.files_root.empty() || !path || std::strstr(path, ".."))
        return nullptr;
    const std::string full = config_.files_root + "/" + path;
    FILE *file = std::fopen(full.c_str(), "rb");
    if (!file)
        return nullptr;
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    unsigned char *data = size >= 0 ? static_cast<unsigned char *>(std::malloc(size + 1)) : nullptr;
    if (data && std::fread(data, 1, size, file) != static_cast<size_t>(size)) {
        std::free(data);
        data = nullptr;
    }
    std::fclose(file);
    if (!data)
        return nullptr;
    data[size] = 0;
    ++files_in_use_;
    if (length)
        *length = static_cast<int>(size);
    return data;
}

void Engine::free_file(void *data) {
    if (!data)
        return;
    std::free(data);
    --files_in_use_;
}

void Engine::note_unexpected(const char *name) {
    unexpected_calls_.push_back(name);
    std::fprintf(stderr, "simhost: unexpected engine call %s\n", name);
}

int Engine::index_of_edict(const edict_t *entity) {
    if (!entity)
        return 0;
    const int index = world_.index_of(entity);
    if (index < 0)
        note_unexpected("pfnIndexOfEdict with a pointer that is no edict");
    return index < 0 ? 0 : index;
}

edict_t *Engine::find_entity_by_string(edict_t *start, const char *field, const char *value) {
    if (!is_string_field(field))
        note_unexpected(
            (std::string("pfnFindEntityByString with unknown field ") + (field ? field : "(null)")).c_str());
    return world_.find_by_string(start, field, value);
}

int Engine::player_user_id(const edict_t *player) {
    const PlayerInfo *info = world_.player_info(player);
    return info ? info->user_id : -1;
}

const char *Engine::player_auth_id(const edict_t *player) {
    const PlayerInfo *info = world_.player_info(player);
    return info ? info->auth_id.c_str() : "";
}

void Engine::player_stats(const edict_t *player, int *ping, int *loss) {
    const PlayerInfo *info = world_.player_info(player);
    if (ping)
        *ping = info ? info->ping : 0;
    if (loss)
        *loss = info ? info->loss : 0;
}

char *Engine::info_key_buffer(const edict_t *player) {
    PlayerInfo *info = world_.player_info(player);
    empty_info_buffer_.clear();
    return info ? info->info_buffer.data() : empty_info_buffer_.data();
}

char *Engine::info_key_value(const char *buffer, const char *key) {
    std::string &value = info_values_[next_info_value_];
    next_info_value_ = (next_info_value_ + 1) % INFO_VALUE_SLOTS;
    value = buffer && key ? info_value(buffer, key) : std::string();
    return value.data();
}

}  // namespace simhost
