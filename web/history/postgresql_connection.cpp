#include "web/history/postgresql_connection.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <unordered_map>
#include <vector>

#include "web/utf8_text.h"

namespace web::history {
namespace {

// The first key of every claim: the history's own, apart from any other use of advisory locks.
constexpr int kClaimSpace = 0x6f726c78;
constexpr size_t kMostPrepared = 256;

struct ResultFree {
    void operator()(PGresult *result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultFree>;

// `?` becomes `$1`, `$2`...: the statements are written once for both databases.
std::string numbered_parameters(const std::string &sql, int *count) {
    std::string out;
    int next = 1;
    char quote = 0;
    for (const char c : sql) {
        if (quote) {
            quote = c == quote ? 0 : quote;  // a doubled quote closes and opens again: the same
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '?') {
            out += "$" + std::to_string(next++);
            continue;
        }
        out += c;
    }
    *count = next - 1;
    return out;
}

// The database's text is UTF-8 and has no NUL: a name in another encoding would fail the batch.
std::string database_text(const std::string &text) {
    std::string clean = valid_utf8(text);
    clean.erase(std::remove(clean.begin(), clean.end(), '\0'), clean.end());
    return clean;
}

std::string trimmed(const char *message) {
    std::string text = message ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

class PostgresqlConnection;

class PostgresqlStatement final : public Statement {
public:
    PostgresqlStatement(PostgresqlConnection &db, std::string sql) : db_(db), sql_(std::move(sql)) {}

    Statement &bind(int64_t value) override { return add(std::to_string(value)); }
    Statement &bind(const std::string &text) override { return add(database_text(text)); }
    Statement &bind_null() override { return add(std::nullopt); }
    Statement &bind_real(double value) override {
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", value);
        return add(std::string(text));
    }
    bool step() override;
    void reset() override {
        values_.clear();
        result_.reset();
        ran_ = failed_ = false;
        row_ = -1;
    }
    bool failed() const override { return failed_; }
    int64_t changes() const override { return changes_; }

    int64_t integer(int column) const override { return std::strtoll(value(column), nullptr, 10); }
    double real(int column) const override { return std::strtod(value(column), nullptr); }
    bool is_null(int column) const override { return PQgetisnull(result_.get(), row_, column) != 0; }
    std::string text(int column) const override { return value(column); }

private:
    Statement &add(std::optional<std::string> value) {
        values_.push_back(std::move(value));
        return *this;
    }
    const char *value(int column) const { return PQgetvalue(result_.get(), row_, column); }

    PostgresqlConnection &db_;
    const std::string sql_;
    std::vector<std::optional<std::string>> values_;
    Result result_;
    bool ran_ = false, failed_ = false;
    int row_ = -1;
    int64_t changes_ = 0;
};

class PostgresqlConnection final : public Connection {
public:
    explicit PostgresqlConnection(PGconn *db) : db_(db) {
        PQsetNoticeProcessor(
            db_, [](void *, const char *) {}, nullptr);
    }
    ~PostgresqlConnection() override { PQfinish(db_); }
    PostgresqlConnection(const PostgresqlConnection &) = delete;
    PostgresqlConnection &operator=(const PostgresqlConnection &) = delete;

    Dialect dialect() const override { return Dialect::postgresql; }

    bool execute(const std::string &sql, std::string *error) override {
        const bool good = checked(Result(PQexec(db_, sql.c_str()))) != nullptr;
        if (!good && error)
            *error = last_error_;
        return good;
    }
    std::unique_ptr<Statement> prepare(const std::string &sql) override {
        return std::make_unique<PostgresqlStatement>(*this, sql);
    }
    std::string last_error() const override { return last_error_; }
    bool retryable() const override { return retryable_; }
    uint64_t generation() const override { return generation_; }

    bool claim(int64_t server_id) override {
        std::unique_ptr<Statement> lock =
            prepare("SELECT pg_try_advisory_lock(CAST(? AS integer), CAST(? AS integer))");
        lock->bind(int64_t{kClaimSpace}).bind(server_id);
        return lock->step() && lock->text(0) == "t";
    }
    void release(int64_t server_id) override {
        prepare("SELECT pg_advisory_unlock(CAST(? AS integer), CAST(? AS integer))")
            ->bind(int64_t{kClaimSpace})
            .bind(server_id)
            .run();
    }

    // A connection lost since the last batch is made again here, where nothing is under way.
    bool begin() override {
        if (PQstatus(db_) != CONNECTION_OK)
            reconnect();
        aborted_ = false;
        in_transaction_ = true;  // from here a lost connection fails the batch, not one statement
        if (!execute("BEGIN", nullptr))
            aborted_ = true;
        return !aborted_;
    }
    void rollback() override {
        in_transaction_ = false;
        execute("ROLLBACK", nullptr);
    }
    bool commit() override {
        in_transaction_ = false;
        if (aborted_) {
            execute("ROLLBACK", nullptr);
            return false;
        }
        return checked(Result(PQexec(db_, "COMMIT"))) != nullptr;
    }

    // A query on its own is asked again on a new connection when the old one was lost (a restart
    // of the server since the last); within a transaction, the whole batch is.
    PGresult *run(const std::string &sql, const std::vector<std::optional<std::string>> &values) {
        if (in_transaction_ && aborted_)
            return nullptr;  // the first failure is the one kept and reported
        PGresult *result = run_once(sql, values);
        if (!result && !in_transaction_ && PQstatus(db_) != CONNECTION_OK && reconnect())
            result = run_once(sql, values);
        return result;
    }

private:
    bool reconnect() {
        PQreset(db_);
        ++generation_;
        prepared_.clear();
        aborted_ = false;
        return PQstatus(db_) == CONNECTION_OK;
    }

    // Prepared once per connection: the statements are the same few texts again and again.
    PGresult *run_once(const std::string &sql, const std::vector<std::optional<std::string>> &values) {
        auto known = prepared_.find(sql);
        if (known == prepared_.end() && prepared_.size() >= kMostPrepared && !in_transaction_) {
            // A bound on the server's memory for this connection, should texts ever vary.
            PQclear(PQexec(db_, "DEALLOCATE ALL"));
            prepared_.clear();
        }
        if (known == prepared_.end()) {
            const std::string name = "s" + std::to_string(++statements_named_);
            int count = 0;
            const std::string numbered = numbered_parameters(sql, &count);
            if (!checked(Result(PQprepare(db_, name.c_str(), numbered.c_str(), count, nullptr))))
                return nullptr;
            known = prepared_.emplace(sql, name).first;
        }
        std::vector<const char *> pointers;
        pointers.reserve(values.size());
        for (const auto &value : values)
            pointers.push_back(value ? value->c_str() : nullptr);
        return checked(Result(PQexecPrepared(db_, known->second.c_str(), static_cast<int>(pointers.size()),
                                             pointers.data(), nullptr, nullptr, 0)))
            .release();
    }

    // The result when it succeeded; null with the first failure of the transaction kept.
    Result checked(Result result) {
        const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
            if (!aborted_)
                retryable_ = false;
            return result;
        }
        if (!aborted_) {
            const char *state = result ? PQresultErrorField(result.get(), PG_DIAG_SQLSTATE) : nullptr;
            const std::string code = state ? state : "";
            // A deadlock or a serialization failure: the other writer went on, this one may again.
            retryable_ = code == "40P01" || code == "40001" || PQstatus(db_) != CONNECTION_OK;
            last_error_ = trimmed(result ? PQresultErrorMessage(result.get()) : PQerrorMessage(db_));
            if (last_error_.empty())
                last_error_ = trimmed(PQerrorMessage(db_));
        }
        aborted_ = PQtransactionStatus(db_) == PQTRANS_INERROR || PQstatus(db_) != CONNECTION_OK;
        return nullptr;
    }

    PGconn *db_;
    uint64_t generation_ = 1;
    std::unordered_map<std::string, std::string> prepared_;  // text to name
    uint64_t statements_named_ = 0;
    std::string last_error_;
    bool retryable_ = false, aborted_ = false, in_transaction_ = false;
};

bool PostgresqlStatement::step() {
    if (!ran_) {
        ran_ = true;
        result_.reset(db_.run(sql_, values_));
        if (!result_) {
            failed_ = true;
            return false;
        }
        changes_ = std::strtoll(PQcmdTuples(result_.get()), nullptr, 10);
    }
    if (!result_)
        return false;
    return ++row_ < PQntuples(result_.get());
}

struct ConnInfoFree {
    void operator()(PQconninfoOption *options) const { PQconninfoFree(options); }
};

std::unique_ptr<PQconninfoOption, ConnInfoFree> parsed(const std::string &dsn) {
    char *message = nullptr;
    std::unique_ptr<PQconninfoOption, ConnInfoFree> options(PQconninfoParse(dsn.c_str(), &message));
    PQfreemem(message);
    return options;
}

std::string option(const PQconninfoOption *options, const std::string &key) {
    for (const PQconninfoOption *it = options; it && it->keyword; ++it)
        if (key == it->keyword && it->val)
            return it->val;
    return "";
}

}  // namespace

std::string postgresql_label(const std::string &dsn) {
    const auto options = parsed(dsn);
    const std::string name = option(options.get(), "dbname"), host = option(options.get(), "host");
    return "PostgreSQL database " + (name.empty() ? std::string("(default)") : name) +
           (host.empty() ? std::string() : " on " + host);
}

bool postgresql_has_password(const std::string &dsn) {
    const auto options = parsed(dsn);
    return !option(options.get(), "password").empty();
}

std::unique_ptr<Connection> open_postgresql(const std::string &dsn, std::string *error) {
    // libpq's message about words it cannot parse quotes them, the password among them.
    if (!parsed(dsn)) {
        *error = "the PostgreSQL connection's URL or words do not parse (not shown: they may hold the password)";
        return nullptr;
    }
    // The DSN's own words come after the defaults and override them, but for the encoding, which
    // the history's text is written in. The pages' sums over a period fit in work_mem rather than
    // sort on disk; given here, it holds on a connection made again too.
    const char *keys[] = {"connect_timeout", "application_name", "options", "dbname", "client_encoding", nullptr};
    const char *values[] = {"10", "orlex_web", "-c work_mem=64MB", dsn.c_str(), "UTF8", nullptr};
    PGconn *db = PQconnectdbParams(keys, values, 1);
    if (db && PQstatus(db) == CONNECTION_OK)
        return std::make_unique<PostgresqlConnection>(db);
    *error = postgresql_label(dsn) + ": " + (db ? trimmed(PQerrorMessage(db)) : std::string("out of memory"));
    PQfinish(db);
    return nullptr;
}

}  // namespace web::history
