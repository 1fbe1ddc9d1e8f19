// Writes the seed corpora of the scene-file and mesh-pack harnesses with
// the scene writer:  scene_seeds <corpus folder>

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "PlbWriter.h"
#include "PpfWriter.h"
#include "TWMath/tests/OctreeTestWriter.h"

namespace {

PlbMeshDesc SceneSeedMesh(const std::string& name, bool geometry) {
  PlbMeshDesc m;
  m.name = name;
  if (geometry) {
    ModelFragDesc f;
    f.positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    f.normals = {0, 0, 1, 0, 0, 1, 0, 0, 1};
    f.polys = 1;
    f.indices = {0, 1, 2};
    f.textures = {0};
    m.frags.push_back(f);
  }
  return m;
}

std::vector<uint8_t> SceneSeedVisibility() {
  octreetest::TreeDesc t;
  t.half = 10;
  t.nodes.push_back({});
  for (uint32_t i = 0; i < 8; ++i) {
    t.nodes[0].push_back(i < 3 ? (0x400000u | i) : 0x7FFFFFu);
    if (i < 3) t.leaves.push_back({0, 0});
  }
  return MakeVisibilityRecord(octreetest::CurrentLayout(t, false), 3,
                              [](unsigned i, unsigned j, void*) { return ((i + j) & 1) == 0; }, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: scene_seeds <corpus folder>\n");
    return 2;
  }
  mkdir(argv[1], 0755);
  const std::string plbDir = std::string(argv[1]) + "/plb_fuzzer";
  const std::string mpfDir = std::string(argv[1]) + "/mpf_fuzzer";
  const std::string ppfDir = std::string(argv[1]) + "/ppf_fuzzer";
  mkdir(plbDir.c_str(), 0755);
  mkdir(mpfDir.c_str(), 0755);
  mkdir(ppfDir.c_str(), 0755);

  // A level: textures, a root with meshes, a child domain, placements, a
  // reference read inline, and visibility data.
  PlbSceneDesc level;
  level.flags = 1;
  level.textures = {{"wall.tga", 0, 1}, {"glass.tga", 1, 0}};
  level.root.name = "Room";
  level.root.boxMax[0] = 10;
  level.root.meshes = {SceneSeedMesh("Floor", true), SceneSeedMesh("Door", false)};
  level.root.meshes[0].recordFlags = 2 | 4;
  level.root.meshes[0].lodCount = 3;
  level.root.meshes[0].lodDistances = {10, 20};
  level.root.meshes[0].skeletons = {MakeChainSkeleton("Rig", 3)};
  level.root.meshes[0].children = {SceneSeedMesh("Knob", false)};
  PlbAffectorDesc spin;
  spin.mode = 1;
  spin.keys = {1, 0, 0, 0, 30, 0, 180, 0};
  level.root.meshes[1].affectors = {spin};
  level.root.meshes[1].recordFlags = 1;
  level.root.meshes[1].scriptClass = "global.Door";
  level.root.initData = {{0x54534554, {1, 2, 3, 4}}};
  PlbPlacement door;
  door.name = "door";
  door.className = "global.Door";
  door.initialMesh = 1;
  door.initialData = 0;
  PlbPlacement gio;
  gio.name = "gio";
  gio.className = "global.props.GIO";
  gio.hasEditVars = true;
  gio.editVars = "value = 1";
  level.root.placements = {door, gio};
  level.root.references = {"extra.plb"};
  level.root.children.resize(1);
  level.root.children[0].name = "Closet";
  level.root.children[0].meshes = {SceneSeedMesh("Shelf", true)};
  level.visibility = SceneSeedVisibility();
  PlbSceneDesc extra;
  extra.root.meshes = {SceneSeedMesh("Extra", false)};

  std::vector<uint8_t> seed = {2};
  WritePlbScene(seed, level);
  WritePlbScene(seed, extra);
  int failures = !SaveBytes(plbDir + "/level", seed);
  std::vector<uint8_t> single = {8 | 1};
  const std::vector<uint8_t> mesh = MakeSingleMeshScene(level.root.meshes[0]);
  single.insert(single.end(), mesh.begin(), mesh.end());
  failures += !SaveBytes(plbDir + "/single", single);

  std::vector<MpfEntry> entries(3);
  entries[0] = {"meshes/floor.plb", 2, mesh};
  entries[1] = {"Meshes\\Floor.plb", 2, mesh};
  entries[2] = {"meshes/extra.plb", 1, MakeSingleMeshScene(extra.root.meshes[0])};
  std::vector<uint8_t> pack;
  WriteMpf(pack, entries);
  failures += !SaveBytes(mpfDir + "/pack", pack);

  // Level packs: a common pack of empty sections, and a level's pack with
  // its meshes and its scene (the first byte picks a level pack).
  std::vector<uint8_t> common = {1};
  const std::vector<uint8_t> commonPack =
      MakeLevelPack(EmptyTextureSection(), EmptyMeshSection(), EmptyScriptSection(), {});
  common.insert(common.end(), commonPack.begin(), commonPack.end());
  failures += !SaveBytes(ppfDir + "/common", common);
  std::vector<uint8_t> scene;
  WritePlbScene(scene, level);
  std::vector<uint8_t> levelPack = {0};
  const std::vector<uint8_t> levelBytes = MakeLevelPack(EmptyTextureSection(), pack, EmptyScriptSection(), scene);
  levelPack.insert(levelPack.end(), levelBytes.begin(), levelBytes.end());
  failures += !SaveBytes(ppfDir + "/level", levelPack);
  return failures ? 1 : 0;
}
