// Writes model-fragment records: normals packed 11/11/10, texture
// coordinates packed against a power-of-two scale, strips or lists,
// skinning and compressed blend shapes (sparse or dense).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ModelFragBlendStream {
  std::string name;
  // Per delta: position and normal delta; sparse streams give indices.
  std::vector<float> posDeltas;     // 3 per delta
  std::vector<float> normalDeltas;  // 3 per delta
  std::vector<uint16_t> indices;    // sparse, version > 318: one per delta
};

struct ModelFragSkinWeight {
  uint32_t word;
  float first, second;
};

struct ModelFragDesc {
  int version = 318;
  float box[6] = {0, 0, 0, 1, 1, 1};
  uint32_t fragFlags = 0;
  uint32_t materialFlags = 0;
  uint8_t lod = 0;
  uint8_t blendFlags = 0;
  float color[4] = {1, 1, 1, 1};
  std::vector<uint32_t> textures;  // indices into the scene's texture table
  int32_t lightmaps[2] = {-1, -1};  // material flag 0x20
  std::string switchLight;
  int32_t blinnThird = -1;  // material flag 0x08
  int32_t blinnSecond = -1;
  float specularPower = 8.0f;  // material flag 0x20000
  float specularColor[3] = {0.5f, 0.5f, 0.5f};
  int32_t reflection = -1;
  float blinnColor[3] = {1, 1, 1};
  int32_t detail = -1;  // material flag 0x40000000
  float detailScale[2] = {1, 1};
  float glare = 0.0f;
  float scroll[2] = {0, 0};
  std::vector<float> positions;  // 3 per vertex
  std::vector<float> normals;    // 3 per vertex
  std::vector<uint32_t> colors;  // empty: no diffuse stream
  int texcoordSets = 0;
  std::vector<float> texcoords;  // 2 per set per vertex, vertex-major
  std::vector<float> bases;      // empty, or 9 per vertex
  uint32_t polys = 0;
  uint32_t degenPolys = 0;
  std::vector<uint16_t> indices;  // polys + 2 for a strip (0x1000000), else 3 * polys
  // Skinning (material flag 0x04).
  uint16_t influences = 2;
  std::vector<uint16_t> palette;
  std::vector<ModelFragSkinWeight> skinWeights;
  // Blend shapes (fragment flag or blend flag 0x01).
  std::vector<ModelFragBlendStream> blendStreams;
  uint32_t blendStartTag = 0x53504253;
  uint32_t blendEndTag = 0x45504253;
  // Raw counts written instead of the vectors' sizes, for damaged records.
  int64_t vertexCountOverride = -1;
};

uint32_t PackModelFragNormal(float x, float y, float z);
// The smallest power of two from 1 to 2048 holding every coordinate.
float ModelFragTexcoordScale(const std::vector<float>& coords);
uint32_t PackModelFragTexcoord(float u, float v, float scale);
void WriteModelFrag(std::vector<uint8_t>& out, const ModelFragDesc& d);
