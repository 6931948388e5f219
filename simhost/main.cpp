// orlex_simhost: a simulated game server that loads the plug-in the way a real server does, with a
// live simulated match on it.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "simhost/console.h"
#include "simhost/console_commands.h"
#include "simhost/game_folder.h"
#include "simhost/game_server.h"
#include "simhost/map_catalog.h"
#include "simhost/match.h"
#include "simhost/program_options.h"
#include "simhost/rcon_server.h"
#include "simhost/startup_line.h"
#include "simhost/temp_folder.h"

#if defined(_WIN32)
// The socket header must come before the system header, which would pull in an older one.
#include <winsock2.h>

#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

volatile std::sig_atomic_t interrupted = 0;
void on_interrupt(int) { interrupted = 1; }

#if defined(_WIN32)
const char *const EXECUTABLE_SUFFIX = ".exe";
#else
const char *const EXECUTABLE_SUFFIX = "";
#endif

std::string folder_of(const std::string &path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string default_plugin_path() {
#if defined(_WIN32)
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return folder_of(path) + "\\orlex_mm.dll";
#else
    char path[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    return folder_of(length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string()) + "/orlex_mm.so";
#endif
}

// The admin client is built beside this program: named the way this program was started.
std::string client_program(const char *argv0) {
    const std::string self = argv0 ? argv0 : "";
    const std::string name = std::string("orlex_client") + EXECUTABLE_SUFFIX;
    return self.find_first_of("\\/") == std::string::npos ? name : folder_of(self) + "/" + name;
}

// Gives the server a files folder holding every map it may play, when none was named: the one
// --write-files names, else a temporary one of its own.
void provide_files(std::unique_ptr<simhost::TempFolder> &folder, simhost::ProgramOptions &options) {
    simhost::EngineConfig &engine = options.server.engine;
    if (!engine.files_root.empty())
        return;
    if (!options.write_files.empty()) {
        if (simhost::write_map_files(options.write_files, engine.game_dir, options.server.map))
            engine.files_root = options.write_files;
        else
            std::fprintf(stderr, "orlex_simhost: cannot write the map files into %s; running without files\n",
                         options.write_files.c_str());
        return;
    }
    folder = std::make_unique<simhost::TempFolder>("orlex_simhost-");
    if (!folder->path().empty() && simhost::write_map_files(folder->path(), engine.game_dir, options.server.map))
        engine.files_root = folder->path();
    else
        std::fprintf(stderr, "orlex_simhost: cannot make a temporary files folder; running without files\n");
}

// The remote console on the game port, as a real server has; the server runs on without it when the
// port is taken.
std::unique_ptr<simhost::RconServer> open_rcon(simhost::GameServer &server, simhost::Match &match) {
    simhost::Engine &engine = server.engine();
    auto rcon = std::make_unique<simhost::RconServer>(engine.cvars(), engine.log(), server.bans(),
                                                      [&server, &match](const std::string &command) {
                                                          std::string output;
                                                          simhost::run_console_line(server, command, &output, &match);
                                                          return output;
                                                      });
    std::string error;
    if (!rcon->open(engine.config().ip, engine.config().hostport, &error))
        std::fprintf(stderr, "orlex_simhost: no remote console: %s\n", error.c_str());
    return rcon;
}

void play(simhost::GameServer &server, simhost::Match &match, const simhost::ProgramOptions &options) {
    simhost::Console console;
    const std::unique_ptr<simhost::RconServer> rcon = open_rcon(server, match);
    const auto frame = std::chrono::duration<double>(server.frame_time() / options.speed);
    auto next = std::chrono::steady_clock::now();
    double played = 0.0;
    while (!interrupted && (options.duration < 0 || played < options.duration)) {
        std::string line;
        if (console.read_line(&line) &&
            simhost::run_console_line(server, line, stdout, &match) == simhost::ConsoleOutcome::quit)
            break;
        rcon->poll(played);
        server.run_frame();
        match.frame();
        // Counted here, not from the engine's clock, which starts again with each map.
        played += server.frame_time();
        if (!options.fast) {
            next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(frame);
            std::this_thread::sleep_until(next);
        }
    }
}

}  // namespace

int main(int argc, char **argv) {
#if defined(_WIN32)
    // A game server process starts the socket library before it loads any plug-in.
    WSADATA winsock;
    if (WSAStartup(MAKEWORD(1, 1), &winsock) != 0) {
        std::fprintf(stderr, "orlex_simhost: the socket library did not start\n");
        return 1;
    }
#endif
    simhost::ProgramOptions options;
    const simhost::ParseOutcome parsed = simhost::parse_program_options(argc, argv, &options);
    if (parsed != simhost::ParseOutcome::run)
        return parsed == simhost::ParseOutcome::help ? 0 : 2;
    const std::string &game_folder = options.server.engine.game_folder;
    std::string list_error;
    if (!game_folder.empty() && !simhost::plugin_from_list(game_folder, &options.plugin, &list_error)) {
        std::fprintf(stderr, "orlex_simhost: %s\n", list_error.c_str());
        return 1;
    }
    if (options.plugin.empty())
        options.plugin = default_plugin_path();
    std::unique_ptr<simhost::TempFolder> files;
    provide_files(files, options);

    simhost::GameServer server(options.server);
    simhost::Match match(server, options.match);
    const bool echo_log = options.log && !options.quiet;
    for (const std::string &command : options.commands)
        server.engine().server_command((command + "\n").c_str());
    std::string error;
    if (!server.start(options.plugin, &error)) {
        if (echo_log)
            server.engine().log().start_echo();
        std::fprintf(stderr, "orlex_simhost: cannot load %s: %s\n", options.plugin.c_str(), error.c_str());
        return 1;
    }
    // As a server does once its plug-ins are loaded: their settings are known by then.
    if (!game_folder.empty())
        simhost::run_console_line(server, "exec server.cfg", stdout, &match);
    match.begin();
    // The line that says what runs and where to watch it comes first, the log of the start after it.
    if (!options.quiet)
        std::printf("%s\n", simhost::startup_line(server, match, client_program(argv[0])).c_str());
    std::fflush(stdout);
    if (echo_log)
        server.engine().log().start_echo();

    std::signal(SIGINT, on_interrupt);
    std::signal(SIGTERM, on_interrupt);
    play(server, match, options);
    server.stop();
    for (const std::string &violation : server.host().violations())
        std::fprintf(stderr, "orlex_simhost: %s\n", violation.c_str());
    return server.host().violations().empty() && server.engine().unexpected_calls().empty() ? 0 : 1;
}
