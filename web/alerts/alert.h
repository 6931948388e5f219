// One alert: what happened, where and to whom, as the rules found it and the webhooks post it.
#pragma once

#include <cstdint>
#include <string>

namespace web {

struct Alert {
    std::string kind;     // chat, down, up, players, ping, loss
    std::string server;   // its served name
    std::string player;   // the player's name; empty when it is about the server
    std::string text;     // chat: the message; others: what crossed which bound
    double value = 0;     // players, ping (ms), loss (%), down (seconds)
    int64_t time_ms = 0;  // Unix time
};

// {"kind":..,"server":..,"player":..,"text":..,"value":..,"time":ms}: the json format's body and
// what the page is pushed.
std::string alert_json(const Alert &alert);
// One line for a person: the chat format's "content".
std::string alert_sentence(const Alert &alert);
// The chat format: {"content": the sentence}.
std::string chat_body(const Alert &alert);

}  // namespace web
