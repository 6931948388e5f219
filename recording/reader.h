// Reading a recording back (version 1 or 2): the header and every whole entry, checked. A torn
// last entry (a write cut off by a crash) is ignored and said where; anything else wrong is one
// error naming the file and the byte offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "recording/format.h"

namespace recording {

struct Entry {
    uint32_t arrival_ms;
    size_t offset;  // of the entry's bytes (a record or a log line) in the file
    uint32_t size;
    EntryKind kind = EntryKind::record;
};

struct Recording {
    std::string name;  // the file's path, for messages
    std::string data;  // the whole file
    Header header;
    uint16_t version = 0;
    std::vector<Entry> entries;  // records and log lines, in the order they arrived
    size_t torn_offset = 0;      // where the ignored torn tail starts; 0: none

    // The entry's bytes: a record, or the text of a server log line.
    std::string_view record(size_t index) const {
        return std::string_view(data).substr(entries[index].offset, entries[index].size);
    }
    bool is_log_line(size_t index) const { return entries[index].kind == EntryKind::log_line; }
    uint32_t length_ms() const { return entries.empty() ? 0 : entries.back().arrival_ms; }
    // The note to show about an ignored tail; "" when there is none.
    std::string torn_note() const;
};

// Checks the bytes of a whole file; `name` goes into the error ("NAME: byte N: what").
bool parse_recording(std::string data, const std::string &name, Recording *recording, std::string *error);
// Reads the file and checks it.
bool read_recording(const std::string &path, Recording *recording, std::string *error);

}  // namespace recording
