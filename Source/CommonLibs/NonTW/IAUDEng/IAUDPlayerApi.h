// The runtime's player functions: create and destroy players, choose the
// master player, attach what a player plays, play, transition, pause,
// restart and stop it, and read its status, clocks and properties. A player
// handle is accepted only while it is in the runtime's player list (-7
// otherwise). Results: 0, -2 a null output or closed runtime, -3 no memory,
// -7 an invalid handle or name, -9 the runtime not open, -10 no such object.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/IAUDTypes.h"

class CPlayer;
class CRPController;
class IAUDContentBank;
class IAUDContentObject;
struct IAUDContentMarker;
struct SPlayerMetricTime;
struct SPlayerRealTime;
struct SPlayerStatus;
struct STransition;

int32_t apiCreateAudioPlayer(CPlayer** out);
int32_t apiDestroyAudioPlayer(CPlayer* player);
int32_t apiIsValidPlayerHandle(CPlayer* player);
// Null or a valid player.
int32_t apiSetMasterAudioPlayer(CPlayer* player);
int32_t apiGetMasterAudioPlayer(CPlayer** out);

// Curves and transitions by name are looked up in the bank's own name index
// (the project file's for a null bank).
int32_t apiAttachPlayerRPC(CPlayer* player, const uint16_t* name, IAUDContentBank* bank, float level);
int32_t apiAttachPlayerRPC(CPlayer* player, const char* name, IAUDContentBank* bank, float level);
int32_t apiReleasePlayerRPC(CPlayer* player);
int32_t apiAttachPlayerPrimaryContent(CPlayer* player, IAUDContentObject* content);
int32_t apiAttachPlayerTransitionContent(CPlayer* player, IAUDContentObject* content);
int32_t apiReleasePlayerPrimaryContent(CPlayer* player);
int32_t apiReleasePlayerTransitionContent(CPlayer* player);
int32_t apiGetPlayerRPC(CPlayer* player, CRPController** out);
int32_t apiGetPlayerPrimaryContent(CPlayer* player, IAUDContentObject** out);
int32_t apiGetPlayerTransitionContent(CPlayer* player, IAUDContentObject** out);

int32_t apiPlayAudioPlayer(CPlayer* player, int32_t loops, IAUDContentMarker* marker);
int32_t apiTransitionAudioPlayer(CPlayer* player, const uint16_t* name, IAUDContentBank* bank, int32_t loops,
                                 IAUDContentMarker* marker);
int32_t apiTransitionAudioPlayer(CPlayer* player, const char* name, IAUDContentBank* bank, int32_t loops,
                                 IAUDContentMarker* marker);
int32_t apiTransitionAudioPlayer(CPlayer* player, STransition* transition, int32_t loops, IAUDContentMarker* marker);
int32_t apiPauseAudioPlayer(CPlayer* player);
int32_t apiRestartAudioPlayer(CPlayer* player);
int32_t apiStopAudioPlayer(CPlayer* player);

int32_t apiGetAudioPlayerStatus(CPlayer* player, SPlayerStatus* out);
int32_t apiGetAudioPlayerMetricTime(CPlayer* player, SPlayerMetricTime* out);
int32_t apiGetAudioPlayerRealTime(CPlayer* player, SPlayerRealTime* out);

int32_t apiSetAudioPlayerRPCLevel(CPlayer* player, float level);
int32_t apiGetAudioPlayerRPCLevel(CPlayer* player, float* out);
int32_t apiSetAudioPlayerMode(CPlayer* player, uint32_t mode);
int32_t apiGetAudioPlayerMode(CPlayer* player, uint32_t* out);
int32_t apiSetAudioPlayerPosition(CPlayer* player, IAUDVector& position);
int32_t apiGetAudioPlayerPosition(CPlayer* player, IAUDVector* out);
int32_t apiSetAudioPlayerOrientation(CPlayer* player, IAUDVector& front, IAUDVector& top);
int32_t apiGetAudioPlayerOrientation(CPlayer* player, IAUDVector* front, IAUDVector* top);
int32_t apiSetAudioPlayerOrientation(CPlayer* player, float first, float second, float third);
int32_t apiGetAudioPlayerOrientation(CPlayer* player, float* first, float* second, float* third);
int32_t apiSetAudioPlayerVelocity(CPlayer* player, IAUDVector& velocity);
int32_t apiGetAudioPlayerVelocity(CPlayer* player, IAUDVector* out);
int32_t apiSetAudioPlayerPitch(CPlayer* player, float pitch);
int32_t apiGetAudioPlayerPitch(CPlayer* player, float* out);
