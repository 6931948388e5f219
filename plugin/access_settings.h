// The access settings (allow-list, rate limit) handed to the listener's gate.
#pragma once

// Reads orlex_mm_allow and orlex_mm_rate; when the allow-list has changed, closes the connections it
// no longer lets in. Run when the listener opens and at every connection check.
void read_access_settings();
