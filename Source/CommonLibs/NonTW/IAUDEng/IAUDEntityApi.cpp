#include "NonTW/IAUDEng/IAUDEntityApi.h"

#include <new>

#include "NonTW/IAUDEng/CEntity.h"
#include "NonTW/IAUDEng/CSoundEntity.h"
#include "NonTW/IAUDEng/IAUDApi.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDFileObject.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDString.h"

namespace iaudentityapi {

const int32_t kEntityNameUnits = 128;
const int32_t kVarNameUnits = 32;

bool Open() { return m_papiResourceManager != nullptr; }

// The entity when the handle is in one of the entity lists.
CEntity* EntityOf(void* handle) {
  if (!Open() || !handle) return nullptr;
  if (IAUDContentBank* project = IAUDResourceManager::GetFileObject())
    for (CEntity* e = project->GetFirstEntity(); e; e = e->GetPostEntity())
      if (e == handle) return e;
  for (IAUDContentBank* b = IAUDResourceManager::GetFirstContentBank(); b; b = b->GetPostContentBank())
    for (CEntity* e = b->GetFirstEntity(); e; e = e->GetPostEntity())
      if (e == handle) return e;
  return nullptr;
}

// An 8-bit name widened into a buffer of N units; ok is false when it does
// not fit.
template <int32_t N>
struct WideName {
  explicit WideName(const char* name) : ok(name && IAUDWidenName(name, units, N)) {
    if (!ok) units[0] = 0;
  }
  uint16_t units[N];
  bool ok;
};

// Reads a name of at most 32 units through fetch(units, count) and narrows
// it into out, which holds size bytes; never more than count bytes are
// written, the terminator among them.
template <class Fetch>
int32_t NarrowName(char* out, uint32_t size, Fetch fetch) {
  uint16_t units[kVarNameUnits + 1] = {};
  int32_t count = size > (uint32_t)kVarNameUnits ? kVarNameUnits : (int32_t)size;
  if (!fetch(units, count)) return kIAUD_BAD_ARGUMENT;
  units[count - 1] = 0;
  IAUDShortStringToCharString(units, out);
  return kIAUD_OK;
}

}  // namespace iaudentityapi

using iaudentityapi::EntityOf;
using iaudentityapi::WideName;

IAUDContentBank* GetContentBank(void* handle) {
  if (!iaudentityapi::Open()) return nullptr;
  IAUDContentBank* project = IAUDResourceManager::GetFileObject();
  if (!handle || handle == project) return project;
  for (IAUDContentBank* b = IAUDResourceManager::GetFirstContentBank(); b; b = b->GetPostContentBank())
    if (b == handle) return b;
  return nullptr;
}

// ---------------------------------------------------------------- life

int32_t apiCreateEntityShort(void** out, const uint16_t* name, void* bank) {
  if (!out || !name) return kIAUD_BAD_ARGUMENT;
  *out = nullptr;
  if (!iaudentityapi::Open()) return kIAUD_NOT_STARTED;
  const bool all = bank == IAUDAllContentBanks();
  IAUDContentBank* project = IAUDResourceManager::GetFileObject();
  IAUDContentBank* current = all ? project : GetContentBank(bank);
  if (!current && all) current = IAUDResourceManager::GetFirstContentBank();
  while (current) {
    uint32_t type = 0, index = 0;
    if (current->FindContentObjectByName(name, &type, &index) && type == IAUDFourCC("ento")) {
      CSoundEntity* definition = current->GetSoundEntity(index);
      if (definition && definition->IsValid()) {
        CEntity* entity = new (std::nothrow) CEntity(definition);
        if (!entity) return kIAUD_NO_MEMORY;
        current->AddContentBankReference();
        *out = entity;
        return kIAUD_OK;
      }
    }
    if (!all) break;
    current = current == project ? IAUDResourceManager::GetFirstContentBank() : current->GetPostContentBank();
  }
  return kIAUD_NO_ENTITY;
}

int32_t apiCreateEntityChar(void** out, const char* name, void* bank) {
  if (!out || !name) return kIAUD_BAD_ARGUMENT;
  WideName<iaudentityapi::kEntityNameUnits> wide(name);
  if (wide.ok) return apiCreateEntityShort(out, wide.units, bank);
  *out = nullptr;
  return iaudentityapi::Open() ? (int32_t)kIAUD_NO_ENTITY : (int32_t)kIAUD_NOT_STARTED;
}

int32_t apiDestroyEntity(void* handle) {
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  if (IAUDContentBank* bank = entity->GetContentBank()) bank->RemoveContentBankReference();
  delete entity;
  return kIAUD_OK;
}

int32_t apiIsValidEntityHandle(void* handle) {
  if (!iaudentityapi::Open()) return kIAUD_NOT_STARTED;
  return EntityOf(handle) ? kIAUD_OK : kIAUD_INVALID_HANDLE;
}

int32_t apiActivateEntity(void* handle, bool active) {
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  entity->ActivateEntity(active);
  return kIAUD_OK;
}

int32_t apiResetEntityLocalVars(void* handle) {
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  entity->ResetEntityLocalVars();
  return kIAUD_OK;
}

int32_t apiSuspendEntity(void* handle) {
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  entity->SuspendEntity();
  return kIAUD_OK;
}

int32_t apiProcessEntity(void* handle) {
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  entity->ProcessEntity();
  return kIAUD_OK;
}

int32_t apiResetEntityGlobalVars(void* handle) {
  IAUDContentBank* bank = GetContentBank(handle);
  if (!bank) return kIAUD_INVALID_HANDLE;
  bank->ResetEntityGlobalVars();
  return kIAUD_OK;
}

int32_t apiSuspendAllEntities(void* handle) {
  IAUDContentBank* bank = GetContentBank(handle);
  if (!bank) return kIAUD_INVALID_HANDLE;
  bank->SuspendAllEntities();
  return kIAUD_OK;
}

int32_t apiProcessAllEntities(void* handle) {
  IAUDContentBank* bank = GetContentBank(handle);
  if (!bank) return kIAUD_INVALID_HANDLE;
  bank->ProcessAllEntities();
  return kIAUD_OK;
}

// ---------------------------------------------------------------- setting variables

int32_t apiSetEntityLocalVarStateShort(void* handle, const uint16_t* var, const uint16_t* state) {
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  return entity->SetLocalVarState(var, state) ? kIAUD_OK : kIAUD_BAD_ARGUMENT;
}

int32_t apiSetEntityLocalVarStateChar(void* handle, const char* var, const char* state) {
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  WideName<iaudentityapi::kVarNameUnits> v(var), s(state);
  if (!v.ok || !s.ok) return kIAUD_BAD_ARGUMENT;
  return entity->SetLocalVarState(v.units, s.units) ? kIAUD_OK : kIAUD_BAD_ARGUMENT;
}

int32_t apiSetEntityGlobalVarStateShort(void* handle, const uint16_t* var, const uint16_t* state) {
  IAUDContentBank* bank = GetContentBank(handle);
  if (!bank) return kIAUD_INVALID_HANDLE;
  return bank->SetGlobalVarState(var, state) ? kIAUD_OK : kIAUD_BAD_ARGUMENT;
}

int32_t apiSetEntityGlobalVarStateChar(void* handle, const char* var, const char* state) {
  IAUDContentBank* bank = GetContentBank(handle);
  if (!bank) return kIAUD_INVALID_HANDLE;
  WideName<iaudentityapi::kVarNameUnits> v(var), s(state);
  if (!v.ok || !s.ok) return kIAUD_BAD_ARGUMENT;
  return bank->SetGlobalVarState(v.units, s.units) ? kIAUD_OK : kIAUD_BAD_ARGUMENT;
}

int32_t apiSetEntityLocalVarState(void* handle, uint32_t var, uint32_t state) {
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  return entity->SetLocalVarState(var, state) ? kIAUD_OK : kIAUD_BAD_ARGUMENT;
}

int32_t apiSetEntityGlobalVarState(void* handle, uint32_t var, uint32_t state) {
  IAUDContentBank* bank = GetContentBank(handle);
  if (!bank) return kIAUD_INVALID_HANDLE;
  return bank->SetGlobalVarState(var, state) ? kIAUD_OK : kIAUD_BAD_ARGUMENT;
}

// ---------------------------------------------------------------- levels and placement

int32_t apiSetEntityMasterRPCLevel(void* handle, float level) {
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  entity->SetRPCLevel(nullptr, level);
  return kIAUD_OK;
}

int32_t apiSetEntityRPCLevelShort(void* handle, const uint16_t* name, float level) {
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  if (!name) return kIAUD_BAD_ARGUMENT;
  entity->SetRPCLevel(name, level);
  return kIAUD_OK;
}

int32_t apiSetEntityRPCLevelChar(void* handle, const char* name, float level) {
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  if (!name) return kIAUD_BAD_ARGUMENT;
  WideName<iaudentityapi::kEntityNameUnits> wide(name);
  if (wide.ok) entity->SetRPCLevel(wide.units, level);
  return kIAUD_OK;
}

int32_t apiSetEntityMode(void* handle, uint32_t mode) {
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  entity->SetMode(mode);
  return kIAUD_OK;
}

int32_t apiSetEntityPosition(void* handle, IAUDVector& position) {
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  entity->SetPosition(position);
  return kIAUD_OK;
}

int32_t apiSetEntityOrientation(void* handle, IAUDVector& front, IAUDVector& top) {
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  entity->SetOrientation(front, top);
  return kIAUD_OK;
}

int32_t apiSetEntityOrientation(void* handle, float first, float second, float third) {
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  entity->SetOrientation(first, second, third);
  return kIAUD_OK;
}

int32_t apiSetEntityVelocity(void* handle, IAUDVector& velocity) {
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  entity->SetVelocity(velocity);
  return kIAUD_OK;
}

int32_t apiSetEntityPitch(void* handle, float pitch) {
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  entity->SetPitch(pitch);
  return kIAUD_OK;
}

// ---------------------------------------------------------------- reading variables

int32_t apiGetEntityLocalVarStateShort(void* handle, const uint16_t* var, int32_t* out) {
  if (!out || !var) return kIAUD_BAD_ARGUMENT;
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  *out = entity->GetLocalVarState(var);
  return *out == -1 ? kIAUD_BAD_ARGUMENT : kIAUD_OK;
}

int32_t apiGetEntityLocalVarStateChar(void* handle, const char* var, int32_t* out) {
  if (!out || !var) return kIAUD_BAD_ARGUMENT;
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  WideName<iaudentityapi::kVarNameUnits> wide(var);
  *out = wide.ok ? entity->GetLocalVarState(wide.units) : -1;
  return *out == -1 ? kIAUD_BAD_ARGUMENT : kIAUD_OK;
}

int32_t apiGetEntityGlobalVarStateShort(void* handle, const uint16_t* var, int32_t* out) {
  if (!out || !var) return kIAUD_BAD_ARGUMENT;
  IAUDContentBank* bank = GetContentBank(handle);
  if (!bank) return kIAUD_INVALID_HANDLE;
  *out = bank->GetGlobalVarState(var);
  return *out == -1 ? kIAUD_BAD_ARGUMENT : kIAUD_OK;
}

int32_t apiGetEntityGlobalVarStateChar(void* handle, const char* var, int32_t* out) {
  if (!out || !var) return kIAUD_BAD_ARGUMENT;
  WideName<iaudentityapi::kVarNameUnits> wide(var);
  IAUDContentBank* bank = GetContentBank(handle);
  if (!bank) return kIAUD_INVALID_HANDLE;
  *out = wide.ok ? bank->GetGlobalVarState(wide.units) : -1;
  return *out == -1 ? kIAUD_BAD_ARGUMENT : kIAUD_OK;
}

int32_t apiGetEntityLocalVarState(void* handle, uint32_t var, int32_t* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  int32_t state = entity->GetLocalVarState(var);
  if (state == -1) return kIAUD_BAD_ARGUMENT;
  *out = state;
  return kIAUD_OK;
}

int32_t apiGetEntityGlobalVarState(void* handle, uint32_t var, int32_t* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  IAUDContentBank* bank = GetContentBank(handle);
  if (!bank) return kIAUD_INVALID_HANDLE;
  int32_t state = bank->GetGlobalVarState(var);
  if (state == -1) return kIAUD_BAD_ARGUMENT;
  *out = state;
  return kIAUD_OK;
}

int32_t apiGetEntityMasterRPCLevel(void* handle, float* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  entity->GetRPCLevel(nullptr, out);
  return kIAUD_OK;
}

int32_t apiGetEntityRPCLevelShort(void* handle, const uint16_t* name, float* out) {
  if (!out || !name) return kIAUD_BAD_ARGUMENT;
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  return entity->GetRPCLevel(name, out) ? kIAUD_OK : kIAUD_BAD_ARGUMENT;
}

int32_t apiGetEntityRPCLevelChar(void* handle, const char* name, float* out) {
  if (!out || !name) return kIAUD_BAD_ARGUMENT;
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  WideName<iaudentityapi::kEntityNameUnits> wide(name);
  return wide.ok && entity->GetRPCLevel(wide.units, out) ? kIAUD_OK : kIAUD_BAD_ARGUMENT;
}

int32_t apiGetEntityMode(void* handle, uint32_t* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  unsigned long mode = 0;
  entity->GetMode(&mode);
  *out = (uint32_t)mode;
  return kIAUD_OK;
}

int32_t apiGetEntityPosition(void* handle, IAUDVector* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  entity->GetPosition(out);
  return kIAUD_OK;
}

int32_t apiGetEntityOrientation(void* handle, IAUDVector* front, IAUDVector* top) {
  if (!front || !top) return kIAUD_BAD_ARGUMENT;
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  entity->GetOrientation(front, top);
  return kIAUD_OK;
}

int32_t apiGetEntityOrientation(void* handle, float* first, float* second, float* third) {
  if (!first || !second || !third) return kIAUD_BAD_ARGUMENT;
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  entity->GetOrientation(first, second, third);
  return kIAUD_OK;
}

int32_t apiGetEntityVelocity(void* handle, IAUDVector* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  entity->GetVelocity(out);
  return kIAUD_OK;
}

int32_t apiGetEntityPitch(void* handle, float* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  entity->GetPitch(out);
  return kIAUD_OK;
}

// ---------------------------------------------------------------- counts and names

int32_t apiGetNumLocalVars(void* handle, uint32_t* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  *out = entity->GetNumLocalVars();
  return kIAUD_OK;
}

int32_t apiGetNumGlobalVars(void* handle, uint32_t* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  IAUDContentBank* bank = GetContentBank(handle);
  if (!bank) return kIAUD_INVALID_HANDLE;
  *out = bank->GetNumGlobalVars();
  return kIAUD_OK;
}

int32_t apiGetNumLocalVarStates(void* handle, uint32_t var, int32_t* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  *out = entity->GetNumLocalVarStates(var);
  return *out == -1 ? kIAUD_BAD_ARGUMENT : kIAUD_OK;
}

int32_t apiGetNumGlobalVarStates(void* handle, uint32_t var, int32_t* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  IAUDContentBank* bank = GetContentBank(handle);
  if (!bank) return kIAUD_INVALID_HANDLE;
  *out = bank->GetNumGlobalVarStates(var);
  return *out == -1 ? kIAUD_BAD_ARGUMENT : kIAUD_OK;
}

int32_t apiGetLocalVarNameShort(void* handle, uint32_t var, uint16_t* out, uint32_t size) {
  if (!out || size == 0) return kIAUD_BAD_ARGUMENT;
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  int32_t length = size > 0x7FFFFFFFu ? 0x7FFFFFFF : (int32_t)size;
  return entity->GetLocalVarName(var, out, length) ? kIAUD_OK : kIAUD_BAD_ARGUMENT;
}

int32_t apiGetLocalVarNameChar(void* handle, uint32_t var, char* out, uint32_t size) {
  if (!out || size == 0) return kIAUD_BAD_ARGUMENT;
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  return iaudentityapi::NarrowName(out, size, [&](uint16_t* units, int32_t count) {
    return entity->GetLocalVarName(var, units, count) != nullptr;
  });
}

int32_t apiGetGlobalVarNameShort(void* handle, uint32_t var, uint16_t* out, uint32_t size) {
  if (!out || size == 0) return kIAUD_BAD_ARGUMENT;
  IAUDContentBank* bank = GetContentBank(handle);
  if (!bank) return kIAUD_INVALID_HANDLE;
  int32_t length = size > 0x7FFFFFFFu ? 0x7FFFFFFF : (int32_t)size;
  return bank->GetGlobalVarName(var, out, length) ? kIAUD_OK : kIAUD_BAD_ARGUMENT;
}

int32_t apiGetGlobalVarNameChar(void* handle, uint32_t var, char* out, uint32_t size) {
  if (!out || size == 0) return kIAUD_BAD_ARGUMENT;
  IAUDContentBank* bank = GetContentBank(handle);
  if (!bank) return kIAUD_INVALID_HANDLE;
  return iaudentityapi::NarrowName(out, size, [&](uint16_t* units, int32_t count) {
    return bank->GetGlobalVarName(var, units, count) != nullptr;
  });
}

int32_t apiGetLocalVarStateNameShort(void* handle, uint32_t var, uint32_t state, uint16_t* out, uint32_t size) {
  if (!out || size == 0) return kIAUD_BAD_ARGUMENT;
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  int32_t length = size > 0x7FFFFFFFu ? 0x7FFFFFFF : (int32_t)size;
  return entity->GetLocalVarStateName(var, state, out, length) ? kIAUD_OK : kIAUD_BAD_ARGUMENT;
}

int32_t apiGetLocalVarStateNameChar(void* handle, uint32_t var, uint32_t state, char* out, uint32_t size) {
  if (!out || size == 0) return kIAUD_BAD_ARGUMENT;
  CEntity* entity = EntityOf(handle);
  if (!entity) return kIAUD_INVALID_HANDLE;
  return iaudentityapi::NarrowName(out, size, [&](uint16_t* units, int32_t count) {
    return entity->GetLocalVarStateName(var, state, units, count) != nullptr;
  });
}

int32_t apiGetGlobalVarStateNameShort(void* handle, uint32_t var, uint32_t state, uint16_t* out, uint32_t size) {
  if (!out || size == 0) return kIAUD_BAD_ARGUMENT;
  IAUDContentBank* bank = GetContentBank(handle);
  if (!bank) return kIAUD_INVALID_HANDLE;
  int32_t length = size > 0x7FFFFFFFu ? 0x7FFFFFFF : (int32_t)size;
  return bank->GetGlobalVarStateName(var, state, out, length) ? kIAUD_OK : kIAUD_BAD_ARGUMENT;
}

int32_t apiGetGlobalVarStateNameChar(void* handle, uint32_t var, uint32_t state, char* out, uint32_t size) {
  if (!out || size == 0) return kIAUD_BAD_ARGUMENT;
  IAUDContentBank* bank = GetContentBank(handle);
  if (!bank) return kIAUD_INVALID_HANDLE;
  return iaudentityapi::NarrowName(out, size, [&](uint16_t* units, int32_t count) {
    return bank->GetGlobalVarStateName(var, state, units, count) != nullptr;
  });
}

void UpdateEntityList(CEntity* first) {
  for (CEntity* e = first; e; e = e->GetPostEntity()) {
    IAUDVector v{};
    e->GetPosition(&v);
    e->SetPosition(v);
    e->GetVelocity(&v);
    e->SetVelocity(v);
  }
}
