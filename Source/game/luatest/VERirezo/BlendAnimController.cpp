#include "VERirezo/BlendAnimController.h"

#include <strings.h>

#include <cstring>

#include "Game/ControlHandler.h"
#include "Game/GameApp.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/BlendShapeController.h"
#include "VERirezo/EBlendAnimManager.h"
#include "VERirezo/SkelAnim.h"
#include "VERirezo/SkelAnimInstance.h"

EBlendAnimController::BubbleQueryFn EBlendAnimController::sm_pfnBubbleQuery = nullptr;

EBlendAnimController::EBlendAnimController()
    : m_List(kMEMTYPE_BlndAnim, kMAX_ANIMS), m_pBlendAnimManager(nullptr), m_pBlendShapeController(nullptr) {
  memset(m_afWeights, 0, sizeof(m_afWeights));
}

EBlendAnimController::~EBlendAnimController() { ReleaseAll(); }

bool EBlendAnimController::IsBubbleUp() {
  if (sm_pfnBubbleQuery) return sm_pfnBubbleQuery();
  return gGameApp && gGameApp->GetControlHandlerType() == kCONTROL_BUBBLE;
}

void EBlendAnimController::Bind(EBlendAnim* pAnim) {
  // Without the model's name list there is nothing to bind to yet; update
  // binds once the mesh entity has set it.
  if (m_pBlendShapeController) pAnim->quickBind(m_pBlendShapeController);
}

// Through the manager while it lives; a player that outlives it (at
// shut-down) lets its instances go by itself.
void EBlendAnimController::Release(EBlendAnim* pAnim) {
  if (m_pBlendAnimManager && m_pBlendAnimManager == EBlendAnimManager::Get()) {
    m_pBlendAnimManager->releaseBlendAnim(pAnim);
    return;
  }
  pAnim->notifySkelAnim();
  if (!pAnim->OwnsShared() && pAnim->m_pShared) pAnim->m_pShared->RemoveRef();
  delete pAnim;
}

void EBlendAnimController::ReleaseAll() {
  for (EStaticListIter<EBlendAnim*> it(m_List); !it.isDone(); it.next()) {
    Release(it.item());
  }
  m_List.purge();
}

template <class Pred>
bool EBlendAnimController::ReleaseIf(Pred pred) {
  EBlendAnim* apGone[kMAX_ANIMS];
  int nGone = 0;
  for (EStaticListIter<EBlendAnim*> it(m_List); !it.isDone(); it.next()) {
    if (nGone < kMAX_ANIMS && pred(it.item())) apGone[nGone++] = it.item();
  }
  for (int i = 0; i < nGone; ++i) {
    m_List.remove(apGone[i]);
    Release(apGone[i]);
  }
  return nGone > 0;
}

// Whether the instance plays the file of that full path.
bool EBlendAnimController::NameIs(EBlendAnim* pAnim, const char* szFullPath) {
  EBlendAnimShared* pShared = pAnim->m_pShared;
  if (!pShared) return false;
  const char* szName = pShared->getCacheRef() ? pShared->getCacheRef()->filename() : pShared->getName();
  return szName && strcasecmp(szName, szFullPath) == 0;
}

bool EBlendAnimController::loadBlendAnim(const char* szName, bool bLoop, bool bStopOthers, ESkelAnim* pSkelAnim,
                                         float fBlendIn, bool bAsync, bool bLipSync) {
  EASSERT(m_pBlendAnimManager);
  EBlendAnim* pBlendAnim = nullptr;
  if (pSkelAnim) {
    EBlendAnimShared* pShared = pSkelAnim->GetShared() ? pSkelAnim->GetShared()->GetBlendAnimShared() : nullptr;
    if (!pShared) return false;
    pBlendAnim = new EBlendAnim();
    pBlendAnim->m_pShared = pShared;
    pShared->AddRef();
  } else if (bAsync) {
    char szPath[EBlendAnimManager::kFULLPATH];
    EBlendAnimManager::FullPath(szName, szPath);
    EBlendAnimShared* pShared = m_pBlendAnimManager->LoadAsync(szPath);
    if (!pShared) return false;
    pBlendAnim = new EBlendAnim();
    pBlendAnim->m_pShared = pShared;
    pBlendAnim->SetOwnsShared(true);
  } else {
    pBlendAnim = m_pBlendAnimManager->getBlendAnim(szName);
  }
  houseclean();
  if (!(!pBlendAnim || (pBlendAnim->m_pShared &&
                        (!pBlendAnim->m_pShared->getData() || !pBlendAnim->m_pShared->getCacheRef()))))
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__,
                                "!pBlendAnim || (pBlendAnim->m_pShared && (!pBlendAnim->m_pShared->getData() || "
                                "!pBlendAnim->m_pShared->getCacheRef()))",
                                true);
  if (!pBlendAnim) return false;
  if (bStopOthers) ReleaseAll();
  pBlendAnim->SetLooping(bLoop);
  pBlendAnim->SetLipSync(bLipSync);
  if (pBlendAnim->m_pShared && pBlendAnim->m_pShared->IsLoaded()) Bind(pBlendAnim);
  if (m_List.add(pBlendAnim)) {
    pBlendAnim->setSkelAnim(pSkelAnim);
    if (pSkelAnim) pSkelAnim->setBlendAnim(pBlendAnim);
    pBlendAnim->SetAutoBlend(fBlendIn > 0.0f, fBlendIn > 0.0f ? fBlendIn : 0.0f);
    return true;
  }
  if (bAsync && pBlendAnim->m_pShared && !pBlendAnim->m_pShared->IsLoaded())
    m_pBlendAnimManager->AbortAsyncRequest(pBlendAnim->m_pShared);
  Release(pBlendAnim);
  return false;
}

bool EBlendAnimController::stopBlendAnim(const char* szName, float fBlendOut) {
  houseclean();
  char szPath[EBlendAnimManager::kFULLPATH];
  EDynamicCacheFile* pFile = nullptr;
  if (szName) {
    EBlendAnimManager::FullPath(szName, szPath);
    if (m_pBlendAnimManager) pFile = m_pBlendAnimManager->getBlendAnimCacheRef(szName);
  }
  bool bAny = false;
  for (EStaticListIter<EBlendAnim*> it(m_List); !it.isDone(); it.next()) {
    EBlendAnim* pAnim = it.item();
    EBlendAnimShared* pShared = pAnim->m_pShared;
    bool bChosen = !szName;
    if (szName && pFile) bChosen = pShared && pShared->getCacheRef() == pFile;
    if (szName && !pFile) bChosen = pShared && pShared->getName() && strcasecmp(pShared->getName(), szPath) == 0;
    if (!bChosen) continue;
    bAny = true;
    pAnim->active(false);
    if (fBlendOut > 0.0f) pAnim->SetAutoBlend(true, -fBlendOut);
  }
  return bAny;
}

bool EBlendAnimController::unloadBlendAnim(const char* szName) {
  houseclean();
  if (!szName) {
    ReleaseAll();
    return true;
  }
  EDynamicCacheFile* pFile = m_pBlendAnimManager ? m_pBlendAnimManager->getBlendAnimCacheRef(szName) : nullptr;
  if (!pFile) return false;
  return unloadBlendAnimRef(pFile);
}

bool EBlendAnimController::unloadBlendAnimRef(EDynamicCacheFile* pFile) {
  if (!pFile) return false;
  houseclean();
  return ReleaseIf([pFile](EBlendAnim* p) { return p->m_pShared && p->m_pShared->getCacheRef() == pFile; });
}

void EBlendAnimController::houseclean() {
  ReleaseIf([](EBlendAnim* p) { return !p->IsActive() && p->getBlendFactor() == 0.0f; });
}

void EBlendAnimController::update(float dt) {
  const bool bBubble = IsBubbleUp();
  EBlendAnim* apGone[kMAX_ANIMS];
  int nGone = 0;
  for (EStaticListIter<EBlendAnim*> it(m_List); !it.isDone(); it.next()) {
    EBlendAnim* pAnim = it.item();
    if (!pAnim->IsBound() && pAnim->m_pShared && pAnim->m_pShared->IsLoaded()) Bind(pAnim);
    if (pAnim->IsDone() && (pAnim->IsActive() || pAnim->getBlendFactor() <= 0.0f)) {
      if (nGone < kMAX_ANIMS) apGone[nGone++] = pAnim;
      continue;
    }
    // Speech stands still while the power-selection bubble is up.
    if (pAnim->IsLipSync() && bBubble) continue;
    pAnim->update(dt);
  }
  for (int i = 0; i < nGone; ++i) {
    m_List.remove(apGone[i]);
    Release(apGone[i]);
  }
}

const float* EBlendAnimController::getBlendWeights() {
  memset(m_afWeights, 0, sizeof(m_afWeights));
  const bool bBubble = IsBubbleUp();
  float fSpeech = 0.0f;
  if (m_List.count()) {
    for (EStaticListIter<EBlendAnim*> it(m_List); !it.isDone(); it.next()) {
      EBlendAnim* pAnim = it.item();
      if (pAnim->IsBound() && pAnim->IsLipSync() && !bBubble && pAnim->getBlendFactor() > fSpeech)
        fSpeech = pAnim->getBlendFactor();
    }
    fSpeech *= 0.8f;
  }
  for (EStaticListIter<EBlendAnim*> it(m_List); !it.isDone(); it.next()) {
    EBlendAnim* pAnim = it.item();
    const float* pWeights = pAnim->getBlendWeights();
    const float fScale = pAnim->IsLipSync() ? (bBubble ? 0.0f : 1.0f) : 1.0f - fSpeech;
    for (int i = 0; i < MAX_BLENDWEIGHTS; ++i) {
      const float w = pWeights[i] * fScale;
      if (w > m_afWeights[i]) m_afWeights[i] = w;
    }
  }
  return m_afWeights;
}

float EBlendAnimController::GetBlendAnimCompletion(const char* szName) {
  char szPath[EBlendAnimManager::kFULLPATH];
  EBlendAnimManager::FullPath(szName, szPath);
  for (EStaticListIter<EBlendAnim*> it(m_List); !it.isDone(); it.next()) {
    EBlendAnim* pAnim = it.item();
    if (!NameIs(pAnim, szPath)) continue;
    if (pAnim->IsDone()) return 1.0f;
    return pAnim->GetAnimCompletion();
  }
  return 1.0f;
}

bool EBlendAnimController::IsBlendAnimLoaded(const char* szName) {
  char szPath[EBlendAnimManager::kFULLPATH];
  EBlendAnimManager::FullPath(szName, szPath);
  for (EStaticListIter<EBlendAnim*> it(m_List); !it.isDone(); it.next()) {
    EBlendAnimShared* pShared = it.item()->m_pShared;
    if (pShared && pShared->getCacheRef() && pShared->getCacheRef()->filename() &&
        strcasecmp(pShared->getCacheRef()->filename(), szPath) == 0)
      return true;
  }
  return false;
}

bool EBlendAnimController::PlayDefaultAnim(const char* szName) {
  char szPath[EBlendAnimManager::kFULLPATH];
  EBlendAnimManager::FullPath(szName, szPath);
  bool bDefaultPlaying = false, bOtherPlaying = false;
  for (EStaticListIter<EBlendAnim*> it(m_List); !it.isDone(); it.next()) {
    EBlendAnim* pBlendAnim = it.item();
    EASSERT_WARN(pBlendAnim);
    if (!pBlendAnim) continue;
    EASSERT_WARN(pBlendAnim->m_pShared);
    if (!pBlendAnim->m_pShared) continue;
    EASSERT_WARN(!pBlendAnim->m_pShared->getCacheRef() || pBlendAnim->m_pShared->getCacheRef()->filename());
    if (!pBlendAnim->IsActive()) continue;
    if (NameIs(pBlendAnim, szPath)) {
      bDefaultPlaying = true;
      continue;
    }
    // Blinks never count as another animation.
    EDynamicCacheFile* pFile = pBlendAnim->m_pShared->getCacheRef();
    const char* szOther = pFile ? (pFile->data() ? pFile->filename() : nullptr) : pBlendAnim->m_pShared->getName();
    if (szOther && !strstr(szOther, "blink")) bOtherPlaying = true;
  }
  if (bDefaultPlaying && bOtherPlaying) return stopBlendAnim(szName, 0.1f);
  if (bDefaultPlaying || bOtherPlaying) return false;
  return loadBlendAnim(szName, true, false, nullptr, 0.1f, false, false);
}
