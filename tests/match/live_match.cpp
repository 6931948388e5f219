#include "match/live_match.h"

#include <string>

#include "simhost/map_catalog.h"

namespace match_testing {
namespace {

const int FRAMES_BETWEEN_READS = 50;

}  // namespace

LiveMatch::LiveMatch(const std::string &game, double map_seconds) {
    port_ = testing_support::free_port();
    simhost::ServerOptions options;
    options.engine.game_dir = game;
    options.engine.files_root = files_.path();
    options.map = simhost::map_rotation(game).front().name;
    options.settings.push_back({"orlex_mm_port", std::to_string(port_)});
    simhost::write_map_files(files_.path(), game, "");
    server_ = std::make_unique<simhost::GameServer>(options);
    simhost::MatchOptions match;
    match.map_seconds = map_seconds;
    match_ = std::make_unique<simhost::Match>(*server_, match);
}

LiveMatch::~LiveMatch() {
    client_.reset();
    match_.reset();
    server_.reset();
}

bool LiveMatch::start(std::string *error) {
    if (!server_->start(ORLEX_PLUGIN_PATH, error))
        return false;
    match_->begin();
    play(5.5);  // the listener opens five seconds after the plug-in attaches
    client_ = std::make_unique<testing_support::TcpClient>(port_);
    if (!client_->connected())
        *error = "no listener on port " + std::to_string(port_);
    return client_->connected();
}

void LiveMatch::play(double seconds) {
    const int frames = static_cast<int>(seconds / server_->frame_time() + 0.5);
    for (int frame = 1; frame <= frames; ++frame) {
        server_->run_frame();
        match_->frame();
        // Read as the match goes: a client that stops reading is dropped by the plug-in.
        if (client_ && frame % FRAMES_BETWEEN_READS == 0)
            take(client_->receive_now());
    }
}

void LiveMatch::settle() {
    const int QUIET = 60;
    for (std::string more = client_->receive(1, 200); !more.empty(); more = client_->receive(1, QUIET))
        take(more + client_->receive_now());
}

void LiveMatch::take(const std::string &bytes) {
    stream_.feed(bytes);
    for (records::Record record; stream_.next(&record);)
        received_.push_back(record);
}

std::vector<records::Record> LiveMatch::of_type(const std::string &type) const {
    std::vector<records::Record> found;
    for (const records::Record &record : received_)
        if (record.type == type)
            found.push_back(record);
    return found;
}

}  // namespace match_testing
