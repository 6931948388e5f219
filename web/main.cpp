// orlex_web: watches game servers' plug-in streams and serves them as a live dashboard and an API.
#include <sys/resource.h>
#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>

#include <csignal>
#include <cstdio>
#include <exception>
#include <thread>

#include "web/access/users.h"
#include "web/gateway.h"
#include "web/listener.h"
#include "web/options.h"

namespace {

// Every viewer is a descriptor: take what the system allows this process.
void raise_descriptor_limit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// The test build orlex_web_slow_disk only: every write to the recording directory takes this long.
web::RecordingFiles::WriteHook slow_disk() {
#ifdef ORLEX_WEB_TEST_DISK_DELAY_MS
    return [] { std::this_thread::sleep_for(std::chrono::milliseconds(ORLEX_WEB_TEST_DISK_DELAY_MS)); };
#else
    return {};
#endif
}

// A configuration with a mistake is refused at start; later changes with one are logged and skipped.
bool check_config(const std::string &path) {
    std::string text;
    if (!web::read_text_file(path, &text)) {
        std::fprintf(stderr, "orlex_web: --config: cannot read %s\n", path.c_str());
        return false;
    }
    std::vector<web::ServerAddress> servers;
    std::string error;
    if (!web::parse_config(text, &servers, &error)) {
        std::fprintf(stderr, "orlex_web: %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    return true;
}

// --hash-token: the token on standard input (its first line, without surrounding blanks, as
// --token-file reads it) into the hash a users file line ends with.
int print_token_hash() {
    char line[4096];
    if (!std::fgets(line, sizeof(line), stdin)) {
        std::fputs("orlex_web: --hash-token: give the token on standard input\n", stderr);
        return 2;
    }
    std::string token(line);
    token = token.substr(0, token.find('\n'));
    const size_t start = token.find_first_not_of(" \t\r");
    token = start == std::string::npos ? "" : token.substr(start, token.find_last_not_of(" \t\r") - start + 1);
    if (token.empty()) {
        std::fputs("orlex_web: --hash-token: the token must not be empty\n", stderr);
        return 2;
    }
    std::printf("%s\n", web::access::token_hash(token).c_str());
    return 0;
}

int run(int argc, char **argv) {
    web::Options options;
    const web::ParseResult parsed = web::parse_options(std::vector<std::string>(argv + 1, argv + argc), &options);
    if (parsed.outcome == web::ParseResult::exit) {
        std::fputs(parsed.output.c_str(), parsed.exit_code == 0 ? stdout : stderr);
        return parsed.exit_code;
    }
    if (parsed.outcome == web::ParseResult::hash_token)
        return print_token_hash();
    if (!options.config_path.empty() && !check_config(options.config_path))
        return 2;
    raise_descriptor_limit();
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);  // a file-size limit reached is a write error, logged, not the end

    boost::asio::io_context io;
    web::Gateway gateway(io, options, slow_disk());
    web::Listener listener(io, gateway, options);
    // On a signal everything is closed and the loop ends when the last handler has run. Caught from
    // here on: reading long recordings at start takes a while, and a stop then must end us cleanly.
    boost::asio::signal_set signals(io, SIGINT, SIGTERM);
    signals.async_wait([&](boost::system::error_code, int) {
        listener.stop();
        gateway.stop();
    });
    std::string error;
    if (!listener.open(options.listen_host, options.listen_port, &error)) {
        std::fprintf(stderr, "orlex_web: %s\n", error.c_str());
        return 1;
    }
    if (!gateway.start(&error)) {
        std::fprintf(stderr, "orlex_web: %s\n", error.c_str());
        return 1;
    }
    listener.start();
    std::printf("orlex_web: dashboard at http://%s:%u/\n", options.listen_host.c_str(), listener.port());
    if (gateway.log_port() > 0)
        std::printf("orlex_web: taking the servers' logs on UDP port %d\n", gateway.log_port());
    std::fflush(stdout);
    io.run();
    return 0;
}

}  // namespace

// The one guard: handlers use the error_code overloads and check what they read, so an exception
// here is a fault; it is said, and the exit code tells a supervisor to restart us.
int main(int argc, char **argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "orlex_web: stopped by an unexpected error: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "orlex_web: stopped by an unexpected error\n");
    }
    return 70;  // EX_SOFTWARE
}
