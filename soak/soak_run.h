// One soak run: the server, its clients and console, the samples taken on the way, the verdict.
#pragma once

#include <boost/asio.hpp>
#include <chrono>
#include <deque>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "soak/churn.h"
#include "soak/report_client.h"
#include "soak/samples.h"
#include "soak/server_process.h"
#include "soak/slow_reader.h"
#include "soak/soak_options.h"

namespace soak {

class SoakRun {
public:
    SoakRun(boost::asio::io_context &io, const SoakOptions &options, int report_port, int game_port);

    // Runs to the end; true when nothing failed. The table and the verdict go to standard output.
    bool run();

private:
    // Gets the answer line less the start it was recognised by.
    using Answer = std::function<void(const std::string &rest)>;

    void wait_for_first_cycle();
    void begin_load();
    void schedule_sample();
    void take_sample();
    void read_figures(Sample sample);
    void schedule_say();
    void watch();
    void ask(const std::string &command, const std::string &answer_start, Answer answer);
    void on_console_line(const std::string &line);
    void fail(const std::string &why);
    void finish();
    double real_seconds() const;
    bool report();

    boost::asio::io_context &io_;
    SoakOptions options_;
    ServerProcess server_;
    ReportClient client_;
    Churn churn_;
    SlowReader slow_;
    boost::asio::steady_timer sample_timer_, say_timer_, watch_timer_, quiet_timer_;
    std::mt19937_64 random_;
    std::deque<std::pair<std::string, Answer>> answers_;  // awaited console answers, in order
    std::chrono::steady_clock::time_point started_, last_answer_;
    std::vector<Sample> samples_;
    std::vector<std::string> failures_;
    std::uint64_t says_sent_ = 0;
    bool finishing_ = false;
    int exit_status_ = -1;
};

}  // namespace soak
