// Writes light records of the scene file's mesh stream field by field.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct LightRecordDesc {
  uint32_t type = 2;
  uint32_t flags = 0x10000;
  std::string name;
  // With flag 0x4.
  std::string haloTexture;
  float haloSize = 400, haloSecondSize = 0.15f;
  float colour[3] = {1, 1, 1};
  float atten[3] = {1, 0, 0};
  float position[3] = {0, 0, 0};
  // Types 3, 4 and 5.
  float direction[3] = {0, 0, 1};
  // Type 4.
  float cone = 45, penumbra = 15;
  // Type 5.
  std::string projectedTexture;
  float up[3] = {0, 1, 0};
  float fov = 90, width = 1000, height = 1000, attenStart = 10, attenEnd = 10000;
  int32_t projectionMode = 1;
  // With flag 0x200: one face for type 3, else six. Index entries are one
  // byte while a face has at most 256 planes, else two. Planes are 6-byte
  // packed records (normal word, distance) or, for type 3, 4 floats.
  struct Face {
    std::vector<uint16_t> indices;
    std::vector<uint32_t> packedNormals;
    std::vector<int16_t> packedDistances;
    std::vector<float> worldPlanes;  // n.x, n.y, n.z, d per plane
    uint16_t PlaneCount(bool directional) const {
      return (uint16_t)(directional ? worldPlanes.size() / 4 : packedNormals.size());
    }
  };
  Face faces[6];
  float depthMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  float depthBounds[6] = {0, 0, 0, 0, 0, 0};
};

// The packed word of a unit normal: x and y in signed 11 bits of 1/1023,
// z in signed 10 bits of 1/511.
uint32_t LightPackNormal(float x, float y, float z);

// Appends the record; with bWithType the leading type word the mesh reader
// reads comes first.
void WriteLightRecord(std::vector<uint8_t>& out, const LightRecordDesc& d, bool bWithType);
