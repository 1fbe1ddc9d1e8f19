// Placed objects of domain records in the running application: script
// objects, entities with their initial meshes, entity-less objects, frozen
// props; and the searches and sleep of the domains they fill.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include "Game/GameApp.h"
#include "Lua/lua.h"
#include "SceneTestSupport.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptVM.h"
#include "TWGraphics/tests/GraphicsTestSupport.h"
#include "TWUtil/ByteOrder.h"
#include "TWUtil/EFileManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Entity.h"
#include "VERirezo/EntityManager.h"
#include "VERirezo/LineCollision.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/MeshManager.h"
#include "VERirezo/Scene.h"

using gfxtest::AllTraces;
using gfxtest::CountTraces;

namespace {

class PlacementApp : public GameApp {
public:
  EVec2* GetMousePoint() override { return &m_vPoint; }
  void UnlockAchievement(const char*) override {}
  EVec2 m_vPoint;
};

class ScenePlacement : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(0, gEntities.GetNumSlots());
    char tmpl[] = "/tmp/scene-placement-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    m_dir = tmpl;
    m_pOldFiles = gFile;
    gFile = new EFileManager();
    gFile->AddReadPath(m_dir.c_str(), false);
    gGameApp = &m_app;
    m_app.BuildDomainTree();
    WriteScript("scripts/Base.lua",
                "gLog = ''\n"
                "function Base()\n"
                "  local o = CreateObject(nil)\n"
                "  o.setState = function(self, s) APISetState(self, s) end\n"
                "  o.onSpawn = function(self) gLog = gLog .. 'Spawn(' .. self.Name .. ');' end\n"
                "  return o\n"
                "end\n");
    WriteClass("test.Prop", "");
    WriteClass("test.Ghost", "  o.EntityType = -1\n");
    WriteClass("test.Line", "  o.EntityType = 7\n");
    WriteClass("global.props.GIO", "");
    WriteClass("global.collectibles.Figment", "");
    m_app.GetScriptVM()->Initialise();
    gfxtest::StartTraces();
  }
  void TearDown() override {
    gfxtest::StopTraces();
    m_app.GetSceneManager()->GetDefaultSceneRootDomain()->Clear();
    m_app.EndFrame();
    m_app.GetScriptVM()->Shutdown();
    EMeshManager::Destroy();
    gGameApp = nullptr;
    delete gFile;
    gFile = m_pOldFiles;
    EXPECT_EQ(0, system(("rm -rf '" + m_dir + "'").c_str()));
  }
  void WriteScript(const std::string& rel, const std::string& text) {
    std::string path = m_dir + "/" + rel;
    for (size_t i = m_dir.size() + 1; i < path.size(); ++i) {
      if (path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
    }
    std::ofstream(path) << text;
  }
  void WriteClass(const std::string& dotted, const std::string& body) {
    std::string rel = dotted;
    for (char& c : rel) c = c == '.' ? '/' : c;
    const std::string shortName = dotted.substr(dotted.rfind('.') + 1);
    WriteScript("scripts/" + rel + ".lua",
                "function " + shortName + "()\n  local o = CreateObject('Base')\n" + body + "  return o\nend\n");
  }
  std::string Log() {
    lua_State* L = m_app.GetScriptVM()->GetGlobalState();
    lua_getglobal(L, "gLog");
    std::string s = lua_isstring(L, -1) ? lua_tostring(L, -1) : "?";
    lua_pop(L, 1);
    m_app.GetScriptVM()->RunLuaCommands("gLog = ''", nullptr, nullptr, 0);
    return s;
  }
  bool Load(const PlbSceneDesc& d) {
    std::vector<uint8_t> bytes;
    WritePlbScene(bytes, d);
    scenetest::NamedReader r(bytes, "room.plb");
    return m_app.m_pLevelDomain->LoadDomain(r, 2);
  }
  static PlbPlacement Place(const char* name, const char* cls, uint32_t flags = 0, int mesh = -1) {
    PlbPlacement p;
    p.name = name;
    p.className = cls;
    p.flags = flags;
    p.initialMesh = mesh;
    return p;
  }
  static PlbMeshDesc Mesh(const char* name) {
    PlbMeshDesc m;
    m.name = name;
    return m;
  }
  EScriptObject* Script(const char* name) { return m_app.GetScriptVM()->FindScriptByName(name); }

  PlacementApp m_app;
  std::string m_dir;
  EFileManager* m_pOldFiles = nullptr;
};

}  // namespace

TEST_F(ScenePlacement, AClaimedMeshBecomesTheEntitysAndLeavesTheDomainList) {
  PlbSceneDesc d;
  d.textures = {{"a.tga"}, {"b.tga"}};
  d.root.name = "Room";
  d.root.meshes = {Mesh("Floor"), Mesh("Chair"), Mesh("Lamp")};
  d.root.meshes[1].recordFlags = 1;
  d.root.meshes[1].scriptClass = "test.Prop";
  d.root.placements = {Place("chair", "test.Prop", 0, 1)};
  d.root.placements[0].position[0] = 7;
  d.root.children.resize(1);
  d.root.children[0].name = "Hall";
  ASSERT_TRUE(Load(d));
  EDomain* level = m_app.m_pLevelDomain;
  std::vector<std::string> names;
  for (POSITION pos = level->GetMeshes().GetHeadPosition(); pos;) names.push_back(level->GetMeshes().GetNext(pos)->GetName());
  EXPECT_EQ((std::vector<std::string>{"Floor", "Lamp"}), names);
  EXPECT_STREQ("Level", level->GetName()) << "a named domain keeps its name";
  ASSERT_NE(nullptr, level->FindDomain("Hall"));

  EEntity* chair = level->FindEntity("CHAIR");
  ASSERT_NE(nullptr, chair) << "entity names are found without regard to case";
  ASSERT_TRUE(chair->IsMeshEntity());
  EMesh* mesh = static_cast<EMeshEntity*>(chair)->GetMesh();
  ASSERT_NE(nullptr, mesh);
  EXPECT_STREQ("Chair", mesh->GetName());
  EXPECT_TRUE(mesh->IsEntityMesh());
  EXPECT_EQ(1, EMeshManager::Get()->GetNumEntityMeshes());
  EXPECT_EQ(level, chair->GetOwnerDomain());
  EXPECT_EQ(chair, Script("chair")->GetEntity());
  EXPECT_EQ("Spawn(chair);", Log());
}

// A placement's init data reaches its entity: 'SPLN' data with three points
// gives the entity a rail line.
TEST_F(ScenePlacement, InitDataIsHandedToThePlacedEntity) {
  PlbInitData spline;
  spline.tag = 0x53504C4E;  // 'SPLN'
  auto put = [&](uint32_t v) {
    uint8_t b[4];
    PutLE32(b, v);
    spline.bytes.insert(spline.bytes.end(), b, b + 4);
  };
  put(0x504F534E);  // 'POSN'
  put(3);
  for (float f : {0.0f, 0.0f, 0.0f, 3.0f, 4.0f, 0.0f, 3.0f, 4.0f, 12.0f}) {
    uint8_t b[4];
    PutLEFloat(b, f);
    spline.bytes.insert(spline.bytes.end(), b, b + 4);
  }
  put(0x4E4F524D);  // 'NORM'
  put(0);
  PlbSceneDesc d;
  d.root.initData = {spline};
  d.root.placements = {Place("rail", "test.Prop"), Place("plain", "test.Prop")};
  d.root.placements[0].initialData = 0;
  ASSERT_TRUE(Load(d));
  EEntity* rail = m_app.m_pLevelDomain->FindEntity("rail");
  EEntity* plain = m_app.m_pLevelDomain->FindEntity("plain");
  ASSERT_NE(nullptr, rail);
  ASSERT_NE(nullptr, plain);
  ASSERT_NE(nullptr, rail->GetLineCollision());
  EXPECT_EQ(3u, rail->GetLineCollision()->GetPoints().size());
  EXPECT_EQ(nullptr, plain->GetLineCollision());
}

TEST_F(ScenePlacement, EntitylessObjectsGetTheirPlacementInTheirTable) {
  PlbSceneDesc d;
  PlbPlacement a = Place("a", "test.Prop", 1);
  a.position[1] = 2;
  a.rotation[2] = 3.14159265f;
  a.scale[0] = 4;
  PlbPlacement ghost = Place("ghost", "test.Ghost");
  d.root.placements = {a, ghost};
  ASSERT_TRUE(Load(d));
  EXPECT_EQ(nullptr, m_app.m_pLevelDomain->FindEntity("a"));
  EXPECT_EQ(nullptr, m_app.m_pLevelDomain->FindEntity("ghost"));
  EScriptObject* o = Script("a");
  ASSERT_NE(nullptr, o);
  const struct {
    const char* key;
    float value;
  } cases[] = {{"PosX", 0}, {"PosY", 2}, {"PosZ", 0}, {"RotX", 0}, {"RotY", 0}, {"RotZ", 180},
               {"ScaleX", 4}, {"ScaleY", 1}, {"ScaleZ", 1}};
  for (const auto& c : cases) {
    float f = -1;
    ASSERT_TRUE(o->GetTableValue(c.key, f)) << c.key;
    EXPECT_NEAR(c.value, f, 1e-3f) << c.key;
  }
  const char* szDomain = nullptr;
  ASSERT_TRUE(o->GetTableValue("Domain", szDomain));
  EXPECT_STREQ("Level", szDomain);
  EXPECT_NE(nullptr, Script("ghost"));
  EXPECT_EQ("Spawn(a);Spawn(ghost);", Log());
}

TEST_F(ScenePlacement, FarPropsGoToTheFreezeManagerAndBrokenPlacementsAreSkipped) {
  PlbSceneDesc d;
  PlbPlacement spline = Place("fig_spline", "global.collectibles.Figment");
  spline.hasEditVars = true;
  spline.editVars = "splineName = 'path1'";
  PlbPlacement loose = Place("fig_loose", "global.collectibles.Figment");
  loose.hasEditVars = true;
  loose.editVars = "value = 3";
  d.root.meshes = {Mesh("Rock")};
  d.root.placements = {Place("frozen", "test.Prop", 2), Place("gio", "global.props.GIO"), loose,
                       Place("fig_bare", "global.collectibles.Figment"), spline,
                       Place("bad_frozen", "test.Prop", 2 | 1), Place("bad_mesh", "test.Line", 0, 0),
                       Place("after", "test.Prop")};
  ASSERT_TRUE(Load(d));
  for (const char* name : {"frozen", "gio", "fig_loose", "fig_bare", "bad_frozen", "bad_mesh"})
    EXPECT_EQ(nullptr, Script(name)) << name;
  EXPECT_NE(nullptr, Script("fig_spline")) << "a figment on a spline is created";
  EXPECT_NE(nullptr, Script("after")) << "a broken placement does not stop the rest";
  EXPECT_EQ(1, CountTraces("(it->m_dwFlags & kSCRIPT_NOENTITY) == 0")) << AllTraces();
  EXPECT_EQ(1, CountTraces("it->m_iInitialMesh == -1"));
  EXPECT_EQ(1, m_app.m_pLevelDomain->GetMeshes().GetCount()) << "the mesh the broken placement named stays";
}

TEST_F(ScenePlacement, SleepReachesEveryChildAndASingleMeshCreatesNoObjects) {
  EDomain* level = m_app.m_pLevelDomain;
  EDomain* a = level->CreateChildDomain("A");
  EDomain* b = a->CreateChildDomain("B");
  b->SetSleepFlag(true);
  level->SetSleepFlag(true);
  level->SetSleepFlag(false);
  EXPECT_FALSE(a->IsSleeping());
  EXPECT_FALSE(b->IsSleeping()) << "waking the parent wakes every child";

  PlbSceneDesc d;
  d.root.meshes = {Mesh("Statue")};
  d.root.placements = {Place("p", "test.Prop")};
  std::vector<uint8_t> bytes;
  WritePlbScene(bytes, d);
  scenetest::NamedReader r(bytes, "statue.plb");
  EMesh* mesh = level->LoadSingleMesh(r, 2);
  ASSERT_NE(nullptr, mesh);
  EXPECT_EQ(nullptr, Script("p"));
  EXPECT_EQ(1, CountTraces("Mesh .plb statue.plb contains scripts (example: test.Prop p)")) << AllTraces();
  delete mesh;
}
