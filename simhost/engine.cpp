#include "simhost/engine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace simhost {

Engine *Engine::active_ = nullptr;

Engine::Engine(const EngineConfig &config) : config_(config), functions_(make_engine_table()) {
    active_ = this;
    globals_.pStringBase = strings_.base();
    globals_.maxClients = config_.max_clients;
    globals_.deathmatch = 1.0f;

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

void Engine::set_map(const std::string &name) { globals_.mapname = strings_.alloc(name.c_str()); }

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

void Engine::server_command(const char *text) { server_commands_.push_back(text ? text : ""); }

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

}  // namespace simhost
