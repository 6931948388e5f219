// What the history asks of a database, whichever it is: statements with values bound (never
// spliced into the text, which is written once with `?` for each value), transactions, and the
// claim on a server's history that keeps two gateways from writing one server twice.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace web::history {

enum class Dialect { sqlite, postgresql };

class Statement {
public:
    virtual ~Statement() = default;
    // Binding starts again from the first parameter after each reset().
    virtual Statement &bind(int64_t value) = 0;
    virtual Statement &bind(const std::string &text) = 0;
    virtual Statement &bind_null() = 0;
    virtual Statement &bind_real(double value) = 0;
    Statement &bind_optional(bool known, double value) { return known ? bind_real(value) : bind_null(); }
    // True while a row is there to read; false at the end (or on an error: see failed()).
    virtual bool step() = 0;
    // Makes it ready for the next bindings.
    virtual void reset() = 0;
    virtual bool failed() const = 0;
    // The rows the last run inserted, changed or deleted.
    virtual int64_t changes() const = 0;

    virtual int64_t integer(int column) const = 0;
    virtual double real(int column) const = 0;
    virtual bool is_null(int column) const = 0;
    virtual std::string text(int column) const = 0;

    // Runs it to the end and makes it ready for the next bindings.
    bool run() {
        while (step()) {
        }
        const bool good = !failed();
        reset();
        return good;
    }
};

class Connection {
public:
    virtual ~Connection() = default;
    virtual Dialect dialect() const = 0;
    virtual bool execute(const std::string &sql, std::string *error = nullptr) = 0;
    // Never null: one that could not be prepared fails when run, and last_error() says why.
    virtual std::unique_ptr<Statement> prepare(const std::string &sql) = 0;
    virtual std::string last_error() const = 0;
    // The last failure was the database's way of asking for the transaction again (a deadlock
    // with another writer, a lost connection now made again): the batch may be retried.
    virtual bool retryable() const = 0;
    // Counts the connections made: claims do not survive a new one.
    virtual uint64_t generation() const = 0;
    // Only one connection at a time may write a server's history: false while another holds it.
    // The claim ends with release() or with the connection.
    virtual bool claim(int64_t server_id) = 0;
    virtual void release(int64_t server_id) = 0;

    virtual bool begin() = 0;
    virtual bool commit() { return execute("COMMIT"); }
    virtual void rollback() { execute("ROLLBACK"); }
    // A single number from a query that takes no value; -1 when it failed.
    int64_t single_integer(const std::string &sql) {
        std::unique_ptr<Statement> statement = prepare(sql);
        return statement->step() ? statement->integer(0) : -1;
    }
};

// Runs the statements as one transaction: committed when commit() is called, rolled back otherwise.
class Transaction {
public:
    explicit Transaction(Connection &db) : db_(db), open_(db.begin()) {}
    ~Transaction() {
        if (open_)
            db_.rollback();
    }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    bool open() const { return open_; }
    bool commit() {
        if (!open_)
            return false;
        open_ = false;
        return db_.commit();
    }

private:
    Connection &db_;
    bool open_ = false;
};

}  // namespace web::history
