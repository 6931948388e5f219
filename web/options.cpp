#include "web/options.h"

#include <CLI/CLI.hpp>

namespace web {
namespace {

// The file's first line, without surrounding blanks: an editor's final line end is no part of it.
std::string first_line(const std::string &text) {
    const std::string line = text.substr(0, text.find('\n'));
    const size_t start = line.find_first_not_of(" \t\r");
    return start == std::string::npos ? "" : line.substr(start, line.find_last_not_of(" \t\r") - start + 1);
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
                   "the recording directory's size limit in MB; the oldest files are deleted first")
        ->check(CLI::Range(1, 1 << 24))
        ->capture_default_str();
    app.add_option("--replay", options->replay_files, "serve recordings as if they were live servers")
        ->type_name("FILE...")
        ->check(CLI::ExistingFile);
    app.add_option("--replay-speed", options->replay_speed, "the speed replays start at, 0.5 to 16 (the page changes it)")
        ->check(CLI::Range(0.5, 16.0))
        ->capture_default_str();
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp &) {
        return stop(0, app.help());
    } catch (const CLI::ParseError &error) {
        return stop(2, std::string(error.what()) + "\nRun with --help for more information.\n");
    }
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
    if (!token_file.empty()) {
        std::string text;
        if (!read_text_file(token_file, &text))
            return stop(2, "--token-file: cannot read " + token_file + "\n");
        options->token = first_line(text);
    }
    if ((token->count() > 0 || !token_file.empty()) && options->token.empty())
        return stop(2, "--token: the token must not be empty\n");
    return {};
}

}  // namespace web
