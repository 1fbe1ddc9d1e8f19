// The runtime's life, its project file, all-audio control, the distance
// factor, gains, listener, effect properties and groups.
#include <cstring>
#include <new>
#include <vector>

#include "NonTW/AudioDrv/AudioIAUD.h"
#include "NonTW/IAUDEng/CEntity.h"
#include "NonTW/IAUDEng/CGroup.h"
#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/IAUDApi.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDEAXEffect.h"
#include "NonTW/IAUDEng/IAUDEntityApi.h"
#include "NonTW/IAUDEng/IAUDFile.h"
#include "NonTW/IAUDEng/IAUDFileObject.h"
#include "NonTW/IAUDEng/IAUDMath.h"
#include "NonTW/IAUDEng/IAUDPlayerApi.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDString.h"
#include "NonTW/IAUDEng/IAUDVoiceController.h"

IAUDVector g_ivListenerPosition = {0.0f, 0.0f, 0.0f};
IAUDVector g_ivListenerForward = {0.0f, 0.0f, 1.0f};
IAUDVector g_ivListenerUp = {0.0f, 1.0f, 0.0f};

namespace iaudapiruntime {

const int32_t kFileNameUnits = 1024;
const int32_t kGroupNameUnits = 128;
const float kSmallestNormal = 1.17549435e-38f;

// The render interface's exclusive mode for one scope; nothing without a
// driver. It nests with the players' own.
class Exclusive {
 public:
  Exclusive() : m_pRender(IAUDResourceManager::m_pRenderInterface) {
    if (m_pRender) m_pRender->BeginExclusiveMode();
  }
  ~Exclusive() {
    if (m_pRender) m_pRender->EndExclusiveMode();
  }
  Exclusive(const Exclusive&) = delete;
  Exclusive& operator=(const Exclusive&) = delete;

 private:
  IAUDRenderInterface* m_pRender;
};

bool Open() { return m_papiResourceManager != nullptr; }
bool OpenWithDriver() { return m_papiResourceManager && IAUDResourceManager::m_pRenderInterface; }

// The group behind a handle (index + 1); null for 0 and unknown handles.
CGroup* GroupOf(void* handle) {
  uintptr_t value = reinterpret_cast<uintptr_t>(handle);
  if (value == 0 || value > 0xFFFFFFFFu) return nullptr;
  return IAUDResourceManager::GetGroup((uint32_t)(value - 1));
}

// Stops, pauses or restarts every player of the list in the group (all for
// a null handle); each walk takes the successor first, since the action may
// take the player out of the active list.
template <class Next, class Act>
int32_t ForGroup(void* group, CPlayer* const& head, Next next, Act act) {
  if (!Open()) return kIAUD_NOT_STARTED;
  if (group && apiIsValidGroupHandle(group) != kIAUD_OK) return kIAUD_INVALID_HANDLE;
  const unsigned long index = (unsigned long)(reinterpret_cast<uintptr_t>(group) - 1);
  Exclusive lock;
  // The head is read under the lock: the timer thread changes the lists.
  for (CPlayer* p = head; p;) {
    CPlayer* after = next(p);
    if (!group || p->IsContentInGroup(index)) act(p);
    p = after;
  }
  return kIAUD_OK;
}

bool GuidEquals(const _GUID& a, const _GUID& b) {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 && memcmp(a.Data4, b.Data4, 8) == 0;
}

const _GUID kEAX20Listener = {0x0306a6a8, 0xb224, 0x11d2, {0x99, 0xe5, 0x00, 0x00, 0xe8, 0xd8, 0xc7, 0x22}};
const _GUID kEAX30Listener = {0xa8fa6882, 0xb476, 0x11d3, {0xbd, 0xb9, 0x00, 0xc0, 0xf0, 0x2d, 0xdf, 0x87}};
const _GUID kEAX40Slots[4] = {
    {0xc4d79f1e, 0xf1ac, 0x436b, {0xa8, 0x1d, 0xa7, 0x38, 0xe7, 0x04, 0x54, 0x69}},
    {0x08c00e96, 0x74be, 0x4491, {0x93, 0xaa, 0xe8, 0xad, 0x35, 0xa4, 0x91, 0x17}},
    {0x1d433b88, 0xf0f6, 0x4637, {0x91, 0x9f, 0x60, 0xe7, 0xe0, 0x6b, 0x5e, 0xdd}},
    {0xefff08ea, 0xc7d8, 0x44ab, {0x93, 0xad, 0x6d, 0xbd, 0x5f, 0x91, 0x00, 0x64}},
};
const _GUID kEAX40Context = {0x1d4870ad, 0x0def, 0x43c0, {0xa4, 0x0c, 0x52, 0x36, 0x32, 0x29, 0x63, 0x42}};

// Routes one property request: the listener's sets to the effect slots and
// the context, any other set to the handle's own player or entity.
int32_t RouteEAX(bool set, void* handle, const _GUID& propertySet, uint32_t id, void* data, uint32_t size) {
  if (!OpenWithDriver()) return kIAUD_NOT_STARTED;
  Exclusive lock;
  if (GuidEquals(propertySet, kEAX20Listener))
    return (int32_t)(set ? SetEAX2Effect(id, data, size) : GetEAX2Effect(id, data, size));
  if (GuidEquals(propertySet, kEAX30Listener))
    return (int32_t)(set ? SetEAX3Effect(id, data, size) : GetEAX3Effect(id, data, size));
  for (unsigned long slot = 0; slot < 4; ++slot)
    if (GuidEquals(propertySet, kEAX40Slots[slot]))
      return (int32_t)(set ? SetEAX4Effect(slot, id, data, size) : GetEAX4Effect(slot, id, data, size));
  if (GuidEquals(propertySet, kEAX40Context))
    return (int32_t)(set ? SetEAX4Context(id, data, size) : GetEAX4Context(id, data, size));
  // Entities and players carry their own sets.
  CPlayer* player = static_cast<CPlayer*>(handle);
  if (apiIsValidEntityHandle(handle) == kIAUD_OK) {
    CEntity* entity = static_cast<CEntity*>(handle);
    if (set)
      entity->SetEAXProperty(propertySet, id, data, size);
    else
      entity->GetEAXProperty(propertySet, id, data, size);
  } else if (apiIsValidPlayerHandle(player) == kIAUD_OK) {
    if (set)
      player->SetEAXProperty(propertySet, id, data, size);
    else
      player->GetEAXProperty(propertySet, id, data, size);
  }
  return kIAUD_BAD_ARGUMENT;
}

bool Widen(const char* name, uint16_t* units, int32_t capacity) { return IAUDWidenName(name, units, capacity); }

}  // namespace iaudapiruntime

bool IAUDWidenName(const char* name, uint16_t* units, int32_t capacity) {
  int32_t i = 0;
  for (; name[i]; ++i) {
    if (i >= capacity - 1) return false;
    units[i] = (uint8_t)name[i];
  }
  units[i] = 0;
  return true;
}

IAUDResourceManager* apiOpenIAUD(IAUDRenderInterface* renderInterface) {
  if (!m_papiResourceManager) new (std::nothrow) IAUDResourceManager(renderInterface);
  return m_papiResourceManager;
}

void apiCloseIAUD() {
  if (!m_papiResourceManager) return;
  IAUDResourceManager::ReleaseAll();
  delete m_papiResourceManager;
  m_papiResourceManager = nullptr;
}

int32_t apiLoadFileShort(const uint16_t* name) {
  if (!iaudapiruntime::Open()) return kIAUD_NOT_STARTED;
  if (!name) return kIAUD_BAD_ARGUMENT;
  IAUDResourceManager::GetIAUDErrorCode();
  void* file = IAUDFileOpen(name);
  if (!file) return kIAUD_FILE_NOT_OPENED;
  IAUDResourceManager::LoadFile(file);
  IAUDFileClose(file);
  int32_t code = IAUDResourceManager::GetIAUDErrorCode();
  if (code != kIAUD_OK) IAUDResourceManager::ReleaseAllResources();
  return code;
}

int32_t apiLoadFileChar(const char* name) {
  if (!name) return kIAUD_BAD_ARGUMENT;
  uint16_t units[iaudapiruntime::kFileNameUnits];
  if (!iaudapiruntime::Widen(name, units, iaudapiruntime::kFileNameUnits))
    return iaudapiruntime::Open() ? kIAUD_FILE_NOT_OPENED : kIAUD_NOT_STARTED;
  return apiLoadFileShort(units);
}

int32_t apiReleaseAllResources(IAUDRenderInterface*) {
  if (!iaudapiruntime::Open()) return kIAUD_NOT_STARTED;
  IAUDResourceManager::ReleaseAllResources();
  return kIAUD_OK;
}

int32_t apiGetAvailableVoiceCount(int32_t* out) {
  IAUDVoiceController* voices = iaudapiruntime::Open() ? IAUDResourceManager::GetVoiceController() : nullptr;
  if (!voices) return kIAUD_NOT_STARTED;
  if (!out) return kIAUD_BAD_ARGUMENT;
  *out = (int32_t)voices->GetAvailableVoiceCount();
  return kIAUD_OK;
}

int32_t apiStopAllAudio(void* group) {
  return iaudapiruntime::ForGroup(
      group, IAUDResourceManager::m_pActivePlayers, [](CPlayer* p) { return p->NextActive(); },
      [](CPlayer* p) { p->StopPlayer(); });
}

int32_t apiPauseAllAudio(void* group) {
  return iaudapiruntime::ForGroup(
      group, IAUDResourceManager::m_pActivePlayers, [](CPlayer* p) { return p->NextActive(); },
      [](CPlayer* p) { p->PausePlayer(); });
}

int32_t apiRestartAllAudio(void* group) {
  // A paused player is not in the active list.
  return iaudapiruntime::ForGroup(
      group, IAUDResourceManager::m_pPlayerList, [](CPlayer* p) { return p->GetPostPlayer(); },
      [](CPlayer* p) { p->RestartPlayer(); });
}

int32_t apiSetDistanceFactor(float factor) {
  if (!iaudapiruntime::OpenWithDriver()) return kIAUD_NOT_STARTED;
  if (!(factor >= iaudapiruntime::kSmallestNormal)) return kIAUD_BAD_ARGUMENT;
  if (factor == g_flDistanceFactor) return kIAUD_OK;
  iaudapiruntime::Exclusive lock;
  // Everything placed keeps its place in world units: read under the old
  // factor, written back under the new one.
  struct Placed {
    CPlayer* player;
    IAUDVector position, velocity;
  };
  std::vector<Placed> placed;
  for (CPlayer* p = IAUDResourceManager::m_pPlayerList; p; p = p->GetPostPlayer()) {
    Placed entry{p, {}, {}};
    p->GetPosition(&entry.position);
    p->GetVelocity(&entry.velocity);
    placed.push_back(entry);
  }
  struct PlacedEntity {
    CEntity* entity;
    IAUDVector position, velocity;
  };
  std::vector<PlacedEntity> entities;
  auto readEntities = [&](IAUDContentBank* bank) {
    for (CEntity* e = bank ? bank->GetFirstEntity() : nullptr; e; e = e->GetPostEntity()) {
      PlacedEntity entry{e, {}, {}};
      e->GetPosition(&entry.position);
      e->GetVelocity(&entry.velocity);
      entities.push_back(entry);
    }
  };
  readEntities(IAUDResourceManager::GetFileObject());
  for (IAUDContentBank* b = IAUDResourceManager::GetFirstContentBank(); b; b = b->GetPostContentBank())
    readEntities(b);
  IAUDVector listener{};
  apiGetListenerPosition(&listener);
  g_flDistanceFactor = factor;
  for (Placed& entry : placed) {
    entry.player->SetPosition(entry.position);
    entry.player->SetVelocity(entry.velocity);
  }
  for (PlacedEntity& entry : entities) {
    entry.entity->SetPosition(entry.position);
    entry.entity->SetVelocity(entry.velocity);
  }
  apiSetListenerPosition(listener);
  return kIAUD_OK;
}

int32_t apiGetDistanceFactor(float* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  *out = g_flDistanceFactor;
  return kIAUD_OK;
}

int32_t apiSetHeadRoomGain(float gain) {
  if (!iaudapiruntime::OpenWithDriver()) return kIAUD_NOT_STARTED;
  if (!(gain >= 0.0f && gain <= 1.0f)) return kIAUD_BAD_ARGUMENT;
  IAUDResourceManager::SetHeadRoomGain(gain);
  return kIAUD_OK;
}

int32_t apiGetHeadRoomGain(float* out) {
  if (!iaudapiruntime::OpenWithDriver()) return kIAUD_NOT_STARTED;
  if (!out) return kIAUD_BAD_ARGUMENT;
  *out = IAUDResourceManager::GetHeadRoomGain();
  return kIAUD_OK;
}

int32_t apiSetListenerGain(float gain) {
  if (!iaudapiruntime::OpenWithDriver()) return kIAUD_NOT_STARTED;
  iaudapiruntime::Exclusive lock;
  IAUDResourceManager::m_pRenderInterface->SetListenerLevel(gain);
  return kIAUD_OK;
}

int32_t apiSetListenerPosition(IAUDVector& position) {
  if (!iaudapiruntime::OpenWithDriver()) return kIAUD_NOT_STARTED;
  iaudapiruntime::Exclusive lock;
  g_ivListenerPosition =
      IAUDVector{position.x * g_flDistanceFactor, position.y * g_flDistanceFactor, position.z * g_flDistanceFactor};
  IAUDVector sent = g_ivListenerPosition;
  IAUDResourceManager::m_pRenderInterface->SetListenerPosition(sent);
  return kIAUD_OK;
}

int32_t apiSetListenerOrientation(IAUDVector& forward, IAUDVector& up) {
  if (!iaudapiruntime::OpenWithDriver()) return kIAUD_NOT_STARTED;
  iaudapiruntime::Exclusive lock;
  IAUDResourceManager::m_pRenderInterface->SetListenerOrientation(forward, up);
  g_ivListenerForward = forward;
  g_ivListenerUp = up;
  return kIAUD_OK;
}

int32_t apiSetListenerOrientation(float first, float second, float third) {
  if (!iaudapiruntime::OpenWithDriver()) return kIAUD_NOT_STARTED;
  IAUDVector forward{}, up{};
  IAUDcreateorientation(second, first, third, forward, up);
  iaudapiruntime::Exclusive lock;
  IAUDResourceManager::m_pRenderInterface->SetListenerOrientation(forward, up);
  return kIAUD_OK;
}

int32_t apiGetListenerPosition(IAUDVector* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  *out = IAUDVector{g_ivListenerPosition.x / g_flDistanceFactor, g_ivListenerPosition.y / g_flDistanceFactor,
                    g_ivListenerPosition.z / g_flDistanceFactor};
  return kIAUD_OK;
}

int32_t apiGetListenerOrientation(IAUDVector* forward, IAUDVector* up) {
  if (!forward || !up) return kIAUD_BAD_ARGUMENT;
  *forward = g_ivListenerForward;
  *up = g_ivListenerUp;
  return kIAUD_OK;
}

int32_t apiGetListenerOrientation(float* first, float* second, float* third) {
  if (!first || !second || !third) return kIAUD_BAD_ARGUMENT;
  return kIAUD_NOT_AVAILABLE;
}

int32_t apiSetEAXProperty(void* handle, const _GUID& propertySet, uint32_t id, void* data, uint32_t size) {
  return iaudapiruntime::RouteEAX(true, handle, propertySet, id, data, size);
}

int32_t apiGetEAXProperty(void* handle, const _GUID& propertySet, uint32_t id, void* data, uint32_t size) {
  return iaudapiruntime::RouteEAX(false, handle, propertySet, id, data, size);
}

int32_t apiGetGroupHandleShort(void** out, const uint16_t* name) {
  if (!out || !name) return kIAUD_BAD_ARGUMENT;
  if (!iaudapiruntime::Open()) return kIAUD_NOT_STARTED;
  for (int32_t i = 0, n = IAUDResourceManager::GetGroupArrayCount(); i < n; ++i) {
    CGroup* group = IAUDResourceManager::GetGroup((uint32_t)i);
    if (group && IAUDCompareString(group->GetTitle(), name) == 0) {
      *out = reinterpret_cast<void*>((uintptr_t)i + 1);
      return kIAUD_OK;
    }
  }
  return kIAUD_NO_OBJECT;
}

int32_t apiGetGroupHandleChar(void** out, const char* name) {
  if (!out || !name) return kIAUD_BAD_ARGUMENT;
  uint16_t units[iaudapiruntime::kGroupNameUnits];
  if (!iaudapiruntime::Widen(name, units, iaudapiruntime::kGroupNameUnits))
    return iaudapiruntime::Open() ? kIAUD_NO_OBJECT : kIAUD_NOT_STARTED;
  return apiGetGroupHandleShort(out, units);
}

int32_t apiIsValidGroupHandle(void* group) {
  if (!iaudapiruntime::Open()) return kIAUD_NOT_STARTED;
  return iaudapiruntime::GroupOf(group) ? kIAUD_OK : kIAUD_INVALID_HANDLE;
}

int32_t apiSetGroupGain(void* group, float gain) {
  if (!iaudapiruntime::Open()) return kIAUD_NOT_STARTED;
  if (!(gain >= 0.0f && gain <= 1.0f)) return kIAUD_BAD_ARGUMENT;
  CGroup* g = iaudapiruntime::GroupOf(group);
  if (!g) return kIAUD_INVALID_HANDLE;
  g->SetGain(gain);
  return kIAUD_OK;
}

int32_t apiGetGroupGain(void* group, float* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  if (!iaudapiruntime::Open()) return kIAUD_NOT_STARTED;
  CGroup* g = iaudapiruntime::GroupOf(group);
  if (!g) return kIAUD_INVALID_HANDLE;
  *out = g->GetGain();
  return kIAUD_OK;
}
