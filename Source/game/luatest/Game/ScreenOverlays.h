// Screen overlays: fades, spoken-line display, script sprites, 2D lines and
// script text.
#pragma once

#include "TWUtil/Array.h"

class EScreenFade {
public:
  void PreProcess() {}
  void Shutdown() {}
};

// One subtitle line of a full-screen movie.
struct EPrerenderSaylineTiming {
  float m_fStartMS = 0.0f;
  float m_fEndMS = 0.0f;
  unsigned m_hHead = 0;
  bool m_bShown = false;
  char m_szCode[256];
};

class ESayLineDisplayManager {
public:
  bool IsActive() const { return false; }
  void CleanupReferences() {}
  void Shutdown() {}

  // Subtitles of full-screen movies, driven by the movie player
  // (VERirezo/MoviePlayer.cpp holds the bodies).
  void InitPrerenderSayline(const char* szMoviePath);
  // Milliseconds since the previous movie frame.
  static void SaylineCallback(float fDeltaMS);
  // Removes the lines on screen; true when there were any.
  bool DeleteAllDialog(bool bImmediate);
  int m_nShownLines = 0;  // dialogue lines on screen
  void CleanupPrerender();
  EArray<EPrerenderSaylineTiming> m_aPrerenderTimings;
  float m_fMovieTimeMS = 0.0f;
  float m_fPrerenderFrameMS = 0.0f;
  bool m_bPrerenderMode = false;
};

class EScriptSpriteManager {
public:
  void RequestRenderAll() {}
  void Shutdown() {}
};

class E2DLinesManager {
public:
  void StartUp() {}
  void RequestRender() {}
  void Shutdown() {}
};

class EScriptTextManager {
public:
  void Startup() {}
  void Render() {}
  void Shutdown() {}
};
