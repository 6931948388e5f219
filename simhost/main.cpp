// orlex_simhost: a simulated game server that loads the plug-in the way a real server does.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "simhost/bsp_writer.h"
#include "simhost/console.h"
#include "simhost/console_commands.h"
#include "simhost/game_server.h"
#include "simhost/temp_folder.h"

#if defined(_WIN32)
#include <winsock2.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

volatile std::sig_atomic_t interrupted = 0;
void on_interrupt(int) { interrupted = 1; }

struct Arguments {
    simhost::ServerOptions server;
    std::string plugin;
    double duration = -1.0;  // seconds of server time; negative: until quit
    bool fast = false;
    bool log = false;
    bool quiet = false;
};

const char *const USAGE =
    "usage: orlex_simhost [options]\n"
    "  --plugin PATH       plug-in library to load (default: the one built beside this program)\n"
    "  --game DIR          game directory: valve, cstrike, tfc, dod, nsp (default valve)\n"
    "  --map NAME          first map (default crossfire)\n"
    "  --files DIR         folder holding the game directory's files (maps/NAME.bsp)\n"
    "                      (default: a temporary folder with a generated map, removed at exit)\n"
    "  --hostport N        the server's game port (default 27015)\n"
    "  --fps N             server frames per second (default 100)\n"
    "  --duration SECONDS  stop after this much server time (default: until quit or Ctrl-C)\n"
    "  --fast              run frames as fast as possible instead of in real time\n"
    "  --set NAME=VALUE    set a console variable before the plug-in attaches (repeatable)\n"
    "  --log               print the server log\n"
    "  --quiet             print nothing but errors\n"
    "Console commands on standard input: quit, say TEXT, status\n";

std::string default_plugin_path() {
#if defined(_WIN32)
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string self = path;
    const size_t slash = self.find_last_of("\\/");
    return (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) + "\\orlex_mm.dll";
#else
    char path[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    std::string self = length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
    const size_t slash = self.find_last_of('/');
    return (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) + "/orlex_mm.so";
#endif
}

bool parse_number(const char *text, double *number) {
    char *end = nullptr;
    *number = std::strtod(text, &end);
    return end != text && *end == '\0';
}

// Returns 0 to go on, otherwise the exit status.
int parse_arguments(int argc, char **argv, Arguments *args) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            std::fputs(USAGE, stdout);
            return -1;
        }
        if (option == "--fast" || option == "--log" || option == "--quiet") {
            (option == "--fast" ? args->fast : option == "--log" ? args->log : args->quiet) = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "orlex_simhost: %s needs a value\n%s", option.c_str(), USAGE);
            return 2;
        }
        const char *value = argv[++i];
        double number = 0.0;
        if (option == "--plugin") {
            args->plugin = value;
        } else if (option == "--game") {
            args->server.engine.game_dir = value;
        } else if (option == "--map") {
            args->server.map = value;
        } else if (option == "--files") {
            args->server.engine.files_root = value;
        } else if (option == "--set") {
            const char *equals = std::strchr(value, '=');
            if (!equals || equals == value) {
                std::fprintf(stderr, "orlex_simhost: --set takes NAME=VALUE, not %s\n", value);
                return 2;
            }
            args->server.settings.emplace_back(std::string(value, equals), std::string(equals + 1));
        } else if (!parse_number(value, &number)) {
            std::fprintf(stderr, "orlex_simhost: %s takes a number, not %s\n", option.c_str(), value);
            return 2;
        } else if (option == "--hostport" && number >= 0 && number <= 65535) {
            args->server.engine.hostport = args->server.engine.port = static_cast<int>(number);
        } else if (option == "--fps" && number >= 1 && number <= 10000) {
            args->server.fps = number;
        } else if (option == "--duration") {
            args->duration = number;
        } else {
            std::fprintf(stderr, "orlex_simhost: bad option or value: %s %s\n%s", option.c_str(), value, USAGE);
            return 2;
        }
    }
    if (args->plugin.empty())
        args->plugin = default_plugin_path();
    return 0;
}

// Gives the server a files folder of its own holding the map it plays, when none was named.
bool provide_files(simhost::TempFolder &folder, Arguments *args) {
    static const float WORLD_MINS[3] = {-2048.0f, -1536.0f, -512.0f};
    static const float WORLD_MAXS[3] = {2048.0f, 1536.0f, 512.0f};
    if (folder.path().empty())
        return false;
    const std::string map = folder.path() + "/maps/" + args->server.map + ".bsp";
    if (!simhost::write_bsp(map, WORLD_MINS, WORLD_MAXS))
        return false;
    args->server.engine.files_root = folder.path();
    return true;
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
    Arguments args;
    const int status = parse_arguments(argc, argv, &args);
    if (status != 0)
        return status < 0 ? 0 : status;
    std::unique_ptr<simhost::TempFolder> files;
    if (args.server.engine.files_root.empty()) {
        files = std::make_unique<simhost::TempFolder>("orlex_simhost-");
        if (!provide_files(*files, &args))
            std::fprintf(stderr, "orlex_simhost: cannot make a temporary files folder; running without files\n");
    }

    simhost::GameServer server(args.server);
    server.engine().log().set_echo(args.log && !args.quiet);
    std::string error;
    if (!server.start(args.plugin, &error)) {
        std::fprintf(stderr, "orlex_simhost: cannot load %s: %s\n", args.plugin.c_str(), error.c_str());
        return 1;
    }
    if (!args.quiet)
        std::printf("orlex_simhost: %s loaded, game %s, map %s, %g frames a second. Type quit to stop.\n",
                    args.plugin.c_str(), args.server.engine.game_dir.c_str(), server.map().c_str(), args.server.fps);
    std::fflush(stdout);

    std::signal(SIGINT, on_interrupt);
    std::signal(SIGTERM, on_interrupt);
    simhost::Console console;
    const auto frame = std::chrono::duration<double>(server.frame_time());
    auto next = std::chrono::steady_clock::now();
    const double start = server.engine().time();
    while (!interrupted && (args.duration < 0 || server.engine().time() - start < args.duration)) {
        std::string line;
        if (console.read_line(&line) &&
            simhost::run_console_line(server, line, stdout) == simhost::ConsoleOutcome::quit)
            break;
        server.run_frame();
        if (!args.fast) {
            next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(frame);
            std::this_thread::sleep_until(next);
        }
    }
    server.stop();
    for (const std::string &violation : server.host().violations())
        std::fprintf(stderr, "orlex_simhost: %s\n", violation.c_str());
    return server.host().violations().empty() && server.engine().unexpected_calls().empty() ? 0 : 1;
}
