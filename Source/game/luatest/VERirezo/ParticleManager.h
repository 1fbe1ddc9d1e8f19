// The particle manager: the store that the frame's visible emitters hand
// themselves to, their back-to-front order, the shared particle render state,
// the quad writers, and the process-wide particle statistics that the
// emitters keep up to date.
#pragma once

#include <cstdint>

#include "TWGraphics/Renderer.h"
#include "TWUtil/DataArray.h"

class EParticleEmitterEntity;
struct PARTICLE;

// One emitter submitted for this frame.
struct EParticleAssembly : public EDataElement {
  EParticleAssembly() : m_pEmitter(nullptr), m_fSortDistance(0.0f) {}
  EParticleEmitterEntity* m_pEmitter;
  float m_fSortDistance;  // world units; filled by PreprocessAll
};

// Particle vertex as pushed: position, packed colour, u, v, and one word of
// two signed 16-bit corner offsets (x low, y high).
struct EParticleVertex {
  float x, y, z;
  uint32_t color;
  float u, v;
  uint32_t offset;
};

class EParticleManager {
public:
  enum { kMAX_EMITTERS = 256, kPARTICLE_ARRAY_SIZE = 8192, kQUADS_PER_BLOCK = 72, kVERTS_PER_BLOCK = 288 };

  EParticleManager();
  ~EParticleManager();
  EParticleManager(const EParticleManager&) = delete;
  EParticleManager& operator=(const EParticleManager&) = delete;

  // Makes the pool, the sorted list and the shared particle buffer; the
  // manager then takes the frame's submissions.
  void Init();
  void Shutdown();
  void ResetFrame();

  // Submits the emitter to the application's manager for this frame and
  // stamps it with the frame's number.
  static void AddEmitter(EParticleEmitterEntity* pEmitter);
  // The manager that takes submissions (the last one initialised).
  static EParticleManager* GetActive() { return sm_pActive; }

  void PreprocessAll();
  void StartRender();
  int GetNumActiveEmitters() const { return m_iNumActiveEmitters; }
  EDataId* GetSortedEmitters() const { return m_pSortedEmitters; }
  EDataArray<EParticleAssembly>* GetEmitterArray() const { return m_pEmitterArray; }
  int FindFirstPostEmitter() const;

  void DrawEmitter(int iIndex);
  void DrawEmitter(EParticleEmitterEntity* pEmitter, bool bInterleave);
  void SetRenderState(EParticleEmitterEntity* pEmitter);
  void InterleaveEmitters(EParticleEmitterEntity* pEmitter);
  [[noreturn]] void DrawAll();

  // Writes the quads of `count` live particles from slot `first` into one
  // push buffer and draws it.
  void DrawQuadSprites(EParticleEmitterEntity* pEmitter, int first, int count);
  // Push-buffer words, blocks and vertices of a run of n particles.
  static unsigned QuadSpritePushWords(int n);
  static int QuadSpriteBlocks(int n);
  // The writers: each pushes iVerts / 4 quads in iBlocks blocks from slot
  // iSlot, wrapping at the emitter's slot count.
  void DrawNormalQuadSprites(EParticleEmitterEntity* e, int iBlocks, int iVerts, int iSlot, uint32_t*& pdwPush);
  void DrawAnimatedQuadSprites(EParticleEmitterEntity* e, int iBlocks, int iVerts, int iSlot, uint32_t*& pdwPush);
  void DrawRotatedQuadSprites(EParticleEmitterEntity* e, int iBlocks, int iVerts, int iSlot, uint32_t*& pdwPush);
  void DrawOrientedQuadSprites(EParticleEmitterEntity* e, int iBlocks, int iVerts, int iSlot, uint32_t*& pdwPush);
  void DrawAnimatedRotatedQuadSprites(EParticleEmitterEntity* e, int iBlocks, int iVerts, int iSlot,
                                      uint32_t*& pdwPush);
  void DrawAnimatedOrientedQuadSprites(EParticleEmitterEntity* e, int iBlocks, int iVerts, int iSlot,
                                       uint32_t*& pdwPush);
  void DrawRotatedOrientedQuadSprites(EParticleEmitterEntity* e, int iBlocks, int iVerts, int iSlot,
                                      uint32_t*& pdwPush);
  void DrawAnimatedRotatedOrientedQuadSprites(EParticleEmitterEntity* e, int iBlocks, int iVerts, int iSlot,
                                              uint32_t*& pdwPush);

  int GetActiveParticleCount() const { return m_iActiveParticleCount; }
  int GetActivePointSpriteCount() const { return 0; }
  int GetFrameParticleCount() const { return m_iFrameParticleCount; }
  const ERenderState& GetRenderState() const { return m_RenderState; }
  const ETextureStageState& GetTextureStage(int i) const { return m_aTextureStages[i]; }
  static unsigned GetMemUsage();
  static void DebugDumpParticles(bool bLineEmittersOnly, bool bOnlyWithParticles);
  static bool StaticCleanupReferences();

  // Watchers of the push buffers, for checking what is written: each block
  // header, and the whole buffer just before it is drawn.
  static void (*sm_pfnBlockWatcher)(unsigned dwWords);
  static void (*sm_pfnPushWatcher)(const uint32_t* pdwBegin, const uint32_t* pdwEnd, unsigned dwWordsAsked);

  // Emitters initialised and not yet destroyed, and the slots allocated in
  // each record variant (line emitters also count apart).
  static int m_iNumEmitters;
  static int m_iNumNormalParticles;
  static int m_iNumFullParticles;
  static int m_iNumAnimatedParticles;
  static int m_iNumLineParticles;
  // Per-frame counters of the simulation and the render requests.
  static int m_iNumSimulatedEmitters;
  static int m_iEmptySimulatedEmitters;
  static int m_iNumSimulatedParticles;
  static int m_iNumNotSimulatedEmitters;
  static int m_iNumNotSimulatedParticles;
  static int m_iNumDrawnEmitters;
  static int m_iNumNotDrawnEmitters;
  static EParticleEmitterEntity* sm_pDisplayEmitter;

private:
  void Submit(EParticleEmitterEntity* pEmitter);
  static bool SortPredicate(EParticleAssembly* pL, EParticleAssembly* pR);
  void BeginBlock(int iBlock, int iBlocks, int& iRemaining, int& iQuads, uint32_t*& pdwPush);

  EDataArray<EParticleAssembly>* m_pEmitterArray;
  EDataId* m_pSortedEmitters;
  int m_iNumActiveEmitters;
  PARTICLE* m_pParticleArray;
  int m_iParticleArraySize;
  int m_iFrameParticleCount;
  int m_iActiveParticleCount;
  ERenderState m_RenderState;
  ETextureStageState m_aTextureStages[4];
  bool m_bDroppedThisFrame;  // the full pool was reported this frame

  static EParticleManager* sm_pActive;
};
