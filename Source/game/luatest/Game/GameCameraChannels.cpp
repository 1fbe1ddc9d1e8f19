// Cameras and the channels that show them; the entity dump and the memory
// reports of the application.
#include <cmath>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "TWGraphics/Renderer.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Entity.h"
#include "VERirezo/EntityManager.h"
#include "VERirezo/Scene.h"

namespace {
// The indices are unsigned in the interface: a negative one is out of range.
void CheckCameraIndex(int dwCameraIndex) {
  if (dwCameraIndex < 0 || dwCameraIndex >= GameApp::kNUM_CAMERAS)
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "dwCameraIndex < kNUM_CAMERAS", false);
}
void CheckChannelIndex(int dwChannelIndex) {
  if (dwChannelIndex < 0 || dwChannelIndex >= GameApp::kNUM_CAMERA_CHANNELS)
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "dwChannelIndex < kNUM_CAMERA_CHANNELS", false);
}
}  // namespace

ECamera* GameApp::GetCamera(int dwCameraIndex) {
  CheckCameraIndex(dwCameraIndex);
  return m_aCameras[dwCameraIndex];
}

ECameraChannel& GameApp::GetCameraChannel(int dwChannelIndex) {
  CheckChannelIndex(dwChannelIndex);
  return m_aCameraChannels[dwChannelIndex];
}

void GameApp::AssignCameraToChannel(int dwCameraIndex, int dwChannelIndex) {
  CheckChannelIndex(dwChannelIndex);
  CheckCameraIndex(dwCameraIndex);
  if (m_aCameraChannels[dwChannelIndex].m_pCamera == m_aCameras[dwCameraIndex]) return;
  AssignCameraToChannel(m_aCameras[dwCameraIndex], dwChannelIndex);
}

void GameApp::AssignCameraToChannel(ECamera* pCamera, int dwChannelIndex) {
  ECameraChannel& channel = m_aCameraChannels[dwChannelIndex];
  // The frame, the listener and the discontinuity mark use the main
  // channel's camera unchecked: it always keeps one.
  if (dwChannelIndex == 0 && !pCamera) {
    g_ErrorManager.TraceMessagef(TT_Warning, "AssignCameraToChannel: the main channel needs a camera");
    return;
  }
  const int oldType = channel.m_pCamera ? (int)channel.m_pCamera->GetType() : -1;
  channel.m_pCamera = pCamera;
  const int newType = pCamera ? (int)pCamera->GetType() : -1;
  if (dwChannelIndex != 0) return;
  pCamera->MarkDiscontinousUpdate();
  if (oldType == kCAMERA_FLY || newType == kCAMERA_FLY) SetControlsFromCurrentCamera();
}

void GameApp::SetCameraType(int dwCameraIndex, CAMERATYPE eType) { SetCameraType(GetCamera(dwCameraIndex), eType); }

void GameApp::SetCameraType(ECamera* pCamera, CAMERATYPE eType) {
  const CAMERATYPE oldType = pCamera->GetType();
  pCamera->Init(eType);
  if (oldType == kCAMERA_FLY || eType == kCAMERA_FLY) SetControlsFromCurrentCamera();
}

namespace {

const char kDumpRule[] = "----------------------------------------------";

enum EDumpSection { kDUMP_SIMULATING, kDUMP_NONSIMULATING, kDUMP_NONMESH };

void DumpEntitySection(EDomain* pDomain, EDumpSection eSection, const char* szHeading) {
  g_ErrorManager.TraceMessagef("%s", kDumpRule);
  g_ErrorManager.TraceMessagef("%s", szHeading);
  g_ErrorManager.TraceMessagef("%s", kDumpRule);
  int count = 0;
  if (pDomain) {
    for (EEntityIter it(pDomain, true); it; ++it) {
      EEntity* e = *it;
      EDomain* owner = it.GetInfo().domain;
      if (owner && owner->IsSleeping()) continue;
      if (eSection == kDUMP_NONMESH) {
        if (e->IsMeshEntity()) continue;
        g_ErrorManager.TraceMessagef("Entity '%s'", e->GetName());
      } else {
        if (!e->IsMeshEntity() || e->IsSimulationCulled() != (eSection == kDUMP_NONSIMULATING)) continue;
        const EVec3 p = e->GetPosition();
        g_ErrorManager.TraceMessagef("Entity '%s', position (%i, %i, %i)", e->GetName(), (int)p.x, (int)p.y,
                                     (int)p.z);
      }
      ++count;
    }
  }
  g_ErrorManager.TraceMessagef("%s", kDumpRule);
  g_ErrorManager.TraceMessagef("Total entities in category: %i", count);
  g_ErrorManager.TraceMessagef("%s", kDumpRule);
}

}  // namespace

void GameApp::DumpEntityInfo() {
  EDomain* pDomain = m_pSceneManager ? m_pSceneManager->GetActiveDomain() : nullptr;
  DumpEntitySection(pDomain, kDUMP_SIMULATING, "Simulating mesh entities in active domains");
  DumpEntitySection(pDomain, kDUMP_NONSIMULATING, "Non-simulating mesh entities in active domains");
  DumpEntitySection(pDomain, kDUMP_NONMESH, "Non-mesh entities in active domains");
}

void GameApp::UpdateMemoryTracking() { STUBBED("memory status"); }

void GameApp::GetRetailMemState(float& used, float& total) {
  STUBBED("memory status");
  // What the renderer holds is what the texture reduction can win back.
  used = 0.0f;
  if (m_pRenderer)
    used = (float)m_pRenderer->StatsGetTotalTextureMemory() + (float)m_pRenderer->StatsGetAllocatedVertexMemory() +
           (float)m_pRenderer->StatsGetAllocatedIndexMemory();
  total = 960.0f * 1048576.0f;
}
