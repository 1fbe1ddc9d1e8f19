// The full-screen movie player: finds a ".zoe" movie, picks its sound track
// by language, and shows it frame by frame through the renderer with the
// sprites (subtitle bubbles) on top, until it ends, is skipped or the
// window closes. Also the full-screen texture blit it draws with, and the
// movie hooks of the subtitle display.
#include <SDL/SDL.h>

#include <cstdint>
#include <cstring>

#include "TWUtil/ErrorManager.h"
#include "Game/GameApp.h"
#include "Game/ScreenOverlays.h"
#include "NonTW/Zoet/ZoeMovie.h"
#include "NonTW/Zoet/ZoeOpen.h"
#include "TWGraphics/Rect.h"
#include "TWGraphics/Renderer.h"
#include "TWSound/SoundManager.h"
#include "TWUtil/EFileManager.h"
#include "UnixMain/UnixMain.h"
#include "VERirezo/Sprite.h"

// Programs built without the game's entry file (tools, tests) still pump
// the window's events while a movie plays; the entry file's own pump
// replaces this one in the game.
__attribute__((weak)) bool PCMainHandleAnyWindowsMessages() {
  SDL_PumpEvents();
  SDL_Event event;
  bool quit = false;
  while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_EVENTMASK(SDL_QUIT)) > 0) quit = true;
  return quit;
}

namespace movieplayer {

enum : uint32_t {
  kOPEN_BY_NAME = 0x84000,       // the sound-track list, never drop a late copy
  kOPEN_FROM_MEMORY = 0x4084000,  // the same for a whole file in memory
  kCOPY_FLAGS = 0x80000003u,      // blue, green, red, 0; the whole frame
  kTEXTURE_USAGE = 0x84,
  kNAME_BUFFER = 4096,
  kMAX_WAIT_SLEEP_MS = 4,
};

int32_t TrackIdForLanguage(EGameLanguage language) {
  if (language == kLANGUAGE_French) return 1;
  if (language == kLANGUAGE_German) return 2;
  return 0;
}

ZoetMovie* Open(const void* pNameOrData, bool bFromMemory) {
  if (bFromMemory) return ZoetOpen(pNameOrData, kOPEN_FROM_MEMORY);
  const char* szPath = gFile->GetFullPath(static_cast<const char*>(pNameOrData), kFILELOC_ReadPaths);
  return szPath ? ZoetOpen(szPath, kOPEN_BY_NAME) : nullptr;
}

// Milliseconds until the movie's next frame is due (0 when it is due or the
// time cannot be told), at most a few.
uint32_t WaitSleepMS(const ZoetMovie* pMovie) {
  if (!pMovie->frameRate || !pMovie->clockStart || pMovie->paused) return 1;
  const uint64_t due = (uint64_t)(pMovie->playedFrames - pMovie->clockStartFrame) * 1000u * pMovie->frameRateDiv /
                       pMovie->frameRate;
  const uint32_t elapsed = ZoeTimerRead() - pMovie->clockStart - ((pMovie->drift + 0x7fff) >> 16);
  if ((uint64_t)elapsed >= due) return 0;
  const uint64_t left = due - elapsed;
  return left < kMAX_WAIT_SLEEP_MS ? (uint32_t)left : (uint32_t)kMAX_WAIT_SLEEP_MS;
}

}  // namespace movieplayer

bool GameApp::PlayVideo(const char* szName, VideoSkipCallback pfnSkip, bool bUnused, float fVolumeScale,
                        uint32_t dwUnused, bool bRunSoundManager) {
  EThreadProtectD3D lock;
  if (m_DebugHooks.MakingPackfiles) return false;
  char szMovie[movieplayer::kNAME_BUFFER];
  strncpy(szMovie, szName, sizeof(szMovie) - 1);
  szMovie[sizeof(szMovie) - 1] = '\0';
  size_t length = strlen(szMovie);
  // A three-letter extension goes.
  if (length > 4 && szMovie[length - 4] == '.') szMovie[length -= 4] = '\0';
  if (length + 4 < sizeof(szMovie)) strcat(szMovie, ".zoe");
  if (!gFile->GetFullPath(szMovie, kFILELOC_ReadPaths)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "File not found in PlayVideo: %s\n", szName);
    return false;
  }
  return playVideoZoet(szMovie, pfnSkip, bUnused, fVolumeScale, dwUnused, bRunSoundManager, false);
}

bool GameApp::PlayVideoFromMemory(const void* pData, VideoSkipCallback pfnSkip, bool bUnused, float fVolumeScale,
                                  uint32_t dwUnused, bool bRunSoundManager) {
  EThreadProtectD3D lock;
  if (m_DebugHooks.MakingPackfiles) return false;
  return playVideoZoet(pData, pfnSkip, bUnused, fVolumeScale, dwUnused, bRunSoundManager, true);
}

bool GameApp::playVideoZoet(const void* pNameOrData, VideoSkipCallback pfnSkip, bool, float fVolumeScale, uint32_t,
                            bool bRunSoundManager, bool bFromMemory) {
  using namespace movieplayer;
  EThreadProtectD3D lock;
  ERenderer* r = m_pRenderer;
  r->RestoreRenderTarget();
  const EVec3 vGamma = r->GetGammaCorrection();
  const bool bSubtitles = m_DebugHooks.Subtitles && !bFromMemory && m_pSayLineDisplayManager;
  if (bSubtitles) {
    m_pSayLineDisplayManager->InitPrerenderSayline(static_cast<const char*>(pNameOrData));
    SetVideoCallback(&ESayLineDisplayManager::SaylineCallback);
  }

  int32_t iTrack = TrackIdForLanguage(GetLanguage());
  ZoetSetSoundTrack(1, &iTrack);
  ZoetMovie* pMovie = Open(pNameOrData, bFromMemory);
  if (pMovie && pMovie->trackCount > 0) {
    int32_t iFound = -1, iLastZero = 0;
    for (int32_t i = 0; i < pMovie->trackCount; i++) {
      const int32_t id = ZoetGetTrackID(pMovie, i);
      if (id == iTrack) {
        iFound = i;
        break;
      }
      if (id == 0) iLastZero = i;
    }
    if (iFound < 0) {
      // Reopened with the track the language has none of replaced.
      iTrack = ZoetGetTrackID(pMovie, iLastZero);
      ZoetClose(pMovie);
      ZoetSetSoundTrack(1, &iTrack);
      pMovie = Open(pNameOrData, bFromMemory);
    }
  }

  float fMovieTime = 0.0f;
  bool bSkipped = false;
  bool bOpened = pMovie != nullptr;
  if (pMovie) {
    ZoetSetVolume(pMovie, iTrack, (int32_t)((float)m_iVideoVolume * fVolumeScale));
    const float fFrameMS = (float)pMovie->frameRateDiv / (float)pMovie->frameRate * 1000.0f;
    float fPreviousTime = 0.0f;
    float fStepMS = 0.0f;  // between the two frames shown last
    r->RestoreRenderTarget();
    r->ClearRenderTarget(cg_vZero4, true, false, false, 1.0f);
    const HTEXTURE hTexture = r->CreateBitmapTexture(kTEXTUREFORMAT_0888, pMovie->width, pMovie->height, 1,
                                                     kTEXTURE_USAGE);
    for (;;) {
      if (ZoetWait(pMovie) == 0) {
        if (bRunSoundManager && m_pSoundManager) m_pSoundManager->DoWork(0.001f * fStepMS);
        ZoetDoFrame(pMovie);
        unsigned dwPitch = 0;
        if (void* pPixels = r->LockTexture(hTexture, 0, &dwPitch, false, (CUBEMAPFACE)0, true)) {
          ZoetCopyToBuffer(pMovie, pPixels, (int32_t)dwPitch, pMovie->height, 0, 0, kCOPY_FLAGS);
          r->UnlockTexture(hTexture, 0, true, (CUBEMAPFACE)0);
        }
        fMovieTime = (float)pMovie->currentFrame * fFrameMS;
        r->BeginRender();
        if (m_pSpriteManager) m_pSpriteManager->ResetFrame();
        fStepMS = fMovieTime - fPreviousTime;
        if (m_pfnVideoCallback) m_pfnVideoCallback(fStepMS);
        if (m_pSpriteManager) m_pSpriteManager->PreprocessAll();
        r->ClearRenderTarget(cg_vZero4, true, false, false, 1.0f);
        const EVec2 vOffset(0.0f, 0.0f), vScale(1.0f, 1.0f);
        BlitTexture(hTexture, -1, kBLENDMODE_DECAL, &vOffset, &vScale, nullptr, 0.0f, nullptr, false);
        if (m_pSpriteManager) m_pSpriteManager->DrawAll();
        r->EndRender();
        r->Present(true);
        if (pMovie->currentFrame == pMovie->frameCount) break;  // the last frame stays shown
        ZoetNextFrame(pMovie);
        if (pfnSkip && pfnSkip()) {
          bSkipped = true;
          break;
        }
        fPreviousTime = fMovieTime;
      } else if (!PCMainHandleAnyWindowsMessages()) {
        // Not due yet: rest until it is rather than spin.
        if (uint32_t ms = WaitSleepMS(pMovie)) SDL_Delay(ms);
        continue;
      } else {
        break;
      }
      if (PCMainHandleAnyWindowsMessages()) break;
    }
    ZoetClose(pMovie);
    r->DeleteTexture(hTexture, true);
  }

  r->SetGammaCorrection(vGamma, true);
  if (bSubtitles) {
    m_pSayLineDisplayManager->DeleteAllDialog(true);
    m_pSayLineDisplayManager->m_aPrerenderTimings.Empty();
    m_pSayLineDisplayManager->CleanupPrerender();
  }
  SetVideoCallback(nullptr);
  if (m_pSpriteManager) m_pSpriteManager->ResetFrame();

  if (m_Prefs.m_bOxmBuild) {
    if (bSkipped)
      m_fDemoTimer = GetDemoTimeout() + fMovieTime;
    else
      m_fDemoTimer += fMovieTime;
    m_fMenuIdleTime = fMovieTime + 20000.0f;
  } else {
    m_fMenuIdleTime = fMovieTime + 100000.0f;
  }
  m_bSkipSwap = true;
  if (!bOpened) g_ErrorManager.TraceMessagef(TT_Warning, "%s\n", ZoetGetError());
  return bOpened;
}

void GameApp::BlitTexture(uint32_t hTexture, int iTarget, int eBlendMode, const EVec2* pOffset, const EVec2* pScale,
                          const EVec4* pColour, float, const ERect* pScissor, bool) {
  ERenderer* r = m_pRenderer;
  if (!r || iTarget != -1) return;
  // A buffer of its own per blit: renderers come and go (the handle of an
  // earlier one could name another buffer of the next).
  uint32_t hVB = r->CreateVertexBuffer(kVBFORMAT_POSITION_COLOR_TEXCOORD0, 6, kVBFLAG_DYNAMIC, "blitTexture");
  if (!hVB) return;
  struct BlitVertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
  };
  const EVec4 white(1.0f, 1.0f, 1.0f, 1.0f);
  const EVec4& c = pColour ? *pColour : white;
  auto channel = [](float f) { return (uint32_t)(f <= 0.0f ? 0 : f >= 1.0f ? 255 : (int)(f * 255.0f + 0.5f)); };
  const uint32_t colour = channel(c.w) << 24 | channel(c.x) << 16 | channel(c.y) << 8 | channel(c.z);
  // The 640 x 480 sprite space covers the target; the scale sizes the quad.
  const float w = 640.0f, h = 480.0f;
  const BlitVertex quad[6] = {{0, 0, 0, colour, 0, 0}, {w, 0, 0, colour, 1, 0}, {0, h, 0, colour, 0, 1},
                              {w, 0, 0, colour, 1, 0}, {w, h, 0, colour, 1, 1}, {0, h, 0, colour, 0, 1}};
  void* p = r->LockVertexBuffer(hVB, 6, 0, 0);
  if (!p) {
    r->DeleteVertexBuffer(hVB);
    return;
  }
  memcpy(p, quad, sizeof(quad));
  r->UnlockVertexBuffer(hVB);
  ERenderState state;
  state.Reset();
  state.m_eCullMode = kCULL_NONE;
  state.m_bZEnable = false;
  state.m_bZWriteEnable = false;
  state.m_eBlendMode = (BLENDMODE)eBlendMode;
  r->SetRenderState(&state);
  (void)pScissor;
  SetShaderSpriteBlit(pScale ? *pScale : EVec2(1.0f, 1.0f), pOffset ? *pOffset : EVec2(0.0f, 0.0f),
                      EVec2(640.0f, 480.0f));
  ETextureStageState stage;
  stage.m_eAddressMode = kTEXTUREADDRESS_CLAMP;
  stage.m_hTexture = hTexture;
  r->SetTextureStages(&stage, 1);
  r->DrawUnindexedVertexBuffers(kVBDRAWMODE_TRIANGLELIST, 1, &hVB, 6, 0);
  r->DeleteVertexBuffer(hVB);
}

// ---- The subtitle display's movie hooks ------------------------------------

void ESayLineDisplayManager::InitPrerenderSayline(const char*) {
  m_fMovieTimeMS = 0.0f;
  m_fPrerenderFrameMS = 0.0f;
}

void ESayLineDisplayManager::SaylineCallback(float fDeltaMS) {
  ESayLineDisplayManager* m = gGameApp ? gGameApp->m_pSayLineDisplayManager : nullptr;
  if (!m || m->m_aPrerenderTimings.Num() == 0) return;
  m->m_bPrerenderMode = true;
  m->m_fPrerenderFrameMS = fDeltaMS;
  m->m_fMovieTimeMS += fDeltaMS;
}

bool ESayLineDisplayManager::DeleteAllDialog(bool) {
  const bool bAny = m_nShownLines > 0;
  m_nShownLines = 0;
  return bAny;
}

void ESayLineDisplayManager::CleanupPrerender() { m_bPrerenderMode = false; }
