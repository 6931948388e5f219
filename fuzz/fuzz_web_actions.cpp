// The gateway's admin inputs: a users file, an action's body against a server's players, and a
// console's answer to `maps *`. A line planned for the console never holds what could make it
// another command, whatever the body.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "web/access/users.h"
#include "web/actions/action.h"
#include "web/actions/maps_list.h"
#include "web/replay_names.h"
#include "web/replay_request.h"

namespace {

view::State players() {
    view::State state;
    state.server.game_dir = "cstrike";
    for (int id = 1; id <= 3; ++id) {
        view::Player player;
        player.user_id = id;
        player.name = "p" + std::to_string(id);
        player.auth_id = id == 2 ? "BOT" : "STEAM_0:1:" + std::to_string(id);
        player.address = "10.0.0." + std::to_string(id) + ":27005";
        state.players.push_back(player);
    }
    return state;
}

// A replay asked for names a plain file of the recording directory, whatever the body.
void check_replay_request(const std::string &text) {
    static const web::access::CsrfKey csrf;
    const web::access::Identity nobody;
    const web::ReplayCaller caller{true, false, false, nobody, csrf, "", "", ""};
    web::ReplayAsk ask;
    web::ReplayRefusal refusal;
    if (!web::read_replay_request(caller, text, &ask, &refusal))
        return;
    if (!web::plain_recording_name(ask.file) || ask.file.find('/') != std::string::npos ||
        ask.file.find("..") != std::string::npos || ask.file.empty() || ask.file[0] == '.')
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    check_replay_request(text);
    std::vector<web::access::User> users;
    std::string error;
    if (web::access::parse_users(text, &users, &error))
        for (const web::access::User &user : users)
            if (user.hash.size() != 71 || user.role == web::access::Role::none)
                __builtin_trap();
    static const view::State state = players();
    const web::actions::Plan plan = web::actions::plan_action(text, {&state, &web::actions::default_allowed_cvars()});
    if (!plan.lines.empty() && !plan.error.empty())
        __builtin_trap();
    for (const std::string &line : plan.lines) {
        size_t quotes = 0;
        for (char c : line) {
            if (static_cast<unsigned char>(c) < 0x20 || c == ';' || c == 0x7f)
                __builtin_trap();
            quotes += c == '"';
        }
        if (quotes % 2 != 0 || line.size() > 400)
            __builtin_trap();
    }
    for (const std::string &map : web::actions::maps_in_answer(text))
        if (map.empty() || map.find_first_of(" ;\"\n") != std::string::npos)
            __builtin_trap();
    return 0;
}
