// POST /api/replays {"file":"NAME","seek_ms":MS} or {"file":"NAME","at_ms":UNIX_MS}: a recording of
// the recording directory opened as a replay and moved to that point: a time into the recording, or
// the moment it recorded at that wall-clock time (the history knows a kill's time; the recording's
// own start is the origin, exactly). Who may: viewers and admins (everyone without users), never the
// public view. A request with the cookie must come from the gateway's own origin with the session's
// CSRF value in X-CSRF-Token: it moves a replay others may be watching.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "web/access/csrf.h"
#include "web/access/identity.h"

namespace web {

constexpr std::string_view kReplaysPath = "/api/replays";

struct ReplayCaller {
    bool post = false;
    bool is_public = false;
    bool has_users = false;
    const access::Identity &identity;
    const access::CsrfKey &csrf;
    std::string_view origin, host, csrf_header;
};

// Where to move a replay.
struct ReplayPoint {
    uint32_t seek_ms = 0;
    int64_t at_unix_ms = 0;  // when not 0, instead: that moment (the start when it is earlier)
};

struct ReplayAsk {
    std::string file;  // a plain name, checked
    ReplayPoint point;
};

struct ReplayRefusal {
    int status = 400;
    std::string body;
};

// False with the answer to give when the caller may not, or the body is not such a request.
bool read_replay_request(const ReplayCaller &caller, std::string_view body, ReplayAsk *ask, ReplayRefusal *refusal);

std::string replay_error_body(const std::string &why);

}  // namespace web
