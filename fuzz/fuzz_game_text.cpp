// Game text of any content (names, chat, model paths, variable values) entering records: every
// record stays one well-formed record, with its lines and entities where they belong.
#include <cstddef>
#include <cstdint>
#include <string>

#include "events/chat.h"
#include "fuzz/plugin_under_test.h"
#include "reports/server_report.h"
#include "stream/records.h"
#include "text/record.h"

static void require(bool condition) {
    if (!condition)
        __builtin_trap();
}

static records::Record parse(const char *text) {
    records::Record record;
    require(records::parse_record(text, &record));
    return record;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    simhost::Engine &engine = plugin_under_test();
    const std::string input(reinterpret_cast<const char *>(data), size);
    const size_t half = input.find('\0') == std::string::npos ? input.size() / 2 : input.find('\0');
    const std::string name = input.substr(0, half), text = half < input.size() ? input.substr(half + 1) : "";

    queue_player_chat(size % 2 == 0, 7, name.c_str(), text.c_str());
    require(parse(tcp_say_buf.GetSize() ? tcp_say_buf[0] : tcp_say_team_buf[0]).lines.size() == 2);
    tcp_say_buf.Clear();
    tcp_say_team_buf.Clear();

    static const char *const keys[] = {"NAMES", "MODEL", "NUM"};
    table_reset(report_table, 3, TABLE_COLUMNS, keys);
    for (int column = 1; column < TABLE_COLUMNS; ++column) {
        table_set(report_table, 0, column, name.c_str());
        table_set(report_table, 1, column, text.c_str());
        table_set_whole(report_table, 2, column, column);
    }
    char buffer[REPORT_BUFFER_SIZE];
    write_table(report_table, "PLAYER", buffer, sizeof(buffer));
    const records::Record table = parse(buffer);
    require(table.lines.size() == 3);
    for (const auto &line : table.lines)
        require(line.second.size() == table.entities());

    engine.cvars().set("hostname", name);
    engine.cvars().set("mp_timelimit", text);
    Get_Server_Data(buffer);
    require(parse(buffer).lines.size() == 14);
    return 0;
}
