#include "web/access/public_json.h"

#include <boost/json/serialize.hpp>

#include "web/log/event_json.h"
#include "web/state_json.h"

namespace web::access {
namespace json = boost::json;
namespace {

// Whatever part names a player by auth id or an address (the log's events among them) loses it, and
// a log line not understood keeps no text: it could hold either.
void scrub(json::value &value) {
    if (json::object *object = value.if_object()) {
        object->erase("auth_id");
        object->erase("address");
        const json::value *kind = object->if_contains("kind");
        if (kind && kind->is_string() && kind->get_string() == "other")
            object->erase("text");
        for (auto &entry : *object)
            scrub(entry.value());
    } else if (json::array *array = value.if_array()) {
        for (json::value &item : *array)
            scrub(item);
    }
}

json::array public_summaries(const std::vector<const Source *> &servers) {
    json::array list;
    for (const Source *server : servers) {
        json::value summary = server_summary(server->fold(), server->replay());
        scrub(summary);
        list.push_back(std::move(summary));
    }
    return list;
}

}  // namespace

std::string public_detail_text(const Source &server, const maps::MapPicture *picture) {
    json::value detail = source_detail(server, picture);
    scrub(detail);
    return json::serialize(detail);
}

std::string public_servers_text(const std::vector<const Source *> &servers) {
    return json::serialize(json::object{{"servers", public_summaries(servers)}});
}

std::string public_servers_message(const std::vector<const Source *> &servers) {
    return json::serialize(json::object{{"type", "servers"}, {"servers", public_summaries(servers)}});
}

std::string public_events_text(const log::EventLog &log, uint64_t since, uint64_t until) {
    json::array events;
    for (const log::LogEvent *event : log.since(since)) {
        if (event->seq > until)
            break;
        json::value object = log::event_object(*event);
        scrub(object);
        events.push_back(std::move(object));
    }
    return json::serialize(json::object{{"events", std::move(events)}});
}

std::string public_state_message(const std::string &detail_text) {
    return "{\"type\":\"state\",\"state\":" + detail_text + "}";
}

}  // namespace web::access
