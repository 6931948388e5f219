// What a genuine plug-in can send in one record, and the check that holds a record to it. A record
// over a limit is dropped whole by every reader: folding it could cost a reader far more memory and
// time than any real server's record does (a table's cells grow as entities times keys).
#pragma once

#include <cstddef>
#include <string>

#include "stream/records.h"

namespace records {

// The plug-in builds each record in a 5000-byte buffer, its terminating NUL included.
constexpr size_t kMostRecordBytes = 4999;
// A PLAYER record has 21 keys and a SERVER record 14: room for a few more, not for thousands.
constexpr size_t kMostKeys = 32;
// The engine's player slots; also the bound on a value record's list (TEAM_NAMES).
constexpr size_t kMostPlayers = 32;

// The entities a record of this kind holds at most: each objective builder's working table, the
// player slots for PLAYER and every other kind.
size_t most_entities(const std::string &kind);

enum class Excess { none, bytes, entities, keys };

// Which limit the record breaks, if any. The record's text is looked at even when it did not parse.
Excess excess(const Record &record);
// "4999 bytes" and the like, for a log line.
std::string describe(Excess excess, const Record &record);

}  // namespace records
