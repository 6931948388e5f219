// Opening the listener and the log socket, once per load, on the ports and address the
// configuration settles on.
#pragma once

// Settles ports and address (writing back what was derived), opens the TCP listener, sizes the
// staggered send buffer, binds the UDP log socket and points the server's log at it.
void start_listening();

// Moves the free-slot count in orlex_port_avail by adjust: what every listener reports of its slots.
void adjustPool(int adjust);
