#include "stream/records.h"

#include "stream/record_limits.h"

namespace records {

const std::vector<std::string> *Record::fields(const std::string &key) const {
    const auto found = keys.find(key);
    return found == keys.end() ? nullptr : &lines[found->second].second;
}

std::string Record::value(const std::string &key) const {
    const std::vector<std::string> *found = fields(key);
    return found && !found->empty() ? found->front() : std::string();
}

static std::vector<std::string> split_tabs(const std::string &line) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        parts.push_back(line.substr(start, tab - start));
    parts.push_back(line.substr(start));
    return parts;
}

static bool malformed(Record *record) {
    record->type.clear();
    record->lines.clear();
    record->keys.clear();
    return false;
}

bool parse_record(const std::string &text, Record *record) {
    record->text = text;
    record->type.clear();
    record->lines.clear();
    record->keys.clear();
    if (text.size() < 2 || text.compare(text.size() - 2, 2, "\n\n") != 0)
        return false;
    const size_t end = text.size() - 1;  // the closing empty line starts here
    if (text.find("\n\n") != end - 1)
        return false;
    size_t start = 0;
    for (size_t newline; start < end; start = newline + 1) {
        newline = text.find('\n', start);
        std::vector<std::string> parts = split_tabs(text.substr(start, newline - start));
        if (start == 0) {
            if (parts.size() != 2 || parts[0] != "TYPE" || parts[1].empty())
                return malformed(record);
            record->type = parts[1];
            continue;
        }
        const std::string key = parts.front();
        parts.erase(parts.begin());
        if (!parts.empty() && parts.back().empty())  // a table line's trailing tab, or an empty value
            parts.pop_back();
        record->keys.emplace(key, record->lines.size());  // the first line of a key is the one read
        record->lines.emplace_back(key, std::move(parts));
    }
    return !record->type.empty();
}

void RecordStream::feed(const char *data, size_t size) {
    if (!overflowed_)
        buffer_.append(data, size);
}

bool RecordStream::next_text(std::string *text) {
    // A record end found across two feeds: its first line end may be the last byte scanned.
    const size_t from = start_ + (scanned_ > 0 ? scanned_ - 1 : 0);
    const size_t end = buffer_.find("\n\n", from);
    if (end == std::string::npos) {
        scanned_ = pending();
        if (scanned_ > kLongestPending) {
            overflowed_ = true;
            buffer_.clear();
            start_ = scanned_ = 0;
        }
        return false;
    }
    text->assign(buffer_, start_, end + 2 - start_);
    start_ = end + 2;
    scanned_ = 0;
    // Moved down only now and then: a read's worth of records costs one move, not one each.
    if (start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    } else if (start_ >= size_t{16} * 1024 && start_ * 2 >= buffer_.size()) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    return true;
}

bool RecordStream::next_any(Record *record) {
    std::string text;
    if (!next_text(&text))
        return false;
    if (text.size() > kMostRecordBytes) {
        record->text = std::move(text);
        record->type.clear();
        record->lines.clear();
        record->keys.clear();
        return true;
    }
    if (!parse_record(text, record))
        ++malformed_;
    return true;
}

bool RecordStream::next(Record *record) {
    while (next_any(record))
        if (!record->type.empty())
            return true;
    return false;
}

std::string RecordStream::overflow_reason() {
    return "more than " + std::to_string(kLongestPending / 1024) + " KB without a record end";
}

void RecordStream::reset() {
    buffer_.clear();
    start_ = scanned_ = 0;
    overflowed_ = false;
}

}  // namespace records
