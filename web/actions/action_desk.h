// Where the actions asked over HTTP are checked, sent to the server's console one line at a time,
// and written to the audit trail before they are answered. The caller is already known (its user
// and role); everything else is decided here.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "stream/view_state.h"
#include "web/access/users.h"
#include "web/actions/console.h"
#include "web/actions/rate_limit.h"
#include "web/audit/audit_log.h"

namespace web::actions {

struct Reply {
    int status = 200;
    std::string body;  // JSON
};
using ReplyTo = std::function<void(Reply)>;

class ActionDesk {
public:
    static constexpr size_t kAuditedOutput = 512;

    ActionDesk(audit::AuditLog &audit, std::vector<std::string> allowed_cvars)
        : audit_(audit), allowed_cvars_(std::move(allowed_cvars)) {}
    // The consoles of the servers; without one every action is refused as rcon being unavailable.
    void set_console(Console *console) { console_ = console; }
    const std::vector<std::string> &allowed_cvars() const { return allowed_cvars_; }

    // An action from a user of any role on a served server (`state` its current state).
    void act(const std::string &user, access::Role role, const std::string &server, const view::State &state,
             const std::string &body, ReplyTo reply);
    // An attempt refused before it could be read (another site's page, a missing CSRF value), audited.
    void refuse(const std::string &user, const std::string &server, int status, const std::string &why, ReplyTo reply);
    // The maps the server offers (`maps *`), for an admin.
    void maps(const std::string &server, ReplyTo reply);
    // Whether the server's console takes commands now: "ready", or why not ("rcon password refused").
    std::string console_state(const std::string &server) const;

private:
    struct Attempt;
    void send_lines(std::shared_ptr<Attempt> attempt, size_t next);
    void finish(std::shared_ptr<Attempt> attempt, int status, const std::string &error);
    bool console_ready(const std::string &server, std::string *why) const;

    audit::AuditLog &audit_;
    std::vector<std::string> allowed_cvars_;
    Console *console_ = nullptr;
    RateLimit rate_;
};

// {"ok":false,"error":"..."}
std::string error_body(const std::string &error);

}  // namespace web::actions
