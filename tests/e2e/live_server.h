// A simulated server with the built plug-in, listening on a port of the test's own, and admin
// clients on real loopback sockets. The server's clock is driven by the test.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "e2e/harness.h"
#include "stream/records.h"
#include "support/sockets.h"

namespace e2e {

// A client of the plug-in that collects the records it receives.
class AdminClient {
public:
    explicit AdminClient(int port, const char *source_address = nullptr) : socket_(port, 0, source_address) {}
    bool connected() const { return socket_.connected(); }
    bool send(const std::string &line) { return socket_.send(line); }
    size_t send_some(const std::string &bytes) { return socket_.send_some(bytes); }
    // Records that have arrived by now: after a wait for the first bytes, until the stream has
    // gone quiet; with 0, only what is there already.
    std::vector<records::Record> receive(int milliseconds = 100);
    std::string receive_text(int milliseconds = 100);
    size_t malformed() const { return stream_.malformed(); }
    void close() { socket_.close(); }
    bool closed_by_peer() { return socket_.closed_by_peer(); }

private:
    testing_support::TcpClient socket_;
    records::RecordStream stream_;
};

class LiveServerTest : public ::testing::Test {
protected:
    LiveServerTest();
    ~LiveServerTest() override;

    // Starts the server (plug-in attached at 0.0, map started) without running frames.
    void start();
    // start(), then frames until the listener has opened (5 seconds of server time).
    void start_listening();
    // Runs frames for that much server time.
    void run(double seconds) { server->run_for(seconds); }
    // One frame, timed in this thread's processor time (what the plug-in's work costs, not how long
    // a busy machine keeps it waiting): the longest frame seen is kept in longest_frame_cpu_seconds.
    void timed_frame();
    // A client connected and accepted into its slot (frames run until the plug-in logs it), from
    // 127.0.0.1 or the source address given.
    std::unique_ptr<AdminClient> connect_client(const char *source_address = nullptr);
    // The SERVER record that a GET_SERVER request returns now.
    records::Record request_server_record(AdminClient &client);
    // A human player who joins now.
    edict_t *join(const std::string &name);
    // Writes maps/<map>.bsp under the server's files folder with this world box.
    void write_map(const std::string &map, float min_x, float max_x, float min_y, float max_y);

    std::string cvar(const std::string &name) const;
    simhost::ServerLog &log() { return server->engine().log(); }

    simhost::ServerOptions options;
    std::unique_ptr<simhost::GameServer> server;
    int port = 0;  // the plug-in's TCP and UDP port, unless a test configures otherwise
    double longest_frame_cpu_seconds = 0.0;
    std::filesystem::path files;
};

}  // namespace e2e
