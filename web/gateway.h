// The gateway: the served servers (ServerRegistry), the configuration file (ConfigWatcher), the
// viewers (ViewerHub) and the pushes between them, on one event loop; the recorder on its own thread.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "web/access/csrf.h"
#include "web/access/identity.h"
#include "web/access/public_delay.h"
#include "web/access/users_watcher.h"
#include "web/actions/action_desk.h"
#include "web/alerts/alerts.h"
#include "web/audit/audit_log.h"
#include "web/closable.h"
#include "web/config_watcher.h"
#include "web/history/history_tap.h"
#include "web/history/history_writer.h"
#include "web/log/log_receiver.h"
#include "web/maps/map_library.h"
#include "web/options.h"
#include "web/rcon/links_console.h"
#include "web/rcon/rcon_link.h"
#include "web/recorder.h"
#include "web/replays_on_demand.h"
#include "web/server_registry.h"
#include "web/viewer_hub.h"

namespace web {

class Viewer;

class Gateway {
public:
    // Open HTTP and WebSocket connections beyond this are refused at once.
    static constexpr size_t kMaxConnections = 2000;
    // The server list is pushed at most this often (a state, as its records arrive).
    static constexpr std::chrono::milliseconds kListInterval{1000};

    // `before_write` runs before each write to the recording directory (a test build's slow disk).
    Gateway(boost::asio::io_context &io, const Options &options, RecordingFiles::WriteHook before_write = {});
    // Starts watching every server given; reads the configuration file again as it changes.
    // False with the reason when the recording directory cannot be used or a recording to replay
    // cannot be read.
    bool start(std::string *error);
    // Stops watching and ends every connection, so that the event loop runs out of work.
    void stop();

    bool metrics_players() const { return options_.metrics_players; }
    // The alerts' own counters for /metrics; empty without --alerts.
    std::string alert_metrics() const { return alerts_ ? alerts_->metrics_text() : ""; }
    // Users: the users file's and --token's admin. Without any, every request sees the live view
    // and no action is taken.
    bool has_users() const { return !users_.empty(); }
    access::Identity identify(std::string_view authorization, std::string_view cookies, std::string_view target) const {
        return access::identify(users_, authorization, cookies, target);
    }
    bool public_view() const { return options_.public_view; }
    const Options &options() const { return options_; }
    const access::CsrfKey &csrf() const { return csrf_; }
    actions::ActionDesk &desk() { return *desk_; }
    audit::AuditLog &audit() { return *audit_; }
    // The consoles actions go to (the rcon links); not owned.
    void set_console(actions::Console *console) { desk_->set_console(console); }
    // Every served server, in the list's order; the live ones only (what the metrics describe).
    std::vector<const Source *> servers() const { return registry_.in_order(); }
    std::vector<const ServerFold *> live_servers() const;
    const Source *find(const std::string &name) const { return registry_.find(name); }
    // The picture under a server's radar, null while it is made or when there is none to make.
    std::shared_ptr<const maps::MapPicture> map_picture(const Source &source);

    // The messages pushed to viewers, rendered once for all of them.
    std::shared_ptr<const std::string> servers_message();
    std::shared_ptr<const std::string> state_message(const std::string &name);
    // What the public view shows: the list live, each state as it was the delay ago (null while
    // the gateway has run for less than that).
    std::shared_ptr<const std::string> public_servers_message();
    std::shared_ptr<const std::string> public_state_message(const std::string &name);
    std::shared_ptr<const std::string> public_detail(const std::string &name);
    // The server's log events after `since` as the public sees them: those the delayed state had,
    // without auth ids. False while that state is not yet the delay old.
    bool public_events(const std::string &name, uint64_t since, std::string *text);

    // A viewer's request for a source's controls; anything else (another server, a bad number) is
    // ignored.
    struct ReplayControl {
        int play = -1;        // 1 play, 0 pause, -1 unchanged
        double speed = 0;     // 0: unchanged
        double seek_ms = -1;  // negative: unchanged
    };
    void control_replay(const std::string &name, const ReplayControl &control);

    // A recording of the recording directory replayed on request (null without --record).
    ReplaysOnDemand *replays_on_demand() { return on_demand_.get(); }
    // The servers the public view lists: not the replays opened on request.
    std::vector<const Source *> public_servers() const;
    bool shown_to_public(const std::string &name) const { return !on_demand_ || !on_demand_->serves(name); }

    // The log receiver's counters for /metrics; empty without --log-listen.
    std::string log_metrics() const { return log_receiver_ ? log_receiver_->metrics_text() : std::string(); }
    int log_port() const { return log_receiver_ ? log_receiver_->port() : 0; }

    void add_viewer(const std::shared_ptr<Viewer> &viewer) { viewers_.add(viewer); }
    void remove_viewer(const Viewer *viewer) { viewers_.remove(viewer); }

    // Keeps count of the HTTP and WebSocket connections; false when no more may be opened.
    static bool may_open(size_t open) { return open < kMaxConnections; }
    bool may_open() const { return may_open(connections_.size()); }
    void opened(Closable *connection) { connections_.insert(connection); }
    void closed(Closable *connection) { connections_.erase(connection); }

    // The history's thread, null without --history.
    history::HistoryWriter *history() { return history_.get(); }

    // The remote console of each watched server.
    rcon::Links &rcon() { return rcon_; }

private:
    void configure_rcon();
    bool watch(const ServerAddress &address);
    bool add_replay(const std::string &path, std::string *error);
    void start_replays_on_demand();
    size_t watchers_of(const std::string &name) const;
    void unwatch(const std::string &name);
    void changed(const std::string &name);
    void take_log(const std::string &name, const std::string &text);
    void list_changed();
    void pictures_changed();
    void push_list_later();
    bool start_access(std::string *error);
    bool start_history(std::string *error);
    void keep_history(const std::string &name, const Source &source, uint64_t after_seq);
    void users_changed(std::vector<access::User> from_file);
    void push_public_later();

    boost::asio::io_context &io_;
    Options options_;
    ServerRegistry registry_;
    ViewerHub viewers_;
    std::unique_ptr<ConfigWatcher> config_;            // with --config
    std::unique_ptr<Recorder> recorder_;               // with --record
    std::unique_ptr<log::LogReceiver> log_receiver_;   // with --log-listen
    std::unique_ptr<Alerts> alerts_;                   // with --alerts
    std::unique_ptr<history::HistoryWriter> history_;  // with --history
    std::map<std::string, std::unique_ptr<history::HistoryTap>> history_taps_;
    std::unique_ptr<ReplaysOnDemand> on_demand_;  // with --record
    std::map<std::string, std::unique_ptr<AlertTap>> alert_taps_;
    RecordingFiles::WriteHook before_write_;
    std::map<std::string, std::shared_ptr<const std::string>> state_messages_;  // absent: to be rendered
    std::shared_ptr<const std::string> list_message_;
    boost::asio::steady_timer list_timer_;
    bool list_push_due_ = false;
    std::set<Closable *> connections_;
    std::unique_ptr<maps::MapLibrary> maps_;
    std::map<std::string, ServerAddress> watched_;  // what the rcon links are made from
    rcon::Links rcon_;
    rcon::LinksConsole rcon_console_{rcon_};  // what actions are sent through

    access::Users users_;
    std::unique_ptr<access::UsersWatcher> users_watcher_;  // with --users
    access::CsrfKey csrf_;
    std::unique_ptr<audit::AuditLog> audit_;
    std::unique_ptr<actions::ActionDesk> desk_;
    access::PublicDelay public_;
    std::map<std::string, std::pair<std::shared_ptr<const std::string>, std::shared_ptr<const std::string>>>
        public_messages_;  // each server's delayed detail and the message made of it
    boost::asio::steady_timer public_timer_;
};

}  // namespace web
