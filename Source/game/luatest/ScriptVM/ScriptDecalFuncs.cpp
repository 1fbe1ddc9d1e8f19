// Natives that place and remove decals.
#include "Game/GameApp.h"
#include "ScriptVM/LuaHelper.h"
#include "TWGraphics/Renderer.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/Decal.h"
#include "VERirezo/Domain.h"
#include "VERirezo/GameTexture.h"
#include "VERirezo/Scene.h"
#include "VERirezo/TextureManager.h"

namespace scriptdecal {

// A texture argument: a texture id or a texture name; 0 when it names none.
uint32_t TextureArg(lua_State* L, int iIndex) {
  EGameTextureManager* pTextures = gGameApp ? gGameApp->GetGameTextureManager() : nullptr;
  if (!pTextures || lua_gettop(L) < iIndex || lua_isnil(L, iIndex)) return 0;
  if (lua_type(L, iIndex) == LUA_TSTRING) {
    const EGameTexture* pTexture = pTextures->FindTextureByName(lua_tostring(L, iIndex));
    return pTexture ? pTexture->m_id : 0;
  }
  const uint32_t id = (uint32_t)lua_toid(L, iIndex);
  return id && pTextures->GetTexture(id) ? id : 0;
}

float NumberOr(lua_State* L, int iIndex, float fDefault) {
  return lua_gettop(L) >= iIndex ? Lua_ToNumberStrict(L, iIndex, true) : fDefault;
}

}  // namespace scriptdecal

// AttachDecal(texture, life, px, py, pz, dx, dy, dz, width, height, [ux, uy,
// uz], [alpha], [red, green, blue], [fade1], [fade2]): the decal's id and
// the point hit, or nothing when the ray hits nothing.
LUA_NATIVE(AttachDecal) {
  if (!_lh_checkArgs(L, 10, 19)) return 0;
  EDecalManager* pDecals = gGameApp ? gGameApp->GetDecalManager() : nullptr;
  const int n = lua_gettop(L);
  uint32_t idTexture = scriptdecal::TextureArg(L, 1);
  const float fLife = Lua_ToNumberStrict(L, 2, false);
  const EVec3 p(Lua_ToNumberStrict(L, 3, false), Lua_ToNumberStrict(L, 4, false), Lua_ToNumberStrict(L, 5, false));
  EVec3 d(Lua_ToNumberStrict(L, 6, false), Lua_ToNumberStrict(L, 7, false), Lua_ToNumberStrict(L, 8, false));
  float fWidth = Lua_ToNumberStrict(L, 9, false), fHeight = Lua_ToNumberStrict(L, 10, false);
  EVec3 u(1, 0, 0);
  if (n > 10)
    u = EVec3(scriptdecal::NumberOr(L, 11, 0), scriptdecal::NumberOr(L, 12, 0), scriptdecal::NumberOr(L, 13, 0));
  const float fAlpha = n > 13 ? scriptdecal::NumberOr(L, 14, 0) : 1.0f;
  EVec3 rgb(1, 1, 1);
  if (n > 14)
    rgb = EVec3(scriptdecal::NumberOr(L, 15, 0), scriptdecal::NumberOr(L, 16, 0), scriptdecal::NumberOr(L, 17, 0));
  const float fFade1 = n > 17 ? scriptdecal::NumberOr(L, 18, 0) : 0.0f;
  const float fFade2 = n > 18 ? scriptdecal::NumberOr(L, 19, 0) : 0.0f;

  d.Normalize();
  if (d.Parallel(u)) u = d.CalculateRightVector(EVec3(0, 1, 0));

  EDomain* pDomain = gGameApp && gGameApp->GetSceneManager() ? gGameApp->GetSceneManager()->GetActiveDomain() : nullptr;
  ECollisionManager* pCM = pDomain ? pDomain->GetCollisionManager() : nullptr;
  if (!pCM || !pDecals) return 0;
  ECollide query;
  query.pIgnore = gGameApp->GetPlayer();
  query.dwFlags |= kCOLLIDEFLAG_IgnoreSpheres | kCOLLIDEFLAG_IgnoreTrapeze;
  query.fRadius = 1.0f;
  query.InitSegment(p, p + d * 1000.0f);
  if (!pCM->CheckCollision(query)) return 0;

  if (!idTexture) idTexture = gGameApp->m_idErrorTexture;
  if (fWidth == 0.0f || fHeight == 0.0f) {
    unsigned w = 0, h = 0;
    EGameTextureManager* pTextures = gGameApp->GetGameTextureManager();
    const HTEXTURE hTexture = pTextures ? pTextures->GetTextureHandle(idTexture) : 0;
    if (hTexture && g_pCurrentRenderer) g_pCurrentRenderer->GetTextureDimensions(hTexture, w, h);
    fWidth = (float)w;
    fHeight = (float)h;
  }
  const float fClamped = fAlpha < 0.0f ? 0.0f : (fAlpha > 1.0f ? 1.0f : fAlpha);
  const EVec4 colour(rgb.x, rgb.y, rgb.z, fClamped);
  query.vNormal.Normalize();
  const EVec2 size(fWidth, fHeight);
  const uint32_t id = pDecals->AttachDecal(idTexture, query, u, fLife, 0, &colour, &size, 0.0f, fFade1, fFade2);
  lua_pushid(L, id);
  Lua_PushVector(L, query.vEnd);
  return 4;
}

// RemoveDecal(id, [now]): deleted at once when now is given and not 0,
// otherwise expiring.
LUA_NATIVE(RemoveDecal) {
  if (!_lh_checkArgs(L, 1, 2)) return 0;
  EDecalManager* pDecals = gGameApp ? gGameApp->GetDecalManager() : nullptr;
  const uint32_t id = (uint32_t)lua_toid(L, 1);
  const bool bNow = lua_gettop(L) >= 2 && Lua_ToNumberStrict(L, 2, true) != 0.0f;
  if (!pDecals) return 0;
  if (bNow)
    pDecals->RemoveDecal(id);
  else
    pDecals->ExpireDecal(id);
  return 0;
}

// RemoveAllDecals([entity], [texture]): the decals on the entity's mesh (any
// without one) with the texture (any without one).
LUA_NATIVE(RemoveAllDecals) {
  if (!_lh_checkArgs(L, 0, 2)) return 0;
  EDecalManager* pDecals = gGameApp ? gGameApp->GetDecalManager() : nullptr;
  EMesh* pMesh = nullptr;
  if (lua_gettop(L) >= 1 && !lua_isnil(L, 1)) {
    pMesh = Lua_LSOToMesh(L, LuaArg(1), true);
    if (!pMesh) return 0;
  }
  const uint32_t idTexture = scriptdecal::TextureArg(L, 2);
  if (pDecals) pDecals->RemoveReferences(pMesh, idTexture);
  return 0;
}
