// orlex_web_soak: the web gateway for hours under viewers that come and go, a viewer that never
// reads, replays seeked at random and a configuration rewritten now and then; watched for growth,
// for states a viewer was owed and did not get, and for its end.
#include <csignal>
#include <cstdio>
#include <exception>

#include "soak/web_soak_options.h"
#include "soak/web_soak_run.h"

namespace {

int run_web_soak(int argc, char **argv) {
    soak::WebSoakOptions options;
    const soak::WebSoakParse parsed = soak::parse_web_soak_options(argc, argv, &options);
    if (parsed != soak::WebSoakParse::run)
        return parsed == soak::WebSoakParse::help ? 0 : 2;
    std::signal(SIGPIPE, SIG_IGN);
    boost::asio::io_context io;
    soak::WebSoakRun run(io, options);
    return run.run() ? 0 : 1;
}

}  // namespace

// What a constructor or the loop throws (out of memory, a resource the system refuses) ends the
// program with its message and a failure status, not an abort.
int main(int argc, char **argv) {
    try {
        return run_web_soak(argc, argv);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "orlex_web_soak: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "orlex_web_soak: stopped by an unexpected error\n");
    }
    return 1;
}
