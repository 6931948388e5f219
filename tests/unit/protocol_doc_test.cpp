// The admin port's document (docs/protocol.md) names every record kind the plug-in can send in
// every game, with a captured example, and each kind's keys in the order they are sent: a kind or
// key added, renamed or moved without the document fails here.
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "events/chat.h"
#include "plugin/report_schedule.h"
#include "unit/game_fixture.h"

namespace {

std::string document() {
    std::ifstream file(ORLEX_SOURCE_DIR "/docs/protocol.md", std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The part of the document from the "### " heading that names the kind in backquotes to the next
// heading; "" when there is none.
std::string section_of(const std::string &text, const std::string &kind) {
    std::istringstream lines(text);
    std::string line, section;
    bool inside = false;
    while (std::getline(lines, line)) {
        if (line.rfind("#", 0) == 0) {
            if (inside)
                break;
            inside = line.rfind("### ", 0) == 0 && line.find("`" + kind + "`") != std::string::npos;
        }
        if (inside)
            section += line + "\n";
    }
    return section;
}

// Every record the plug-in sends in the game it runs: the reports of its cycle and the chat.
std::vector<records::Record> records_sent() {
    build_reports(REFRESH_TIMER);
    build_reports(SERVER_TIMER);
    std::vector<std::string> texts;
    for (int buffer = 0; buffer < REPORT_BUFFERS; ++buffer)
        if (game_sends_buffer(buffer))
            texts.push_back(tcp_buffer[buffer]);
    queue_player_chat(false, 7, "Bob", "hello");
    queue_player_chat(true, 7, "Bob", "rush");
    queue_server_chat("\"from the console\"");
    for (CStrings *queue : {&tcp_say_buf, &tcp_say_team_buf, &tcp_server_say_buf}) {
        for (unsigned int i = 0; i < queue->GetSize(); ++i)
            texts.push_back((*queue)[i]);
        queue->Clear();
    }
    std::vector<records::Record> sent;
    for (const std::string &text : texts) {
        records::Record record;
        EXPECT_TRUE(records::parse_record(text, &record)) << text;
        sent.push_back(record);
    }
    return sent;
}

class ProtocolDocument : public GameFixture, public ::testing::WithParamInterface<const char *> {
protected:
    ProtocolDocument() : GameFixture(GetParam()) {}
};

}  // namespace

TEST_P(ProtocolDocument, NamesEveryKindAndItsKeysInOrder) {
    const std::string text = document();
    ASSERT_FALSE(text.empty()) << "docs/protocol.md not found";
    const std::vector<records::Record> sent = records_sent();
    ASSERT_GE(sent.size(), 5u);  // SERVER, PLAYER and the three chat records at least
    for (const records::Record &record : sent) {
        const std::string section = section_of(text, record.type);
        ASSERT_FALSE(section.empty()) << "no section for " << record.type;
        EXPECT_NE(section.find("TYPE→" + record.type + "\n"), std::string::npos)
            << "no captured example of " << record.type;
        size_t at = 0;
        for (const auto &line : record.lines) {
            const size_t found = section.find("`" + line.first + "`", at);
            EXPECT_NE(found, std::string::npos) << record.type << ": " << line.first << " missing or out of order";
            if (found != std::string::npos)
                at = found;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryGame, ProtocolDocument, ::testing::Values("valve", "cstrike", "tfc", "dod", "nsp"),
                         [](const ::testing::TestParamInfo<const char *> &info) { return std::string(info.param); });
