#include "events/message_hooks.h"

#include "plugin/engine.h"

char det_team_names[TEAM_SLOTS][TEAM_NAME_SIZE];
int team_scores[TEAM_SLOTS];

void pfnMessageBegin(int /*msg_dest*/, int /*msg_type*/, const float * /*pOrigin*/, edict_t * /*ed*/) {
    set_result_ignored();
}
void pfnMessageEnd() { set_result_ignored(); }
void pfnWriteByte(int /*iValue*/) { set_result_ignored(); }
void pfnWriteChar(int /*iValue*/) { set_result_ignored(); }
void pfnWriteShort(int /*iValue*/) { set_result_ignored(); }
void pfnWriteLong(int /*iValue*/) { set_result_ignored(); }
void pfnWriteAngle(float /*flValue*/) { set_result_ignored(); }
void pfnWriteCoord(float /*flValue*/) { set_result_ignored(); }
void pfnWriteString(const char * /*sz*/) { set_result_ignored(); }
void pfnWriteEntity(int /*iValue*/) { set_result_ignored(); }
