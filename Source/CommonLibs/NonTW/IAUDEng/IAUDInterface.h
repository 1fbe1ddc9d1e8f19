// The audio runtime's programming interface: one object whose operations
// are the runtime's functions, obtained with RetrieveIAUDInterface and given
// back with ReleaseInterface. Handles are untyped pointers passed back
// unchanged (content banks, content, markers, players, entities, samples;
// a group is its index + 1); every operation answers the code of its runtime
// function (IAUDApi.h).
#pragma once

#include <cstdint>

#include "NonTW/AudioDrv/AudioTypes.h"
#include "NonTW/IAUDEng/IAUDApi.h"
#include "NonTW/IAUDEng/IAUDTypes.h"

class IAUDRenderInterface;
struct SPlayerMetricTime;
struct SPlayerRealTime;
struct SPlayerStatus;
struct STransition;

// The operations in their fixed slot order; a 16-bit and an 8-bit form of a
// name take two neighbouring slots, the 16-bit form first. The object is
// destroyed only through ReleaseInterface.
class IAUDInterface {
 public:
  virtual int32_t LoadFile(const uint16_t* name) = 0;                                      // 0
  virtual int32_t LoadFile(const char* name) = 0;                                          // 1
  virtual int32_t ReleaseAllResources() = 0;                                               // 2
  virtual int32_t LoadSampleBank(uint32_t slot, const uint16_t* name, bool resident) = 0;  // 3
  virtual int32_t LoadSampleBank(uint32_t slot, const char* name, bool resident) = 0;      // 4
  virtual int32_t LoadStreamingSampleBank(uint32_t slot, const uint16_t* name, uint32_t packetTime,
                                          int32_t forcePreload) = 0;  // 5
  virtual int32_t LoadStreamingSampleBank(uint32_t slot, const char* name, uint32_t packetTime,
                                          int32_t forcePreload) = 0;                      // 6
  virtual int32_t GetSampleBankIndex(uint32_t* out, const uint16_t* name) = 0;            // 7
  virtual int32_t GetSampleBankIndex(uint32_t* out, const char* name) = 0;                // 8
  virtual int32_t IsValidSampleBankIndex(uint32_t index) = 0;                             // 9
  virtual int32_t UnloadSampleBank(uint32_t slot) = 0;                                    // 10
  virtual int32_t GetSampleBankName(uint16_t* out, uint32_t index) = 0;                   // 11
  virtual int32_t GetSampleBankName(char* out, uint32_t index) = 0;                       // 12
  virtual int32_t GetSampleHandle(void** out, const uint16_t* name, uint32_t bank) = 0;   // 13
  virtual int32_t GetSampleHandle(void** out, const char* name, uint32_t bank) = 0;       // 14
  virtual int32_t GetSampleHandle(void** out, uint32_t index, uint32_t bank) = 0;         // 15
  virtual int32_t IsValidSampleHandle(void* sample) = 0;                                  // 16
  virtual int32_t GetSampleGroupHandle(void** out, void* sample) = 0;                     // 17
  virtual int32_t GetSampleName(uint16_t* out, uint32_t index, uint32_t bank) = 0;        // 18
  virtual int32_t GetSampleName(char* out, uint32_t index, uint32_t bank) = 0;            // 19
  virtual int32_t UpdateStreamingSampleBanks() = 0;                                       // 20
  virtual int32_t LoadContentBank(void** out, const uint16_t* name) = 0;                  // 21
  virtual int32_t LoadContentBank(void** out, const char* name) = 0;                      // 22
  virtual int32_t GetContentBankHandle(void** out, const uint16_t* name) = 0;             // 23
  virtual int32_t GetContentBankHandle(void** out, const char* name) = 0;                 // 24
  virtual int32_t IsValidContentBankHandle(void* bank) = 0;                               // 25
  virtual int32_t UnloadContentBank(void* bank) = 0;                                      // 26
  virtual int32_t GetNextContentBank(void** out, void* bank) = 0;                         // 27
  virtual int32_t GetContentBankName(uint16_t* out, void* bank) = 0;                      // 28
  virtual int32_t GetContentBankName(char* out, void* bank) = 0;                          // 29
  virtual int32_t GetContentHandle(void** out, const uint16_t* name, void* bank) = 0;     // 30
  virtual int32_t GetContentHandle(void** out, const char* name, void* bank) = 0;         // 31
  virtual int32_t IsValidContentHandle(void* content) = 0;                                // 32
  virtual int32_t GetNextContent(void** out, void* previous, void* bank) = 0;             // 33
  virtual int32_t GetContentName(uint16_t* out, void* content) = 0;                       // 34
  virtual int32_t GetContentName(char* out, void* content) = 0;                           // 35
  virtual int32_t GetContentVoiceCount(void* content, int32_t* out) = 0;                  // 36
  virtual int32_t GetContentInfo(void* content, SContentInfo* out) = 0;                   // 37
  virtual int32_t GetContentMarker(void** out, const uint16_t* name, void* content) = 0;  // 38
  virtual int32_t GetContentMarker(void** out, const char* name, void* content) = 0;      // 39
  virtual int32_t GetContentGroupHandle(void** out, void* content) = 0;                   // 40
  virtual void ReleaseInterface() = 0;                                                    // 41
  virtual int32_t GetAvailableVoiceCount(int32_t* out) = 0;                               // 42
  virtual int32_t StopAllAudio(void* group) = 0;                                          // 43
  virtual int32_t PauseAllAudio(void* group) = 0;                                         // 44
  virtual int32_t RestartAllAudio(void* group) = 0;                                       // 45
  virtual int32_t SetDistanceFactor(float factor) = 0;                                    // 46
  virtual int32_t GetDistanceFactor(float* out) = 0;                                      // 47
  virtual int32_t SetHeadRoomGain(float gain) = 0;                                        // 48
  virtual int32_t GetHeadRoomGain(float* out) = 0;                                        // 49
  virtual int32_t SetListenerGain(float gain) = 0;                                        // 50
  virtual int32_t SetListenerPosition(IAUDVector& position) = 0;                          // 51
  virtual int32_t SetListenerOrientation(IAUDVector& forward, IAUDVector& up) = 0;        // 52
  virtual int32_t SetListenerOrientation(float first, float second, float third) = 0;     // 53
  virtual int32_t GetListenerPosition(IAUDVector* out) = 0;                               // 54
  virtual int32_t GetListenerOrientation(IAUDVector* forward, IAUDVector* up) = 0;        // 55
  virtual int32_t GetListenerOrientation(float* first, float* second, float* third) = 0;  // 56
  virtual int32_t SetEAXProperty(void* handle, const _GUID& propertySet, uint32_t id, void* data,
                                 uint32_t size) = 0;  // 57
  virtual int32_t GetEAXProperty(void* handle, const _GUID& propertySet, uint32_t id, void* data,
                                 uint32_t size) = 0;                                                 // 58
  virtual int32_t CreateAudioPlayer(void** out) = 0;                                                 // 59
  virtual int32_t DestroyAudioPlayer(void* player) = 0;                                              // 60
  virtual int32_t IsValidPlayerHandle(void* player) = 0;                                             // 61
  virtual int32_t SetMasterAudioPlayer(void* player) = 0;                                            // 62
  virtual int32_t GetMasterAudioPlayer(void** out) = 0;                                              // 63
  virtual int32_t AttachPlayerRPC(void* player, const uint16_t* name, void* bank, float level) = 0;  // 64
  virtual int32_t AttachPlayerRPC(void* player, const char* name, void* bank, float level) = 0;      // 65
  virtual int32_t ReleasePlayerRPC(void* player) = 0;                                                // 66
  virtual int32_t AttachPlayerPrimaryContent(void* player, void* content) = 0;                       // 67
  virtual int32_t AttachPlayerTransitionContent(void* player, void* content) = 0;                    // 68
  virtual int32_t ReleasePlayerPrimaryContent(void* player) = 0;                                     // 69
  virtual int32_t ReleasePlayerTransitionContent(void* player) = 0;                                  // 70
  virtual int32_t PlayAudioPlayer(void* player, int32_t loops, void* marker) = 0;                    // 71
  virtual int32_t TransitionAudioPlayer(void* player, const uint16_t* name, void* bank, int32_t value,
                                        void* marker) = 0;  // 72
  virtual int32_t TransitionAudioPlayer(void* player, const char* name, void* bank, int32_t value,
                                        void* marker) = 0;                                                        // 73
  virtual int32_t TransitionAudioPlayer(void* player, STransition* transition, int32_t value, void* marker) = 0;  // 74
  virtual int32_t PauseAudioPlayer(void* player) = 0;                                                             // 75
  virtual int32_t RestartAudioPlayer(void* player) = 0;                                                           // 76
  virtual int32_t StopAudioPlayer(void* player) = 0;                                                              // 77
  virtual int32_t GetAudioPlayerStatus(void* player, SPlayerStatus* out) = 0;                                     // 78
  virtual int32_t GetAudioPlayerMetricTime(void* player, SPlayerMetricTime* out) = 0;                             // 79
  virtual int32_t GetAudioPlayerRealTime(void* player, SPlayerRealTime* out) = 0;                                 // 80
  virtual int32_t SetAudioPlayerRPCLevel(void* player, float level) = 0;                                          // 81
  virtual int32_t SetAudioPlayerMode(void* player, uint32_t mode) = 0;                                            // 82
  virtual int32_t SetAudioPlayerPosition(void* player, IAUDVector& position) = 0;                                 // 83
  virtual int32_t SetAudioPlayerOrientation(void* player, IAUDVector& front, IAUDVector& top) = 0;                // 84
  virtual int32_t SetAudioPlayerOrientation(void* player, float first, float second, float third) = 0;            // 85
  virtual int32_t SetAudioPlayerVelocity(void* player, IAUDVector& velocity) = 0;                                 // 86
  virtual int32_t GetAudioPlayerRPCLevel(void* player, float* out) = 0;                                           // 87
  virtual int32_t GetAudioPlayerMode(void* player, uint32_t* out) = 0;                                            // 88
  virtual int32_t GetAudioPlayerPosition(void* player, IAUDVector* out) = 0;                                      // 89
  virtual int32_t GetAudioPlayerOrientation(void* player, IAUDVector* front, IAUDVector* top) = 0;                // 90
  virtual int32_t GetAudioPlayerOrientation(void* player, float* first, float* second, float* third) = 0;         // 91
  virtual int32_t GetAudioPlayerVelocity(void* player, IAUDVector* out) = 0;                                      // 92
  virtual int32_t CreateEntity(void** out, const uint16_t* name, void* bank) = 0;                                 // 93
  virtual int32_t CreateEntity(void** out, const char* name, void* bank) = 0;                                     // 94
  virtual int32_t DestroyEntity(void* entity) = 0;                                                                // 95
  virtual int32_t IsValidEntityHandle(void* entity) = 0;                                                          // 96
  virtual int32_t ActivateEntity(void* entity, bool active) = 0;                                                  // 97
  virtual int32_t ResetEntityLocalVars(void* entity) = 0;                                                         // 98
  virtual int32_t ResetEntityGlobalVars(void* bank) = 0;                                                          // 99
  virtual int32_t SuspendEntity(void* entity) = 0;                                                                // 100
  virtual int32_t ProcessEntity(void* entity) = 0;                                                                // 101
  virtual int32_t SuspendAllEntities(void* bank) = 0;                                                             // 102
  virtual int32_t ProcessAllEntities(void* bank) = 0;                                                             // 103
  virtual int32_t SetEntityLocalVarState(void* entity, const uint16_t* var, const uint16_t* state) = 0;           // 104
  virtual int32_t SetEntityLocalVarState(void* entity, const char* var, const char* state) = 0;                   // 105
  virtual int32_t SetEntityGlobalVarState(void* bank, const uint16_t* var, const uint16_t* state) = 0;            // 106
  virtual int32_t SetEntityGlobalVarState(void* bank, const char* var, const char* state) = 0;                    // 107
  virtual int32_t SetEntityLocalVarState(void* entity, uint32_t var, uint32_t state) = 0;                         // 108
  virtual int32_t SetEntityGlobalVarState(void* bank, uint32_t var, uint32_t state) = 0;                          // 109
  virtual int32_t SetEntityMasterRPCLevel(void* entity, float level) = 0;                                         // 110
  virtual int32_t SetEntityRPCLevel(void* entity, const uint16_t* name, float level) = 0;                         // 111
  virtual int32_t SetEntityRPCLevel(void* entity, const char* name, float level) = 0;                             // 112
  virtual int32_t SetEntityMode(void* entity, uint32_t mode) = 0;                                                 // 113
  virtual int32_t SetEntityPosition(void* entity, IAUDVector& position) = 0;                                      // 114
  virtual int32_t SetEntityOrientation(void* entity, IAUDVector& front, IAUDVector& top) = 0;                     // 115
  virtual int32_t SetEntityOrientation(void* entity, float first, float second, float third) = 0;                 // 116
  virtual int32_t SetEntityVelocity(void* entity, IAUDVector& velocity) = 0;                                      // 117
  virtual int32_t SetEntityPitch(void* entity, float pitch) = 0;                                                  // 118
  virtual int32_t GetEntityLocalVarState(void* entity, const uint16_t* var, int32_t* out) = 0;                    // 119
  virtual int32_t GetEntityLocalVarState(void* entity, const char* var, int32_t* out) = 0;                        // 120
  virtual int32_t GetEntityGlobalVarState(void* bank, const uint16_t* var, int32_t* out) = 0;                     // 121
  virtual int32_t GetEntityGlobalVarState(void* bank, const char* var, int32_t* out) = 0;                         // 122
  virtual int32_t GetEntityLocalVarState(void* entity, uint32_t var, int32_t* out) = 0;                           // 123
  virtual int32_t GetEntityGlobalVarState(void* bank, uint32_t var, int32_t* out) = 0;                            // 124
  virtual int32_t GetEntityMasterRPCLevel(void* entity, float* out) = 0;                                          // 125
  virtual int32_t GetEntityRPCLevel(void* entity, const uint16_t* name, float* out) = 0;                          // 126
  virtual int32_t GetEntityRPCLevel(void* entity, const char* name, float* out) = 0;                              // 127
  virtual int32_t GetEntityMode(void* entity, uint32_t* out) = 0;                                                 // 128
  virtual int32_t GetEntityPosition(void* entity, IAUDVector* out) = 0;                                           // 129
  virtual int32_t GetEntityOrientation(void* entity, IAUDVector* front, IAUDVector* top) = 0;                     // 130
  virtual int32_t GetEntityOrientation(void* entity, float* first, float* second, float* third) = 0;              // 131
  virtual int32_t GetEntityVelocity(void* entity, IAUDVector* out) = 0;                                           // 132
  virtual int32_t GetEntityPitch(void* entity, float* out) = 0;                                                   // 133
  virtual int32_t GetNumLocalVars(void* entity, uint32_t* out) = 0;                                               // 134
  virtual int32_t GetNumGlobalVars(void* bank, uint32_t* out) = 0;                                                // 135
  virtual int32_t GetNumLocalVarStates(void* entity, uint32_t var, int32_t* out) = 0;                             // 136
  virtual int32_t GetNumGlobalVarStates(void* bank, uint32_t var, int32_t* out) = 0;                              // 137
  virtual int32_t GetLocalVarName(void* entity, uint32_t var, uint16_t* out, uint32_t size) = 0;                  // 138
  virtual int32_t GetLocalVarName(void* entity, uint32_t var, char* out, uint32_t size) = 0;                      // 139
  virtual int32_t GetGlobalVarName(void* bank, uint32_t var, uint16_t* out, uint32_t size) = 0;                   // 140
  virtual int32_t GetGlobalVarName(void* bank, uint32_t var, char* out, uint32_t size) = 0;                       // 141
  virtual int32_t GetLocalVarStateName(void* entity, uint32_t var, uint32_t state, uint16_t* out,
                                       uint32_t size) = 0;  // 142
  virtual int32_t GetLocalVarStateName(void* entity, uint32_t var, uint32_t state, char* out,
                                       uint32_t size) = 0;  // 143
  virtual int32_t GetGlobalVarStateName(void* bank, uint32_t var, uint32_t state, uint16_t* out,
                                        uint32_t size) = 0;                                                       // 144
  virtual int32_t GetGlobalVarStateName(void* bank, uint32_t var, uint32_t state, char* out, uint32_t size) = 0;  // 145
  virtual int32_t GetGroupHandle(void** out, const uint16_t* name) = 0;                                           // 146
  virtual int32_t GetGroupHandle(void** out, const char* name) = 0;                                               // 147
  virtual int32_t IsValidGroupHandle(void* group) = 0;                                                            // 148
  virtual int32_t SetGroupGain(void* group, float gain) = 0;                                                      // 149
  virtual int32_t GetGroupGain(void* group, float* out) = 0;                                                      // 150

 protected:
  ~IAUDInterface() = default;
};

// The one implementation. Instances carry nothing of their own: the runtime
// opens with the first and closes with the last.
class IAUDWinInterface final : public IAUDInterface {
 public:
  // The first live instance opens the runtime on the render interface.
  explicit IAUDWinInterface(IAUDRenderInterface* renderInterface);
  // The last live instance closes the runtime and forgets the render interface.
  ~IAUDWinInterface();
  IAUDWinInterface(const IAUDWinInterface&) = delete;
  IAUDWinInterface& operator=(const IAUDWinInterface&) = delete;

  int32_t LoadFile(const uint16_t* name) override;
  int32_t LoadFile(const char* name) override;
  int32_t ReleaseAllResources() override;
  int32_t LoadSampleBank(uint32_t slot, const uint16_t* name, bool resident) override;
  int32_t LoadSampleBank(uint32_t slot, const char* name, bool resident) override;
  int32_t LoadStreamingSampleBank(uint32_t slot, const uint16_t* name, uint32_t packetTime,
                                  int32_t forcePreload) override;
  int32_t LoadStreamingSampleBank(uint32_t slot, const char* name, uint32_t packetTime, int32_t forcePreload) override;
  int32_t GetSampleBankIndex(uint32_t* out, const uint16_t* name) override;
  int32_t GetSampleBankIndex(uint32_t* out, const char* name) override;
  int32_t IsValidSampleBankIndex(uint32_t index) override;
  int32_t UnloadSampleBank(uint32_t slot) override;
  int32_t GetSampleBankName(uint16_t* out, uint32_t index) override;
  int32_t GetSampleBankName(char* out, uint32_t index) override;
  int32_t GetSampleHandle(void** out, const uint16_t* name, uint32_t bank) override;
  int32_t GetSampleHandle(void** out, const char* name, uint32_t bank) override;
  int32_t GetSampleHandle(void** out, uint32_t index, uint32_t bank) override;
  int32_t IsValidSampleHandle(void* sample) override;
  int32_t GetSampleGroupHandle(void** out, void* sample) override;
  int32_t GetSampleName(uint16_t* out, uint32_t index, uint32_t bank) override;
  int32_t GetSampleName(char* out, uint32_t index, uint32_t bank) override;
  int32_t UpdateStreamingSampleBanks() override;
  int32_t LoadContentBank(void** out, const uint16_t* name) override;
  int32_t LoadContentBank(void** out, const char* name) override;
  int32_t GetContentBankHandle(void** out, const uint16_t* name) override;
  int32_t GetContentBankHandle(void** out, const char* name) override;
  int32_t IsValidContentBankHandle(void* bank) override;
  int32_t UnloadContentBank(void* bank) override;
  int32_t GetNextContentBank(void** out, void* bank) override;
  int32_t GetContentBankName(uint16_t* out, void* bank) override;
  int32_t GetContentBankName(char* out, void* bank) override;
  int32_t GetContentHandle(void** out, const uint16_t* name, void* bank) override;
  int32_t GetContentHandle(void** out, const char* name, void* bank) override;
  int32_t IsValidContentHandle(void* content) override;
  int32_t GetNextContent(void** out, void* previous, void* bank) override;
  int32_t GetContentName(uint16_t* out, void* content) override;
  int32_t GetContentName(char* out, void* content) override;
  int32_t GetContentVoiceCount(void* content, int32_t* out) override;
  int32_t GetContentInfo(void* content, SContentInfo* out) override;
  int32_t GetContentMarker(void** out, const uint16_t* name, void* content) override;
  int32_t GetContentMarker(void** out, const char* name, void* content) override;
  int32_t GetContentGroupHandle(void** out, void* content) override;
  void ReleaseInterface() override;
  int32_t GetAvailableVoiceCount(int32_t* out) override;
  int32_t StopAllAudio(void* group) override;
  int32_t PauseAllAudio(void* group) override;
  int32_t RestartAllAudio(void* group) override;
  int32_t SetDistanceFactor(float factor) override;
  int32_t GetDistanceFactor(float* out) override;
  int32_t SetHeadRoomGain(float gain) override;
  int32_t GetHeadRoomGain(float* out) override;
  int32_t SetListenerGain(float gain) override;
  int32_t SetListenerPosition(IAUDVector& position) override;
  int32_t SetListenerOrientation(IAUDVector& forward, IAUDVector& up) override;
  int32_t SetListenerOrientation(float first, float second, float third) override;
  int32_t GetListenerPosition(IAUDVector* out) override;
  int32_t GetListenerOrientation(IAUDVector* forward, IAUDVector* up) override;
  int32_t GetListenerOrientation(float* first, float* second, float* third) override;
  int32_t SetEAXProperty(void* handle, const _GUID& propertySet, uint32_t id, void* data, uint32_t size) override;
  int32_t GetEAXProperty(void* handle, const _GUID& propertySet, uint32_t id, void* data, uint32_t size) override;
  int32_t CreateAudioPlayer(void** out) override;
  int32_t DestroyAudioPlayer(void* player) override;
  int32_t IsValidPlayerHandle(void* player) override;
  int32_t SetMasterAudioPlayer(void* player) override;
  int32_t GetMasterAudioPlayer(void** out) override;
  int32_t AttachPlayerRPC(void* player, const uint16_t* name, void* bank, float level) override;
  int32_t AttachPlayerRPC(void* player, const char* name, void* bank, float level) override;
  int32_t ReleasePlayerRPC(void* player) override;
  int32_t AttachPlayerPrimaryContent(void* player, void* content) override;
  int32_t AttachPlayerTransitionContent(void* player, void* content) override;
  int32_t ReleasePlayerPrimaryContent(void* player) override;
  int32_t ReleasePlayerTransitionContent(void* player) override;
  int32_t PlayAudioPlayer(void* player, int32_t loops, void* marker) override;
  int32_t TransitionAudioPlayer(void* player, const uint16_t* name, void* bank, int32_t value, void* marker) override;
  int32_t TransitionAudioPlayer(void* player, const char* name, void* bank, int32_t value, void* marker) override;
  int32_t TransitionAudioPlayer(void* player, STransition* transition, int32_t value, void* marker) override;
  int32_t PauseAudioPlayer(void* player) override;
  int32_t RestartAudioPlayer(void* player) override;
  int32_t StopAudioPlayer(void* player) override;
  int32_t GetAudioPlayerStatus(void* player, SPlayerStatus* out) override;
  int32_t GetAudioPlayerMetricTime(void* player, SPlayerMetricTime* out) override;
  int32_t GetAudioPlayerRealTime(void* player, SPlayerRealTime* out) override;
  int32_t SetAudioPlayerRPCLevel(void* player, float level) override;
  int32_t SetAudioPlayerMode(void* player, uint32_t mode) override;
  int32_t SetAudioPlayerPosition(void* player, IAUDVector& position) override;
  int32_t SetAudioPlayerOrientation(void* player, IAUDVector& front, IAUDVector& top) override;
  int32_t SetAudioPlayerOrientation(void* player, float first, float second, float third) override;
  int32_t SetAudioPlayerVelocity(void* player, IAUDVector& velocity) override;
  int32_t GetAudioPlayerRPCLevel(void* player, float* out) override;
  int32_t GetAudioPlayerMode(void* player, uint32_t* out) override;
  int32_t GetAudioPlayerPosition(void* player, IAUDVector* out) override;
  int32_t GetAudioPlayerOrientation(void* player, IAUDVector* front, IAUDVector* top) override;
  int32_t GetAudioPlayerOrientation(void* player, float* first, float* second, float* third) override;
  int32_t GetAudioPlayerVelocity(void* player, IAUDVector* out) override;
  int32_t CreateEntity(void** out, const uint16_t* name, void* bank) override;
  int32_t CreateEntity(void** out, const char* name, void* bank) override;
  int32_t DestroyEntity(void* entity) override;
  int32_t IsValidEntityHandle(void* entity) override;
  int32_t ActivateEntity(void* entity, bool active) override;
  int32_t ResetEntityLocalVars(void* entity) override;
  int32_t ResetEntityGlobalVars(void* bank) override;
  int32_t SuspendEntity(void* entity) override;
  int32_t ProcessEntity(void* entity) override;
  int32_t SuspendAllEntities(void* bank) override;
  int32_t ProcessAllEntities(void* bank) override;
  int32_t SetEntityLocalVarState(void* entity, const uint16_t* var, const uint16_t* state) override;
  int32_t SetEntityLocalVarState(void* entity, const char* var, const char* state) override;
  int32_t SetEntityGlobalVarState(void* bank, const uint16_t* var, const uint16_t* state) override;
  int32_t SetEntityGlobalVarState(void* bank, const char* var, const char* state) override;
  int32_t SetEntityLocalVarState(void* entity, uint32_t var, uint32_t state) override;
  int32_t SetEntityGlobalVarState(void* bank, uint32_t var, uint32_t state) override;
  int32_t SetEntityMasterRPCLevel(void* entity, float level) override;
  int32_t SetEntityRPCLevel(void* entity, const uint16_t* name, float level) override;
  int32_t SetEntityRPCLevel(void* entity, const char* name, float level) override;
  int32_t SetEntityMode(void* entity, uint32_t mode) override;
  int32_t SetEntityPosition(void* entity, IAUDVector& position) override;
  int32_t SetEntityOrientation(void* entity, IAUDVector& front, IAUDVector& top) override;
  int32_t SetEntityOrientation(void* entity, float first, float second, float third) override;
  int32_t SetEntityVelocity(void* entity, IAUDVector& velocity) override;
  int32_t SetEntityPitch(void* entity, float pitch) override;
  int32_t GetEntityLocalVarState(void* entity, const uint16_t* var, int32_t* out) override;
  int32_t GetEntityLocalVarState(void* entity, const char* var, int32_t* out) override;
  int32_t GetEntityGlobalVarState(void* bank, const uint16_t* var, int32_t* out) override;
  int32_t GetEntityGlobalVarState(void* bank, const char* var, int32_t* out) override;
  int32_t GetEntityLocalVarState(void* entity, uint32_t var, int32_t* out) override;
  int32_t GetEntityGlobalVarState(void* bank, uint32_t var, int32_t* out) override;
  int32_t GetEntityMasterRPCLevel(void* entity, float* out) override;
  int32_t GetEntityRPCLevel(void* entity, const uint16_t* name, float* out) override;
  int32_t GetEntityRPCLevel(void* entity, const char* name, float* out) override;
  int32_t GetEntityMode(void* entity, uint32_t* out) override;
  int32_t GetEntityPosition(void* entity, IAUDVector* out) override;
  int32_t GetEntityOrientation(void* entity, IAUDVector* front, IAUDVector* top) override;
  int32_t GetEntityOrientation(void* entity, float* first, float* second, float* third) override;
  int32_t GetEntityVelocity(void* entity, IAUDVector* out) override;
  int32_t GetEntityPitch(void* entity, float* out) override;
  int32_t GetNumLocalVars(void* entity, uint32_t* out) override;
  int32_t GetNumGlobalVars(void* bank, uint32_t* out) override;
  int32_t GetNumLocalVarStates(void* entity, uint32_t var, int32_t* out) override;
  int32_t GetNumGlobalVarStates(void* bank, uint32_t var, int32_t* out) override;
  int32_t GetLocalVarName(void* entity, uint32_t var, uint16_t* out, uint32_t size) override;
  int32_t GetLocalVarName(void* entity, uint32_t var, char* out, uint32_t size) override;
  int32_t GetGlobalVarName(void* bank, uint32_t var, uint16_t* out, uint32_t size) override;
  int32_t GetGlobalVarName(void* bank, uint32_t var, char* out, uint32_t size) override;
  int32_t GetLocalVarStateName(void* entity, uint32_t var, uint32_t state, uint16_t* out, uint32_t size) override;
  int32_t GetLocalVarStateName(void* entity, uint32_t var, uint32_t state, char* out, uint32_t size) override;
  int32_t GetGlobalVarStateName(void* bank, uint32_t var, uint32_t state, uint16_t* out, uint32_t size) override;
  int32_t GetGlobalVarStateName(void* bank, uint32_t var, uint32_t state, char* out, uint32_t size) override;
  int32_t GetGroupHandle(void** out, const uint16_t* name) override;
  int32_t GetGroupHandle(void** out, const char* name) override;
  int32_t IsValidGroupHandle(void* group) override;
  int32_t SetGroupGain(void* group, float gain) override;
  int32_t GetGroupGain(void* group, float* out) override;

  static uint32_t m_dwCount;
  static IAUDRenderInterface* m_pRenderInterface;
};

// The instance RetrieveIAUDInterface hands out; null until then.
extern IAUDWinInterface* g_pWinInterface;

// The one interface object: made (opening the runtime on the render
// interface) on the first call, the same object afterwards, whatever the
// render interface given.
extern "C" IAUDWinInterface* RetrieveIAUDInterface(IAUDRenderInterface* renderInterface);
