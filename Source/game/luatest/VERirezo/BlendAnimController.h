// The blend-animation player of one mesh: up to eight playing instances,
// newest first, started and stopped by file name with fades and combined by
// their maximum into the 64 weights the mesh renderer reads.
#pragma once

#include "TWUtil/EStaticList.h"
#include "VERirezo/BlendAnim.h"

class EBlendAnimManager;
class EBlendShapeController;
class EDynamicCacheFile;
class ESkelAnim;

class EBlendAnimController {
public:
  enum { kMAX_ANIMS = 8 };

  EBlendAnimController();
  ~EBlendAnimController();
  EBlendAnimController(const EBlendAnimController&) = delete;
  EBlendAnimController& operator=(const EBlendAnimController&) = delete;

  // Starts an animation; false when it cannot be loaded or eight already
  // play. With a skeletal animation its own blend data plays (the name is
  // not used).
  bool loadBlendAnim(const char* szName, bool bLoop, bool bStopOthers, ESkelAnim* pSkelAnim, float fBlendIn,
                     bool bAsync, bool bLipSync);
  // Fades the instances of the name (all without one) out.
  bool stopBlendAnim(const char* szName, float fBlendOut);
  bool unloadBlendAnim(const char* szName);
  bool unloadBlendAnimRef(EDynamicCacheFile* pFile);
  void update(float dt);
  const float* getBlendWeights();
  float GetBlendAnimCompletion(const char* szName);
  bool IsBlendAnimLoaded(const char* szName);
  // Keeps the default animation playing while no other (blinks aside) does.
  bool PlayDefaultAnim(const char* szName);
  // Releases the instances that have faded out after a stop.
  void houseclean();

  void setBlendAnimManager(EBlendAnimManager* pManager) { m_pBlendAnimManager = pManager; }
  void setBlendShapeController(EBlendShapeController* pController) { m_pBlendShapeController = pController; }
  EBlendShapeController* getBlendShapeController() const { return m_pBlendShapeController; }
  EBlendAnimController* GetBlendAnimList() { return this; }
  const EStaticList<EBlendAnim*>& GetList() const { return m_List; }

  // Whether the power-selection bubble is the active control handler; tests
  // may answer instead of the application.
  typedef bool (*BubbleQueryFn)();
  static void SetBubbleQuery(BubbleQueryFn fn) { sm_pfnBubbleQuery = fn; }

private:
  static bool IsBubbleUp();
  void Bind(EBlendAnim* pAnim);
  void Release(EBlendAnim* pAnim);
  void ReleaseAll();
  // Removes every instance the predicate picks; whether any went.
  template <class Pred>
  bool ReleaseIf(Pred pred);
  static bool NameIs(EBlendAnim* pAnim, const char* szFullPath);

  EStaticList<EBlendAnim*> m_List;
  EBlendAnimManager* m_pBlendAnimManager;
  EBlendShapeController* m_pBlendShapeController;
  float m_afWeights[MAX_BLENDWEIGHTS];

  static BubbleQueryFn sm_pfnBubbleQuery;
};
