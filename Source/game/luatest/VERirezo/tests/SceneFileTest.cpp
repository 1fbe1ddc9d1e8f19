// Mesh records, scene files, domains read from them and the mesh manager
// with its packs, over files written by the scene writer.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "Game/PCGameApp.h"
#include "SceneTestSupport.h"
#include <SDL/SDL.h>

#include "TWGraphics/Renderer.h"
#include "TWGraphics/tests/GraphicsTestSupport.h"
#include "TWGraphics/tests/WindowedRenderer.h"
#include "TWUtil/ByteOrder.h"
#include "TWUtil/EFileManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Instancable.h"
#include "VERirezo/Joint.h"
#include "VERirezo/Light.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/MeshLights.h"
#include "VERirezo/MeshManager.h"
#include "VERirezo/Model.h"
#include "VERirezo/Scene.h"
#include "VERirezo/Skeleton.h"
#include "VERirezo/Visibility.h"

using gfxtest::AllTraces;
using gfxtest::CountTraces;

namespace {

// A stand-in light pool and light record: flag word, linear attenuation and
// name. The pool holds kPOOL lights.
struct FakeLights {
  enum { kPOOL = 5 };
  static ELight s_aPool[kPOOL];
  static bool s_abUsed[kPOOL];
  static std::map<const ELight*, std::pair<unsigned, std::string>> s_Info;
  static int s_iRegistered;

  static ELight* Add() {
    for (int i = 0; i < kPOOL; ++i) {
      if (!s_abUsed[i]) {
        s_abUsed[i] = true;
        return &s_aPool[i];
      }
    }
    return nullptr;
  }
  static void Delete(ELight* p) {
    s_abUsed[p - s_aPool] = false;
    s_Info.erase(p);
  }
  static void Register(ELight*) { ++s_iRegistered; }
  static bool Read(ELight& light, EStream& s, unsigned, EMesh*) {
    uint32_t flags = 0;
    float linear = 0;
    char name[64];
    s << flags << linear;
    s.StreamString_4b(name, sizeof(name));
    light.m_fLinearAtten = linear;
    s_Info[&light] = {flags, name};
    return !s.Err();
  }
  static const char* Name(const ELight& l) {
    auto it = s_Info.find(&l);
    return it == s_Info.end() || it->second.second.empty() ? nullptr : it->second.second.c_str();
  }
  static unsigned Flags(const ELight& l) {
    auto it = s_Info.find(&l);
    return it == s_Info.end() ? 0 : it->second.first;
  }
  static void Install() {
    EMeshLightHooks& h = GetMeshLightHooks();
    h.pfnAddLight = &Add;
    h.pfnDeleteLight = &Delete;
    h.pfnRegisterLight = &Register;
    h.pfnRead = &Read;
    h.pfnGetName = &Name;
    h.pfnGetFlags = &Flags;
    for (bool& b : s_abUsed) b = false;
    s_Info.clear();
    s_iRegistered = 0;
  }
  static void Uninstall() { GetMeshLightHooks() = EMeshLightHooks(); }
  static int InUse() {
    int n = 0;
    for (bool b : s_abUsed) n += b;
    return n;
  }
};
ELight FakeLights::s_aPool[FakeLights::kPOOL];
bool FakeLights::s_abUsed[FakeLights::kPOOL];
std::map<const ELight*, std::pair<unsigned, std::string>> FakeLights::s_Info;
int FakeLights::s_iRegistered = 0;

std::vector<uint8_t> LightRecord(uint32_t type, uint32_t flags, float linear, const std::string& name) {
  std::vector<uint8_t> b(12);
  PutLE32(&b[0], type);
  PutLE32(&b[4], flags);
  PutLEFloat(&b[8], linear);
  uint8_t len[4];
  PutLE32(len, name.empty() ? 0 : (uint32_t)name.size() + 1);
  b.insert(b.end(), len, len + 4);
  b.insert(b.end(), name.begin(), name.end());
  if (!name.empty()) b.push_back(0);
  return b;
}

ModelFragDesc Triangle() {
  ModelFragDesc f;
  f.positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
  f.normals = {0, 0, 1, 0, 0, 1, 0, 0, 1};
  f.polys = 1;
  f.indices = {0, 1, 2};
  return f;
}

PlbMeshDesc Mesh(const std::string& name, bool withGeometry = false) {
  PlbMeshDesc m;
  m.name = name;
  if (withGeometry) m.frags.push_back(Triangle());
  return m;
}

class SceneFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    // Fragments keep their geometry in renderer buffers.
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the test script provides one)";
    m_pRenderer = gfxtest::StartWindowedRenderer(64, 64);
    ASSERT_NE(nullptr, m_pRenderer);
    char pattern[] = "/tmp/scenefileXXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    m_Dir = pattern;
    m_pOldFiles = gFile;
    gFile = new EFileManager();
    gFile->AddReadPath(m_Dir.c_str(), true);
    m_pApp = new PCGameApp();
    gGameApp = m_pApp;
    m_pApp->m_pMeshFragManager = new EMeshFragManager();
    m_iMeshes = EMesh::sm_iTotalMeshCount;
    gfxtest::StartTraces();
  }
  void TearDown() override {
    if (!m_pApp) {
      StopRenderer();
      return;
    }
    gfxtest::StopTraces();
    // Common fragments may go only when the game quits.
    m_pApp->m_bQuit = true;
    EMeshManager::Destroy();
    delete m_pScene;
    FakeLights::Uninstall();
    EXPECT_EQ(m_iMeshes, EMesh::sm_iTotalMeshCount) << "every mesh read is deleted";
    delete m_pApp->m_pMeshFragManager;
    m_pApp->m_pMeshFragManager = nullptr;
    gGameApp = nullptr;
    delete m_pApp;
    delete gFile;
    gFile = m_pOldFiles;
    EXPECT_EQ(0, system(("rm -rf '" + m_Dir + "'").c_str()));
    StopRenderer();
  }
  void StopRenderer() {
    if (!m_pRenderer) return;
    m_pRenderer->Shutdown();
    delete m_pRenderer;
    m_pRenderer = nullptr;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  void Save(const std::string& rel, const std::vector<uint8_t>& bytes) {
    std::string path = m_Dir + "/" + rel;
    for (size_t i = m_Dir.size() + 1; i < path.size(); ++i) {
      if (path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
    }
    ASSERT_TRUE(SaveBytes(path, bytes));
  }
  std::vector<uint8_t> Scene(const PlbSceneDesc& d) {
    std::vector<uint8_t> b;
    WritePlbScene(b, d);
    return b;
  }
  // Reads one mesh record on its own.
  EMesh* ReadMesh(const PlbMeshDesc& d, _EEntityMeshInfo* info, int dataType = 2, bool* ok = nullptr) {
    m_Bytes.clear();
    WritePlbMesh(m_Bytes, d, 318);
    scenetest::NamedReader r(m_Bytes, "levels/test.plb", 318);
    EMesh* mesh = new EMesh();
    const bool read = mesh->Read(r, 318, m_Textures, info, dataType);
    if (ok) *ok = read;
    else EXPECT_TRUE(read) << AllTraces();
    if (read) {
      EXPECT_EQ(m_Bytes.size(), r.GetPos()) << "the record is read to its end";
    }
    return mesh;
  }
  EScene& TheScene() {
    if (!m_pScene) m_pScene = new EScene();
    return *m_pScene;
  }
  bool LoadBytes(EDomain* domain, const std::vector<uint8_t>& bytes, const char* name = "level.plb") {
    scenetest::NamedReader r(bytes, name);
    return TheScene().LoadSceneInto(domain, r, false, 2);
  }
  static std::vector<std::string> MeshNames(EDomain* d) {
    std::vector<std::string> names;
    for (POSITION pos = d->GetMeshes().GetHeadPosition(); pos;) names.push_back(d->GetMeshes().GetNext(pos)->GetName());
    return names;
  }

  std::string m_Dir;
  EFileManager* m_pOldFiles = nullptr;
  ERenderer* m_pRenderer = nullptr;
  PCGameApp* m_pApp = nullptr;
  EScene* m_pScene = nullptr;
  EArray<unsigned> m_Textures;
  std::vector<uint8_t> m_Bytes;
  int m_iMeshes = 0;
};

}  // namespace

// ---------------------------------------------------------------------------
// Mesh records

TEST_F(SceneFileTest, AMeshRecordPlacesItsModelAndKeepsItsFlags) {
  PlbMeshDesc d = Mesh("DomainFirstMesh", true);
  d.position[0] = 5;
  d.rotation[1] = 1.5707964f;  // a quarter turn about Y
  d.scale[2] = 3;
  d.boxMin[0] = -2;
  d.boxMax[1] = 4;
  d.recordFlags = 4 | 2;
  d.lodCount = 3;
  d.lodDistances = {10, 20};
  d.children.push_back(Mesh("Knob"));
  EMesh* mesh = ReadMesh(d, nullptr);
  EXPECT_STREQ("levels/test.plb", mesh->GetName()) << "DomainFirstMesh takes the file's name";
  EXPECT_EQ(6u, mesh->GetRecordFlags());
  EXPECT_EQ(3, mesh->GetModel()->GetNumLODs());
  EXPECT_FLOAT_EQ(20.0f, mesh->GetModel()->GetLODDistance(1));
  EXPECT_FLOAT_EQ(5.0f, mesh->GetPosition().x);
  EXPECT_FLOAT_EQ(3.0f, mesh->GetScale().z);
  EXPECT_FLOAT_EQ(-2.0f, mesh->GetBox().vMin.x);
  EXPECT_FLOAT_EQ(4.0f, mesh->GetBox().vMax.y);
  const EMat4 expected = MatrixRotateEuler(EEuler(0, 90.0f, 0));
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(expected.m[i], mesh->GetRotationMatrix().m[i], 1e-5f) << i;
  EXPECT_EQ(1, mesh->GetNumMeshFrags());
  ASSERT_EQ(1, mesh->GetNumChildren());
  EXPECT_EQ(mesh, mesh->GetChild(0)->GetParent());
  EXPECT_STREQ("Knob", mesh->GetChild(0)->GetName());
  EXPECT_EQ(0, mesh->GetNumAffectors()) << "no skeleton, no joint-animation affector";
  delete mesh;

  // One level carries no distances.
  PlbMeshDesc one = Mesh("One");
  one.recordFlags = 2;
  one.lodCount = 1;
  mesh = ReadMesh(one, nullptr);
  EXPECT_EQ(1, mesh->GetModel()->GetNumLODs());
  delete mesh;
}

TEST_F(SceneFileTest, SkeletonsBringOneJointAffectorAheadOfTheRecordsOwn) {
  PlbMeshDesc d = Mesh("Rig");
  d.skeletons = {MakeChainSkeleton("A", 2), MakeChainSkeleton("B", 3)};
  PlbAffectorDesc spin;
  spin.mode = 1;
  spin.keys = {1, 0, 0, 0, 10, 0, 90, 0};
  d.affectors.push_back(spin);
  EMesh* mesh = ReadMesh(d, nullptr);
  EXPECT_EQ(2, mesh->GetNumSkeletons());
  ASSERT_EQ(2, mesh->GetNumAffectors());
  EXPECT_EQ(2, mesh->GetAffector(0)->Type()) << "joint animation first";
  EXPECT_EQ(1, mesh->GetAffector(1)->Type());
  EXPECT_EQ(mesh, mesh->GetSkeleton(1)->GetMesh());
  delete mesh;
}

TEST_F(SceneFileTest, AScriptBindingFillsTheMeshInfoOfATopMeshOnly) {
  PlbMeshDesc d = Mesh("Door");
  d.recordFlags = 1;
  d.scriptClass = "global.doors.Door";
  d.editVars = "locked = 1";
  _EEntityMeshInfo info;
  EMesh* mesh = ReadMesh(d, &info);
  EXPECT_STREQ("global.doors.Door", info.m_szScriptClass);
  EXPECT_STREQ("locked = 1", info.m_szEditVars);
  EXPECT_TRUE(mesh->IsEntityMeshRecord());
  info.Release();
  delete mesh;
}

TEST_F(SceneFileTest, DamagedMeshRecordsAreRefusedWithoutStopping) {
  PlbMeshDesc boundChild = Mesh("Top");
  boundChild.children.push_back(Mesh("Child"));
  boundChild.children[0].recordFlags = 1;
  boundChild.children[0].scriptClass = "x";
  PlbMeshDesc lod0 = Mesh("L0");
  lod0.recordFlags = 2;
  lod0.lodCount = 0;
  PlbMeshDesc lod255 = lod0;
  lod255.lodCount = 255;
  PlbMeshDesc affector = Mesh("Aff");
  affector.affectors.push_back(PlbAffectorDesc());
  affector.affectors[0].type = 3;
  // A count without its records: the reader runs out of bytes.
  PlbMeshDesc triggers = Mesh("Trig");
  triggers.triggerCount = 2;
  PlbMeshDesc light = Mesh("Lit");
  light.lights.push_back(LightRecord(2, 0, 1, "L"));
  // Children nested deeper than 64 levels would run the reader off the stack.
  PlbMeshDesc deep = Mesh("Deep");
  for (int i = 0; i < 70; ++i) {
    PlbMeshDesc outer = Mesh("Deep");
    outer.children.push_back(deep);
    deep = outer;
  }
  const struct {
    PlbMeshDesc desc;
    const char* report;
  } cases[] = {
      {boundChild, "pEntityMeshInfo"},
      {lod0, "m_pModel->m_byLODCount && m_pModel->m_byLODCount < 255"},
      {lod255, "m_pModel->m_byLODCount && m_pModel->m_byLODCount < 255"},
      {affector, "Assert in"},
      {triggers, nullptr},
      {light, "light records"},
      {deep, "iDepth <= kMAX_DEPTH"},
  };
  for (const auto& c : cases) {
    gfxtest::Traces().clear();
    _EEntityMeshInfo info;
    bool ok = true;
    EMesh* mesh = ReadMesh(c.desc, &info, 2, &ok);
    EXPECT_FALSE(ok) << c.desc.name;
    if (c.report) EXPECT_EQ(1, CountTraces(c.report)) << c.desc.name << "\n" << AllTraces();
    info.Release();
    delete mesh;
  }
}

TEST_F(SceneFileTest, OnlyLightTypesTwoToFiveAreKeptAndAFullPoolDropsTheLight) {
  FakeLights::Install();
  PlbMeshDesc d = Mesh("Lamp");
  for (uint32_t type = 0; type <= 6; ++type) d.lights.push_back(LightRecord(type, 0, 1, "T" + std::to_string(type)));
  d.lights.push_back(LightRecord(2, 1, 0, "Flicker"));   // dynamic point light without linear falloff
  d.lights.push_back(LightRecord(2, 1, 0.5f, "Torch"));  // dynamic with linear falloff: kept
  d.lights.push_back(LightRecord(3, 0, 1, "Extra"));      // no room left
  EMesh* mesh = ReadMesh(d, nullptr);
  ASSERT_EQ(5, FakeLights::kPOOL);
  ASSERT_EQ(5, mesh->GetNumLights()) << "types 2, 3, 4 and 5, then Torch; the pool is then full";
  for (int i = 0; i < 4; ++i) EXPECT_EQ(2 + i, mesh->GetLight(i)->m_eType);
  EXPECT_STREQ("Torch", FakeLights::Name(*mesh->GetLight(4)));
  EXPECT_EQ(1, CountTraces("Skipping a dynamic point light with non-linear falloff: Flicker")) << AllTraces();
  EXPECT_EQ(1, CountTraces("Light pool full")) << "Extra is read into a scratch light and dropped";
  EXPECT_EQ(5, FakeLights::s_iRegistered);
  delete mesh;
  EXPECT_EQ(0, FakeLights::InUse()) << "the mesh gives its lights back";
}

TEST_F(SceneFileTest, CommonDataRefusesNoTriggerlessMeshAndKeepsItsCategory) {
  EMesh* mesh = ReadMesh(Mesh("Plain"), nullptr, 1);
  EXPECT_EQ(0, mesh->GetModel()->GetNumTriggers());
  EXPECT_EQ(1, mesh->GetModel()->m_eDataType);
  delete mesh;
}

// ---------------------------------------------------------------------------
// Scene files and domains

TEST_F(SceneFileTest, ASceneLoadsNameBoundsMeshesAndChildrenIntoTheDomain) {
  PlbSceneDesc d;
  d.textures = {{"a.tga", 0, 1}, {"b.tga", 1, 0}};
  d.root.name = "Room";
  d.root.boxMin[0] = -5;
  d.root.boxMax[0] = 5;
  d.root.meshes = {Mesh("M0", true), Mesh("M1"), Mesh("M2")};
  d.root.meshes[2].frags.push_back(Triangle());
  d.root.meshes[2].frags[0].textures = {1};
  d.root.children.resize(1);
  d.root.children[0].name = "Closet";
  d.root.children[0].meshes = {Mesh("Hanger")};
  const std::vector<uint8_t> bytes = Scene(d);

  // The tags are stored byte-reversed.
  const std::string all(bytes.begin(), bytes.end());
  for (const char* tag : {"HSEM", "TADE", "PRCS", "FRTR"}) EXPECT_NE(std::string::npos, all.find(tag)) << tag;

  EDomain* unnamed = TheScene().GetRootDomain();
  ASSERT_TRUE(LoadBytes(unnamed, bytes));
  EXPECT_STREQ("Room", unnamed->GetName());
  EXPECT_FLOAT_EQ(-5.0f, unnamed->GetBounds().vMin.x);
  EXPECT_EQ((std::vector<std::string>{"M0", "M1", "M2"}), MeshNames(unnamed));
  EDomain* closet = unnamed->FindDomain("Closet");
  ASSERT_NE(nullptr, closet);
  EXPECT_EQ(unnamed, closet->GetParent());
  EXPECT_EQ(closet, unnamed->FindMesh("Hanger")->GetOwnerDomain());
  EXPECT_EQ(nullptr, unnamed->FindDomain("closet")) << "domain names are compared with case";

  // A named domain keeps its name and bounds.
  EDomain* named = unnamed->CreateChildDomain("Kept");
  ASSERT_TRUE(LoadBytes(named, bytes));
  EXPECT_STREQ("Kept", named->GetName());
  EXPECT_FLOAT_EQ(0.0f, named->GetBounds().vMin.x);
  EXPECT_EQ(3u, MeshNames(named).size());
}

TEST_F(SceneFileTest, TextureFlagsFollowTheDataTypeAndTheTwoBytes) {
  const struct {
    int type;
    uint8_t a, b;
    unsigned flags;
  } cases[] = {{1, 0, 1, 0x10001}, {2, 0, 1, 0x20000}, {3, 0, 1, 0x30000}, {4, 0, 1, 0x40000},
               {0, 0, 1, 0},       {2, 1, 1, 0x20002}, {2, 0, 0, 0x20010}, {1, 7, 2, 0x10013}};
  for (const auto& c : cases) EXPECT_EQ(c.flags, SceneTextureFlags(c.type, c.a, c.b)) << c.type << " " << (int)c.a;
}

TEST_F(SceneFileTest, RefusedVersionsAndMagicsLeaveTheDomainUnchanged) {
  PlbSceneDesc d;
  d.root.name = "Room";
  d.root.meshes = {Mesh("M0")};
  for (uint32_t version : {316u, 320u}) {
    d.version = version;
    gfxtest::Traces().clear();
    EDomain* domain = TheScene().GetRootDomain()->CreateChildDomain(nullptr);
    EXPECT_FALSE(LoadBytes(domain, Scene(d), "old.plb"));
    char expected[128];
    snprintf(expected, sizeof(expected), "old.plb: unsupported plb version %#04x (require 0x13d - 0x13f)", version);
    EXPECT_EQ(1, CountTraces(expected)) << AllTraces();
    EXPECT_EQ(nullptr, domain->GetName());
    EXPECT_TRUE(domain->GetMeshes().IsEmpty());
  }
  d.version = 318;
  d.magic = 0x12345678;
  gfxtest::Traces().clear();
  EXPECT_FALSE(LoadBytes(TheScene().GetRootDomain(), Scene(d), "junk.plb"));
  EXPECT_EQ(1, CountTraces("junk.plb")) << "a wrong magic names the file";
  EXPECT_TRUE(TheScene().GetRootDomain()->GetMeshes().IsEmpty());
}

TEST_F(SceneFileTest, DamagedDomainRecordsFailTheLoadWithoutStopping) {
  const struct {
    int tag;
    const char* report;
  } cases[] = {{0, "dwTag == ('MESH')"}, {1, "dwTag == ('EDAT')"}, {2, "dwTag == ('SCRP')"}, {3, "dwTag == ('RTRF')"}};
  for (const auto& c : cases) {
    PlbSceneDesc d;
    d.root.meshes = {Mesh("A"), Mesh("B")};
    d.root.tagOverride[c.tag] = 0x11223344;
    gfxtest::Traces().clear();
    EDomain* domain = TheScene().GetRootDomain()->CreateChildDomain("T");
    EXPECT_FALSE(LoadBytes(domain, Scene(d)));
    EXPECT_EQ(1, CountTraces(c.report)) << AllTraces();
    EXPECT_EQ(1, CountTraces("Failed to load root domain: level.plb"));
    EXPECT_TRUE(domain->GetMeshes().IsEmpty()) << "meshes of a refused record are deleted";
  }

  // A mesh that fails takes the meshes read before it along.
  PlbSceneDesc bad;
  bad.root.meshes = {Mesh("A"), Mesh("B"), Mesh("C")};
  bad.root.meshes[2].recordFlags = 2;
  bad.root.meshes[2].lodCount = 0;
  const int before = EMesh::sm_iTotalMeshCount;
  EXPECT_FALSE(LoadBytes(TheScene().GetRootDomain(), Scene(bad)));
  EXPECT_EQ(before, EMesh::sm_iTotalMeshCount);

  // So would domains nested too deep.
  PlbSceneDesc deep;
  for (int i = 0; i < 70; ++i) {
    PlbDomainDesc outer;
    outer.name = "D";
    outer.children.push_back(deep.root);
    deep.root = outer;
  }
  gfxtest::Traces().clear();
  EXPECT_FALSE(LoadBytes(TheScene().GetRootDomain()->CreateChildDomain("Deep"), Scene(deep)));
  EXPECT_EQ(1, CountTraces("iDepth <= kMAX_DEPTH"));

  // Navigation meshes need a mesh of this load to belong to.
  PlbSceneDesc nav;
  nav.navCount = 1;
  gfxtest::Traces().clear();
  EXPECT_FALSE(LoadBytes(TheScene().GetRootDomain()->CreateChildDomain("N"), Scene(nav)));
  EXPECT_EQ(1, CountTraces("posFirstMesh"));
}

TEST_F(SceneFileTest, ASecondFileWithFlagsAndVisibilityIsWarnedAndStaysInStep) {
  PlbSceneDesc level;
  level.flags = 1;
  level.root.name = "Level";
  level.visibility = MakeVisibilityRecord(scenetest::OctreeBytes(scenetest::FullTree(1, 2)), 2,
                                          [](unsigned, unsigned, void*) { return true; }, nullptr);
  EDomain* root = TheScene().GetRootDomain();
  EDomain* levelDomain = root->CreateChildDomain("Level");
  EDomain* sky = root->CreateChildDomain("SkyBox")->CreateChildDomain("Sky1");
  ASSERT_TRUE(LoadBytes(levelDomain, Scene(level)));
  EVisibilityTree* tree = TheScene().GetVisibilityTree();
  ASSERT_NE(nullptr, tree);
  EXPECT_EQ(1u, TheScene().GetSceneFlags());

  PlbSceneDesc box;
  box.flags = 3;
  box.root.meshes = {Mesh("Stars")};
  box.root.references = {"after.plb"};
  box.visibility = MakeVisibilityRecord(scenetest::OctreeBytes(scenetest::FullTree(1, 5)), 5,
                                        [](unsigned, unsigned, void*) { return false; }, nullptr);
  PlbSceneDesc after;
  after.root.meshes = {Mesh("Moon")};
  std::vector<uint8_t> bytes = Scene(box);
  const std::vector<uint8_t> next = Scene(after);
  bytes.insert(bytes.end(), next.begin(), next.end());
  TheScene().SetReferencesInline(true);
  gfxtest::Traces().clear();
  ASSERT_TRUE(LoadBytes(sky, bytes, "sky.plb"));
  EXPECT_EQ(1, CountTraces("Non-scene meshes shouldn't contain scene flags, skipping over: sky.plb"));
  EXPECT_EQ(1, CountTraces("Non-scene meshes shouldn't contain PVS data, skipping over: sky.plb"));
  EXPECT_EQ(tree, TheScene().GetVisibilityTree());
  EXPECT_EQ(1u, TheScene().GetSceneFlags());
  EXPECT_EQ((std::vector<std::string>{"Stars", "Moon"}), MeshNames(sky)) << "the stream stayed in step";
  TheScene().Reset();
  EXPECT_EQ(nullptr, TheScene().GetVisibilityTree());
  EXPECT_EQ(0u, TheScene().GetSceneFlags());
}

TEST_F(SceneFileTest, ReferencesLoadInOrderAndThoseTheyNameFollowInTheSamePass) {
  // main names a.plb (root) and b.plb (child); a.plb names c.plb.
  auto Ref = [](const std::string& mesh, std::vector<std::string> refs) {
    PlbSceneDesc s;
    s.root.meshes = {Mesh(mesh)};
    s.root.references = refs;
    return s;
  };
  PlbSceneDesc main = Ref("Main", {"refs/a.plb"});
  main.root.children.resize(1);
  main.root.children[0].name = "Wing";
  main.root.children[0].references = {"refs/b.plb"};
  Save("refs/a.plb", Scene(Ref("A", {"refs/c.plb"})));
  Save("refs/b.plb", Scene(Ref("B", {})));
  Save("refs/c.plb", Scene(Ref("C", {})));
  Save("main.plb", Scene(main));
  EDomain* level = TheScene().GetRootDomain()->CreateChildDomain("Level");
  ASSERT_TRUE(TheScene().LoadSceneInto(level, "main.plb", false, 2));
  EXPECT_EQ((std::vector<std::string>{"Main", "A", "C"}), MeshNames(level));
  EXPECT_EQ((std::vector<std::string>{"B"}), MeshNames(level->FindDomain("Wing")));
  EXPECT_EQ(0, TheScene().GetNumRuntimeReferences());

  // The same scenes in one stream, read in reference order.
  std::vector<uint8_t> pack = Scene(main);
  for (const char* name : {"A", "B", "C"}) {
    const std::vector<uint8_t> part = Scene(Ref(name, std::string(name) == "A" ? std::vector<std::string>{"c"} : std::vector<std::string>{}));
    pack.insert(pack.end(), part.begin(), part.end());
  }
  EDomain* inlineLevel = TheScene().GetRootDomain()->CreateChildDomain("Inline");
  TheScene().SetReferencesInline(true);
  ASSERT_TRUE(LoadBytes(inlineLevel, pack, "pack"));
  EXPECT_EQ((std::vector<std::string>{"Main", "A", "C"}), MeshNames(inlineLevel));
  EXPECT_EQ((std::vector<std::string>{"B"}), MeshNames(inlineLevel->FindDomain("Wing")));
  TheScene().SetReferencesInline(false);
}

// A file that names itself would load for ever: the chain stops after a
// fixed number of generations with a warning, and the load goes on.
TEST_F(SceneFileTest, AFileNamingItselfStopsAfterItsGenerations) {
  PlbSceneDesc self;
  self.root.meshes = {Mesh("Self")};
  self.root.references = {"self.plb"};
  Save("self.plb", Scene(self));
  EDomain* level = TheScene().GetRootDomain()->CreateChildDomain("Level");
  EXPECT_TRUE(TheScene().LoadSceneInto(level, "self.plb", false, 2));
  EXPECT_EQ(0, TheScene().GetNumRuntimeReferences());
  EXPECT_EQ(1, CountTraces("nested too deep")) << AllTraces();
}

TEST_F(SceneFileTest, ClearingADomainResetsItsBounds) {
  PlbSceneDesc d;
  d.root.meshes = {Mesh("Far")};
  d.root.meshes[0].position[0] = 100;
  EDomain* level = TheScene().GetRootDomain()->CreateChildDomain("Level");
  ASSERT_TRUE(LoadBytes(level, Scene(d)));
  level->UpdateBoundingBox();
  EXPECT_FLOAT_EQ(101.0f, level->GetBounds().vMax.x);
  level->Clear();
  EXPECT_TRUE(level->GetMeshes().IsEmpty());
  EXPECT_FLOAT_EQ(0.0f, level->GetBounds().vMax.x) << "the next level starts from fresh bounds";
}

TEST_F(SceneFileTest, SingleMeshFilesHoldExactlyOneTopMesh) {
  Save("one.plb", MakeSingleMeshScene(Mesh("DomainFirstMesh", true)));
  PlbSceneDesc two;
  two.root.meshes = {Mesh("A"), Mesh("B")};
  Save("two.plb", Scene(two));
  EDomain level(&TheScene(), nullptr);
  EMesh* mesh = level.LoadSingleMesh("one.plb", 3);
  ASSERT_NE(nullptr, mesh);
  EXPECT_EQ(m_Dir + "/one.plb", mesh->GetName()) << "named after its file";
  EXPECT_EQ(3, mesh->GetModel()->m_eDataType);
  EXPECT_TRUE(level.GetMeshes().IsEmpty());
  delete mesh;
  EXPECT_EQ(nullptr, level.LoadSingleMesh("two.plb", 3));
  EXPECT_EQ(1, CountTraces("Can't load geometry with more than one top mesh: " + m_Dir + "/two.plb")) << AllTraces();
  EXPECT_EQ(nullptr, level.LoadSingleMesh("missing.plb", 3));
  EXPECT_EQ(1, CountTraces("Unable to open mesh 'missing.plb'"));
}

// ---------------------------------------------------------------------------
// The mesh manager

TEST_F(SceneFileTest, MeshesLoadOnceByNormalisedNameAndAreHandedOutAsInstances) {
  Save("a/b.x", MakeSingleMeshScene(Mesh("DomainFirstMesh", true)));
  EMeshManager* manager = EMeshManager::Get();
  EMesh* first = manager->LoadMesh("A\\B.X", kDATATYPE_LEVEL_WORLD);
  EMesh* second = manager->LoadMesh("a/b.x", kDATATYPE_LEVEL_WORLD);
  ASSERT_NE(nullptr, first);
  ASSERT_NE(nullptr, second);
  EMesh* cached = manager->FindCached("a/b.x");
  EXPECT_EQ(cached, first) << "the first user gets the cached mesh";
  EXPECT_NE(first, second);
  EXPECT_EQ(cached, second->GetOriginal());
  EXPECT_EQ(cached->GetModel(), second->GetModel());
  EXPECT_EQ(2, cached->GetRefCount());
  EXPECT_EQ(1, manager->GetNumCached());
  manager->UnloadMesh(second);
  manager->UnloadMesh(first);
  EXPECT_EQ(0, cached->GetRefCount());
  EXPECT_EQ(cached, manager->FindCached("a/b.x"));

  // With production loading and a running level, an uncached mesh is refused.
  Save("late.plb", MakeSingleMeshScene(Mesh("L", true)));
  m_pApp->GetPrefs().m_bProductionLoading = true;
  m_pApp->m_iLevelLoadedState = 3;
  EXPECT_EQ(nullptr, manager->LoadMesh("late.plb", kDATATYPE_LEVEL_MISC));
  m_pApp->GetPrefs().m_bProductionLoading = false;
  EMesh* late = manager->LoadMesh("late.plb", kDATATYPE_LEVEL_MISC);
  EXPECT_NE(nullptr, late);
  manager->UnloadMesh(late);
  m_pApp->m_iLevelLoadedState = 0;
}

TEST_F(SceneFileTest, UnloadingNeverDeletesACachedEmptyMesh) {
  Save("empty.plb", MakeSingleMeshScene(Mesh("Nothing")));
  EMeshManager* manager = EMeshManager::Get();
  EXPECT_TRUE(manager->PreloadMesh("empty.plb", kDATATYPE_LEVEL_WORLD));
  EMesh* cached = manager->FindCached("empty.plb");
  ASSERT_NE(nullptr, cached);
  EXPECT_EQ(0, cached->GetRefCount());
  EMesh* instance = manager->LoadMesh("empty.plb", kDATATYPE_LEVEL_WORLD);
  ASSERT_EQ(cached, instance);
  const int before = EMesh::sm_iTotalMeshCount;
  manager->UnloadMesh(instance);
  EXPECT_EQ(before, EMesh::sm_iTotalMeshCount) << "the cached mesh stays";
  EXPECT_EQ(cached, manager->FindCached("empty.plb"));

  // A mesh of GetEmptyMesh goes at once.
  EMesh* empty = manager->GetEmptyMesh(nullptr);
  manager->UnloadMesh(empty);
  EXPECT_EQ(before, EMesh::sm_iTotalMeshCount);
}

TEST_F(SceneFileTest, ALevelPurgeKeepsCommonAndUsedUnknownMeshes) {
  const struct {
    const char* name;
    DATATYPE type;
    bool keepInUse;
    bool survives;
  } cases[] = {
      {"common.plb", kDATATYPE_COMMON, false, true},   {"unknown_used.plb", kDATATYPE_UNKNOWN, true, true},
      {"unknown.plb", kDATATYPE_UNKNOWN, false, false}, {"world.plb", kDATATYPE_LEVEL_WORLD, false, false},
      {"char.plb", kDATATYPE_LEVEL_CHARACTER, false, false}, {"misc.plb", kDATATYPE_LEVEL_MISC, false, false},
  };
  EMeshManager* manager = EMeshManager::Get();
  std::vector<EMesh*> inUse;
  for (const auto& c : cases) {
    Save(c.name, MakeSingleMeshScene(Mesh("M", true)));
    if (c.keepInUse) inUse.push_back(manager->LoadMesh(c.name, c.type));
    else ASSERT_TRUE(manager->PreloadMesh(c.name, c.type)) << c.name;
  }
  manager->RegisterEntityMesh(new EMesh());
  manager->RegisterEntityMesh(new EMesh());
  EXPECT_EQ(2, manager->GetNumEntityMeshes());
  manager->PurgeCache(false);
  for (const auto& c : cases) EXPECT_EQ(c.survives, manager->FindCached(c.name) != nullptr) << c.name;
  EXPECT_EQ(0, manager->GetNumEntityMeshes());
  for (EMesh* m : inUse) manager->UnloadMesh(m);
  manager->PurgeCache(false);
  EXPECT_EQ(nullptr, manager->FindCached("unknown_used.plb")) << "freed once no longer in use";
  m_pApp->m_bQuit = true;  // common fragments go only when the game quits
  manager->PurgeCache(true);
  EXPECT_EQ(0, manager->GetNumCached());
}

TEST_F(SceneFileTest, MeshPacksSkipCachedAndRefusedEntriesByTheirSize) {
  EMeshManager* manager = EMeshManager::Get();
  Save("meshes/known.plb", MakeSingleMeshScene(Mesh("Known", true)));
  ASSERT_TRUE(manager->PreloadMesh("meshes/known.plb", kDATATYPE_LEVEL_WORLD));
  PlbSceneDesc two;
  two.root.meshes = {Mesh("A"), Mesh("B")};
  std::vector<MpfEntry> entries(4);
  entries[0] = {"Meshes\\Known.plb", 2, MakeSingleMeshScene(Mesh("Other", true))};
  entries[1] = {"meshes/two.plb", 2, Scene(two)};
  entries[2] = {"meshes/new.plb", 3, MakeSingleMeshScene(Mesh("DomainFirstMesh", true))};
  entries[3] = {"meshes/last.plb", 1, MakeSingleMeshScene(Mesh("Last"))};
  std::vector<uint8_t> pack;
  WriteMpf(pack, entries, 0xDEADBEEF);
  scenetest::NamedReader r(pack, "level.mpf");
  manager->ReadPackFile(r);
  EXPECT_EQ(r.GetSize(), r.GetPos());
  EXPECT_EQ(1, CountTraces("dwHeader == 'KAPM'")) << "reported and read on";
  EXPECT_EQ(1, CountTraces("pOriginalMesh"));
  EXPECT_STREQ("Known", manager->FindCached("meshes/known.plb")->GetName()) << "the cached mesh stays";
  EXPECT_EQ(nullptr, manager->FindCached("meshes/two.plb"));
  ASSERT_NE(nullptr, manager->FindCached("meshes/new.plb"));
  EXPECT_STREQ("meshes/new.plb", manager->FindCached("meshes/new.plb")->GetName());
  EXPECT_EQ(3, manager->FindCached("meshes/new.plb")->GetModel()->m_eDataType);
  EXPECT_NE(nullptr, manager->FindCached("meshes/last.plb"));
}
