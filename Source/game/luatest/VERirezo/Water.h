// Water: reflector entities seen from above are drawn as one large grid laid
// in the reflector's plane under the camera, turned to the camera's heading,
// with the water shader inside the reflector's stencil. Portals among the
// reflectors are drawn in plain black.
#pragma once

#include <cstdint>

#include "TWMath/Matrix.h"
#include "TWMath/Vector.h"

class EMeshEntity;

class EWaterManager {
public:
  enum { c_dwMaxVertices = 3500, kCOLUMNS = 29 };

  EWaterManager();
  ~EWaterManager() {}
  EWaterManager(const EWaterManager&) = delete;
  EWaterManager& operator=(const EWaterManager&) = delete;

  void Init() { CreateWaterMesh(m_fFieldOfView, m_fAspectRatio); }
  // Forgets the textures without deleting them.
  void EndLevel() { m_idWaterBumpTexture = m_idRefractionTexture = m_idFresnelTexture = 0; }
  // Deletes the grid's buffers and the textures that are set.
  void Shutdown();
  void ResetFrame() {}
  void PreprocessAll() {}

  void SetWaterBumpTexture(uint32_t id) { m_idWaterBumpTexture = id; }
  void SetRefractionTexture(uint32_t id) { m_idRefractionTexture = id; }
  void SetFresnelTexture(uint32_t id) { m_idFresnelTexture = id; }
  // Renderer handles at the current frame; the error texture when unset.
  uint32_t GetWaterBumpTexture() const;
  uint32_t GetRefractionTexture() const;
  uint32_t GetFresnelTexture() const;
  const EMat4& GetMatReflectionBump() const { return m_matReflectionBump; }
  const EMat4& GetMatRefractionBump() const { return m_matRefractionBump; }
  const EMat4& GetMatFresnelBump() const { return m_matFresnelBump; }

  // Turns the bump matrices with the current camera's heading.
  void MoveWater();
  // The grid for a field of view (degrees) and an aspect ratio.
  void CreateWaterMesh(float fFieldOfView, float fAspectRatio);
  void DrawAll();
  void DrawMirrors();

  // The grid's placement under the camera for a reflector plane; false
  // when the reflector is tilted.
  static bool PlaceGrid(const EVec3& vReflector, const EVec3& vUp, const EVec3& vCamera, const EVec3& vView,
                        EMat4& mOut, float* pScale = nullptr);
  // The camera is below the surface of the reflector.
  static bool CameraBelow(const EVec3& vReflector, const EVec3& vUp, const EVec3& vCamera);

  float GetFieldOfView() const { return m_fFieldOfView; }
  float GetAspectRatio() const { return m_fAspectRatio; }
  uint32_t GetVertexBuffer() const { return m_idVertexBuffer; }
  uint32_t GetIndexBuffer() const { return m_idIndexBuffer; }
  int GetNumVertices() const { return m_iNumVertices; }
  int GetNumIndices() const { return m_iNumIndices; }
  // Grid draws of the latest DrawAll, and the last reflection texture
  // handed to the water shader with its flag.
  int GetLastDrawCount() const { return m_iLastDraws; }
  uint32_t GetLastReflectionHandle() const { return m_hLastReflection; }
  bool GetLastReflectionFlag() const { return m_bLastReflection; }

private:
  float m_fFieldOfView;
  float m_fAspectRatio;
  EMat4 m_matBase;
  EMat4 m_matReflectionBump;
  EMat4 m_matRefractionBump;
  EMat4 m_matFresnelBump;
  uint32_t m_idWaterBumpTexture;
  uint32_t m_idRefractionTexture;
  uint32_t m_idFresnelTexture;
  uint32_t m_idVertexBuffer;
  uint32_t m_idIndexBuffer;
  int m_iNumVertices;
  int m_iNumIndices;
  int m_iLastDraws;
  uint32_t m_hLastReflection;
  bool m_bLastReflection;
};
