#include "NonTW/IAUDEng/IAUDPlayerApi.h"

#include <new>

#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/CRPController.h"
#include "NonTW/IAUDEng/CTransition.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDFileObject.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"

namespace {

constexpr int kPlayerApiNameUnits = 1024;

// Whether the handle is a player of the open runtime's player list.
bool PlayerApiValid(CPlayer* player) {
  CPlayer* head = IAUDResourceManager::m_pPlayerList;
  return player && m_papiResourceManager && head && head->IsValidPlayer(player);
}

// An 8-bit name widened into a buffer of 1024 units, cut to fit.
struct PlayerApiWideName {
  uint16_t units[kPlayerApiNameUnits];
  explicit PlayerApiWideName(const char* name) {
    int i = 0;
    for (; name[i] && i < kPlayerApiNameUnits - 1; ++i) units[i] = (uint8_t)name[i];
    units[i] = 0;
  }
};

// The object the bank's name index knows under that name as that kind: its
// index, or false.
bool PlayerApiFind(IAUDContentBank* bank, const uint16_t* name, uint32_t kind, uint32_t* index) {
  uint32_t type = 0;
  return bank && bank->FindContentObjectByName(name, &type, index) && type == kind;
}

}  // namespace

int32_t apiCreateAudioPlayer(CPlayer** out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  CPlayer* player = new (std::nothrow) CPlayer();
  if (!player) return kIAUD_NO_MEMORY;
  *out = player;
  return kIAUD_OK;
}

int32_t apiDestroyAudioPlayer(CPlayer* player) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  delete player;
  return kIAUD_OK;
}

int32_t apiIsValidPlayerHandle(CPlayer* player) { return PlayerApiValid(player) ? kIAUD_OK : kIAUD_INVALID_HANDLE; }

int32_t apiSetMasterAudioPlayer(CPlayer* player) {
  if (player && !PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  if (m_papiResourceManager) {
    CPlayer::BeginExclusiveMode();
    IAUDResourceManager::m_pMasterPlayer = player;
    CPlayer::EndExclusiveMode();
  }
  return kIAUD_OK;
}

int32_t apiGetMasterAudioPlayer(CPlayer** out) {
  if (!out || !m_papiResourceManager) return kIAUD_BAD_ARGUMENT;
  *out = IAUDResourceManager::m_pMasterPlayer;
  return kIAUD_OK;
}

int32_t apiAttachPlayerRPC(CPlayer* player, const uint16_t* name, IAUDContentBank* bank, float level) {
  if (!player || !name) return kIAUD_INVALID_HANDLE;
  if (!m_papiResourceManager) return kIAUD_NOT_STARTED;
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  if (!bank) bank = IAUDResourceManager::GetFileObject();
  uint32_t index = 0;
  CRPController* rpc = PlayerApiFind(bank, name, IAUDFourCC("rpc "), &index) ? bank->GetRPController(index) : nullptr;
  if (!rpc) return kIAUD_NO_OBJECT;
  player->AttachRPC(rpc, level);
  return kIAUD_OK;
}

int32_t apiAttachPlayerRPC(CPlayer* player, const char* name, IAUDContentBank* bank, float level) {
  if (!player || !name) return kIAUD_INVALID_HANDLE;
  PlayerApiWideName wide(name);
  return apiAttachPlayerRPC(player, wide.units, bank, level);
}

int32_t apiReleasePlayerRPC(CPlayer* player) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  player->AttachRPC(nullptr, 0.0f);
  return kIAUD_OK;
}

int32_t apiAttachPlayerPrimaryContent(CPlayer* player, IAUDContentObject* content) {
  if (!content || !PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  player->AttachPrimaryContent(content);
  return kIAUD_OK;
}

int32_t apiAttachPlayerTransitionContent(CPlayer* player, IAUDContentObject* content) {
  if (!content || !PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  player->AttachTransitionContent(content);
  return kIAUD_OK;
}

int32_t apiReleasePlayerPrimaryContent(CPlayer* player) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  player->AttachPrimaryContent(nullptr);
  return kIAUD_OK;
}

int32_t apiReleasePlayerTransitionContent(CPlayer* player) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  player->AttachTransitionContent(nullptr);
  return kIAUD_OK;
}

int32_t apiGetPlayerRPC(CPlayer* player, CRPController** out) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  if (!out) return kIAUD_BAD_ARGUMENT;
  player->GetRPC(out);
  return kIAUD_OK;
}

int32_t apiGetPlayerPrimaryContent(CPlayer* player, IAUDContentObject** out) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  if (!out) return kIAUD_BAD_ARGUMENT;
  player->GetPrimaryContent(out);
  return kIAUD_OK;
}

int32_t apiGetPlayerTransitionContent(CPlayer* player, IAUDContentObject** out) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  if (!out) return kIAUD_BAD_ARGUMENT;
  player->GetTransitionContent(out);
  return kIAUD_OK;
}

int32_t apiPlayAudioPlayer(CPlayer* player, int32_t loops, IAUDContentMarker* marker) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  player->StartPlayer(loops, marker);
  return kIAUD_OK;
}

int32_t apiTransitionAudioPlayer(CPlayer* player, const uint16_t* name, IAUDContentBank* bank, int32_t loops,
                                 IAUDContentMarker* marker) {
  if (!player || !name) return kIAUD_INVALID_HANDLE;
  if (!m_papiResourceManager) return kIAUD_NOT_STARTED;
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  if (!bank) bank = IAUDResourceManager::GetFileObject();
  if (!bank) return kIAUD_INVALID_HANDLE;
  uint32_t index = 0;
  CTransition* transition =
      PlayerApiFind(bank, name, IAUDFourCC("tran"), &index) ? bank->GetTransition(index) : nullptr;
  if (!transition) return kIAUD_NO_OBJECT;
  player->TransitionPlayer(loops, marker, transition->GetTransitionPointer());
  return kIAUD_OK;
}

int32_t apiTransitionAudioPlayer(CPlayer* player, const char* name, IAUDContentBank* bank, int32_t loops,
                                 IAUDContentMarker* marker) {
  if (!player || !name) return kIAUD_INVALID_HANDLE;
  PlayerApiWideName wide(name);
  return apiTransitionAudioPlayer(player, wide.units, bank, loops, marker);
}

int32_t apiTransitionAudioPlayer(CPlayer* player, STransition* transition, int32_t loops, IAUDContentMarker* marker) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  player->TransitionPlayer(loops, marker, transition);
  return kIAUD_OK;
}

int32_t apiPauseAudioPlayer(CPlayer* player) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  player->PausePlayer();
  return kIAUD_OK;
}

int32_t apiRestartAudioPlayer(CPlayer* player) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  player->RestartPlayer();
  return kIAUD_OK;
}

int32_t apiStopAudioPlayer(CPlayer* player) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  player->StopPlayer();
  return kIAUD_OK;
}

int32_t apiGetAudioPlayerStatus(CPlayer* player, SPlayerStatus* out) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  player->GetStatus(out);
  return kIAUD_OK;
}

int32_t apiGetAudioPlayerMetricTime(CPlayer* player, SPlayerMetricTime* out) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  if (!out) return kIAUD_BAD_ARGUMENT;
  player->GetPrimaryMetricTime(out);
  return kIAUD_OK;
}

int32_t apiGetAudioPlayerRealTime(CPlayer* player, SPlayerRealTime* out) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  if (!out) return kIAUD_BAD_ARGUMENT;
  player->GetPrimaryRealTime(out);
  return kIAUD_OK;
}

int32_t apiSetAudioPlayerRPCLevel(CPlayer* player, float level) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  player->SetRPCLevel(level);
  return kIAUD_OK;
}

int32_t apiGetAudioPlayerRPCLevel(CPlayer* player, float* out) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  if (!out) return kIAUD_BAD_ARGUMENT;
  player->GetRPCLevel(out);
  return kIAUD_OK;
}

int32_t apiSetAudioPlayerMode(CPlayer* player, uint32_t mode) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  player->SetMode(mode);
  return kIAUD_OK;
}

int32_t apiGetAudioPlayerMode(CPlayer* player, uint32_t* out) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  if (!out) return kIAUD_BAD_ARGUMENT;
  unsigned long mode = 0;
  player->GetMode(&mode);
  *out = (uint32_t)mode;
  return kIAUD_OK;
}

int32_t apiSetAudioPlayerPosition(CPlayer* player, IAUDVector& position) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  player->SetPosition(position);
  return kIAUD_OK;
}

int32_t apiGetAudioPlayerPosition(CPlayer* player, IAUDVector* out) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  if (!out) return kIAUD_BAD_ARGUMENT;
  player->GetPosition(out);
  return kIAUD_OK;
}

int32_t apiSetAudioPlayerOrientation(CPlayer* player, IAUDVector& front, IAUDVector& top) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  player->SetOrientation(front, top);
  return kIAUD_OK;
}

int32_t apiGetAudioPlayerOrientation(CPlayer* player, IAUDVector* front, IAUDVector* top) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  if (!front || !top) return kIAUD_BAD_ARGUMENT;
  player->GetOrientation(front, top);
  return kIAUD_OK;
}

int32_t apiSetAudioPlayerOrientation(CPlayer* player, float first, float second, float third) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  player->SetOrientation(first, second, third);
  return kIAUD_OK;
}

int32_t apiGetAudioPlayerOrientation(CPlayer* player, float* first, float* second, float* third) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  if (!first || !second || !third) return kIAUD_BAD_ARGUMENT;
  player->GetOrientation(first, second, third);
  return kIAUD_OK;
}

int32_t apiSetAudioPlayerVelocity(CPlayer* player, IAUDVector& velocity) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  player->SetVelocity(velocity);
  return kIAUD_OK;
}

int32_t apiGetAudioPlayerVelocity(CPlayer* player, IAUDVector* out) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  if (!out) return kIAUD_BAD_ARGUMENT;
  player->GetVelocity(out);
  return kIAUD_OK;
}

int32_t apiSetAudioPlayerPitch(CPlayer* player, float pitch) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  player->SetPitch(pitch);
  return kIAUD_OK;
}

int32_t apiGetAudioPlayerPitch(CPlayer* player, float* out) {
  if (!PlayerApiValid(player)) return kIAUD_INVALID_HANDLE;
  if (!out) return kIAUD_BAD_ARGUMENT;
  player->GetPitch(out);
  return kIAUD_OK;
}
