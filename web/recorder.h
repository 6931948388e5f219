// orlex_web --record DIR: every record each watched server sends, byte for byte with its arrival
// time, in one file per server and map (a new file when the map changes), named so that a listing
// sorts by time; the directory kept under its size limit, the oldest files going first. A write
// error is logged once and ends the recording of that server; watching goes on.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "recording/writer.h"
#include "stream/records.h"

namespace web {

class Recorder {
public:
    using Clock = std::chrono::steady_clock;
    // Records held while a server's map is unknown (its SERVER record comes within seconds).
    static constexpr size_t kHeldRecords = 64;
    static constexpr std::chrono::milliseconds kSyncInterval = recording::Writer::kSyncInterval;

    Recorder(std::string directory, uint64_t max_bytes);
    // Creates the directory when missing and counts what it holds; false with the reason.
    bool prepare(std::string *error);

    // Bytes off a server's connection, as they arrived.
    void add(const std::string &server, const std::string &address, const char *data, size_t size,
             Clock::time_point arrived);
    // The server's connection ended: a record cut off by it is not kept.
    void connection_ended(const std::string &server);
    // Syncs each file written to in the last second; called once a second.
    void sync_all(Clock::time_point now);
    // The server is no longer watched: its file is closed.
    void forget(const std::string &server);

    // The file a server is being recorded to; "" when none.
    std::string current_file(const std::string &server) const;
    // The recording files in the directory, oldest first.
    std::vector<std::string> files() const;

private:
    struct Held {
        std::string text;
        Clock::time_point arrived;
    };
    struct Server {
        std::string address;
        records::RecordStream split;
        recording::Writer writer;
        std::string map;
        std::vector<Held> held;  // before the first file opens
        bool failed = false;
    };

    void take(const std::string &name, Server &server, Held record);
    bool open_file(const std::string &name, Server &server, const std::string &map, Clock::time_point started);
    void write(const std::string &name, Server &server, const Held &record);
    void fail(const std::string &name, Server &server, const std::string &error);
    void keep_under_limit();
    std::string new_path(const std::string &server, const std::string &map) const;

    std::string directory_;
    uint64_t max_bytes_;
    uint64_t total_bytes_ = 0;  // of the recording files in the directory
    std::map<std::string, std::unique_ptr<Server>> servers_;
};

}  // namespace web
