// The frame's per-camera questions about a box (nearest view distance and
// largest screen diagonal over the cameras drawing this frame) and the
// frame's lists of special entities.
#include <algorithm>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "TWMath/Intersect.h"

namespace gameviewqueries {
const unsigned kCHANNEL_ON = 0x01;
const float kNO_VIEW_DISTANCE = 1e9f;

// The cameras of the main channel and of the switched-on channels.
ECamera* ActiveChannelCamera(GameApp& app, int i) {
  const ECameraChannel& channel = app.GetCameraChannel(i);
  if (!channel.m_pCamera) return nullptr;
  return (i == 0 || (channel.m_dwFlags & kCHANNEL_ON)) ? channel.m_pCamera : nullptr;
}
}  // namespace gameviewqueries

float GameApp::NearestViewDistance(const EBox3& box) {
  float fNearest = gameviewqueries::kNO_VIEW_DISTANCE;
  for (int i = 0; i < kNUM_CAMERA_CHANNELS; ++i) {
    ECamera* pCamera = gameviewqueries::ActiveChannelCamera(*this, i);
    if (!pCamera || !pCamera->BoxIntersectsFrustum(box, false)) continue;
    fNearest = std::min(fNearest, TWMath::Distance(pCamera->GetPosition(), box));
  }
  return fNearest;
}

float GameApp::LargestPixelDiagonal(const EBox3& box) {
  float fLargest = 0.0f;
  for (int i = 0; i < kNUM_CAMERA_CHANNELS; ++i) {
    ECamera* pCamera = gameviewqueries::ActiveChannelCamera(*this, i);
    if (pCamera) fLargest = std::max(fLargest, pCamera->CalculateScreenDiagonal(box));
  }
  return fLargest;
}

void GameApp::ResetFrameEntityLists() {
  m_lShadowCasters.RemoveAll();
  m_lReflectors.RemoveAll();
  m_lAuraEntities.RemoveAll();
  m_lStencilCasters.RemoveAll();
  m_lPostEffectEntities.RemoveAll();
  m_bReflectionWanted = false;
}
