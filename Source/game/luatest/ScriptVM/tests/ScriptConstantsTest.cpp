// The script constants: the values scripts rely on, the host's tags, and
// one EntityType_* per numbered entity class record.
#include <set>

#include "ScriptVM/ScriptConstants.h"
#include "ScriptVMTestUtil.h"
#include "VERirezo/Entity.h"

namespace {
// Class records as further entity classes register them: a numbered one, a
// name-only one, and two numbered ones under one name (the newest record
// heads the list, so the older one is met later in the walk).
EEntity::EClassInfo s_Numbered("EntityType_CallsTestNumbered", 77, nullptr, EEntity::StaticClass());
EEntity::EClassInfo s_NameOnly("ECallsTestNameOnly", -2, nullptr, EEntity::StaticClass());
EEntity::EClassInfo s_OlderTwin("EntityType_CallsTestTwin", 40, nullptr, EEntity::StaticClass());
EEntity::EClassInfo s_NewerTwin("EntityType_CallsTestTwin", 41, nullptr, EEntity::StaticClass());

int CountGlobals(lua_State* L) {
  int n = 0;
  lua_getglobals(L);
  int iTable = lua_gettop(L);
  lua_pushnil(L);
  while (lua_next(L, iTable)) {
    ++n;
    lua_pop(L, 1);
  }
  lua_pop(L, 1);
  return n;
}

bool IsNumberGlobal(lua_State* L, const char* szName, float* pValue) {
  lua_getglobal(L, szName);
  bool bNumber = lua_type(L, -1) == LUA_TNUMBER;
  *pValue = bNumber ? lua_tonumber(L, -1) : 0.0f;
  lua_pop(L, 1);
  return bNumber;
}
}  // namespace

class ScriptConstantsTest : public ScriptVMTest {};

TEST_F(ScriptConstantsTest, ValuesScriptsRelyOn) {
  struct Case {
    const char* szName;
    double dValue;
  } cases[] = {
      {"kfZOL_HEIGHT", 150},
      {"kfZOL_HEAD_RADIUS", 40},
      {"LUA_TUSERDATA", 0},
      {"LUA_TFUNCTION", 5},
      {"TT_Warning", 3},
      {"TT_Physics", 7},
      {"TT_Mesh", 14},
      {"TT_Developer1", 15},
      {"TT_Developer5", 19},
      {"kPHYSICS_CHARACTER", 2},
      {"PHYSICSSTATE_Straightjacket", 57},
      {"PHYSICSSTATE_NOPSIFLOAT", 32},
      {"PHYSICS_CHECKTRIGGERS", 128},
      {"PHYSICS_ENHANCED_GRAVITY", 16384},
      {"CPT_Spheres", 3},
      {"kFREEZE_Remove", -2},
      {"INFINITY", 1000000000},
      {"PHYSICS_Lua_please_trash_me", 0},
      {"PHYSICS_GRAVITY", 23},
      {"PHYSICS_WATERDENSITY", 75},
      {"PHYSICS_GravityMinRate", 83},
      {"ENTITY_VISIBLE", 1},
      {"ENTITY_STENCIL_RECEIVER", 1073741824},
      {"ENTITY_NO_TARGET_AURA", -2147483648.0},
      {"ENTITY_CHECKTRIGGERS", 16},
      {"kZONE_RENDER", 5},
      {"kDEBUGINFO_EVENTS", 15},
      {"kDEBUGINFO_PHYSICS", 6},
      {"kDEBUGINFO_PARTICLES", 11},
      {"kMESH_SORT_END", 4},
      {"kMATERIALFLAG_PER_PIXEL_LIGHTING", 8388608},
      {"kSurfaceHang", 1},
      {"kSurfaceTerrain", 524288},
      {"kSPLINEPATH_BOUNCE", 2},
      {"kANIMTEXMODE_DEFAULT", 8},
      {"kCONTROL_NONE", -1},
      {"kCONTROL_RAIL", 16},
      {"kCAMERA_SPHERE", 5},
      {"kCLAIRVOYANCE_CAMERA_ID", 8},
      {"kSECONDARYFLAG_DISTANCE_ADJUST", 2},
      {"kBLENDMODE_MODULATE_ADD_DEST", 9},
      {"kPD_TEXT", 6},
      {"kPDV_NONE", 5},
      {"kPDF_SURFACE", 1},
      {"kPARTICLEAFFECTOR_NOMERCY", 4194304},
      {"kSPLPROG_PROGRESSIVE", 1},
      {"kCOLLIDEFLAG_CheckPosition", 512},
      {"kCOLLIDEFLAG_IgnoreCollideLayer4", -2147483648.0},
      {"kPOWER_SHIELD", 6},
      {"kPOWER_NONE", -1},
      {"kQUICKPICK_TRIGR", 2},
      {"kPSIBLASTIMMUNE_PASSTHROUGH", 5},
      {"kCLAIRFILTER_COLOR_SWAP", 3},
      {"kTKBEHAVIOR_PICKUP_ONLY_NO_LIFT", 5},
      {"kTKTARGET_LOB", 2},
      {"kFILTERTYPE_LUMINANCE", 3},
      {"kMOTIONBLURSTATE_FADE_TO_BLACK", 5},
      {"kNAVLINK_WALK", 33554432},
      {"EntityType_None", -1},
      {"EntityType_Base", 0},
      {"EntityType_Mesh", 1},
      {"TRANS_STRIPTRANS", 3},
      {"JOY_A", 0},
      {"JOY_POV_W", 15},
      {"kSOUNDCAT_CUTSCENE", 9},
      {"kSOUNDCAT_ALL", 11},
  };
  for (const Case& c : cases) {
    float f = 0;
    EXPECT_TRUE(IsNumberGlobal(L, c.szName, &f)) << c.szName;
    EXPECT_EQ((double)f, c.dValue) << c.szName;
  }
  // The values are exact in the interpreter's numbers: the flags survive
  // the bit tests scripts do with them.
  EXPECT_EQ(Num("ENTITY_NO_TARGET_AURA == -2147483648 and 1 or 0"), 1.0f);
}

TEST_F(ScriptConstantsTest, TagConstantsAreTheHostsTags) {
  WriteClass("test.Plain", "");
  ASSERT_NE(vm.CreateScriptObject("test.Plain", "plain", nullptr, nullptr, false, false, true, false), nullptr);
  EXPECT_EQ(Num("LUA_TLSO"), (float)gLuaInheritTag);
  EXPECT_EQ(Num("LUA_TCLASS"), (float)gLuaInheritTag);
  EXPECT_EQ(Num("kDEFAULT_TABLE_TAG"), (float)gLuaDefaultTableTag);
  EXPECT_NE(gLuaInheritTag, gLuaDefaultTableTag);
  EXPECT_EQ(Num("tag(gLSO.plain) == LUA_TLSO and 1 or 0"), 1.0f);
}

TEST_F(ScriptConstantsTest, FixedGroupsAndOneConstantPerNumberedClassRecord) {
  // Register into an empty globals table of the host's interpreter.
  int iTop = lua_gettop(L);
  lua_getglobals(L);
  lua_newtable(L);
  lua_setglobals(L);
  RegisterScriptConstants(L);
  std::set<std::string> names;
  for (const EEntity::EClassInfo* p = EEntity::EClassInfo::GetHead(); p; p = p->m_pNext) {
    if (p->m_iType != -2) names.insert(p->m_szName);
  }
  EXPECT_EQ(CountGlobals(L), 417 + (int)names.size());

  float f = 0;
  EXPECT_TRUE(IsNumberGlobal(L, "EntityType_CallsTestNumbered", &f));
  EXPECT_EQ(f, 77.0f);
  // Of two records under one name, the one met last in the walk stays.
  EXPECT_TRUE(IsNumberGlobal(L, "EntityType_CallsTestTwin", &f));
  EXPECT_EQ(f, 40.0f);
  // Records found by name only have no constant.
  lua_getglobal(L, "ECallsTestNameOnly");
  EXPECT_TRUE(lua_isnil(L, -1));
  lua_pop(L, 1);

  lua_pushvalue(L, iTop + 1);
  lua_setglobals(L);
  lua_settop(L, iTop);
}

TEST_F(ScriptConstantsTest, ARebootRegistersTheSameValuesAgain) {
  Run("ENTITY_VISIBLE = 99 EntityType_Mesh = nil");
  EXPECT_EQ(Num("ENTITY_VISIBLE"), 99.0f);
  vm.Shutdown();
  vm.Initialise();
  L = vm.GetGlobalState();
  EXPECT_EQ(Num("ENTITY_VISIBLE"), 1.0f);
  EXPECT_EQ(Num("EntityType_Mesh"), 1.0f);
  EXPECT_EQ(Num("LUA_TLSO"), (float)gLuaInheritTag);
  EXPECT_EQ(Num("kDEFAULT_TABLE_TAG"), (float)gLuaDefaultTableTag);
}
