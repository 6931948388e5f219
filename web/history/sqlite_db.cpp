#include "web/history/sqlite_db.h"

#include <sqlite3.h>

#include <utility>

namespace web::history {

Statement::Statement(sqlite3 *db, const char *sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement_);
        statement_ = nullptr;
        failed_ = true;
    }
}

Statement::~Statement() { sqlite3_finalize(statement_); }

Statement::Statement(Statement &&other) noexcept
    : statement_(std::exchange(other.statement_, nullptr)), next_(other.next_), failed_(other.failed_) {}

Statement &Statement::operator=(Statement &&other) noexcept {
    if (this != &other) {
        sqlite3_finalize(statement_);
        statement_ = std::exchange(other.statement_, nullptr);
        next_ = other.next_;
        failed_ = other.failed_;
    }
    return *this;
}

Statement &Statement::bind(int64_t value) {
    if (statement_ && sqlite3_bind_int64(statement_, next_++, value) != SQLITE_OK)
        failed_ = true;
    return *this;
}

Statement &Statement::bind(const std::string &text) {
    if (statement_ && sqlite3_bind_text(statement_, next_++, text.data(), static_cast<int>(text.size()),
                                        SQLITE_TRANSIENT) != SQLITE_OK)
        failed_ = true;
    return *this;
}

Statement &Statement::bind_null() {
    if (statement_ && sqlite3_bind_null(statement_, next_++) != SQLITE_OK)
        failed_ = true;
    return *this;
}

Statement &Statement::bind_optional(bool known, double value) {
    if (!known)
        return bind_null();
    if (statement_ && sqlite3_bind_double(statement_, next_++, value) != SQLITE_OK)
        failed_ = true;
    return *this;
}

bool Statement::step() {
    if (!statement_)
        return false;
    const int result = sqlite3_step(statement_);
    if (result == SQLITE_ROW)
        return true;
    if (result != SQLITE_DONE)
        failed_ = true;
    return false;
}

bool Statement::run() {
    while (step()) {
    }
    const bool good = statement_ && !failed_;
    reset();
    return good;
}

void Statement::reset() {
    if (!statement_)
        return;
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
    next_ = 1;
    failed_ = false;
}

int64_t Statement::integer(int column) const { return sqlite3_column_int64(statement_, column); }
double Statement::real(int column) const { return sqlite3_column_double(statement_, column); }
bool Statement::is_null(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }

std::string Statement::text(int column) const {
    const unsigned char *bytes = sqlite3_column_text(statement_, column);
    return bytes ? std::string(reinterpret_cast<const char *>(bytes),
                               static_cast<size_t>(sqlite3_column_bytes(statement_, column)))
                 : std::string();
}

Database::~Database() { sqlite3_close_v2(db_); }

bool Database::open(const std::string &path, bool read_only, std::string *error) {
    const int flags = read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    if (sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db_, 5000);
        return true;
    }
    *error = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close_v2(db_);
    db_ = nullptr;
    return false;
}

bool Database::execute(const std::string &sql, std::string *error) {
    char *message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    if (error)
        *error = message ? message : sqlite3_errmsg(db_);
    sqlite3_free(message);
    return false;
}

int64_t Database::single_integer(const char *sql) {
    Statement statement(db_, sql);
    return statement.step() ? statement.integer(0) : -1;
}

std::string Database::last_error() const { return db_ ? sqlite3_errmsg(db_) : "not open"; }
int64_t Database::last_row() const { return sqlite3_last_insert_rowid(db_); }

Transaction::Transaction(Database &db) : db_(db), open_(db.execute("BEGIN IMMEDIATE")) {}

Transaction::~Transaction() {
    if (open_)
        db_.execute("ROLLBACK");
}

bool Transaction::commit() {
    if (!open_)
        return false;
    open_ = false;
    return db_.execute("COMMIT");
}

}  // namespace web::history
