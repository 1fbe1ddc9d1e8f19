#include "NonTW/IAUDEng/IAUDInterface.h"

#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/IAUDApi.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDEntityApi.h"
#include "NonTW/IAUDEng/IAUDPlayerApi.h"

uint32_t IAUDWinInterface::m_dwCount = 0;
IAUDRenderInterface* IAUDWinInterface::m_pRenderInterface = nullptr;
IAUDWinInterface* g_pWinInterface = nullptr;

namespace iaudwininterface {

int32_t CreatePlayer(void** out) {
  CPlayer* player = nullptr;
  int32_t code = apiCreateAudioPlayer(out ? &player : nullptr);
  if (code == kIAUD_OK) *out = player;
  return code;
}

int32_t GetMasterPlayer(void** out) {
  CPlayer* player = nullptr;
  int32_t code = apiGetMasterAudioPlayer(out ? &player : nullptr);
  if (code == kIAUD_OK) *out = player;
  return code;
}

}  // namespace iaudwininterface

extern "C" IAUDWinInterface* RetrieveIAUDInterface(IAUDRenderInterface* renderInterface) {
  if (!g_pWinInterface) g_pWinInterface = new IAUDWinInterface(renderInterface);
  return g_pWinInterface;
}

IAUDWinInterface::IAUDWinInterface(IAUDRenderInterface* renderInterface) {
  if (m_dwCount++ != 0) return;
  if (!m_pRenderInterface) m_pRenderInterface = renderInterface;
  apiOpenIAUD(m_pRenderInterface);
}

IAUDWinInterface::~IAUDWinInterface() {
  if (m_dwCount == 0 || --m_dwCount != 0) return;
  apiCloseIAUD();
  // A runtime opened again must not reach a driver that may be gone.
  m_pRenderInterface = nullptr;
}

void IAUDWinInterface::ReleaseInterface() {
  if (g_pWinInterface == this) g_pWinInterface = nullptr;
  delete this;
}

int32_t IAUDWinInterface::LoadFile(const uint16_t* name) { return apiLoadFileShort(name); }

int32_t IAUDWinInterface::LoadFile(const char* name) { return apiLoadFileChar(name); }

int32_t IAUDWinInterface::ReleaseAllResources() { return apiReleaseAllResources(m_pRenderInterface); }

int32_t IAUDWinInterface::LoadSampleBank(uint32_t slot, const uint16_t* name, bool resident) {
  return apiLoadSampleBankShort(slot, name, resident);
}

int32_t IAUDWinInterface::LoadSampleBank(uint32_t slot, const char* name, bool resident) {
  return apiLoadSampleBankChar(slot, name, resident);
}

int32_t IAUDWinInterface::LoadStreamingSampleBank(uint32_t slot, const uint16_t* name, uint32_t packetTime,
                                                  int32_t forcePreload) {
  return apiLoadStreamingSampleBankShort(slot, name, packetTime, forcePreload);
}

int32_t IAUDWinInterface::LoadStreamingSampleBank(uint32_t slot, const char* name, uint32_t packetTime,
                                                  int32_t forcePreload) {
  return apiLoadStreamingSampleBankChar(slot, name, packetTime, forcePreload);
}

int32_t IAUDWinInterface::GetSampleBankIndex(uint32_t* out, const uint16_t* name) {
  return apiGetSampleBankIndexShort(out, name);
}

int32_t IAUDWinInterface::GetSampleBankIndex(uint32_t* out, const char* name) {
  return apiGetSampleBankIndexChar(out, name);
}

int32_t IAUDWinInterface::IsValidSampleBankIndex(uint32_t index) { return apiIsValidSampleBankIndex(index); }

int32_t IAUDWinInterface::UnloadSampleBank(uint32_t slot) { return apiUnloadSampleBank(slot); }

int32_t IAUDWinInterface::GetSampleBankName(uint16_t* out, uint32_t index) { return apiGetSampleBankName(out, index); }

int32_t IAUDWinInterface::GetSampleBankName(char* out, uint32_t index) { return apiGetSampleBankName(out, index); }

int32_t IAUDWinInterface::GetSampleHandle(void** out, const uint16_t* name, uint32_t bank) {
  return apiGetSampleHandle(out, name, bank);
}

int32_t IAUDWinInterface::GetSampleHandle(void** out, const char* name, uint32_t bank) {
  return apiGetSampleHandle(out, name, bank);
}

int32_t IAUDWinInterface::GetSampleHandle(void** out, uint32_t index, uint32_t bank) {
  return apiGetSampleHandle(out, index, bank);
}

int32_t IAUDWinInterface::IsValidSampleHandle(void* sample) { return apiIsValidSampleHandle(sample); }

int32_t IAUDWinInterface::GetSampleGroupHandle(void** out, void* sample) {
  return apiGetSampleGroupHandle(out, sample);
}

int32_t IAUDWinInterface::GetSampleName(uint16_t* out, uint32_t index, uint32_t bank) {
  return apiGetSampleName(out, index, bank);
}

int32_t IAUDWinInterface::GetSampleName(char* out, uint32_t index, uint32_t bank) {
  return apiGetSampleName(out, index, bank);
}

int32_t IAUDWinInterface::UpdateStreamingSampleBanks() { return apiUpdateStreamingSampleBanks(); }

int32_t IAUDWinInterface::LoadContentBank(void** out, const uint16_t* name) {
  return apiLoadContentBankShort(out, name);
}

int32_t IAUDWinInterface::LoadContentBank(void** out, const char* name) { return apiLoadContentBankChar(out, name); }

int32_t IAUDWinInterface::GetContentBankHandle(void** out, const uint16_t* name) {
  return apiGetContentBankHandleShort(out, name);
}

int32_t IAUDWinInterface::GetContentBankHandle(void** out, const char* name) {
  return apiGetContentBankHandleChar(out, name);
}

int32_t IAUDWinInterface::IsValidContentBankHandle(void* bank) { return apiIsValidContentBankHandle(bank); }

int32_t IAUDWinInterface::UnloadContentBank(void* bank) { return apiUnloadContentBank(bank); }

int32_t IAUDWinInterface::GetNextContentBank(void** out, void* bank) { return apiGetNextContentBank(out, bank); }

int32_t IAUDWinInterface::GetContentBankName(uint16_t* out, void* bank) { return apiGetContentBankName(out, bank); }

int32_t IAUDWinInterface::GetContentBankName(char* out, void* bank) { return apiGetContentBankName(out, bank); }

int32_t IAUDWinInterface::GetContentHandle(void** out, const uint16_t* name, void* bank) {
  return apiGetContentHandleShort(out, name, bank);
}

int32_t IAUDWinInterface::GetContentHandle(void** out, const char* name, void* bank) {
  return apiGetContentHandleChar(out, name, bank);
}

int32_t IAUDWinInterface::IsValidContentHandle(void* content) { return apiIsValidContentHandle(content); }

int32_t IAUDWinInterface::GetNextContent(void** out, void* previous, void* bank) {
  return apiGetNextContent(out, previous, bank);
}

int32_t IAUDWinInterface::GetContentName(uint16_t* out, void* content) { return apiGetContentName(out, content); }

int32_t IAUDWinInterface::GetContentName(char* out, void* content) { return apiGetContentName(out, content); }

int32_t IAUDWinInterface::GetContentVoiceCount(void* content, int32_t* out) {
  return apiGetContentVoiceCount(content, out);
}

int32_t IAUDWinInterface::GetContentInfo(void* content, SContentInfo* out) { return apiGetContentInfo(content, out); }

int32_t IAUDWinInterface::GetContentMarker(void** out, const uint16_t* name, void* content) {
  return apiGetContentMarkerShort(out, name, content);
}

int32_t IAUDWinInterface::GetContentMarker(void** out, const char* name, void* content) {
  return apiGetContentMarkerChar(out, name, content);
}

int32_t IAUDWinInterface::GetContentGroupHandle(void** out, void* content) {
  return apiGetContentGroupHandle(out, content);
}

int32_t IAUDWinInterface::GetAvailableVoiceCount(int32_t* out) { return apiGetAvailableVoiceCount(out); }

int32_t IAUDWinInterface::StopAllAudio(void* group) { return apiStopAllAudio(group); }

int32_t IAUDWinInterface::PauseAllAudio(void* group) { return apiPauseAllAudio(group); }

int32_t IAUDWinInterface::RestartAllAudio(void* group) { return apiRestartAllAudio(group); }

int32_t IAUDWinInterface::SetDistanceFactor(float factor) { return apiSetDistanceFactor(factor); }

int32_t IAUDWinInterface::GetDistanceFactor(float* out) { return apiGetDistanceFactor(out); }

int32_t IAUDWinInterface::SetHeadRoomGain(float gain) { return apiSetHeadRoomGain(gain); }

int32_t IAUDWinInterface::GetHeadRoomGain(float* out) { return apiGetHeadRoomGain(out); }

int32_t IAUDWinInterface::SetListenerGain(float gain) { return apiSetListenerGain(gain); }

int32_t IAUDWinInterface::SetListenerPosition(IAUDVector& position) { return apiSetListenerPosition(position); }

int32_t IAUDWinInterface::SetListenerOrientation(IAUDVector& forward, IAUDVector& up) {
  return apiSetListenerOrientation(forward, up);
}

int32_t IAUDWinInterface::SetListenerOrientation(float first, float second, float third) {
  return apiSetListenerOrientation(first, second, third);
}

int32_t IAUDWinInterface::GetListenerPosition(IAUDVector* out) { return apiGetListenerPosition(out); }

int32_t IAUDWinInterface::GetListenerOrientation(IAUDVector* forward, IAUDVector* up) {
  return apiGetListenerOrientation(forward, up);
}

int32_t IAUDWinInterface::GetListenerOrientation(float* first, float* second, float* third) {
  return apiGetListenerOrientation(first, second, third);
}

int32_t IAUDWinInterface::SetEAXProperty(void* handle, const _GUID& propertySet, uint32_t id, void* data,
                                         uint32_t size) {
  return apiSetEAXProperty(handle, propertySet, id, data, size);
}

int32_t IAUDWinInterface::GetEAXProperty(void* handle, const _GUID& propertySet, uint32_t id, void* data,
                                         uint32_t size) {
  return apiGetEAXProperty(handle, propertySet, id, data, size);
}

int32_t IAUDWinInterface::CreateAudioPlayer(void** out) { return iaudwininterface::CreatePlayer(out); }

int32_t IAUDWinInterface::DestroyAudioPlayer(void* player) {
  return apiDestroyAudioPlayer(static_cast<CPlayer*>(player));
}

int32_t IAUDWinInterface::IsValidPlayerHandle(void* player) {
  return apiIsValidPlayerHandle(static_cast<CPlayer*>(player));
}

int32_t IAUDWinInterface::SetMasterAudioPlayer(void* player) {
  return apiSetMasterAudioPlayer(static_cast<CPlayer*>(player));
}

int32_t IAUDWinInterface::GetMasterAudioPlayer(void** out) { return iaudwininterface::GetMasterPlayer(out); }

int32_t IAUDWinInterface::AttachPlayerRPC(void* player, const uint16_t* name, void* bank, float level) {
  return apiAttachPlayerRPC(static_cast<CPlayer*>(player), name, static_cast<IAUDContentBank*>(bank), level);
}

int32_t IAUDWinInterface::AttachPlayerRPC(void* player, const char* name, void* bank, float level) {
  return apiAttachPlayerRPC(static_cast<CPlayer*>(player), name, static_cast<IAUDContentBank*>(bank), level);
}

int32_t IAUDWinInterface::ReleasePlayerRPC(void* player) { return apiReleasePlayerRPC(static_cast<CPlayer*>(player)); }

int32_t IAUDWinInterface::AttachPlayerPrimaryContent(void* player, void* content) {
  return apiAttachPlayerPrimaryContent(static_cast<CPlayer*>(player), static_cast<IAUDContentObject*>(content));
}

int32_t IAUDWinInterface::AttachPlayerTransitionContent(void* player, void* content) {
  return apiAttachPlayerTransitionContent(static_cast<CPlayer*>(player), static_cast<IAUDContentObject*>(content));
}

int32_t IAUDWinInterface::ReleasePlayerPrimaryContent(void* player) {
  return apiReleasePlayerPrimaryContent(static_cast<CPlayer*>(player));
}

int32_t IAUDWinInterface::ReleasePlayerTransitionContent(void* player) {
  return apiReleasePlayerTransitionContent(static_cast<CPlayer*>(player));
}

int32_t IAUDWinInterface::PlayAudioPlayer(void* player, int32_t loops, void* marker) {
  return apiPlayAudioPlayer(static_cast<CPlayer*>(player), loops, static_cast<IAUDContentMarker*>(marker));
}

int32_t IAUDWinInterface::TransitionAudioPlayer(void* player, const uint16_t* name, void* bank, int32_t value,
                                                void* marker) {
  return apiTransitionAudioPlayer(static_cast<CPlayer*>(player), name, static_cast<IAUDContentBank*>(bank), value,
                                  static_cast<IAUDContentMarker*>(marker));
}

int32_t IAUDWinInterface::TransitionAudioPlayer(void* player, const char* name, void* bank, int32_t value,
                                                void* marker) {
  return apiTransitionAudioPlayer(static_cast<CPlayer*>(player), name, static_cast<IAUDContentBank*>(bank), value,
                                  static_cast<IAUDContentMarker*>(marker));
}

int32_t IAUDWinInterface::TransitionAudioPlayer(void* player, STransition* transition, int32_t value, void* marker) {
  return apiTransitionAudioPlayer(static_cast<CPlayer*>(player), transition, value,
                                  static_cast<IAUDContentMarker*>(marker));
}

int32_t IAUDWinInterface::PauseAudioPlayer(void* player) { return apiPauseAudioPlayer(static_cast<CPlayer*>(player)); }

int32_t IAUDWinInterface::RestartAudioPlayer(void* player) {
  return apiRestartAudioPlayer(static_cast<CPlayer*>(player));
}

int32_t IAUDWinInterface::StopAudioPlayer(void* player) { return apiStopAudioPlayer(static_cast<CPlayer*>(player)); }

int32_t IAUDWinInterface::GetAudioPlayerStatus(void* player, SPlayerStatus* out) {
  return apiGetAudioPlayerStatus(static_cast<CPlayer*>(player), out);
}

int32_t IAUDWinInterface::GetAudioPlayerMetricTime(void* player, SPlayerMetricTime* out) {
  return apiGetAudioPlayerMetricTime(static_cast<CPlayer*>(player), out);
}

int32_t IAUDWinInterface::GetAudioPlayerRealTime(void* player, SPlayerRealTime* out) {
  return apiGetAudioPlayerRealTime(static_cast<CPlayer*>(player), out);
}

int32_t IAUDWinInterface::SetAudioPlayerRPCLevel(void* player, float level) {
  return apiSetAudioPlayerRPCLevel(static_cast<CPlayer*>(player), level);
}

int32_t IAUDWinInterface::SetAudioPlayerMode(void* player, uint32_t mode) {
  return apiSetAudioPlayerMode(static_cast<CPlayer*>(player), mode);
}

int32_t IAUDWinInterface::SetAudioPlayerPosition(void* player, IAUDVector& position) {
  return apiSetAudioPlayerPosition(static_cast<CPlayer*>(player), position);
}

int32_t IAUDWinInterface::SetAudioPlayerOrientation(void* player, IAUDVector& front, IAUDVector& top) {
  return apiSetAudioPlayerOrientation(static_cast<CPlayer*>(player), front, top);
}

int32_t IAUDWinInterface::SetAudioPlayerOrientation(void* player, float first, float second, float third) {
  return apiSetAudioPlayerOrientation(static_cast<CPlayer*>(player), first, second, third);
}

int32_t IAUDWinInterface::SetAudioPlayerVelocity(void* player, IAUDVector& velocity) {
  return apiSetAudioPlayerVelocity(static_cast<CPlayer*>(player), velocity);
}

int32_t IAUDWinInterface::GetAudioPlayerRPCLevel(void* player, float* out) {
  return apiGetAudioPlayerRPCLevel(static_cast<CPlayer*>(player), out);
}

int32_t IAUDWinInterface::GetAudioPlayerMode(void* player, uint32_t* out) {
  return apiGetAudioPlayerMode(static_cast<CPlayer*>(player), out);
}

int32_t IAUDWinInterface::GetAudioPlayerPosition(void* player, IAUDVector* out) {
  return apiGetAudioPlayerPosition(static_cast<CPlayer*>(player), out);
}

int32_t IAUDWinInterface::GetAudioPlayerOrientation(void* player, IAUDVector* front, IAUDVector* top) {
  return apiGetAudioPlayerOrientation(static_cast<CPlayer*>(player), front, top);
}

int32_t IAUDWinInterface::GetAudioPlayerOrientation(void* player, float* first, float* second, float* third) {
  return apiGetAudioPlayerOrientation(static_cast<CPlayer*>(player), first, second, third);
}

int32_t IAUDWinInterface::GetAudioPlayerVelocity(void* player, IAUDVector* out) {
  return apiGetAudioPlayerVelocity(static_cast<CPlayer*>(player), out);
}

int32_t IAUDWinInterface::CreateEntity(void** out, const uint16_t* name, void* bank) {
  return apiCreateEntityShort(out, name, bank);
}

int32_t IAUDWinInterface::CreateEntity(void** out, const char* name, void* bank) {
  return apiCreateEntityChar(out, name, bank);
}

int32_t IAUDWinInterface::DestroyEntity(void* entity) { return apiDestroyEntity(entity); }

int32_t IAUDWinInterface::IsValidEntityHandle(void* entity) { return apiIsValidEntityHandle(entity); }

int32_t IAUDWinInterface::ActivateEntity(void* entity, bool active) { return apiActivateEntity(entity, active); }

int32_t IAUDWinInterface::ResetEntityLocalVars(void* entity) { return apiResetEntityLocalVars(entity); }

int32_t IAUDWinInterface::ResetEntityGlobalVars(void* bank) { return apiResetEntityGlobalVars(bank); }

int32_t IAUDWinInterface::SuspendEntity(void* entity) { return apiSuspendEntity(entity); }

int32_t IAUDWinInterface::ProcessEntity(void* entity) { return apiProcessEntity(entity); }

int32_t IAUDWinInterface::SuspendAllEntities(void* bank) { return apiSuspendAllEntities(bank); }

int32_t IAUDWinInterface::ProcessAllEntities(void* bank) { return apiProcessAllEntities(bank); }

int32_t IAUDWinInterface::SetEntityLocalVarState(void* entity, const uint16_t* var, const uint16_t* state) {
  return apiSetEntityLocalVarStateShort(entity, var, state);
}

int32_t IAUDWinInterface::SetEntityLocalVarState(void* entity, const char* var, const char* state) {
  return apiSetEntityLocalVarStateChar(entity, var, state);
}

int32_t IAUDWinInterface::SetEntityGlobalVarState(void* bank, const uint16_t* var, const uint16_t* state) {
  return apiSetEntityGlobalVarStateShort(bank, var, state);
}

int32_t IAUDWinInterface::SetEntityGlobalVarState(void* bank, const char* var, const char* state) {
  return apiSetEntityGlobalVarStateChar(bank, var, state);
}

int32_t IAUDWinInterface::SetEntityLocalVarState(void* entity, uint32_t var, uint32_t state) {
  return apiSetEntityLocalVarState(entity, var, state);
}

int32_t IAUDWinInterface::SetEntityGlobalVarState(void* bank, uint32_t var, uint32_t state) {
  return apiSetEntityGlobalVarState(bank, var, state);
}

int32_t IAUDWinInterface::SetEntityMasterRPCLevel(void* entity, float level) {
  return apiSetEntityMasterRPCLevel(entity, level);
}

int32_t IAUDWinInterface::SetEntityRPCLevel(void* entity, const uint16_t* name, float level) {
  return apiSetEntityRPCLevelShort(entity, name, level);
}

int32_t IAUDWinInterface::SetEntityRPCLevel(void* entity, const char* name, float level) {
  return apiSetEntityRPCLevelChar(entity, name, level);
}

int32_t IAUDWinInterface::SetEntityMode(void* entity, uint32_t mode) { return apiSetEntityMode(entity, mode); }

int32_t IAUDWinInterface::SetEntityPosition(void* entity, IAUDVector& position) {
  return apiSetEntityPosition(entity, position);
}

int32_t IAUDWinInterface::SetEntityOrientation(void* entity, IAUDVector& front, IAUDVector& top) {
  return apiSetEntityOrientation(entity, front, top);
}

int32_t IAUDWinInterface::SetEntityOrientation(void* entity, float first, float second, float third) {
  return apiSetEntityOrientation(entity, first, second, third);
}

int32_t IAUDWinInterface::SetEntityVelocity(void* entity, IAUDVector& velocity) {
  return apiSetEntityVelocity(entity, velocity);
}

int32_t IAUDWinInterface::SetEntityPitch(void* entity, float pitch) { return apiSetEntityPitch(entity, pitch); }

int32_t IAUDWinInterface::GetEntityLocalVarState(void* entity, const uint16_t* var, int32_t* out) {
  return apiGetEntityLocalVarStateShort(entity, var, out);
}

int32_t IAUDWinInterface::GetEntityLocalVarState(void* entity, const char* var, int32_t* out) {
  return apiGetEntityLocalVarStateChar(entity, var, out);
}

int32_t IAUDWinInterface::GetEntityGlobalVarState(void* bank, const uint16_t* var, int32_t* out) {
  return apiGetEntityGlobalVarStateShort(bank, var, out);
}

int32_t IAUDWinInterface::GetEntityGlobalVarState(void* bank, const char* var, int32_t* out) {
  return apiGetEntityGlobalVarStateChar(bank, var, out);
}

int32_t IAUDWinInterface::GetEntityLocalVarState(void* entity, uint32_t var, int32_t* out) {
  return apiGetEntityLocalVarState(entity, var, out);
}

int32_t IAUDWinInterface::GetEntityGlobalVarState(void* bank, uint32_t var, int32_t* out) {
  return apiGetEntityGlobalVarState(bank, var, out);
}

int32_t IAUDWinInterface::GetEntityMasterRPCLevel(void* entity, float* out) {
  return apiGetEntityMasterRPCLevel(entity, out);
}

int32_t IAUDWinInterface::GetEntityRPCLevel(void* entity, const uint16_t* name, float* out) {
  return apiGetEntityRPCLevelShort(entity, name, out);
}

int32_t IAUDWinInterface::GetEntityRPCLevel(void* entity, const char* name, float* out) {
  return apiGetEntityRPCLevelChar(entity, name, out);
}

int32_t IAUDWinInterface::GetEntityMode(void* entity, uint32_t* out) { return apiGetEntityMode(entity, out); }

int32_t IAUDWinInterface::GetEntityPosition(void* entity, IAUDVector* out) { return apiGetEntityPosition(entity, out); }

int32_t IAUDWinInterface::GetEntityOrientation(void* entity, IAUDVector* front, IAUDVector* top) {
  return apiGetEntityOrientation(entity, front, top);
}

int32_t IAUDWinInterface::GetEntityOrientation(void* entity, float* first, float* second, float* third) {
  return apiGetEntityOrientation(entity, first, second, third);
}

int32_t IAUDWinInterface::GetEntityVelocity(void* entity, IAUDVector* out) { return apiGetEntityVelocity(entity, out); }

int32_t IAUDWinInterface::GetEntityPitch(void* entity, float* out) { return apiGetEntityPitch(entity, out); }

int32_t IAUDWinInterface::GetNumLocalVars(void* entity, uint32_t* out) { return apiGetNumLocalVars(entity, out); }

int32_t IAUDWinInterface::GetNumGlobalVars(void* bank, uint32_t* out) { return apiGetNumGlobalVars(bank, out); }

int32_t IAUDWinInterface::GetNumLocalVarStates(void* entity, uint32_t var, int32_t* out) {
  return apiGetNumLocalVarStates(entity, var, out);
}

int32_t IAUDWinInterface::GetNumGlobalVarStates(void* bank, uint32_t var, int32_t* out) {
  return apiGetNumGlobalVarStates(bank, var, out);
}

int32_t IAUDWinInterface::GetLocalVarName(void* entity, uint32_t var, uint16_t* out, uint32_t size) {
  return apiGetLocalVarNameShort(entity, var, out, size);
}

int32_t IAUDWinInterface::GetLocalVarName(void* entity, uint32_t var, char* out, uint32_t size) {
  return apiGetLocalVarNameChar(entity, var, out, size);
}

int32_t IAUDWinInterface::GetGlobalVarName(void* bank, uint32_t var, uint16_t* out, uint32_t size) {
  return apiGetGlobalVarNameShort(bank, var, out, size);
}

int32_t IAUDWinInterface::GetGlobalVarName(void* bank, uint32_t var, char* out, uint32_t size) {
  return apiGetGlobalVarNameChar(bank, var, out, size);
}

int32_t IAUDWinInterface::GetLocalVarStateName(void* entity, uint32_t var, uint32_t state, uint16_t* out,
                                               uint32_t size) {
  return apiGetLocalVarStateNameShort(entity, var, state, out, size);
}

int32_t IAUDWinInterface::GetLocalVarStateName(void* entity, uint32_t var, uint32_t state, char* out, uint32_t size) {
  return apiGetLocalVarStateNameChar(entity, var, state, out, size);
}

int32_t IAUDWinInterface::GetGlobalVarStateName(void* bank, uint32_t var, uint32_t state, uint16_t* out,
                                                uint32_t size) {
  return apiGetGlobalVarStateNameShort(bank, var, state, out, size);
}

int32_t IAUDWinInterface::GetGlobalVarStateName(void* bank, uint32_t var, uint32_t state, char* out, uint32_t size) {
  return apiGetGlobalVarStateNameChar(bank, var, state, out, size);
}

int32_t IAUDWinInterface::GetGroupHandle(void** out, const uint16_t* name) { return apiGetGroupHandleShort(out, name); }

int32_t IAUDWinInterface::GetGroupHandle(void** out, const char* name) { return apiGetGroupHandleChar(out, name); }

int32_t IAUDWinInterface::IsValidGroupHandle(void* group) { return apiIsValidGroupHandle(group); }

int32_t IAUDWinInterface::SetGroupGain(void* group, float gain) { return apiSetGroupGain(group, gain); }

int32_t IAUDWinInterface::GetGroupGain(void* group, float* out) { return apiGetGroupGain(group, out); }
