// A renderer on a plain window of the given size, as tests that draw or load
// textures start it; the pointer grab the renderer takes is let go, since it
// would hold the test display's pointer. Null when the renderer cannot start.
#pragma once

#include <SDL/SDL.h>

#include "TWGraphics/Renderer.h"

namespace gfxtest {

inline ERenderer* StartWindowedRenderer(unsigned width, unsigned height, unsigned flags = 0) {
  ERenderer* pRenderer = new ERenderer();
  pRenderer->m_DisplayOptions.m_dwWidth = width;
  pRenderer->m_DisplayOptions.m_dwHeight = height;
  pRenderer->m_DisplayOptions.m_bFullScreen = false;
  pRenderer->m_DisplayOptions.m_fGamma = 1.0f;
  if (!pRenderer->Init(nullptr, flags)) {
    delete pRenderer;
    return nullptr;
  }
  SDL_WM_GrabInput(SDL_GRAB_OFF);
  return pRenderer;
}

}  // namespace gfxtest
