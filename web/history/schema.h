// The history's layout, one migration per version, in each database's own words: SQLite counts
// them in PRAGMA user_version, PostgreSQL in the history_schema table.
#pragma once

#include <string>

#include "web/history/sql.h"

namespace web::history {

// The newest version this program writes.
int schema_version();
// Brings the database to schema_version() in one transaction; one newer than that is left
// untouched and named in the error with both versions. Two gateways starting at once on one
// PostgreSQL database take turns.
bool migrate(Connection &db, const std::string &label, std::string *error);

}  // namespace web::history
