// The runtime's sound-entity functions: live instances of the sound-entity
// definitions of a bank, their variables, levels and spatial properties.
// An entity handle is valid while it is in the entity list of the project
// file or of a loaded content bank (-7 otherwise). A bank handle for global
// variables names a loaded content bank, or the project file (null or its
// own address). Variable and state lookups that fail answer -2. 8-bit names
// are widened into buffers of 128 units (entity and level names) or 32
// units (variable and state names); a name that does not fit names nothing.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/IAUDTypes.h"

class CEntity;
class IAUDContentBank;

// No bank searched holds a usable sound entity of the name.
enum : int32_t { kIAUD_NO_ENTITY = -6 };

int32_t apiCreateEntityShort(void** out, const uint16_t* name, void* bank);
int32_t apiCreateEntityChar(void** out, const char* name, void* bank);
int32_t apiDestroyEntity(void* entity);
int32_t apiIsValidEntityHandle(void* entity);
int32_t apiActivateEntity(void* entity, bool active);
int32_t apiResetEntityLocalVars(void* entity);
int32_t apiResetEntityGlobalVars(void* bank);
int32_t apiSuspendEntity(void* entity);
int32_t apiProcessEntity(void* entity);
int32_t apiSuspendAllEntities(void* bank);
int32_t apiProcessAllEntities(void* bank);

int32_t apiSetEntityLocalVarStateShort(void* entity, const uint16_t* var, const uint16_t* state);
int32_t apiSetEntityLocalVarStateChar(void* entity, const char* var, const char* state);
int32_t apiSetEntityGlobalVarStateShort(void* bank, const uint16_t* var, const uint16_t* state);
int32_t apiSetEntityGlobalVarStateChar(void* bank, const char* var, const char* state);
int32_t apiSetEntityLocalVarState(void* entity, uint32_t var, uint32_t state);
int32_t apiSetEntityGlobalVarState(void* bank, uint32_t var, uint32_t state);
int32_t apiSetEntityMasterRPCLevel(void* entity, float level);
int32_t apiSetEntityRPCLevelShort(void* entity, const uint16_t* name, float level);
int32_t apiSetEntityRPCLevelChar(void* entity, const char* name, float level);
int32_t apiSetEntityMode(void* entity, uint32_t mode);
int32_t apiSetEntityPosition(void* entity, IAUDVector& position);
int32_t apiSetEntityOrientation(void* entity, IAUDVector& front, IAUDVector& top);
int32_t apiSetEntityOrientation(void* entity, float first, float second, float third);
int32_t apiSetEntityVelocity(void* entity, IAUDVector& velocity);
int32_t apiSetEntityPitch(void* entity, float pitch);

int32_t apiGetEntityLocalVarStateShort(void* entity, const uint16_t* var, int32_t* out);
int32_t apiGetEntityLocalVarStateChar(void* entity, const char* var, int32_t* out);
int32_t apiGetEntityGlobalVarStateShort(void* bank, const uint16_t* var, int32_t* out);
int32_t apiGetEntityGlobalVarStateChar(void* bank, const char* var, int32_t* out);
int32_t apiGetEntityLocalVarState(void* entity, uint32_t var, int32_t* out);
int32_t apiGetEntityGlobalVarState(void* bank, uint32_t var, int32_t* out);
int32_t apiGetEntityMasterRPCLevel(void* entity, float* out);
int32_t apiGetEntityRPCLevelShort(void* entity, const uint16_t* name, float* out);
int32_t apiGetEntityRPCLevelChar(void* entity, const char* name, float* out);
int32_t apiGetEntityMode(void* entity, uint32_t* out);
int32_t apiGetEntityPosition(void* entity, IAUDVector* out);
int32_t apiGetEntityOrientation(void* entity, IAUDVector* front, IAUDVector* top);
int32_t apiGetEntityOrientation(void* entity, float* first, float* second, float* third);
int32_t apiGetEntityVelocity(void* entity, IAUDVector* out);
int32_t apiGetEntityPitch(void* entity, float* out);

int32_t apiGetNumLocalVars(void* entity, uint32_t* out);
int32_t apiGetNumGlobalVars(void* bank, uint32_t* out);
int32_t apiGetNumLocalVarStates(void* entity, uint32_t var, int32_t* out);
int32_t apiGetNumGlobalVarStates(void* bank, uint32_t var, int32_t* out);
int32_t apiGetLocalVarNameShort(void* entity, uint32_t var, uint16_t* out, uint32_t size);
int32_t apiGetLocalVarNameChar(void* entity, uint32_t var, char* out, uint32_t size);
int32_t apiGetGlobalVarNameShort(void* bank, uint32_t var, uint16_t* out, uint32_t size);
int32_t apiGetGlobalVarNameChar(void* bank, uint32_t var, char* out, uint32_t size);
int32_t apiGetLocalVarStateNameShort(void* entity, uint32_t var, uint32_t state, uint16_t* out, uint32_t size);
int32_t apiGetLocalVarStateNameChar(void* entity, uint32_t var, uint32_t state, char* out, uint32_t size);
int32_t apiGetGlobalVarStateNameShort(void* bank, uint32_t var, uint32_t state, uint16_t* out, uint32_t size);
int32_t apiGetGlobalVarStateNameChar(void* bank, uint32_t var, uint32_t state, char* out, uint32_t size);

// The bank a handle for global variables names, or null.
IAUDContentBank* GetContentBank(void* handle);

// Writes every entity of the list its own position and velocity again, so
// that the driver receives them under the present distance factor.
void UpdateEntityList(CEntity* first);
