#include "ModelFragWriter.h"

#include <cmath>

#include "TWMath/Vector.h"
#include "TWUtil/ByteOrder.h"

namespace {

void MfwU8(std::vector<uint8_t>& out, uint8_t v) { out.push_back(v); }
void MfwU16(std::vector<uint8_t>& out, uint16_t v) {
  uint8_t b[2];
  PutLE16(b, v);
  out.insert(out.end(), b, b + 2);
}
void MfwU32(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t b[4];
  PutLE32(b, v);
  out.insert(out.end(), b, b + 4);
}
void MfwF(std::vector<uint8_t>& out, float f) {
  uint8_t b[4];
  PutLEFloat(b, f);
  out.insert(out.end(), b, b + 4);
}
void MfwFloats(std::vector<uint8_t>& out, const float* p, int n) {
  for (int i = 0; i < n; ++i) MfwF(out, p[i]);
}
void MfwString(std::vector<uint8_t>& out, const std::string& s) {
  MfwU32(out, (uint32_t)s.size() + 1);
  out.insert(out.end(), s.begin(), s.end());
  out.push_back(0);
}

}  // namespace

uint32_t PackModelFragNormal(float x, float y, float z) { return ENormPacked3(EVec3(x, y, z)).m_uWord; }

float ModelFragTexcoordScale(const std::vector<float>& coords) {
  float scale = 1.0f;
  for (float c : coords) {
    while (scale < 2048.0f && std::fabs(c) > scale) scale *= 2.0f;
  }
  return scale;
}

uint32_t PackModelFragTexcoord(float u, float v, float scale) {
  auto pack = [scale](float c) {
    float f = c / scale;
    if (f > 1.0f) f = 1.0f;
    if (f < -1.0f) f = -1.0f;
    return (uint16_t)(int16_t)std::lround(f * 32767.0f);
  };
  return (uint32_t)pack(u) | ((uint32_t)pack(v) << 16);
}

void WriteModelFrag(std::vector<uint8_t>& out, const ModelFragDesc& d) {
  const uint32_t nVerts = (uint32_t)(d.positions.size() / 3);
  MfwFloats(out, d.box, 6);
  if (d.version > 317) MfwU32(out, d.fragFlags);
  MfwU32(out, d.materialFlags);
  MfwU32(out, 0);
  MfwU8(out, d.lod);
  MfwU8(out, d.blendFlags);
  MfwFloats(out, d.color, 4);
  MfwU32(out, (uint32_t)d.textures.size());
  for (uint32_t t : d.textures) MfwU32(out, t);
  if (d.materialFlags & 0x20) {
    MfwU32(out, (uint32_t)d.lightmaps[0]);
    MfwU32(out, (uint32_t)d.lightmaps[1]);
    if (d.lightmaps[0] != -1 && d.lightmaps[1] != -1) MfwString(out, d.switchLight);
  }
  if (d.materialFlags & 0x08) MfwU32(out, (uint32_t)d.blinnThird);
  MfwU32(out, (uint32_t)d.blinnSecond);
  if (d.materialFlags & 0x20000) {
    MfwF(out, d.specularPower);
    MfwFloats(out, d.specularColor, 3);
  }
  MfwU32(out, (uint32_t)d.reflection);
  MfwFloats(out, d.blinnColor, 3);
  if (d.materialFlags & 0x40000000) {
    MfwU32(out, (uint32_t)d.detail);
    MfwFloats(out, d.detailScale, 2);
  }
  MfwF(out, d.glare);
  MfwFloats(out, d.scroll, 2);
  MfwU32(out, 0);
  MfwU32(out, d.vertexCountOverride >= 0 ? (uint32_t)d.vertexCountOverride : nVerts);
  for (uint32_t i = 0; i < nVerts; ++i) {
    MfwFloats(out, &d.positions[i * 3], 3);
    const float* n = &d.normals[i * 3];
    MfwU32(out, PackModelFragNormal(n[0], n[1], n[2]));
  }
  MfwU32(out, d.colors.empty() ? 0 : 1);
  for (uint32_t c : d.colors) MfwU32(out, c);
  MfwU32(out, (uint32_t)d.texcoordSets);
  if (d.texcoordSets > 0) {
    const float scale = ModelFragTexcoordScale(d.texcoords);
    MfwF(out, scale);
    for (size_t i = 0; i + 1 < d.texcoords.size(); i += 2) MfwU32(out, PackModelFragTexcoord(d.texcoords[i], d.texcoords[i + 1], scale));
  }
  MfwU32(out, d.bases.empty() ? 0 : 1);
  for (size_t i = 0; i + 2 < d.bases.size(); i += 3) MfwU32(out, PackModelFragNormal(d.bases[i], d.bases[i + 1], d.bases[i + 2]));
  MfwU32(out, d.polys);
  MfwU32(out, d.degenPolys);
  for (uint16_t i : d.indices) MfwU16(out, i);
  if (d.materialFlags & 0x04) {
    MfwU16(out, 0);
    MfwU16(out, (uint16_t)d.palette.size());
    MfwU16(out, d.influences);
    for (uint16_t j : d.palette) MfwU16(out, j);
    for (size_t j = 0; j < d.palette.size(); ++j) {
      MfwF(out, 1.0f);
      for (int k = 0; k < 12; ++k) MfwU8(out, 0);
      MfwU32(out, (uint32_t)j);
      MfwU32(out, (uint32_t)-1);
      for (int k = 0; k < 8; ++k) MfwU8(out, 0);
    }
    for (size_t j = 0; j < d.palette.size(); ++j) {
      const float box[6] = {-1, -1, -1, 1, 1, 1};
      MfwFloats(out, box, 6);
    }
    for (const ModelFragSkinWeight& w : d.skinWeights) {
      MfwU32(out, w.word);
      MfwF(out, w.first);
      MfwF(out, w.second);
    }
  }
  if (!d.blendStreams.empty() || (d.fragFlags & 0x01) || (d.blendFlags & 0x01)) {
    const bool bSparse = (d.blendFlags & 0x02) != 0;
    const bool bIndexed = bSparse && d.version > 318;
    MfwU32(out, d.blendStartTag);
    MfwU8(out, (uint8_t)d.blendStreams.size());
    for (const ModelFragBlendStream& st : d.blendStreams) {
      MfwString(out, st.name);
      const size_t n = st.posDeltas.size() / 3;
      // Deltas travel as unit-range vectors against the longest one.
      float scale = 0.0f;
      for (size_t i = 0; i < n; ++i) {
        const float* p = &st.posDeltas[i * 3];
        scale = std::fmax(scale, std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]));
      }
      if (bIndexed) MfwU32(out, (uint32_t)n);
      MfwF(out, scale);
      for (size_t i = 0; i < n; ++i) {
        if (bIndexed) MfwU16(out, i < st.indices.size() ? st.indices[i] : (uint16_t)i);
        const float* p = &st.posDeltas[i * 3];
        const float inv = scale > 0.00001f ? 1.0f / scale : 0.0f;
        MfwU32(out, PackModelFragNormal(p[0] * inv, p[1] * inv, p[2] * inv));
        const float* q = &st.normalDeltas[i * 3];
        MfwU32(out, PackModelFragNormal(q[0], q[1], q[2]));
      }
    }
    MfwU32(out, d.blendEndTag);
  }
}
