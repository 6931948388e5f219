#include "web/gateway.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstdio>

#include "recording/format.h"
#include "web/state_json.h"
#include "web/viewer.h"

namespace web {
namespace {

const std::chrono::seconds kConfigCheck{1};

}  // namespace

Gateway::Gateway(boost::asio::io_context &io, const Options &options)
    : io_(io), options_(options), list_timer_(io), config_timer_(io), sync_timer_(io) {}

bool Gateway::start(std::string *error) {
    if (!options_.record_dir.empty()) {
        recorder_ = std::make_unique<Recorder>(options_.record_dir, options_.record_max_mb * 1024 * 1024);
        if (!recorder_->prepare(error))
            return false;
        sync_recordings_later();
    }
    for (const ServerAddress &server : options_.servers)
        watch(server);
    if (!options_.config_path.empty())
        reload_config();
    // Last, so that a replay's name steps aside for a watched server's.
    for (const std::string &path : options_.replay_files)
        if (!add_replay(path, error))
            return false;
    return true;
}

// What was recorded reaches the disk within a second.
void Gateway::sync_recordings_later() {
    sync_timer_.expires_after(Recorder::kSyncInterval);
    sync_timer_.async_wait([this](boost::system::error_code error) {
        if (error || !recorder_)
            return;
        recorder_->sync_all(std::chrono::steady_clock::now());
        sync_recordings_later();
    });
}

void Gateway::stop() {
    for (auto &entry : watched_)
        entry.second.source->stop();
    watched_.clear();
    viewers_.clear();
    for (Closable *connection : std::vector<Closable *>(connections_.begin(), connections_.end()))
        connection->close_now();
    list_timer_.cancel();
    config_timer_.cancel();
    sync_timer_.cancel();
    recorder_.reset();  // closes and syncs every file
}

std::vector<const ServerState *> Gateway::servers() const {
    std::vector<const ServerState *> list;
    for (const std::string &name : order_)
        list.push_back(&watched_.at(name).source->state());
    return list;
}

const ServerState *Gateway::find(const std::string &name) const {
    const auto found = watched_.find(name);
    return found == watched_.end() ? nullptr : &found->second.source->state();
}

std::shared_ptr<const std::string> Gateway::servers_message() {
    if (!list_message_)
        list_message_ = std::make_shared<const std::string>(web::servers_message(servers()));
    return list_message_;
}

std::shared_ptr<const std::string> Gateway::state_message(const std::string &name) {
    const auto found = watched_.find(name);
    if (found == watched_.end())
        return nullptr;
    Watched &server = found->second;
    if (!server.message)
        server.message = std::make_shared<const std::string>(web::state_message(server.source->state()));
    return server.message;
}

void Gateway::watch(const ServerAddress &address) {
    const std::string name = address.name;
    serve(name,
          std::make_shared<Upstream>(io_, address, options_.chat_lines,
                                     [this, name] { changed(name); }, recorder_.get()),
          nullptr);
}

void Gateway::serve(const std::string &name, std::shared_ptr<Source> source, std::shared_ptr<Replay> replay) {
    watched_[name] = {source, replay, nullptr};
    order_.push_back(name);
    source->start();
    push_list_later();
}

// Served under the file's name (without its suffix), which the gateway's file names keep URL-safe;
// other characters become '_'.
bool Gateway::add_replay(const std::string &path, std::string *error) {
    recording::Recording recorded;
    if (!recording::read_recording(path, &recorded, error))
        return false;
    if (!recorded.torn_note().empty())
        std::fprintf(stderr, "orlex_web: %s\n", recorded.torn_note().c_str());
    std::string name = path.substr(path.find_last_of('/') + 1);
    if (recording::has_file_suffix(name))
        name.resize(name.size() - (sizeof(recording::kFileSuffix) - 1));
    for (char &c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-')
            c = '_';
    name = name.substr(0, 64);
    for (int copy = 2; watched_.count(name) || name.empty(); ++copy)
        name = name.substr(0, 58) + "-" + std::to_string(copy);
    ServerAddress address{name, recorded.header.address.empty() ? "recording" : recorded.header.address, 0};
    const size_t colon = address.host.rfind(':');
    if (colon != std::string::npos) {
        address.port = std::atoi(address.host.c_str() + colon + 1);
        address.host.resize(colon);
    }
    auto replay = std::make_shared<Replay>(io_, address, options_.chat_lines, std::move(recorded), options_.replay_speed,
                                           [this, name] { changed(name); });
    std::fprintf(stderr, "orlex_web: replaying %s as %s\n", path.c_str(), name.c_str());
    serve(name, replay, replay);
    return true;
}

void Gateway::control_replay(const std::string &name, const ReplayControl &control) {
    const auto found = watched_.find(name);
    if (found == watched_.end() || !found->second.replay)
        return;
    Replay &replay = *found->second.replay;
    if (control.speed >= Replay::kSlowest && control.speed <= Replay::kFastest)
        replay.set_speed(control.speed);
    if (control.seek_ms >= 0 && control.seek_ms <= 4294967295.0)
        replay.seek(static_cast<uint32_t>(control.seek_ms));
    if (control.play >= 0)
        replay.play(control.play == 1);
}

void Gateway::unwatch(const std::string &name) {
    const auto found = watched_.find(name);
    if (found == watched_.end())
        return;
    found->second.source->stop();
    watched_.erase(found);
    if (recorder_)
        recorder_->forget(name);
    order_.erase(std::remove(order_.begin(), order_.end(), name), order_.end());
    push_list_later();
}

// A state is pushed as soon as its records are folded: one rendering for every viewer of it.
void Gateway::changed(const std::string &name) {
    Watched &server = watched_.at(name);
    server.message = nullptr;
    std::shared_ptr<const std::string> message;
    for (Viewer *viewer : viewers_) {
        if (viewer->watching() != name)
            continue;
        if (!message)
            message = state_message(name);
        viewer->push_state(message);
    }
    push_list_later();
}

// The list (players, time left, links) changes with nearly every record: pushed once a second.
void Gateway::push_list_later() {
    list_message_ = nullptr;
    if (list_push_due_)
        return;
    list_push_due_ = true;
    list_timer_.expires_after(kListInterval);
    list_timer_.async_wait([this](boost::system::error_code error) {
        if (error)
            return;
        list_push_due_ = false;
        if (viewers_.empty())
            return;
        const std::shared_ptr<const std::string> message = servers_message();
        for (Viewer *viewer : viewers_)
            viewer->push_list(message);
    });
}

void Gateway::reload_config() {
    std::string text;
    const bool readable = read_text_file(options_.config_path, &text);
    if (!readable && config_readable_)
        std::fprintf(stderr, "orlex_web: cannot read %s; watching the servers already known\n",
                     options_.config_path.c_str());
    if (readable && (text != config_text_ || !config_readable_)) {
        config_text_ = text;
        std::vector<ServerAddress> wanted;
        std::string error;
        if (parse_config(text, &wanted, &error))
            apply_config(wanted);
        else
            std::fprintf(stderr, "orlex_web: %s: %s; watching the servers already known\n",
                         options_.config_path.c_str(), error.c_str());
    }
    config_readable_ = readable;
    config_timer_.expires_after(kConfigCheck);
    config_timer_.async_wait([this](boost::system::error_code error) {
        if (!error)
            reload_config();
    });
}

// Servers gone from the file are dropped, new ones watched, moved ones watched at their new address;
// those given on the command line stay as they are.
void Gateway::apply_config(const std::vector<ServerAddress> &wanted) {
    auto wanted_entry = [&](const std::string &name) {
        return std::find_if(wanted.begin(), wanted.end(), [&](const ServerAddress &s) { return s.name == name; });
    };
    for (const std::string &name : std::vector<std::string>(config_names_)) {
        const auto entry = wanted_entry(name);
        if (entry == wanted.end() || !(watched_.count(name) && watched_.at(name).source->state().address() == *entry))
            unwatch(name);
    }
    config_names_.clear();
    for (const ServerAddress &server : wanted) {
        const bool from_command_line = std::any_of(options_.servers.begin(), options_.servers.end(),
                                                   [&](const ServerAddress &s) { return s.name == server.name; }) ||
                                       (watched_.count(server.name) && watched_.at(server.name).replay);
        if (from_command_line) {
            std::fprintf(stderr,
                         "orlex_web: %s: server %s is given on the command line (or replayed) already; skipped\n",
                         options_.config_path.c_str(), server.name.c_str());
            continue;
        }
        config_names_.push_back(server.name);
        if (!watched_.count(server.name))
            watch(server);
    }
}

}  // namespace web
