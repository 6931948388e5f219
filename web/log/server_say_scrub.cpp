#include "web/log/server_say_scrub.h"

#include "web/log/log_secrets.h"

namespace web::log {

bool scrub_server_say(records::Record *record) {
    if (record->type != "SERVER_SAY")
        return false;
    bool changed = false;
    for (auto &line : record->lines) {
        for (std::string &field : line.second) {
            std::string scrubbed = scrub_log_secrets(field);
            if (scrubbed == field)
                continue;
            // The record's text holds the field as sent: the same cut is made there.
            const size_t at = record->text.find(field);
            if (at != std::string::npos)
                record->text.replace(at, field.size(), scrubbed);
            field = std::move(scrubbed);
            changed = true;
        }
    }
    return changed;
}

}  // namespace web::log
