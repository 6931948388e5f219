#include "web/history/history_facts.h"

namespace web::history {

IdentityKind identity_kind(const std::string &auth_id) {
    if (auth_id == "BOT")
        return IdentityKind::bot;
    if (auth_id.empty() || auth_id == "STEAM_ID_LAN" || auth_id == "HLTV")
        return IdentityKind::lan;
    return IdentityKind::auth;
}

const char *identity_kind_name(IdentityKind kind) {
    switch (kind) {
        case IdentityKind::bot:
            return "bot";
        case IdentityKind::lan:
            return "lan";
        case IdentityKind::auth:
            break;
    }
    return "auth";
}

std::string identity_of(const PlayerRef &player, const std::string &server) {
    const IdentityKind kind = identity_kind(player.auth_id);
    if (kind == IdentityKind::auth)
        return "auth:" + player.auth_id;
    // The server's name first, then the player's: a name may hold any character, the server's no ':'.
    return std::string(identity_kind_name(kind)) + ":" + server + ":" + player.name;
}

size_t Fact::bytes() const {
    size_t total = sizeof(Fact) + server.size() + player.name.size() + player.auth_id.size() + victim.name.size() +
                   victim.auth_id.size() + map.size() + team.size() + weapon.size() + text.size() + recording.size();
    for (const auto &score : scores)
        total += sizeof(score) + score.first.size();
    return total;
}

}  // namespace web::history
