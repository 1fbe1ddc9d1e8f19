// The small decisions of fragment preparing and drawing, kept apart from
// the fragments so that each can be checked on its own.
#pragma once

#include <cstdint>

namespace meshfragrules {

// Detail factor from the nearest view distance d and the largest pixel
// diagonal p of a fragment's box.
float DetailFactor(float d, float p);

// The camera-alpha flag after a pair of visibility-test results (first: the
// player's test box drawn before the fragment; second: after it). Results of
// -1 are not ready and leave the flag alone, as does a first result of 0.
bool CameraAlpha(unsigned first, unsigned second, bool bWasSet, bool bHasRadius);

// The four streams and weights of shader blend shapes: n targets with their
// mesh weights, scales and buffers; more than four are taken heaviest first.
// A slot past the first whose target is missing or weighs 0.00001 or less
// binds the dummy buffer.
struct BlendStreams {
  uint32_t ahStreams[4];
  float afScaled[4];
  float afPlain[4];
};
void ChooseBlendStreams(const float* pfWeights, const float* pfScales, const uint32_t* phBuffers, int n,
                        uint32_t hDummy, BlendStreams& out);

// Triangles drawn by a strip or a list of iIndexCount indices; a strip
// loses its degenerate triangles.
unsigned TriangleCount(bool bStrip, unsigned iIndexCount, unsigned nDegenerate);

// What the transparent interleave draws next among a fragment, an emitter
// and a trail (keys: larger is farther), everything back to front.
enum Next { kNEXT_NONE = 0, kNEXT_FRAGMENT = 1, kNEXT_EMITTER = 2, kNEXT_TRAIL = 3 };
Next ChooseTransparent(bool bFrag, float fFrag, bool bEmitter, float fEmitter, bool bTrail, float fTrail);

}  // namespace meshfragrules

namespace meshfragrules {

// The emitter flags the transparent interleave reads.
enum : uint32_t {
  kEMITTER_SKIPPED = 0x40000,
  kEMITTER_GLOW_PASS = 0x100000,
  kEMITTER_POST = 0x400000,
};
// An emitter is drawn in the interleave unless one of the three is set.
inline bool EmitterDrawnInline(uint32_t dwFlags) {
  return !(dwFlags & (kEMITTER_SKIPPED | kEMITTER_GLOW_PASS | kEMITTER_POST));
}
// Records the first post emitter (A) and else the first skipped one (B).
inline void NoteEmitter(int iPosition, uint32_t dwFlags, int& iA, int& iB) {
  if (iA == -1 && (dwFlags & kEMITTER_POST))
    iA = iPosition;
  else if (iB == -1 && (dwFlags & kEMITTER_SKIPPED))
    iB = iPosition;
}

// Draws three back-to-front streams interleaved. S provides, for each of
// Frag, Emitter and Trail: bool HasX(), float XKey(), void DrawX() (which
// draws the current one, or passes it over, and moves to the next).
template <class S>
void Interleave(S& s) {
  for (;;) {
    const bool bFrag = s.HasFrag(), bEmitter = s.HasEmitter(), bTrail = s.HasTrail();
    const Next next = ChooseTransparent(bFrag, bFrag ? s.FragKey() : 0.0f, bEmitter, bEmitter ? s.EmitterKey() : 0.0f,
                                        bTrail, bTrail ? s.TrailKey() : 0.0f);
    if (next == kNEXT_FRAGMENT)
      s.DrawFrag();
    else if (next == kNEXT_EMITTER)
      s.DrawEmitter();
    else if (next == kNEXT_TRAIL)
      s.DrawTrail();
    else
      return;
  }
}

}  // namespace meshfragrules
