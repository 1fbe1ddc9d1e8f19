// One renderer over a 64x64 window with the project's shader library and
// render resources, in a private folder: the start and end of a picture
// suite.
#pragma once

#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "Game/GameRenderResources.h"
#include "Game/GameShaders.h"
#include "Game/PCGameApp.h"
#include "TWGraphics/Renderer.h"
#include "TWGraphics/tests/WindowedRenderer.h"
#include "TWMath/Vector.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/tests/FileTestSupport.h"

struct ShaderWorld {
  filetest::TempDir dir;
  std::unique_ptr<filetest::ScopedChdir> cwd;
  std::unique_ptr<filetest::ScopedEnv> env;
  EFileManager* manager = nullptr;
  ERenderer* renderer = nullptr;
  EGameShaders* shaders = nullptr;
  ERenderResources resources;

  // Null without a display; the renderer stays null when it did not start.
  static ShaderWorld* Start() {
    if (!getenv("DISPLAY")) return nullptr;
    ShaderWorld* pWorld = new ShaderWorld;
    ShaderWorld& w = *pWorld;
    w.env.reset(new filetest::ScopedEnv("XDG_DATA_HOME", (w.dir / "xdg").c_str()));
    w.cwd.reset(new filetest::ScopedChdir(w.dir.path()));
    filetest::MakeDirs(w.dir / "Workresource/VertexShaders/cache");
    const std::string data = QUILLOMAR_SHADER_DATA;
    const std::string copy = "cp -r '" + data + "/VertexShaders/.' '" + (w.dir / "Workresource/VertexShaders") +
                             "' && mkdir -p '" + (w.dir / "Workresource/PixelShaders/fpo") + "' && cp '" +
                             QUILLOMAR_FPO_DIR + "/'*.fpo '" + (w.dir / "Workresource/PixelShaders/fpo") + "'";
    if (system(copy.c_str()) != 0) return pWorld;
    w.manager = new EFileManager;
    w.manager->AddReadPath("Workresource", false);
    w.manager->SetWritePath("Workresource");
    gFile = w.manager;
    GForceMojoShaderProfile = "glsl120";
    w.renderer = gfxtest::StartWindowedRenderer(64, 64);
    GForceMojoShaderProfile = nullptr;
    if (!w.renderer) return pWorld;
    w.shaders = new EGameShaders(w.renderer);
    w.shaders->InitVertexShaders();
    w.shaders->InitPixelShaders();
    CreateRenderResources(w.renderer, w.resources);
    return pWorld;
  }

  static void Stop(ShaderWorld*& pWorld) {
    if (!pWorld) return;
    ShaderWorld& w = *pWorld;
    if (w.renderer) {
      w.renderer->SetTextureStages(nullptr, 0);
      DestroyRenderResources(w.renderer, w.resources);
      w.shaders->ShutdownVertexShaders();
      w.shaders->ShutdownPixelShaders();
      for (EGamePixelShader wipe : {kGPS_ScreenWipeSub, kGPS_ScreenWipeAdd})
        if (w.shaders->GetPixelShader(wipe)) w.renderer->DeletePixelShader(w.shaders->GetPixelShader(wipe));
      delete w.shaders;
      w.renderer->Shutdown();
      delete w.renderer;
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    gFile = &gFile_twutil;
    delete w.manager;
    delete pWorld;
    pWorld = nullptr;
  }
};

// One pixel of the window read back through GL's glReadPixels, as 0..255.
typedef void (*GLReadPixelsFn)(int, int, int, int, unsigned, unsigned, void*);
inline EVec3 ReadRgb(GLReadPixelsFn pfnRead, int x, int y) {
  unsigned char px[4] = {};
  pfnRead(x, y, 1, 1, 0x1908 /* RGBA */, 0x1401 /* UNSIGNED_BYTE */, px);
  return EVec3(px[0], px[1], px[2]);
}
inline void ExpectRgbAt(GLReadPixelsFn pfnRead, int x, int y, float red, float green, float blue, float tol) {
  const EVec3 c = ReadRgb(pfnRead, x, y);
  EXPECT_NEAR(red, c.x, tol) << "red at " << x << "," << y;
  EXPECT_NEAR(green, c.y, tol) << "green at " << x << "," << y;
  EXPECT_NEAR(blue, c.z, tol) << "blue at " << x << "," << y;
}
