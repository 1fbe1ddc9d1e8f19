// Writes ".jan" skeletal animation files from a small description, as
// version 201 or as version 200 (32-bit key times, constant channels).
//
// Text form, one item a line ('#' starts a comment):
//   version 201            (or 200)
//   mode 1                 translate mode 0-3
//   flags 4                flag bits (bit 2: transfer at end)
//   length 10              length in frames (version 201 only)
//   joint Root 0           a joint and its depth in the tree (pre-order)
//   pos 0: 0 0 0, 10: 10 20 30        keys "time: values" of the last joint
//   rot 0: 0 0 0 1, 10: 0 0.7071 0 0.7071
//   rotcomp 0: 0 0 0 1     rotations stored compressed
//   scale 0: 1 1 1
//   const rot 0 0 0 1      a constant channel (version 200 only)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct JanKey {
  uint32_t time = 0;
  float v[4] = {0.0f, 0.0f, 0.0f, 1.0f};
};

struct JanChannel {
  int kind = 0;  // 0 pos, 1 rot, 2 scale, 3 compressed rot
  bool constant = false;
  std::vector<JanKey> keys;  // a constant channel holds its value in keys[0]
};

struct JanJoint {
  std::string name;
  int depth = 0;
  std::vector<JanChannel> channels;
};

struct JanAnim {
  int version = 201;
  int mode = 0;
  int flags = 0;
  int length = 0;
  std::vector<JanJoint> joints;
};

// False with a message for text that does not describe an animation.
bool ParseJanText(const std::string& text, JanAnim& anim, std::string& error);
// The file image; false with a message when the animation cannot be stored
// in its version (a constant channel in version 201, a bad tree).
bool WriteJan(const JanAnim& anim, std::vector<uint8_t>& out, std::string& error);
