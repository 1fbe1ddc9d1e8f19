// Natives that ask for the game's shaders to be reloaded from their files at
// the start of the next frame's drawing.
#include "Game/GameApp.h"
#include "Game/GameShaders.h"
#include "ScriptVM/LuaHelper.h"

LUA_NATIVE(RefreshVertexShaders) {
  if (gGameApp && gGameApp->GetGameShaders()) gGameApp->GetGameShaders()->RequestVertexShaderRefresh();
  return 0;
}

LUA_NATIVE(RefreshPixelShaders) {
  if (gGameApp && gGameApp->GetGameShaders()) gGameApp->GetGameShaders()->RequestPixelShaderRefresh();
  return 0;
}
