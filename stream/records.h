// Parsing the plug-in's report stream: records split out of a byte stream (whatever the reads'
// boundaries), each into its kind and its key lines. Shared by every reader of the stream.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace records {

// One record: "TYPE\t<kind>\n", key lines, an empty line.
struct Record {
    std::string text;  // the whole record as received
    std::string type;
    // Each key line: the key and the fields after it. A value line has one field (none when its
    // value is empty); a table line has one field per entity.
    std::vector<std::pair<std::string, std::vector<std::string>>> lines;

    // The fields of a key (its first line when it comes twice), or null when the record has no
    // such line. Looked up in the index parse_record builds, so a cell costs the same however many
    // keys the record holds.
    const std::vector<std::string> *fields(const std::string &key) const;
    // The first field of a key; "" when absent or empty.
    std::string value(const std::string &key) const;
    // Number of entities of a table record (fields of its first key line).
    size_t entities() const { return lines.empty() ? 0 : lines.front().second.size(); }

    // Where each key's first line is in `lines`; parse_record fills it.
    std::unordered_map<std::string, size_t> keys;
};

// Parses one record's text (ending with its empty line); false when it is not well formed: no
// "TYPE\t" head line, an empty line before the end, or text after it. Either way the record keeps
// the text; one that is not well formed has an empty type and no lines.
bool parse_record(const std::string &text, Record *record);

// Collects bytes as they arrive and hands out complete records in order. Bounded: more than
// kLongestPending bytes without a record end breaks the stream (overflowed()) until reset(), and
// what it held is dropped. Each look for a record end starts where the last one stopped.
class RecordStream {
public:
    // A record is at most 5000 bytes: this much without a record's end is garbage.
    static constexpr size_t kLongestPending = size_t{64} * 1024;

    // Ignored while the stream is broken. Take the records out after each feed: what is held is
    // then at most kLongestPending plus one feed.
    void feed(const char *data, size_t size);
    void feed(const std::string &data) { feed(data.data(), data.size()); }
    // The next complete record's text, if one has arrived.
    bool next_text(std::string *text);
    // The next complete record, parsed; a record that does not parse is skipped and counted.
    bool next(Record *record);
    // The next complete record, parsed or not (then its type is empty; counted as malformed). One
    // longer than any genuine record (kMostRecordBytes) is not parsed nor counted as malformed: it
    // keeps its text alone, for the limits' check to drop.
    bool next_any(Record *record);
    size_t malformed() const { return malformed_; }
    // Bytes received that do not yet form a whole record.
    size_t pending() const { return buffer_.size() - start_; }
    // More than kLongestPending bytes came without a record end.
    bool overflowed() const { return overflowed_; }
    // Why a broken stream broke, for a message.
    static std::string overflow_reason();
    // A new connection: a record cut off by the last one's end is dropped and the stream works
    // again; the count of malformed records is kept.
    void reset();

private:
    std::string buffer_;
    size_t start_ = 0;    // the first byte not handed out yet
    size_t scanned_ = 0;  // bytes from start_ on known to hold no record end
    size_t malformed_ = 0;
    bool overflowed_ = false;
};

}  // namespace records
