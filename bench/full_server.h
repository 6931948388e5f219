// A server at full load for measurements: 32 players with long names and addresses, every
// objective table full, and admin clients that read everything on loopback in a thread of their own.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "simhost/game_server.h"
#include "support/sockets.h"

namespace bench {

// 32 players, each with a 31-character name and a long address, placed everywhere on the map.
void fill_players(simhost::GameServer &server);
void fill_players(simhost::Engine &engine, void (*announce)(edict_t *, const simhost::PlayerSpec &));
// More entities of every objective class than any table holds.
void fill_objectives(simhost::Engine &engine);

// Admin clients that drain their sockets until stopped.
class ReadingClients {
public:
    ReadingClients(int port, int count);
    ~ReadingClients();
    size_t bytes() const { return bytes_; }

private:
    std::vector<std::unique_ptr<testing_support::TcpClient>> clients_;
    std::atomic<bool> stop_{false};
    std::atomic<size_t> bytes_{0};
    std::thread reader_;
};

// The built plug-in in a simulated server listening on its own port, with clients connected.
struct LoadedServer {
    explicit LoadedServer(const std::string &game, int clients = 10);
    ~LoadedServer();
    std::unique_ptr<simhost::GameServer> server;
    std::unique_ptr<ReadingClients> readers;
    int port = 0;
};

}  // namespace bench
