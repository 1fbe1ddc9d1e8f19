// Render splines: textured, lit tubes of square cross-section drawn along a
// list of points for one frame (ropes and wires), the points first smoothed
// into a Catmull-Rom curve unless told otherwise.
#pragma once

#include <cstdint>

#include "TWGraphics/Renderer.h"
#include "TWMath/Vector.h"
#include "TWUtil/DataArray.h"
#include "VERirezo/Light.h"

enum { kRENDERSPLINEFLAG_NO_SMOOTHING = 0x1 };

// One face of one tube segment: four corners in order.
struct EQuad3 {
  EQuad3() {}
  EQuad3(const EVec3& a, const EVec3& b, const EVec3& c, const EVec3& d) : p{a, b, c, d} {}
  EVec3 p[4];
};

struct ERenderSpline : public EDataElement {
  ERenderSpline();
  ~ERenderSpline();

  EVec3* m_pPoints;
  int32_t m_iPointCount;
  float m_fThickness;
  uint32_t m_hTexture;
  float m_fTexDensity;
  EVec4 m_vColor;
  int32_t m_iPointsPerSpan;
  BLENDMODE m_eBlendMode;
  ELightBlock m_LightBlock;
  uint32_t m_dwFlags;
};

class ERenderSplineManager {
public:
  enum { kINITIAL_SPLINES = 4, kBUFFER_VERTS = 8092, kRUN_SEGMENTS = 15, kVERTS_PER_SEGMENT = 24 };

  ERenderSplineManager();
  ~ERenderSplineManager();
  ERenderSplineManager(const ERenderSplineManager&) = delete;
  ERenderSplineManager& operator=(const ERenderSplineManager&) = delete;

  // Adds nothing while splines are switched off, when the current camera
  // does not see the points or when the pool gives no element. Texture 0
  // is the rope texture.
  void AddSpline(const EVec3* pPoints, int iCount, float fThickness, uint32_t idTexture, float fTexDensity,
                 int iPointsPerSpan, uint32_t dwFlags, BLENDMODE eBlendMode, const EVec4* pColor = nullptr);
  void ResetFrame();
  void RestoreSize();
  void PreprocessAll();
  // Builds every spline's tube into the next buffer pair and draws each
  // spline under its own render state and shader.
  void DrawAll();

  EDataArray<ERenderSpline>* GetSplineArray() const { return m_pSplineArray; }
  int GetBufferPair() const { return m_iBufferPair; }
  uint32_t GetVertexBuffer(int i) const { return m_pidVertexBuffers[i]; }
  // Vertices written by the latest draw.
  int GetLastVertexCount() const { return m_iLastVertexCount; }
  // Draw calls of the latest draw: one per spline that wrote vertices.
  int GetLastDrawCount() const { return m_iLastDraws; }

private:
  EDataArray<ERenderSpline>* m_pSplineArray;
  uint32_t* m_pidVertexBuffers;
  int m_iBufferPair;
  int m_iLastVertexCount;
  int m_iLastDraws;
};
