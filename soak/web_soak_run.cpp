#include "soak/web_soak_run.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "recording/format.h"
#include "soak/api_probe.h"
#include "soak/process_figures.h"
#include "support/sockets.h"

namespace soak {

namespace asio = boost::asio;
namespace fs = std::filesystem;

namespace {

const double kProbeSeconds = 5;
const double kOwedWithinSeconds = 10;  // a state the API showed must have reached its viewers by then

std::string own_folder() {
    char path[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    const std::string self = length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
    return self.substr(0, self.find_last_of('/'));
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%g", value);
    return text;
}

std::string text_of(const std::string &path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

size_t count_of(const std::string &text, const std::string &what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++count;
    return count;
}

std::string sample_line(const WebSample &s) {
    char line[320];
    std::snprintf(line, sizeof(line),
                  "%7.1f min  rss %7.1f MB  fds %5d  viewers %4d  fds-viewers %4d  recordings %7.2f MB  states %9llu  "
                  "visits %6llu  switches %6llu  seeks %5llu  cut-offs %4llu  checks %7llu  faults %llu\n",
                  s.seconds / 60, s.rss_kb / 1024.0, s.descriptors, s.viewers, s.descriptors - s.viewers,
                  static_cast<double>(s.recording_bytes) / 1048576.0, static_cast<unsigned long long>(s.states),
                  static_cast<unsigned long long>(s.visits), static_cast<unsigned long long>(s.switches),
                  static_cast<unsigned long long>(s.seeks), static_cast<unsigned long long>(s.cut_offs),
                  static_cast<unsigned long long>(s.checks), static_cast<unsigned long long>(s.faults));
    return line;
}

}  // namespace

WebSoakRun::WebSoakRun(asio::io_context &io, const WebSoakOptions &options)
    : io_(io),
      options_(options),
      seek_timer_(io),
      probe_timer_(io),
      config_timer_(io),
      sample_timer_(io),
      watch_timer_(io),
      end_timer_(io),
      random_(options.seed),
      started_(WebClock::now()) {
    if (options_.web.empty())
        options_.web = own_folder() + "/orlex_web";
    if (options_.simhost.empty())
        options_.simhost = own_folder() + "/orlex_simhost";
}

WebSoakRun::~WebSoakRun() {
    if (!folder_.empty() && failures_.empty()) {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
}

double WebSoakRun::real_seconds() const { return std::chrono::duration<double>(WebClock::now() - started_).count(); }

void WebSoakRun::after(double seconds, asio::steady_timer &timer, std::function<void()> then) {
    timer.expires_after(std::chrono::microseconds(static_cast<long long>(seconds * 1e6)));
    timer.async_wait([this, then = std::move(then)](const boost::system::error_code &error) {
        if (!error && !finishing_)
            then();
    });
}

bool WebSoakRun::run() {
    char folder_template[] = "/tmp/orlex_web_soak_XXXXXX";
    if (!mkdtemp(folder_template)) {
        std::fprintf(stderr, "orlex_web_soak: cannot make a temporary folder\n");
        return false;
    }
    folder_ = folder_template;
    record_dir_ = folder_ + "/recordings";
    config_path_ = folder_ + "/servers.conf";
    fs::create_directory(record_dir_);
    std::string replay_file;
    if (!start_servers() || !prepare_recording(&replay_file) || !start_gateway(replay_file)) {
        finishing_ = true;
        return report();
    }
    learn_servers();
    io_.run();
    return report();
}

bool WebSoakRun::start_servers() {
    for (int at = 0; at < options_.servers; ++at) {
        const int plugin_port = testing_support::free_port();
        int game_port = testing_support::free_port();
        while (game_port == plugin_port)
            game_port = testing_support::free_port();
        plugin_ports_.push_back(plugin_port);
        servers_.push_back(
            std::make_unique<ServerProcess>(io_,
                                            std::vector<std::string>{options_.simhost,
                                                                     "--game",
                                                                     "cstrike",
                                                                     "--bots",
                                                                     std::to_string(options_.bots),
                                                                     "--fps",
                                                                     number(options_.fps),
                                                                     "--speed",
                                                                     number(options_.speed),
                                                                     "--rotate",
                                                                     number(options_.rotate_minutes),
                                                                     "--seed",
                                                                     std::to_string(options_.seed + at),
                                                                     "--hostport",
                                                                     std::to_string(game_port),
                                                                     "--set",
                                                                     "orlex_mm_port=" + std::to_string(plugin_port),
                                                                     "--set",
                                                                     "mp_timelimit=20",
                                                                     "--quiet"},
                                            [](const std::string &) {}));
        if (!servers_.back()->started()) {
            fail("cannot start " + options_.simhost);
            return false;
        }
    }
    return true;
}

// The replays' file: the first server recorded by a gateway of its own for a while.
bool WebSoakRun::prepare_recording(std::string *path) {
    const std::string prepared = folder_ + "/prepared";
    fs::create_directory(prepared);
    {
        ServerProcess recorder(
            io_,
            {options_.web, "--listen", "127.0.0.1:0", "--server", "rec=127.0.0.1:" + std::to_string(plugin_ports_[0]),
             "--record", prepared},
            [](const std::string &) {}, folder_ + "/prepare.log");
        std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<long long>(options_.prepare_seconds * 1000)));
        recorder.signal(SIGTERM);
        int status = 0;
        recorder.wait_for_end(30, &status);
    }
    uintmax_t largest = 0;
    for (const fs::directory_entry &entry : fs::directory_iterator(prepared))
        if (recording::has_file_suffix(entry.path().filename().string()) && entry.file_size() > largest) {
            largest = entry.file_size();
            *path = entry.path().string();
        }
    if (path->empty())
        fail("no recording made in " + number(options_.prepare_seconds) + " s to replay (" + prepared + ")");
    return !path->empty();
}

bool WebSoakRun::start_gateway(const std::string &replay_file) {
    write_config();
    // Every viewer of the soak comes from 127.0.0.1: the per-address shares are raised to what it
    // opens at once (closed sockets linger a moment while viewers churn).
    const std::string share = std::to_string(std::min(1000, 2 * options_.viewers + 16));
    gateway_ = std::make_unique<ServerProcess>(
        io_,
        std::vector<std::string>{options_.web, "--listen", "127.0.0.1:0", "--config", config_path_, "--record",
                                 record_dir_, "--record-max-mb", std::to_string(options_.record_max_mb), "--replay",
                                 replay_file, replay_file, "--http-per-address", share, "--websockets-per-address",
                                 share},
        [this](const std::string &line) {
            const size_t at = line.find("http://127.0.0.1:");
            if (at != std::string::npos)
                gateway_port_ = std::atoi(line.c_str() + at + 17);
        },
        folder_ + "/gateway.log");
    const WebClock::time_point deadline = WebClock::now() + std::chrono::seconds(30);
    while (gateway_port_ == 0 && !gateway_->ended() && WebClock::now() < deadline)
        io_.run_one_for(std::chrono::milliseconds(100));
    if (gateway_port_ == 0) {
        fail("the gateway did not start: " + text_of(folder_ + "/gateway.log"));
        return false;
    }
    endpoint_ = {asio::ip::address_v4::loopback(), static_cast<unsigned short>(gateway_port_)};
    return true;
}

// The servers the gateway serves, from its API: the configured ones and the replays.
void WebSoakRun::learn_servers() {
    ask_api(io_, endpoint_, "/api/servers", [this](const boost::json::value &answer) {
        const boost::json::object *object = answer.if_object();
        const boost::json::value *list = object ? object->if_contains("servers") : nullptr;
        if (!list || !list->is_array()) {
            fail("the gateway's server list cannot be read");
            return finish();
        }
        for (const boost::json::value &server : list->as_array()) {
            const boost::json::object *fields = server.if_object();
            const boost::json::value *name = fields ? fields->if_contains("name") : nullptr;
            if (name && name->is_string())
                world_.add_server(std::string(name->get_string()), fields->contains("replay"));
        }
        begin();
    });
}

void WebSoakRun::begin() {
    stalled_ = std::make_unique<StalledViewer>(io_, endpoint_, "sim0", options_.stall_seconds);
    stalled_->start();
    for (int at = 0; at < options_.viewers; ++at) {
        slots_.emplace_back();
        slot_timers_.push_back(std::make_unique<asio::steady_timer>(io_));
        const size_t slot = slots_.size() - 1;
        after(std::uniform_real_distribution<double>(0, 10)(random_), *slot_timers_[slot],
              [this, slot] { fill_slot(slot); });
    }
    schedule_seek();
    schedule_probe();
    schedule_config();
    schedule_sample();
    watch_processes();
    after(options_.minutes * 60, end_timer_, [this] { finish(); });
}

std::string WebSoakRun::any_server() {
    std::vector<std::string> present;
    for (const std::string &name : world_.names())
        if (world_.present(name))
            present.push_back(name);
    return present[std::uniform_int_distribution<size_t>(0, present.size() - 1)(random_)];
}

void WebSoakRun::fill_slot(size_t slot) {
    ++visits_;
    slots_[slot] = std::make_shared<WebViewer>(io_, endpoint_, world_, ++next_viewer_, nullptr);
    slots_[slot]->start(any_server());
    schedule_move(slot);
}

void WebSoakRun::schedule_move(size_t slot) {
    after(std::exponential_distribution<double>(1.0 / options_.stay_seconds)(random_), *slot_timers_[slot],
          [this, slot] { move(slot); });
}

// Switch (most often), leave (and a new viewer comes a moment later), or seek the replay watched.
void WebSoakRun::move(size_t slot) {
    WebViewer &viewer = *slots_[slot];
    if (!viewer.open())
        return fill_slot(slot);
    const double chance = std::uniform_real_distribution<double>(0, 1)(random_);
    if (chance < 0.6) {
        ++switches_;
        viewer.watch(any_server());
    } else if (chance < 0.9) {
        viewer.leave();
        after(std::uniform_real_distribution<double>(0, 2)(random_), *slot_timers_[slot],
              [this, slot] { fill_slot(slot); });
        return;
    } else if (world_.is_replay(viewer.watching())) {
        ++seeks_;
        viewer.seek_somewhere(std::uniform_real_distribution<double>(0, 0.9)(random_));
    }
    schedule_move(slot);
}

// Besides the viewers' own seeks: a replay is seeked every few seconds by one of its viewers.
void WebSoakRun::schedule_seek() {
    after(options_.seek_seconds, seek_timer_, [this] {
        std::vector<WebViewer *> on_replays;
        for (const auto &viewer : slots_)
            if (viewer && viewer->open() && world_.is_replay(viewer->watching()))
                on_replays.push_back(viewer.get());
        if (!on_replays.empty()) {
            ++seeks_;
            on_replays[std::uniform_int_distribution<size_t>(0, on_replays.size() - 1)(random_)]->seek_somewhere(
                std::uniform_real_distribution<double>(0, 0.9)(random_));
        }
        schedule_seek();
    });
}

void WebSoakRun::schedule_probe() {
    after(kProbeSeconds, probe_timer_, [this] {
        for (const std::string &name : world_.names())
            if (world_.present(name))
                probe(name);
        schedule_probe();
    });
}

// What the API says of a server now, every viewer settled on it must have within a few seconds:
// a viewer that is short of it missed a state the gateway had for it.
void WebSoakRun::probe(const std::string &server) {
    const WebClock::time_point asked = WebClock::now();
    ask_api(io_, endpoint_, "/api/servers/" + server, [this, server, asked](const boost::json::value &answer) {
        const long long records = records_of(answer);
        if (records < 0 || finishing_)
            return;
        std::vector<std::weak_ptr<WebViewer>> owed;
        for (const auto &viewer : slots_)
            if (viewer && viewer->settled_on(server, asked))
                owed.push_back(viewer);
        if (owed.empty())
            return;
        auto timer = std::make_shared<asio::steady_timer>(io_);
        after(kOwedWithinSeconds, *timer, [this, timer, server, asked, records, owed] {
            if (world_.restarted_since(server, asked))
                return;
            for (const auto &weak : owed) {
                const std::shared_ptr<WebViewer> viewer = weak.lock();
                if (!viewer || !viewer->settled_on(server, asked))
                    continue;
                ++checks_;
                const size_t seen = viewer->most_records(server);
                if (seen < static_cast<size_t>(records))
                    world_.fault("viewer " + std::to_string(viewer->number()) + " watching " + server + " had " +
                                 std::to_string(seen) + " records " + number(kOwedWithinSeconds) +
                                 " s after the API showed " + std::to_string(records));
            }
        });
    });
}

void WebSoakRun::schedule_config() {
    after(options_.config_seconds, config_timer_, [this] {
        ++rewrites_;
        write_config();
        schedule_config();
    });
}

// In turn: every server; the last one left out; every server in the reverse order. Written beside
// and renamed, as an editor saves, so that the gateway never reads half a file.
void WebSoakRun::write_config() {
    const int variant = static_cast<int>(rewrites_ % 3);
    std::vector<int> order;
    for (int at = 0; at < options_.servers; ++at)
        if (!(variant == 1 && at == options_.servers - 1))
            order.push_back(at);
    if (variant == 2)
        std::reverse(order.begin(), order.end());
    const std::string draft = config_path_ + ".new";
    {
        std::ofstream file(draft);
        file << "# the web soak's servers, rewrite " << rewrites_ << "\n";
        for (int at : order)
            file << "sim" << at << " 127.0.0.1:" << plugin_ports_[static_cast<size_t>(at)] << "\n";
    }
    fs::rename(draft, config_path_);
    if (!world_.names().empty())
        world_.set_present("sim" + std::to_string(options_.servers - 1), variant != 1);
}

void WebSoakRun::schedule_sample() {
    after(options_.sample_seconds, sample_timer_, [this] {
        take_sample();
        schedule_sample();
    });
}

void WebSoakRun::take_sample() {
    WebSample sample;
    sample.seconds = real_seconds();
    sample.rss_kb = resident_kilobytes(gateway_->pid());
    sample.descriptors = open_descriptors(gateway_->pid());
    for (const auto &viewer : slots_)
        sample.viewers += viewer && viewer->open() ? 1 : 0;
    sample.viewers += stalled_ && stalled_->connected() ? 1 : 0;
    sample.recording_bytes = folder_bytes(record_dir_);
    sample.states = world_.states;
    sample.visits = visits_;
    sample.switches = switches_;
    sample.seeks = seeks_;
    sample.cut_offs = stalled_ ? stalled_->cut_offs() : 0;
    sample.checks = checks_;
    sample.faults = world_.fault_count();
    samples_.push_back(sample);
    std::fprintf(stderr, "orlex_web_soak: %s", sample_line(sample).c_str());
}

void WebSoakRun::watch_processes() {
    after(0.5, watch_timer_, [this] {
        int status = 0;
        if (gateway_->ended(&status))
            return fail("the gateway ended during the run (status " + std::to_string(status) + ")");
        for (size_t at = 0; at < servers_.size(); ++at)
            if (servers_[at]->ended())
                return fail("simulated server sim" + std::to_string(at) + " ended during the run");
        watch_processes();
    });
}

void WebSoakRun::fail(const std::string &why) {
    failures_.push_back(why);
    finish();
}

void WebSoakRun::finish() {
    if (finishing_)
        return;
    finishing_ = true;
    for (asio::steady_timer *timer :
         {&seek_timer_, &probe_timer_, &config_timer_, &sample_timer_, &watch_timer_, &end_timer_})
        timer->cancel();
    for (auto &timer : slot_timers_)
        timer->cancel();
    for (auto &viewer : slots_)
        if (viewer)
            viewer->leave();
    if (stalled_)
        stalled_->stop();
    io_.stop();
}

bool WebSoakRun::report() {
    if (gateway_) {
        gateway_->signal(SIGTERM);
        int status = 0;
        if (!gateway_->wait_for_end(60, &status))
            failures_.push_back("the gateway did not stop within 60 s of SIGTERM");
        else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            failures_.push_back("the gateway ended with status " + std::to_string(status));
    }
    for (auto &server : servers_) {
        server->type("quit");
        int status = 0;
        server->wait_for_end(30, &status);
    }
    for (const std::string &fault : world_.faults())
        failures_.push_back(fault);
    if (world_.fault_count() > world_.faults().size())
        failures_.push_back(std::to_string(world_.fault_count()) + " faults in all");
    const WebSample *base = nullptr;
    WebSample top;
    for (const WebSample &sample : samples_) {
        if (sample.seconds < options_.warmup_seconds)
            continue;
        if (!base)
            base = &sample, top = sample;
        top.rss_kb = std::max(top.rss_kb, sample.rss_kb);
        top.recording_bytes = std::max(top.recording_bytes, sample.recording_bytes);
        if (sample.descriptors - sample.viewers > top.descriptors - top.viewers)
            top.descriptors = sample.descriptors, top.viewers = sample.viewers;
    }
    const long long record_limit = static_cast<long long>(options_.record_max_mb) * 1048576;
    if (!failures_.empty() || samples_.empty()) {
    } else if (!base || &samples_.back() == base) {
        failures_.push_back("no two samples after the warm-up: run longer than --warmup");
    } else {
        if (top.rss_kb - base->rss_kb > options_.rss_bound_mb * 1024)
            failures_.push_back("the gateway's memory grew by " + number((top.rss_kb - base->rss_kb) / 1024.0) +
                                " MB after the warm-up");
        if ((top.descriptors - top.viewers) - (base->descriptors - base->viewers) > options_.descriptor_bound)
            failures_.push_back("the gateway's descriptors (less its viewers) grew by " +
                                std::to_string((top.descriptors - top.viewers) - (base->descriptors - base->viewers)));
        if (top.recording_bytes > record_limit + std::max<long long>(1048576, record_limit / 10))
            failures_.push_back("the recording folder grew to " + number(top.recording_bytes / 1048576.0) +
                                " MB, past its limit of " + std::to_string(options_.record_max_mb) + " MB");
        if (checks_ == 0)
            failures_.push_back("no viewer was checked against the API");
        if (stalled_ && stalled_->kept() > 0)
            failures_.push_back("the viewer that never reads was still served after " + number(options_.stall_seconds) +
                                " s, " + std::to_string(stalled_->kept()) + " times");
        if (real_seconds() > options_.stall_seconds + 30 && stalled_ && stalled_->cut_offs() == 0)
            failures_.push_back("the viewer that never reads was never cut off");
    }
    std::printf("%s", "    time        memory      descriptors (and viewers)    recordings     states delivered ...\n");
    for (const WebSample &sample : samples_)
        std::printf("%s", sample_line(sample).c_str());
    if (!options_.samples_file.empty()) {
        std::ofstream columns(options_.samples_file);
        columns << "seconds\trss_kb\tdescriptors\tviewers\trecording_bytes\tstates\tvisits\tswitches\tseeks\tcut_offs\t"
                   "checks\tfaults\n";
        for (const WebSample &s : samples_)
            columns << s.seconds << '\t' << s.rss_kb << '\t' << s.descriptors << '\t' << s.viewers << '\t'
                    << s.recording_bytes << '\t' << s.states << '\t' << s.visits << '\t' << s.switches << '\t'
                    << s.seeks << '\t' << s.cut_offs << '\t' << s.checks << '\t' << s.faults << '\n';
    }
    const std::string log = folder_.empty() ? "" : text_of(folder_ + "/gateway.log");
    std::printf(
        "%.1f min; %d simulated servers at %g times real time and %zu replays; %llu viewer visits, %llu switches, "
        "%llu seeks, %llu configuration rewrites; %llu states delivered; %llu checks against the API; "
        "the viewer that never reads cut off %llu times, kept %llu times (the gateway logged %zu cut-offs)\n",
        real_seconds() / 60, options_.servers, options_.speed,
        world_.names().size() > static_cast<size_t>(options_.servers) ? world_.names().size() - options_.servers : 0,
        static_cast<unsigned long long>(visits_), static_cast<unsigned long long>(switches_),
        static_cast<unsigned long long>(seeks_), static_cast<unsigned long long>(rewrites_),
        static_cast<unsigned long long>(world_.states), static_cast<unsigned long long>(checks_),
        static_cast<unsigned long long>(stalled_ ? stalled_->cut_offs() : 0),
        static_cast<unsigned long long>(stalled_ ? stalled_->kept() : 0), count_of(log, "cut off"));
    if (base)
        std::printf(
            "after the %.0f s warm-up: memory %.1f -> at most %.1f MB (bound +%.1f), descriptors less viewers %d "
            "-> at most %d (bound +%d), recordings at most %.2f MB (limit %d MB)\n",
            options_.warmup_seconds, base->rss_kb / 1024.0, top.rss_kb / 1024.0, options_.rss_bound_mb,
            base->descriptors - base->viewers, top.descriptors - top.viewers, options_.descriptor_bound,
            top.recording_bytes / 1048576.0, options_.record_max_mb);
    for (const std::string &failure : failures_)
        std::printf("FAIL: %s\n", failure.c_str());
    if (!failures_.empty())
        std::printf("what it left is in %s\n", folder_.c_str());
    std::printf("%s\n", failures_.empty() ? "web soak passed" : "web soak FAILED");
    return failures_.empty();
}

}  // namespace soak
