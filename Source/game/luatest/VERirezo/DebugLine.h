// Debug lines and triangles: any subsystem queues coloured lines and
// triangles during the frame; the frame draws them all late, in batches
// through the renderer's push buffers.
#pragma once

#include <cstdint>

#include "TWMath/Primitives.h"
#include "TWMath/Vector.h"
#include "TWUtil/Array.h"
#include "TWUtil/DataArray.h"
#include "VERirezo/RendererPushHeader.h"

class EBox3;
class EFrustum;
class EMat4;

// A vertex with a position and a packed A8R8G8B8 colour.
struct VERTEX_NOTEX_DIFF {
  EVec3 m_vPosition;
  uint32_t m_dwColor;
};

struct EDebugLine : EDataElement {
  VERTEX_NOTEX_DIFF m_aVerts[2];
  uint32_t m_dwFlags;
};

struct EDebugTri : EDataElement {
  VERTEX_NOTEX_DIFF m_aVerts[3];
  uint32_t m_dwFlags;
};

// Line flags.
enum {
  kDEBUGLINE_NO_CULL = 0x1,     // queued even outside the view
  kDEBUGLINE_NO_DEPTH = 0x2,    // group 1: drawn over everything
};

// Triangle flags.
enum {
  kDEBUGTRI_TWO_SIDED = 0x1,    // a back-facing triangle is turned round instead of dropped
  kDEBUGTRI_WIREFRAME = 0x2,    // group 2
  kDEBUGTRI_ONE_COLOR = 0x4,    // the first colour serves all three corners
};

enum {
  kMAX_DEBUG_LINES = 16384,
  kMAX_DEBUG_TRIS = 16384,
  kDEBUG_BATCH_VERTICES = 510,  // vertices of every push batch but the last
};


class EDebugLineManager {
public:
  EDebugLineManager();
  ~EDebugLineManager();

  // A null colour is white.
  void AddLine(const EVec3& a, const EVec3& b, const EVec4* pColor, uint32_t dwFlags);
  void AddArrow(const EVec3& from, const EVec3& to, const EVec4* pColor, uint32_t dwFlags);
  void AddBox(const EBox3& box, const EMat4* pMatrix, const EVec4* pColor, uint32_t dwFlags);
  // Three circles whose segment count follows the sphere's size on screen.
  void AddSphere(const ESphere& sphere, const EVec4* pColor);
  void AddSphere(const EVec3& vCentre, float fRadius, const EVec4* pColor);
  void AddTransformedSphere(const EMat4& m, float fRadius, const EVec4* pColor);
  // Drawn white at DrawAll, once however often it is queued.
  void AddDeferredSphere(const ESphere& sphere);
  void AddCircle(const EMat4& m, float fRadius, const EVec4* pColor, uint32_t dwFlags);
  void AddCylinder(const EMat4& m, float fHeight, float fBottomRadius, float fTopRadius, const EVec4* pColor,
                   uint32_t dwFlags);
  void AddFrustum(const EFrustum& frustum, const EVec4* pColor, uint32_t dwFlags);
  void DrawAll();
  void ResetFrame();
  void RestoreSize();

  int GetLineCount(int iGroup) const { return m_anLines[iGroup]; }
  int GetLinesDrawn() const { return m_nLinesDrawn; }
  EDataArray<EDebugLine>* GetPool() const { return m_pLines; }
  int GetDeferredSphereCount() const { return m_aDeferredSpheres.Num(); }
  // The batches and the bytes of the last push buffer DrawAll filled.
  int GetLastPushBatches() const { return m_nLastPushBatches; }
  unsigned GetLastPushBytes() const { return m_dwLastPushBytes; }

private:
  EDebugLineManager(const EDebugLineManager&) = delete;
  EDebugLineManager& operator=(const EDebugLineManager&) = delete;

  EDataArray<EDebugLine>* m_pLines;
  EArray<ESphere> m_aDeferredSpheres;
  int m_anLines[2];
  int m_nLinesDrawn;
  int m_nLastPushBatches = 0;
  unsigned m_dwLastPushBytes = 0;
};

class EDebugTriManager {
public:
  EDebugTriManager();
  ~EDebugTriManager();

  // pColors points to one colour (with kDEBUGTRI_ONE_COLOR) or three; null is white.
  void AddTri(const ETri3& tri, const EVec4* pColors, uint32_t dwFlags);
  void DrawAll();
  void ResetFrame();
  void RestoreSize();

  int GetTriCount(int iGroup) const { return m_anTris[iGroup]; }
  EDataArray<EDebugTri>* GetPool() const { return m_pTris; }

private:
  EDebugTriManager(const EDebugTriManager&) = delete;
  EDebugTriManager& operator=(const EDebugTriManager&) = delete;

  EDataArray<EDebugTri>* m_pTris;
  int m_anTris[3];
};

extern EDebugLineManager* gDebugLine;
extern EDebugTriManager* gDebugTri;
