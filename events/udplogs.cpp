#include "events/udplogs.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "events/chat.h"
#include "text/number_text_reader.h"

namespace udplogs {

CStrings argv;
int argc;

// Word positions: "log", "L", date, "-", time, subject, verb, then the message.
enum { SUBJECT_WORD = 5, VERB_WORD = 6, MESSAGE_WORD = 7 };

void ParseLogLine(const char *data) {
    if (!data || !*data)
        return;
    argv.Clear();
    argv.ParseString(data, ' ', '"');
    argc = static_cast<int>(argv.GetSize());
}

static bool word_is(int index, const char *text) {
    const char *word = argv[static_cast<unsigned int>(index)];
    return word && strcmp(word, text) == 0;
}

void HandleLogLine() {
    if (argc <= MESSAGE_WORD)
        return;
    const bool say = word_is(VERB_WORD, "say");
    if (!say && !word_is(VERB_WORD, "say_team"))
        return;
    const char *joined = argv.Combine(MESSAGE_WORD, static_cast<unsigned int>(argc - 1), " ");
    const char *message = joined ? joined : "";
    if (say && word_is(SUBJECT_WORD, "Server")) {
        queue_server_chat(message);
        return;
    }
    const PlayerInfo_t player = ParsePlayerInfo(argv[SUBJECT_WORD]);
    queue_player_chat(!say, player.userid, player.name, message);
}

template <size_t N>
static void copy_field(char (&field)[N], const char *text) {
    snprintf(field, N, "%s", text);
}

// A decimal number as atol reads it, kept within 32 bits.
static std::int32_t read_userid(const char *text) {
    const long long value = read_whole(text);
    return static_cast<std::int32_t>(value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : value);
}

PlayerInfo_t ParsePlayerInfo(const char *str) {
    PlayerInfo_t info = {};
    char token[2048];
    copy_field(token, str ? str : "");
    char *text = token[0] == '"' ? token + 1 : token;
    size_t length = strlen(text);
    if (length > 0 && text[length - 1] == '"')
        text[--length] = '\0';

    // From the right, the bracketed fields are the team, the authentication id and the user id;
    // the name is what precedes them.
    int field = 5;
    for (size_t i = length; i-- > 0;) {
        const char c = text[i];
        if (c == '>' && field > 1) {
            text[i] = '\0';
            --field;
        } else if (c == '<' && field > 1) {
            text[i] = '\0';
            const char *after = text + i + 1;
            if (field == 4)
                copy_field(info.team, after);
            else if (field == 3)
                copy_field(info.authid, after);
            else if (field == 2)
                info.userid = read_userid(after);
        } else if (i == 0) {
            copy_field(info.name, text);
        }
    }
    return info;
}

}  // namespace udplogs
