// A PostgreSQL server of the test's own: a cluster made by initdb in a temporary folder, reached
// by a Unix socket there only, with a password; no system service. As root, which PostgreSQL
// refuses to run as, it runs as the postgres user the package made.
#pragma once

#include <string>

namespace tests {

class TempPostgres {
public:
    // The test program's one server, started at first use and stopped at exit; it does without
    // fsync, which a test's database does not need.
    static TempPostgres &shared();
    // A server of its own; `durable`: it syncs what it commits, as a real one does.
    explicit TempPostgres(bool durable);
    ~TempPostgres();
    TempPostgres(const TempPostgres &) = delete;
    TempPostgres &operator=(const TempPostgres &) = delete;

    // Empty when it runs; otherwise why not (for GTEST_SKIP).
    const std::string &unavailable() const { return unavailable_; }
    // A new empty database; its connection words, password included.
    std::string new_database();
    const std::string &password() const { return password_; }

private:
    std::string words(const std::string &database) const;

    std::string dir_, bin_, password_, unavailable_;
    int databases_ = 0;
};

}  // namespace tests
