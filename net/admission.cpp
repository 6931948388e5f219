#include "net/admission.h"

#include <cstdio>
#include <cstring>

#include "host/sdk_util.h"

Admission admission;

enum { BAD_ENTRY_SHOWN = 40 };  // characters of a bad entry shown in its line

void address_text(uint32_t address, char (&text)[16]) {
    snprintf(text, sizeof(text), "%u.%u.%u.%u", address >> 24, address >> 16 & 0xFFu, address >> 8 & 0xFFu,
             address & 0xFFu);
}

static void log_bad_entry(const char *entry, size_t length, void *context) {
    int &named = *static_cast<int *>(context);
    if (++named > BAD_ENTRY_LINES)
        return;
    const int shown = length > BAD_ENTRY_SHOWN ? BAD_ENTRY_SHOWN : static_cast<int>(length);
    UTIL_LogPrintf("[ORLEX] orlex_mm_allow: ignoring \"%.*s%s\": not an IPv4 address or address/prefix", shown, entry,
                   length > BAD_ENTRY_SHOWN ? "..." : "");
}

static void log_reading(const AddressList &list, const AddressList::Reading &reading, size_t length) {
    if (length >= ALLOW_TEXT_SIZE)
        UTIL_LogPrintf("[ORLEX] orlex_mm_allow is longer than %i characters; the rest is ignored", ALLOW_TEXT_SIZE - 1);
    if (reading.malformed > BAD_ENTRY_LINES)
        UTIL_LogPrintf("[ORLEX] orlex_mm_allow: %i more entries do not parse", reading.malformed - BAD_ENTRY_LINES);
    if (reading.ignored > 0)
        UTIL_LogPrintf("[ORLEX] orlex_mm_allow: more than %i entries; the last %i are ignored", ADDRESS_LIST_RANGES,
                       reading.ignored);
    if (!list.restricts())
        UTIL_LogPrintf("[ORLEX] orlex_mm_allow is empty; every address may connect");
    else if (list.ranges() == 0)
        UTIL_LogPrintf("[ORLEX] orlex_mm_allow: no entry parses; refusing every connection");
    else
        UTIL_LogPrintf("[ORLEX] orlex_mm_allow: entries in use: %i; connections from any other address are refused",
                       list.ranges());
}

bool Admission::set_allow_list(const char *text) {
    // Only the part that is read counts: a change past it changes nothing.
    if (strncmp(text, allow_text_, sizeof(allow_text_) - 1) == 0)
        return false;
    snprintf(allow_text_, sizeof(allow_text_), "%s", text);
    int named = 0;
    const AddressList::Reading reading = list_.read(allow_text_, sizeof(allow_text_), log_bad_entry, &named);
    log_reading(list_, reading, strnlen(text, sizeof(allow_text_)));
    return true;
}

void Admission::set_rate(int per_minute) {
    const int rate = per_minute > 0 ? per_minute : 0;
    if (rate == rate_)
        return;
    rate_ = rate;
    if (rate_ > 0)
        UTIL_LogPrintf("[ORLEX] orlex_mm_rate: at most %i new connections per address per minute", rate_);
    else
        UTIL_LogPrintf("[ORLEX] orlex_mm_rate is 0; new connections are not limited");
}

bool Admission::admit(uint32_t address, double now) {
    if (!list_.restricts() && rate_ == 0)
        return true;
    const int64_t minute = minute_of(now);
    if (!list_.allows(address)) {
        refuse(address, minute, "not in orlex_mm_allow");
        return false;
    }
    if (rate_ > 0 && connections_.count(address, minute) > static_cast<uint32_t>(rate_)) {
        refuse(address, minute,
               "more new connections this minute than orlex_mm_rate allows; refused until the minute ends");
        return false;
    }
    return true;
}

void Admission::refuse(uint32_t address, int64_t minute, const char *reason) {
    if (refusals_.count(address, minute) > 1)
        return;  // this address has had its line this minute
    if (minute != log_minute_) {
        log_minute_ = minute;
        refusal_lines_ = 0;
    }
    if (refusal_lines_ > REFUSAL_LINES_PER_MINUTE)
        return;
    if (++refusal_lines_ > REFUSAL_LINES_PER_MINUTE) {
        UTIL_LogPrintf("[ORLEX] Refusing connections from more addresses; no more refusal lines this minute");
        return;
    }
    char text[16];
    address_text(address, text);
    UTIL_LogPrintf("[ORLEX] Refused a connection from %s: %s", text, reason);
}
