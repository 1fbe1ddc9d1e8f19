// Render patches: small triangle meshes handed over for one frame and drawn
// as smooth curved surfaces. Every input triangle becomes a curved
// point-normal triangle (a cubic Bezier triangle for the positions and a
// quadratic one for the normals, both built from the corners alone),
// tessellated finer the larger the patch is on screen.
#pragma once

#include <cstdint>

#include "TWMath/BoundingBox.h"
#include "TWMath/Vector.h"
#include "TWUtil/DataArray.h"
#include "VERirezo/Light.h"

class EMeshEntity;

// Position, normal and one texture coordinate (32 bytes).
struct VERTEX_1TEX_NORM {
  EVec3 vPos;
  EVec3 vNormal;
  EVec2 vTex;
};
static_assert(sizeof(VERTEX_1TEX_NORM) == 32, "position, normal, texture coordinate");

struct ERenderPatch : public EDataElement {
  ERenderPatch();
  ~ERenderPatch();

  VERTEX_1TEX_NORM* m_pVerts;  // a triangle list
  int32_t m_iVertCount;
  uint32_t m_idTexture;
  ELightBlock m_LightBlock;
  EMeshEntity* m_pShadowEntity;
};

class ERenderPatchManager {
public:
  enum { kINITIAL_PATCHES = 4, kBUFFER_VERTS = 4096, kMAX_LEVEL = 15 };

  ERenderPatchManager();
  ~ERenderPatchManager();
  ERenderPatchManager(const ERenderPatchManager&) = delete;
  ERenderPatchManager& operator=(const ERenderPatchManager&) = delete;

  // Copies the triangle list; a count that is not a multiple of 3 is
  // refused with a trace. Adds nothing while patches are switched off or
  // when the pool gives no element.
  void AddPatch(const VERTEX_1TEX_NORM* pVerts, int iCount, uint32_t idTexture);
  void ResetFrame();
  void RestoreSize();
  // Lights every patch and tessellates it for its size on screen.
  void PreprocessAll();
  // Draws every patch, in batches of whole triangles that fit the buffers.
  void DrawAll();

  // The tessellation level of a screen diagonal in pixels, 0 to 15.
  static int LevelForDiagonal(float fDiagonal);
  // Replaces the patch's triangles by (level + 1)^2 curved ones each.
  static void Tessellate(ERenderPatch& patch, int iLevel);
  // One point of a curved triangle: ten position and six normal control
  // points in rows from corner 1, weights u, v, w of corners 0, 1 and 2.
  static void EvaluateBezierPoint(const EVec3* pPos, const EVec3* pNormals, float u, float v, float w, EVec3& vPos,
                                  EVec3& vNormal);
  // The control points of the triangle of corners a, b, c.
  static void BuildControlPoints(const VERTEX_1TEX_NORM* pTri, EVec3* pPos, EVec3* pNormals);

  EDataArray<ERenderPatch>* GetPatchArray() const { return m_pPatchArray; }
  uint32_t GetVertexBuffer(int i) const { return m_pidVertexBuffers[i]; }
  // Draw calls and vertices of the latest DrawAll.
  int GetLastDrawCount() const { return m_iLastDraws; }
  int GetLastVertexCount() const { return m_iLastVerts; }

private:
  EDataArray<ERenderPatch>* m_pPatchArray;
  uint32_t* m_pidVertexBuffers;
  int m_iLastDraws;
  int m_iLastVerts;
};
