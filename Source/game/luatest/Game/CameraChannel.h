// A camera channel: one of the views the frame can draw, with its camera.
#pragma once

class ECamera;

struct ECameraChannel {
  ECameraChannel() { Clear(); }
  void Clear() {
    m_pCamera = nullptr;
    m_dwFlags = 0;
    m_fDistance = 0.0f;
  }
  // A fixed background is shown and no frame copy is pending.
  bool TestFixedBackground() const { return false; }

  ECamera* m_pCamera;
  unsigned m_dwFlags;  // bit 0: enabled
  float m_fDistance;
};
