// orlex_web's command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "web/config.h"

namespace web {

struct Options {
    std::vector<ServerAddress> servers;  // from --server
    std::string config_path;             // --config: read at start, read again when it changes
    std::string listen_host = "127.0.0.1";
    int listen_port = 8080;  // 0: any free port (printed at start)
    std::string token;       // empty: no access control
    size_t chat_lines = 50;
    std::string record_dir;                    // --record: every record kept, one file per server and map
    uint64_t record_max_mb = 1024;             // the directory's size limit
    size_t record_rate_kb = 16;                // kB/s over which a server's recording pauses
    std::vector<std::string> replay_files;     // --replay: recordings served as if live
    double replay_speed = 1;                   // --replay-speed: how fast they start playing
    size_t replays_open = 8;                   // --replays-open: recordings replayed on request at once
    int replay_idle_seconds = 300;             // --replay-idle: one nobody watches closes after this
    std::string game_dir;                      // --game-dir: maps and overviews, for servers without their own
    size_t http_per_address = 64;              // open HTTP connections one client address may hold
    size_t websockets_per_address = 16;        // open WebSockets one client address may hold
    std::vector<std::string> trusted_proxies;  // their X-Forwarded-For names the client
    std::vector<std::string> allowed_hosts;    // more Host names served without a token, lower case
    bool metrics_players = false;              // --metrics-players: a series per player slot
    std::string alerts_path;                   // --alerts: webhooks and their rules, read again as it changes
    std::string alerts_ca;                     // --alerts-ca: a private CA for the webhooks' HTTPS
    std::string log_listen;                    // --log-listen ADDR:PORT: the servers' logs over UDP
    std::string users_path;                    // --users: NAME ROLE sha256:HEX lines, read again on change
    bool public_view = false;                  // --public: requests without a token see the delayed view
    int public_delay_seconds = 30;             // --public-delay
    std::string audit_path;                    // --audit; empty: beside the recordings, or orlex_web.audit
    std::vector<std::string> allowed_cvars;    // --allowed-cvar: what the set action may change
    std::string history_path;                  // --history FILE: players, matches and kills kept (SQLite)
    std::string history_dsn;                   // --history URL or --history-dsn-file: kept in PostgreSQL
    bool history_chat = false;                 // --history-chat: chat lines kept too
    int history_days = 90;                     // --history-days: kills, chat and sessions kept this long
};

struct ParseResult {
    enum Outcome { run, exit, hash_token } outcome = run;
    int exit_code = 0;
    std::string output;  // --help text, or the mistake and a hint, for the caller to print
};

// Reads the arguments (argv[0] excluded); reads --token-file and checks --config is readable.
ParseResult parse_options(const std::vector<std::string> &arguments, Options *options);

}  // namespace web
