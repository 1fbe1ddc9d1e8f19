// Shared by the texture harnesses and their seed writer.
#pragma once

#include <cstdint>
#include <vector>

#include "TWGraphics/DDS.h"
#include "TWGraphics/tests/GraphicsTestSupport.h"

namespace fuzzsupport {

using gfxtest::VecWriter;

// Reads every byte of every surface: all of it must be there.
inline void TouchSurfaces(const ETextureImage& image) {
  volatile uint8_t sum = 0;
  for (const std::vector<uint8_t>& s : image.m_aSurfaces)
    for (uint8_t b : s) sum = (uint8_t)(sum + b);
}

}  // namespace fuzzsupport
