#include "events/chat.h"

#include <cstdio>
#include <cstring>

#include "text/record.h"

CStrings tcp_say_buf;
CStrings tcp_say_team_buf;
CStrings tcp_server_say_buf;

enum { CHAT_RECORD_SIZE = 2048 };

// A record cut by its buffer still ends with its empty line, so it cannot swallow the next one.
static void push_record(CStrings &queue, char (&temp_chat)[CHAT_RECORD_SIZE], int length) {
    if (length < 0)
        return;
    if (length >= CHAT_RECORD_SIZE)
        memcpy(temp_chat + CHAT_RECORD_SIZE - 3, "\n\n", 3);
    queue.Push(temp_chat);
}

void queue_player_chat(bool team, int userid, const char *name, const char *text) {
    char clean_name[CHAT_RECORD_SIZE];
    char clean_text[CHAT_RECORD_SIZE];
    copy_game_text(clean_name, sizeof(clean_name), name);
    copy_game_text(clean_text, sizeof(clean_text), text);
    char temp_chat[CHAT_RECORD_SIZE];
    const int length =
        team ? snprintf(temp_chat, sizeof(temp_chat), "TYPE\tSAY_TEAM\nUSER_ID\t%i\nCHAT\t(TEAM)%s: %s\n\n", userid,
                        clean_name, clean_text)
             : snprintf(temp_chat, sizeof(temp_chat), "TYPE\tSAY\nUSER_ID\t%i\nCHAT\t%s: %s\n\n", userid, clean_name,
                        clean_text);
    push_record(team ? tcp_say_team_buf : tcp_say_buf, temp_chat, length);
}

void queue_server_chat(const char *text) {
    char clean_text[CHAT_RECORD_SIZE];
    copy_game_text(clean_text, sizeof(clean_text), text);
    char temp_chat[CHAT_RECORD_SIZE];
    const int length = snprintf(temp_chat, sizeof(temp_chat), "TYPE\tSERVER_SAY\nCHAT\t%s\n\n", clean_text);
    push_record(tcp_server_say_buf, temp_chat, length);
}
