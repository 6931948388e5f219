#include "web/history/recording_link.h"

#include <ctime>

#include "recording/format.h"
#include "web/recording_files.h"

namespace web::history {
namespace {

// The recorder opens a map's file at its first record; the log's map line may come a little later
// or earlier.
constexpr int64_t kSlackMs = 30000;

int digits(const std::string &text, size_t at, size_t count) {
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// What follows the map in the name: the suffix, or a copy's number and the suffix ("_002.orlexrec").
bool plain_rest(const std::string &rest) {
    const std::string suffix = recording::kFileSuffix;
    if (rest == suffix)
        return true;
    return rest.size() == 4 + suffix.size() && rest[0] == '_' && digits(rest, 1, 3) >= 0 && rest.substr(4) == suffix;
}

}  // namespace

int64_t recording_stamp_ms(const std::string &name) {
    if (name.size() < 21 || name[8] != 'T' || name[15] != '.' || name[19] != 'Z' || name[20] != '_')
        return -1;
    std::tm utc{};
    utc.tm_year = digits(name, 0, 4) - 1900;
    utc.tm_mon = digits(name, 4, 2) - 1;
    utc.tm_mday = digits(name, 6, 2);
    utc.tm_hour = digits(name, 9, 2);
    utc.tm_min = digits(name, 11, 2);
    utc.tm_sec = digits(name, 13, 2);
    const int millis = digits(name, 16, 3);
    if (utc.tm_year < 0 || utc.tm_mon < 0 || utc.tm_mday < 0 || utc.tm_hour < 0 || utc.tm_min < 0 || utc.tm_sec < 0 ||
        millis < 0)
        return -1;
    return static_cast<int64_t>(timegm(&utc)) * 1000 + millis;
}

bool find_recording(const std::string &directory, const std::string &server, const std::string &map, int64_t start_ms,
                    int64_t end_ms, std::string *file, int64_t *opened_ms) {
    const std::string ending = "_" + server + "_" + RecordingFiles::map_part(map);
    bool found = false;
    for (const std::string &path : RecordingFiles::list(directory)) {  // oldest first
        const std::string name = path.substr(path.find_last_of('/') + 1);
        const int64_t stamp = recording_stamp_ms(name);
        if (stamp < 0 || name.compare(20, ending.size(), ending) != 0 || !plain_rest(name.substr(20 + ending.size())))
            continue;
        if (stamp > start_ms + kSlackMs || (end_ms > 0 && stamp >= end_ms))
            break;
        *file = name;
        *opened_ms = stamp;
        found = true;
    }
    return found;
}

}  // namespace web::history
