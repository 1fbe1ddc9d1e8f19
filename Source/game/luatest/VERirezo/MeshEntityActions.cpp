// Mesh-entity actions: the action table of an entity, changes of action
// with their end and begin lists, the running list item by item, the ledge
// placements of hanging animations and the movement animations carry.
#include <strings.h>

#include <cmath>
#include <cstdarg>
#include <cstring>

#include "Game/ControlHandler.h"
#include "Game/GameApp.h"
#include "Lua/lua.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/String.h"
#include "VERirezo/ActionTable.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/MeshEntityActions.h"
#include "VERirezo/Physics.h"
#include "VERirezo/SkelAnim.h"
#include "VERirezo/SkelAnimInstance.h"
#include "VERirezo/Skeleton.h"

#define MESHENTITY_DEFINE_AS(id, name) int kAS_##id = 0xFFFF;
#define MESHENTITY_DEFINE_BAS(id, name) int kBAS_##id = 0xFFFF;
MESHENTITY_PLAYER_ACTIONS(MESHENTITY_DEFINE_AS)
MESHENTITY_BUBBLE_ACTIONS(MESHENTITY_DEFINE_BAS)
#undef MESHENTITY_DEFINE_AS
#undef MESHENTITY_DEFINE_BAS

namespace meshentityactions {

bool g_bPlayerActionsResolved = false;
bool g_bBubbleActionsResolved = false;

// Option bits of an animation item.
enum : uint8_t {
  kANIM_Wait = 0x01,
  kANIM_RecheckAfterAffectors = 0x02,
  kANIM_Restack = 0x04,
  kANIM_WaitForBlendIn = 0x08,
  kANIM_Ledge = 0x10,
  kANIM_Alternate = 0x20,
  kANIM_FreezeOthers = 0x40,
};

// Custom item kinds.
enum { kCUSTOM_RandomIdle = 1, kCUSTOM_PauseControls = 2, kCUSTOM_DontRunControls = 3, kCUSTOM_Wait = 4 };

// The highest action number InActions accepts.
const int kMAX_ACTION_NUMBER = 150;
// Animation deltas beyond this are damaged data.
const float kMAX_ANIM_DELTA = 10000000.0f;
const float kMIN_LIGHT_MOVE = 0.00001f;

const char* OrEmpty(const char* sz) { return sz ? sz : ""; }

// Where hanging animations put their root.
const EVec3& LedgeHangRoot() {
  static const EVec3 s_vRoot(0.0f, 150.0f, 38.0f);
  return s_vRoot;
}
const EVec3& LedgeDropOffset() {
  static const EVec3 s_vOffset(0.0f, 182.6f, 40.0f);
  return s_vOffset;
}

// A wait's start time rides in the position's data word.
float WaitStart(const EActionPos& pos) {
  float f = 0.0f;
  memcpy(&f, &pos.m_pData, sizeof(f));
  return f;
}
void SetWaitStart(EActionPos& pos, float f) {
  pos.m_pData = nullptr;
  memcpy(&pos.m_pData, &f, sizeof(f));
}

double SimTime() { return gGameApp ? gGameApp->GetSimElapsedTime() : 0.0; }

}  // namespace meshentityactions

// ---------------------------------------------------------------------------
// The table

bool EMeshEntity::SetActionTable(const char* szPath, bool bPreload, int) {
  EFile* pFile = gFile ? gFile->Open(szPath, FILE_READ, kFILELOC_Default) : nullptr;
  if (!pFile) {
    g_ErrorManager.TraceMessagef("EMeshEntity:: Could not find file for SetActionTable");
    return false;
  }
  delete m_pActionTable;
  m_pActionTable = nullptr;
  m_iCurAction = -1;
  // The running list pointed into the old table.
  *m_pActionPos = EActionPos();

  const int iSize = pFile->GetFilesize();
  char* pBuffer = new char[iSize > 0 ? iSize : 1];
  const int iRead = iSize > 0 ? pFile->Read(pBuffer, iSize) : 0;
  pFile->Close();
  if (iRead != iSize) {
    // A table that cannot be read whole is not taken.
    g_ErrorManager.TraceMessagef("EMeshEntity:: Did not read in entire file");
    delete[] pBuffer;
    return false;
  }

  m_pActionTable = new EActionTable;
  EMemFile mem;
  mem.Open(pBuffer, (unsigned)iSize, false, false);
  const bool bRead = m_pActionTable->ReadActionTable(mem);
  mem.Close();
  delete[] pBuffer;
  if (!bRead) {
    g_ErrorManager.TraceMessagef("EMeshEntity: Error loading Action Table for file '%s'", szPath);
    return false;
  }
  if (bPreload) m_pActionTable->PreloadAnims();
  ResolvePlayerActionNumbers(szPath);
  return true;
}

void EMeshEntity::ResolvePlayerActionNumbers(const char* szPath) {
  using namespace meshentityactions;
  if (!g_bPlayerActionsResolved &&
      (strstr(szPath, "ruzi.asd") || strstr(szPath, "Ruzi.asd") || strstr(szPath, "ZolNew.asd"))) {
#define MESHENTITY_RESOLVE_AS(id, name) kAS_##id = GetActionNumber(name);
    MESHENTITY_PLAYER_ACTIONS(MESHENTITY_RESOLVE_AS)
#undef MESHENTITY_RESOLVE_AS
    // Content error: the player's table must have both.
    if (kAS_Anim_Preload == 0xFFFF)
      g_ErrorManager.TraceMessagef(TT_Warning, "%s: action table '%s' has no state '%s'", GetName(), szPath,
                                   "_Preload");
    if (kAS_Wince == 0xFFFF)
      g_ErrorManager.TraceMessagef(TT_Warning, "%s: action table '%s' has no state '%s'", GetName(), szPath, "Wince");
    g_bPlayerActionsResolved = true;
  }
  if (!g_bBubbleActionsResolved && strstr(szPath, "ThoughtBubble.asd")) {
#define MESHENTITY_RESOLVE_BAS(id, name) kBAS_##id = GetActionNumber(name);
    MESHENTITY_BUBBLE_ACTIONS(MESHENTITY_RESOLVE_BAS)
#undef MESHENTITY_RESOLVE_BAS
    g_bBubbleActionsResolved = true;
  }
}

int EMeshEntity::GetActionNumber(const char* szStateName) const {
  if (!m_pActionTable || !szStateName) return m_iCurAction;
  return (uint16_t)m_pActionTable->GetStateIndex(szStateName);
}

const char* EMeshEntity::GetActionName(int iAction) const {
  if (!m_pActionTable) return nullptr;
  if (iAction == -1) iAction = m_iCurAction;
  if (iAction < 0 || iAction >= m_pActionTable->GetNumStates()) return nullptr;
  return m_pActionTable->GetStateName(iAction);
}

bool EMeshEntity::InActions(int n, ...) const {
  va_list args;
  va_start(args, n);
  bool bResult = false;
  for (int v = n; v != 0; v = va_arg(args, int)) {
    if (v < 0 || v > meshentityactions::kMAX_ACTION_NUMBER) {
      g_ErrorManager.TraceMessagef(TT_Warning, "%s: Bogus action number %d", GetName(), v);
      break;
    }
    if (v == m_iCurAction) {
      bResult = true;
      break;
    }
  }
  va_end(args);
  return bResult;
}

bool EMeshEntity::InActionType(const char* szPattern) const {
  const char* szName = GetActionName(-1);
  return szName && szPattern && strstr(szName, szPattern) != nullptr;
}

// ---------------------------------------------------------------------------
// Changes of action

bool EMeshEntity::SetNewAction(const char* szStateName, bool bRunNow) {
  if (!m_pActionTable) return false;
  const int iFound = m_pActionTable->GetStateIndex(szStateName);
  const int iIndex = (uint16_t)iFound;
  if (iIndex == m_iCurAction) return true;
  if (iFound < 0) {
    g_ErrorManager.TraceMessagef("SetNewAction: %s could not get index for '%s'", GetName(),
                                 meshentityactions::OrEmpty(szStateName));
    return false;
  }
  return SetNewAction_internal(iIndex, bRunNow, nullptr);
}

bool EMeshEntity::SetNewActionEx(int iAction, const char* szReason, bool bRunNow, const char* szAltAnim) {
  using meshentityactions::OrEmpty;
  if (iAction == m_iCurAction) return true;
  if (szReason) {
    g_ErrorManager.TraceMessagef("%s: %s -> %s (%s) %s", GetName(), OrEmpty(GetActionName(m_iCurAction)),
                                 OrEmpty(GetActionName(iAction)), szReason, OrEmpty(szAltAnim));
  }
  return SetNewAction_internal(iAction, bRunNow, szAltAnim);
}

bool EMeshEntity::SetNewActionEx(const char* szStateName, const char* szReason, bool bRunNow,
                                 const char* szAltAnim) {
  if (!m_pActionTable) return false;
  return SetNewActionEx((uint16_t)m_pActionTable->GetStateIndex(szStateName), szReason, bRunNow, szAltAnim);
}

bool EMeshEntity::SetNewAction_internal(int iNew, bool bRunNow, const char* szAltAnim) {
  using meshentityactions::OrEmpty;
  EActionTable* pTable = m_pActionTable;
  if (!pTable) return false;
  if (g_ErrorManager.IsEnabled(TT_Action)) {
    g_ErrorManager.TraceMessagef(TT_Action, "%s: %s -> %s", GetName(), OrEmpty(GetActionName(m_iCurAction)),
                                 OrEmpty(GetActionName(iNew)));
  }
  if (m_iCurAction == -1) {
    const int iInit = pTable->GetStateIndex("Init");
    if (iInit < 0) g_ErrorManager.TraceMessagef(TT_Warning, "No Init state");
    m_iCurAction = iInit < 0 ? 0 : iInit;
  }
  if (iNew == m_iCurAction) return true;
  if (iNew == -1) return false;
  const EActionState* pState = pTable->GetState(m_iCurAction);
  if (pState && pState->m_bLocked) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Action '%s' is Locked", OrEmpty(pState->m_szName));
    return false;
  }
  EActionListItem* pTransition = pTable->GetEntry(m_iCurAction, iNew);
  if (!pTransition) {
    g_ErrorManager.TraceMessagef("SetNewAction: transition <%s> to <%s> is undefined\n",
                                 OrEmpty(GetActionName(m_iCurAction)), OrEmpty(GetActionName(iNew)));
    return false;
  }
  *m_pActionPos = EActionPos(pTransition);

  // The end list of the state being left. A change asked for from inside
  // it (a go-to or a script) does not run that end list again.
  if (!m_bInEndList) {
    const int iLeaving = m_iCurAction;
    if (EActionListItem* pEnd = pTable->GetEndStateEntry(iLeaving)) {
      EActionPos endPos(pEnd);
      m_bInEndList = true;
      RunActions(endPos, true);
      m_bInEndList = false;
    }
    if (m_iCurAction != iLeaving) return true;
  }

  m_iPrevAction = m_iCurAction;
  m_iCurAction = iNew;
  m_pszAltAnim = szAltAnim;
  if (m_pActionTable == pTable) {
    if (EActionListItem* pBegin = pTable->GetBeginStateEntry(iNew)) {
      EActionPos beginPos(pBegin);
      RunActions(beginPos, true);
    }
  }
  onActionChanged();
  if (bRunNow && m_iCurAction == iNew) RunActions(*m_pActionPos, false);
  return true;
}

// ---------------------------------------------------------------------------
// Running lists

bool EMeshEntity::RunActions(EActionPos& pos, bool bAfterAffectors) {
  while (pos.m_pItem) {
    if (pos.m_pItem->m_iKind == kACTION_End) {
      pos.m_pItem = nullptr;
      pos.m_pData = nullptr;
      break;
    }
    if (!ExecuteAction(pos, bAfterAffectors)) {
      const EActionListItem* pItem = pos.m_pItem;
      return pItem && pItem->m_iKind == kACTION_Anim &&
             (pItem->m_Anim.m_uOptions & (meshentityactions::kANIM_Wait | meshentityactions::kANIM_RecheckAfterAffectors)) ==
                 (meshentityactions::kANIM_Wait | meshentityactions::kANIM_RecheckAfterAffectors) &&
             pos.m_pData != nullptr;
    }
    if (!pos.m_pItem) break;
    ++pos.m_pItem;
    pos.m_pData = nullptr;
    if (pos.m_pItem->m_iKind == kACTION_End) pos.m_pItem = nullptr;
  }
  return false;
}

bool EMeshEntity::ExecuteAction(EActionPos& pos, bool bAfterAffectors) {
  using namespace meshentityactions;
  const EActionListItem* pItem = pos.m_pItem;
  switch (pItem->m_iKind) {
    case kACTION_Anim: {
      const uint8_t uOptions = pItem->m_Anim.m_uOptions;
      ESkelAnim* pRunning = static_cast<ESkelAnim*>(pos.m_pData);
      if (pRunning && (uOptions & kANIM_Wait)) {
        const bool bPlaying = IsPlayingAnim(pRunning);
        if (bPlaying && !pos.m_bInterrupted && pRunning->GetFrame() < (float)pRunning->GetLength()) return false;
        if (bPlaying) pos.m_bInterrupted = false;
        pos.m_pData = nullptr;
        return true;
      }
      if (bAfterAffectors)
        g_ErrorManager.TraceMessagef("ExecuteAction: Warning, anim '%s' playing after affectors have run",
                                     OrEmpty(pItem->m_Anim.m_szFile));
      ELoadAnimArgs args;
      if (pItem->m_Anim.m_iPriority > 0) args.m_iPriority = pItem->m_Anim.m_iPriority;
      if (uOptions & kANIM_Restack) args.m_iStackPos = 0;
      const char* szName = pItem->m_Anim.m_szFile;
      float fSpeed = 1.0f;
      EString sAlternate;
      if ((uOptions & kANIM_Alternate) && GetAlternateAnim(szName, sAlternate, fSpeed)) szName = sAlternate;
      if (m_pszAltAnim) {
        szName = m_pszAltAnim;
        m_pszAltAnim = nullptr;
      }
      ESkelAnim* pAnim = LoadAnim(szName, pItem->m_Anim.m_fBlendTime, !(uOptions & kANIM_Wait), args);
      pos.m_pData = pAnim;
      if ((uOptions & kANIM_FreezeOthers) && pAnim && pAnim->GetSkeleton()) {
        EList<ESkelAnim*>& anims = pAnim->GetSkeleton()->GetSkelAnims();
        for (POSITION p = anims.GetHeadPosition(); p;) {
          ESkelAnim* pOther = anims.GetNext(p);
          if (pOther != pAnim) pOther->SetManualBlend(true);
        }
      }
      pos.m_bInterrupted = false;
      if (pAnim) {
        pAnim->m_fAnimRate *= fSpeed;
        if (uOptions & kANIM_WaitForBlendIn) pAnim->m_bWaitForBlendIn = true;
        if (uOptions & kANIM_Ledge) ApplyLedgeAdjustment(pAnim, szName);
      } else {
        g_ErrorManager.TraceMessagef("ExecuteAction: Could not load anim '%s' on '%s'",
                                     OrEmpty(pItem->m_Anim.m_szFile), GetName());
      }
      if (uOptions & kANIM_Wait) return false;
      pos.m_pData = nullptr;
      return true;
    }
    case kACTION_Goto:
      SetNewActionEx(pItem->m_Goto.m_uTarget, nullptr, !bAfterAffectors, nullptr);
      return false;
    case kACTION_Lua: {
      lua_State* L = EScriptVM::m_spScriptVM ? EScriptVM::m_spScriptVM->GetGlobalState() : nullptr;
      if (!L) return true;
      lua_getref(L, pItem->m_Lua.m_iRef);
      EScriptObject* pObject = GetScriptObject();
      if (!pObject || !pObject->PushTable(L)) lua_pushnil(L);
      if (lua_call(L, 1, 0) != 0) g_ErrorManager.TraceMessagef(TT_Game, "RunLuaAction Error in Entity '%s'", GetName());
      return true;
    }
    case kACTION_Yield:
      return !bAfterAffectors;
    case kACTION_PhysicsFlag: {
      const int iValue = pItem->m_Flag.m_uValue != 0 ? 1 : 0;
      if (pItem->m_Flag.m_bIsStateFlag) {
        const int iFlag = pItem->m_Flag.m_iStateFlag;
        if (pItem->m_Flag.m_uAssert && (GetPhysicsStateFlag(iFlag) ? 1 : 0) != iValue) {
          g_ErrorManager.TraceMessagef("%s: %s -> %s failed assert (state flag %d=%d)", GetName(),
                                       OrEmpty(GetActionName(m_iPrevAction)), OrEmpty(GetActionName(m_iCurAction)),
                                       iFlag, iValue);
        }
        if (iValue) {
          SetPhysicsStateFlag(iFlag);
        } else {
          UnsetPhysicsStateFlag(iFlag);
        }
      } else if (EPhysics* pPhysics = GetPhysics()) {
        const uint32_t uMask = pItem->m_Flag.m_uMask;
        if (pItem->m_Flag.m_uAssert && (pPhysics->GetFlag(uMask) ? 1 : 0) != iValue) {
          g_ErrorManager.TraceMessagef("%s: %s -> %s failed assert (physics flag 0x%x=%d)", GetName(),
                                       OrEmpty(GetActionName(m_iPrevAction)), OrEmpty(GetActionName(m_iCurAction)),
                                       uMask, iValue);
        }
        pPhysics->SetFlag(uMask, iValue != 0);
        if (uMask == PHYSICS_COLLIDER && iValue) pPhysics->SafeSetAbsPosition(GetPosition(), 3, false);
      }
      return true;
    }
    case kACTION_Empty:
    case kACTION_End:
      return true;
    case kACTION_Custom:
      return ExecuteCustomAction(pos, bAfterAffectors, pItem);
    default:
      g_ErrorManager.TraceMessagef("ExecuteAction: Unknown Action Command '%i'", pItem->m_iKind);
      return false;
  }
}

bool EMeshEntity::ExecuteCustomAction(EActionPos& pos, bool, const EActionListItem* pItem) {
  using namespace meshentityactions;
  switch (pItem->m_Custom.m_iCustomKind) {
    case kCUSTOM_RandomIdle:
      return Action_PlayRandomIdle(pos);
    case kCUSTOM_PauseControls:
      EControlHandler::PauseControls(pItem->m_Custom.m_iArg != 0, false);
      return true;
    case kCUSTOM_DontRunControls:
      EControlHandler::DontRunControls(pItem->m_Custom.m_iArg != 0);
      return true;
    case kCUSTOM_Wait: {
      const float fStart = WaitStart(pos);
      if (fStart == 0.0f) {
        SetWaitStart(pos, (float)SimTime());
        return false;
      }
      if (SimTime() > (double)fStart + (double)pItem->m_Custom.m_fWait || pos.m_bInterrupted) {
        pos.m_bInterrupted = false;
        return true;
      }
      return false;
    }
    default:
      g_ErrorManager.TraceMessagef("MeshEntity: Unknown custom action %d", pItem->m_Custom.m_iCustomKind);
      return false;
  }
}

bool EMeshEntity::InterruptAction(float fFraction) {
  EActionPos& pos = *m_pActionPos;
  if (!pos.m_pItem) return true;
  if (pos.m_pItem->m_iKind == kACTION_Anim && (pos.m_pItem->m_Anim.m_uOptions & meshentityactions::kANIM_Wait) &&
      pos.m_pData) {
    ESkelAnim* pAnim = static_cast<ESkelAnim*>(pos.m_pData);
    if (IsPlayingAnim(pAnim) && pAnim->IsInterruptible(fFraction)) pos.m_bInterrupted = true;
  }
  return pos.m_bInterrupted;
}

bool EMeshEntity::GetAlternateAnim(const char*, EString&, float&) { return false; }

bool EMeshEntity::Action_PlayRandomIdle(EActionPos&) { return false; }

void EMeshEntity::ResetIdleAnimationTimer() {
  m_fIdlePlayTime = (float)(meshentityactions::SimTime() + 15.0);
}

// ---------------------------------------------------------------------------
// Placement and movement from animations

void EMeshEntity::ApplyLedgeAdjustment(ESkelAnim* pAnim, const char* szName) {
  using namespace meshentityactions;
  const char* szBase = ESkelAnim::FilenameToAnimName(szName);
  if (!strcasecmp(szBase, "ledge_drop_to_hang.jan") || !strcasecmp(szBase, "ledge_hang_to_pose.jan")) {
    pAnim->SetRootPosition(LedgeHangRoot());
    pAnim->SetRootRotation(EQuat(EVec4(0.0f, 1.0f, 0.0f, 180.0f)));
  } else if (!strncasecmp(szBase, "ledgeshimmy", 11) || !strcasecmp(szBase, "ledgejangle.jan") ||
             !strcasecmp(szBase, "ledgejangleonehanded.jan") || !strcasecmp(szBase, "ledgehangpose.jan")) {
    pAnim->SetRootPosition(LedgeHangRoot());
  } else if (!strcasecmp(szBase, "ledgedrop.jan")) {
    pAnim->SetRootPosition(LedgeHangRoot() - LedgeDropOffset());
  }
}

void EMeshEntity::ApplyAnimTranslation(const EVec3& vDelta, ESkelAnim* pAnim) {
  using namespace meshentityactions;
  const float a[3] = {vDelta.x, vDelta.y, vDelta.z};
  for (float f : a) {
    if (!std::isfinite(f) || fabsf(f) > kMAX_ANIM_DELTA) {
      // Damaged animation data: the delta never reaches the physics.
      g_ErrorManager.TraceMessagef(TT_Warning, "%s: ignoring animation delta (%g, %g, %g)", GetName(), vDelta.x,
                                   vDelta.y, vDelta.z);
      return;
    }
  }
  if (EPhysics* pPhysics = GetPhysics()) pPhysics->ApplyAnimTranslation(vDelta * m_fAnimMoveScale, pAnim);
  setSplineAnimationDelta(vDelta);
  if (vDelta.Dot(vDelta) > kMIN_LIGHT_MOVE * kMIN_LIGHT_MOVE && m_pMesh) m_pMesh->InvalidateCachedLights();
}
