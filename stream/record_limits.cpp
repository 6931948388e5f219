#include "stream/record_limits.h"

#include <algorithm>
#include <map>

namespace records {

size_t most_entities(const std::string &kind) {
    static const std::map<std::string, size_t> objectives = {{"FLAG", 8},    {"HOSTAGE", 8},     {"BOMB", 8},
                                                             {"SENTRY", 19}, {"TELEPORTER", 19}, {"DISPENSER", 19},
                                                             {"HIVE", 8},    {"RESOURCE", 11},   {"COMMAND", 8}};
    const auto found = objectives.find(kind);
    return found == objectives.end() ? kMostPlayers : found->second;
}

Excess excess(const Record &record) {
    if (record.text.size() > kMostRecordBytes)
        return Excess::bytes;
    if (record.lines.size() > kMostKeys)
        return Excess::keys;
    const size_t most = most_entities(record.type);
    for (const auto &line : record.lines)
        if (line.second.size() > most)
            return Excess::entities;
    return Excess::none;
}

std::string describe(Excess excess, const Record &record) {
    switch (excess) {
        case Excess::bytes:
            return std::to_string(record.text.size()) + " bytes, at most " + std::to_string(kMostRecordBytes);
        case Excess::keys:
            return std::to_string(record.lines.size()) + " keys, at most " + std::to_string(kMostKeys);
        case Excess::entities: {
            size_t most = 0;
            for (const auto &line : record.lines)
                most = std::max(most, line.second.size());
            return std::to_string(most) + " entities, at most " + std::to_string(most_entities(record.type));
        }
        case Excess::none:
            break;
    }
    return "within the limits";
}

}  // namespace records
