// The on-foot input mode of the player (type 0). The walking, jumping and
// climbing frames come with the player's movement code; scripts may force
// a jump from the ground through it.
#pragma once

#include "Game/ControlHandler.h"
#include "TWUtil/String.h"

class EPlayerControlHandler : public EControlHandler {
public:
  CONTROL_HANDLER_TYPE Type() override { return kCONTROL_PLAYER; }
  const char* Name() override { return "Player"; }

  // Starts a jump from the ground; a forced jump plays the named jump
  // animation (none: the usual one). The jump runs with the next frame.
  virtual void TransitionToJump(bool bForced, const char* szJumpAnim) {
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
