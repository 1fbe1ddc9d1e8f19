// Sound-entity definitions and instances on the recording driver: reading,
// writing and name lookups of definitions, damaged definition chunks, the
// state machine (triggers, condition expressions, results seen by later
// actions, instances that set each other's globals) and placement.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "NonTW/IAUDEng/CEntity.h"
#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/CSoundEntity.h"
#include "NonTW/IAUDEng/CSoundEvent.h"
#include "NonTW/IAUDEng/IAUDPlayerApi.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/tests/ContentTestSupport.h"
#include "NonTW/IAUDEng/tests/EntityTestSupport.h"

namespace {

using contenttest::ContentRuntimeTest;
using entitytest::Action;
using entitytest::Cond;
using entitytest::EntityList;
using entitytest::GlobalIs;
using entitytest::Is;
using entitytest::Res;
using entitytest::SetVar;
using entitytest::Var;
using iaudtest::U16;
using iaudtest::W;

bool HasChunk(const std::vector<uint8_t>& bytes, const char* id) {
  for (size_t i = 0; i + 4 <= bytes.size(); ++i)
    if (memcmp(&bytes[i], id, 4) == 0) return true;
  return false;
}

class EntityTest : public ContentRuntimeTest {
 protected:
  CSoundEntity* Definition(const std::string& lists) { return Bank(lists)->GetSoundEntity(0); }
  CEntity* Instance(CSoundEntity* definition) {
    CEntity* e = new CEntity(definition);
    made.push_back(e);
    return e;
  }
  void TearDown() override {
    for (CEntity* e : made) delete e;
    made.clear();
    ContentRuntimeTest::TearDown();
  }
  std::vector<CEntity*> made;
};

TEST_F(EntityTest, ADefinitionGivesInstancesItsVariablesAndLooksNamesUpExactly) {
  CSoundEntity* d = Definition(EntityList(0, "Door", {{"mood", {"calm", "tense"}, 1}, {"lock", {"open", "shut"}, 0}},
                                          {}, -1, {{{Is(0, 0)}, {SetVar(0, 1, 1)}}}));
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(d->IsValid());
  EXPECT_EQ(d->GetNumLocalVars(), 2u);
  EXPECT_EQ(d->GetNumActions(), 1u);
  EXPECT_EQ(d->GetMasterPlayer(), -1);
  CEntity* e = Instance(d);
  EXPECT_EQ(e->GetLocalVarState(W(U16("mood"))), 1) << "starts as tense";
  uint32_t index = 9;
  EXPECT_TRUE(d->GetCLocalStateIndex(0, W(U16("tense")), &index));
  EXPECT_EQ(index, 1u);
  EXPECT_FALSE(d->GetCLocalStateIndex(0, W(U16("Tense")), &index));
  EXPECT_FALSE(d->GetCLocalVarIndex(W(U16("Mood")), &index));
  EXPECT_FALSE(d->GetCLocalStateIndex(2, W(U16("calm")), &index));
  EXPECT_FALSE(e->SetLocalVarState(W(U16("mood")), W(U16("Tense"))));
  EXPECT_TRUE(e->SetLocalVarState(W(U16("mood")), W(U16("calm"))));
  EXPECT_EQ(e->GetLocalVarState(0u), 0);
  EXPECT_FALSE(e->SetLocalVarState(0u, 2u)) << "a state past the count";
  EXPECT_EQ(e->GetLocalVarState(2u), -1);
  EXPECT_EQ(e->GetNumLocalVarStates(1), 2);

  // Loaded: written and read again gives the same bytes.
  std::vector<uint8_t> first = iaudtest::Archive(d);
  EXPECT_TRUE(HasChunk(first, "seca"));
  IAUDContentBank* again = iaudtest::SaveAndReload(owned.back(), dir, "again.icb");
  owned.push_back(again);
  ASSERT_NE(again->GetSoundEntity(0), nullptr);
  EXPECT_EQ(iaudtest::Archive(again->GetSoundEntity(0)), first);

  // Never loaded: only the common chunks.
  CSoundEntity* fresh = new CSoundEntity(owned.back());
  std::vector<uint8_t> bare = iaudtest::Archive(fresh);
  EXPECT_FALSE(fresh->IsValid());
  for (const char* id : {"secl", "secp", "secm", "seca"}) EXPECT_FALSE(HasChunk(bare, id)) << id;
  EXPECT_TRUE(HasChunk(bare, "LIST"));
  fresh->DeleteObject();
}

TEST_F(EntityTest, DamagedChunksStopAtTheirEndAndNamesStayTerminated) {
  struct Case {
    const char* what;
    std::string chunks;
    uint32_t vars, actions, players;
  } cases[] = {
      {"a variable count past the chunk", "  chunk secl u32 5 text:32 \"a\" u32 1 text:32 \"s\" u32 0\n", 1, 0, 0},
      {"a state count past the chunk", "  chunk secl u32 1 text:32 \"a\" u32 100000 text:32 \"s\" u32 0\n", 0, 0, 0},
      {"an action count past the chunk", "  chunk seca u32 3 u32 1 0 0 0 4 1 0 0 u32 0\n", 0, 1, 0},
      {"a condition count past the chunk", "  chunk seca u32 1 u32 0x40000000 0 0 0\n", 0, 0, 0},
      {"a player count past the chunk", "  chunk secp u32 9 u32 1 2\n", 0, 0, 2},
      {"short chunks", "  chunk secl u16 1\n  chunk seca u16 1\n  chunk secp u16 1\n  chunk secm u16 1\n", 0, 0, 0},
  };
  for (const Case& c : cases) {
    CSoundEntity* d = Definition(" LIST ento\n  chunk indx u32 0\n" + c.chunks + " end\n");
    ASSERT_NE(d, nullptr) << c.what;
    EXPECT_EQ(d->GetNumLocalVars(), c.vars) << c.what;
    EXPECT_EQ(d->GetNumActions(), c.actions) << c.what;
    EXPECT_EQ(d->GetNumPlayers(), c.players) << c.what;
    EXPECT_EQ(d->GetMasterPlayer(), -1) << c.what;
  }

  // A name and a state name filling all 32 units keep 31 and a terminator.
  CSoundEntity* d = Definition(" LIST ento\n  chunk indx u32 0\n  chunk secl u32 1 u16 65*32 u32 1 u16 66*32 u32 0\n end\n");
  ASSERT_EQ(d->GetNumLocalVars(), 1u);
  EXPECT_EQ(iaudtest::Narrow(d->GetLocalVar(0)->wszName), std::string(31, 'A'));
  EXPECT_EQ(iaudtest::Narrow(d->GetLocalVar(0)->ppStateNames[0]), std::string(31, 'B'));
}

// Local variables a, b, c (states f, t) and hit; each case's action sets hit.
TEST_F(EntityTest, ConditionsJoinLeftToRightWithinParenthesesAndFireOnChange) {
  const uint32_t a = 0, b = 1, c = 2, hit = 3, none = 9, kAnd = 0, kOr = 1;
  struct Case {
    const char* what;
    std::vector<Cond> conditions;
    uint32_t states[3];
    bool fires;
  } cases[] = {
      {"a OR b AND c is (a OR b) AND c", {Is(a, 1, kOr), Is(b, 1, kAnd), Is(c, 1)}, {1, 0, 0}, false},
      {"(a OR b) AND c", {Is(a, 1, kOr, 1), Is(b, 1, kAnd, 0, 1), Is(c, 1)}, {1, 0, 1}, true},
      {"a AND (b OR c)", {Is(a, 1, kAnd, 1), Is(b, 1, kOr, 1), Is(c, 1, 0, 0, 2)}, {1, 0, 1}, true},
      {"a AND (b OR c), all false inside", {Is(a, 1, kAnd, 1), Is(b, 1, kOr, 1), Is(c, 1, 0, 0, 2)}, {1, 0, 0}, false},
      {"an unmatched parenthesis closes at the end: a OR (b AND c", {Is(a, 1, kOr), Is(b, 1, kAnd, 1), Is(c, 1)},
       {1, 0, 0}, true},
      {"a variable that does not exist is false", {Is(a, 1, kAnd), Cond{0, 0, none, 5, 7, 0, 0}}, {1, 0, 0}, false},
      {"a global that does not exist is false", {Is(a, 1, kAnd), Cond{0, 1, none, 5, 7, 0, 0}}, {1, 0, 0}, false},
      {"an unknown comparison is false", {Cond{0, 0, a, 6, 1, 0, 0}}, {1, 0, 0}, false},
      {"no conditions never fire", {}, {1, 1, 1}, false},
  };
  std::vector<Var> vars = {{"a", {"f", "t"}, 0}, {"b", {"f", "t"}, 0}, {"c", {"f", "t"}, 0}, {"hit", {"no", "yes"}, 0}};
  for (const Case& k : cases) {
    CSoundEntity* d = Definition(EntityList(0, "E", vars, {}, -1, {{k.conditions, {SetVar(0, hit, 1)}}}));
    CEntity* e = Instance(d);
    for (uint32_t v = 0; v < 3; ++v) e->SetLocalVarState(v, k.states[v]);
    EXPECT_EQ(e->GetLocalVarState(hit), 0) << k.what << ": inactive instances do not run";
    e->ActivateEntity(true);
    EXPECT_EQ(e->GetLocalVarState(hit), k.fires ? 1 : 0) << k.what;
  }

  // An action fires on a change of a variable it reads, not on other changes.
  CSoundEntity* d = Definition(EntityList(0, "E", vars, {}, -1, {{{Is(a, 1)}, {SetVar(0, hit, 1)}}}));
  CEntity* e = Instance(d);
  e->ActivateEntity(true);
  EXPECT_TRUE(e->SetLocalVarState(b, 1));
  EXPECT_EQ(e->GetLocalVarState(hit), 0);
  EXPECT_TRUE(e->SetLocalVarState(a, 1));
  EXPECT_EQ(e->GetLocalVarState(hit), 1);
  e->SetLocalVarState(hit, 0);
  EXPECT_TRUE(e->SetLocalVarState(a, 1)) << "the same state: nothing runs";
  EXPECT_EQ(e->GetLocalVarState(hit), 0);
  // Suspended, the marks wait for processing.
  e->SetLocalVarState(a, 0);
  e->SuspendEntity();
  e->SetLocalVarState(a, 1);
  EXPECT_EQ(e->GetLocalVarState(hit), 0);
  e->ProcessEntity();
  EXPECT_EQ(e->GetLocalVarState(hit), 1);
}

TEST_F(EntityTest, ResultsNamingNoPlayerOrVariableDoNothing) {
  std::vector<Var> vars = {{"hit", {"no", "yes"}, 0}};
  CSoundEntity* d = Definition(EntityList(0, "E", vars, {}, -1,
                                          {{{Is(0, 0)},
                                            {entitytest::Play(5, "snde", 0, 0), Res{1, 5, "u32 0*5"},
                                             entitytest::Offset(3, 1.0f, 2.0f, 3.0f), Res{7, 9, "f32 2 u32 0*4"},
                                             SetVar(0, 9, 1), SetVar(1, 9, 1), SetVar(2, 0, 1), Res{99, 0, "u32 0*5"},
                                             SetVar(0, 0, 1)}}}));
  CEntity* e = Instance(d);
  EXPECT_EQ(e->GetNumPlayers(), 0u);
  e->ActivateEntity(true);
  EXPECT_EQ(e->GetLocalVarState(0u), 1) << "the results after them still run";
}

TEST_F(EntityTest, AGlobalChangeFiresOnceAndSetVariableResultsReachOnlyLaterActions) {
  std::vector<Var> globals = {{"G", {"zero", "one"}, 0}, {"H", {"zero", "one"}, 0}};
  std::vector<Var> locals = {{"a", {"f", "t"}, 0}, {"x", {"f", "t"}, 0}, {"hit", {"no", "yes"}, 0},
                             {"late", {"no", "yes"}, 0}};
  IAUDContentBank* bank = Bank(entitytest::GlobalVars(globals) +
                               EntityList(0, "E", locals, {}, -1,
                                          {{{GlobalIs(0, 1)}, {SetVar(0, 2, 1)}},
                                           {{Is(1, 1)}, {SetVar(0, 2, 1)}},  // before the setter: does not see x
                                           {{Is(0, 1)}, {SetVar(0, 1, 1)}},
                                           {{Is(1, 1)}, {SetVar(0, 3, 1)}}}));  // after it: sees x
  CEntity* e = Instance(bank->GetSoundEntity(0));
  e->ActivateEntity(true);
  EXPECT_EQ(e->GetLocalVarState(2u), 0);
  EXPECT_TRUE(bank->SetGlobalVarState(0, 1));
  EXPECT_EQ(e->GetLocalVarState(2u), 1) << "G became 1";
  e->SetLocalVarState(2u, 0);
  EXPECT_TRUE(bank->SetGlobalVarState(0, 1));
  EXPECT_EQ(e->GetLocalVarState(2u), 0) << "G set to 1 again is no change";

  e->SetLocalVarState(0u, 1);
  EXPECT_EQ(e->GetLocalVarState(1u), 1);
  EXPECT_EQ(e->GetLocalVarState(3u), 1) << "a later action sees the set variable";
  EXPECT_EQ(e->GetLocalVarState(2u), 0) << "an earlier action does not";
}

TEST_F(EntityTest, InstancesThatSetEachOthersGlobalsDoNotRunWithoutEnd) {
  std::vector<Var> globals = {{"G", {"zero", "one"}, 0}, {"H", {"zero", "one"}, 0}};
  // G changes: H becomes 1; H changes: G becomes 0 then 1 again.
  IAUDContentBank* bank =
      Bank(entitytest::GlobalVars(globals) +
           EntityList(0, "E", {}, {}, -1,
                      {{{Cond{0, 1, 0, 5, 9, 0, 0}}, {SetVar(1, 1, 1)}}, {{Cond{0, 1, 1, 5, 9, 0, 0}}, {SetVar(1, 0, 1)}}}));
  CEntity* first = Instance(bank->GetSoundEntity(0));
  CEntity* second = Instance(bank->GetSoundEntity(0));
  first->ActivateEntity(true);
  second->ActivateEntity(true);
  EXPECT_TRUE(bank->SetGlobalVarState(0, 1));
  EXPECT_EQ(bank->GetGlobalVarState(1u), 1);
  EXPECT_FALSE(first->IsRunning());
  EXPECT_FALSE(second->IsRunning());
  EXPECT_EQ(bank->GetFirstEntity(), second) << "newest first";
  EXPECT_TRUE(first->IsValidEntity(second));
}

TEST_F(EntityTest, PlayersArePlacedThroughTheEntityAndTheMasterFollowsActivation) {
  CSoundEntity* d = Definition(EntityList(0, "E", {{"a", {"f", "t"}, 0}}, {0}, 0,
                                          {{{Is(0, 0)}, {entitytest::Offset(0, 1.0f, 0.0f, 0.0f)}}}));
  CEntity* e = Instance(d);
  ASSERT_EQ(e->GetNumPlayers(), 1u);
  CPlayer* player = e->GetPlayer(0);
  EXPECT_EQ(player->GetEntityOwner(), e);
  e->ActivateEntity(true);
  EXPECT_EQ(IAUDResourceManager::m_pMasterPlayer, player);
  g_flDistanceFactor = 2.0f;
  IAUDVector at{1.0f, 2.0f, 3.0f}, back{}, placed{};
  e->SetPosition(at);
  e->GetPosition(&back);
  apiGetAudioPlayerPosition(player, &placed);
  g_flDistanceFactor = 1.0f;
  EXPECT_FLOAT_EQ(back.x, 1.0f);
  EXPECT_FLOAT_EQ(back.y, 2.0f);
  EXPECT_FLOAT_EQ(back.z, 3.0f);
  // The stored (2, 4, 6) plus the offset (1, 0, 0) under the identity frame.
  EXPECT_FLOAT_EQ(placed.x, 3.0f);
  EXPECT_FLOAT_EQ(placed.y, 4.0f);
  EXPECT_FLOAT_EQ(placed.z, 6.0f);

  e->ActivateEntity(false);
  EXPECT_EQ(IAUDResourceManager::m_pMasterPlayer, nullptr);

  // The player belongs to the entity's group, whatever its content's.
  d->SetGroupIndex(3);
  EXPECT_TRUE(player->IsContentInGroup(3));
  EXPECT_FALSE(player->IsContentInGroup((unsigned long)-1));
}

TEST_F(EntityTest, PlayingWhatIsPlayingFromTheSameMarkerDoesNothing) {
  uint32_t sample = AddSample(5000);
  std::string event = contenttest::EventList(0, sample);
  // Two markers on the event.
  event.insert(event.find(" end"), "  chunk imrk text:128 \"A\" u32 0*9 0xFFFFFFFF text:128 \"B\" u32 0*9 0xFFFFFFFF\n");
  std::vector<Var> vars = {{"go", {"a", "b", "c"}, 0}};
  // go = 1: play from marker 0; go = 2: play from marker 1; go = 0 play from marker 0 again.
  IAUDContentBank* bank = Bank(event + EntityList(0, "E", vars, {7}, -1,
                                                  {{{Is(0, 1)}, {entitytest::Play(0, "snde", 0, 0)}},
                                                   {{Is(0, 2)}, {entitytest::Play(0, "snde", 0, 1)}},
                                                   {{Is(0, 0)}, {entitytest::Play(0, "snde", 0, 0)}},
                                                   {{Is(0, 0)}, {entitytest::Play(0, "snde", -1, 0)}}}));
  ASSERT_EQ(bank->GetSoundEvent(0)->GetNumMarkers(), 2);
  CEntity* e = Instance(bank->GetSoundEntity(0));
  e->ActivateEntity(true);
  CPlayer* player = e->GetPlayer(0);
  SPlayerStatus status{};
  apiGetAudioPlayerStatus(player, &status);
  EXPECT_EQ(status.pPrimaryContent, static_cast<IAUDContentObject*>(bank->GetSoundEvent(0)));
  EXPECT_EQ(status.pPrimaryMarker, bank->GetSoundEvent(0)->GetMarkerByIndex(0));
  Tick(2);
  int played = Count("PlayTracks");
  ASSERT_EQ(played, 1);

  e->SetLocalVarState(0u, 1);  // same content, same marker, playing
  Tick(2);
  EXPECT_EQ(Count("PlayTracks"), 1);
  e->SetLocalVarState(0u, 2);  // another marker: played again
  Tick(2);
  EXPECT_EQ(Count("PlayTracks"), 2);
  apiGetAudioPlayerStatus(player, &status);
  EXPECT_EQ(status.pPrimaryMarker, bank->GetSoundEvent(0)->GetMarkerByIndex(1));
}

}  // namespace
