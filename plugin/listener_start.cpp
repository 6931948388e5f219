#include "plugin/listener_start.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "host/cvars.h"
#include "host/engine.h"
#include "host/sdk_util.h"
#include "net/tcp_server.h"
#include "net/udp_server.h"
#include "plugin/access_settings.h"
#include "plugin/dllapi.h"
#include "text/number_text_reader.h"

enum { DERIVED_PORT_BASE = 13000, ADDRESS_TEXT_SIZE = 64 };

static int clamp_to_int(long long value) {
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
}

void adjustPool(int adjust) {
    long long pool = static_cast<long long>(cvar_whole(orlex_port_avail)) + adjust;
    pool = pool > INT_MAX ? INT_MAX : pool < INT_MIN ? INT_MIN : pool;
    cvar_set_whole(orlex_port_avail, static_cast<int>(pool));
}

// An engine variable's leading decimal number, as atoi reads it, without overflow.
static long long engine_number(const char *name) { return read_whole(engine_cvar_text(name)); }

// The game port + 13000, from "hostport", or from "port" when "hostport" gives nothing.
static int derived_port() {
    long long port = engine_number("hostport") + DERIVED_PORT_BASE;
    if (port == DERIVED_PORT_BASE)
        port = engine_number("port") + DERIVED_PORT_BASE;
    return clamp_to_int(port);
}

// "-1" stands for the server's own address: the address part of "net_address".
static void settle_address() {
    if (strcmp(engine_cvar_text("orlex_mm_ip"), "-1") != 0)
        return;
    char address[ADDRESS_TEXT_SIZE];
    snprintf(address, sizeof(address), "%s", engine_cvar_text("net_address"));
    address[strcspn(address, ":")] = '\0';
    cvar_set_text(orlex_mm_ip, address);
}

// Only a bound socket may be named to the server: a port held by another process must not receive
// the server's log, which carries remote console lines.
static void point_server_log(const char *log_ip, int port) {
    if (!udp_serv.isready()) {
        UTIL_LogPrintf("[ORLEX] The UDP log socket is not bound; the server log address was not set");
        return;
    }
    const char *format = g_engfuncs.pfnCVarGetPointer("sv_stats") ? "logaddress_add %s %i\n" : "logaddress %s %i\n";
    char command[64];
    snprintf(command, sizeof(command), format, log_ip, port);
    g_engfuncs.pfnServerCommand(command);
    UTIL_LogPrintf("[ORLEX] Executing: %s", command);
}

void start_listening() {
    fStartListening = 0.0f;
    int myport = cvar_whole(orlex_mm_port);
    int myudpport = cvar_whole(orlex_mm_udp_port);
    set_portpool(cvar_whole(orlex_port_pool));
    cvar_set_whole(orlex_port_avail, portpool);

    if (myport < 1) {
        myport = derived_port();
        cvar_set_whole(orlex_mm_port, myport);
    }
    settle_address();
    char ip[ADDRESS_TEXT_SIZE];
    snprintf(ip, sizeof(ip), "%s", engine_cvar_text("orlex_mm_ip"));

    read_access_settings();
    tcp_serv.init(myport, ip);
    tcp_serv.resetstack(cvar_whole(orlex_refresh_lag));

    if (myudpport < 1) {
        myudpport = myport;
        char port_text[ADDRESS_TEXT_SIZE];
        snprintf(port_text, sizeof(port_text), "%s", cvar_text(orlex_mm_port));
        cvar_set_text(orlex_mm_udp_port, port_text);
    }
    // The log socket listens where the server is told to send its log, so no other host can
    // write chat into every admin client.
    const char *log_ip = strcmp(ip, "0") == 0 ? "127.0.0.1" : ip;
    udp_serv.setport(myudpport, log_ip);
    point_server_log(log_ip, myudpport);
}
