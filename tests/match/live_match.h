// A simulated match on a server with the built plug-in, played on the test's clock as fast as the
// machine goes, and one admin client on a real loopback socket collecting every record it sends.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "simhost/game_server.h"
#include "simhost/match.h"
#include "simhost/temp_folder.h"
#include "stream/records.h"
#include "support/sockets.h"

namespace match_testing {

class LiveMatch {
public:
    LiveMatch(const std::string &game, double map_seconds);
    ~LiveMatch();

    // Starts the server with the plug-in, lets the bots join, and connects the client once the
    // listener has opened; false (with a reason) when any of that fails.
    bool start(std::string *error);
    // Frames for this much server time, reading whatever arrives as it goes.
    void play(double seconds);
    // Reads until the stream has been quiet for a moment (the plug-in's last sends may be held back
    // a few tens of milliseconds by the sender's coalescing).
    void settle();

    simhost::GameServer &server() { return *server_; }
    simhost::Match &match() { return *match_; }
    const std::vector<records::Record> &received() const { return received_; }
    std::vector<records::Record> of_type(const std::string &type) const;
    size_t malformed() const { return stream_.malformed(); }

private:
    void take(const std::string &bytes);

    simhost::TempFolder files_{"orlex_match_"};
    int port_ = 0;
    std::unique_ptr<simhost::GameServer> server_;
    std::unique_ptr<simhost::Match> match_;
    std::unique_ptr<testing_support::TcpClient> client_;
    records::RecordStream stream_;
    std::vector<records::Record> received_;
};

}  // namespace match_testing
