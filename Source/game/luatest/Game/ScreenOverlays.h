// Screen overlays: fades, spoken-line display, script sprites, 2D lines and
// script text.
#pragma once

class EScreenFade {
public:
  void PreProcess() {}
  void Shutdown() {}
};

class ESayLineDisplayManager {
public:
  bool IsActive() const { return false; }
  void CleanupReferences() {}
  void Shutdown() {}
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
