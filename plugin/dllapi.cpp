#include "plugin/dllapi.h"

#include <cmath>
#include <cstring>

#include "events/game_hooks.h"
#include "host/cvars.h"
#include "host/engine.h"
#include "host/sdk_util.h"
#include "net/tcp_server.h"
#include "plugin/client_requests.h"
#include "plugin/exports.h"
#include "plugin/listener_start.h"
#include "plugin/map_change.h"
#include "plugin/report_schedule.h"

static_assert(static_cast<int>(REPORT_BUFFER_SIZE) == static_cast<int>(REPORT_SIZE),
              "a report buffer and a send slot hold the same record");

float fStartListening;
float fUpdateTime[TASK_SLOTS];
bool bSendUpdate;

static int datacycler;  // step of the send cycle, 1 to 6

// The earliest time at which a frame has anything to do; -infinity: the next frame has.
static float next_due = -HUGE_VALF;

// A frame's work is kept out of line, so that a frame with nothing due costs only the two
// comparisons in StartFrame (this time, and the clock going back).
#define ORLEX_RARE __attribute__((noinline, cold))

void update_next_due() {
    // A map not yet seen and a send cycle under way want every frame.
    if (previous_time == -1.0f || bSendUpdate) {
        next_due = -HUGE_VALF;
        return;
    }
    // A due time that is not a number never falls due, so it never lowers the earliest.
    float earliest = HUGE_VALF;
    static const int tasks[] = {SERVER_TASK, CONNECTION_TASK, QUERY_TASK, REFRESH_TASK};
    for (int task : tasks)
        if (fUpdateTime[task] < earliest)
            earliest = fUpdateTime[task];
    if (fStartListening > 0.0f && fStartListening < earliest)
        earliest = fStartListening;
    next_due = earliest;
}

// A task is re-armed from its period read afresh: a new period takes effect at once.
static void rearm(int task, const cvar_t *period) { fUpdateTime[task] = server_time() + cvar_float(period); }

static ORLEX_RARE void server_task() {
    build_reports(SERVER_TIMER);
    rearm(SERVER_TASK, orlex_timer_server);
}

static ORLEX_RARE void connection_task() {
    connection_work();
    rearm(CONNECTION_TASK, orlex_timer_conncheck);
}

static ORLEX_RARE void query_task() {
    request_work();
    rearm(QUERY_TASK, orlex_timer_query);
}

// Sends one of the six report buffers per frame, in buffer order, to every open slot, through the
// staggered send buffer. A new cycle starts when the refresh timer is due.
static ORLEX_RARE void send_cycle_step() {
    if (!bSendUpdate) {
        bSendUpdate = true;
        datacycler = 0;
    }
    ++datacycler;
    const int queue = datacycler - 1;
    if (tcp_serv.frame_size > 0)
        tcp_serv.push_sendbuffer(tcp_buffer[queue], queue);
    if (game_sends_buffer(queue)) {
        for (int slot = 0; slot < portpool; ++slot)
            if (tcp_serv.check_if_open(slot) == 0)
                tcp_serv.send_data_lag(slot, tcp_buffer[queue], static_cast<int>(strlen(tcp_buffer[queue])), queue);
    }
    if (datacycler >= REPORT_BUFFERS) {
        rearm(REFRESH_TASK, orlex_timer_refresh);
        bSendUpdate = false;
        tcp_serv.advance_frames();
    }
}

static ORLEX_RARE void refresh_builds() { build_reports(REFRESH_TIMER); }
static ORLEX_RARE void listener_start() { start_listening(); }

// A task is due once the clock has passed its time; due tasks run in this order.
static ORLEX_RARE void run_due_tasks(float now) {
    if (fStartListening > 0.0f && now > fStartListening)
        listener_start();
    const bool refresh_due = now > fUpdateTime[REFRESH_TASK];
    if (refresh_due)
        refresh_builds();  // on every frame of a cycle: the timer re-arms when it ends
    if (now > fUpdateTime[SERVER_TASK])
        server_task();
    if (now > fUpdateTime[CONNECTION_TASK])
        connection_task();
    if (now > fUpdateTime[QUERY_TASK])
        query_task();
    if (refresh_due || bSendUpdate)
        send_cycle_step();
    map_start_step(now);
    update_next_due();
}

// The engine hands over its globals before it runs any frame, so the clock is read without a test.
// A clock gone back is a new map, and a clock that is not a number compares as nothing else does:
// both run the whole frame, as every frame once did.
void StartFrame() {
    const float now = gpGlobals->time;
    if (!(now <= next_due) || clock_went_back(now))
        run_due_tasks(now);
    else
        previous_time = now;  // map_start_step, with no map start
    set_result_ignored();
}

// A map starts: every periodic task falls due on its first frame, then the game hook sees it.
static void map_activated(edict_t *pEdictList, int edictCount, int clientMax) {
    for (float &due : fUpdateTime)
        due = 0.0f;
    update_next_due();
    ServerActivate(pEdictList, edictCount, clientMax);
}

// The five game hooks; every other entry stays null.
static constexpr DLL_FUNCTIONS make_function_table() {
    DLL_FUNCTIONS table = {};
    table.pfnGameInit = GameInit;
    table.pfnClientConnect = ClientConnect;
    table.pfnClientCommand = ClientCommand;
    table.pfnServerActivate = map_activated;
    table.pfnStartFrame = StartFrame;
    return table;
}

static constexpr DLL_FUNCTIONS gFunctionTable = make_function_table();

extern "C" int GetEntityAPI2(DLL_FUNCTIONS *pFunctionTable, int *interfaceVersion) {
    if (!UTIL_TableRequestOk("GetEntityAPI2", "pFunctionTable", pFunctionTable, interfaceVersion, INTERFACE_VERSION))
        return 0;
    *pFunctionTable = gFunctionTable;
    return 1;
}
