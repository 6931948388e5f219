#include "web/recording_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "recording/format.h"
#include "web/wall_clock.h"

namespace web {
namespace {

// "20250101T120000.123Z": the UTC start time every file name the recorder writes begins with.
const size_t kStampLength = 20;

bool is_recording_name(const std::string &name) { return recording::has_file_suffix(name) && name[0] != '.'; }

std::string stamp_of(const std::string &name) {
    if (name.size() < kStampLength)
        return "";
    for (size_t at = 0; at < kStampLength; ++at) {
        const char c = name[at];
        const bool fits = at == 8    ? c == 'T'
                          : at == 15 ? c == '.'
                          : at == 19 ? c == 'Z'
                                     : std::isdigit(static_cast<unsigned char>(c));
        if (!fits)
            return "";
    }
    return name.substr(0, kStampLength);
}

uint64_t file_size(const std::string &path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? static_cast<uint64_t>(status.st_size) : 0;
}

std::vector<std::string> names_in(const std::string &directory) {
    std::vector<std::string> found;
    if (DIR *listing = ::opendir(directory.c_str())) {
        while (const dirent *entry = ::readdir(listing))
            if (is_recording_name(entry->d_name))
                found.push_back(entry->d_name);
        ::closedir(listing);
    }
    std::sort(found.begin(), found.end(), RecordingFiles::older);
    return found;
}

}  // namespace

// A map name from the network, made safe for a file name.
std::string file_part(const std::string &text) {
    std::string part;
    for (char c : text.substr(0, 64))
        part += (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.') ? c : '_';
    return part.empty() ? "unknown" : part;
}

RecordingFiles::RecordingFiles(std::string directory, uint64_t max_bytes, WriteHook before_write)
    : directory_(std::move(directory)), max_bytes_(max_bytes), before_write_(std::move(before_write)) {}

bool RecordingFiles::older(const std::string &name, const std::string &other) {
    const std::string mine = stamp_of(name), theirs = stamp_of(other);
    return mine != theirs ? mine < theirs : name < other;
}

bool RecordingFiles::prepare(std::string *error) {
    if (::mkdir(directory_.c_str(), 0700) != 0 && errno != EEXIST) {
        *error = directory_ + ": cannot create: " + std::strerror(errno);
        return false;
    }
    struct stat status {};
    if (::stat(directory_.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        *error = directory_ + ": not a directory";
        return false;
    }
    total_bytes_ = 0;
    files_.clear();
    for (const std::string &name : names_in(directory_)) {
        const uint64_t size = file_size(directory_ + "/" + name);
        files_[name] = size;
        total_bytes_ += size;
    }
    keep_under_limit();
    return true;
}

std::vector<std::string> RecordingFiles::list(const std::string &directory) {
    std::vector<std::string> paths;
    for (const std::string &name : names_in(directory)) {
        std::string path = directory;
        path.append("/").append(name);
        paths.push_back(std::move(path));
    }
    return paths;
}

std::string RecordingFiles::current_file(const std::string &server) const {
    const auto found = servers_.find(server);
    return found == servers_.end() || !found->second->writer.is_open() ? "" : found->second->writer.path();
}

void RecordingFiles::add(const std::string &name, const std::string &address, RecordText record,
                         Clock::time_point arrived) {
    std::unique_ptr<Server> &server = servers_[name];
    if (!server)
        server = std::make_unique<Server>();
    if (server->failed)
        return;
    server->address = address;
    take(name, *server, {std::move(record), arrived});
}

void RecordingFiles::forget(const std::string &name) { servers_.erase(name); }

void RecordingFiles::sync_all(Clock::time_point now) {
    for (auto &entry : servers_) {
        std::string error;
        if (entry.second->writer.is_open() && !entry.second->writer.sync_due(now, &error))
            fail(entry.first, *entry.second, error);
    }
}

// A new file at the first map and at every change of map; until the map is known, records wait.
void RecordingFiles::take(const std::string &name, Server &server, Held record) {
    const size_t held_lines = static_cast<size_t>(
        std::count_if(server.held.begin(), server.held.end(), [](const Held &held) { return held.record.log_line; }));
    // A log alone opens no file (the plug-in's records say what is played); its lines wait as many.
    if (record.record.log_line && !server.writer.is_open()) {
        if (held_lines < kHeldRecords)
            server.held.push_back(std::move(record));
        return;
    }
    const bool new_map = record.record.server && record.record.map != server.map;
    if (new_map || (!server.writer.is_open() && server.held.size() - held_lines >= kHeldRecords)) {
        const std::string map = new_map ? record.record.map : server.map;
        const Clock::time_point started = server.held.empty() ? record.arrived : server.held.front().arrived;
        if (!open_file(name, server, map, started))
            return;
        for (const Held &held : server.held)
            write(name, server, held);
        server.held.clear();
    }
    if (server.writer.is_open())
        write(name, server, record);
    else
        server.held.push_back(std::move(record));
}

bool RecordingFiles::open_file(const std::string &name, Server &server, const std::string &map,
                               Clock::time_point started) {
    server.writer.close();
    server.map = map;
    recording::Header header;
    header.server = name;
    header.address = server.address;
    header.map = map;
    header.writer = "orlex_web";
    header.start_ms = wall_ms(started);
    const std::string path = new_path(name, map);
    std::string error;
    if (before_write_)
        before_write_();
    if (!server.writer.create(path, header, started, &error)) {
        fail(name, server, error);
        return false;
    }
    const std::string file = path.substr(directory_.size() + 1);
    files_[file] = server.writer.size();
    owners_[file] = name;
    total_bytes_ += server.writer.size();
    server.bytes += server.writer.size();
    return true;
}

void RecordingFiles::write(const std::string &name, Server &server, const Held &record) {
    const uint64_t before = server.writer.size();
    std::string error;
    if (before_write_)
        before_write_();
    const bool written = record.record.log_line
                             ? server.writer.append_log_line(record.record.text, record.arrived, &error)
                             : server.writer.append(record.record.text, record.arrived, &error);
    total_bytes_ += server.writer.size() - before;
    server.bytes += server.writer.size() - before;
    if (!written)
        return fail(name, server, error);
    if (server.bytes > share())
        keep_share(server);
    if (total_bytes_ > max_bytes_)
        keep_under_limit();
}

void RecordingFiles::fail(const std::string &name, Server &server, const std::string &error) {
    std::fprintf(stderr, "orlex_web: recording %s: %s; recording stops for this server, watching goes on\n",
                 name.c_str(), error.c_str());
    server.failed = true;
    server.held.clear();
    server.writer.close();
}

uint64_t RecordingFiles::share() const {
    size_t recorded = 0;
    for (const auto &entry : servers_)
        recorded += entry.second->failed ? 0 : 1;
    return max_bytes_ / std::min(std::max<size_t>(recorded, 1), kMostShares);
}

RecordingFiles::Server *RecordingFiles::owner_of(const std::string &file) const {
    const auto owner = owners_.find(file);
    const auto server = owner == owners_.end() ? servers_.end() : servers_.find(owner->second);
    return server == servers_.end() ? nullptr : server->second.get();
}

// A file being written goes too when nothing else is left, its server going on in a new file.
// Sizes come from the file itself: an open one has grown since it was counted.
void RecordingFiles::delete_file(const std::string &file) {
    const std::string path = directory_ + "/" + file;
    for (auto &entry : servers_) {
        Server &server = *entry.second;
        if (server.writer.is_open() && server.writer.path() == path)
            open_file(entry.first, server, server.map, Clock::now());
    }
    const uint64_t size = file_size(path);
    Server *owner = owner_of(file);
    files_.erase(file);
    owners_.erase(file);
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) {
        total_bytes_ -= std::min(total_bytes_, size);
        if (owner)
            owner->bytes -= std::min(owner->bytes, size);
    }
}

// Its own oldest files only; only the files there now, so that a file opened in place of one
// deleted is never deleted in turn.
void RecordingFiles::keep_share(Server &server) {
    std::vector<std::string> own;
    for (const auto &entry : files_)
        if (owner_of(entry.first) == &server)
            own.push_back(entry.first);
    for (size_t at = 0; at < own.size() && server.bytes > share(); ++at)
        delete_file(own[at]);
}

std::string RecordingFiles::next_to_delete() const {
    const Server *largest = nullptr;
    for (const auto &entry : servers_)
        if (!largest || entry.second->bytes > largest->bytes)
            largest = entry.second.get();
    std::string oldest_of_largest;
    for (const auto &entry : files_) {
        const Server *owner = owner_of(entry.first);
        if (!owner)
            return entry.first;  // of an earlier run, or of a server no longer recorded
        if (owner == largest && oldest_of_largest.empty())
            oldest_of_largest = entry.first;
    }
    return oldest_of_largest;
}

void RecordingFiles::keep_under_limit() {
    for (size_t left = files_.size(); left > 0 && total_bytes_ > max_bytes_ && !files_.empty(); --left) {
        const std::string file = next_to_delete();
        if (file.empty())
            break;
        delete_file(file);
    }
}

// DIR/20250101T120000.123Z_SERVER_MAP.orlexrec: UTC, so that names sort by time in any zone; a
// name taken already gets _002, _003 ... before the suffix, which sorts after the original.
std::string RecordingFiles::new_path(const std::string &server, const std::string &map) const {
    const int64_t now_ms = unix_ms_now();
    const std::time_t seconds = static_cast<std::time_t>(now_ms / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof(stamp), "%Y%m%dT%H%M%S", &utc);
    char millis[8];
    std::snprintf(millis, sizeof(millis), ".%03dZ", static_cast<int>(now_ms % 1000));
    const std::string base = directory_ + "/" + stamp + millis + "_" + server + "_" + file_part(map);
    std::string path = base + recording::kFileSuffix;
    for (int copy = 2; ::access(path.c_str(), F_OK) == 0 && copy < 1000; ++copy) {
        char suffix[8];
        std::snprintf(suffix, sizeof(suffix), "_%03d", copy);
        path = base + suffix + recording::kFileSuffix;
    }
    return path;
}

}  // namespace web
