#include "web/replay_request.h"

#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>

#include "web/replay_names.h"

namespace web {
namespace json = boost::json;
namespace {

bool refuse(ReplayRefusal *refusal, int status, const std::string &why) {
    *refusal = {status, replay_error_body(why)};
    return false;
}

bool caller_may(const ReplayCaller &caller, ReplayRefusal *refusal) {
    if (!caller.post)
        return refuse(refusal, 405, "a replay is opened with POST");
    if (caller.is_public)
        return refuse(refusal, 403, "the public view has no recordings or replays");
    const access::User *user = caller.identity.user;
    if (caller.has_users && !user)
        return refuse(refusal, 401, "this needs the token of a viewer or an admin");
    const bool by_cookie = user && caller.identity.via == TokenVia::cookie;
    if ((by_cookie || !caller.origin.empty()) && !access::origin_is_host(caller.origin, caller.host))
        return refuse(refusal, 403, "a replay opened from another origin (or none)");
    if (by_cookie && !caller.csrf.matches(*user, caller.csrf_header))
        return refuse(refusal, 403, "X-CSRF-Token is missing or not this session's");
    return true;
}

// A whole number of milliseconds in [0, most]; false when given and not one.
bool milliseconds(const json::object &object, const char *key, double most, double *ms) {
    const json::value *value = object.if_contains(key);
    if (!value)
        return true;
    boost::system::error_code error;
    *ms = value->is_number() ? value->to_number<double>(error) : -1;
    return !error && *ms >= 0 && *ms <= most;
}

bool read_point(const json::object &object, ReplayPoint *point, ReplayRefusal *refusal) {
    double seek = 0, at = 0;
    if (!milliseconds(object, "seek_ms", 4294967295.0, &seek))
        return refuse(refusal, 400, "seek_ms: milliseconds into the recording, 0 or more");
    if (!milliseconds(object, "at_ms", 9007199254740991.0, &at))
        return refuse(refusal, 400, "at_ms: a moment in Unix milliseconds");
    if (object.contains("seek_ms") && object.contains("at_ms"))
        return refuse(refusal, 400, "either seek_ms or at_ms");
    point->seek_ms = static_cast<uint32_t>(seek);
    point->at_unix_ms = static_cast<int64_t>(at);
    return true;
}

}  // namespace

std::string replay_error_body(const std::string &why) { return json::serialize(json::object{{"error", why}}); }

bool read_replay_request(const ReplayCaller &caller, std::string_view body, ReplayAsk *ask, ReplayRefusal *refusal) {
    if (!caller_may(caller, refusal))
        return false;
    boost::system::error_code error;
    const json::value parsed = json::parse(body, error);
    const json::object *object = error ? nullptr : parsed.if_object();
    const json::value *file = object ? object->if_contains("file") : nullptr;
    if (!file || !file->is_string() || !plain_recording_name(file->get_string()))
        return refuse(refusal, 400, "file: the plain name of a recording in the recording directory");
    ask->file = std::string(file->get_string());
    return read_point(*object, &ask->point, refusal);
}

}  // namespace web
