// The runtime's own functions behind its programming interface: opening and
// closing, the project file, all-audio control, the distance factor, gains,
// the listener, effect properties and groups; content banks, content,
// sample banks and samples.
//
// Handles: a content bank is an IAUDContentBank (null: the project file; in
// lookups, all bits set: the project file, then every bank in load order); a
// group is its index + 1 (null: none, or every group for the all-audio
// calls); a sample-bank index is a slot 0..255, 0xFFFFFFFF naming the
// project file's own bank. 8-bit names are widened into fixed buffers; a name
// that does not fit is not found. Results are the codes of IAUDTypes.h, and
// -1 for a form that is not available.
#pragma once

#include <cstdint>

#include "NonTW/AudioDrv/AudioTypes.h"
#include "NonTW/IAUDEng/IAUDTypes.h"

// Widens an 8-bit name into 16-bit units of that capacity; false when it
// does not fit (such a name names nothing).
bool IAUDWidenName(const char* name, uint16_t* units, int32_t capacity);

class IAUDRenderInterface;
class IAUDResourceManager;

// What a content object reports of its length and repeats.
struct SContentInfo {
  uint32_t dwMinDuration;
  uint32_t dwMaxDuration;
  int32_t nLoopCount;
};

enum : int32_t { kIAUD_NOT_AVAILABLE = -1 };

// The content-bank handle that searches the project file and every bank.
inline void* IAUDAllContentBanks() { return reinterpret_cast<void*>(~static_cast<uintptr_t>(0)); }
// The sample-bank index of the project file's own bank.
constexpr uint32_t kIAUD_PROJECT_SAMPLE_BANK = 0xFFFFFFFFu;

// The listener as the driver holds it (position already scaled) and the
// orientation last set from two vectors. They outlive a close.
extern IAUDVector g_ivListenerPosition;
extern IAUDVector g_ivListenerForward;
extern IAUDVector g_ivListenerUp;

// Runtime life and project file.
IAUDResourceManager* apiOpenIAUD(IAUDRenderInterface* renderInterface);
void apiCloseIAUD();
int32_t apiLoadFileShort(const uint16_t* name);
int32_t apiLoadFileChar(const char* name);
int32_t apiReleaseAllResources(IAUDRenderInterface* renderInterface);

// All audio.
int32_t apiGetAvailableVoiceCount(int32_t* out);
int32_t apiStopAllAudio(void* group);
int32_t apiPauseAllAudio(void* group);
int32_t apiRestartAllAudio(void* group);

// Distance factor and gains.
int32_t apiSetDistanceFactor(float factor);
int32_t apiGetDistanceFactor(float* out);
int32_t apiSetHeadRoomGain(float gain);
int32_t apiGetHeadRoomGain(float* out);
int32_t apiSetListenerGain(float gain);

// Listener.
int32_t apiSetListenerPosition(IAUDVector& position);
int32_t apiSetListenerOrientation(IAUDVector& forward, IAUDVector& up);
int32_t apiSetListenerOrientation(float first, float second, float third);
int32_t apiGetListenerPosition(IAUDVector* out);
int32_t apiGetListenerOrientation(IAUDVector* forward, IAUDVector* up);
int32_t apiGetListenerOrientation(float* first, float* second, float* third);

// Effect properties: the listener's effect sets go to the effect slots;
// any other set to the player or entity the handle names.
int32_t apiSetEAXProperty(void* handle, const _GUID& propertySet, uint32_t id, void* data, uint32_t size);
int32_t apiGetEAXProperty(void* handle, const _GUID& propertySet, uint32_t id, void* data, uint32_t size);

// Groups.
int32_t apiGetGroupHandleShort(void** out, const uint16_t* name);
int32_t apiGetGroupHandleChar(void** out, const char* name);
int32_t apiIsValidGroupHandle(void* group);
int32_t apiSetGroupGain(void* group, float gain);
int32_t apiGetGroupGain(void* group, float* out);

// Content banks.
int32_t apiLoadContentBankShort(void** out, const uint16_t* fileName);
int32_t apiLoadContentBankChar(void** out, const char* fileName);
int32_t apiGetContentBankHandleShort(void** out, const uint16_t* name);
int32_t apiGetContentBankHandleChar(void** out, const char* name);
int32_t apiIsValidContentBankHandle(void* bank);
int32_t apiUnloadContentBank(void* bank);
int32_t apiGetNextContentBank(void** out, void* bank);
int32_t apiGetContentBankName(uint16_t* out, void* bank);
int32_t apiGetContentBankName(char* out, void* bank);

// Content.
int32_t apiGetContentHandleShort(void** out, const uint16_t* name, void* bank);
int32_t apiGetContentHandleChar(void** out, const char* name, void* bank);
int32_t apiIsValidContentHandle(void* content);
int32_t apiGetNextContent(void** out, void* previous, void* bank);
int32_t apiGetContentName(uint16_t* out, void* content);
int32_t apiGetContentName(char* out, void* content);
int32_t apiGetContentVoiceCount(void* content, int32_t* out);
int32_t apiGetContentInfo(void* content, SContentInfo* out);
int32_t apiGetContentMarkerShort(void** out, const uint16_t* name, void* content);
int32_t apiGetContentMarkerChar(void** out, const char* name, void* content);
int32_t apiGetContentGroupHandle(void** out, void* content);

// Sample banks.
int32_t apiLoadSampleBankShort(uint32_t slot, const uint16_t* fileName, bool resident);
int32_t apiLoadSampleBankChar(uint32_t slot, const char* fileName, bool resident);
int32_t apiLoadStreamingSampleBankShort(uint32_t slot, const uint16_t* fileName, uint32_t packetTime,
                                        int32_t forcePreload);
int32_t apiLoadStreamingSampleBankChar(uint32_t slot, const char* fileName, uint32_t packetTime, int32_t forcePreload);
int32_t apiGetSampleBankIndexShort(uint32_t* out, const uint16_t* name);
int32_t apiGetSampleBankIndexChar(uint32_t* out, const char* name);
int32_t apiIsValidSampleBankIndex(uint32_t index);
int32_t apiUnloadSampleBank(uint32_t slot);
int32_t apiGetSampleBankName(uint16_t* out, uint32_t index);
int32_t apiGetSampleBankName(char* out, uint32_t index);
int32_t apiUpdateStreamingSampleBanks();

// Samples.
int32_t apiGetSampleHandle(void** out, const uint16_t* name, uint32_t bank);
int32_t apiGetSampleHandle(void** out, const char* name, uint32_t bank);
int32_t apiGetSampleHandle(void** out, uint32_t index, uint32_t bank);
int32_t apiIsValidSampleHandle(void* sample);
int32_t apiGetSampleGroupHandle(void** out, void* sample);
int32_t apiGetSampleName(uint16_t* out, uint32_t index, uint32_t bank);
int32_t apiGetSampleName(char* out, uint32_t index, uint32_t bank);
