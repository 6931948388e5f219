#include "plugin/client_requests.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "events/chat.h"
#include "events/udplogs.h"
#include "host/cvars.h"
#include "net/tcp_server.h"
#include "net/udp_server.h"
#include "plugin/access_settings.h"
#include "plugin/report_schedule.h"
#include "text/number_text_reader.h"

static char tcp_resv_buffer[256];  // one read from one client
static char command[256];          // its first line

// Chat that finds no client is dropped.
static void flush_chat(CStrings &queue) {
    if (queue.GetSize() == 0)
        return;
    const char *joined = queue.Combine(0, ~0u, "");
    if (joined) {
        const int length = static_cast<int>(strlen(joined));
        for (int slot = 0; slot < portpool; ++slot)
            if (tcp_serv.check_if_open(slot) == 0)
                tcp_serv.send_data(slot, joined, length);
    }
    queue.Clear();
}

void connection_work() {
    read_access_settings();
    tcp_serv.update_connections();
    flush_chat(tcp_say_buf);
    flush_chat(tcp_say_team_buf);
    flush_chat(tcp_server_say_buf);
    if (udp_serv.isready()) {
        const char *line = udp_serv.getline(nullptr);
        if (line && *line) {
            udplogs::ParseLogLine(line);
            udplogs::HandleLogLine();
        }
    }
}

// The longest refresh period a client may set. A new period takes effect only when the cycle next
// re-arms, so a longer one would silence every client, a shorter one set later included, until
// the next map.
static const double MAX_REFRESH_SECONDS = 3600.0;

// "SET_REFRESH <seconds>": the new refresh period, as "%.1f". A value the variable cannot hold
// (not finite, or beyond single precision) would stop the report cycle for every client, and so
// would one above an hour.
static void set_refresh(const char *line) {
    const char *space = strchr(line, ' ');
    if (!space)
        return;
    const double seconds = read_decimal(space + 1);
    if (!std::isfinite(seconds) || std::fabs(seconds) > FLT_MAX || seconds > MAX_REFRESH_SECONDS)
        return;
    char text[64];
    snprintf(text, sizeof(text), "%.1f", seconds);
    cvar_set_text(orlex_timer_refresh, text);
}

static void answer(int slot, const char *line) {
    if (strncmp(line, "SET_REFRESH", 11) == 0) {
        set_refresh(line);
        return;
    }
    const int buffer = requested_buffer(line);
    if (buffer >= 0)
        tcp_serv.send_data(slot, tcp_buffer[buffer], static_cast<int>(strlen(tcp_buffer[buffer])));
}

void answer_client(int slot, const char *bytes, int count) {
    // One command per client per read: the first line; the rest of the read is dropped.
    const int size = count < 0 ? 0 : count < static_cast<int>(sizeof(command)) ? count : sizeof(command) - 1;
    int length = 0;
    while (length < size && bytes[length] != '\r' && bytes[length] != '\n' && bytes[length] != '\0')
        ++length;
    memcpy(command, bytes, static_cast<size_t>(length));
    command[length] = '\0';
    answer(slot, command);
}

void request_work() {
    for (int slot = 0; slot < portpool; ++slot) {
        if (tcp_serv.check_if_open(slot) != 0)
            continue;
        const int count = tcp_serv.get_input(slot, tcp_resv_buffer, sizeof(tcp_resv_buffer) - 1);
        if (count > 0)
            answer_client(slot, tcp_resv_buffer, count);
    }
}
