// The recording directory's files, written on the recorder's own thread: every record a watched
// server sends, byte for byte with its arrival time, and the lines of its log, in one file per server and map (a new
// file when the map changes), named by their UTC start time so that names sort by age. The directory is kept under its
// size limit by a running count of its bytes, the oldest files (by the time in their names) going first. Each server
// recorded has its share of the limit (the limit divided among them, at least a kMostShares-th), and only its own
// oldest files go when it passes it, so that one server sending much cannot delete another's; when the total passes the
// limit, files of no server recorded now go first, then the oldest of the server holding most. A write error is logged
// once and ends the recording of that server.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "recording/writer.h"
#include "stream/records.h"

namespace web {

// One whole record as the recorder keeps it: its bytes, and the map if it is a SERVER record (as
// the pipeline parsed it: the recorder never parses again). Or one line of the server's log, its
// secrets taken out already.
struct RecordText {
    std::string text;
    bool server = false;
    std::string map;
    bool log_line = false;

    static RecordText of(const records::Record &record) {
        const bool server = record.type == "SERVER";
        return {record.text, server, server ? record.value("MAP_NAME") : std::string(), false};
    }
    static RecordText of_log_line(std::string text) { return {std::move(text), false, std::string(), true}; }
};

std::string file_part(const std::string &text);

class RecordingFiles {
public:
    using Clock = std::chrono::steady_clock;
    // Records held while a server's map is unknown (its SERVER record comes within seconds); as
    // many of its log lines besides.
    static constexpr size_t kHeldRecords = 64;
    // A server's share is never smaller than this part of the limit.
    static constexpr size_t kMostShares = 16;
    // Called before each write to the disk; tests make it slow.
    using WriteHook = std::function<void()>;

    RecordingFiles(std::string directory, uint64_t max_bytes, WriteHook before_write = {});
    // Creates the directory when missing and counts what it holds; false with the reason.
    bool prepare(std::string *error);

    // One whole record off a server's connection, as it arrived.
    void add(const std::string &server, const std::string &address, RecordText record, Clock::time_point arrived);
    // Syncs each file written to in the last second; called once a second.
    void sync_all(Clock::time_point now);
    // The server is no longer recorded: its file is closed.
    void forget(const std::string &server);

    // The file a server is being recorded to; "" when none.
    std::string current_file(const std::string &server) const;
    uint64_t total_bytes() const { return total_bytes_; }
    // What each server recorded now may keep.
    uint64_t share() const;
    // The recording files in the directory, oldest first.
    std::vector<std::string> files() const { return list(directory_); }
    // The recording files in a directory, oldest first (by the time in their names).
    static std::vector<std::string> list(const std::string &directory);
    // The order files go in: by the UTC time a name starts with (names without one first), then
    // by name, which puts a collision's suffix after the original.
    static bool older(const std::string &name, const std::string &other);
    // A map's name as a file name holds it, after the time and the server's name.
    static std::string map_part(const std::string &map) { return file_part(map); }

private:
    struct Held {
        RecordText record;
        Clock::time_point arrived;
    };
    struct Server {
        std::string address;
        recording::Writer writer;
        std::string map;
        std::vector<Held> held;  // before the first file opens
        bool failed = false;
        uint64_t bytes = 0;  // of its files in the directory
    };
    struct Older {
        bool operator()(const std::string &a, const std::string &b) const { return older(a, b); }
    };

    void take(const std::string &name, Server &server, Held record);
    bool open_file(const std::string &name, Server &server, const std::string &map, Clock::time_point started);
    void write(const std::string &name, Server &server, const Held &record);
    void fail(const std::string &name, Server &server, const std::string &error);
    void keep_under_limit();
    void keep_share(Server &server);
    // The file to go next when the total is over the limit; "" when none.
    std::string next_to_delete() const;
    void delete_file(const std::string &file);
    Server *owner_of(const std::string &file) const;
    std::string new_path(const std::string &server, const std::string &map) const;

    std::string directory_;
    uint64_t max_bytes_;
    WriteHook before_write_;
    uint64_t total_bytes_ = 0;  // of the recording files in the directory
    // The files counted in total_bytes_, oldest first (names within the directory), with their sizes
    // as last known; an open file's grows as it is written.
    std::map<std::string, uint64_t, Older> files_;
    std::map<std::string, std::string> owners_;  // file -> the server that wrote it in this run
    std::map<std::string, std::unique_ptr<Server>> servers_;
};

}  // namespace web
