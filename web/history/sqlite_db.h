// A thin owner of one SQLite connection and its prepared statements: every value bound, never
// spliced into the text; failures reported as text for the caller to log.
#pragma once

#include <cstdint>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace web::history {

class Statement {
public:
    Statement() = default;
    Statement(sqlite3 *db, const char *sql);
    ~Statement();
    Statement(Statement &&other) noexcept;
    Statement &operator=(Statement &&other) noexcept;
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool ok() const { return statement_ != nullptr; }
    // Binding starts again from the first parameter after each reset().
    Statement &bind(int64_t value);
    Statement &bind(const std::string &text);
    Statement &bind_null();
    Statement &bind_optional(bool known, double value);
    // True while a row is there to read; false at the end (or on an error: see failed()).
    bool step();
    // Runs it to the end and makes it ready for the next bindings.
    bool run();
    void reset();
    bool failed() const { return failed_; }

    int64_t integer(int column) const;
    double real(int column) const;
    bool is_null(int column) const;
    std::string text(int column) const;

private:
    sqlite3_stmt *statement_ = nullptr;
    int next_ = 1;
    bool failed_ = false;
};

class Database {
public:
    Database() = default;
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // False with the reason; read_only opens an existing file for queries only.
    bool open(const std::string &path, bool read_only, std::string *error);
    bool execute(const std::string &sql, std::string *error = nullptr);
    int64_t single_integer(const char *sql);
    Statement prepare(const char *sql) const { return Statement(db_, sql); }
    std::string last_error() const;
    int64_t last_row() const;
    sqlite3 *handle() const { return db_; }

private:
    sqlite3 *db_ = nullptr;
};

// Runs the statements as one transaction: committed when done() is called, rolled back otherwise.
class Transaction {
public:
    explicit Transaction(Database &db);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    bool commit();

private:
    Database &db_;
    bool open_ = false;
};

}  // namespace web::history
