// Shared by the texture harnesses and their seed writer.
#pragma once

#include <cstdint>
#include <vector>

#include "TWGraphics/DDS.h"
#include "TWUtil/EStream.h"

namespace fuzzsupport {

// A writer that collects the bytes.
class VecWriter : public EStream {
public:
  VecWriter() : EStream(kSTREAM_Writer) {}
  void StreamLow(void* data, unsigned bytes) override {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    if (p) m_Bytes.insert(m_Bytes.end(), p, p + bytes);
    else m_Bytes.insert(m_Bytes.end(), bytes, 0);
  }
  std::vector<uint8_t> m_Bytes;
};

// Reads every byte of every surface: all of it must be there.
inline void TouchSurfaces(const ETextureImage& image) {
  volatile uint8_t sum = 0;
  for (const std::vector<uint8_t>& s : image.m_aSurfaces)
    for (uint8_t b : s) sum = (uint8_t)(sum + b);
}

}  // namespace fuzzsupport
