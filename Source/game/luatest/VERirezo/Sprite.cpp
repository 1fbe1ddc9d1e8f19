#include "VERirezo/Sprite.h"

#include <cmath>

#include "Game/GameApp.h"
#include "TWGraphics/Color.h"
#include "TWGraphics/Renderer.h"
#include "TWUtil/ErrorManager.h"

namespace {

struct SpriteVertex {
  float x, y, z;
  uint32_t color;
  float u, v;
};
static_assert(sizeof(SpriteVertex) == 24, "sprite vertex is six 32-bit values");

bool SpriteComesAfter(ESprite* a, ESprite* b) {
  if (a->m_dwLayer != b->m_dwLayer) return a->m_dwLayer > b->m_dwLayer;
  return a->m_hTexture > b->m_hTexture;
}

float SpriteClamp01(float f) { return f > 0.0f ? (f < 1.0f ? f : 1.0f) : 0.0f; }

}  // namespace

EVec4 SpriteClampColor(const EVec4& c) {
  return EVec4(SpriteClamp01(c.x), SpriteClamp01(c.y), SpriteClamp01(c.z), SpriteClamp01(c.w));
}

ESpriteManager::ESpriteManager()
    : m_pSpriteArray(new EDataArray<ESprite>("Sprites", kINITIAL_SPRITES, kDATAARRAY_GROWABLE, kMEMTYPE_Sprite)),
      m_pSortList(nullptr), m_iSortListCapacity(0), m_iSortedSpriteCount(0), m_iLastSpriteCount(0),
      m_iCurrentBuffer(0), m_bWarnedOverflow(false) {
  for (int i = 0; i < kNUM_VERTEX_BUFFERS; ++i)
    m_ahVertexBuffers[i] = g_pCurrentRenderer->CreateVertexBuffer(kVBFORMAT_POSITION_COLOR_TEXCOORD0,
                                                                  kVERTS_PER_BUFFER, kVBFLAG_DYNAMIC, "renderSprite");
}

ESpriteManager::~ESpriteManager() {
  delete m_pSpriteArray;
  free(m_pSortList);
  for (int i = 0; i < kNUM_VERTEX_BUFFERS; ++i)
    if (g_pCurrentRenderer && m_ahVertexBuffers[i]) g_pCurrentRenderer->DeleteVertexBuffer(m_ahVertexBuffers[i]);
}

void ESpriteManager::AddSprite(uint32_t hTexture, float x, float y, unsigned layer, const EBox2& texBox,
                               const EVec4* pColor, const EVec2* pPivot, const EVec2* pScale, float rotation,
                               const EVec2* pCrop, unsigned flags, unsigned maskFlag, EBox2* pOutBox) {
  if (!hTexture) return;
  if (pColor && pColor->w == 0.0f) return;
  unsigned tw = 0, th = 0;
  g_pCurrentRenderer->GetTextureDimensions(hTexture, tw, th);
  const float TW = (float)tw, TH = (float)th;
  if (x >= 640.0f || x + TW <= 0.0f || y >= 480.0f || y + TH <= 0.0f) return;
  EDataId id = m_pSpriteArray->ElementNew();
  if (!id) return;
  ESprite* s = m_pSpriteArray->ElementGet(id);
  s->m_hTexture = hTexture;
  s->m_dwLayer = layer;
  s->m_TexBox = texBox;
  s->m_dwColor = pColor ? ColorVectorToRGBA(SpriteClampColor(*pColor)) : 0xFFFFFFFFu;
  s->m_dwFlags = flags;
  s->m_dwMaskFlag = maskFlag;

  const float w = fabsf(texBox.vMax.x - texBox.vMin.x) * TW;
  const float h = fabsf(texBox.vMax.y - texBox.vMin.y) * TH;
  EVec2* c = s->m_avCorners;
  c[0] = EVec2(x, y + h);
  c[1] = EVec2(x + w, y + h);
  c[2] = EVec2(x, y);
  c[3] = EVec2(x + w, y);

  if (g_pCurrentRenderer->GetTextureFlags(hTexture) & 4) {
    s->m_TexBox.vMin.x *= TW;
    s->m_TexBox.vMax.x *= TW;
    s->m_TexBox.vMin.y *= TH;
    s->m_TexBox.vMax.y *= TH;
  }
  if (pCrop) {
    const float down = (1.0f - pCrop->y) * TH, left = (1.0f - pCrop->x) * TW;
    c[2].y += down;
    c[3].y += down;
    c[3].x -= left;
    c[1].x -= left;
    s->m_TexBox.vMax.y += 1.0f - pCrop->y;
    s->m_TexBox.vMax.x -= 1.0f - pCrop->x;
  }
  if (pPivot) {
    const EVec2 P = (flags & kSPRITEFLAG_ABSOLUTE_PIVOT) ? *pPivot : EVec2(x + pPivot->x, y + pPivot->y);
    const float rad = rotation * 3.14159265358979f / 180.0f;
    const float cs = cosf(rad), sn = sinf(rad);
    for (int i = 0; i < 4; ++i) {
      float a = c[i].x - P.x, b = c[i].y - P.y;
      if (rotation != 0.0f) {
        const float ra = a * cs - b * sn;
        b = a * sn + b * cs;
        a = ra;
      }
      if (pScale) {
        a *= pScale->x;
        b *= pScale->y;
      }
      c[i] = EVec2(P.x + a, P.y + b);
    }
  }
  if (pOutBox) {
    EVec2 mn = c[0], mx = c[0];
    for (int i = 1; i < 4; ++i) {
      mn.x = fminf(mn.x, c[i].x);
      mn.y = fminf(mn.y, c[i].y);
      mx.x = fmaxf(mx.x, c[i].x);
      mx.y = fmaxf(mx.y, c[i].y);
    }
    pOutBox->vMin = mn;
    pOutBox->vMax = mx;
  }
}

void ESpriteManager::PreprocessAll() {
  if (m_pSpriteArray->GetNumUsed() == 0) return;
  int count = m_pSpriteArray->GatherSortedIds(&m_pSortList, &m_iSortListCapacity, SpriteComesAfter);
  m_iSortedSpriteCount = count;
  EASSERT(m_iSortedSpriteCount);

  m_iCurrentBuffer = (m_iCurrentBuffer + 1) % kNUM_VERTEX_BUFFERS;
  const uint32_t hVB = m_ahVertexBuffers[m_iCurrentBuffer];
  SpriteVertex* pGeomBuffer = static_cast<SpriteVertex*>(g_pCurrentRenderer->LockVertexBuffer(hVB, kVERTS_PER_BUFFER, 0, 0));
  EASSERT(pGeomBuffer);
  // A pass that would overrun the buffer draws its first sprites only (the
  // lowest layers).
  if (count > kMAX_SPRITES_PER_PASS) {
    if (!m_bWarnedOverflow)
      g_ErrorManager.TraceMessagef(TT_Warning, "Too many sprites in one pass: %d, drawing the first %d", count,
                                   (int)kMAX_SPRITES_PER_PASS);
    m_bWarnedOverflow = true;
    count = m_iSortedSpriteCount = kMAX_SPRITES_PER_PASS;
  }
  const int renderMode = gGameApp ? gGameApp->m_iRenderMode : 0;
  for (int i = 0; i < count; ++i) {
    const ESprite* s = m_pSpriteArray->ElementGet(m_pSortList[i]);
    const bool psychedelic = (s->m_dwFlags & kSPRITEFLAG_PSYCHEDELIC) != 0;
    uint32_t colour = s->m_dwColor;
    if ((renderMode == 0 && psychedelic) || (renderMode == 4 && !psychedelic)) colour = 0;
    const EVec2* c = s->m_avCorners;
    const EBox2& t = s->m_TexBox;
    SpriteVertex* v = pGeomBuffer + i * 6;
    v[0] = {c[0].x, c[0].y, 0.0f, colour, t.vMin.x, t.vMin.y};
    v[1] = {c[1].x, c[1].y, 0.0f, colour, t.vMax.x, t.vMin.y};
    v[2] = {c[3].x, c[3].y, 0.0f, colour, t.vMax.x, t.vMax.y};
    v[3] = v[0];
    v[4] = v[2];
    v[5] = {c[2].x, c[2].y, 0.0f, colour, t.vMin.x, t.vMax.y};
  }
  g_pCurrentRenderer->UnlockVertexBuffer(hVB);
}

void ESpriteManager::DrawAll(const EVec2* pOffset, const EVec2* pScale) {
  ERenderProfileZone zone("Draw Sprites", EVec4(1, 1, 1, 1));
  if (m_iSortedSpriteCount == 0) return;
  ERenderer* r = g_pCurrentRenderer;
  ERenderState state;
  state.Reset();
  state.m_eCullMode = kCULL_NONE;
  state.m_bZEnable = false;
  state.m_bZWriteEnable = false;
  r->SetRenderState(&state);
  const EVec2 scale = pScale ? EVec2(pScale->x, pScale->y) : EVec2(1.0f, 1.0f);
  const EVec2 offset = pOffset ? *pOffset : EVec2(0.0f, 0.0f);
  GameApp::SetShaderSpriteBlit(scale, offset, EVec2(640.0f, 480.0f));
  ETextureStageState stage;
  stage.m_eAddressMode = kTEXTUREADDRESS_CLAMP;

  uint32_t hVB = m_ahVertexBuffers[m_iCurrentBuffer];
  int first = 0, length = 0;
  for (int i = 0; i < m_iSortedSpriteCount; ++i) {
    ESprite* s = m_pSpriteArray->ElementGet(m_pSortList[i]);
    EASSERT(s && m_pSpriteArray->ElementIsUsed(s));
    if (s->m_dwMaskFlag) {
      drawSpriteAlphaMask(s);
      first = i + 1;
      length = 0;
      continue;
    }
    ++length;
    const EBox2& t = s->m_TexBox;
    const bool wrap = t.vMax.x > 1.0f || t.vMax.y > 1.0f || t.vMin.x < -1.0f || t.vMin.y < -1.0f;
    stage.m_eAddressMode = wrap ? kTEXTUREADDRESS_WRAP : kTEXTUREADDRESS_CLAMP;
    bool draw = wrap || i + 1 == m_iSortedSpriteCount;
    if (!draw) {
      const ESprite* n = m_pSpriteArray->ElementGet(m_pSortList[i + 1]);
      draw = n->m_hTexture != s->m_hTexture || n->m_dwMaskFlag ||
             ((n->m_dwFlags ^ s->m_dwFlags) & kSPRITEFLAG_LUMINANCE);
    }
    if (!draw) continue;
    stage.m_hTexture = s->m_hTexture;
    r->SetTextureStages(&stage, 1);
    const bool luminance = (s->m_dwFlags & kSPRITEFLAG_LUMINANCE) != 0;
    if (luminance) r->SetPixelShader(GameApp::GetPassPixelShader("LuminanceTexture.fpo"));
    r->DrawUnindexedVertexBuffers(kVBDRAWMODE_TRIANGLELIST, 1, &hVB, (unsigned)length * 6, (unsigned)first * 6);
    if (luminance) r->SetPixelShader(GameApp::GetPassPixelShader("Color1Tex.fpo"));
    first = i + 1;
    length = 0;
  }
}

void ESpriteManager::ResetFrame() {
  m_pSpriteArray->DeleteAll();
  m_iLastSpriteCount = m_iSortedSpriteCount;
  m_iSortedSpriteCount = 0;
}

void ESpriteManager::RestoreSize() { m_pSpriteArray->RestoreSize(false); }
