#include "NonTW/IAUDEng/IAUDEntityApi.h"

#include "NonTW/IAUDEng/IAUDResourceManager.h"

int32_t apiCreateEntityShort(void** out, const uint16_t* name, void*) {
  if (!out || !name) return kIAUD_BAD_ARGUMENT;
  *out = nullptr;
  if (!m_papiResourceManager) return kIAUD_NOT_STARTED;
  return kIAUD_NO_ENTITY;
}

int32_t apiCreateEntityChar(void** out, const char* name, void*) {
  if (!out || !name) return kIAUD_BAD_ARGUMENT;
  *out = nullptr;
  if (!m_papiResourceManager) return kIAUD_NOT_STARTED;
  return kIAUD_NO_ENTITY;
}

int32_t apiDestroyEntity(void*) { return kIAUD_INVALID_HANDLE; }

int32_t apiIsValidEntityHandle(void*) { return m_papiResourceManager ? kIAUD_INVALID_HANDLE : kIAUD_NOT_STARTED; }

int32_t apiActivateEntity(void*, bool) { return kIAUD_INVALID_HANDLE; }

int32_t apiResetEntityLocalVars(void*) { return kIAUD_INVALID_HANDLE; }

int32_t apiResetEntityGlobalVars(void*) { return kIAUD_INVALID_HANDLE; }

int32_t apiSuspendEntity(void*) { return kIAUD_INVALID_HANDLE; }

int32_t apiProcessEntity(void*) { return kIAUD_INVALID_HANDLE; }

int32_t apiSuspendAllEntities(void*) { return kIAUD_INVALID_HANDLE; }

int32_t apiProcessAllEntities(void*) { return kIAUD_INVALID_HANDLE; }

int32_t apiSetEntityLocalVarStateShort(void*, const uint16_t*, const uint16_t*) { return kIAUD_INVALID_HANDLE; }

int32_t apiSetEntityLocalVarStateChar(void*, const char*, const char*) { return kIAUD_INVALID_HANDLE; }

int32_t apiSetEntityGlobalVarStateShort(void*, const uint16_t*, const uint16_t*) { return kIAUD_INVALID_HANDLE; }

int32_t apiSetEntityGlobalVarStateChar(void*, const char*, const char*) { return kIAUD_INVALID_HANDLE; }

int32_t apiSetEntityLocalVarState(void*, uint32_t, uint32_t) { return kIAUD_INVALID_HANDLE; }

int32_t apiSetEntityGlobalVarState(void*, uint32_t, uint32_t) { return kIAUD_INVALID_HANDLE; }

int32_t apiSetEntityMasterRPCLevel(void*, float) { return kIAUD_INVALID_HANDLE; }

int32_t apiSetEntityRPCLevelShort(void*, const uint16_t*, float) { return kIAUD_INVALID_HANDLE; }

int32_t apiSetEntityRPCLevelChar(void*, const char*, float) { return kIAUD_INVALID_HANDLE; }

int32_t apiSetEntityMode(void*, uint32_t) { return kIAUD_INVALID_HANDLE; }

int32_t apiSetEntityPosition(void*, IAUDVector&) { return kIAUD_INVALID_HANDLE; }

int32_t apiSetEntityOrientation(void*, IAUDVector&, IAUDVector&) { return kIAUD_INVALID_HANDLE; }

int32_t apiSetEntityOrientation(void*, float, float, float) { return kIAUD_INVALID_HANDLE; }

int32_t apiSetEntityVelocity(void*, IAUDVector&) { return kIAUD_INVALID_HANDLE; }

int32_t apiSetEntityPitch(void*, float) { return kIAUD_INVALID_HANDLE; }

int32_t apiGetEntityLocalVarStateShort(void*, const uint16_t* var, int32_t* out) {
  if (!out || !var) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetEntityLocalVarStateChar(void*, const char* var, int32_t* out) {
  if (!out || !var) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetEntityGlobalVarStateShort(void*, const uint16_t* var, int32_t* out) {
  if (!out || !var) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetEntityGlobalVarStateChar(void*, const char* var, int32_t* out) {
  if (!out || !var) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetEntityLocalVarState(void*, uint32_t, int32_t* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetEntityGlobalVarState(void*, uint32_t, int32_t* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetEntityMasterRPCLevel(void*, float* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetEntityRPCLevelShort(void*, const uint16_t* name, float* out) {
  if (!out || !name) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetEntityRPCLevelChar(void*, const char* name, float* out) {
  if (!out || !name) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetEntityMode(void*, uint32_t* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetEntityPosition(void*, IAUDVector* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetEntityOrientation(void*, IAUDVector* front, IAUDVector* top) {
  if (!front || !top) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetEntityOrientation(void*, float* first, float* second, float* third) {
  if (!first || !second || !third) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetEntityVelocity(void*, IAUDVector* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetEntityPitch(void*, float* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetNumLocalVars(void*, uint32_t* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetNumGlobalVars(void*, uint32_t* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetNumLocalVarStates(void*, uint32_t, int32_t* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetNumGlobalVarStates(void*, uint32_t, int32_t* out) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetLocalVarNameShort(void*, uint32_t, uint16_t* out, uint32_t) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetLocalVarNameChar(void*, uint32_t, char* out, uint32_t) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetGlobalVarNameShort(void*, uint32_t, uint16_t* out, uint32_t) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetGlobalVarNameChar(void*, uint32_t, char* out, uint32_t) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetLocalVarStateNameShort(void*, uint32_t, uint32_t, uint16_t* out, uint32_t) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetLocalVarStateNameChar(void*, uint32_t, uint32_t, char* out, uint32_t) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetGlobalVarStateNameShort(void*, uint32_t, uint32_t, uint16_t* out, uint32_t) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetGlobalVarStateNameChar(void*, uint32_t, uint32_t, char* out, uint32_t) {
  if (!out) return kIAUD_BAD_ARGUMENT;
  return kIAUD_INVALID_HANDLE;
}

void UpdateEntityList(CEntity*) {}
