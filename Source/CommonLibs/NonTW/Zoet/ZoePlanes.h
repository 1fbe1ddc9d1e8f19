// The planes of a decoded movie frame, shared by the decoder that fills them
// and the converters that turn them into pixels.
#pragma once

#include <cstdint>

// One decoded plane: its buffer and the distance between its rows.
struct PlaneBuffer {
  int32_t allocate;  // not read by the decoder or the converters
  uint8_t* buffer;
  uint32_t pitch;
};

// The planes of one decoded frame. The alpha plane uses the luma plane's pitch.
struct FramePlaneSet {
  PlaneBuffer Y;
  PlaneBuffer cR;
  PlaneBuffer cB;
  PlaneBuffer A;
};
