// The ladder input mode (type 15): climbing up and down a ladder. What the
// cameras read of it is the up direction the player had before he mounted
// the ladder.
#pragma once

#include "Game/ControlHandler.h"
#include "TWMath/Vector.h"

class ELadderControlHandler : public EControlHandler {
public:
  explicit ELadderControlHandler(GameApp* pGameApp);
  ~ELadderControlHandler() override;
  CONTROL_HANDLER_TYPE Type() override { return kCONTROL_LADDER; }
  const char* Name() override { return "Ladder"; }
  void HandleControls_Internal(Input& in) override;

  // The desired up vector kept from before the mount; the camera holds its
  // frame on it while the player climbs.
  const EVec3& GetOldDesiredUp() const { return m_vOldDesiredUp; }

  EVec3 m_vOldDesiredUp = EVec3(0.0f, 1.0f, 0.0f);
};
