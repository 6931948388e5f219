#include "web/alerts/alert.h"

#include <boost/json/serialize.hpp>
#include <boost/json/value.hpp>

#include "web/utf8_text.h"

namespace web {

namespace json = boost::json;

std::string alert_json(const Alert &alert) {
    return json::serialize(json::value{{"kind", alert.kind},
                                       {"server", valid_utf8(alert.server)},
                                       {"player", valid_utf8(alert.player)},
                                       {"text", valid_utf8(alert.text)},
                                       {"value", alert.value},
                                       {"time", alert.time_ms}});
}

std::string alert_sentence(const Alert &alert) {
    const std::string where = "[" + alert.server + "] ";
    if (alert.kind == "chat")
        return where + alert.player + " calls: " + alert.text;
    if (alert.player.empty())
        return where + alert.text;
    return where + alert.player + ": " + alert.text;
}

std::string chat_body(const Alert &alert) {
    return json::serialize(json::value{{"content", valid_utf8(alert_sentence(alert))}});
}

}  // namespace web
