// orlex_client HOST PORT [options]: a live view of a game server's report stream; or of a recording
// of one (--replay FILE).
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "client/display.h"
#include "client/options.h"
#include "client/replay.h"
#include "client/session.h"

namespace {

volatile std::sig_atomic_t stop_requested = 0;

void request_stop(int) { stop_requested = 1; }

// Without SA_RESTART, so that a wait in progress ends at once.
void stop_on(int signal_number) {
    struct sigaction action {};
    action.sa_handler = request_stop;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
}

}  // namespace

int main(int argc, char **argv) {
    client::Options options;
    std::string error;
    if (!client::parse_options(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) {
        std::fprintf(stderr, "orlex_client: %s\n%s", error.c_str(), client::usage().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(client::usage().c_str(), stdout);
        return 0;
    }
    stop_on(SIGINT);
    stop_on(SIGTERM);
    client::Display display(stdout);
    if (!options.replay_path.empty())
        return client::replay(options, display, stderr, stop_requested);
    return client::Session(options, display, stderr).run(stop_requested);
}
