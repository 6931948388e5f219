// One table per objective kind, its columns the record's keys.
#include <algorithm>

#include "client/cells.h"
#include "client/sections.h"
#include "stream/numbers.h"

namespace view {
namespace {

const size_t kMaxColumnWidth = 20;

// "SG_X_COORD" -> "X_COORD": the prefix of the record's first key ("SG_NUM") is the kind's.
std::vector<std::string> headings(const records::Record &record) {
    const std::string &first = record.lines.front().first;
    const size_t number = first.rfind("NUM");
    const std::string prefix = number == std::string::npos ? "" : first.substr(0, number);
    std::vector<std::string> found;
    for (const auto &line : record.lines)
        found.push_back(line.first.compare(0, prefix.size(), prefix) == 0 ? line.first.substr(prefix.size())
                                                                          : line.first);
    return found;
}

std::string shown_cell(const records::Record &record, size_t key, size_t entity) {
    const std::vector<std::string> &fields = record.lines[key].second;
    return entity < fields.size() ? short_number(fields[entity]) : "";
}

size_t column_width(const records::Record &record, const std::string &heading, size_t key) {
    size_t width = columns(printable(heading));
    for (size_t entity = 0; entity < record.entities(); ++entity)
        width = std::max(width, columns(printable(shown_cell(record, key, entity))));
    return std::min(width, kMaxColumnWidth);
}

Lines table(const std::string &kind, const records::Record &record) {
    const std::vector<std::string> heads = headings(record);
    std::vector<size_t> widths;
    for (size_t key = 0; key < heads.size(); ++key)
        widths.push_back(column_width(record, heads[key], key));
    Lines lines = {kind + "  " + std::to_string(record.entities()), ""};
    for (size_t key = 0; key < heads.size(); ++key)
        lines.back() += (key ? "  " : "") + left(heads[key], widths[key]);
    for (size_t entity = 0; entity < record.entities(); ++entity) {
        lines.push_back("");
        for (size_t key = 0; key < heads.size(); ++key)
            lines.back() += (key ? "  " : "") + left(shown_cell(record, key, entity), widths[key]);
    }
    return lines;
}

}  // namespace

Lines objective_lines(const State &state) {
    Lines lines;
    std::string empty_kinds;  // reported with nothing in them: one line for all
    for (const std::string &kind : objective_kinds()) {
        const auto found = state.objectives.find(kind);
        if (found == state.objectives.end())
            continue;
        if (found->second.lines.empty() || found->second.entities() == 0) {
            empty_kinds += " " + kind;
            continue;
        }
        if (!lines.empty())
            lines.push_back("");
        const Lines part = table(kind, found->second);
        lines.insert(lines.end(), part.begin(), part.end());
    }
    if (!empty_kinds.empty() && !lines.empty())
        lines.push_back("");
    if (!empty_kinds.empty())
        lines.push_back("None of" + empty_kinds);
    return lines;
}

}  // namespace view
