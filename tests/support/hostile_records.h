// Record shapes a hostile server sends to make a reader's work grow: a table whose first line holds
// many entities followed by many distinct keys (cells grow as their product), and a PLAYER record
// with many entities and junk lines. Sized by the caller, within the limits or over them.
#pragma once

#include <cstddef>
#include <string>

namespace hostile {

// A table record of this kind: `keys` key lines (the first "<kind>_NUM"), each with `entities`
// cells of `cell` (or the entity's number, when `cell` is empty).
inline std::string table_record(const std::string &kind, size_t entities, size_t keys, const std::string &cell = "") {
    std::string text = "TYPE\t" + kind + "\n";
    for (size_t key = 0; key < keys; ++key) {
        text += key == 0 ? kind + "_NUM" : "K" + std::to_string(key);
        text += '\t';
        for (size_t entity = 0; entity < entities; ++entity)
            text += (cell.empty() ? std::to_string(entity) : cell) + '\t';
        text += '\n';
    }
    return text + "\n";
}

// The objective shape of the attack: an entity line of `tabs` tabs, then `keys` distinct key lines.
inline std::string tabs_then_keys(const std::string &kind, size_t tabs, size_t keys) {
    std::string text = "TYPE\t" + kind + "\n" + kind + "_NUM" + std::string(tabs, '\t') + "\n";
    for (size_t key = 0; key < keys; ++key)
        text += "J" + std::to_string(key) + "\n";
    return text + "\n";
}

// A PLAYER record: a NAMES line of `entities` empty names, then `junk` distinct junk lines.
inline std::string players_with_junk(size_t entities, size_t junk) {
    std::string text = "TYPE\tPLAYER\nNAMES" + std::string(entities + 1, '\t') + "\n";  // the last ends the line
    for (size_t line = 0; line < junk; ++line)
        text += "X" + std::to_string(line) + "\t1\t\n";
    return text + "\n";
}

}  // namespace hostile
