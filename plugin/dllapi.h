// The game hook table and the frame loop.
#pragma once

// Server time at which the listener opens; 0 when no opening is pending.
extern float fStartListening;

// Once per server frame.
void StartFrame();
