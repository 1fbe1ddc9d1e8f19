// Scene lights and light blocks: the records the shader constant setters
// read. The light manager fills them.
#pragma once

#include "TWMath/Vector.h"

class EMeshEntity;

enum { kMAX_LIGHT_BLOCK_LIGHTS = 12 };

enum ELightType {
  kLIGHTTYPE_POINT = 2,
  kLIGHTTYPE_SPOT = 4,
};

class ELight {
public:
  ELight()
      : m_eType(kLIGHTTYPE_POINT),
        m_vPosition(0, 0, 0),
        m_vDirection(0, 0, 1),
        m_vColor(1, 1, 1),
        m_fIntensity(1),
        m_fConstantAtten(1),
        m_fLinearAtten(0),
        m_fQuadraticAtten(0),
        m_fConeAngle(45),
        m_fPenumbraAngle(0),
        m_fRange(0) {}

  int GetType() const { return m_eType; }
  // World position as seen from the point and for the entity.
  EVec3 GetInclusivePosition(const EVec3*, EMeshEntity*) const { return m_vPosition; }
  const EVec3& GetInclusiveDirection() const { return m_vDirection; }
  float GetRange() const { return m_fRange; }
  // The colour the light contributes.
  EVec3 GetCompoundColor(EMeshEntity*) const { return m_vColor * m_fIntensity; }

  int m_eType;
  EVec3 m_vPosition;
  EVec3 m_vDirection;
  EVec3 m_vColor;
  float m_fIntensity;
  float m_fConstantAtten, m_fLinearAtten, m_fQuadraticAtten;
  float m_fConeAngle;      // degrees
  float m_fPenumbraAngle;  // degrees; the inner cone is the cone angle less this
  float m_fRange;          // 0: unbounded
};

class ELightBlock {
public:
  ELightBlock() : m_iLightCount(0) {
    for (int i = 0; i < kMAX_LIGHT_BLOCK_LIGHTS; ++i) m_apLights[i] = nullptr, m_afVisibility[i] = 0;
  }
  ELight* GetLight(int i) const { return m_apLights[i]; }
  float GetLightVisibility(int i) const { return m_afVisibility[i]; }

  ELight* m_apLights[kMAX_LIGHT_BLOCK_LIGHTS];
  float m_afVisibility[kMAX_LIGHT_BLOCK_LIGHTS];
  int m_iLightCount;
};
