// The web soak: simulated servers, a gateway watching them through a configuration file, recording
// and replaying; viewers that come, switch, seek and leave; a viewer that never reads; the file
// rewritten now and then. Samples the gateway's memory, descriptors and recording folder, checks
// the viewers' states against the gateway's API, and gives the verdict.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "soak/server_process.h"
#include "soak/stalled_viewer.h"
#include "soak/web_soak_options.h"
#include "soak/web_viewer.h"
#include "soak/web_world.h"

namespace soak {

struct WebSample {
    double seconds = 0;
    long rss_kb = -1;
    int descriptors = -1, viewers = 0;
    long long recording_bytes = -1;
    uint64_t states = 0, visits = 0, switches = 0, seeks = 0, cut_offs = 0, checks = 0, faults = 0;
};

class WebSoakRun {
public:
    WebSoakRun(boost::asio::io_context &io, const WebSoakOptions &options);
    ~WebSoakRun();
    bool run();

private:
    bool start_servers();
    bool prepare_recording(std::string *path);
    bool start_gateway(const std::string &replay_file);
    void learn_servers();
    void begin();
    void fill_slot(size_t slot);
    void schedule_move(size_t slot);
    void move(size_t slot);
    void schedule_seek();
    void schedule_probe();
    void probe(const std::string &server);
    void schedule_config();
    void write_config();
    void schedule_sample();
    void take_sample();
    void watch_processes();
    void after(double seconds, boost::asio::steady_timer &timer, std::function<void()> then);
    std::string any_server();
    double real_seconds() const;
    void fail(const std::string &why);
    void finish();
    bool report();

    boost::asio::io_context &io_;
    WebSoakOptions options_;
    std::string folder_, config_path_, record_dir_;
    std::vector<std::unique_ptr<ServerProcess>> servers_;
    std::vector<int> plugin_ports_;
    std::unique_ptr<ServerProcess> gateway_;
    int gateway_port_ = 0;  // once it has said where it listens
    boost::asio::ip::tcp::endpoint endpoint_;
    WebWorld world_;
    std::vector<std::shared_ptr<WebViewer>> slots_;
    std::vector<std::unique_ptr<boost::asio::steady_timer>> slot_timers_;
    std::unique_ptr<StalledViewer> stalled_;
    boost::asio::steady_timer seek_timer_, probe_timer_, config_timer_, sample_timer_, watch_timer_, end_timer_;
    std::mt19937_64 random_;
    WebClock::time_point started_;
    std::vector<WebSample> samples_;
    std::vector<std::string> failures_;
    uint64_t next_viewer_ = 0, visits_ = 0, switches_ = 0, seeks_ = 0, checks_ = 0, rewrites_ = 0;
    bool finishing_ = false;
};

}  // namespace soak
