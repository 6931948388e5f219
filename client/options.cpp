#include "client/options.h"

#include <cmath>
#include <cstdlib>

namespace client {
namespace {

bool fail(std::string *error, const std::string &message) {
    *error = message;
    return false;
}

bool read_number(const std::string &text, double low, double high, double *number) {
    char *end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(value >= low && value <= high))
        return false;
    *number = value;
    return true;
}

bool read_whole(const std::string &text, double low, double high, double *number) {
    return read_number(text, low, high, number) && std::floor(*number) == *number;
}

// One option and, when it takes one, its value; false with the reason.
bool take_option(const std::string &name, const std::string *value, Options *options, std::string *error) {
    double number = 0;
    if (name == "--send") {
        if (value->empty() || value->find_first_of("\r\n") != std::string::npos)
            return fail(error, "--send needs one command without line breaks");
        options->sends.push_back(*value);
    } else if (name == "--timeout") {
        if (!read_number(*value, 0.1, 86400, &number))
            return fail(error, "--timeout needs seconds between 0.1 and 86400");
        options->timeout = number;
    } else if (name == "--spacing") {
        if (!read_number(*value, 0, 3600, &number))
            return fail(error, "--spacing needs seconds between 0 and 3600");
        options->spacing = number;
    } else if (name == "--chat") {
        if (!read_whole(*value, 0, 1000, &number))
            return fail(error, "--chat needs a number of lines between 0 and 1000");
        options->chat_lines = static_cast<size_t>(number);
    } else if (name == "--record" || name == "--replay") {
        if (value->empty())
            return fail(error, name + " needs a file");
        (name == "--record" ? options->record_path : options->replay_path) = *value;
    } else if (name == "--speed") {
        if (!read_number(*value, 0.5, 16, &number))
            return fail(error, "--speed needs a factor between 0.5 and 16");
        options->speed = number;
    } else if (name == "--width") {
        if (!read_whole(*value, 20, 1000, &number))
            return fail(error, "--width needs a number of columns between 20 and 1000");
        options->width = static_cast<size_t>(number);
    }
    return true;
}

bool takes_value(const std::string &name) {
    return name == "--send" || name == "--timeout" || name == "--spacing" || name == "--chat" || name == "--width" ||
           name == "--record" || name == "--replay" || name == "--speed";
}

bool take_flag(const std::string &name, Options *options) {
    bool *flag = name == "--raw"                    ? &options->raw
                 : name == "--once"                 ? &options->once
                 : name == "--help" || name == "-h" ? &options->help
                                                    : nullptr;
    if (flag)
        *flag = true;
    return flag != nullptr;
}

bool take_place(const std::vector<std::string> &places, Options *options, std::string *error) {
    if (places.size() != 2)
        return fail(error, "expected HOST and PORT");
    double port = 0;
    if (places[0].empty() || !read_whole(places[1], 1, 65535, &port))
        return fail(error, "PORT must be a number from 1 to 65535");
    options->host = places[0];
    options->port = static_cast<int>(port);
    return true;
}

}  // namespace

bool parse_options(const std::vector<std::string> &arguments, Options *options, std::string *error) {
    *options = Options();
    std::vector<std::string> places;
    for (size_t at = 0; at < arguments.size(); ++at) {
        const std::string &argument = arguments[at];
        if (take_flag(argument, options))
            continue;
        if (takes_value(argument)) {
            if (at + 1 == arguments.size())
                return fail(error, argument + " needs a value");
            if (!take_option(argument, &arguments[++at], options, error))
                return false;
        } else if (argument.size() > 1 && argument[0] == '-') {
            return fail(error, "unknown option " + argument);
        } else {
            places.push_back(argument);
        }
    }
    if (options->help)
        return true;
    if (options->raw && options->once)
        return fail(error, "--raw and --once do not go together");
    if (!options->replay_path.empty()) {
        if (!places.empty() || !options->sends.empty() || !options->record_path.empty())
            return fail(error, "--replay shows a file: no HOST PORT, --send or --record with it");
        return true;
    }
    return take_place(places, options, error);
}

std::string usage() {
    return "usage: orlex_client HOST PORT [options]\n"
           "       orlex_client --replay FILE [--speed X | --once | --raw]\n"
           "Shows a game server's live report stream: server, players, objectives, chat.\n"
           "\n"
           "  HOST              IPv4 address or host name of the game server\n"
           "  PORT              its administration port (the game port + 13000 by default)\n"
           "  --send CMD        send a command, e.g. GET_PLAYER or \"SET_REFRESH 2\"; repeatable,\n"
           "                    sent in order, one every --spacing seconds\n"
           "  --raw             print the records exactly as they arrive\n"
           "  --once            ask for the server and player reports, print one snapshot, exit\n"
           "  --timeout SECS    give up connecting, or with --once getting the snapshot (default 15)\n"
           "  --spacing SECS    seconds between two commands (default 2.1; the server reads a\n"
           "                    client once per query tick and honours only the first line)\n"
           "  --chat N          chat lines shown (default 10)\n"
           "  --width N         columns of the view (default: the terminal's, or 100)\n"
           "  --record FILE     keep every record with its arrival time in FILE (a new file;\n"
           "                    docs/recording.md describes it)\n"
           "  --replay FILE     show a recording as it was seen live, at its pace\n"
           "  --speed X         replay X times as fast, 0.5 to 16 (default 1)\n"
           "                    with --replay, --once shows the last state at once and --raw\n"
           "                    exports the records, exactly as they arrived, as plain text\n"
           "  --help            this text\n"
           "\n"
           "Commands: GET_PLAYER GET_SERVER GET_FLAG GET_SENTRY GET_TELEPORTER GET_DISPENSER GET_HIVE\n"
           "GET_RESOURCE GET_COMMAND GET_BOMB GET_HOSTAGE \"SET_REFRESH <seconds>\"\n";
}

}  // namespace client
