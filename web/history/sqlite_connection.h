// One SQLite connection and its prepared statements.
#pragma once

#include <memory>
#include <string>

#include "web/history/sql.h"

namespace web::history {

// False with the reason; read_only opens an existing file for queries only.
std::unique_ptr<Connection> open_sqlite(const std::string &path, bool read_only, std::string *error);

}  // namespace web::history
