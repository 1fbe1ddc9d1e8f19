// A programming interface that hands every call to the runtime's own and
// writes each down first: its name and its plain arguments (numbers, texts,
// vectors, handles), with the result the runtime gave.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "NonTW/IAUDEng/IAUDInterface.h"

namespace soundtest {

struct SRecord {
  std::string name;
  std::vector<std::string> args;  // as text, in order
  std::vector<float> floats;
  std::vector<void*> pointers;
  std::vector<IAUDVector> vectors;
  int32_t result = 0;
  void Float(float f) {
    char s[32];
    snprintf(s, sizeof(s), "%g", f);
    args.push_back(s);
    floats.push_back(f);
  }
  void Int(long long v) { args.push_back(std::to_string(v)); }
  void Text(const char* s) { args.push_back(s ? s : "(null)"); }
  void Vector(const IAUDVector& v) {
    char s[96];
    snprintf(s, sizeof(s), "(%g %g %g)", v.x, v.y, v.z);
    args.push_back(s);
    vectors.push_back(v);
  }
  void Pointer(void* p) {
    args.push_back(p ? "handle" : "null");
    pointers.push_back(p);
  }
  void Skip() { args.push_back("-"); }
};

class RecordingIAUD : public IAUDInterface {
 public:
  explicit RecordingIAUD(IAUDInterface* pReal) : m_pReal(pReal) {}
  virtual ~RecordingIAUD() = default;
  IAUDInterface* m_pReal;
  std::vector<SRecord> m_aCalls;
  // The calls of that name, in order.
  std::vector<SRecord> Calls(const std::string& name) const {
    std::vector<SRecord> out;
    for (const SRecord& r : m_aCalls)
      if (r.name == name) out.push_back(r);
    return out;
  }
  size_t Count(const std::string& name) const { return Calls(name).size(); }

  SRecord& Begin(const char* name) {
    m_aCalls.emplace_back();
    m_aCalls.back().name = name;
    return m_aCalls.back();
  }
  int32_t Done(int32_t result) {
    m_aCalls.back().result = result;
    return result;
  }

  int32_t LoadFile(const uint16_t* name) override {
    SRecord& R = Begin("LoadFile"); R.Skip();
    return Done(m_pReal->LoadFile(name));
  }

  int32_t LoadFile(const char* name) override {
    SRecord& R = Begin("LoadFile"); R.Text(name);
    return Done(m_pReal->LoadFile(name));
  }

  int32_t ReleaseAllResources() override {
    Begin("ReleaseAllResources");
    return Done(m_pReal->ReleaseAllResources());
  }

  int32_t LoadSampleBank(uint32_t slot, const uint16_t* name, bool resident) override {
    SRecord& R = Begin("LoadSampleBank"); R.Int((long long)slot); R.Skip(); R.Int(resident ? 1 : 0);
    return Done(m_pReal->LoadSampleBank(slot, name, resident));
  }

  int32_t LoadSampleBank(uint32_t slot, const char* name, bool resident) override {
    SRecord& R = Begin("LoadSampleBank"); R.Int((long long)slot); R.Text(name); R.Int(resident ? 1 : 0);
    return Done(m_pReal->LoadSampleBank(slot, name, resident));
  }

  int32_t LoadStreamingSampleBank(uint32_t slot, const uint16_t* name, uint32_t packetTime, int32_t forcePreload) override {
    SRecord& R = Begin("LoadStreamingSampleBank"); R.Int((long long)slot); R.Skip(); R.Int((long long)packetTime); R.Int((long long)forcePreload);
    return Done(m_pReal->LoadStreamingSampleBank(slot, name, packetTime, forcePreload));
  }

  int32_t LoadStreamingSampleBank(uint32_t slot, const char* name, uint32_t packetTime, int32_t forcePreload) override {
    SRecord& R = Begin("LoadStreamingSampleBank"); R.Int((long long)slot); R.Text(name); R.Int((long long)packetTime); R.Int((long long)forcePreload);
    return Done(m_pReal->LoadStreamingSampleBank(slot, name, packetTime, forcePreload));
  }

  int32_t GetSampleBankIndex(uint32_t* out, const uint16_t* name) override {
    SRecord& R = Begin("GetSampleBankIndex"); R.Skip(); R.Skip();
    return Done(m_pReal->GetSampleBankIndex(out, name));
  }

  int32_t GetSampleBankIndex(uint32_t* out, const char* name) override {
    SRecord& R = Begin("GetSampleBankIndex"); R.Skip(); R.Text(name);
    return Done(m_pReal->GetSampleBankIndex(out, name));
  }

  int32_t IsValidSampleBankIndex(uint32_t index) override {
    SRecord& R = Begin("IsValidSampleBankIndex"); R.Int((long long)index);
    return Done(m_pReal->IsValidSampleBankIndex(index));
  }

  int32_t UnloadSampleBank(uint32_t slot) override {
    SRecord& R = Begin("UnloadSampleBank"); R.Int((long long)slot);
    return Done(m_pReal->UnloadSampleBank(slot));
  }

  int32_t GetSampleBankName(uint16_t* out, uint32_t index) override {
    SRecord& R = Begin("GetSampleBankName"); R.Skip(); R.Int((long long)index);
    return Done(m_pReal->GetSampleBankName(out, index));
  }

  int32_t GetSampleBankName(char* out, uint32_t index) override {
    SRecord& R = Begin("GetSampleBankName"); R.Skip(); R.Int((long long)index);
    return Done(m_pReal->GetSampleBankName(out, index));
  }

  int32_t GetSampleHandle(void** out, const uint16_t* name, uint32_t bank) override {
    SRecord& R = Begin("GetSampleHandle"); R.Skip(); R.Skip(); R.Int((long long)bank);
    return Done(m_pReal->GetSampleHandle(out, name, bank));
  }

  int32_t GetSampleHandle(void** out, const char* name, uint32_t bank) override {
    SRecord& R = Begin("GetSampleHandle"); R.Skip(); R.Text(name); R.Int((long long)bank);
    return Done(m_pReal->GetSampleHandle(out, name, bank));
  }

  int32_t GetSampleHandle(void** out, uint32_t index, uint32_t bank) override {
    SRecord& R = Begin("GetSampleHandle"); R.Skip(); R.Int((long long)index); R.Int((long long)bank);
    return Done(m_pReal->GetSampleHandle(out, index, bank));
  }

  int32_t IsValidSampleHandle(void* sample) override {
    SRecord& R = Begin("IsValidSampleHandle"); R.Pointer(sample);
    return Done(m_pReal->IsValidSampleHandle(sample));
  }

  int32_t GetSampleGroupHandle(void** out, void* sample) override {
    SRecord& R = Begin("GetSampleGroupHandle"); R.Skip(); R.Pointer(sample);
    return Done(m_pReal->GetSampleGroupHandle(out, sample));
  }

  int32_t GetSampleName(uint16_t* out, uint32_t index, uint32_t bank) override {
    SRecord& R = Begin("GetSampleName"); R.Skip(); R.Int((long long)index); R.Int((long long)bank);
    return Done(m_pReal->GetSampleName(out, index, bank));
  }

  int32_t GetSampleName(char* out, uint32_t index, uint32_t bank) override {
    SRecord& R = Begin("GetSampleName"); R.Skip(); R.Int((long long)index); R.Int((long long)bank);
    return Done(m_pReal->GetSampleName(out, index, bank));
  }

  int32_t UpdateStreamingSampleBanks() override {
    Begin("UpdateStreamingSampleBanks");
    return Done(m_pReal->UpdateStreamingSampleBanks());
  }

  int32_t LoadContentBank(void** out, const uint16_t* name) override {
    SRecord& R = Begin("LoadContentBank"); R.Skip(); R.Skip();
    return Done(m_pReal->LoadContentBank(out, name));
  }

  int32_t LoadContentBank(void** out, const char* name) override {
    SRecord& R = Begin("LoadContentBank"); R.Skip(); R.Text(name);
    return Done(m_pReal->LoadContentBank(out, name));
  }

  int32_t GetContentBankHandle(void** out, const uint16_t* name) override {
    SRecord& R = Begin("GetContentBankHandle"); R.Skip(); R.Skip();
    return Done(m_pReal->GetContentBankHandle(out, name));
  }

  int32_t GetContentBankHandle(void** out, const char* name) override {
    SRecord& R = Begin("GetContentBankHandle"); R.Skip(); R.Text(name);
    return Done(m_pReal->GetContentBankHandle(out, name));
  }

  int32_t IsValidContentBankHandle(void* bank) override {
    SRecord& R = Begin("IsValidContentBankHandle"); R.Pointer(bank);
    return Done(m_pReal->IsValidContentBankHandle(bank));
  }

  int32_t UnloadContentBank(void* bank) override {
    SRecord& R = Begin("UnloadContentBank"); R.Pointer(bank);
    return Done(m_pReal->UnloadContentBank(bank));
  }

  int32_t GetNextContentBank(void** out, void* bank) override {
    SRecord& R = Begin("GetNextContentBank"); R.Skip(); R.Pointer(bank);
    return Done(m_pReal->GetNextContentBank(out, bank));
  }

  int32_t GetContentBankName(uint16_t* out, void* bank) override {
    SRecord& R = Begin("GetContentBankName"); R.Skip(); R.Pointer(bank);
    return Done(m_pReal->GetContentBankName(out, bank));
  }

  int32_t GetContentBankName(char* out, void* bank) override {
    SRecord& R = Begin("GetContentBankName"); R.Skip(); R.Pointer(bank);
    return Done(m_pReal->GetContentBankName(out, bank));
  }

  int32_t GetContentHandle(void** out, const uint16_t* name, void* bank) override {
    SRecord& R = Begin("GetContentHandle"); R.Skip(); R.Skip(); R.Pointer(bank);
    return Done(m_pReal->GetContentHandle(out, name, bank));
  }

  int32_t GetContentHandle(void** out, const char* name, void* bank) override {
    SRecord& R = Begin("GetContentHandle"); R.Skip(); R.Text(name); R.Pointer(bank);
    return Done(m_pReal->GetContentHandle(out, name, bank));
  }

  int32_t IsValidContentHandle(void* content) override {
    SRecord& R = Begin("IsValidContentHandle"); R.Pointer(content);
    return Done(m_pReal->IsValidContentHandle(content));
  }

  int32_t GetNextContent(void** out, void* previous, void* bank) override {
    SRecord& R = Begin("GetNextContent"); R.Skip(); R.Pointer(previous); R.Pointer(bank);
    return Done(m_pReal->GetNextContent(out, previous, bank));
  }

  int32_t GetContentName(uint16_t* out, void* content) override {
    SRecord& R = Begin("GetContentName"); R.Skip(); R.Pointer(content);
    return Done(m_pReal->GetContentName(out, content));
  }

  int32_t GetContentName(char* out, void* content) override {
    SRecord& R = Begin("GetContentName"); R.Skip(); R.Pointer(content);
    return Done(m_pReal->GetContentName(out, content));
  }

  int32_t GetContentVoiceCount(void* content, int32_t* out) override {
    SRecord& R = Begin("GetContentVoiceCount"); R.Pointer(content); R.Skip();
    return Done(m_pReal->GetContentVoiceCount(content, out));
  }

  int32_t GetContentInfo(void* content, SContentInfo* out) override {
    SRecord& R = Begin("GetContentInfo"); R.Pointer(content); R.Skip();
    return Done(m_pReal->GetContentInfo(content, out));
  }

  int32_t GetContentMarker(void** out, const uint16_t* name, void* content) override {
    SRecord& R = Begin("GetContentMarker"); R.Skip(); R.Skip(); R.Pointer(content);
    return Done(m_pReal->GetContentMarker(out, name, content));
  }

  int32_t GetContentMarker(void** out, const char* name, void* content) override {
    SRecord& R = Begin("GetContentMarker"); R.Skip(); R.Text(name); R.Pointer(content);
    return Done(m_pReal->GetContentMarker(out, name, content));
  }

  int32_t GetContentGroupHandle(void** out, void* content) override {
    SRecord& R = Begin("GetContentGroupHandle"); R.Skip(); R.Pointer(content);
    return Done(m_pReal->GetContentGroupHandle(out, content));
  }

  void ReleaseInterface() override {
    Begin("ReleaseInterface");
    m_pReal->ReleaseInterface();
  }

  int32_t GetAvailableVoiceCount(int32_t* out) override {
    SRecord& R = Begin("GetAvailableVoiceCount"); R.Skip();
    return Done(m_pReal->GetAvailableVoiceCount(out));
  }

  int32_t StopAllAudio(void* group) override {
    SRecord& R = Begin("StopAllAudio"); R.Pointer(group);
    return Done(m_pReal->StopAllAudio(group));
  }

  int32_t PauseAllAudio(void* group) override {
    SRecord& R = Begin("PauseAllAudio"); R.Pointer(group);
    return Done(m_pReal->PauseAllAudio(group));
  }

  int32_t RestartAllAudio(void* group) override {
    SRecord& R = Begin("RestartAllAudio"); R.Pointer(group);
    return Done(m_pReal->RestartAllAudio(group));
  }

  int32_t SetDistanceFactor(float factor) override {
    SRecord& R = Begin("SetDistanceFactor"); R.Float(factor);
    return Done(m_pReal->SetDistanceFactor(factor));
  }

  int32_t GetDistanceFactor(float* out) override {
    SRecord& R = Begin("GetDistanceFactor"); R.Skip();
    return Done(m_pReal->GetDistanceFactor(out));
  }

  int32_t SetHeadRoomGain(float gain) override {
    SRecord& R = Begin("SetHeadRoomGain"); R.Float(gain);
    return Done(m_pReal->SetHeadRoomGain(gain));
  }

  int32_t GetHeadRoomGain(float* out) override {
    SRecord& R = Begin("GetHeadRoomGain"); R.Skip();
    return Done(m_pReal->GetHeadRoomGain(out));
  }

  int32_t SetListenerGain(float gain) override {
    SRecord& R = Begin("SetListenerGain"); R.Float(gain);
    return Done(m_pReal->SetListenerGain(gain));
  }

  int32_t SetListenerPosition(IAUDVector& position) override {
    SRecord& R = Begin("SetListenerPosition"); R.Vector(position);
    return Done(m_pReal->SetListenerPosition(position));
  }

  int32_t SetListenerOrientation(IAUDVector& forward, IAUDVector& up) override {
    SRecord& R = Begin("SetListenerOrientation"); R.Vector(forward); R.Vector(up);
    return Done(m_pReal->SetListenerOrientation(forward, up));
  }

  int32_t SetListenerOrientation(float first, float second, float third) override {
    SRecord& R = Begin("SetListenerOrientation"); R.Float(first); R.Float(second); R.Float(third);
    return Done(m_pReal->SetListenerOrientation(first, second, third));
  }

  int32_t GetListenerPosition(IAUDVector* out) override {
    SRecord& R = Begin("GetListenerPosition"); R.Skip();
    return Done(m_pReal->GetListenerPosition(out));
  }

  int32_t GetListenerOrientation(IAUDVector* forward, IAUDVector* up) override {
    SRecord& R = Begin("GetListenerOrientation"); R.Skip(); R.Skip();
    return Done(m_pReal->GetListenerOrientation(forward, up));
  }

  int32_t GetListenerOrientation(float* first, float* second, float* third) override {
    SRecord& R = Begin("GetListenerOrientation"); R.Skip(); R.Skip(); R.Skip();
    return Done(m_pReal->GetListenerOrientation(first, second, third));
  }

  int32_t SetEAXProperty(void* handle, const _GUID& propertySet, uint32_t id, void* data, uint32_t size) override {
    SRecord& R = Begin("SetEAXProperty"); R.Pointer(handle); R.Skip(); R.Int((long long)id); R.Pointer(data); R.Int((long long)size);
    return Done(m_pReal->SetEAXProperty(handle, propertySet, id, data, size));
  }

  int32_t GetEAXProperty(void* handle, const _GUID& propertySet, uint32_t id, void* data, uint32_t size) override {
    SRecord& R = Begin("GetEAXProperty"); R.Pointer(handle); R.Skip(); R.Int((long long)id); R.Pointer(data); R.Int((long long)size);
    return Done(m_pReal->GetEAXProperty(handle, propertySet, id, data, size));
  }

  int32_t CreateAudioPlayer(void** out) override {
    SRecord& R = Begin("CreateAudioPlayer"); R.Skip();
    return Done(m_pReal->CreateAudioPlayer(out));
  }

  int32_t DestroyAudioPlayer(void* player) override {
    SRecord& R = Begin("DestroyAudioPlayer"); R.Pointer(player);
    return Done(m_pReal->DestroyAudioPlayer(player));
  }

  int32_t IsValidPlayerHandle(void* player) override {
    SRecord& R = Begin("IsValidPlayerHandle"); R.Pointer(player);
    return Done(m_pReal->IsValidPlayerHandle(player));
  }

  int32_t SetMasterAudioPlayer(void* player) override {
    SRecord& R = Begin("SetMasterAudioPlayer"); R.Pointer(player);
    return Done(m_pReal->SetMasterAudioPlayer(player));
  }

  int32_t GetMasterAudioPlayer(void** out) override {
    SRecord& R = Begin("GetMasterAudioPlayer"); R.Skip();
    return Done(m_pReal->GetMasterAudioPlayer(out));
  }

  int32_t AttachPlayerRPC(void* player, const uint16_t* name, void* bank, float level) override {
    SRecord& R = Begin("AttachPlayerRPC"); R.Pointer(player); R.Skip(); R.Pointer(bank); R.Float(level);
    return Done(m_pReal->AttachPlayerRPC(player, name, bank, level));
  }

  int32_t AttachPlayerRPC(void* player, const char* name, void* bank, float level) override {
    SRecord& R = Begin("AttachPlayerRPC"); R.Pointer(player); R.Text(name); R.Pointer(bank); R.Float(level);
    return Done(m_pReal->AttachPlayerRPC(player, name, bank, level));
  }

  int32_t ReleasePlayerRPC(void* player) override {
    SRecord& R = Begin("ReleasePlayerRPC"); R.Pointer(player);
    return Done(m_pReal->ReleasePlayerRPC(player));
  }

  int32_t AttachPlayerPrimaryContent(void* player, void* content) override {
    SRecord& R = Begin("AttachPlayerPrimaryContent"); R.Pointer(player); R.Pointer(content);
    return Done(m_pReal->AttachPlayerPrimaryContent(player, content));
  }

  int32_t AttachPlayerTransitionContent(void* player, void* content) override {
    SRecord& R = Begin("AttachPlayerTransitionContent"); R.Pointer(player); R.Pointer(content);
    return Done(m_pReal->AttachPlayerTransitionContent(player, content));
  }

  int32_t ReleasePlayerPrimaryContent(void* player) override {
    SRecord& R = Begin("ReleasePlayerPrimaryContent"); R.Pointer(player);
    return Done(m_pReal->ReleasePlayerPrimaryContent(player));
  }

  int32_t ReleasePlayerTransitionContent(void* player) override {
    SRecord& R = Begin("ReleasePlayerTransitionContent"); R.Pointer(player);
    return Done(m_pReal->ReleasePlayerTransitionContent(player));
  }

  int32_t PlayAudioPlayer(void* player, int32_t loops, void* marker) override {
    SRecord& R = Begin("PlayAudioPlayer"); R.Pointer(player); R.Int((long long)loops); R.Pointer(marker);
    return Done(m_pReal->PlayAudioPlayer(player, loops, marker));
  }

  int32_t TransitionAudioPlayer(void* player, const uint16_t* name, void* bank, int32_t value, void* marker) override {
    SRecord& R = Begin("TransitionAudioPlayer"); R.Pointer(player); R.Skip(); R.Pointer(bank); R.Int((long long)value); R.Pointer(marker);
    return Done(m_pReal->TransitionAudioPlayer(player, name, bank, value, marker));
  }

  int32_t TransitionAudioPlayer(void* player, const char* name, void* bank, int32_t value, void* marker) override {
    SRecord& R = Begin("TransitionAudioPlayer"); R.Pointer(player); R.Text(name); R.Pointer(bank); R.Int((long long)value); R.Pointer(marker);
    return Done(m_pReal->TransitionAudioPlayer(player, name, bank, value, marker));
  }

  int32_t TransitionAudioPlayer(void* player, STransition* transition, int32_t value, void* marker) override {
    SRecord& R = Begin("TransitionAudioPlayer"); R.Pointer(player); R.Skip(); R.Int((long long)value); R.Pointer(marker);
    return Done(m_pReal->TransitionAudioPlayer(player, transition, value, marker));
  }

  int32_t PauseAudioPlayer(void* player) override {
    SRecord& R = Begin("PauseAudioPlayer"); R.Pointer(player);
    return Done(m_pReal->PauseAudioPlayer(player));
  }

  int32_t RestartAudioPlayer(void* player) override {
    SRecord& R = Begin("RestartAudioPlayer"); R.Pointer(player);
    return Done(m_pReal->RestartAudioPlayer(player));
  }

  int32_t StopAudioPlayer(void* player) override {
    SRecord& R = Begin("StopAudioPlayer"); R.Pointer(player);
    return Done(m_pReal->StopAudioPlayer(player));
  }

  int32_t GetAudioPlayerStatus(void* player, SPlayerStatus* out) override {
    SRecord& R = Begin("GetAudioPlayerStatus"); R.Pointer(player); R.Skip();
    return Done(m_pReal->GetAudioPlayerStatus(player, out));
  }

  int32_t GetAudioPlayerMetricTime(void* player, SPlayerMetricTime* out) override {
    SRecord& R = Begin("GetAudioPlayerMetricTime"); R.Pointer(player); R.Skip();
    return Done(m_pReal->GetAudioPlayerMetricTime(player, out));
  }

  int32_t GetAudioPlayerRealTime(void* player, SPlayerRealTime* out) override {
    SRecord& R = Begin("GetAudioPlayerRealTime"); R.Pointer(player); R.Skip();
    return Done(m_pReal->GetAudioPlayerRealTime(player, out));
  }

  int32_t SetAudioPlayerRPCLevel(void* player, float level) override {
    SRecord& R = Begin("SetAudioPlayerRPCLevel"); R.Pointer(player); R.Float(level);
    return Done(m_pReal->SetAudioPlayerRPCLevel(player, level));
  }

  int32_t SetAudioPlayerMode(void* player, uint32_t mode) override {
    SRecord& R = Begin("SetAudioPlayerMode"); R.Pointer(player); R.Int((long long)mode);
    return Done(m_pReal->SetAudioPlayerMode(player, mode));
  }

  int32_t SetAudioPlayerPosition(void* player, IAUDVector& position) override {
    SRecord& R = Begin("SetAudioPlayerPosition"); R.Pointer(player); R.Vector(position);
    return Done(m_pReal->SetAudioPlayerPosition(player, position));
  }

  int32_t SetAudioPlayerOrientation(void* player, IAUDVector& front, IAUDVector& top) override {
    SRecord& R = Begin("SetAudioPlayerOrientation"); R.Pointer(player); R.Vector(front); R.Vector(top);
    return Done(m_pReal->SetAudioPlayerOrientation(player, front, top));
  }

  int32_t SetAudioPlayerOrientation(void* player, float first, float second, float third) override {
    SRecord& R = Begin("SetAudioPlayerOrientation"); R.Pointer(player); R.Float(first); R.Float(second); R.Float(third);
    return Done(m_pReal->SetAudioPlayerOrientation(player, first, second, third));
  }

  int32_t SetAudioPlayerVelocity(void* player, IAUDVector& velocity) override {
    SRecord& R = Begin("SetAudioPlayerVelocity"); R.Pointer(player); R.Vector(velocity);
    return Done(m_pReal->SetAudioPlayerVelocity(player, velocity));
  }

  int32_t GetAudioPlayerRPCLevel(void* player, float* out) override {
    SRecord& R = Begin("GetAudioPlayerRPCLevel"); R.Pointer(player); R.Skip();
    return Done(m_pReal->GetAudioPlayerRPCLevel(player, out));
  }

  int32_t GetAudioPlayerMode(void* player, uint32_t* out) override {
    SRecord& R = Begin("GetAudioPlayerMode"); R.Pointer(player); R.Skip();
    return Done(m_pReal->GetAudioPlayerMode(player, out));
  }

  int32_t GetAudioPlayerPosition(void* player, IAUDVector* out) override {
    SRecord& R = Begin("GetAudioPlayerPosition"); R.Pointer(player); R.Skip();
    return Done(m_pReal->GetAudioPlayerPosition(player, out));
  }

  int32_t GetAudioPlayerOrientation(void* player, IAUDVector* front, IAUDVector* top) override {
    SRecord& R = Begin("GetAudioPlayerOrientation"); R.Pointer(player); R.Skip(); R.Skip();
    return Done(m_pReal->GetAudioPlayerOrientation(player, front, top));
  }

  int32_t GetAudioPlayerOrientation(void* player, float* first, float* second, float* third) override {
    SRecord& R = Begin("GetAudioPlayerOrientation"); R.Pointer(player); R.Skip(); R.Skip(); R.Skip();
    return Done(m_pReal->GetAudioPlayerOrientation(player, first, second, third));
  }

  int32_t GetAudioPlayerVelocity(void* player, IAUDVector* out) override {
    SRecord& R = Begin("GetAudioPlayerVelocity"); R.Pointer(player); R.Skip();
    return Done(m_pReal->GetAudioPlayerVelocity(player, out));
  }

  int32_t CreateEntity(void** out, const uint16_t* name, void* bank) override {
    SRecord& R = Begin("CreateEntity"); R.Skip(); R.Skip(); R.Pointer(bank);
    return Done(m_pReal->CreateEntity(out, name, bank));
  }

  int32_t CreateEntity(void** out, const char* name, void* bank) override {
    SRecord& R = Begin("CreateEntity"); R.Skip(); R.Text(name); R.Pointer(bank);
    return Done(m_pReal->CreateEntity(out, name, bank));
  }

  int32_t DestroyEntity(void* entity) override {
    SRecord& R = Begin("DestroyEntity"); R.Pointer(entity);
    return Done(m_pReal->DestroyEntity(entity));
  }

  int32_t IsValidEntityHandle(void* entity) override {
    SRecord& R = Begin("IsValidEntityHandle"); R.Pointer(entity);
    return Done(m_pReal->IsValidEntityHandle(entity));
  }

  int32_t ActivateEntity(void* entity, bool active) override {
    SRecord& R = Begin("ActivateEntity"); R.Pointer(entity); R.Int(active ? 1 : 0);
    return Done(m_pReal->ActivateEntity(entity, active));
  }

  int32_t ResetEntityLocalVars(void* entity) override {
    SRecord& R = Begin("ResetEntityLocalVars"); R.Pointer(entity);
    return Done(m_pReal->ResetEntityLocalVars(entity));
  }

  int32_t ResetEntityGlobalVars(void* bank) override {
    SRecord& R = Begin("ResetEntityGlobalVars"); R.Pointer(bank);
    return Done(m_pReal->ResetEntityGlobalVars(bank));
  }

  int32_t SuspendEntity(void* entity) override {
    SRecord& R = Begin("SuspendEntity"); R.Pointer(entity);
    return Done(m_pReal->SuspendEntity(entity));
  }

  int32_t ProcessEntity(void* entity) override {
    SRecord& R = Begin("ProcessEntity"); R.Pointer(entity);
    return Done(m_pReal->ProcessEntity(entity));
  }

  int32_t SuspendAllEntities(void* bank) override {
    SRecord& R = Begin("SuspendAllEntities"); R.Pointer(bank);
    return Done(m_pReal->SuspendAllEntities(bank));
  }

  int32_t ProcessAllEntities(void* bank) override {
    SRecord& R = Begin("ProcessAllEntities"); R.Pointer(bank);
    return Done(m_pReal->ProcessAllEntities(bank));
  }

  int32_t SetEntityLocalVarState(void* entity, const uint16_t* var, const uint16_t* state) override {
    SRecord& R = Begin("SetEntityLocalVarState"); R.Pointer(entity); R.Skip(); R.Skip();
    return Done(m_pReal->SetEntityLocalVarState(entity, var, state));
  }

  int32_t SetEntityLocalVarState(void* entity, const char* var, const char* state) override {
    SRecord& R = Begin("SetEntityLocalVarState"); R.Pointer(entity); R.Text(var); R.Text(state);
    return Done(m_pReal->SetEntityLocalVarState(entity, var, state));
  }

  int32_t SetEntityGlobalVarState(void* bank, const uint16_t* var, const uint16_t* state) override {
    SRecord& R = Begin("SetEntityGlobalVarState"); R.Pointer(bank); R.Skip(); R.Skip();
    return Done(m_pReal->SetEntityGlobalVarState(bank, var, state));
  }

  int32_t SetEntityGlobalVarState(void* bank, const char* var, const char* state) override {
    SRecord& R = Begin("SetEntityGlobalVarState"); R.Pointer(bank); R.Text(var); R.Text(state);
    return Done(m_pReal->SetEntityGlobalVarState(bank, var, state));
  }

  int32_t SetEntityLocalVarState(void* entity, uint32_t var, uint32_t state) override {
    SRecord& R = Begin("SetEntityLocalVarState"); R.Pointer(entity); R.Int((long long)var); R.Int((long long)state);
    return Done(m_pReal->SetEntityLocalVarState(entity, var, state));
  }

  int32_t SetEntityGlobalVarState(void* bank, uint32_t var, uint32_t state) override {
    SRecord& R = Begin("SetEntityGlobalVarState"); R.Pointer(bank); R.Int((long long)var); R.Int((long long)state);
    return Done(m_pReal->SetEntityGlobalVarState(bank, var, state));
  }

  int32_t SetEntityMasterRPCLevel(void* entity, float level) override {
    SRecord& R = Begin("SetEntityMasterRPCLevel"); R.Pointer(entity); R.Float(level);
    return Done(m_pReal->SetEntityMasterRPCLevel(entity, level));
  }

  int32_t SetEntityRPCLevel(void* entity, const uint16_t* name, float level) override {
    SRecord& R = Begin("SetEntityRPCLevel"); R.Pointer(entity); R.Skip(); R.Float(level);
    return Done(m_pReal->SetEntityRPCLevel(entity, name, level));
  }

  int32_t SetEntityRPCLevel(void* entity, const char* name, float level) override {
    SRecord& R = Begin("SetEntityRPCLevel"); R.Pointer(entity); R.Text(name); R.Float(level);
    return Done(m_pReal->SetEntityRPCLevel(entity, name, level));
  }

  int32_t SetEntityMode(void* entity, uint32_t mode) override {
    SRecord& R = Begin("SetEntityMode"); R.Pointer(entity); R.Int((long long)mode);
    return Done(m_pReal->SetEntityMode(entity, mode));
  }

  int32_t SetEntityPosition(void* entity, IAUDVector& position) override {
    SRecord& R = Begin("SetEntityPosition"); R.Pointer(entity); R.Vector(position);
    return Done(m_pReal->SetEntityPosition(entity, position));
  }

  int32_t SetEntityOrientation(void* entity, IAUDVector& front, IAUDVector& top) override {
    SRecord& R = Begin("SetEntityOrientation"); R.Pointer(entity); R.Vector(front); R.Vector(top);
    return Done(m_pReal->SetEntityOrientation(entity, front, top));
  }

  int32_t SetEntityOrientation(void* entity, float first, float second, float third) override {
    SRecord& R = Begin("SetEntityOrientation"); R.Pointer(entity); R.Float(first); R.Float(second); R.Float(third);
    return Done(m_pReal->SetEntityOrientation(entity, first, second, third));
  }

  int32_t SetEntityVelocity(void* entity, IAUDVector& velocity) override {
    SRecord& R = Begin("SetEntityVelocity"); R.Pointer(entity); R.Vector(velocity);
    return Done(m_pReal->SetEntityVelocity(entity, velocity));
  }

  int32_t SetEntityPitch(void* entity, float pitch) override {
    SRecord& R = Begin("SetEntityPitch"); R.Pointer(entity); R.Float(pitch);
    return Done(m_pReal->SetEntityPitch(entity, pitch));
  }

  int32_t GetEntityLocalVarState(void* entity, const uint16_t* var, int32_t* out) override {
    SRecord& R = Begin("GetEntityLocalVarState"); R.Pointer(entity); R.Skip(); R.Skip();
    return Done(m_pReal->GetEntityLocalVarState(entity, var, out));
  }

  int32_t GetEntityLocalVarState(void* entity, const char* var, int32_t* out) override {
    SRecord& R = Begin("GetEntityLocalVarState"); R.Pointer(entity); R.Text(var); R.Skip();
    return Done(m_pReal->GetEntityLocalVarState(entity, var, out));
  }

  int32_t GetEntityGlobalVarState(void* bank, const uint16_t* var, int32_t* out) override {
    SRecord& R = Begin("GetEntityGlobalVarState"); R.Pointer(bank); R.Skip(); R.Skip();
    return Done(m_pReal->GetEntityGlobalVarState(bank, var, out));
  }

  int32_t GetEntityGlobalVarState(void* bank, const char* var, int32_t* out) override {
    SRecord& R = Begin("GetEntityGlobalVarState"); R.Pointer(bank); R.Text(var); R.Skip();
    return Done(m_pReal->GetEntityGlobalVarState(bank, var, out));
  }

  int32_t GetEntityLocalVarState(void* entity, uint32_t var, int32_t* out) override {
    SRecord& R = Begin("GetEntityLocalVarState"); R.Pointer(entity); R.Int((long long)var); R.Skip();
    return Done(m_pReal->GetEntityLocalVarState(entity, var, out));
  }

  int32_t GetEntityGlobalVarState(void* bank, uint32_t var, int32_t* out) override {
    SRecord& R = Begin("GetEntityGlobalVarState"); R.Pointer(bank); R.Int((long long)var); R.Skip();
    return Done(m_pReal->GetEntityGlobalVarState(bank, var, out));
  }

  int32_t GetEntityMasterRPCLevel(void* entity, float* out) override {
    SRecord& R = Begin("GetEntityMasterRPCLevel"); R.Pointer(entity); R.Skip();
    return Done(m_pReal->GetEntityMasterRPCLevel(entity, out));
  }

  int32_t GetEntityRPCLevel(void* entity, const uint16_t* name, float* out) override {
    SRecord& R = Begin("GetEntityRPCLevel"); R.Pointer(entity); R.Skip(); R.Skip();
    return Done(m_pReal->GetEntityRPCLevel(entity, name, out));
  }

  int32_t GetEntityRPCLevel(void* entity, const char* name, float* out) override {
    SRecord& R = Begin("GetEntityRPCLevel"); R.Pointer(entity); R.Text(name); R.Skip();
    return Done(m_pReal->GetEntityRPCLevel(entity, name, out));
  }

  int32_t GetEntityMode(void* entity, uint32_t* out) override {
    SRecord& R = Begin("GetEntityMode"); R.Pointer(entity); R.Skip();
    return Done(m_pReal->GetEntityMode(entity, out));
  }

  int32_t GetEntityPosition(void* entity, IAUDVector* out) override {
    SRecord& R = Begin("GetEntityPosition"); R.Pointer(entity); R.Skip();
    return Done(m_pReal->GetEntityPosition(entity, out));
  }

  int32_t GetEntityOrientation(void* entity, IAUDVector* front, IAUDVector* top) override {
    SRecord& R = Begin("GetEntityOrientation"); R.Pointer(entity); R.Skip(); R.Skip();
    return Done(m_pReal->GetEntityOrientation(entity, front, top));
  }

  int32_t GetEntityOrientation(void* entity, float* first, float* second, float* third) override {
    SRecord& R = Begin("GetEntityOrientation"); R.Pointer(entity); R.Skip(); R.Skip(); R.Skip();
    return Done(m_pReal->GetEntityOrientation(entity, first, second, third));
  }

  int32_t GetEntityVelocity(void* entity, IAUDVector* out) override {
    SRecord& R = Begin("GetEntityVelocity"); R.Pointer(entity); R.Skip();
    return Done(m_pReal->GetEntityVelocity(entity, out));
  }

  int32_t GetEntityPitch(void* entity, float* out) override {
    SRecord& R = Begin("GetEntityPitch"); R.Pointer(entity); R.Skip();
    return Done(m_pReal->GetEntityPitch(entity, out));
  }

  int32_t GetNumLocalVars(void* entity, uint32_t* out) override {
    SRecord& R = Begin("GetNumLocalVars"); R.Pointer(entity); R.Skip();
    return Done(m_pReal->GetNumLocalVars(entity, out));
  }

  int32_t GetNumGlobalVars(void* bank, uint32_t* out) override {
    SRecord& R = Begin("GetNumGlobalVars"); R.Pointer(bank); R.Skip();
    return Done(m_pReal->GetNumGlobalVars(bank, out));
  }

  int32_t GetNumLocalVarStates(void* entity, uint32_t var, int32_t* out) override {
    SRecord& R = Begin("GetNumLocalVarStates"); R.Pointer(entity); R.Int((long long)var); R.Skip();
    return Done(m_pReal->GetNumLocalVarStates(entity, var, out));
  }

  int32_t GetNumGlobalVarStates(void* bank, uint32_t var, int32_t* out) override {
    SRecord& R = Begin("GetNumGlobalVarStates"); R.Pointer(bank); R.Int((long long)var); R.Skip();
    return Done(m_pReal->GetNumGlobalVarStates(bank, var, out));
  }

  int32_t GetLocalVarName(void* entity, uint32_t var, uint16_t* out, uint32_t size) override {
    SRecord& R = Begin("GetLocalVarName"); R.Pointer(entity); R.Int((long long)var); R.Skip(); R.Int((long long)size);
    return Done(m_pReal->GetLocalVarName(entity, var, out, size));
  }

  int32_t GetLocalVarName(void* entity, uint32_t var, char* out, uint32_t size) override {
    SRecord& R = Begin("GetLocalVarName"); R.Pointer(entity); R.Int((long long)var); R.Skip(); R.Int((long long)size);
    return Done(m_pReal->GetLocalVarName(entity, var, out, size));
  }

  int32_t GetGlobalVarName(void* bank, uint32_t var, uint16_t* out, uint32_t size) override {
    SRecord& R = Begin("GetGlobalVarName"); R.Pointer(bank); R.Int((long long)var); R.Skip(); R.Int((long long)size);
    return Done(m_pReal->GetGlobalVarName(bank, var, out, size));
  }

  int32_t GetGlobalVarName(void* bank, uint32_t var, char* out, uint32_t size) override {
    SRecord& R = Begin("GetGlobalVarName"); R.Pointer(bank); R.Int((long long)var); R.Skip(); R.Int((long long)size);
    return Done(m_pReal->GetGlobalVarName(bank, var, out, size));
  }

  int32_t GetLocalVarStateName(void* entity, uint32_t var, uint32_t state, uint16_t* out, uint32_t size) override {
    SRecord& R = Begin("GetLocalVarStateName"); R.Pointer(entity); R.Int((long long)var); R.Int((long long)state); R.Skip(); R.Int((long long)size);
    return Done(m_pReal->GetLocalVarStateName(entity, var, state, out, size));
  }

  int32_t GetLocalVarStateName(void* entity, uint32_t var, uint32_t state, char* out, uint32_t size) override {
    SRecord& R = Begin("GetLocalVarStateName"); R.Pointer(entity); R.Int((long long)var); R.Int((long long)state); R.Skip(); R.Int((long long)size);
    return Done(m_pReal->GetLocalVarStateName(entity, var, state, out, size));
  }

  int32_t GetGlobalVarStateName(void* bank, uint32_t var, uint32_t state, uint16_t* out, uint32_t size) override {
    SRecord& R = Begin("GetGlobalVarStateName"); R.Pointer(bank); R.Int((long long)var); R.Int((long long)state); R.Skip(); R.Int((long long)size);
    return Done(m_pReal->GetGlobalVarStateName(bank, var, state, out, size));
  }

  int32_t GetGlobalVarStateName(void* bank, uint32_t var, uint32_t state, char* out, uint32_t size) override {
    SRecord& R = Begin("GetGlobalVarStateName"); R.Pointer(bank); R.Int((long long)var); R.Int((long long)state); R.Skip(); R.Int((long long)size);
    return Done(m_pReal->GetGlobalVarStateName(bank, var, state, out, size));
  }

  int32_t GetGroupHandle(void** out, const uint16_t* name) override {
    SRecord& R = Begin("GetGroupHandle"); R.Skip(); R.Skip();
    return Done(m_pReal->GetGroupHandle(out, name));
  }

  int32_t GetGroupHandle(void** out, const char* name) override {
    SRecord& R = Begin("GetGroupHandle"); R.Skip(); R.Text(name);
    return Done(m_pReal->GetGroupHandle(out, name));
  }

  int32_t IsValidGroupHandle(void* group) override {
    SRecord& R = Begin("IsValidGroupHandle"); R.Pointer(group);
    return Done(m_pReal->IsValidGroupHandle(group));
  }

  int32_t SetGroupGain(void* group, float gain) override {
    SRecord& R = Begin("SetGroupGain"); R.Pointer(group); R.Float(gain);
    return Done(m_pReal->SetGroupGain(group, gain));
  }

  int32_t GetGroupGain(void* group, float* out) override {
    SRecord& R = Begin("GetGroupGain"); R.Pointer(group); R.Skip();
    return Done(m_pReal->GetGroupGain(group, out));
  }
};

}  // namespace soundtest
