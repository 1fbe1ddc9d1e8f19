// The runtime's sound-entity functions on a project file and content banks
// loaded through the runtime: the search for a definition across banks,
// references, handles, global variables by bank handle and the 8-bit name
// buffers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "NonTW/IAUDEng/CEntity.h"
#include "NonTW/IAUDEng/IAUDApi.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDEntityApi.h"
#include "NonTW/IAUDEng/IAUDFileObject.h"
#include "NonTW/IAUDEng/tests/EntityTestSupport.h"
#include "NonTW/IAUDEng/tests/IAUDTestSupport.h"
#include "NonTW/IAUDEng/tests/PlayerTestSupport.h"

namespace {

using entitytest::EntityList;
using entitytest::Var;
using iaudtest::U16;
using iaudtest::W;

const std::vector<Var> kLocals = {{"mood", {"calm", "tense"}, 1}, {std::string(31, 'v'), {"s"}, 0}};
const std::vector<Var> kGlobals = {{"G", {"zero", "one"}, 0}};

class EntityApiTest : public playertest::PlayerRuntimeTest {
 protected:
  std::string Make(const std::string& name, const std::string& description) {
    std::string path = iaudtest::MakeRiff(dir, name, description);
    EXPECT_FALSE(path.empty()) << name;
    return path;
  }
  // A bank holding "Door" (an entity) and "Seq" (a sequence).
  std::string BankFile(const std::string& name) {
    return Make(name, "RIFF icbf\n  chunk titl text \"" + name + "\"\n  chunk obdx\n" + entitytest::GlobalVars(kGlobals) +
                          EntityList(0, "Door", kLocals, {}, -1, {}) +
                          " LIST sqob\n  chunk indx u32 0\n  chunk titl text \"Seq\"\n  chunk trks u32 1\n end\nend\n");
  }
  void LoadProject() {
    std::string a = BankFile("A"), b = BankFile("B");
    std::string project = Make("project", "RIFF isac\n  chunk titl text \"Game\"\n"
                                              "  chunk ctdx u32 1 text:128 \"Door\" fourcc ento u32 0\n  chunk icbr text \"" + a +
                                              "\"\n  chunk icbr text \"" + b + "\"\n" + entitytest::GlobalVars(kGlobals) +
                                              EntityList(0, "Door", kLocals, {}, -1, {}) + "end\n");
    ASSERT_EQ(apiLoadFileChar(project.c_str()), 0);
    ASSERT_NE(IAUDResourceManager::GetFileObject(), nullptr);
    bankA = IAUDResourceManager::GetFirstContentBank();
    ASSERT_NE(bankA, nullptr);
    bankB = bankA->GetPostContentBank();
    ASSERT_NE(bankB, nullptr);
  }
  iaudtest::TempDir dir;
  IAUDContentBank* bankA = nullptr;
  IAUDContentBank* bankB = nullptr;
};

TEST_F(EntityApiTest, CreationSearchesTheProjectFirstAndCountsReferences) {
  LoadProject();
  IAUDFileObject* project = IAUDResourceManager::GetFileObject();
  void* entity = nullptr;
  ASSERT_EQ(apiCreateEntityShort(&entity, W(U16("Door")), IAUDAllContentBanks()), 0);
  ASSERT_NE(entity, nullptr);
  EXPECT_EQ(static_cast<CEntity*>(entity)->GetContentBank(), project);
  EXPECT_EQ(project->GetContentBankReference(), 1);
  EXPECT_EQ(bankA->GetContentBankReference(), 0);
  EXPECT_EQ(bankB->GetContentBankReference(), 0);

  void* fromB = nullptr;
  ASSERT_EQ(apiCreateEntityChar(&fromB, "Door", bankB), 0);
  EXPECT_EQ(static_cast<CEntity*>(fromB)->GetContentBank(), bankB);
  EXPECT_EQ(apiUnloadContentBank(bankB), kIAUD_BANK_REFERENCED);

  struct Case {
    const char* name;
    void* bank;
    int32_t code;
  } refused[] = {
      {"Seq", bankA, kIAUD_NO_ENTITY},               // a sequence, not an entity
      {"Seq", IAUDAllContentBanks(), kIAUD_NO_ENTITY},
      {"Nobody", nullptr, kIAUD_NO_ENTITY},
      {"Door", reinterpret_cast<void*>(&dir), kIAUD_NO_ENTITY},  // not a bank
  };
  for (const Case& c : refused) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(apiCreateEntityChar(&out, c.name, c.bank), c.code) << c.name;
    EXPECT_EQ(out, nullptr) << c.name;
  }
  std::string longName(200, 'D');
  void* out = nullptr;
  EXPECT_EQ(apiCreateEntityChar(&out, longName.c_str(), IAUDAllContentBanks()), kIAUD_NO_ENTITY);
  EXPECT_EQ(apiCreateEntityChar(nullptr, "Door", nullptr), kIAUD_BAD_ARGUMENT);

  EXPECT_EQ(apiIsValidEntityHandle(entity), 0);
  EXPECT_EQ(apiDestroyEntity(entity), 0);
  EXPECT_EQ(project->GetContentBankReference(), 0);
  EXPECT_EQ(apiDestroyEntity(entity), kIAUD_INVALID_HANDLE);
  int32_t state = 0;
  EXPECT_EQ(apiGetEntityLocalVarStateShort(entity, W(U16("mood")), &state), kIAUD_INVALID_HANDLE);
  EXPECT_EQ(apiIsValidEntityHandle(entity), kIAUD_INVALID_HANDLE);
  EXPECT_EQ(apiDestroyEntity(fromB), 0);
  EXPECT_EQ(apiUnloadContentBank(bankB), 0);
}

TEST_F(EntityApiTest, VariablesByNameAndIndexWithTheirCodes) {
  EXPECT_EQ(apiSetEntityGlobalVarStateChar(nullptr, "G", "one"), kIAUD_INVALID_HANDLE) << "no project file";
  LoadProject();
  IAUDFileObject* project = IAUDResourceManager::GetFileObject();
  EXPECT_EQ(apiSetEntityGlobalVarStateChar(nullptr, "G", "one"), 0);
  EXPECT_EQ(project->GetGlobalVarState(0u), 1);
  EXPECT_EQ(bankA->GetGlobalVarState(0u), 0);
  EXPECT_EQ(apiSetEntityGlobalVarState(bankA, 0, 1), 0);
  EXPECT_EQ(bankA->GetGlobalVarState(0u), 1);
  EXPECT_EQ(apiSetEntityGlobalVarState(bankA, 0, 2), kIAUD_BAD_ARGUMENT);
  EXPECT_EQ(apiSetEntityGlobalVarState(reinterpret_cast<void*>(&dir), 0, 1), kIAUD_INVALID_HANDLE);
  int32_t state = -5;
  EXPECT_EQ(apiGetEntityGlobalVarStateChar(project, "G", &state), 0);
  EXPECT_EQ(state, 1);
  EXPECT_EQ(apiGetEntityGlobalVarStateChar(project, "g", &state), kIAUD_BAD_ARGUMENT);
  EXPECT_EQ(state, -1) << "a failed lookup stores -1";

  void* entity = nullptr;
  ASSERT_EQ(apiCreateEntityChar(&entity, "Door", nullptr), 0);
  EXPECT_EQ(apiGetEntityLocalVarStateChar(entity, "mood", &state), 0);
  EXPECT_EQ(state, 1) << "the initial state, tense";
  EXPECT_EQ(apiSetEntityLocalVarStateChar(entity, "mood", "calm"), 0);
  EXPECT_EQ(apiGetEntityLocalVarState(entity, 0, &state), 0);
  EXPECT_EQ(state, 0);
  EXPECT_EQ(apiSetEntityLocalVarStateChar(entity, "mood", "Tense"), kIAUD_BAD_ARGUMENT);
  state = 7;
  EXPECT_EQ(apiGetEntityLocalVarState(entity, 5, &state), kIAUD_BAD_ARGUMENT);
  EXPECT_EQ(state, 7) << "an index lookup that fails writes nothing";
  uint32_t count = 0;
  EXPECT_EQ(apiGetNumLocalVars(entity, &count), 0);
  EXPECT_EQ(count, 2u);
  int32_t states = 0;
  EXPECT_EQ(apiGetNumLocalVarStates(entity, 0, &states), 0);
  EXPECT_EQ(states, 2);
  EXPECT_EQ(apiGetNumLocalVarStates(entity, 2, &states), kIAUD_BAD_ARGUMENT);
  EXPECT_EQ(states, -1);

  // A 32-character name does not fit the 32-unit buffer: not found.
  std::string tooLong(32, 'v');
  EXPECT_EQ(apiSetEntityLocalVarStateChar(entity, tooLong.c_str(), "s"), kIAUD_BAD_ARGUMENT);
  EXPECT_EQ(apiSetEntityLocalVarStateChar(entity, std::string(31, 'v').c_str(), "s"), 0);
}

TEST_F(EntityApiTest, NameReadersFetchAtMostThirtyTwoCharacters) {
  LoadProject();
  void* entity = nullptr;
  ASSERT_EQ(apiCreateEntityChar(&entity, "Door", nullptr), 0);
  char out[100];
  memset(out, 'X', sizeof(out));
  ASSERT_EQ(apiGetLocalVarNameChar(entity, 1, out, 100), 0);
  EXPECT_EQ(std::string(out), std::string(31, 'v'));
  for (int i = 32; i < 100; ++i) ASSERT_EQ(out[i], 'X') << "byte " << i << " written";

  memset(out, 'X', sizeof(out));
  ASSERT_EQ(apiGetLocalVarNameChar(entity, 0, out, 3), 0);
  EXPECT_EQ(std::string(out), "mo") << "cut to the buffer with its terminator";
  EXPECT_EQ(out[3], 'X');
  ASSERT_EQ(apiGetLocalVarStateNameChar(entity, 0, 1, out, 100), 0);
  EXPECT_EQ(std::string(out), "tense");
  EXPECT_EQ(apiGetLocalVarStateNameChar(entity, 0, 2, out, 100), kIAUD_BAD_ARGUMENT);
  EXPECT_EQ(apiGetLocalVarNameChar(entity, 0, out, 0), kIAUD_BAD_ARGUMENT);
  ASSERT_EQ(apiGetGlobalVarStateNameChar(nullptr, 0, 1, out, 100), 0);
  EXPECT_EQ(std::string(out), "one");
  uint16_t wide[40];
  ASSERT_EQ(apiGetLocalVarNameShort(entity, 0, wide, 40), 0);
  EXPECT_EQ(iaudtest::Narrow(wide), "mood");
}

TEST_F(EntityApiTest, SpatialPropertiesAndLevelsGoThroughValidHandlesOnly) {
  LoadProject();
  void* entity = nullptr;
  ASSERT_EQ(apiCreateEntityChar(&entity, "Door", nullptr), 0);
  IAUDVector at{1, 2, 3}, back{};
  EXPECT_EQ(apiSetEntityPosition(entity, at), 0);
  EXPECT_EQ(apiGetEntityPosition(entity, &back), 0);
  EXPECT_FLOAT_EQ(back.z, 3.0f);
  // The distance factor keeps entities where they are in world units.
  EXPECT_EQ(apiSetDistanceFactor(4.0f), 0);
  EXPECT_EQ(apiGetEntityPosition(entity, &back), 0);
  EXPECT_FLOAT_EQ(back.y, 2.0f);
  g_flDistanceFactor = 1.0f;
  EXPECT_EQ(apiSetEntityMasterRPCLevel(entity, 0.5f), 0);
  float level = 0;
  EXPECT_EQ(apiGetEntityMasterRPCLevel(entity, &level), 0);
  EXPECT_FLOAT_EQ(level, 0.5f);
  EXPECT_EQ(apiGetEntityRPCLevelChar(entity, "Nothing", &level), kIAUD_BAD_ARGUMENT);
  EXPECT_EQ(apiSetEntityPitch(entity, 1.5f), 0);
  EXPECT_EQ(apiGetEntityPitch(entity, &level), 0);
  EXPECT_FLOAT_EQ(level, 1.5f);
  EXPECT_EQ(apiGetEntityPitch(entity, nullptr), kIAUD_BAD_ARGUMENT);
  EXPECT_EQ(apiActivateEntity(entity, true), 0);
  EXPECT_EQ(apiSuspendAllEntities(nullptr), 0);
  EXPECT_TRUE(static_cast<CEntity*>(entity)->IsSuspended());
  EXPECT_EQ(apiProcessAllEntities(nullptr), 0);
  EXPECT_FALSE(static_cast<CEntity*>(entity)->IsSuspended());
  EXPECT_EQ(apiSuspendAllEntities(reinterpret_cast<void*>(&dir)), kIAUD_INVALID_HANDLE);

  void* bogus = reinterpret_cast<void*>(&dir);
  EXPECT_EQ(apiSetEntityPosition(bogus, at), kIAUD_INVALID_HANDLE);
  EXPECT_EQ(apiActivateEntity(bogus, true), kIAUD_INVALID_HANDLE);
  EXPECT_EQ(apiGetEntityPitch(bogus, &level), kIAUD_INVALID_HANDLE);
}

}  // namespace
