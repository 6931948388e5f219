// The conversation with administration clients, run by the frame loop on two timers.
#pragma once

// Lets in one waiting client, sends the queued chat to every client, and hands one line of the
// server's log to the log parser.
void connection_work();

// Reads once from every client and answers its first line.
void request_work();

// Answers the first line (up to CR, LF or NUL) of one read of at most 255 bytes from a client.
void answer_client(int slot, const char *bytes, int count);
