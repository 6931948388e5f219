#include "web/gateway.h"

#include <cstdio>

#include <boost/json/serialize.hpp>

#include "web/access/public_json.h"
#include "web/actions/action.h"
#include "web/history/sql_store.h"
#include "web/replay.h"
#include "web/replay_names.h"
#include "web/state_json.h"
#include "web/upstream.h"
#include "web/viewer.h"
#include "web/wall_clock.h"

namespace web {
namespace {

// The state as pushed, with the server's latest alerts and its chat lines that raise one marked.
std::string state_with_alerts(const Source &source, const Alerts &alerts, const maps::MapPicture *picture) {
    const std::string &name = source.state().address().name;
    boost::json::object detail = source_detail(source, picture);
    detail["alerts"] = alerts.recent(name);
    const std::vector<view::Player> &players = source.state().view().players;
    for (boost::json::value &line : detail["chat"].as_array()) {
        const boost::json::string &text = line.at("text").as_string();
        if (alerts.matches_chat(name, std::string(text), players))
            line.as_object()["alert"] = true;
    }
    return boost::json::serialize(boost::json::object{{"type", "state"}, {"state", std::move(detail)}});
}

}  // namespace

Gateway::Gateway(boost::asio::io_context &io, const Options &options, RecordingFiles::WriteHook before_write)
    : io_(io),
      options_(options),
      registry_([this] { list_changed(); }),
      before_write_(std::move(before_write)),
      list_timer_(io),
      maps_(std::make_unique<maps::MapLibrary>(io, [this] { pictures_changed(); })),
      rcon_(io),
      public_(std::chrono::seconds(options.public_delay_seconds)),
      public_timer_(io) {}

// The users, the audit trail and the desk that takes actions: ready before anything is served.
bool Gateway::start_access(std::string *error) {
    std::string audit_path = options_.audit_path;
    if (audit_path.empty())
        audit_path = options_.record_dir.empty() ? "orlex_web.audit" : options_.record_dir + "/orlex_web.audit";
    audit_ = std::make_unique<audit::AuditLog>(io_, audit_path);
    // Without a user no action can be taken, so there is nothing to audit: no file is made.
    const bool users_possible = !options_.users_path.empty() || !options_.token.empty();
    if ((users_possible || !options_.audit_path.empty()) && !audit_->open(error))
        return false;
    desk_ = std::make_unique<actions::ActionDesk>(
        *audit_, options_.allowed_cvars.empty() ? actions::default_allowed_cvars() : options_.allowed_cvars);
    desk_->set_console(&rcon_console_);
    if (options_.users_path.empty()) {
        users_changed({});
        return true;
    }
    users_watcher_ = std::make_unique<access::UsersWatcher>(
        io_, options_.users_path, [this](std::vector<access::User> users) { users_changed(std::move(users)); });
    if (users_watcher_->start(error))
        return true;
    *error = "--users: " + *error;
    return false;
}

// --token is one more user, admin, unless the file names an admin of its own.
void Gateway::users_changed(std::vector<access::User> users) {
    if (!options_.token.empty()) {
        access::User admin{"admin", access::Role::admin, access::token_hash(options_.token)};
        bool named = false;
        for (const access::User &user : users)
            named = named || user.name == admin.name;
        if (!named)
            users.push_back(std::move(admin));
    }
    users_.set(std::move(users));
    for (const std::shared_ptr<Viewer> &viewer : viewers_.snapshot())
        if (!viewer->is_public() && has_users()) {
            const access::User *now = users_.find_name(viewer->user().name);
            if (!now || !(*now == viewer->user()))
                viewer->withdraw(now ? "your role or token changed: reload the page" : "your access was withdrawn");
        }
}
// The history file opened and migrated before anything is watched: a file it cannot use stops the
// start, untouched.
bool Gateway::start_history(std::string *error) {
    if (options_.history_path.empty() && options_.history_dsn.empty())
        return true;
    std::unique_ptr<history::SqlStore> store =
        options_.history_dsn.empty()
            ? history::SqlStore::open(history::Dialect::sqlite, options_.history_path, error)
            : history::SqlStore::open(history::Dialect::postgresql, options_.history_dsn, error);
    if (!store) {
        *error = "--history: " + *error;
        return false;
    }
    history_ = std::make_unique<history::HistoryWriter>(std::move(store), options_.history_days);
    return true;
}

bool Gateway::start(std::string *error) {
    if (!start_access(error) || !start_history(error))
        return false;
    if (!options_.record_dir.empty()) {
        recorder_ = std::make_unique<Recorder>(options_.record_dir, options_.record_max_mb * 1024 * 1024,
                                               Recorder::kQueueBytes, before_write_);
        recorder_->set_rate_cap(options_.record_rate_kb * 1024);
        if (!recorder_->prepare(error))
            return false;
        start_replays_on_demand();
    }
    if (!options_.alerts_path.empty()) {
        alerts_ = std::make_unique<Alerts>(
            io_, options_.alerts_path, options_.alerts_ca, [this] { return live_servers(); },
            [this](const std::string &name) { changed(name); });
        if (!alerts_->start(error))
            return false;
    }
    if (!options_.log_listen.empty()) {
        log_receiver_ = std::make_unique<log::LogReceiver>(
            io_, [this](const std::string &name, const std::string &text) { take_log(name, text); },
            [this](const std::string &name) {
                if (Source *source = registry_.find(name); source && source->log_fold())
                    ++source->log_fold()->counters.log_malformed;
            });
        if (!log_receiver_->start(options_.log_listen, error))
            return false;
    }
    for (const ServerAddress &server : options_.servers)
        watch(server);
    if (!options_.config_path.empty()) {
        // A name served already (given on the command line, or replayed) is not taken from the file.
        config_ = std::make_unique<ConfigWatcher>(
            io_, options_.config_path,
            [this](const ServerAddress &server) {
                if (watch(server))
                    return true;
                std::fprintf(stderr,
                             "orlex_web: %s: server %s is given on the command line (or replayed) already; skipped\n",
                             options_.config_path.c_str(), server.name.c_str());
                return false;
            },
            [this](const std::string &name) { unwatch(name); });
        config_->start();
    }
    // Last, so that a replay's name steps aside for a watched server's.
    for (const std::string &path : options_.replay_files)
        if (!add_replay(path, error))
            return false;
    if (options_.public_view)
        push_public_later();
    return true;
}

void Gateway::stop() {
    if (config_)
        config_->stop();
    if (users_watcher_)
        users_watcher_->stop();
    public_timer_.cancel();
    if (log_receiver_)
        log_receiver_->stop();
    if (on_demand_)
        on_demand_->stop();
    registry_.clear();
    watched_.clear();
    configure_rcon();
    viewers_.clear();
    for (Closable *connection : std::vector<Closable *>(connections_.begin(), connections_.end()))
        connection->close_now();
    list_timer_.cancel();
    if (alerts_)
        alerts_->stop();
    history_taps_.clear();  // each ends its match
    history_.reset();       // writes what is queued
    recorder_.reset();      // writes what is queued, closes and syncs every file
    maps_.reset();
}

std::shared_ptr<const maps::MapPicture> Gateway::map_picture(const Source &source) {
    if (!maps_)
        return nullptr;
    const std::string own = source.state().address().setting("game-dir");
    return maps_->find(own.empty() ? options_.game_dir : own, source.state().view().server.map);
}

// Every state names its picture: rendered again, for all.
void Gateway::pictures_changed() {
    for (const Source *source : registry_.in_order())
        changed(source->state().address().name);
}

std::shared_ptr<const std::string> Gateway::public_servers_message() {
    return std::make_shared<const std::string>(access::public_servers_message(public_servers()));
}

std::shared_ptr<const std::string> Gateway::public_detail(const std::string &name) {
    return public_.at(name, access::PublicDelay::Clock::now());
}

bool Gateway::public_events(const std::string &name, uint64_t since, std::string *text) {
    const Source *source = registry_.find(name);
    uint64_t until = 0;
    if (!source || !public_.events_until(name, access::PublicDelay::Clock::now(), &until))
        return false;
    *text = access::public_events_text(source->fold().events, since, until);
    return true;
}

std::shared_ptr<const std::string> Gateway::public_state_message(const std::string &name) {
    const std::shared_ptr<const std::string> detail = public_detail(name);
    if (!detail)
        return nullptr;
    auto &[rendered_from, message] = public_messages_[name];
    if (rendered_from != detail) {
        rendered_from = detail;
        message = std::make_shared<const std::string>(access::public_state_message(*detail));
    }
    return message;
}

// Public pages are pushed from a clock, each state once it is the delay old.
void Gateway::push_public_later() {
    public_timer_.expires_after(access::PublicDelay::kSpacing);
    public_timer_.async_wait([this](boost::system::error_code error) {
        if (error)
            return;
        for (const std::shared_ptr<Viewer> &viewer : viewers_.snapshot())
            if (viewer->is_public() && !viewer->watching().empty())
                viewer->push_state_once(public_state_message(viewer->watching()));
        push_public_later();
    });
}

std::vector<const ServerFold *> Gateway::live_servers() const {
    std::vector<const ServerFold *> folds;
    for (const Source *source : registry_.live())
        folds.push_back(&source->fold());
    return folds;
}

std::shared_ptr<const std::string> Gateway::servers_message() {
    if (!list_message_)
        list_message_ = std::make_shared<const std::string>(web::servers_message(servers()));
    return list_message_;
}

std::shared_ptr<const std::string> Gateway::state_message(const std::string &name) {
    const Source *source = registry_.find(name);
    if (!source)
        return nullptr;
    std::shared_ptr<const std::string> &message = state_messages_[name];
    if (!message) {
        const std::shared_ptr<const maps::MapPicture> picture = map_picture(*source);
        message = std::make_shared<const std::string>(alerts_ ? state_with_alerts(*source, *alerts_, picture.get())
                                                              : web::state_message(*source, picture.get()));
    }
    return message;
}

bool Gateway::watch(const ServerAddress &address) {
    if (registry_.has(address.name))
        return false;
    const std::string name = address.name;
    auto upstream = std::make_shared<Upstream>(
        io_, address, options_.chat_lines, [this, name] { changed(name); }, recorder_.get());
    if (alerts_) {
        auto tap = std::make_unique<AlertTap>(*alerts_, upstream->fold());
        upstream->pipeline().subscribe(tap.get());
        alert_taps_[name] = std::move(tap);
    }
    if (!registry_.add(name, upstream)) {
        alert_taps_.erase(name);
        return false;
    }
    watched_[name] = address;
    configure_rcon();
    if (log_receiver_)
        log_receiver_->watch(address);
    return true;
}

void Gateway::configure_rcon() {
    std::vector<ServerAddress> servers;
    for (const auto &entry : watched_)
        servers.push_back(entry.second);
    rcon_.configure(servers);
}

void Gateway::take_log(const std::string &name, const std::string &text) {
    Source *source = registry_.find(name);
    ServerFold *fold = source ? source->log_fold() : nullptr;
    if (!fold)
        return;
    const uint64_t before = fold->events.last_seq();
    fold->take_log(text);
    if (history_)
        keep_history(name, *source, before);
    if (recorder_)
        recorder_->add_log_line(name, source->state().address().address(), text, std::chrono::steady_clock::now());
    changed(name);
}

void Gateway::keep_history(const std::string &name, const Source &source, uint64_t after_seq) {
    std::unique_ptr<history::HistoryTap> &tap = history_taps_[name];
    if (!tap)
        tap = std::make_unique<history::HistoryTap>(*history_, name, options_.history_chat);
    const int64_t now_ms = unix_ms_now();
    for (const log::LogEvent *event : source.fold().events.since(after_seq))
        tap->take(*event, source.state().view(), now_ms);
}

bool Gateway::add_replay(const std::string &path, std::string *error) {
    recording::Recording recorded;
    if (!recording::read_recording(path, &recorded, error))
        return false;
    if (!recorded.torn_note().empty())
        std::fprintf(stderr, "orlex_web: %s\n", recorded.torn_note().c_str());
    std::string name = served_name(path);
    for (int copy = 2; registry_.has(name) || name.empty(); ++copy)
        name = name.substr(0, 58) + "-" + std::to_string(copy);
    const ServerAddress address = recorded_address(name, recorded.header.address);
    auto replay = std::make_shared<Replay>(io_, address, options_.chat_lines, std::move(recorded),
                                           options_.replay_speed, [this, name] { changed(name); });
    std::fprintf(stderr, "orlex_web: replaying %s as %s\n", path.c_str(), name.c_str());
    registry_.add(name, replay);
    return true;
}

void Gateway::control_replay(const std::string &name, const ReplayControl &control) {
    Source *source = registry_.find(name);
    SourceControls *controls = source ? source->controls() : nullptr;
    if (!controls)
        return;
    if (control.speed >= SourceControls::kSlowest && control.speed <= SourceControls::kFastest)
        controls->set_speed(control.speed);
    if (control.seek_ms >= 0 && control.seek_ms <= 4294967295.0)
        controls->seek(static_cast<uint32_t>(control.seek_ms));
    if (control.play >= 0)
        controls->play(control.play == 1);
}

// Replays of the recording directory's files, opened as the history's pages ask.
void Gateway::start_replays_on_demand() {
    ReplaysOnDemand::Settings settings{options_.record_dir, options_.chat_lines, options_.replay_speed,
                                       options_.replays_open, std::chrono::seconds(options_.replay_idle_seconds)};
    ReplaysOnDemand::Served served{[this](const std::string &name, std::shared_ptr<Source> source) {
                                       return registry_.add(name, std::move(source));
                                   },
                                   [this](const std::string &name) { unwatch(name); },
                                   [this](const std::string &name) -> const Source * { return registry_.find(name); },
                                   [this](const std::string &name) { return watchers_of(name); },
                                   [this](const std::string &name) { changed(name); }};
    on_demand_ = std::make_unique<ReplaysOnDemand>(io_, std::move(settings), std::move(served));
}

size_t Gateway::watchers_of(const std::string &name) const {
    size_t watching = 0;
    for (const std::shared_ptr<Viewer> &viewer : viewers_.snapshot())
        watching += viewer->watching() == name && !viewer->is_public() ? 1 : 0;
    return watching;
}

std::vector<const Source *> Gateway::public_servers() const {
    std::vector<const Source *> shown;
    for (const Source *source : registry_.in_order())
        if (shown_to_public(source->state().address().name))
            shown.push_back(source);
    return shown;
}

void Gateway::unwatch(const std::string &name) {
    if (!registry_.remove(name))
        return;
    if (log_receiver_)
        log_receiver_->forget(name);
    state_messages_.erase(name);
    alert_taps_.erase(name);  // the stopped link feeds no more records
    history_taps_.erase(name);
    public_.forget(name);
    public_messages_.erase(name);
    if (recorder_)
        recorder_->forget(name);
    if (watched_.erase(name))
        configure_rcon();
}

// A state is pushed as soon as its records are folded: one rendering for every viewer of it.
void Gateway::changed(const std::string &name) {
    state_messages_.erase(name);
    if (const Source *source = watched_.count(name) ? registry_.find(name) : nullptr)
        rcon_.set_game_port(name, source->fold().state.view().server.game_port);
    if (options_.public_view && shown_to_public(name))
        if (const Source *source = registry_.find(name))
            public_.add(
                name,
                std::make_shared<const std::string>(access::public_detail_text(*source, map_picture(*source).get())),
                access::PublicDelay::Clock::now(), source->fold().events.last_seq());
    std::shared_ptr<const std::string> message;
    for (const std::shared_ptr<Viewer> &viewer : viewers_.snapshot()) {
        if (viewer->watching() != name || viewer->is_public())
            continue;
        if (!message)
            message = state_message(name);
        viewer->push_state(message);
    }
    push_list_later();
}

void Gateway::list_changed() { push_list_later(); }

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
        std::shared_ptr<const std::string> public_message;
        for (const std::shared_ptr<Viewer> &viewer : viewers_.snapshot()) {
            if (viewer->is_public() && !public_message)
                public_message = public_servers_message();
            viewer->push_list(viewer->is_public() ? public_message : message);
        }
    });
}

}  // namespace web
