#include "VERirezo/Text3D.h"

#include <cmath>
#include <cstdlib>

#include "Game/GameApp.h"
#include "TWGraphics/Color.h"
#include "TWGraphics/Renderer.h"
#include "TWMath/Matrix.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Sprite.h"

namespace {

bool Char3DComesAfter(EChar3D* a, EChar3D* b) { return a->m_hTexture > b->m_hTexture; }

}  // namespace

EText3DManager::EText3DManager()
    : m_pCharArray(new EDataArray<EChar3D>("Text3D", kINITIAL_CHARS, kDATAARRAY_GROWABLE, kMEMTYPE_Sprite)),
      m_pSortList(nullptr), m_iSortListCapacity(0), m_iSortedCharCount(0), m_iUnusedCount(0) {}

EText3DManager::~EText3DManager() {
  delete m_pCharArray;
  free(m_pSortList);
}

void EText3DManager::AddChar(uint32_t hTexture, float x, float y, float z, const EBox2& texBox, const EVec4* pColor,
                             const EVec3* pOrigin, const EVec3* pScale, const EEuler* pRotation,
                             const EMat4* pMatrix) {
  if (!hTexture) return;
  unsigned tw = 0, th = 0;
  g_pCurrentRenderer->GetTextureDimensions(hTexture, tw, th);
  EDataId id = m_pCharArray->ElementNew();
  if (!id) return;
  EChar3D* c = m_pCharArray->ElementGet(id);
  c->m_hTexture = hTexture;
  c->m_TexBox = texBox;
  c->m_dwColor = pColor ? ColorVectorToRGBA(SpriteClampColor(*pColor)) : 0xFFFFFFFFu;
  const float w = fabsf(texBox.vMax.x - texBox.vMin.x) * (float)tw;
  const float h = fabsf(texBox.vMax.y - texBox.vMin.y) * (float)th;
  const EVec3 s = pScale ? *pScale : EVec3(1.0f, 1.0f, 1.0f);
  c->m_avCorners[0] = EVec3(x, y, z);
  c->m_avCorners[1] = EVec3(x + s.x * w, y, z);
  c->m_avCorners[2] = EVec3(x, y + s.y * h, z);
  c->m_avCorners[3] = EVec3(x + s.x * w, y + s.y * h, z);
  if (g_pCurrentRenderer->GetTextureFlags(hTexture) & 4) {
    c->m_TexBox.vMin.x *= (float)tw;
    c->m_TexBox.vMax.x *= (float)tw;
    c->m_TexBox.vMin.y *= (float)th;
    c->m_TexBox.vMax.y *= (float)th;
  }
  if (!pOrigin) return;
  const EMat4 rot = pRotation ? pRotation->ToMatrix() : EMat4();
  for (int i = 0; i < 4; ++i) {
    EVec3 p = c->m_avCorners[i] - *pOrigin;
    if (pRotation) p = rot.MulVec3(p);
    p = p + *pOrigin;
    if (pMatrix) p = pMatrix->MulVec3(p);
    c->m_avCorners[i] = p;
  }
}

void EText3DManager::PreprocessAll() {
  if (m_pCharArray->GetNumUsed() == 0) return;
  m_iSortedCharCount = m_pCharArray->GatherSortedIds(&m_pSortList, &m_iSortListCapacity, Char3DComesAfter);
  EASSERT(m_iSortedCharCount);
}

void EText3DManager::DrawAll() {
  if (m_pCharArray->GetNumUsed() == 0 || m_iSortedCharCount == 0) return;
  ERenderer* r = g_pCurrentRenderer;
  GameApp::SetShaderZSprite(EVec4(1.0f, 1.0f, 1.0f, 1.0f));
  ERenderState state;
  state.Reset();
  state.m_eCullMode = kCULL_BACK;
  state.m_bZEnable = true;
  state.m_bZWriteEnable = true;
  r->SetRenderState(&state);
  ETextureStageState stage;
  stage.m_eAddressMode = kTEXTUREADDRESS_BORDER;

  static const int kCornerOrder[4] = {0, 1, 3, 2};  // BL, BR, TR, TL
  int i = 0;
  while (i < m_iSortedCharCount) {
    EChar3D* first = m_pCharArray->ElementGet(m_pSortList[i]);
    EASSERT(first && m_pCharArray->ElementIsUsed(first));
    int end = i + 1;
    while (end < m_iSortedCharCount && m_pCharArray->ElementGet(m_pSortList[end])->m_hTexture == first->m_hTexture)
      ++end;
    stage.m_hTexture = first->m_hTexture;
    r->SetTextureStages(&stage, 1);
    const int chunkChars = kCHUNK_VERTS / 4;
    for (int start = i; start < end; start += chunkChars) {
      const int n = end - start < chunkChars ? end - start : chunkChars;
      uint32_t* push = r->BeginPush(kVBDRAWMODE_QUADLIST, (unsigned)(n * 4 * kWORDS_PER_VERTEX));
      for (int k = start; k < start + n; ++k) {
        EChar3D* c = m_pCharArray->ElementGet(m_pSortList[k]);
        EASSERT(c && m_pCharArray->ElementIsUsed(c));
        const EBox2& t = c->m_TexBox;
        const float u[4] = {t.vMin.x, t.vMax.x, t.vMax.x, t.vMin.x};
        const float v[4] = {t.vMin.y, t.vMin.y, t.vMax.y, t.vMax.y};
        for (int q = 0; q < 4; ++q) {
          const EVec3& p = c->m_avCorners[kCornerOrder[q]];
          RendererPushData(push, p.x);
          RendererPushData(push, p.y);
          RendererPushData(push, p.z);
          RendererPushData(push, c->m_dwColor);
          RendererPushData(push, u[q]);
          RendererPushData(push, v[q]);
          RendererPushData(push, (uint32_t)0);
        }
      }
      r->EndPush(push);
    }
    i = end;
  }
}

void EText3DManager::ResetFrame() {
  m_pCharArray->DeleteAll();
  m_iSortedCharCount = 0;
  m_iUnusedCount = 0;
}

void EText3DManager::RestoreSize() { m_pCharArray->RestoreSize(false); }
