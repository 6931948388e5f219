#include "stream/records.h"

namespace records {

const std::vector<std::string> *Record::fields(const std::string &key) const {
    for (const auto &line : lines)
        if (line.first == key)
            return &line.second;
    return nullptr;
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

bool parse_record(const std::string &text, Record *record) {
    if (text.size() < 2 || text.compare(text.size() - 2, 2, "\n\n") != 0)
        return false;
    const size_t end = text.size() - 1;  // the closing empty line starts here
    if (text.find("\n\n") != end - 1)
        return false;
    *record = Record();
    record->text = text;
    size_t start = 0;
    for (size_t newline; start < end; start = newline + 1) {
        newline = text.find('\n', start);
        std::vector<std::string> parts = split_tabs(text.substr(start, newline - start));
        if (start == 0) {
            if (parts.size() != 2 || parts[0] != "TYPE" || parts[1].empty())
                return false;
            record->type = parts[1];
            continue;
        }
        const std::string key = parts.front();
        parts.erase(parts.begin());
        if (!parts.empty() && parts.back().empty())  // a table line's trailing tab, or an empty value
            parts.pop_back();
        record->lines.emplace_back(key, std::move(parts));
    }
    return !record->type.empty();
}

void RecordStream::feed(const char *data, size_t size) { buffer_.append(data, size); }

bool RecordStream::next_text(std::string *text) {
    const size_t end = buffer_.find("\n\n");
    if (end == std::string::npos)
        return false;
    *text = buffer_.substr(0, end + 2);
    buffer_.erase(0, end + 2);
    return true;
}

bool RecordStream::next(Record *record) {
    std::string text;
    while (next_text(&text)) {
        if (parse_record(text, record))
            return true;
        ++malformed_;
    }
    return false;
}

}  // namespace records
