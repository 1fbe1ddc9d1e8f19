// What the fragment preparation asks of the application's views: how near
// the nearest camera that sees a box is, and how large the box looks to the
// cameras that see it.
#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "Game/ShaderConstants.h"
#include "TWMath/Intersect.h"

namespace gamefragviews {

// Channel 0 and every enabled channel, when it has a camera.
ECamera* ViewCamera(GameApp& app, int i) {
  ECameraChannel& c = app.GetCameraChannel(i);
  if (!c.m_pCamera) return nullptr;
  return (i == 0 || (c.m_dwFlags & 1)) ? c.m_pCamera : nullptr;
}

}  // namespace gamefragviews

float GameApp::NearestViewDistance(const EBox3& box) {
  float nearest = 1e9f;
  for (int i = 0; i < kNUM_CAMERA_CHANNELS; ++i) {
    ECamera* pCamera = gamefragviews::ViewCamera(*this, i);
    if (!pCamera || !pCamera->BoxIntersectsFrustum(box, false)) continue;
    const float d = TWMath::Distance(pCamera->GetPosition(), box);
    if (d < nearest) nearest = d;
  }
  return nearest;
}

float GameApp::LargestPixelDiagonal(const EBox3& box) {
  float largest = 0.0f;
  for (int i = 0; i < kNUM_CAMERA_CHANNELS; ++i) {
    ECamera* pCamera = gamefragviews::ViewCamera(*this, i);
    if (!pCamera || !pCamera->BoxIntersectsFrustum(box, false)) continue;
    const float p = pCamera->CalculateScreenDiagonal(box);
    if (p > largest) largest = p;
  }
  return largest;
}

unsigned GameApp::GetMonitorChannelTexture(int) {
  // The channels hold no monitor textures yet: nothing to sample.
  return 0;
}

void GameApp::SetLightToModel(const EMat4& m) {
  if (m_pShaderDrawState) m_pShaderDrawState->m_mLightToModel = m;
}
