// The history file's layout, one migration per version (PRAGMA user_version counts them).
#pragma once

#include <string>

#include "web/history/sqlite_db.h"

namespace web::history {

// The newest version this program writes.
int schema_version();
// Brings the file to schema_version(), each step in a transaction of its own; a file newer than
// that is left untouched and named in the error with both versions.
bool migrate(Database &db, const std::string &path, std::string *error);

}  // namespace web::history
