#include "TWGraphics/Shader.h"

#include <mojoshader.h>

#include <cstdlib>

#include "TWUtil/ErrorManager.h"

EVertexShader::EVertexShader() : m_pShader(nullptr), m_pFormats(nullptr), m_pElements(nullptr), m_iStreamCount(0) {}

EVertexShader::~EVertexShader() {
  if (m_pShader) MOJOSHADER_glDeleteShader(m_pShader);
  m_pShader = nullptr;
  free(m_pFormats);
  m_pFormats = nullptr;
  free(m_pElements);
  m_pElements = nullptr;
}

EPixelShader::EPixelShader() : m_pShader(nullptr), m_pConstantTable(nullptr) {}

EPixelShader::~EPixelShader() {
  if (m_pShader) MOJOSHADER_glDeleteShader(m_pShader);
  m_pShader = nullptr;
}

namespace {
const uint32_t kUNKNOWN_SHADER = 0xFFFFFFFFu;
}

EVertexShader* ERenderer::currentVertexShader() const {
  if (!m_pVertexShaders || !m_hVertexShader || m_hVertexShader == kUNKNOWN_SHADER) return nullptr;
  return m_pVertexShaders->ElementGet(m_hVertexShader);
}

EPixelShader* ERenderer::currentPixelShader() const {
  if (!m_pPixelShaders || !m_hPixelShader || m_hPixelShader == kUNKNOWN_SHADER) return nullptr;
  return m_pPixelShaders->ElementGet(m_hPixelShader);
}

void ERenderer::SetVertexShader(uint32_t hShader) {
  EASSERT(hShader);
  m_hVertexShader = hShader;
}

void ERenderer::setDefaultShaderConstants() {
  if (m_bDefaultShaderConstantsValid) return;
  const float ones[8] = {0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f};
  MOJOSHADER_glSetVertexShaderUniformF(0, ones, 2);
  unsigned width = 0, height = 0;
  GetTextureDimensions(m_hRenderTargetImageTexture, width, height);
  float w = (float)width, h = (float)height;
  if (m_RenderState.m_bFastColorFill) {
    h *= 0.5f;
    if (!(m_dwFlags & kRENDERER_ANTIALIAS)) w *= 0.5f;
  }
  // The half-texel offset of the current target.
  const float offset[4] = {-1.0f / w, 1.0f / h, 0.0f, 0.0f};
  MOJOSHADER_glSetVertexShaderUniformF(50, offset, 1);
  m_bDefaultShaderConstantsValid = true;
}
