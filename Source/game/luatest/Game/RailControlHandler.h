// Sliding along a rail (type 16). The chase camera follows the slide
// through the rail, the player's parameter on it and the rail's tangent.
#pragma once

#include "Game/ControlHandler.h"
#include "TWMath/Vector.h"

class RailControlHandler : public EControlHandler {
public:
  explicit RailControlHandler(GameApp* pGameApp);
  ~RailControlHandler() override;
  CONTROL_HANDLER_TYPE Type() override { return kCONTROL_RAIL; }
  const char* Name() override { return "RailSlide"; }
  void HandleControls_Internal(Input& in) override;

  // The rail being slid, or null.
  EEntity* GetRail() const { return m_pRail; }
  // The player's parameter along the rail; below 0 off the rail.
  float GetT() const { return m_fT; }
  // The rail's unit tangent at the player's parameter.
  const EVec3& GetRailTangent() const { return m_vRailTangent; }

  EEntity* m_pRail = nullptr;
  float m_fT = -1.0f;
  EVec3 m_vRailTangent = EVec3(0.0f, 0.0f, 0.0f);
};
