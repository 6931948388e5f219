// The API of users and actions: GET /api/session (who the page is, its CSRF value), POST
// /api/servers/NAME/actions, GET /api/servers/NAME/maps, GET /api/servers/NAME/rcon (whether its
// console takes commands, or why not) and GET /api/audit. Who may: admins act and
// read the audit trail; a POST with the cookie must come from the gateway's own origin with the
// session's CSRF value in X-CSRF-Token (a bearer header needs neither: another site cannot set it).
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "stream/view_state.h"
#include "web/access/csrf.h"
#include "web/access/identity.h"
#include "web/actions/action_desk.h"
#include "web/audit/audit_log.h"

namespace web::actions {

struct Gate {
    ActionDesk &desk;
    audit::AuditLog &audit;
    const access::CsrfKey &csrf;
    std::function<const view::State *(const std::string &server)> find_state;  // null: not served
    bool has_users = false;
    bool public_view = false;
    int public_delay_seconds = 0;
};

struct Asked {
    bool post = false;  // else GET or HEAD
    std::string_view target, path;
    const access::Identity &identity;
    bool is_public = false;  // no user, and the public view is on
    std::string_view origin, host, csrf_header;
    const std::string &body;
};

// True when the request is one of these routes: `reply` is then called, at once or later.
bool route(Gate &gate, const Asked &asked, ReplyTo reply);
// Whether the path is one a POST may go to (only these read a body).
bool takes_body(std::string_view path);

}  // namespace web::actions
