#include "soak/soak_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "soak/process_figures.h"

namespace soak {

namespace asio = boost::asio;

namespace {

const char *const GAME = "cstrike";
const char *const SAY_TEXT = "soak say ";
const double TIME_LIMIT_MINUTES = 20.0;  // mp_timelimit: the SERVER record's TIMELEFT counts down from it
const double REFRESH_SECONDS = 5.0;      // orlex_timer_refresh, at its default
const int STARTUP_SECONDS = 120;         // the 32-bit server under emulation starts slowly
const int ANSWER_SECONDS = 60;           // the longest a console answer may take
const auto WATCH_PERIOD = std::chrono::milliseconds(500);

std::string folder_of(const std::string &path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string own_folder() {
    char path[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    return folder_of(length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string());
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%g", value);
    return text;
}

std::vector<std::string> server_command(const SoakOptions &options, int report_port, int game_port) {
    std::vector<std::string> command;
    if (!options.runner.empty())
        command.push_back(options.runner);
    command.push_back(options.simhost.empty() ? own_folder() + "/orlex_simhost" : options.simhost);
    if (!options.plugin.empty())
        command.insert(command.end(), {"--plugin", options.plugin});
    command.insert(command.end(), {"--game", GAME, "--bots", std::to_string(options.bots), "--rotate",
                                   number(options.rotate_minutes), "--fps", number(options.fps), "--speed",
                                   number(options.speed), "--seed", std::to_string(options.seed), "--hostport",
                                   std::to_string(game_port), "--set", "orlex_mm_port=" + std::to_string(report_port),
                                   "--set", "mp_timelimit=" + number(TIME_LIMIT_MINUTES), "--quiet"});
    return command;
}

CycleRules cycle_rules(const SoakOptions &options) {
    CycleRules rules;
    rules.objectives = {"BOMB", "HOSTAGE"};
    rules.refresh_seconds = REFRESH_SECONDS;
    rules.time_limit_seconds = TIME_LIMIT_MINUTES * 60.0;
    rules.map_seconds = options.rotate_minutes * 60.0;
    return rules;
}

}  // namespace

SoakRun::SoakRun(asio::io_context &io, const SoakOptions &options, int report_port, int game_port)
    : io_(io),
      options_(options),
      server_(io, server_command(options, report_port, game_port),
              [this](const std::string &line) { on_console_line(line); }),
      client_(io, report_port, cycle_rules(options)),
      churn_(io, report_port, options.churn_per_second, options.seed),
      slow_(io, report_port, [this] { return client_.bytes(); }),
      sample_timer_(io),
      say_timer_(io),
      watch_timer_(io),
      quiet_timer_(io),
      random_(options.seed),
      started_(std::chrono::steady_clock::now()),
      last_answer_(started_) {}

double SoakRun::real_seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
}

bool SoakRun::run() {
    if (!server_.started()) {
        std::fprintf(stderr, "orlex_soak: cannot start the simulated server\n");
        return false;
    }
    client_.count_says_holding(SAY_TEXT);
    client_.start();
    watch();
    wait_for_first_cycle();
    io_.run();
    return report();
}

// Clients and chat start once the well-behaved client has seen a whole cycle.
void SoakRun::wait_for_first_cycle() {
    if (client_.check().cycles() > 0) {
        begin_load();
        return;
    }
    if (real_seconds() > STARTUP_SECONDS) {
        fail("no report cycle within " + std::to_string(STARTUP_SECONDS) + " s of starting");
        return;
    }
    quiet_timer_.expires_after(std::chrono::milliseconds(100));
    quiet_timer_.async_wait([this](const boost::system::error_code &error) {
        if (!error)
            wait_for_first_cycle();
    });
}

void SoakRun::begin_load() {
    churn_.start();
    slow_.start();
    schedule_say();
    take_sample();
}

void SoakRun::watch() {
    watch_timer_.expires_after(WATCH_PERIOD);
    watch_timer_.async_wait([this](const boost::system::error_code &error) {
        if (error || finishing_)
            return;
        if (server_.ended(&exit_status_))
            fail("the simulated server ended during the run");
        else if (client_.lost())
            fail("the well-behaved client's connection ended");
        else if (!answers_.empty() &&
                 std::chrono::steady_clock::now() - last_answer_ > std::chrono::seconds(ANSWER_SECONDS))
            fail("the console did not answer \"" + answers_.front().first + "\"");
        else
            watch();
    });
}

void SoakRun::schedule_say() {
    if (options_.says_per_minute <= 0)
        return;
    std::exponential_distribution<double> gap(options_.says_per_minute / 60.0);
    say_timer_.expires_after(std::chrono::microseconds(static_cast<long long>(gap(random_) * 1e6)));
    say_timer_.async_wait([this](const boost::system::error_code &error) {
        if (error || finishing_)
            return;
        server_.type("say " + std::string(SAY_TEXT) + std::to_string(++says_sent_));
        schedule_say();
    });
}

void SoakRun::schedule_sample() {
    sample_timer_.expires_after(std::chrono::milliseconds(static_cast<long long>(options_.sample_seconds * 1000)));
    sample_timer_.async_wait([this](const boost::system::error_code &error) {
        if (!error && !finishing_)
            take_sample();
    });
}

// Figures are taken with only the well-behaved client connected, after long enough for the server to
// notice the others leave (its client reads come every 2 s of game time, and it accepts one waiting
// connection every half second), so that descriptors and free slots can be compared exactly.
void SoakRun::take_sample() {
    churn_.pause();
    slow_.pause();
    const double quiet_seconds = std::max(1.0, 20.0 / options_.speed);
    quiet_timer_.expires_after(std::chrono::milliseconds(static_cast<long long>(quiet_seconds * 1000)));
    quiet_timer_.async_wait([this](const boost::system::error_code &error) {
        if (error || finishing_)
            return;
        Sample sample;
        sample.real_seconds = real_seconds();
        sample.game_seconds = client_.check().game_seconds();
        sample.rss_kb = resident_kilobytes(server_.pid());
        sample.descriptors = open_descriptors(server_.pid());
        sample.records = client_.check().records();
        sample.cycles = client_.check().cycles();
        sample.visits = churn_.visits();
        sample.cut_offs = slow_.cut_offs();
        sample.says_sent = says_sent_;
        sample.says_seen = client_.says_seen();
        read_figures(sample);
    });
}

void SoakRun::read_figures(Sample sample) {
    auto shared = std::make_shared<Sample>(sample);
    ask("heap", "heap in use: ", [shared](const std::string &rest) { shared->heap_bytes = std::atoll(rest.c_str()); });
    ask("orlex_port_avail", "\"orlex_port_avail\" is \"", [this, shared](const std::string &rest) {
        shared->free_slots = std::atoi(rest.c_str());
        samples_.push_back(*shared);
        std::fprintf(stderr, "orlex_soak: %s", sample_line(*shared).c_str());
        if (shared->game_seconds >= options_.game_days * 86400.0) {
            finish();
            return;
        }
        churn_.resume();
        slow_.resume();
        schedule_sample();
    });
}

void SoakRun::ask(const std::string &command, const std::string &answer_start, Answer answer) {
    if (answers_.empty())
        last_answer_ = std::chrono::steady_clock::now();
    answers_.emplace_back(answer_start, std::move(answer));
    server_.type(command);
}

void SoakRun::on_console_line(const std::string &line) {
    if (answers_.empty() || line.rfind(answers_.front().first, 0) != 0)
        return;  // the server's other output
    const std::string rest = line.substr(answers_.front().first.size());
    Answer answer = std::move(answers_.front().second);
    answers_.pop_front();
    last_answer_ = std::chrono::steady_clock::now();
    answer(rest);
}

void SoakRun::fail(const std::string &why) {
    failures_.push_back(why);
    finish();
}

void SoakRun::finish() {
    if (finishing_)
        return;
    finishing_ = true;
    churn_.pause();
    slow_.pause();
    for (asio::steady_timer *timer : {&sample_timer_, &say_timer_, &watch_timer_, &quiet_timer_})
        timer->cancel();
    server_.type("quit");
    io_.stop();
}

bool SoakRun::report() {
    const double took = real_seconds();
    if (!server_.wait_for_end(60, &exit_status_))
        failures_.push_back("the simulated server did not quit");
    else if (!WIFEXITED(exit_status_) || WEXITSTATUS(exit_status_) != 0)
        failures_.push_back("the simulated server ended with status " + std::to_string(exit_status_));
    const CycleCheck &check = client_.check();
    for (const std::string &note : check.fault_notes())
        failures_.push_back("report stream: " + note);
    if (check.missed() > 0)
        failures_.push_back(std::to_string(check.missed()) + " report cycles missed");
    if (slow_.cut_offs() == 0)
        failures_.push_back("the slow reader was never cut off");
    if (samples_.size() >= 2)
        for (const std::string &fault :
             growth_faults(samples_, {options_.warmup_seconds, options_.heap_bound_kb, options_.rss_bound_kb}))
            failures_.push_back(fault);
    std::printf("%s", sample_table(samples_).c_str());
    if (!options_.samples_file.empty())
        std::ofstream(options_.samples_file) << sample_columns(samples_);
    std::printf(
        "game time %.3f days in %.1f min of real time (%.0f times real time); %llu cycles, %llu missed, "
        "%llu records (%llu chat), %llu map changes, %llu churning clients, %llu requests, "
        "slow reader cut off %llu times\n",
        check.game_seconds() / 86400.0, took / 60.0, check.game_seconds() / std::max(took, 1.0),
        static_cast<unsigned long long>(check.cycles()), static_cast<unsigned long long>(check.missed()),
        static_cast<unsigned long long>(check.records()), static_cast<unsigned long long>(check.chat_records()),
        static_cast<unsigned long long>(check.map_changes()), static_cast<unsigned long long>(churn_.visits()),
        static_cast<unsigned long long>(churn_.requests()), static_cast<unsigned long long>(slow_.cut_offs()));
    std::printf(
        "bounds after %.0f s of warm-up: heap +%.0f KB, resident +%.0f KB, descriptors and free slots unchanged\n",
        options_.warmup_seconds, options_.heap_bound_kb, options_.rss_bound_kb);
    for (const std::string &failure : failures_)
        std::printf("FAIL: %s\n", failure.c_str());
    std::printf("%s\n", failures_.empty() ? "soak passed" : "soak FAILED");
    return failures_.empty();
}

}  // namespace soak
