#include "tests/web/temp_postgres.h"

#include <libpq-fe.h>
#include <pwd.h>
#include <unistd.h>

#include <glob.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

namespace tests {
namespace {

constexpr int kPort = 5432;  // the socket is in our own folder: no other server's port matters

std::string newest_bin() {
    glob_t found{};
    std::string bin;
    if (::glob("/usr/lib/postgresql/*/bin/initdb", 0, nullptr, &found) == 0 && found.gl_pathc > 0) {
        bin = found.gl_pathv[found.gl_pathc - 1];
        bin.resize(bin.size() - std::string("/initdb").size());
    }
    ::globfree(&found);
    return bin;
}

// As root, the commands run as the postgres user; otherwise as whoever runs the test.
std::string as_server_user(const std::string &command) {
    return ::geteuid() == 0 ? "runuser -u postgres -- " + command : command;
}

bool run(const std::string &command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

}  // namespace

TempPostgres &TempPostgres::shared() {
    static TempPostgres server(false);
    return server;
}

TempPostgres::TempPostgres(bool durable) {
    bin_ = newest_bin();
    if (bin_.empty()) {
        unavailable_ = "PostgreSQL is not installed (Debian's postgresql-15: scripts/install-deps.sh)";
        return;
    }
    if (::geteuid() == 0 && !::getpwnam("postgres")) {
        unavailable_ = "running as root, and there is no postgres user to run the server as";
        return;
    }
    char dir[] = "/tmp/orlex_pg_XXXXXX";
    if (!::mkdtemp(dir)) {
        unavailable_ = "cannot make a temporary folder";
        return;
    }
    dir_ = dir;
    std::random_device random;
    password_ = "pw-" + std::to_string(random()) + std::to_string(random());
    { std::ofstream(dir_ + "/password") << password_ << "\n"; }
    if (::geteuid() == 0)
        run("chown -R postgres " + dir_);
    const std::string data = dir_ + "/data";
    if (!run(as_server_user(bin_ + "/initdb -D " + data + " -U orlex --auth=scram-sha-256 --pwfile=" + dir_ +
                            "/password -E UTF8 --locale=C.UTF-8"))) {
        unavailable_ = "initdb failed in " + dir_;
        return;
    }
    // No TCP at all; fsync off unless asked: a test's database need not outlive a crash of the machine.
    const std::string options = "-c listen_addresses='' -k " + dir_ + " -p " + std::to_string(kPort) +
                                " -c max_connections=40" + (durable ? "" : " -c fsync=off");
    if (!run(as_server_user(bin_ + "/pg_ctl -D " + data + " -l " + dir_ + "/log -w -t 60 -o \"" + options +
                            "\" start"))) {
        unavailable_ = "the server did not start (its log: " + dir_ + "/log)";
        return;
    }
}

TempPostgres::~TempPostgres() {
    if (dir_.empty())
        return;
    run(as_server_user(bin_ + "/pg_ctl -D " + dir_ + "/data -m immediate -w stop"));
    run("rm -rf " + dir_);
}

std::string TempPostgres::words(const std::string &database) const {
    return "host=" + dir_ + " port=" + std::to_string(kPort) + " user=orlex password=" + password_ +
           " dbname=" + database;
}

std::string TempPostgres::new_database() {
    const std::string name = "history_" + std::to_string(::getpid()) + "_" + std::to_string(++databases_);
    PGconn *admin = PQconnectdb(words("postgres").c_str());
    if (PQstatus(admin) == CONNECTION_OK)
        PQclear(PQexec(admin, ("CREATE DATABASE " + name).c_str()));
    PQfinish(admin);
    return words(name);
}

}  // namespace tests
