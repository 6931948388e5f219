// The conversation with administration clients, run by the frame loop on two timers.
#pragma once

// Lets in one waiting client, sends the queued chat to every client, and hands one line of the
// server's log to the log parser.
void connection_work();

// Reads once from every client and answers its first line.
void request_work();
