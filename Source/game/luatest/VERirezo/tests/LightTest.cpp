// Light records read from the mesh stream, the light manager's pool, lists,
// range rules, fades and dumps.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "Game/PCGameApp.h"
#include "LightWriter.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/HaloManager.h"
#include "VERirezo/LightManager.h"

namespace {

std::vector<std::string>* s_pLightLines = nullptr;
void LightCaptureLine(const char* text) {
  if (s_pLightLines) s_pLightLines->push_back(text);
}

const uint32_t kSentinel = 0x5EA1ED01u;

class LightFixture : public ::testing::Test {
protected:
  void SetUp() override {
    m_pApp = new PCGameApp();
    gGameApp = m_pApp;
    m_pApp->createLightManagers();
    m_pApp->m_hExponentTexture = 77;
    s_pLightLines = &m_lines;
    g_ErrorManager.SetConsoleCallback(LightCaptureLine);
  }
  void TearDown() override {
    g_ErrorManager.SetConsoleCallback(nullptr);
    s_pLightLines = nullptr;
    m_pApp->m_hExponentTexture = 0;
    m_pApp->releaseLightManagers();
    gGameApp = nullptr;
    delete m_pApp;
  }
  ELightManager& Lights() { return *m_pApp->m_pLightManager; }
  EHaloManager& Halos() { return *m_pApp->m_pHaloManager; }
  bool Traced(const char* text) const {
    for (const std::string& l : m_lines)
      if (l.find(text) != std::string::npos) return true;
    return false;
  }

  // Reads one record (with its type word) followed by the sentinel; the
  // reader must stop exactly at the sentinel.
  bool ReadRecord(const LightRecordDesc& d, ELight*& pKept, bool* pAtSentinel = nullptr) {
    m_bytes.clear();
    WriteLightRecord(m_bytes, d, true);
    const size_t end = m_bytes.size();
    for (int i = 0; i < 4; ++i) m_bytes.push_back((uint8_t)(kSentinel >> (8 * i)));
    EMemReader r(m_bytes.data(), (unsigned)m_bytes.size());
    const bool ok = Lights().ReadMeshLight(r, 7, nullptr, pKept);
    if (pAtSentinel) *pAtSentinel = r.GetPos() == end;
    return ok;
  }

  PCGameApp* m_pApp = nullptr;
  std::vector<std::string> m_lines;
  std::vector<uint8_t> m_bytes;
};

LightRecordDesc Record(uint32_t type) {
  LightRecordDesc d;
  d.type = type;
  d.name = "Lamp";
  d.colour[0] = 0.5f, d.colour[1] = 0.25f, d.colour[2] = 1;
  d.atten[0] = 1, d.atten[1] = 0.5f, d.atten[2] = 0;
  d.position[0] = 10, d.position[1] = 20, d.position[2] = 30;
  d.direction[0] = 0, d.direction[1] = -1, d.direction[2] = 0;
  return d;
}

// A face of the cube depth map whose index table names plane 1 for texel
// 5 and plane 0 elsewhere; wide faces have more than 256 planes.
LightRecordDesc::Face CubeFace(int nPlanes) {
  LightRecordDesc::Face f;
  f.indices.assign(kDEPTH_MAP_CUBE_SIZE, 0);
  f.indices[5] = (uint16_t)(nPlanes - 1);
  for (int k = 0; k < nPlanes; ++k) {
    f.packedNormals.push_back(LightPackNormal(0, 0, 1));
    f.packedDistances.push_back((int16_t)(k == nPlanes - 1 ? -25 : 32767));
  }
  return f;
}

}  // namespace

// ---------------------------------------------------------------------------

TEST_F(LightFixture, RecordsOfEveryKeptTypeReadBackAndEndAtTheirLastByte) {
  struct Case {
    const char* what;
    LightRecordDesc d;
  };
  std::vector<Case> cases;
  cases.push_back({"point", Record(kLIGHTTYPE_POINT)});
  cases.push_back({"directional", Record(kLIGHTTYPE_DIRECTIONAL)});
  {
    LightRecordDesc d = Record(kLIGHTTYPE_SPOT);
    d.cone = 60, d.penumbra = 30;
    cases.push_back({"spot", d});
  }
  {
    LightRecordDesc d = Record(kLIGHTTYPE_PROJECTED);
    d.up[0] = 1, d.up[1] = 0, d.up[2] = 0;
    d.fov = 45, d.width = 64, d.height = 32, d.attenStart = 5, d.attenEnd = 500, d.projectionMode = 3;
    cases.push_back({"projected", d});
  }
  {
    LightRecordDesc d = Record(kLIGHTTYPE_POINT);
    d.flags |= 0x4;
    d.haloSize = 400, d.haloSecondSize = 0.5f;
    d.name = "";
    cases.push_back({"halo record, no name", d});
  }
  {
    LightRecordDesc d = Record(kLIGHTTYPE_POINT);
    d.flags |= 0x200;
    d.faces[0] = CubeFace(2);      // one-byte index entries
    d.faces[3] = CubeFace(300);    // two-byte index entries
    cases.push_back({"cube depth maps", d});
  }
  {
    LightRecordDesc d = Record(kLIGHTTYPE_DIRECTIONAL);
    d.flags |= 0x200;
    d.faces[0].indices.assign(kDEPTH_MAP_DIRECTIONAL_SIZE, 1);
    d.faces[0].worldPlanes = {0, 1, 0, 5, 0, 0, 1, -7};
    d.depthBounds[3] = d.depthBounds[4] = d.depthBounds[5] = 100;
    cases.push_back({"directional depth map", d});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ELight* p = nullptr;
    bool bAtSentinel = false;
    ASSERT_TRUE(ReadRecord(c.d, p, &bAtSentinel));
    ASSERT_NE(nullptr, p);
    EXPECT_TRUE(bAtSentinel);
    const LightRecordDesc& d = c.d;
    EXPECT_EQ((int)d.type, p->m_eType);
    EXPECT_EQ(d.name.empty(), p->m_szName == nullptr);
    if (p->m_szName) {
      EXPECT_STREQ(d.name.c_str(), p->m_szName);
    }
    EXPECT_EQ(EVec3(d.colour[0], d.colour[1], d.colour[2]), p->m_vColor);
    EXPECT_EQ(EVec3(d.position[0], d.position[1], d.position[2]), p->m_vPosition);
    EXPECT_EQ(d.atten[1], p->m_fLinearAtten);
    if (d.type >= 3) {
      EXPECT_EQ(EVec3(d.direction[0], d.direction[1], d.direction[2]), p->m_vDirection);
    }
    if (d.type == kLIGHTTYPE_SPOT) {
      EXPECT_EQ(60, p->m_fConeAngle);
      EXPECT_EQ(30, p->m_fPenumbraAngle);
      EXPECT_NEAR(0.5f, p->m_fCosConeAngle, 1e-6f);
      EXPECT_NEAR(cosf(30 * 3.14159265f / 180), p->m_fCosInnerAngle, 1e-6f);
    }
    if (d.type == kLIGHTTYPE_PROJECTED) {
      ASSERT_NE(nullptr, p->m_pProjectedLight);
      const EProjectedLight& pl = *p->m_pProjectedLight;
      EXPECT_EQ(EVec3(1, 0, 0), p->m_vUp);
      EXPECT_EQ(45, pl.m_fFieldOfView);
      EXPECT_EQ(64, pl.m_fWidth);
      EXPECT_EQ(32, pl.m_fHeight);
      EXPECT_EQ(5, pl.m_fAttenStart);
      EXPECT_EQ(500, pl.m_fAttenEnd);
      EXPECT_EQ(3, pl.m_eProjectionMode);
      EXPECT_TRUE(p->IsDynamic()) << "projected lights are always dynamic";
      EXPECT_EQ(1, Lights().GetProjectedLights().Num());
    }
    if (d.flags & 0x200) {
      const bool dir = d.type == kLIGHTTYPE_DIRECTIONAL;
      for (int i = 0; i < (dir ? 1 : 6); ++i) {
        EXPECT_EQ(d.faces[i].indices.size(), p->m_anIndexCount[i]) << i;
        EXPECT_EQ(d.faces[i].PlaneCount(dir), p->m_anPlaneCount[i]) << i;
      }
      if (dir) {
        const EPlane plane = p->GetDepthMapDirectionalPlane(EVec2(3, 4));
        EXPECT_EQ(EVec3(0, 0, 1), plane.n);
        EXPECT_EQ(-7, plane.d);
        EXPECT_EQ(100, p->m_DepthMapBounds.vMax.y);
      } else {
        // Texel 5 of faces 0 and 3 names their last plane: distance -25 x 4
        // relative to the light, moved to world space.
        for (int face : {0, 3}) {
          const EPlane plane = p->GetDepthMapCubePlane((CUBEMAPFACE)face, EVec2(5.5f, 0.5f));
          EXPECT_NEAR(1, plane.n.z, 1e-3f);
          EXPECT_NEAR(-100 - 30 * plane.n.z, plane.d, 0.1f) << face;
          EXPECT_EQ(1e9f - 30 * p->GetDepthMapCubePlane((CUBEMAPFACE)face, EVec2(0, 0)).n.z,
                    p->GetDepthMapCubePlane((CUBEMAPFACE)face, EVec2(0, 0)).d);
        }
      }
    }
    Lights().UnregisterLight(p);
    Lights().DeleteLight(p);
  }
}

TEST_F(LightFixture, UnkeptTypesAndDynamicPointsWithoutLinearFalloffAreDropped) {
  struct Case {
    uint32_t type, flags;
    float linear;
    const char* name;
    const char* trace;  // null: none
  } cases[] = {
      {0, 0x10000, 0.5f, "A", nullptr},
      {1, 0x10000, 0.5f, "B", nullptr},
      {2, 0x10001, 0, "Torch", "Skipping a dynamic point light with non-linear falloff: Torch"},
      {2, 0x10001, 0, "", "Skipping a dynamic point light with non-linear falloff: Unknown"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    m_lines.clear();
    LightRecordDesc d = Record(c.type);
    d.flags = c.flags;
    d.atten[1] = c.linear;
    d.name = c.name;
    ELight* p = reinterpret_cast<ELight*>(1);
    bool bAtSentinel = false;
    EXPECT_TRUE(ReadRecord(d, p, &bAtSentinel));
    EXPECT_TRUE(bAtSentinel);
    EXPECT_EQ(nullptr, p);
    EXPECT_EQ(0, Lights().GetLightArray()->GetNumUsed());
    EXPECT_EQ(0, Lights().GetAllLights().Num());
    if (c.trace) {
      EXPECT_TRUE(Traced(c.trace));
    } else {
      EXPECT_TRUE(m_lines.empty());
    }
  }
  // A dynamic point light with a linear term stays, on both lists.
  LightRecordDesc d = Record(kLIGHTTYPE_POINT);
  d.flags = 0x10001;
  ELight* p = nullptr;
  ASSERT_TRUE(ReadRecord(d, p));
  ASSERT_NE(nullptr, p);
  EXPECT_EQ(1, Lights().GetDynamicLights().Num());
}

TEST_F(LightFixture, DamagedRecordsFailAndDamagedDepthMapsAreIgnored) {
  // A record cut short fails and keeps nothing.
  LightRecordDesc d = Record(kLIGHTTYPE_SPOT);
  std::vector<uint8_t> bytes;
  WriteLightRecord(bytes, d, true);
  for (size_t cut : {(size_t)2, (size_t)9, bytes.size() - 1}) {
    EMemReader r(bytes.data(), (unsigned)cut);
    ELight* p = nullptr;
    EXPECT_FALSE(Lights().ReadMeshLight(r, 7, nullptr, p)) << cut;
    EXPECT_EQ(0, Lights().GetLightArray()->GetNumUsed());
  }
  // Depth maps that cannot answer every texel: each such face is dropped
  // with a warning and the record still ends where it should.
  struct Case {
    const char* what;
    LightRecordDesc::Face face;
  };
  std::vector<Case> faces;
  {
    LightRecordDesc::Face f = CubeFace(2);
    f.indices[700] = 2;  // past the plane count
    faces.push_back({"index past the planes", f});
  }
  {
    LightRecordDesc::Face f = CubeFace(2);
    f.indices.resize(100);
    faces.push_back({"short index table", f});
  }
  {
    LightRecordDesc::Face f = CubeFace(40);
    f.indices.clear();
    faces.push_back({"fewer planes than texels", f});
  }
  {
    LightRecordDesc::Face f;
    f.indices.assign(kDEPTH_MAP_CUBE_SIZE, 0);
    faces.push_back({"indices without planes", f});
  }
  for (const Case& c : faces) {
    SCOPED_TRACE(c.what);
    m_lines.clear();
    LightRecordDesc dm = Record(kLIGHTTYPE_POINT);
    dm.flags |= 0x200;
    dm.faces[1] = c.face;
    ELight* p = nullptr;
    bool bAtSentinel = false;
    ASSERT_TRUE(ReadRecord(dm, p, &bAtSentinel));
    ASSERT_NE(nullptr, p);
    EXPECT_TRUE(bAtSentinel);
    EXPECT_FALSE(p->HasDepthMapFace(1));
    EXPECT_TRUE(Traced("depth map face 1"));
    // Every direction through face 1 (+X... whichever face it is) is lit.
    for (int face = 0; face < 6; ++face) {
      const EVec3 dirs[6] = {EVec3(1, 0, 0), EVec3(-1, 0, 0), EVec3(0, 1, 0),
                             EVec3(0, -1, 0), EVec3(0, 0, 1), EVec3(0, 0, -1)};
      EXPECT_EQ(1.0f, p->GetSampleVisibility(p->m_vPosition + dirs[face] * 50.0f));
    }
    Lights().UnregisterLight(p);
    Lights().DeleteLight(p);
  }
}

TEST_F(LightFixture, RangesSpotConesAndHalosFollowTheRecord) {
  struct RangeCase {
    float k, l, q, range;
    float wantRange, wantLinear;
  } ranges[] = {
      {1, 0.5f, 0, kLIGHT_NO_RANGE, 32, 0.5f},
      {1, 0, 4, kLIGHT_NO_RANGE, 4, 0},
      {1, 0.5f, 4, kLIGHT_NO_RANGE, 4, 0.5f},
      {1, 0, 0, 100, 100, 0.16f},
      {1, 0, 0, kLIGHT_NO_RANGE, kLIGHT_NO_RANGE, 0},
  };
  for (const RangeCase& c : ranges) {
    ELight* p = Lights().AddLight();
    p->m_eType = kLIGHTTYPE_POINT;
    p->m_fConstantAtten = c.k, p->m_fLinearAtten = c.l, p->m_fQuadraticAtten = c.q, p->m_fRange = c.range;
    Lights().RegisterLight(p);
    EXPECT_FLOAT_EQ(c.wantRange, p->m_fRange) << c.l << " " << c.q;
    EXPECT_FLOAT_EQ(c.wantLinear, p->m_fLinearAtten) << c.range;
    Lights().UnregisterLight(p);
    Lights().DeleteLight(p);
  }
  struct SpotCase {
    float cone, penumbra, want;
  } spots[] = {{60, 5, 19.8f}, {60, 80, 60}, {60, 30, 30}};
  for (const SpotCase& c : spots) {
    LightRecordDesc d = Record(kLIGHTTYPE_SPOT);
    d.cone = c.cone, d.penumbra = c.penumbra;
    ELight* p = nullptr;
    ASSERT_TRUE(ReadRecord(d, p));
    EXPECT_FLOAT_EQ(c.want, p->m_fPenumbraAngle) << c.penumbra;
    Lights().UnregisterLight(p);
    Lights().DeleteLight(p);
  }
  // Halos: a stored size is halved; a halo without its record gets the
  // defaults and the exponent texture.
  struct HaloCase {
    uint32_t flags;
    float size, second;
    float wantSize, wantSecond;
  } halos[] = {{0x10006, 400, 0.5f, 200, 0.5f}, {0x10002, 0, 0, 400, 0.15f}};
  for (const HaloCase& c : halos) {
    LightRecordDesc d = Record(kLIGHTTYPE_POINT);
    d.flags = c.flags, d.haloSize = c.size, d.haloSecondSize = c.second;
    ELight* p = nullptr;
    ASSERT_TRUE(ReadRecord(d, p));
    const EHalo* h = Halos().GetHalo(p->m_idHalo);
    ASSERT_NE(nullptr, h) << c.flags;
    EXPECT_FLOAT_EQ(c.wantSize, h->m_fSize);
    EXPECT_FLOAT_EQ(c.wantSecond, h->m_fSecondSize);
    EXPECT_EQ(77u, h->m_hTexture);
    EXPECT_EQ(EVec3(10, 20, 30), h->m_vPosition);
    Lights().UnregisterLight(p);
    EXPECT_EQ(0, Halos().GetHaloCount()) << "unregistering deletes the halo";
    Lights().DeleteLight(p);
  }
}

TEST_F(LightFixture, FadesVisibilityAndTheRigFlagFollowEachFrame) {
  ELight* p = Lights().AddLight();
  p->m_eType = kLIGHTTYPE_POINT;
  p->m_vColor = EVec3(0, 0, 0);
  p->m_vTargetColor = EVec3(1, 1, 1);
  p->m_fColorFadeTime = 2;
  p->m_fTargetIntensity = 3;
  p->m_fIntensityFadeTime = 1;
  const float wantColour[] = {0.25f, 0.5f, 0.75f, 1, 1, 1};
  const float wantIntensity[] = {2, 3, 3, 3, 3, 3};
  for (int i = 0; i < 6; ++i) {
    Lights().UpdateLights(0.5f);
    EXPECT_NEAR(wantColour[i], p->m_vColor.x, 1e-5f) << i;
    EXPECT_NEAR(wantColour[i], p->m_vColor.z, 1e-5f) << i;
    EXPECT_NEAR(wantIntensity[i], p->m_fIntensity, 1e-5f) << i;
  }
  EXPECT_EQ(0, p->m_fColorFadeTime);
  struct Case {
    EVec3 colour;
    float intensity;
    bool enabled, visible;
  } cases[] = {{EVec3(1, -1, 0), 1, true, false},
               {EVec3(1, 0, 0), 0, true, false},
               {EVec3(1, 0, 0), 1, false, false},
               {EVec3(0, 0, 0.1f), 1, true, true}};
  for (const Case& c : cases) {
    p->m_vColor = c.colour;
    p->m_fIntensity = c.intensity;
    p->SetEnabled(c.enabled);
    EXPECT_EQ(c.visible, p->IsVisible()) << c.colour.x << " " << c.colour.y << " " << c.intensity;
  }
  // A light with a stale rig flag and no rig entity loses it.
  p->m_dwFlags |= kLIGHTFLAG_LIGHT_RIG;
  Lights().UpdateLights(0.1f);
  EXPECT_FALSE(p->IsLightRig());
  Lights().DeleteLight(p);
}

TEST_F(LightFixture, PoolNamesPsiColourAndDump) {
  ELight* a = Lights().AddLight();
  ELight* b = Lights().AddLight();
  ELight* c = Lights().AddLight();
  EMesh* meshA = reinterpret_cast<EMesh*>(0x100);
  EMesh* meshB = reinterpret_cast<EMesh*>(0x200);
  a->m_szName = strdup("Sun");
  b->m_szName = strdup("Sun");
  a->m_pMesh = meshA;
  b->m_pMesh = meshB;
  EXPECT_EQ(0u, Lights().FindLightByName(nullptr, nullptr));
  EXPECT_EQ(a->m_id, Lights().FindLightByName("Sun", nullptr));
  EXPECT_EQ(b->m_id, Lights().FindLightByName("Sun", meshB));
  EXPECT_EQ(0u, Lights().FindLightByName("sun", nullptr)) << "case counts";
  EXPECT_EQ(0u, Lights().FindLightByName("Sun", reinterpret_cast<EMesh*>(0x300)));
  EXPECT_EQ(b, Lights().GetLight(b->m_id));
  EXPECT_EQ(nullptr, Lights().GetLight(0));
  a->m_pMesh = b->m_pMesh = nullptr;

  c->m_dwFlags |= kLIGHTFLAG_PSI;
  Lights().SetPsiLightColor(EVec3(0.2f, 0.3f, 0.4f));
  EXPECT_EQ(EVec3(0.2f, 0.3f, 0.4f), c->m_vColor);
  EXPECT_EQ(EVec3(1, 1, 1), a->m_vColor);
  EXPECT_EQ(EVec3(0.2f, 0.3f, 0.4f), Lights().m_SceneFactors.m_vPsiLightColor);

  a->m_eType = kLIGHTTYPE_POINT;
  a->m_vPosition = EVec3(1.9f, -2.7f, 300);
  a->m_vColor = EVec3(1, 0.5f, 0.25f);
  a->m_fIntensity = 2;
  a->m_dwFlags |= kLIGHTFLAG_DYNAMIC | kLIGHTFLAG_SWITCHABLE;
  b->m_eType = kLIGHTTYPE_DIRECTIONAL;
  free(b->m_szName);
  b->m_szName = nullptr;
  c->m_eType = kLIGHTTYPE_SPOT;
  c->m_dwFlags |= kLIGHTFLAG_LIGHT_RIG;
  Lights().m_SceneFactors.m_vLightRigBoost = EVec3(0.1f, 0.1f, 0.1f);
  Lights().m_SceneFactors.m_fDynamicLightIntensity = 0.5f;
  m_lines.clear();
  Lights().DumpLightInfo();
  const char* want[] = {
      "------------------------",
      "Scene Lights",
      "------------------------",
      "Point light 'Sun', position (1, -2, 300), color (1.0, 0.5, 0.2), dynamic, switchable",
      "Directional light 'Unnamed', position (0, 0, 0), color (1.0, 1.0, 1.0)",
      "Spot light 'Unnamed', position (0, 0, 0), color (0.3, 0.4, 0.5), light rig",
      "------------------------",
      "Total scene lights: 3",
      "------------------------",
  };
  ASSERT_EQ(9u, m_lines.size());
  for (int i = 0; i < 9; ++i) EXPECT_NE(std::string::npos, m_lines[i].find(want[i])) << m_lines[i];
  Lights().DeleteLight(a);
  Lights().DeleteLight(b);
  Lights().DeleteLight(c);
}

TEST_F(LightFixture, TheLightAfterTheLastIsRefused) {
  std::vector<ELight*> made;
  for (int i = 0; i < ELightManager::kMAX_LIGHTS; ++i) {
    made.push_back(Lights().AddLight());
    ASSERT_NE(nullptr, made.back()) << i;
  }
  EXPECT_FALSE(Traced("Exceeded maximum number of lights in a level"));
  EXPECT_EQ(nullptr, Lights().AddLight());
  EXPECT_TRUE(Traced("Exceeded maximum number of lights in a level"));
  // A record read into a full pool fails.
  ELight* p = nullptr;
  EXPECT_FALSE(ReadRecord(Record(kLIGHTTYPE_POINT), p));
  for (ELight* l : made) Lights().DeleteLight(l);
  Lights().DeleteLight(nullptr);
}

TEST_F(LightFixture, ACopyOwnsItsTablesAndHaloAndHasNoShadowCamera) {
  LightRecordDesc d = Record(kLIGHTTYPE_PROJECTED);
  d.flags |= 0x200 | 0x2;
  d.faces[2] = CubeFace(2);
  ELight* src = nullptr;
  ASSERT_TRUE(ReadRecord(d, src));
  src->m_pProjectedLight->m_pShadowCamera = new ECamera();
  src->m_pProjectedLight->m_hRenderedTexture = 0;
  ELight* copy = Lights().AddLight();
  *copy = *src;
  EXPECT_STREQ("Lamp", copy->m_szName);
  EXPECT_NE(src->m_szName, copy->m_szName);
  ASSERT_NE(nullptr, copy->m_pProjectedLight);
  EXPECT_NE(src->m_pProjectedLight, copy->m_pProjectedLight);
  EXPECT_EQ(nullptr, copy->m_pProjectedLight->m_pShadowCamera);
  EXPECT_EQ(10000, copy->m_pProjectedLight->m_fAttenEnd);
  EXPECT_NE(src->m_apIndexTable[2], copy->m_apIndexTable[2]);
  EXPECT_NE(src->m_apPlaneTable[2], copy->m_apPlaneTable[2]);
  EXPECT_EQ(0, memcmp(src->m_apIndexTable[2], copy->m_apIndexTable[2], kDEPTH_MAP_CUBE_SIZE));
  EXPECT_FALSE(copy->GetFlags() & kLIGHTFLAG_CACHE_VALID);
  ASSERT_NE(0u, copy->m_idHalo);
  EXPECT_NE(src->m_idHalo, copy->m_idHalo);
  EXPECT_EQ(2, Halos().GetHaloCount());
  // Each light frees only its own: the source goes first, the copy after.
  Lights().UnregisterLight(src);
  Lights().DeleteLight(src);
  EXPECT_EQ(1, Halos().GetHaloCount());
  EXPECT_EQ(0, copy->GetDepthMapCubePlane((CUBEMAPFACE)2, EVec2(0, 0)).n.x);
  Lights().UnregisterLight(copy);
  Lights().DeleteLight(copy);
  EXPECT_EQ(0, Halos().GetHaloCount());
}
