// A content object that only stores how a player moves from its current
// content to new content.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/IAUDContentObject.h"

// Six 32-bit words, also the "tnst" chunk.
struct STransition {
  uint32_t dwType;          // 0 at once, 1 at the next marker, 2 at the end
  float flTotalTime;        // seconds
  float flFadeOutTime;      // seconds
  float flFadeOutLevel;     // fraction of full
  float flStartDelay;       // seconds
  float flStartLevel;       // fraction of full
};

class CTransition : public IAUDContentObject {
 public:
  explicit CTransition(IAUDContentBank* bank);
  ~CTransition() override;

  void UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) override;
  void ProcessUnArchivedObject() override;
  void ArchiveObjectDataChunks(void* file) override;

  STransition* GetTransitionPointer() { return &m_Transition; }
  void GetTransition(STransition* out) const {
    if (out) *out = m_Transition;
  }

 private:
  STransition m_Transition;
};
