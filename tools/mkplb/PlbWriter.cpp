#include "PlbWriter.h"

#include <cstdio>
#include <cstring>

#include "TWUtil/ByteOrder.h"

namespace {

void PlbU8(std::vector<uint8_t>& out, uint8_t v) { out.push_back(v); }
void PlbU16(std::vector<uint8_t>& out, uint16_t v) {
  uint8_t b[2];
  PutLE16(b, v);
  out.insert(out.end(), b, b + 2);
}
void PlbU32(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t b[4];
  PutLE32(b, v);
  out.insert(out.end(), b, b + 4);
}
void PlbF32(std::vector<uint8_t>& out, float f) {
  uint8_t b[4];
  PutLEFloat(b, f);
  out.insert(out.end(), b, b + 4);
}
void PlbVec(std::vector<uint8_t>& out, const float* v) {
  for (int i = 0; i < 3; ++i) PlbF32(out, v[i]);
}
// A 4-byte length counting the NUL, then the bytes; 0 for an empty text.
void PlbText(std::vector<uint8_t>& out, const std::string& s) {
  if (s.empty()) {
    PlbU32(out, 0);
    return;
  }
  PlbU32(out, (uint32_t)s.size() + 1);
  out.insert(out.end(), s.begin(), s.end());
  out.push_back(0);
}
void PlbBytes(std::vector<uint8_t>& out, const std::vector<uint8_t>& b) { out.insert(out.end(), b.begin(), b.end()); }

}  // namespace

std::vector<uint8_t> MakeVisibilityRecord(const std::vector<uint8_t>& octree, unsigned n,
                                          bool (*visible)(unsigned i, unsigned j, void* user), void* user) {
  std::vector<uint8_t> out = octree;
  const unsigned w = n ? (n - 1) / 32 + 1 : 1;
  std::vector<uint32_t> row(w);
  for (unsigned i = 0; i < n; ++i) {
    std::fill(row.begin(), row.end(), 0u);
    for (unsigned j = 0; j < n; ++j) {
      if (visible(i, j, user)) row[j / 32] |= 1u << (j % 32);
    }
    for (uint32_t word : row) PlbU32(out, word);
  }
  return out;
}

void WritePlbMesh(std::vector<uint8_t>& out, const PlbMeshDesc& m, uint32_t version) {
  PlbText(out, m.name);
  PlbVec(out, m.position);
  PlbVec(out, m.rotation);
  PlbVec(out, m.scale);
  PlbVec(out, m.boxMin);
  PlbVec(out, m.boxMax);
  // Raw trigger records, or a bare count (damaged data) when there are none.
  PlbU32(out, m.triggers.empty() ? m.triggerCount : (uint32_t)m.triggers.size());
  for (const auto& t : m.triggers) PlbBytes(out, t);
  PlbU32(out, m.recordFlags);
  if (m.recordFlags & 1) {
    PlbText(out, m.scriptClass);
    PlbText(out, m.editVars);
  }
  if (m.recordFlags & 2) {
    PlbU8(out, m.lodCount);
    for (int i = 0; i + 1 < (int)m.lodCount; ++i) PlbF32(out, i < (int)m.lodDistances.size() ? m.lodDistances[i] : 0);
  }
  PlbU32(out, (uint32_t)m.lights.size());
  for (const auto& l : m.lights) PlbBytes(out, l);
  PlbU32(out, (uint32_t)m.skeletons.size());
  for (const SkeletonDesc& sk : m.skeletons) {
    std::string error;
    WriteSkeleton(out, sk, (int)version, error);
  }
  PlbU32(out, (uint32_t)m.frags.size());
  for (ModelFragDesc f : m.frags) {
    f.version = (int)version;
    WriteModelFrag(out, f);
  }
  PlbU32(out, (uint32_t)m.affectors.size());
  for (const PlbAffectorDesc& a : m.affectors) {
    PlbU32(out, (uint32_t)a.type);
    PlbU32(out, (uint32_t)a.mode);
    PlbU32(out, (uint32_t)a.lastFrame);
    PlbU32(out, (uint32_t)(a.keys.size() / 4));
    for (size_t k = 0; k + 3 < a.keys.size(); k += 4) {
      PlbU32(out, (uint32_t)(int32_t)a.keys[k]);
      PlbF32(out, a.keys[k + 1]);
      PlbF32(out, a.keys[k + 2]);
      PlbF32(out, a.keys[k + 3]);
    }
  }
  PlbU32(out, m.collisionTree.empty() ? 0 : 1);
  PlbBytes(out, m.collisionTree);
  PlbU32(out, (uint32_t)m.children.size());
  for (const PlbMeshDesc& c : m.children) WritePlbMesh(out, c, version);
}

void WritePlbDomain(std::vector<uint8_t>& out, const PlbDomainDesc& d, uint32_t version) {
  auto tag = [&](int i, uint32_t def) { PlbU32(out, d.tagOverride[i] ? d.tagOverride[i] : def); };
  PlbText(out, d.name);
  PlbVec(out, d.boxMin);
  PlbVec(out, d.boxMax);
  tag(0, kPLB_TAG_MESH);
  PlbU32(out, (uint32_t)d.meshes.size());
  for (const PlbMeshDesc& m : d.meshes) WritePlbMesh(out, m, version);
  tag(1, kPLB_TAG_EDAT);
  PlbU32(out, (uint32_t)d.initData.size());
  for (const PlbInitData& i : d.initData) {
    PlbU32(out, i.tag);
    PlbU32(out, (uint32_t)i.bytes.size());
    PlbBytes(out, i.bytes);
  }
  tag(2, kPLB_TAG_SCRP);
  PlbU32(out, (uint32_t)d.placements.size());
  for (const PlbPlacement& p : d.placements) {
    PlbText(out, p.name);
    PlbText(out, p.className);
    PlbU32(out, p.hasEditVars ? 1 : 0);
    if (p.hasEditVars) PlbText(out, p.editVars);
    PlbVec(out, p.position);
    PlbVec(out, p.rotation);
    PlbVec(out, p.scale);
    PlbU32(out, p.flags);
    PlbU32(out, (uint32_t)p.initialMesh);
    PlbU32(out, (uint32_t)p.initialData);
  }
  tag(3, kPLB_TAG_RTRF);
  PlbU32(out, (uint32_t)d.references.size());
  for (const std::string& r : d.references) PlbText(out, r);
  PlbU32(out, (uint32_t)d.children.size());
  for (const PlbDomainDesc& c : d.children) WritePlbDomain(out, c, version);
}

void WritePlbScene(std::vector<uint8_t>& out, const PlbSceneDesc& s) {
  PlbU32(out, s.magic);
  PlbU32(out, s.version);
  PlbU32(out, s.flags);
  PlbU32(out, (uint32_t)s.textures.size());
  for (const PlbTexture& t : s.textures) {
    PlbText(out, t.name);
    PlbU8(out, t.a);
    PlbU8(out, t.b);
  }
  WritePlbDomain(out, s.root, s.version);
  PlbU32(out, (uint32_t)s.navCount);
  PlbBytes(out, s.navBytes);
  if (s.flags & 1) PlbBytes(out, s.visibility);
}

std::vector<uint8_t> MakeSingleMeshScene(const PlbMeshDesc& mesh, uint32_t version) {
  PlbSceneDesc scene;
  scene.version = version;
  scene.root.meshes.push_back(mesh);
  std::vector<uint8_t> out;
  WritePlbScene(out, scene);
  return out;
}

void WriteMpf(std::vector<uint8_t>& out, const std::vector<MpfEntry>& entries, uint32_t magic) {
  PlbU32(out, magic);
  PlbU16(out, (uint16_t)entries.size());
  for (const MpfEntry& e : entries) {
    PlbU16(out, (uint16_t)(e.name.size() + 1));
    out.insert(out.end(), e.name.begin(), e.name.end());
    out.push_back(0);
    PlbU16(out, e.category);
    PlbU32(out, e.sizeOverride >= 0 ? (uint32_t)e.sizeOverride : (uint32_t)e.data.size());
    PlbBytes(out, e.data);
  }
}

bool SaveBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}
