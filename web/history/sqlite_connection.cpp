#include "web/history/sqlite_connection.h"

#include <sqlite3.h>

namespace web::history {
namespace {

class SqliteStatement final : public Statement {
public:
    SqliteStatement(sqlite3 *db, const std::string &sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement_, nullptr) != SQLITE_OK) {
            sqlite3_finalize(statement_);
            statement_ = nullptr;
            failed_ = true;
        }
    }
    ~SqliteStatement() override { sqlite3_finalize(statement_); }
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    Statement &bind(int64_t value) override { return check(sqlite3_bind_int64(statement_, next_++, value)); }
    Statement &bind(const std::string &text) override {
        return check(
            sqlite3_bind_text(statement_, next_++, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT));
    }
    Statement &bind_null() override { return check(sqlite3_bind_null(statement_, next_++)); }
    Statement &bind_real(double value) override { return check(sqlite3_bind_double(statement_, next_++, value)); }

    bool step() override {
        if (!statement_)
            return false;
        const int result = sqlite3_step(statement_);
        if (result == SQLITE_ROW)
            return true;
        if (result == SQLITE_DONE)
            changes_ = sqlite3_changes64(db_);
        else
            failed_ = true;
        return false;
    }
    void reset() override {
        if (!statement_)
            return;
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
        next_ = 1;
        failed_ = false;
    }
    bool failed() const override { return failed_; }
    int64_t changes() const override { return changes_; }

    int64_t integer(int column) const override { return sqlite3_column_int64(statement_, column); }
    double real(int column) const override { return sqlite3_column_double(statement_, column); }
    bool is_null(int column) const override { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
    std::string text(int column) const override {
        const unsigned char *bytes = sqlite3_column_text(statement_, column);
        return bytes ? std::string(reinterpret_cast<const char *>(bytes),
                                   static_cast<size_t>(sqlite3_column_bytes(statement_, column)))
                     : std::string();
    }

private:
    Statement &check(int result) {
        if (!statement_ || result != SQLITE_OK)
            failed_ = true;
        return *this;
    }

    sqlite3 *db_;
    sqlite3_stmt *statement_ = nullptr;
    int next_ = 1;
    bool failed_ = false;
    int64_t changes_ = 0;
};

class SqliteConnection final : public Connection {
public:
    explicit SqliteConnection(sqlite3 *db) : db_(db) {}
    ~SqliteConnection() override { sqlite3_close_v2(db_); }
    SqliteConnection(const SqliteConnection &) = delete;
    SqliteConnection &operator=(const SqliteConnection &) = delete;

    Dialect dialect() const override { return Dialect::sqlite; }
    bool execute(const std::string &sql, std::string *error) override {
        char *message = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK)
            return true;
        if (error)
            *error = message ? message : sqlite3_errmsg(db_);
        sqlite3_free(message);
        return false;
    }
    std::unique_ptr<Statement> prepare(const std::string &sql) override {
        return std::make_unique<SqliteStatement>(db_, sql);
    }
    std::string last_error() const override { return sqlite3_errmsg(db_); }
    // The file has one writer: nothing asks for a retry, every claim holds.
    bool retryable() const override { return false; }
    uint64_t generation() const override { return 1; }
    bool claim(int64_t) override { return true; }
    void release(int64_t) override {}
    // IMMEDIATE: the write lock is taken at once, not at the first write halfway through.
    bool begin() override { return execute("BEGIN IMMEDIATE", nullptr); }

private:
    sqlite3 *db_;
};

}  // namespace

std::unique_ptr<Connection> open_sqlite(const std::string &path, bool read_only, std::string *error) {
    const int flags = read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 5000);
        return std::make_unique<SqliteConnection>(db);
    }
    *error = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close_v2(db);
    return nullptr;
}

}  // namespace web::history
