#include "plugin/access_settings.h"

#include "host/cvars.h"
#include "net/admission.h"
#include "net/tcp_server.h"

void read_access_settings() {
    admission.set_rate(cvar_whole(orlex_mm_rate));
    if (admission.set_allow_list(cvar_text(orlex_mm_allow)))
        tcp_serv.close_disallowed();
}
