// Natives that build line collisions and query positions along them.
#include <vector>

#include "Game/GameApp.h"
#include "ScriptVM/LuaHelper.h"
#include "ScriptVM/ScriptObject.h"
#include "TWMath/MathGeneral.h"
#include "TWMath/Primitives.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/Domain.h"
#include "VERirezo/LineCollision.h"
#include "VERirezo/Physics.h"
#include "VERirezo/Scene.h"

namespace scriptline {

// The points and normals "AddLineCollision" gathers for the next "EndLineCollision".
std::vector<EVec3> s_aPendingPoint;
std::vector<EVec3> s_aPendingNormal;

// The line collision of the entity argument, or null.
ELineCollision* LinesArg(lua_State* L, int iIndex) {
  EEntity* pEntity = Lua_LSOToEntity(L, LuaArg(iIndex), false);
  return pEntity ? pEntity->GetLineCollision() : nullptr;
}

EVec3 VectorArg(lua_State* L, int iIndex) {
  return EVec3(Lua_ToNumberStrict(L, iIndex, false), Lua_ToNumberStrict(L, iIndex + 1, false),
               Lua_ToNumberStrict(L, iIndex + 2, false));
}

ECollisionManager* CurrentCollisionManager() {
  ESceneManager* pScenes = gGameApp ? gGameApp->GetSceneManager() : nullptr;
  EDomain* pDomain = pScenes ? pScenes->GetActiveDomain() : nullptr;
  ECollisionManager* pCM = pDomain ? pDomain->GetCollisionManager() : nullptr;
  return pCM ? pCM : &ECollisionManager::sm_CM;
}

}  // namespace scriptline

// StartLineCollision(): forgets the points gathered so far.
LUA_NATIVE(StartLineCollision) {
  if (!_lh_checkArgs(L, 0, 0)) return 0;
  scriptline::s_aPendingPoint.clear();
  scriptline::s_aPendingNormal.clear();
  return 0;
}

// AddLineCollision(x, y, z, nx, ny, nz): one more point and its normal.
LUA_NATIVE(AddLineCollision) {
  if (!_lh_checkArgs(L, 6, 6)) return 0;
  scriptline::s_aPendingPoint.push_back(scriptline::VectorArg(L, 1));
  scriptline::s_aPendingNormal.push_back(scriptline::VectorArg(L, 4));
  return 0;
}

// EndLineCollision(entity, radius): the gathered points become the entity's
// line collision, with distance times.
LUA_NATIVE(EndLineCollision) {
  if (!_lh_checkArgs(L, 2, 2)) return 0;
  EEntity* pEntity = Lua_LSOToEntity(L, LuaArg(1), false);
  const float fRadius = Lua_ToNumberStrict(L, 2, false);
  if (!pEntity) return 0;
  if (scriptline::s_aPendingPoint.size() < 2) {
    g_ErrorManager.TraceMessagef(TT_Warning, "%s: %s: a line collision needs two points, not %u",
                                 Lua_GetFrameInfo(L), pEntity->GetName(), (unsigned)scriptline::s_aPendingPoint.size());
    return 0;
  }
  ELineCollision* pLines = new ELineCollision(pEntity);
  pLines->SetRadius(fRadius);
  pLines->Init(scriptline::s_aPendingPoint, scriptline::s_aPendingNormal, ELineCollision::kTIME_ArcLength, nullptr,
               false);
  scriptline::s_aPendingPoint.clear();
  scriptline::s_aPendingNormal.clear();
  pEntity->SetLineCollision(pLines);
  pEntity->SetupDefaultCollision();
  return 0;
}

// CreateTightropeCollision(entity, x1, y1, z1, x2, y2, z2, radius): a rope
// from p1 to p2 for a tightrope entity.
LUA_NATIVE(CreateTightropeCollision) {
  if (!_lh_checkArgs(L, 8, 9)) return 0;
  EEntity* pEntity = Lua_LSOToEntity(L, LuaArg(1), false);
  if (!pEntity) return 0;
  const EVec3 p1 = scriptline::VectorArg(L, 2);
  const EVec3 p2 = scriptline::VectorArg(L, 5);
  const float fRadius = Lua_ToNumberStrict(L, 8, true);
  EScriptObject* pObject = pEntity->GetScriptObject();
  if (!pObject || !pObject->IsA("global.props.Tightrope")) {
    g_ErrorManager.TraceMessagef(TT_Warning, "%s: %s is not a global.props.Tightrope", Lua_GetFrameInfo(L),
                                 pEntity->GetName());
    return 0;
  }
  pEntity->SetLineCollision(nullptr);
  const EVec3 vRight = (p2 - p1).CalculateRightVector(EVec3(0.0f, 1.0f, 0.0f));
  std::vector<EVec3> aPoint = {p1, p2};
  std::vector<EVec3> aNormal = {vRight, vRight};
  ELineCollision* pLines = new ELineCollision(pEntity);
  pLines->SetRadius(fRadius);
  pLines->Init(aPoint, aNormal, ELineCollision::kTIME_PointIndex, nullptr, false);
  pEntity->SetLineCollision(pLines);
  pEntity->SetupDefaultCollision();
  return 0;
}

// Spline_AddSkip(entity, t1, [t2]): marks the segments from t1's to t2's.
LUA_NATIVE(Spline_AddSkip) {
  if (!_lh_checkArgs(L, 2, 3)) return 0;
  ELineCollision* pLines = scriptline::LinesArg(L, 1);
  const float t1 = Lua_ToNumberStrict(L, 2, false);
  const float t2 = lua_gettop(L) >= 3 ? Lua_ToNumberStrict(L, 3, false) : t1;
  if (!pLines || pLines->NumSegs() < 1) return 0;
  float fFrac;
  const unsigned dwFirst = pLines->ParametricToSegment(MIN(t1, t2), &fFrac);
  const unsigned dwLast = pLines->ParametricToSegment(MAX(t1, t2), &fFrac);
  for (unsigned i = dwFirst; i <= dwLast; ++i) pLines->AddSkip((int)i);
  return 0;
}

// Spline_ClearSkips(entity).
LUA_NATIVE(Spline_ClearSkips) {
  if (!_lh_checkArgs(L, 1, 1)) return 0;
  ELineCollision* pLines = scriptline::LinesArg(L, 1);
  if (pLines) pLines->ClearSkips();
  return 0;
}

// Spline_ParametricToPoint(entity, t): x, y, z of the polyline's point.
LUA_NATIVE(Spline_ParametricToPoint) {
  if (!_lh_checkArgs(L, 2, 2)) return 0;
  ELineCollision* pLines = scriptline::LinesArg(L, 1);
  const float t = Lua_ToNumberStrict(L, 2, false);
  if (!pLines) return 0;
  Lua_PushVector(L, pLines->ParametricToPoint(t));
  return 3;
}

// Spline_GetRight(entity, t): the unit right vector of the spline at t.
LUA_NATIVE(Spline_GetRight) {
  if (!_lh_checkArgs(L, 2, 2)) return 0;
  ELineCollision* pLines = scriptline::LinesArg(L, 1);
  const float t = Lua_ToNumberStrict(L, 2, false);
  if (!pLines) return 0;
  EVec3 vTangent;
  pLines->ParametricToInfoTCB(t, nullptr, &vTangent, nullptr);
  EVec3 vRight = vTangent.Cross(pLines->GetSmoothedNormal(t));
  vRight.Normalize();
  Lua_PushVector(L, vRight);
  return 3;
}

// Spline_FindClosestTo(entity, x, y, z): the time of the line's point nearest to p.
LUA_NATIVE(Spline_FindClosestTo) {
  if (!_lh_checkArgs(L, 4, 4)) return 0;
  EEntity* pEntity = Lua_LSOToEntity(L, LuaArg(1), false);
  const EVec3 p = scriptline::VectorArg(L, 2);
  ELineCollision* pLines = pEntity ? pEntity->GetLineCollision() : nullptr;
  if (!pLines || pLines->NumSegs() < 1) return 0;
  const EPhysics* pPhys = pEntity->GetPhysics();
  const EVec3 vLocal = pPhys ? pPhys->GetInvTrans().TransformPoint(p) : p;
  int iSeg;
  float fFrac;
  Distance(vLocal, *pLines, iSeg, fFrac, true);
  lua_pushnumber(L, pLines->GetT((unsigned)iSeg, fFrac));
  return 1;
}

// Spline_FindClosest(x, y, z): the script object and time of the nearest
// line collision within 5 units of p, or nothing.
LUA_NATIVE(Spline_FindClosest) {
  if (!_lh_checkArgs(L, 3, 3)) return 0;
  const EVec3 p = scriptline::VectorArg(L, 1);
  EMemStack& stack = *GetThreadLocalStack();
  EScriptObject* pBest = nullptr;
  float fBestT = 0.0f;
  {
    EMemMark mark(stack);
    EHitResult* pHits = scriptline::CurrentCollisionManager()->CheckSplines(ESphere(p, 5.0f),
                                                                            gGameApp ? gGameApp->GetPlayer() : nullptr);
    float fBest = 1000000.0f;
    for (EHitResult* h = pHits; h; h = h->pNext) {
      if (!h->pLines) continue;
      const float t = h->pLines->GetT(*h);
      const float d = (h->pLines->ParametricToPoint(t) - p).Length();
      if (d < fBest) {
        fBest = d;
        fBestT = t;
        EEntity* pOwner = h->pLines->GetOwner();
        pBest = pOwner ? pOwner->GetScriptObject() : nullptr;
      }
    }
  }
  if (!pBest) return 0;
  Lua_PushLSO(L, pBest);
  lua_pushnumber(L, fBestT);
  return 2;
}
