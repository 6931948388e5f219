#include "simhost/bot_roster.h"

#include <string>

namespace simhost {
namespace {

const char *const NAMES[] = {"Ace",    "Blaze",  "Cobra",   "Dingo",  "Echo",  "Falcon", "Ghost", "Hawk",
                             "Iris",   "Jinx",   "Kestrel", "Lynx",   "Mako",  "Nova",   "Onyx",  "Pike",
                             "Quill",  "Raven",  "Sable",   "Talon",  "Umbra", "Viper",  "Wren",  "Xeno",
                             "Yarrow", "Zephyr", "Brick",   "Cinder", "Dusk",  "Ember",  "Flint", "Gale"};
const int NAME_COUNT = static_cast<int>(sizeof(NAMES) / sizeof(NAMES[0]));

// Addresses from the ranges set aside for documentation, so none is anybody's.
std::string person_address(Random &random) {
    static const char *const NETWORKS[] = {"192.0.2.", "198.51.100.", "203.0.113."};
    return NETWORKS[random.below(3)] + std::to_string(random.between(1, 254)) + ":" +
           std::to_string(random.between(27005, 27020));
}

std::string person_auth_id(Random &random) {
    return "STEAM_0:" + std::to_string(random.below(2)) + ":" + std::to_string(random.between(100000, 60000000));
}

// Bots 0 and 3 of every four: one of each side's every two.
bool looks_like_a_person(int number) { return number % 4 == 0 || number % 4 == 3; }

}  // namespace

BotPlan plan_bot(const GameProfile &game, int number, Random &random) {
    BotPlan plan;
    plan.side = game.teams ? number % 2 : 0;
    const std::vector<PlayerClass> &classes = game.sides[plan.side].classes;
    const int turn = game.teams ? number / 2 : number;
    plan.kind = &classes[static_cast<size_t>(turn) % classes.size()];

    PlayerSpec &joining = plan.joining;
    joining.name = NAMES[number % NAME_COUNT];
    if (number >= NAME_COUNT)
        joining.name += std::to_string(number / NAME_COUNT + 1);
    joining.model = plan.kind->info_model;
    joining.team = game.teams ? plan.side + 1 : 0;
    joining.bot = !looks_like_a_person(number);
    if (joining.bot) {
        joining.address = "127.0.0.1:27005";
        joining.ping = 0;
    } else {
        joining.address = person_address(random);
        joining.auth_id = person_auth_id(random);
        joining.ping = random.between(20, 180);
        joining.loss = random.chance(0.2) ? random.between(1, 3) : 0;
    }
    return plan;
}

}  // namespace simhost
