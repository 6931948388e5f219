// One PostgreSQL connection (libpq), for a history that several gateways share.
#pragma once

#include <memory>
#include <string>

#include "web/history/sql.h"

namespace web::history {

// `dsn`: a postgresql:// URL or "key=value" words, as libpq takes them. It may hold a password:
// it is never part of an error, which names the database by host and name only.
std::unique_ptr<Connection> open_postgresql(const std::string &dsn, std::string *error);

// The database as errors and log lines may name it: never the password.
std::string postgresql_label(const std::string &dsn);

// A password in `dsn` (false for one that does not parse: libpq says why when it connects).
bool postgresql_has_password(const std::string &dsn);

}  // namespace web::history
