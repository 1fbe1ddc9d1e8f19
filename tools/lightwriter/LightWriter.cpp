#include "LightWriter.h"

#include <cstring>

#include "TWMath/Vector.h"

namespace {

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back((uint8_t)(v >> (8 * i)));
}
void PutU16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back((uint8_t)v);
  out.push_back((uint8_t)(v >> 8));
}
void PutFloat(std::vector<uint8_t>& out, float f) {
  uint32_t v;
  memcpy(&v, &f, 4);
  PutU32(out, v);
}
void PutFloats(std::vector<uint8_t>& out, const float* f, int n) {
  for (int i = 0; i < n; ++i) PutFloat(out, f[i]);
}
// A 4-byte length counting the NUL (0 for an empty string), then the bytes.
void PutString(std::vector<uint8_t>& out, const std::string& s) {
  if (s.empty()) {
    PutU32(out, 0);
    return;
  }
  PutU32(out, (uint32_t)s.size() + 1);
  out.insert(out.end(), s.begin(), s.end());
  out.push_back(0);
}

}  // namespace

uint32_t LightPackNormal(float x, float y, float z) {
  return ENormPacked3(EVec3(x, y, z)).m_uWord;
}

void WriteLightRecord(std::vector<uint8_t>& out, const LightRecordDesc& d, bool bWithType) {
  if (bWithType) PutU32(out, d.type);
  PutU32(out, d.flags);
  PutString(out, d.name);
  if (d.flags & 0x4) {
    PutString(out, d.haloTexture);
    PutFloat(out, d.haloSize);
    PutFloat(out, d.haloSecondSize);
  }
  PutFloats(out, d.colour, 3);
  PutFloats(out, d.atten, 3);
  PutFloats(out, d.position, 3);
  if (d.type == 3) PutFloats(out, d.direction, 3);
  if (d.type == 4) {
    PutFloats(out, d.direction, 3);
    PutFloat(out, d.cone);
    PutFloat(out, d.penumbra);
  }
  if (d.type == 5) {
    PutString(out, d.projectedTexture);
    PutFloats(out, d.direction, 3);
    PutFloats(out, d.up, 3);
    const float p[5] = {d.fov, d.width, d.height, d.attenStart, d.attenEnd};
    PutFloats(out, p, 5);
    PutU32(out, (uint32_t)d.projectionMode);
  }
  if (!(d.flags & 0x200)) return;
  const bool directional = d.type == 3;
  const int n = directional ? 1 : 6;
  for (int i = 0; i < n; ++i) PutU16(out, (uint16_t)d.faces[i].indices.size());
  for (int i = 0; i < n; ++i) PutU16(out, d.faces[i].PlaneCount(directional));
  if (directional) {
    PutFloats(out, d.depthMatrix, 16);
    PutFloats(out, d.depthBounds, 6);
  }
  for (int i = 0; i < n; ++i) {
    const LightRecordDesc::Face& f = d.faces[i];
    const bool wide = f.PlaneCount(directional) > 256;
    for (uint16_t e : f.indices) {
      if (wide) PutU16(out, e);
      else out.push_back((uint8_t)e);
    }
    if (directional) {
      PutFloats(out, f.worldPlanes.data(), (int)f.worldPlanes.size());
    } else {
      for (size_t k = 0; k < f.packedNormals.size(); ++k) {
        PutU32(out, f.packedNormals[k]);
        PutU16(out, (uint16_t)f.packedDistances[k]);
      }
    }
  }
}
