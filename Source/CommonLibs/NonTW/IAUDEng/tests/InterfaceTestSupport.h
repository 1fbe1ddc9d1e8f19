// Fixtures of the interface tests: a recording driver that also records the
// listener, and the interface object retrieved on it for each test, with the
// process-wide distance factor and listener put back afterwards.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/IAUDApi.h"
#include "NonTW/IAUDEng/IAUDInterface.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/tests/IAUDTestSupport.h"
#include "NonTW/IAUDEng/tests/RecordingRender.h"

namespace interfacetest {

using iaudtest::W;

class ListenerRender : public iaudtest::RecordingRender {
 public:
  std::vector<IAUDVector> positions;
  std::vector<int> positionDepths;  // the exclusive-mode depth of each
  std::vector<std::pair<IAUDVector, IAUDVector>> orientations;
  std::vector<float> listenerLevels;
  void SetListenerLevel(float level) override { listenerLevels.push_back(level); }
  void SetListenerPosition(IAUDVector& position) override {
    positions.push_back(position);
    positionDepths.push_back(exclusiveDepth);
  }
  void SetListenerOrientation(IAUDVector& front, IAUDVector& top) override { orientations.emplace_back(front, top); }
};

// A stored name index ("ctdx") of global effects: title and array index,
// in the index's ascending order.
inline std::string EffectIndexChunk(std::vector<std::pair<std::string, uint32_t>> entries) {
  std::sort(entries.begin(), entries.end());
  std::string d = "chunk ctdx u32 " + std::to_string(entries.size());
  for (const auto& e : entries) d += " text:128 \"" + e.first + "\" fourcc gbef u32 " + std::to_string(e.second);
  return d + "\n";
}

inline void ResetListenerAndFactor() {
  g_flDistanceFactor = 1.0f;
  g_ivListenerPosition = IAUDVector{0, 0, 0};
  g_ivListenerForward = IAUDVector{0, 0, 1};
  g_ivListenerUp = IAUDVector{0, 1, 0};
  IAUDResourceManager::SetHeadRoomGain(1.0f);
  IAUDResourceManager::SetIAUDErrorCode(0);
}

class InterfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    iface = RetrieveIAUDInterface(&render);
    ASSERT_NE(iface, nullptr);
  }
  void TearDown() override {
    if (g_pWinInterface) g_pWinInterface->ReleaseInterface();
    ResetListenerAndFactor();
  }
  ListenerRender render;
  IAUDInterface* iface = nullptr;
};

}  // namespace interfacetest
