// A set of real-time parameter curves: for each of 68 sound parameters an
// optional piecewise-linear curve from a player's input to a factor.
// Ids: 0 level, 1 pitch, 2 direct level, 3 direct high-frequency level,
// 4-35 send levels, 36-67 send high-frequency levels.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/Array/TCArray.h"
#include "NonTW/IAUDEng/IAUDContentObject.h"

struct FPOINT {
  float x;
  float y;
};

class CRPController : public IAUDContentObject {
 public:
  enum { kNumParameters = 68, kLevel = 0, kPitch = 1 };

  explicit CRPController(IAUDContentBank* bank);
  ~CRPController() override;

  void UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) override;
  void ProcessUnArchivedObject() override;
  void ArchiveObjectDataChunks(void* file) override;

  void RestoreDefaultData();
  uint32_t GetActive(uint32_t id) const;
  float GetParameterValue(uint32_t id, float input) const;
  float GetParamValue(uint32_t id, float x) const;
  float GraphToParamValue(uint32_t id, float v) const;
  float GetDefaultValue(uint32_t id) const;
  void GetRange(uint32_t id, float* pMin, float* pMax) const;
  // Replaces the points of a parameter's curve and makes it active.
  void SetCurve(uint32_t id, const FPOINT* points, int32_t count);

 private:
  struct Parameter {
    TCArray<FPOINT> aCurve;
    float flRangeMin;
    float flRangeMax;
    float flDefault;
    uint32_t dwActive;
  };
  Parameter m_aParameters[kNumParameters];
};
