#include "PpfWriter.h"

namespace {
void PpfPutU16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back((uint8_t)v);
  out.push_back((uint8_t)(v >> 8));
}
void PpfPutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back((uint8_t)(v >> (8 * i)));
}
}  // namespace

std::vector<uint8_t> EmptyTextureSection() {
  std::vector<uint8_t> out;
  PpfPutU16(out, 0);
  return out;
}

std::vector<uint8_t> EmptyMeshSection() {
  std::vector<uint8_t> out;
  PpfPutU32(out, 0x4B41504Du);  // the bytes "MPAK"
  PpfPutU16(out, 0);
  return out;
}

std::vector<uint8_t> EmptyScriptSection() {
  std::vector<uint8_t> out;
  PpfPutU16(out, 0);  // classes
  PpfPutU16(out, 0);  // chunks
  return out;
}

std::vector<uint8_t> MakeLevelPack(const std::vector<uint8_t>& textures, const std::vector<uint8_t>& meshes,
                                   const std::vector<uint8_t>& scripts, const std::vector<uint8_t>& scene) {
  std::vector<uint8_t> out;
  PpfPutU32(out, 0x4B415050u);  // the bytes "PPAK"
  for (const std::vector<uint8_t>* section : {&textures, &meshes, &scripts, &scene})
    out.insert(out.end(), section->begin(), section->end());
  return out;
}
