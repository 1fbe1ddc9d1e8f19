// Writes scene files (".plb"): the header with its texture table, domain
// records with mesh records, init data, placements and runtime references,
// and visibility records; and mesh packs (".mpf") of single-mesh scenes.
// Lights, triggers and navigation meshes are written only as raw bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ModelFragWriter.h"
#include "SkeletonWriter.h"

enum : uint32_t {
  kPLB_MAGIC = 0x564F5250,     // 'VORP': the bytes "PROV"
  kPLB_TAG_MESH = 0x4D455348,  // bytes 48 53 45 4D
  kPLB_TAG_EDAT = 0x45444154,
  kPLB_TAG_SCRP = 0x53435250,
  kPLB_TAG_RTRF = 0x52545246,
  kMPF_MAGIC = 0x4B41504D,     // bytes 4D 50 41 4B
};

struct PlbAffectorDesc {
  int32_t type = 0;
  int32_t mode = 0;  // 0 position, 1 rotation, 2 scale
  int32_t lastFrame = 0;
  std::vector<float> keys;  // frame, x, y, z per key
};

struct PlbMeshDesc {
  std::string name;
  float position[3] = {0, 0, 0};
  float rotation[3] = {0, 0, 0};  // radians
  float scale[3] = {1, 1, 1};
  float boxMin[3] = {0, 0, 0};
  float boxMax[3] = {1, 1, 1};
  uint32_t recordFlags = 0;  // 1 script class, 2 levels of detail, 4 frustum only
  std::string scriptClass, editVars;
  uint8_t lodCount = 1;
  std::vector<float> lodDistances;  // lodCount - 1 written
  // Each light record whole: type word and the light's own bytes.
  std::vector<std::vector<uint8_t>> lights;
  std::vector<SkeletonDesc> skeletons;
  std::vector<ModelFragDesc> frags;
  std::vector<PlbAffectorDesc> affectors;
  std::vector<uint8_t> collisionTree;  // a record; empty for none
  std::vector<PlbMeshDesc> children;
  // Each trigger record whole (see tools/triggerwriter).
  std::vector<std::vector<uint8_t>> triggers;
  // Without records: written as the trigger count alone (for damaged data).
  uint32_t triggerCount = 0;
};

struct PlbInitData {
  uint32_t tag = 0;
  std::vector<uint8_t> bytes;
};

struct PlbPlacement {
  std::string name, className;
  bool hasEditVars = false;
  std::string editVars;
  float position[3] = {0, 0, 0};
  float rotation[3] = {0, 0, 0};  // radians
  float scale[3] = {1, 1, 1};
  uint32_t flags = 0;  // 1 no entity, 2 frozen
  int32_t initialMesh = -1;
  int32_t initialData = -1;
};

struct PlbDomainDesc {
  std::string name;
  float boxMin[3] = {0, 0, 0};
  float boxMax[3] = {0, 0, 0};
  std::vector<PlbMeshDesc> meshes;
  std::vector<PlbInitData> initData;
  std::vector<PlbPlacement> placements;
  std::vector<std::string> references;
  std::vector<PlbDomainDesc> children;
  // Replaces the tag of the same order (0 MESH .. 3 RTRF) when not 0.
  uint32_t tagOverride[4] = {0, 0, 0, 0};
};

struct PlbTexture {
  std::string name;
  uint8_t a = 0;
  uint8_t b = 1;
};

struct PlbSceneDesc {
  uint32_t magic = kPLB_MAGIC;
  uint32_t version = 318;
  uint32_t flags = 0;  // bit 0: visibility follows
  std::vector<PlbTexture> textures;
  PlbDomainDesc root;
  int32_t navCount = 0;
  std::vector<uint8_t> navBytes;  // navCount playground records
  std::vector<uint8_t> visibility;  // a visibility record, when flags bit 0
};

// A visibility record over an octree record of n leaves; visible(i, j) is
// asked for every i and j (the file holds full rows).
std::vector<uint8_t> MakeVisibilityRecord(const std::vector<uint8_t>& octree, unsigned n,
                                          bool (*visible)(unsigned i, unsigned j, void* user), void* user);

void WritePlbMesh(std::vector<uint8_t>& out, const PlbMeshDesc& mesh, uint32_t version);
void WritePlbDomain(std::vector<uint8_t>& out, const PlbDomainDesc& domain, uint32_t version);
void WritePlbScene(std::vector<uint8_t>& out, const PlbSceneDesc& scene);
// A scene file of one mesh: no textures, an unnamed root holding the mesh.
std::vector<uint8_t> MakeSingleMeshScene(const PlbMeshDesc& mesh, uint32_t version = 318);

struct MpfEntry {
  std::string name;
  uint16_t category = 0;
  std::vector<uint8_t> data;  // a single-mesh scene file
  int64_t sizeOverride = -1;   // written instead of data.size() when not -1
};

void WriteMpf(std::vector<uint8_t>& out, const std::vector<MpfEntry>& entries, uint32_t magic = kMPF_MAGIC);

bool SaveBytes(const std::string& path, const std::vector<uint8_t>& bytes);
