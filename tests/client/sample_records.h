// Records as the plug-in writes them, for the client's tests.
#pragma once

#include <string>
#include <vector>

namespace samples {

inline std::string server(const std::string &map = "de_dust2", const std::string &host = "Friday night") {
    return "TYPE\tSERVER\nGAME_DIR\tcstrike\nMAX_PLAYERS\t32\nUPTIME\t3725\nSV_PASSWORD\t\nWORLDSIZE_X\t4000.000000\n"
           "WORLDSIZE_Y\t1000.000000\nMAP_NAME\t" +
           map + "\nHOST_NAME\t" + host +
           "\nNET_ADDR\t192.168.1.5:27015\nADDR_IP\t127.0.0.1\nADDR_PORT\t27015\nTIMELEFT\t754.500000\n"
           "TEAM_NAMES\tTERRORIST\tCT\nTEAM_SCORES\t3\t5\n\n";
}

// A table record: each line the key, then each entity's value and a tab.
inline std::string table(const std::string &kind, const std::vector<std::vector<std::string>> &lines) {
    std::string record = "TYPE\t" + kind + "\n";
    for (const std::vector<std::string> &line : lines) {
        record += line[0] + "\t";
        for (size_t entity = 1; entity < line.size(); ++entity)
            record += line[entity] + "\t";
        record += "\n";
    }
    return record + "\n";
}

// Players by name, each with the defaults below unless `changes` gives a key other values:
// {"KILLS", "3.000000", "0.000000"} sets the first player's and the second's.
inline std::string players(const std::vector<std::string> &names,
                           const std::vector<std::vector<std::string>> &changes = {}) {
    std::vector<std::vector<std::string>> lines = {{"NAMES"},
                                                   {"TEAM", "0"},
                                                   {"MODEL", "sas"},
                                                   {"MODEL_ALT", "0"},
                                                   {"KILLS", "0.000000"},
                                                   {"DEATHS", "0"},
                                                   {"HEALTH", "1.000000"},
                                                   {"ARMOR", "0.000000"},
                                                   {"PINGS", "25"},
                                                   {"PACKET_LOSS", "0"},
                                                   {"TIMES", "60.000000"},
                                                   {"STEAM_ID", "STEAM_0:1:5"},
                                                   {"USER_ID", "5"},
                                                   {"INDEX_NUM", "1"},
                                                   {"IP", "10.0.0.5"},
                                                   {"WEAPON", "models/p_ak47.mdl"},
                                                   {"X_COORD", "0.000000"},
                                                   {"Y_COORD", "0.000000"},
                                                   {"Z_COORD", "0.000000"},
                                                   {"ANGLE", "90.000000"},
                                                   {"DEAD", "0"}};
    for (std::vector<std::string> &line : lines) {
        const std::string fallback = line.size() > 1 ? line[1] : "";
        line.resize(1);
        for (size_t entity = 0; entity < names.size(); ++entity)
            line.push_back(line[0] == "NAMES" ? names[entity] : fallback);
        for (const std::vector<std::string> &change : changes)
            for (size_t entity = 1; change[0] == line[0] && entity < change.size(); ++entity)
                line[entity] = change[entity];
    }
    return table("PLAYER", lines);
}

inline std::string say(const std::string &text) { return "TYPE\tSAY\nUSER_ID\t7\nCHAT\t" + text + "\n\n"; }
inline std::string say_team(const std::string &text) {
    return "TYPE\tSAY_TEAM\nUSER_ID\t7\nCHAT\t(TEAM)" + text + "\n\n";
}
inline std::string server_say(const std::string &text) { return "TYPE\tSERVER_SAY\nCHAT\t" + text + "\n\n"; }

// Flags numbered from 0, as many as asked.
inline std::string flags(size_t count) {
    std::vector<std::string> numbers = {"FLAG_NUM"}, places = {"X_COORD"};
    for (size_t flag = 0; flag < count; ++flag) {
        numbers.push_back(std::to_string(flag));
        places.push_back("100.000000");
    }
    return table("FLAG", {numbers, places});
}

}  // namespace samples
