#include "web/options.h"

#include <CLI/CLI.hpp>

#include <boost/asio/ip/address.hpp>

#include <algorithm>
#include <cctype>

#include "web/history/postgresql_connection.h"

namespace web {
namespace {

// The file's first line, without surrounding blanks: an editor's final line end is no part of it.
std::string first_line(const std::string &text) {
    const std::string line = text.substr(0, text.find('\n'));
    const size_t start = line.find_first_not_of(" \t\r");
    return start == std::string::npos ? "" : line.substr(start, line.find_last_not_of(" \t\r") - start + 1);
}

bool is_postgresql_url(const std::string &text) {
    return text.rfind("postgresql://", 0) == 0 || text.rfind("postgres://", 0) == 0;
}

// The history's database: a file, or PostgreSQL named by a URL on the command line (without its
// password, which anyone may read in the process list there) or by a file's first line.
std::string resolve_history(const std::string &dsn_file, Options *options) {
    if (!dsn_file.empty()) {
        if (!options->history_path.empty())
            return "--history and --history-dsn-file: give one of them";
        std::string text;
        if (!read_text_file(dsn_file, &text))
            return "--history-dsn-file: cannot read " + dsn_file;
        options->history_dsn = first_line(text);
        if (options->history_dsn.empty())
            return "--history-dsn-file: " + dsn_file + " is empty";
        return "";
    }
    if (!is_postgresql_url(options->history_path))
        return "";
    if (history::postgresql_has_password(options->history_path))
        return "--history: the URL holds a password, which every user of this machine can read in the process "
               "list: put the URL in a file only the service reads and give --history-dsn-file FILE";
    options->history_dsn = std::move(options->history_path);
    options->history_path.clear();
    return "";
}

std::string check_listen(const std::string &text, Options *options) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0)
        return "must be ADDR:PORT, e.g. 127.0.0.1:8080";
    const std::string port = text.substr(colon + 1);
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(port) > 65535)
        return "port must be a number from 0 to 65535";
    options->listen_host = text.substr(0, colon);
    options->listen_port = std::stoi(port);
    return "";
}

// A name as a browser puts it in Host: letters, digits, '-' and '.', or an IPv6 address, which
// Host puts in brackets (the command line takes "[::2]" as a list and drops them).
std::string check_allowed_host(std::string *name) {
    std::transform(name->begin(), name->end(), name->begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    boost::system::error_code error;
    if (const auto v6 = boost::asio::ip::make_address_v6(*name, error); !error) {
        *name = "[" + v6.to_string() + "]";  // as Host puts it
        return "";
    }
    const bool plain = !name->empty() && name->size() <= 253 && std::all_of(name->begin(), name->end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.';
    });
    return plain ? "" : "\"" + *name + "\" is not a host name (give it without a port)";
}

// The history's links replay recordings of the recording directory on request.
void add_replay_on_request_options(CLI::App &app, Options *options) {
    app.add_option("--replays-open", options->replays_open,
                   "recordings the history's pages may have replayed at once (each is held in memory)")
        ->check(CLI::Range(1, 64))
        ->capture_default_str();
    app.add_option("--replay-idle", options->replay_idle_seconds,
                   "a recording replayed on request closes after this many seconds with nobody watching it")
        ->check(CLI::Range(1, 86400))
        ->capture_default_str();
}

ParseResult stop(int exit_code, const std::string &output) { return {ParseResult::exit, exit_code, output}; }

}  // namespace

ParseResult parse_options(const std::vector<std::string> &arguments, Options *options) {
    *options = Options();
    CLI::App app("Watches game servers' plug-in streams and serves them as a live web dashboard and a JSON API.",
                 "orlex_web");
    std::vector<std::string> server_texts;
    std::string listen = options->listen_host + ":" + std::to_string(options->listen_port);
    std::string token_file;
    app.add_option("--server", server_texts, "a server to watch, NAME=HOST:PORT (HOST:PORT of its plug-in); repeatable")
        ->type_name("NAME=HOST:PORT");
    app.add_option("--config", options->config_path,
                   "a file of servers to watch, one \"NAME HOST:PORT\" per line ('#' starts a comment); read again "
                   "whenever it changes")
        ->type_name("FILE");
    app.add_option("--listen", listen, "address and port the dashboard listens on; port 0 picks a free one")
        ->type_name("ADDR:PORT")
        ->capture_default_str();
    auto *token = app.add_option("--token", options->token,
                                 "answer only requests that carry this text (Authorization: Bearer, or ?token= once, "
                                 "which sets a cookie)")
                      ->type_name("TEXT");
    app.add_option("--token-file", token_file, "as --token, the text being this file's first line")
        ->type_name("FILE")
        ->check(CLI::ExistingFile)
        ->excludes(token);
    app.add_option("--chat", options->chat_lines, "chat lines kept for each server")
        ->check(CLI::Range(1, 1000))
        ->capture_default_str();
    app.add_option("--record", options->record_dir,
                   "keep every record each server sends, with its arrival time, in this directory: one file per "
                   "server and map (docs/recording.md)")
        ->type_name("DIR");
    app.add_option("--record-max-mb", options->record_max_mb,
                   "the recording directory's size limit in MB, shared among the servers recorded: a server's oldest "
                   "files are deleted when it passes its share, files of earlier runs first when the total does")
        ->check(CLI::Range(1, 1 << 24))
        ->capture_default_str();
    app.add_option("--record-rate-kb", options->record_rate_kb,
                   "a server sending more kB a second than this (a full match sends some 1.2) has its recording "
                   "paused until it sends less than half")
        ->check(CLI::Range(1, 1 << 20))
        ->capture_default_str();
    app.add_option("--replay", options->replay_files, "serve recordings as if they were live servers")
        ->type_name("FILE...")
        ->check(CLI::ExistingFile);
    app.add_option("--replay-speed", options->replay_speed,
                   "the speed replays start at, 0.5 to 16 (the page changes it)")
        ->check(CLI::Range(0.5, 16.0))
        ->capture_default_str();
    add_replay_on_request_options(app, options);
    app.add_option("--game-dir", options->game_dir,
                   "a game folder (DIR/maps/*.bsp, DIR/overviews/*) the radar's map pictures are read from; a "
                   "server's own game-dir=DIR setting comes first")
        ->type_name("DIR");
    app.add_option("--http-per-address", options->http_per_address,
                   "open HTTP connections one client address may hold (an IPv6 client: its /64); WebSockets "
                   "are counted apart")
        ->check(CLI::Range(1, 1000))
        ->capture_default_str();
    app.add_option("--websockets-per-address", options->websockets_per_address,
                   "open WebSockets (dashboard pages) one client address may hold")
        ->check(CLI::Range(1, 1000))
        ->capture_default_str();
    app.add_option("--trusted-proxy", options->trusted_proxies,
                   "a reverse proxy in front of the dashboard: the client address of its requests is the last "
                   "one in their X-Forwarded-For; repeatable")
        ->type_name("ADDR");
    app.add_option("--log-listen", options->log_listen,
                   "receive the watched servers' logs over UDP on ADDR:PORT (each server: logaddress_add ADDR PORT)");
    app.add_option("--allowed-host", options->allowed_hosts,
                   "without a token, requests are answered only when their Host is the listen address, localhost, "
                   "127.0.0.1, [::1] or a NAME given here; repeatable")
        ->type_name("NAME");
    app.add_flag("--metrics-players", options->metrics_players,
                 "add a series per player slot to /metrics (its name in orlex_player_info); off, only per-server "
                 "series and aggregates");
    app.add_option("--alerts", options->alerts_path,
                   "a JSON file of webhooks and the rules that post to them (README); read again whenever it changes")
        ->type_name("FILE")
        ->check(CLI::ExistingFile);
    app.add_option("--alerts-ca", options->alerts_ca,
                   "certificates (PEM) the webhooks' HTTPS is verified against, instead of the system's")
        ->type_name("FILE")
        ->check(CLI::ExistingFile);
    app.add_option("--users", options->users_path,
                   "users and their roles, one \"NAME ROLE sha256:HEX\" per line (ROLE viewer or admin; the hash "
                   "from --hash-token); read again whenever it changes")
        ->type_name("FILE")
        ->check(CLI::ExistingFile);
    auto *hash_token = app.add_flag("--hash-token", "read a token on standard input and print its users file hash");
    app.add_flag("--public", options->public_view,
                 "answer requests without a token with the public view: each server delayed, no player's address "
                 "or auth id");
    app.add_option("--public-delay", options->public_delay_seconds, "how far behind the public view is, in seconds")
        ->check(CLI::Range(0, 300))
        ->capture_default_str();
    app.add_option("--audit", options->audit_path,
                   "the audit trail, one JSON line per action attempted (default: orlex_web.audit in the recording "
                   "directory, or in the working directory)")
        ->type_name("FILE");
    app.add_option("--allowed-cvar", options->allowed_cvars,
                   "a console variable admins may set (default: mp_timelimit, mp_friendlyfire, sv_password, "
                   "mp_roundtime); repeatable")
        ->type_name("NAME");
    app.add_option("--history", options->history_path,
                   "keep players, matches, sessions and kills from the servers' logs in this SQLite file (made "
                   "when missing), or in the PostgreSQL database of a postgresql:// URL without a password, for "
                   "the history pages and /api/history/")
        ->type_name("FILE|URL");
    std::string dsn_file;
    app.add_option("--history-dsn-file", dsn_file,
                   "keep the history in PostgreSQL, the connection's URL or key=value words (password included) "
                   "being this file's first line")
        ->type_name("FILE");
    app.add_flag("--history-chat", options->history_chat,
                 "keep the players' chat lines in the history too (personal data: off unless given)");
    app.add_option("--history-days", options->history_days,
                   "kills, chat lines and sessions older than this are deleted, once at start and daily; each "
                   "player's totals stay (0: keep everything)")
        ->check(CLI::Range(0, 36500))
        ->capture_default_str();
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp &) {
        return stop(0, app.help());
    } catch (const CLI::ParseError &error) {
        return stop(2, std::string(error.what()) + "\nRun with --help for more information.\n");
    }
    if (hash_token->count() > 0)
        return {ParseResult::hash_token, 0, ""};
    std::string error;
    for (const std::string &text : server_texts) {
        ServerAddress server;
        if (!parse_server_option(text, &server, &error) || !add_servers({server}, &options->servers, &error))
            return stop(2, "--server: " + error + "\n");
    }
    if (server_texts.empty() && options->config_path.empty() && options->replay_files.empty())
        return stop(2, "name the servers to watch: --server NAME=HOST:PORT or --config FILE (or --replay FILE...)\n");
    if (const std::string listen_error = check_listen(listen, options); !listen_error.empty())
        return stop(2, "--listen: " + listen_error + "\n");
    for (const std::string &proxy : options->trusted_proxies) {
        boost::system::error_code code;
        boost::asio::ip::make_address(proxy, code);
        if (code)
            return stop(2, "--trusted-proxy: \"" + proxy + "\" is not an IP address\n");
    }
    for (std::string &name : options->allowed_hosts)
        if (const std::string host_error = check_allowed_host(&name); !host_error.empty())
            return stop(2, "--allowed-host: " + host_error + "\n");
    for (const std::string &name : options->allowed_cvars)
        if (name.empty() || name.size() > 64 ||
            name.find_first_not_of("abcdefghijklmnopqrstuvwxyz"
                                   "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") != std::string::npos)
            return stop(2, "--allowed-cvar: \"" + name + "\" is not a console variable's name\n");
    if (!token_file.empty()) {
        std::string text;
        if (!read_text_file(token_file, &text))
            return stop(2, "--token-file: cannot read " + token_file + "\n");
        options->token = first_line(text);
    }
    if ((token->count() > 0 || !token_file.empty()) && options->token.empty())
        return stop(2, "--token: the token must not be empty\n");
    if (const std::string history_error = resolve_history(dsn_file, options); !history_error.empty())
        return stop(2, history_error + "\n");
    return {};
}

}  // namespace web
