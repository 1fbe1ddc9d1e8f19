// Writes level packs (".ppf"): the magic "PPAK" and four sections read one
// after the other with no lengths between them: textures, meshes, scripts
// and (unless the pack is "common") the level scene.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The empty form of each section: no textures, a mesh pack of no entries,
// a script pack of no classes and no chunks.
std::vector<uint8_t> EmptyTextureSection();
std::vector<uint8_t> EmptyMeshSection();
std::vector<uint8_t> EmptyScriptSection();

// The pack from its sections; an empty scene writes none (the "common" pack).
std::vector<uint8_t> MakeLevelPack(const std::vector<uint8_t>& textures, const std::vector<uint8_t>& meshes,
                                   const std::vector<uint8_t>& scripts, const std::vector<uint8_t>& scene);
