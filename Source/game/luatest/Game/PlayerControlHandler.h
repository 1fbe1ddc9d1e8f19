// The on-foot mode: the player walks, jumps and fights.
#pragma once

#include "Game/ControlHandler.h"
#include "TWUtil/String.h"

class EPlayerControlHandler : public EControlHandler {
public:
  explicit EPlayerControlHandler(GameApp* pGameApp);
  ~EPlayerControlHandler() override;
  CONTROL_HANDLER_TYPE Type() override { return kCONTROL_PLAYER; }
  const char* Name() override { return "player"; }
  void HandleControls_Internal(Input& in) override;

  // Starts a jump from the ground; a forced jump plays the named jump
  // animation (null: the usual one). The jump runs with the next frame.
  void TransitionToJump(bool bForced, const char* szJumpAnim) {
    m_bJumpPending = true;
    m_bJumpForced = bForced;
    m_sJumpAnim = szJumpAnim;
  }
  bool IsJumpPending() const { return m_bJumpPending; }
  bool IsJumpForced() const { return m_bJumpForced; }
  // Null when no animation was named.
  const char* GetJumpAnim() const { return *m_sJumpAnim; }

private:
  bool m_bJumpPending = false;
  bool m_bJumpForced = false;
  EString m_sJumpAnim;
};
