// orlex_soak: days of game time on the simulated server with the plug-in, under the clients an
// operator's day brings, watched for growth and for lost report cycles.
#include <csignal>
#include <cstdio>
#include <exception>

#include "soak/soak_options.h"
#include "soak/soak_run.h"
#include "support/sockets.h"

static int run_soak(int argc, char **argv) {
    soak::SoakOptions options;
    const soak::SoakParse parsed = soak::parse_soak_options(argc, argv, &options);
    if (parsed != soak::SoakParse::run)
        return parsed == soak::SoakParse::help ? 0 : 2;
    std::signal(SIGPIPE, SIG_IGN);  // a server that ends is noticed, not fatal
    boost::asio::io_context io;
    const int report_port = testing_support::free_port();
    int game_port = testing_support::free_port();
    while (game_port == report_port)
        game_port = testing_support::free_port();
    soak::SoakRun run(io, options, report_port, game_port);
    return run.run() ? 0 : 1;
}

// What a constructor or the loop throws (out of memory, a resource the system refuses) ends the
// program with its message and a failure status, not an abort.
int main(int argc, char **argv) {
    try {
        return run_soak(argc, argv);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "orlex_soak: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "orlex_soak: stopped by an unexpected error\n");
    }
    return 1;
}
