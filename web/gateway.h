// The gateway: the watched servers, the viewers, and the pushes between them, on one event loop.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "web/closable.h"
#include "web/options.h"
#include "web/recorder.h"
#include "web/replay.h"
#include "web/upstream.h"

namespace web {

class Viewer;

class Gateway {
public:
    // Open HTTP and WebSocket connections beyond this are refused at once.
    static constexpr size_t kMaxConnections = 2000;
    // The server list is pushed at most this often (a state, as its records arrive).
    static constexpr std::chrono::milliseconds kListInterval{1000};

    Gateway(boost::asio::io_context &io, const Options &options);
    // Starts watching every server given; reads the configuration file again as it changes.
    // False with the reason when the recording directory cannot be used or a recording to replay
    // cannot be read.
    bool start(std::string *error);
    // Stops watching and ends every connection, so that the event loop runs out of work.
    void stop();

    const std::string &token() const { return options_.token; }
    std::vector<const ServerState *> servers() const;
    const ServerState *find(const std::string &name) const;

    // The messages pushed to viewers, rendered once for all of them.
    std::shared_ptr<const std::string> servers_message();
    std::shared_ptr<const std::string> state_message(const std::string &name);

    // A viewer's request for a replay; anything else (another server, a bad number) is ignored.
    struct ReplayControl {
        int play = -1;       // 1 play, 0 pause, -1 unchanged
        double speed = 0;    // 0: unchanged
        double seek_ms = -1; // negative: unchanged
    };
    void control_replay(const std::string &name, const ReplayControl &control);

    void add_viewer(Viewer *viewer) { viewers_.insert(viewer); }
    void remove_viewer(Viewer *viewer) { viewers_.erase(viewer); }

    // Keeps count of the HTTP and WebSocket connections; false when no more may be opened.
    static bool may_open(size_t open) { return open < kMaxConnections; }
    bool may_open() const { return may_open(connections_.size()); }
    void opened(Closable *connection) { connections_.insert(connection); }
    void closed(Closable *connection) { connections_.erase(connection); }

private:
    struct Watched {
        std::shared_ptr<Source> source;
        std::shared_ptr<Replay> replay;  // when served from a recording
        std::shared_ptr<const std::string> message;  // null: to be rendered again
    };

    void watch(const ServerAddress &address);
    bool add_replay(const std::string &path, std::string *error);
    void serve(const std::string &name, std::shared_ptr<Source> source, std::shared_ptr<Replay> replay);
    void unwatch(const std::string &name);
    void changed(const std::string &name);
    void push_list_later();
    void reload_config();
    void sync_recordings_later();
    void apply_config(const std::vector<ServerAddress> &wanted);

    boost::asio::io_context &io_;
    Options options_;
    std::map<std::string, Watched> watched_;
    std::vector<std::string> order_;  // as given: the list's order
    std::set<Viewer *> viewers_;
    std::shared_ptr<const std::string> list_message_;
    boost::asio::steady_timer list_timer_;
    bool list_push_due_ = false;
    boost::asio::steady_timer config_timer_;
    std::string config_text_;
    bool config_readable_ = true;  // its loss is logged once
    std::vector<std::string> config_names_;  // the servers that came from the file
    std::set<Closable *> connections_;
    std::unique_ptr<Recorder> recorder_;  // with --record
    boost::asio::steady_timer sync_timer_;
};

}  // namespace web
