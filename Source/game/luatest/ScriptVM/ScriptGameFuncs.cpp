// Natives that reach engine objects directly: the camera, entity movement,
// build queries, the domain tree, the gameplay logger, script pausing, the
// clairvoyance cloud and the player's confusion and jumps.
#include <cstring>

#include "Entity/KnapsackConstants.h"
#include "Entity/PlayerEntity.h"
#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "Game/GameplayLogger.h"
#include "Game/PlayerControlHandler.h"
#include "ScriptVM/LuaHelper.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptVM.h"
#include "TWMath/MathGeneral.h"
#include "TWMath/Matrix.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Joint.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/FreezeManager.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/MeshEntityActions.h"
#include "VERirezo/Physics.h"
#include "VERirezo/Scene.h"
#include "VERirezo/Skeleton.h"

// Read by nothing; scripts may set it.
float g_fHACKAnimYaw = 0.0f;

LUA_NATIVE(GetBillboard) {
  ECamera* pCamera = gGameApp ? gGameApp->GetRenderCamera() : nullptr;
  if (!pCamera) return 0;
  EVec3 x, y, z;
  pCamera->GetBillboardMatrix().GetBasisVectors(x, y, z);
  Lua_PushVector(L, y);
  Lua_PushVector(L, x);
  return 6;
}

LUA_NATIVE(PurgeBlendAnims) { return 0; }

// NudgeTowardPosition(entity, x, y, z, rate [, orient]): turns the velocity
// toward the target by at most rate degrees per second.
LUA_NATIVE(NudgeTowardPosition) {
  if (!_lh_checkArgs(L, 5, 6)) return 0;
  EEntity* pEntity = Lua_LSOToEntity(L, LuaArg(1), false);
  if (!pEntity) return 0;
  const EVec3 vTarget(Lua_ToNumberStrict(L, 2, false), Lua_ToNumberStrict(L, 3, false),
                      Lua_ToNumberStrict(L, 4, false));
  const float fRate = Lua_ToNumberStrict(L, 5, false);
  const bool bOrient = lua_gettop(L) >= 6 && Lua_ToNumberStrict(L, 6, true) != 0.0f;

  EVec3 v = pEntity->GetVelocity();
  const float fSpeed = v.Length();
  v.Normalize();
  EVec3 w = vTarget - pEntity->GetPosition();
  w.Normalize();
  const float fAngle = ArcCos(v.Dot(w));
  if (fAngle < 0.00001f) return 0;
  const float fMax = fRate * (gGameApp ? gGameApp->GetSimDeltaTime() : 0.0f);
  EVec3 n = w;
  if (fAngle > fMax) {
    g_ErrorManager.TraceMessagef("Capping %f degrees to %f\n", (double)fAngle, (double)fMax);
    const float f = fMax / fAngle;
    n = w * f + v * (1.0f - f);
    n.Normalize();
  }
  if (bOrient) {
    // the rotation of the new heading
    EPhysics* pPhysics = pEntity->GetPhysics();
    pPhysics->SetAbsRotation(MatrixRotateEuler(EEuler(n.CartesianToEuler())), false);
  }
  pEntity->SetVelocity(n * fSpeed);
  pEntity->GetPhysics()->DebugCheckCollision("Luanudge");
  return 0;
}

LUA_NATIVE(IsRunningAtTW) {
  lua_pushnumber(L, gGameApp && !gGameApp->GetPrefs().m_bMainMenu ? 1.0f : 0.0f);
  return 1;
}

LUA_NATIVE(IsOXMBuild) {
  lua_pushnumber(L, gGameApp && gGameApp->GetPrefs().m_bOxmBuild ? 1.0f : 0.0f);
  return 1;
}

namespace script_game {
// Deeper levels are written with the indentation of the deepest one.
const int kListIndentLevels = 24;

void ListDomainTree(EDomain* pDomain, int iLevel) {
  char szIndent[100];
  const int iSpaces = 4 * (iLevel < kListIndentLevels ? iLevel : kListIndentLevels);
  memset(szIndent, ' ', (size_t)iSpaces);
  szIndent[iSpaces] = '\0';
  ScriptConsoleLine("%s%s", szIndent, pDomain->GetName() ? pDomain->GetName() : "Root");
  const EList<EDomain*>& children = pDomain->GetChildDomains();
  for (POSITION pos = children.GetHeadPosition(); pos;) ListDomainTree(children.GetNext(pos), iLevel + 1);
}
}  // namespace script_game

LUA_NATIVE(ListDomains) {
  if (!_lh_checkArgs(L, 0, 1)) return 0;
  ESceneManager* pScenes = gGameApp ? gGameApp->GetSceneManager() : nullptr;
  EDomain* pDomain = pScenes ? pScenes->GetDefaultSceneRootDomain() : nullptr;
  const char* szName = lua_gettop(L) >= 1 ? Lua_ToStringStrict(L, 1, true) : nullptr;
  if (pDomain && szName) pDomain = pDomain->FindDomain(szName);
  if (!pDomain) {
    g_ErrorManager.TraceMessagef("ListDomains Error: Could not find domain '%s'\n", szName ? szName : "");
    return 0;
  }
  ScriptConsoleLine("Listing domains starting at '%s'", pDomain->GetName() ? pDomain->GetName() : "Root");
  script_game::ListDomainTree(pDomain, 0);
  return 0;
}

// GameLog(type, values...): one record of the gameplay logger.
LUA_NATIVE(GameLog) {
  if (!_lh_checkArgs(L, 1, 5)) return 0;
  const char* szType = Lua_ToStringStrict(L, 1, false);
  if (!g_pGameplayLogger) return 0;
  uint32_t uCode = 0;
  bool bEnded = !szType;
  for (int i = 0; i < 4; ++i) {
    const char c = bEnded || !szType[i] ? ' ' : szType[i];
    if (!bEnded && !szType[i]) bEnded = true;
    uCode = (uCode << 8) | (uint8_t)c;
  }
  g_pGameplayLogger->LogStart(uCode);
  for (int i = 2; i <= lua_gettop(L); ++i) {
    if (lua_type(L, i) == LUA_TSTRING) {
      g_pGameplayLogger->LogWrite(lua_tostring(L, i), false);
    } else if (lua_istable(L, i) && lua_tag(L, i) == gLuaInheritTag) {
      g_pGameplayLogger->LogWrite(Lua_LSOToEntity(L, LuaArg(i), true));
    } else {
      g_pGameplayLogger->LogWrite(Lua_ToNumberStrict(L, i, true));
    }
  }
  g_pGameplayLogger->LogEnd();
  return 0;
}

LUA_NATIVE(SetHackAnimYaw) {
  if (!_lh_checkArgs(L, 1, 1)) return 0;
  g_fHACKAnimYaw = Lua_ToNumberStrict(L, 1, false);
  return 0;
}

// Get2DCoordsFromPos(entity [, scale]): screen x, y and 1000 / depth * scale.
LUA_NATIVE(Get2DCoordsFromPos) {
  if (!_lh_checkArgs(L, 1, 2)) return 0;
  EMeshEntity* pEntity = Lua_LSOToMeshEntity(L, LuaArg(1), false);
  if (!pEntity) return 0;
  const float fScale = lua_gettop(L) >= 2 ? Lua_ToNumberStrict(L, 2, true) : 1.0f;
  ECamera* pCamera = gGameApp ? gGameApp->GetCurrentCamera() : nullptr;
  if (!pCamera) return 0;
  const EVec3 s = pCamera->WorldCoordsToScreen(pEntity->GetPosition(), false);
  const float fDepth = s.z == 0.0f ? 1.0f : s.z;
  lua_pushnumber(L, s.x);
  lua_pushnumber(L, s.y);
  lua_pushnumber(L, 1000.0f / fDepth * fScale);
  return 3;
}

LUA_NATIVE(PauseScript) {
  if (!_lh_checkArgs(L, 2, 2)) return 0;
  EScriptObject* pObject = Lua_LSOToScriptObject(L, LuaArg(1), false, false);
  if (!pObject) return 0;
  pObject->SetPaused((int)Lua_ToNumberStrict(L, 2, false) != 0);
  return 0;
}

LUA_NATIVE(FreezeManager_SetInstaThaw) {
  if (EFreezeManager* pFreeze = gGameApp ? gGameApp->GetFreezeManager() : nullptr) pFreeze->SetInstaThaw();
  return 0;
}

namespace script_game {
// The box of the collision tree of the mesh's model in the tree's own
// coordinates; without a tree, the mesh's world-space collision box (a
// zero box), so that the centre and the extent come from one box.
EBox3 FeelBox(EMesh* pMesh) {
  ECollisionTree* pTree = pMesh->GetCollisionTree();
  return pTree ? pTree->GetBoundingBox() : pMesh->GetTransformedCollisionBoundingBox();
}
}  // namespace script_game

LUA_NATIVE(GetEntityFeelCenter) {
  if (!_lh_checkArgs(L, 1, 1)) return 0;
  EMesh* pMesh = Lua_LSOToMesh(L, LuaArg(1), false);
  if (!pMesh) return 0;
  Lua_PushVector(L, script_game::FeelBox(pMesh).GetCenter());
  return 3;
}

LUA_NATIVE(GetEntityFeelExtent) {
  if (!_lh_checkArgs(L, 1, 1)) return 0;
  EMesh* pMesh = Lua_LSOToMesh(L, LuaArg(1), false);
  if (!pMesh) return 0;
  Lua_PushVector(L, script_game::FeelBox(pMesh).GetExtent());
  return 3;
}

LUA_NATIVE(GetEntityLookCenter) {
  if (!_lh_checkArgs(L, 1, 1)) return 0;
  EMesh* pMesh = Lua_LSOToMesh(L, LuaArg(1), false);
  if (!pMesh) return 0;
  Lua_PushVector(L, pMesh->GetTransformedBoundingBox().GetCenter());
  return 3;
}

// CopyStaticPose(source, target [, by frames])
LUA_NATIVE(CopyStaticPose) {
  if (!_lh_checkArgs(L, 2, 3)) return 0;
  EMesh* pSource = Lua_LSOToMesh(L, LuaArg(1), false);
  EMesh* pTarget = pSource ? Lua_LSOToMesh(L, LuaArg(2), false) : nullptr;
  if (!pTarget) return 0;
  const bool bFrames = lua_gettop(L) >= 3 && Lua_ToNumberStrict(L, 3, true) != 0.0f;
  pTarget->CopyStaticPose(pSource, bFrames);
  return 0;
}

LUA_NATIVE(GetRootJointName) {
  if (!_lh_checkArgs(L, 1, 1)) return 0;
  EMesh* pMesh = Lua_LSOToMesh(L, LuaArg(1), false);
  if (!pMesh || !pMesh->HasSkeleton()) return 0;
  EJoint* pRoot = pMesh->GetSkeleton(0)->GetRootJoint();
  if (!pRoot) return 0;
  lua_pushstring(L, pRoot->GetName());
  return 1;
}

LUA_NATIVE(SetKnapsackConstant) {
  if (!_lh_checkArgs(L, 2, 2)) return 0;
  const int i = (int)Lua_ToNumberStrict(L, 1, false);
  const float fValue = Lua_ToNumberStrict(L, 2, false);
  if (i < 0 || i >= KNAPSACK_NUM_CONSTANTS) {
    g_ErrorManager.TraceMessagef("ScriptVM: SetKnapsackConstant is setting an invalid constant");
    return 0;
  }
  SetKnapsackConstant((KNAPSACK_CONSTANT)i, fValue);
  return 0;
}

LUA_NATIVE(GetKnapsackConstant) {
  if (!_lh_checkArgs(L, 1, 1)) return 0;
  const int i = (int)Lua_ToNumberStrict(L, 1, false);
  if (i < 0 || i >= KNAPSACK_NUM_CONSTANTS) {
    g_ErrorManager.TraceMessagef("ScriptVM: GetKnapsackConstant is setting an invalid constant");
    return 0;
  }
  lua_pushnumber(L, GetKnapsackConstant((KNAPSACK_CONSTANT)i));
  return 1;
}

LUA_NATIVE(SetViewCone) {
  if (!_lh_checkArgs(L, 2, 2)) return 0;
  EMeshEntity* pEntity = Lua_LSOToMeshEntity(L, LuaArg(1), false);
  if (!pEntity) return 0;
  pEntity->SetViewCone(Lua_ToNumberStrict(L, 2, false));
  return 0;
}

LUA_NATIVE(SetEntityAnimationMovementScale) {
  if (!_lh_checkArgs(L, 2, 2)) return 0;
  EMeshEntity* pEntity = Lua_LSOToMeshEntity(L, LuaArg(1), false);
  if (!pEntity) return 0;
  pEntity->SetAnimationMovementScale(Lua_ToNumberStrict(L, 2, false));
  return 0;
}

// Levitate(entity, height, unused): lifts the entity by height.
LUA_NATIVE(Levitate) {
  if (!_lh_checkArgs(L, 3, 3)) return 0;
  EMeshEntity* pEntity = Lua_LSOToMeshEntity(L, LuaArg(1), false);
  if (!pEntity) return 0;
  const float fHeight = Lua_ToNumberStrict(L, 2, false);
  Lua_ToNumberStrict(L, 3, false);
  EPhysics* pPhysics = pEntity->GetPhysics();
  pPhysics->AddRelPosition(EVec3(0, fHeight, 0));
  return 0;
}

// SetEditableLightMode(mode): any mode but 0 hides the meshes' precomputed
// lighting.
LUA_NATIVE(SetEditableLightMode) {
  if (!_lh_checkArgs(L, 1, 1)) return 0;
  const int iMode = (int)Lua_ToNumberStrict(L, 1, false);
  if (gGameApp) gGameApp->m_DebugHooks.m_bPrecomputedLighting = iMode == 0;
  return 0;
}

// EnterClairvoyanceCloud([red, green, blue, alpha]): 0 to 255 each.
LUA_NATIVE(EnterClairvoyanceCloud) {
  if (!_lh_checkArgs(L, 0, 4)) return 0;
  const float aDefaults[4] = {252, 103, 0, 51};
  float aColour[4];
  for (int i = 0; i < 4; ++i)
    aColour[i] = (lua_gettop(L) > i ? Lua_ToNumberStrict(L, i + 1, true) : aDefaults[i]) / 255.0f;
  if (gGameApp) gGameApp->InitClairvoyanceCloud(EVec4(aColour[0], aColour[1], aColour[2], aColour[3]));
  return 0;
}

LUA_NATIVE(ExitClairvoyanceCloud) {
  if (!_lh_checkArgs(L, 0, 0)) return 0;
  if (gGameApp) gGameApp->ExitClairvoyanceCloud();
  return 0;
}

namespace script_game {
EPlayerEntity* Player() {
  EEntity* pPlayer = gGameApp ? gGameApp->GetPlayer() : nullptr;
  return pPlayer && pPlayer->IsA(EPlayerEntity::StaticClass()) ? static_cast<EPlayerEntity*>(pPlayer) : nullptr;
}
}  // namespace script_game

LUA_NATIVE(SetPlayerIsConfused) {
  if (!_lh_checkArgs(L, 1, 1)) return 0;
  const bool bConfused = Lua_ToNumberStrict(L, 1, false) != 0.0f;
  if (EPlayerEntity* pPlayer = script_game::Player()) pPlayer->SetConfused(bConfused);
  return 0;
}

// ForceZolJump(jump name): the player jumps from where it stands, on foot.
LUA_NATIVE(ForceZolJump) {
  if (!_lh_checkArgs(L, 1, 1)) return 0;
  const char* szJump = Lua_ToStringStrict(L, 1, false);
  EPlayerEntity* pPlayer = script_game::Player();
  if (!pPlayer) return 0;
  EControlHandler* pHandler = gGameApp->GetControlHandler(kCONTROL_PLAYER);
  if (pHandler && gGameApp->GetControlHandlerType() != kCONTROL_PLAYER)
    gGameApp->SetControlHandler(kCONTROL_PLAYER, nullptr);
  pPlayer->SetNewActionEx(kAS_Stand, nullptr, true, nullptr);
  pPlayer->SetPhysicsStateFlag(PHYSICSSTATE_ONWALKABLEGROUND);
  if (pHandler && pHandler->Type() == kCONTROL_PLAYER)
    static_cast<EPlayerControlHandler*>(pHandler)->TransitionToJump(true, szJump);
  return 0;
}
