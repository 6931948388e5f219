// The game hook table and the frame loop.
#pragma once

// Server time at which the listener opens; 0 when no opening is pending.
extern float fStartListening;

// Next-due times of the periodic tasks, by task number (0 and 2 are not used). All 0 at load and
// at every map start, so every task falls due on a map's first frame.
enum { SERVER_TASK = 1, CONNECTION_TASK = 3, QUERY_TASK = 4, REFRESH_TASK = 5, TASK_SLOTS = 6 };
extern float fUpdateTime[TASK_SLOTS];

// A report send cycle is under way.
extern bool bSendUpdate;

// To be called whenever one of the times above or bSendUpdate changes outside a frame: a frame
// compares the clock with the earliest of them only.
void update_next_due();

// Once per server frame.
void StartFrame();
