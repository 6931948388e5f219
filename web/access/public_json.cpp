#include "web/access/public_json.h"

#include <boost/json/serialize.hpp>

#include "web/state_json.h"

namespace web::access {
namespace json = boost::json;
namespace {

json::array public_summaries(const std::vector<const Source *> &servers) {
    json::array list;
    for (const Source *server : servers) {
        json::object summary = server_summary(server->fold(), server->replay());
        summary.erase("address");
        list.push_back(std::move(summary));
    }
    return list;
}

}  // namespace

std::string public_detail_text(const Source &server) {
    json::object detail = server_detail(server.fold(), server.replay());
    detail.erase("address");
    return json::serialize(detail);
}

std::string public_servers_text(const std::vector<const Source *> &servers) {
    return json::serialize(json::object{{"servers", public_summaries(servers)}});
}

std::string public_servers_message(const std::vector<const Source *> &servers) {
    return json::serialize(json::object{{"type", "servers"}, {"servers", public_summaries(servers)}});
}

std::string public_state_message(const std::string &detail_text) {
    return "{\"type\":\"state\",\"state\":" + detail_text + "}";
}

}  // namespace web::access
