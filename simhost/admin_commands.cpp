#include "simhost/admin_commands.h"

#include <cstdlib>
#include <filesystem>
#include <set>
#include <vector>

#include "simhost/command_text.h"
#include "simhost/map_catalog.h"

namespace simhost {
namespace {

using Words = std::vector<std::string>;

std::string joined(const Words &words, size_t from) {
    std::string text;
    for (size_t index = from; index < words.size(); ++index)
        text += (text.empty() ? "" : " ") + words[index];
    return text;
}

bool whole_number(const std::string &text, int *number) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *number = std::atoi(text.c_str());
    return true;
}

edict_t *player_with_user_id(GameServer &server, int user_id) {
    for (edict_t *player : server.players())
        if (server.engine().world().player_info(player)->user_id == user_id)
            return player;
    return nullptr;
}

edict_t *player_named(GameServer &server, const std::string &name) {
    for (edict_t *player : server.players())
        if (server.engine().world().player_info(player)->name == name)
            return player;
    return nullptr;
}

// "#5", "# 5" (the id in the next word) or a user id alone; `used` tells how many words it took.
edict_t *player_by_id_words(GameServer &server, const Words &words, size_t at, size_t *used) {
    int user_id = 0;
    *used = 1;
    if (at < words.size() && words[at] == "#") {
        *used = 2;
        return at + 1 < words.size() && whole_number(words[at + 1], &user_id) ? player_with_user_id(server, user_id)
                                                                              : nullptr;
    }
    const std::string id =
        at < words.size() && !words[at].empty() && words[at][0] == '#' ? words[at].substr(1) : words[at];
    return whole_number(id, &user_id) ? player_with_user_id(server, user_id) : nullptr;
}

std::string log_name(const PlayerInfo &info) {
    return "\"" + info.name + "<" + std::to_string(info.user_id) + "><" + info.auth_id + "><>\"";
}

void drop(GameServer &server, Match *match, edict_t *player, const std::string &reason) {
    const PlayerInfo &info = *server.engine().world().player_info(player);
    server.engine().log().write("Kick: " + log_name(info) + " was kicked by \"Console\"" +
                                (reason.empty() ? std::string() : " (message \"" + reason + "\")") + "\n");
    if (match)
        match->player_left(player);
    server.disconnect_player(player);
}

// kick #USERID [reason], kick # USERID [reason], kick NAME [reason]; nobody found: nothing is said.
void kick(GameServer &server, Match *match, const Words &words, std::string *out) {
    if (words.size() < 2) {
        *out += "Usage: kick < name > | < # userid >\n";
        return;
    }
    size_t used = 1;
    edict_t *player = words[1][0] == '#' ? player_by_id_words(server, words, 1, &used) : player_named(server, words[1]);
    if (player)
        drop(server, match, player, joined(words, 1 + used));
}

bool unique_id(const std::string &auth_id) { return auth_id != "BOT" && auth_id != "HLTV" && !auth_id.empty(); }

// banid MINUTES USERID_OR_AUTHID [kick]
void ban_id(GameServer &server, Match *match, const Words &words, std::string *out) {
    int minutes = 0;
    if (words.size() < 3 || !whole_number(words[1], &minutes)) {
        *out += "Usage: banid <minutes> <#userid or unique id> { kick }\n";
        return;
    }
    size_t used = 1;
    edict_t *player = player_by_id_words(server, words, 2, &used);
    const PlayerInfo *info = player ? server.engine().world().player_info(player) : nullptr;
    const std::string auth_id = info ? info->auth_id : words[2];
    if (!unique_id(auth_id)) {
        *out += "banid: " + auth_id + " is not a unique id; ban the address\n";
        return;
    }
    server.bans().ban_id(auth_id);
    const std::string span = minutes == 0 ? "permanently" : "for " + std::to_string(minutes) + " minutes";
    server.engine().log().write("Banid: \"<><" + auth_id + "><>\" was banned \"" + span + "\" by \"Console\"\n");
    *out += auth_id + " was banned " + span + "\n";
    if (player && joined(words, 2 + used) == "kick")
        drop(server, match, player, "banned");
}

bool ipv4_text(const std::string &text) {
    int parts = 0;
    size_t position = 0;
    while (position <= text.size() && parts < 5) {
        const size_t dot = text.find('.', position);
        const std::string part = text.substr(position, dot == std::string::npos ? std::string::npos : dot - position);
        int value = 0;
        if (part.size() > 3 || !whole_number(part, &value) || value > 255)
            return false;
        ++parts;
        if (dot == std::string::npos)
            break;
        position = dot + 1;
    }
    return parts == 4;
}

// addip MINUTES IP: anyone playing from there goes too.
void add_ip(GameServer &server, Match *match, const Words &words, std::string *out) {
    int minutes = 0;
    if (words.size() < 3 || !whole_number(words[1], &minutes) || !ipv4_text(words[2])) {
        *out += "Usage: addip <minutes> <ipaddress>\n";
        return;
    }
    server.bans().ban_ip(words[2]);
    server.engine().log().write(
        "Addip: \"<><><>\" was banned by IP \"" +
        (minutes == 0 ? std::string("permanently") : "for " + std::to_string(minutes) + " minutes") +
        "\" by \"Console\" (IP \"" + words[2] + "\")\n");
    for (edict_t *player : server.players())
        if (server.bans().address_banned(server.engine().world().player_info(player)->address))
            drop(server, match, player, "banned");
}

void list(const std::set<std::string> &entries, const char *what, std::string *out) {
    *out += entries.empty() ? std::string(what) + " list: empty\n"
                            : std::string(what) + " list: " + std::to_string(entries.size()) + " entries\n";
    for (const std::string &entry : entries)
        *out += entry + " : permanent\n";
}

void remove(bool removed, const std::string &entry, std::string *out) {
    *out += removed ? "removed " + entry + "\n" : entry + " is not on the list\n";
}

}  // namespace

std::string map_list(GameServer &server, const std::string &filter) {
    std::set<std::string> names;
    for (const MapInfo &map : map_rotation(server.engine().config().game_dir))
        names.insert(map.name);
    const std::string &root = server.engine().config().files_root;
    std::error_code error;
    if (!root.empty())
        for (const auto &entry : std::filesystem::directory_iterator(root + "/maps", error))
            if (entry.path().extension() == ".bsp")
                names.insert(entry.path().stem().string());
    std::string text = "-------------\n";
    for (const std::string &name : names)
        if (filter.empty() || filter == "*" || name.find(filter) != std::string::npos)
            text += name + ".bsp\n";
    return text;
}

bool run_admin_command(GameServer &server, Match *match, const std::string &command, std::string *out) {
    const Words words = split_words(command);
    const std::string name = words.empty() ? std::string() : words[0];
    if (name == "kick")
        kick(server, match, words, out);
    else if (name == "banid")
        ban_id(server, match, words, out);
    else if (name == "addip")
        add_ip(server, match, words, out);
    else if (name == "removeid" && words.size() == 2)
        remove(server.bans().remove_id(words[1]), words[1], out);
    else if (name == "removeip" && words.size() == 2)
        remove(server.bans().remove_ip(words[1]), words[1], out);
    else if (name == "listid")
        list(server.bans().ids(), "UserID filter", out);
    else if (name == "listip")
        list(server.bans().ips(), "IP filter", out);
    else if (name == "maps")
        *out += words.size() < 2 ? std::string("Usage: maps <substring>\nmaps * for full listing\n")
                                 : map_list(server, words[1]);
    else
        return false;
    return true;
}

}  // namespace simhost
