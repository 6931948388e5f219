// A datagram on the log socket: split into lines, each parsed as a server log line; every chat
// record that results must be one well-formed record.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "events/chat.h"
#include "events/udplogs.h"
#include "fuzz/plugin_under_test.h"
#include "net/udp_server.h"
#include "stream/records.h"

static void check_queue(CStrings &queue) {
    for (unsigned int i = 0; i < queue.GetSize(); ++i) {
        records::Record record;
        if (!records::parse_record(queue[i], &record) || record.lines.empty())
            __builtin_trap();
    }
    queue.Clear();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    plugin_under_test();
    CStrings lines;
    const int count = size > 2048 ? 2048 : static_cast<int>(size);  // the socket's datagram limit
    queue_datagram_lines(lines, reinterpret_cast<const char *>(data), count);
    for (const char *line; (line = lines.Pop()) != nullptr;) {
        if (!*line || strchr(line, '\n'))
            __builtin_trap();  // no empty line is queued, and every line is whole
        udplogs::ParseLogLine(line);
        udplogs::HandleLogLine();
        udplogs::ParsePlayerInfo(line);
    }
    check_queue(tcp_say_buf);
    check_queue(tcp_say_team_buf);
    check_queue(tcp_server_say_buf);
    return 0;
}
