// Natives of the freeze manager: records added by scripts and the freeze
// and thaw distances.
#include "Game/GameApp.h"
#include "ScriptVM/LuaHelper.h"
#include "TWMath/MathGeneral.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/String.h"
#include "VERirezo/Domain.h"
#include "VERirezo/FreezeManager.h"
#include "VERirezo/Physics.h"
#include "VERirezo/Scene.h"

// AddFrozen(class [, placement text]): a record in front of the player.
LUA_NATIVE(AddFrozen) {
  if (!_lh_checkArgs(L, 1, 2)) return 0;
  const char* szClass = Lua_ToStringStrict(L, 1, false);
  if (!szClass) {
    g_ErrorManager.TraceMessagef(TT_Warning, "%s: AddFrozen needs a class name", Lua_GetFrameInfo(L));
    return 0;
  }
  EFreezeManager* pFreeze = gGameApp ? gGameApp->GetFreezeManager() : nullptr;
  EEntity* pPlayer = gGameApp ? gGameApp->GetPlayer() : nullptr;
  ESceneManager* pScenes = gGameApp ? gGameApp->GetSceneManager() : nullptr;
  EDomain* pRoot = pScenes ? pScenes->GetDefaultSceneRootDomain() : nullptr;
  if (!pFreeze || !pPlayer || !pRoot) return 0;
  const EMat4& mPlayer = pPlayer->GetPhysics()->GetAbsTrans();
  char* szText = StringDuplicatePooled(Lua_ToStringStrict(L, 2, true), kMEMTYPE_String);
  pFreeze->AddEntity(szClass, szText, pRoot->FindDomain("Level"), mPlayer.TransformPoint(EVec3(0, 20, 200)),
                     EQuat(mPlayer));
  if (szText) StringFreePooled(szText, kMEMTYPE_String);  // not taken
  return 0;
}

LUA_NATIVE(GetFreezeThawDists) {
  EFreezeManager* pFreeze = gGameApp ? gGameApp->GetFreezeManager() : nullptr;
  if (!pFreeze) return 0;
  lua_pushnumber(L, FastSqrt(pFreeze->GetThawDistSq()));
  lua_pushnumber(L, FastSqrt(pFreeze->GetFreezeDistSq()));
  return 2;
}

// SetFreezeThawDists(distance [, unused])
LUA_NATIVE(SetFreezeThawDists) {
  if (!_lh_checkArgs(L, 1, 2)) return 0;
  float fDist = Lua_ToNumberStrict(L, 1, false);
  if (fDist < 1.0f) fDist = 1.0f;
  if (EFreezeManager* pFreeze = gGameApp ? gGameApp->GetFreezeManager() : nullptr) pFreeze->SetDistances(fDist, fDist);
  return 0;
}
