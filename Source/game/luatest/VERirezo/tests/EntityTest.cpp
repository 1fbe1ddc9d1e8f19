// Entities without the application: the class records, construction,
// simulation culling, the entity table with its iterator, domain links,
// sleeping, physics and the first step of deletion.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Entity/PlayerEntity.h"
#include "Entity/PowerEntities.h"
#include "Entity/PropEntities.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Entity.h"
#include "VERirezo/EntityManager.h"
#include "VERirezo/LineParticleEntity.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/ParticleEmitterEntity.h"
#include "VERirezo/Physics.h"

namespace {

std::vector<std::string>* s_pLines = nullptr;
void CaptureLine(const char* text) {
  if (s_pLines) s_pLines->push_back(text ? text : "");
}

// Every test starts and ends with an empty entity table.
class EntityWorld : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(0, gEntities.GetNumSlots());
    ASSERT_EQ(0, EEntityIter::GetNumActive());
    m_pRoot = new EDomain(nullptr, nullptr);
    m_pMain = m_pRoot->CreateChildDomain("MainGame", &ECollisionManager::sm_CM);
    m_pLevel = m_pMain->CreateChildDomain("Level");
    m_pInv = m_pRoot->CreateChildDomain("Inventory");
    s_pLines = &m_lines;
    g_ErrorManager.SetConsoleCallback(CaptureLine);
  }
  void TearDown() override {
    g_ErrorManager.SetConsoleCallback(nullptr);
    s_pLines = nullptr;
    for (EEntity* e : m_made) {
      if (!e->IsDead()) e->InternalDelayedDelete();
      delete e;
    }
    delete m_pRoot;
    EXPECT_EQ(0, gEntities.GetNumSlots());
    EXPECT_EQ(0, ECollisionManager::sm_CM.GetNumRegistered());
  }
  template <class T> T* Make(EDomain* pDomain, const char* szName) {
    T* p = T::Create(pDomain, szName);
    if (p) m_made.push_back(p);
    return p;
  }
  int Count(const char* szText) const {
    int n = 0;
    for (const std::string& s : m_lines) n += s.find(szText) != std::string::npos;
    return n;
  }
  // Names of the entities an iteration visits, joined by spaces.
  static std::string Visit(EDomain* pDomain, bool bRecurse, bool bAll) {
    std::string s;
    for (EEntityIter it(pDomain, bRecurse, bAll); it; ++it) s += std::string(s.empty() ? "" : " ") + it->GetName();
    return s;
  }

  EDomain* m_pRoot = nullptr;
  EDomain* m_pMain = nullptr;
  EDomain* m_pLevel = nullptr;
  EDomain* m_pInv = nullptr;
  std::vector<EEntity*> m_made;
  std::vector<std::string> m_lines;
};

// ---------------------------------------------------------------- records

TEST(EntityClassRecords, TheTwentyThreeRecordsWithTheirTypesAndParents) {
  struct Row {
    const EEntity::EClassInfo* record;
    const char* name;
    int type;
    const EEntity::EClassInfo* parent;
  } rows[] = {
      {EEntity::StaticClass(), "EntityType_Base", 0, nullptr},
      {EMeshEntity::StaticClass(), "EntityType_Mesh", 1, EEntity::StaticClass()},
      {EParticleEmitterEntity::StaticClass(), "EntityType_ParticleEmitter", 2, EEntity::StaticClass()},
      {EParticleAffectorEntity::StaticClass(), "EntityType_ParticleAffector", 3, EEntity::StaticClass()},
      {ETableEmitterEntity::StaticClass(), "EntityType_TableEmitter", 13, EEntity::StaticClass()},
      {EFirestartingEntity::StaticClass(), "EntityType_Firestarting", 9, EEntity::StaticClass()},
      {EInvisibilityEntity::StaticClass(), "EntityType_Invisibility", 10, EEntity::StaticClass()},
      {EKnapsackEntity::StaticClass(), "EntityType_Knapsack", 12, EEntity::StaticClass()},
      {EPsiBlastEntity::StaticClass(), "EntityType_PsiBlast", 4, EMeshEntity::StaticClass()},
      {EThoughtBubbleEntity::StaticClass(), "EntityType_ThoughtBubble", 5, EMeshEntity::StaticClass()},
      {ETrapezeEntity::StaticClass(), "EntityType_Trapeze", 6, EMeshEntity::StaticClass()},
      {ETelekinesisEntity::StaticClass(), "EntityType_Telekinesis", 8, EMeshEntity::StaticClass()},
      {EMeshEmitterMeshEntity::StaticClass(), "EntityType_Mesh", 1, EMeshEntity::StaticClass()},
      {EBallTrailEntity::StaticClass(), "EBallTrailEntity", -2, EMeshEntity::StaticClass()},
      {EMMGravityEntity::StaticClass(), "EMMGravityEntity", -2, EMeshEntity::StaticClass()},
      {EMoverEntity::StaticClass(), "EMoverEntity", -2, EMeshEntity::StaticClass()},
      {EPlayerEntity::StaticClass(), "EPlayerEntity", -2, EMeshEntity::StaticClass()},
      {ERopeEntity::StaticClass(), "ERopeEntity", -2, EMeshEntity::StaticClass()},
      {ETightropeEntity::StaticClass(), "ETightropeEntity", -2, EMeshEntity::StaticClass()},
      {ETrampolineEntity::StaticClass(), "ETrampolineEntity", -2, EMeshEntity::StaticClass()},
      {EMeshEmitterEntity::StaticClass(), "EntityType_MeshEmitter", 11, EParticleEmitterEntity::StaticClass()},
      {ELineParticleEntity::StaticClass(), "ELineParticleEntity", -2, EParticleEmitterEntity::StaticClass()},
      {ESoftLineParticleEntity::StaticClass(), "ESoftLineParticleEntity", -2, ELineParticleEntity::StaticClass()},
  };
  int inList = 0;
  for (const EEntity::EClassInfo* p = EEntity::EClassInfo::GetHead(); p; p = p->m_pNext) {
    for (const Row& r : rows) inList += p == r.record;
  }
  EXPECT_EQ(23, inList) << "every record is in the list once";
  for (const Row& r : rows) {
    EXPECT_STREQ(r.name, r.record->m_szName);
    EXPECT_EQ(r.type, r.record->m_iType) << r.name;
    EXPECT_EQ(r.parent, r.record->m_pParent) << r.name;
    EXPECT_EQ(r.record != EEntity::StaticClass(), r.record->m_fnFactory != nullptr) << r.name;
    EXPECT_TRUE(r.record->IsSubclassOf(r.record)) << r.name;
    EXPECT_TRUE(r.record->IsSubclassOf(EEntity::StaticClass())) << r.name;
    EXPECT_FALSE(r.record->IsSubclassOf(nullptr)) << r.name;
    if (r.type != -2 && r.record != EMeshEmitterMeshEntity::StaticClass()) {
      EXPECT_EQ(r.record, EEntity::EClassInfo::Lookup((int32_t)r.type)) << r.name;
    }
  }
  EXPECT_FALSE(EMeshEntity::StaticClass()->IsSubclassOf(EPlayerEntity::StaticClass()));
}

TEST(EntityClassRecords, LookupsByTypeAndName) {
  EXPECT_EQ(nullptr, EEntity::EClassInfo::Lookup((int32_t)14));
  EXPECT_EQ(nullptr, EEntity::EClassInfo::Lookup((int32_t)-1));
  EXPECT_EQ(ELineParticleEntity::StaticClass(), EEntity::EClassInfo::Lookup((int32_t)7));
  EXPECT_EQ(EPlayerEntity::StaticClass(), EEntity::EClassInfo::Lookup("EPlayerEntity"));
  EXPECT_EQ(nullptr, EEntity::EClassInfo::Lookup("eplayerentity"));
  EXPECT_EQ(nullptr, EEntity::EClassInfo::Lookup((const char*)nullptr));
  EXPECT_EQ(EMeshEntity::StaticClass(), EEntity::EClassInfo::Lookup("EntityType_Mesh"));
  EXPECT_EQ(ESoftLineParticleEntity::StaticClass(), EEntity::EClassInfo::Lookup("ESoftLineParticleEntity"));
}

TEST_F(EntityWorld, TypeTestsFollowTheRecordsNotTheFixedSlots) {
  EEntity* line = Make<ELineParticleEntity>(m_pMain, "line");
  EEntity* soft = Make<ESoftLineParticleEntity>(m_pMain, "soft");
  EEntity* player = Make<EPlayerEntity>(m_pMain, "Ruzi");
  EEntity* emitted = Make<EMeshEmitterMeshEntity>(m_pMain, "emitted");
  EEntity* mesh = Make<EMeshEntity>(m_pMain, "mesh");
  ASSERT_TRUE(line && soft && player && emitted && mesh);

  EXPECT_FALSE(line->IsA(EntityType_LineParticle, true));
  EXPECT_TRUE(line->IsA(EntityType_LineParticle, false));
  EXPECT_FALSE(soft->IsA(EntityType_LineParticle, true));
  EXPECT_TRUE(soft->IsA(EntityType_LineParticle, false));
  EXPECT_TRUE(soft->IsA(EntityType_ParticleEmitter, false));
  EXPECT_FALSE(player->IsA(EntityType_Mesh, true));
  EXPECT_TRUE(player->IsA(EntityType_Mesh, false));
  EXPECT_TRUE(emitted->IsA(EntityType_Mesh, true));
  EXPECT_TRUE(mesh->IsA(EntityType_Mesh, true));
  EXPECT_FALSE(mesh->IsA(EntityType_ParticleEmitter, false));
  for (EEntity* e : {line, soft, player, emitted, mesh}) {
    EXPECT_FALSE(e->IsA(EntityType_None, false)) << e->GetName();
    EXPECT_FALSE(e->IsA((int32_t)14, false)) << e->GetName();
    EXPECT_TRUE(e->IsA(EntityType_Base, false)) << e->GetName();
  }
  EXPECT_EQ(EPlayerEntity::StaticClass(), player->DynamicClass());
  EXPECT_TRUE(player->IsA(EPlayerEntity::StaticClass(), true));
  EXPECT_FALSE(player->IsA(EMeshEntity::StaticClass(), true));
  EXPECT_TRUE(player->IsA(EMeshEntity::StaticClass(), false));
}

TEST_F(EntityWorld, EveryRecordWithAFactoryCreatesItsClassAndTheBaseRecordCreatesNothing) {
  int made = 0;
  for (const EEntity::EClassInfo* p = EEntity::EClassInfo::GetHead(); p; p = p->m_pNext) {
    if (!p->m_fnFactory) continue;
    EEntity* e = p->Create(m_pLevel, p->m_szName);
    ASSERT_NE(nullptr, e) << p->m_szName;
    m_made.push_back(e);
    ++made;
    EXPECT_EQ(p, e->DynamicClass());
    EXPECT_EQ(m_pLevel, e->GetOwnerDomain());
    EXPECT_NE(EEntity::kNO_INDEX, e->GetEntityIndex());
    ASSERT_NE(nullptr, e->GetPhysics());
    EXPECT_EQ(e, e->GetPhysics()->GetOwner());
  }
  EXPECT_EQ(22, made);

  // The base record has no factory: null with a trace instead of a call
  // through a null pointer.
  EXPECT_EQ(nullptr, EEntity::StaticClass()->Create(m_pLevel, "base"));
  EXPECT_EQ(1, Count("EntityType_Base: this entity class cannot be created"));
  EXPECT_EQ(22, gEntities.GetNumSlots());
}

// ---------------------------------------------------------------- entities

TEST_F(EntityWorld, ANewEntityAndItsEntryIntoTheWorld) {
  EMeshEntity loose(nullptr, "loose");
  EXPECT_EQ((uint32_t)ENTITY_VISIBLE, loose.GetEntityFlags());
  EXPECT_EQ(1u, loose.GetTransientFlags());
  EXPECT_EQ(EEntity::kNO_INDEX, loose.GetEntityIndex());
  EXPECT_EQ(EEntity::kNO_INDEX, loose.GetCollisionIndex());
  EXPECT_EQ(600.0f, loose.GetMaxLookDistance());
  EXPECT_EQ(0.0f, loose.GetSimulationCullDistanceSq());
  EXPECT_EQ(nullptr, loose.GetPhysics());
  EXPECT_EQ(nullptr, loose.DynamicClass());
  EXPECT_FALSE(loose.IsDead());

  EMeshEntity* e = Make<EMeshEntity>(m_pMain, "Crate");
  EXPECT_EQ(0, e->GetEntityIndex());
  EXPECT_EQ(m_pMain, gEntities.GetInfo(0).domain);
  EXPECT_FALSE(e->DomainIsSleeping());
  // "MainGame" has the main collision manager; "Level" inherited it.
  EXPECT_NE(EEntity::kNO_INDEX, e->GetCollisionIndex());
  EXPECT_EQ(&ECollisionManager::sm_CM, e->GetCollisionManager());
  EMeshEntity* inv = Make<EMeshEntity>(m_pInv, "Pack");
  EXPECT_EQ(EEntity::kNO_INDEX, inv->GetCollisionIndex()) << "the inert manager registers nothing";

  e->SetOwnerDomain(m_pInv);
  EXPECT_EQ(m_pInv, gEntities.GetInfo(0).domain);
  EXPECT_EQ(EEntity::kNO_INDEX, e->GetCollisionIndex());
  EXPECT_EQ(0, ECollisionManager::sm_CM.GetNumRegistered());
}

TEST(EntityDeathTest, ANullNameIsFatal) { EXPECT_DEATH(EMeshEntity(nullptr, nullptr), "pName"); }

TEST_F(EntityWorld, SimulationCullDistance) {
  EMeshEntity* e = Make<EMeshEntity>(m_pMain, "e");
  e->SetPosition(EVec3(10.0f, 0.0f, 0.0f));
  const EVec3 origin(0.0f, 0.0f, 0.0f), far(1000.0f, 0.0f, 0.0f);

  e->SetSimulationCullDistance(10.0f);
  EXPECT_EQ(100.0f, e->GetSimulationCullDistanceSq());
  EXPECT_TRUE(e->GetEntityFlag(ENTITY_HAS_CULL_DISTANCE));
  EXPECT_FALSE(e->ShouldBeSimulationCulled(origin, far)) << "exactly at the distance from the camera";
  EXPECT_FALSE(e->ShouldBeSimulationCulled(far, origin)) << "exactly at the distance from the player";
  EXPECT_TRUE(e->ShouldBeSimulationCulled(EVec3(-0.01f, 0.0f, 0.0f), far));

  e->SetSimulationCullDistance(0.0f);
  EXPECT_EQ(0.0f, e->GetSimulationCullDistanceSq());
  EXPECT_FALSE(e->GetEntityFlag(ENTITY_HAS_CULL_DISTANCE));
  EXPECT_FALSE(e->ShouldBeSimulationCulled(far, far));
  e->SetSimulationCullDistance(-1.0f);
  EXPECT_EQ(-1.0f, e->GetSimulationCullDistanceSq());
  EXPECT_FALSE(e->GetEntityFlag(ENTITY_HAS_CULL_DISTANCE));

  e->SetEntityFlag(ENTITY_NOSIMULATE, true);
  EXPECT_TRUE(e->ShouldBeSimulationCulled(origin, origin));
  e->SetEntityFlag(ENTITY_NOSIMULATE, false);
  m_pMain->SetSleepFlag(true);
  EXPECT_TRUE(e->ShouldBeSimulationCulled(origin, origin)) << "its domain sleeps";
  m_pMain->SetSleepFlag(false);
  EXPECT_FALSE(e->ShouldBeSimulationCulled(origin, origin));
}

TEST_F(EntityWorld, SleepReachesEveryChildAndEntityOnlyOnAChange) {
  EMeshEntity* a = Make<EMeshEntity>(m_pMain, "a");
  EMeshEntity* b = Make<EMeshEntity>(m_pLevel, "b");
  m_pLevel->SetSleepFlag(true);
  EXPECT_TRUE(b->DomainIsSleeping());
  EXPECT_TRUE(b->GetPhysics()->IsDomainSleeping());
  m_pMain->SetSleepFlag(true);
  m_pMain->SetSleepFlag(false);
  EXPECT_FALSE(m_pLevel->IsSleeping()) << "waking the parent wakes every child";
  EXPECT_FALSE(a->DomainIsSleeping());
  EXPECT_FALSE(b->DomainIsSleeping());
  EXPECT_FALSE(b->GetPhysics()->IsDomainSleeping());
  EXPECT_EQ(0, EEntityIter::GetNumActive());

  // An entity entering a sleeping domain takes its state.
  m_pInv->SetSleepFlag(true);
  a->SetOwnerDomain(m_pInv);
  EXPECT_TRUE(a->DomainIsSleeping());
  EXPECT_TRUE(m_pLevel->IsChildOf(m_pRoot));
  EXPECT_TRUE(m_pLevel->IsChildOf(m_pLevel));
  EXPECT_FALSE(m_pMain->IsChildOf(m_pLevel));
}

TEST_F(EntityWorld, ATriCacheableCollideeMovingToAnInvDomainIsReportedAndMoved) {
  EMeshEntity* e = Make<EMeshEntity>(m_pMain, "Boulder");
  e->GetPhysics()->SetCollisionType(CPT_Triangles);
  e->GetPhysics()->SetFlag(PHYSICS_COLLIDEE, true);
  e->SetOwnerDomain(m_pInv);
  EXPECT_EQ(1, Count("Boulder is tri-cacheable and moving to inv domain"));
  EXPECT_EQ(m_pInv, e->GetOwnerDomain());
  e->GetPhysics()->SetFlag(PHYSICS_MOVINGGEOMETRY, true);
  e->SetOwnerDomain(m_pMain);
  e->SetOwnerDomain(m_pInv);
  EXPECT_EQ(1, Count("tri-cacheable")) << "moving geometry is not tri-cached";
}

TEST_F(EntityWorld, NewPhysicsTakesOverTheOldStateAndTheParentLink) {
  EMeshEntity* parent = Make<EMeshEntity>(m_pMain, "parent");
  EMeshEntity* child = Make<EMeshEntity>(m_pMain, "child");
  child->SetPosition(EVec3(1.0f, 2.0f, 3.0f));
  child->SetVelocity(EVec3(4.0f, 0.0f, 0.0f));
  EXPECT_TRUE(child->AttachToParent(parent, nullptr, nullptr));
  EXPECT_EQ(parent, child->GetParentEntity());
  EXPECT_EQ(parent, child->GetUltimateParentEntity());

  EPhysics* replacement = new EPhysics(child);
  child->SetPhysics(replacement);
  EXPECT_EQ(replacement, child->GetPhysics());
  EXPECT_EQ(EVec3(1.0f, 2.0f, 3.0f), child->GetPosition());
  EXPECT_EQ(EVec3(0.0f, 0.0f, 0.0f), child->GetVelocity()) << "a new physics starts at rest";
  EXPECT_EQ(parent, child->GetParentEntity()) << "the new physics takes over the attachment";
  EXPECT_EQ(parent->GetPhysics(), child->GetPhysics()->GetAttachParent());
  EXPECT_EQ(2, ECollisionManager::sm_CM.GetNumRegistered()) << "the child is still registered once";

  // A dead parent is dropped by the clean-up.
  parent->InternalDelayedDelete();
  child->CleanupReferences();
  EXPECT_EQ(nullptr, child->GetParentEntity());
  EXPECT_EQ(nullptr, child->GetPhysics()->GetAttachParent());
}

TEST_F(EntityWorld, PhysicsOwnedByAnotherEntityIsFatal) {
  EMeshEntity* a = Make<EMeshEntity>(m_pMain, "a");
  EMeshEntity* b = Make<EMeshEntity>(m_pMain, "b");
  a->Debug_CheckPhysics();
  EXPECT_DEATH(
      {
        g_ErrorManager.SetConsoleCallback(nullptr);
        a->SetPhysics(new EPhysics(b));
        a->Debug_CheckPhysics();
      },
      "pEnt == pEnt->GetPhysics\\(\\)->GetOwner\\(\\)");
}

TEST_F(EntityWorld, ARequestedDeletionLeavesTableDomainAndIterationsAtOnce) {
  EMeshEntity* a = Make<EMeshEntity>(m_pMain, "a");
  EMeshEntity* b = Make<EMeshEntity>(m_pMain, "b");
  EMeshEntity* c = Make<EMeshEntity>(m_pMain, "c");
  std::string seen;
  for (EEntityIter it(m_pMain); it; ++it) {
    seen += it->GetName();
    if (*it == a) b->InternalDelayedDelete();
  }
  EXPECT_EQ("ac", seen);
  EXPECT_TRUE(b->IsDead());
  EXPECT_TRUE(b->IsValid());
  EXPECT_EQ(nullptr, b->GetOwnerDomain());
  EXPECT_EQ(EEntity::kNO_INDEX, b->GetEntityIndex());
  EXPECT_EQ(EEntity::kNO_INDEX, b->GetCollisionIndex());
  EXPECT_EQ(2, ECollisionManager::sm_CM.GetNumRegistered());
  EXPECT_EQ("a c", Visit(nullptr, false, false));
  (void)c;

  EXPECT_DEATH(
      {
        g_ErrorManager.SetConsoleCallback(nullptr);
        EMeshEntity* d = EMeshEntity::Create(m_pMain, "d");
        delete d;
      },
      "m_pOwnerDomain == NULL");
}

// ---------------------------------------------------------------- table

TEST_F(EntityWorld, FreedSlotsAreReusedLastFreedFirstAndTrailingOnesTrimmed) {
  EMeshEntity* e[5];
  for (int i = 0; i < 5; ++i) {
    e[i] = Make<EMeshEntity>(m_pMain, ("e" + std::to_string(i)).c_str());
    EXPECT_EQ(i, e[i]->GetEntityIndex());
  }
  e[3]->InternalDelayedDelete();
  EXPECT_EQ(5, gEntities.GetNumSlots());
  EXPECT_EQ(3, gEntities.GetFirstFree());
  e[4]->InternalDelayedDelete();
  EXPECT_EQ(3, gEntities.GetNumSlots());
  EXPECT_EQ(0, gEntities.GetNumFree());
  EXPECT_EQ(EEntityManager::kNO_SLOT, gEntities.GetFirstFree());

  e[1]->InternalDelayedDelete();
  EXPECT_EQ(1, gEntities.GetNumFree());
  EXPECT_TRUE(gEntities.GetInfo(1).IsFree());
  EMeshEntity* f = Make<EMeshEntity>(m_pMain, "f");
  EXPECT_EQ(1, f->GetEntityIndex());
  EXPECT_EQ(0, gEntities.GetNumFree());

  // A free run below the last slot is trimmed with it; free slots below the
  // run stay listed in their order.
  e[0]->InternalDelayedDelete();
  f->InternalDelayedDelete();
  EXPECT_EQ(2, gEntities.GetNumFree());
  e[2]->InternalDelayedDelete();
  EXPECT_EQ(0, gEntities.GetNumSlots());
  EXPECT_EQ(0, gEntities.GetNumFree());
}

TEST_F(EntityWorld, IterationsByDomainSubtreeAndAll) {
  Make<EMeshEntity>(m_pMain, "m1");
  Make<EMeshEntity>(m_pLevel, "l1");
  Make<EMeshEntity>(m_pInv, "i1");
  Make<EMeshEntity>(m_pMain, "m2");
  EXPECT_EQ("m1 m2", Visit(m_pMain, false, false));
  EXPECT_EQ("m1 l1 m2", Visit(m_pMain, true, false));
  EXPECT_EQ("m1 l1 i1 m2", Visit(nullptr, false, false));
  EXPECT_EQ("", Visit(m_pRoot, false, false));
  EXPECT_EQ("m1 l1 i1 m2", Visit(m_pRoot, true, false));

  // With "all" every entity is visited and the marks tell the domain's own.
  std::string marked;
  for (EEntityIter it(m_pMain, true, true); it; ++it) marked += it.GetInfo().domain->IsMarked() ? "+" : "-";
  EXPECT_EQ("++-+", marked);
  EXPECT_FALSE(m_pMain->IsMarked());
  EXPECT_FALSE(m_pLevel->IsMarked());
  EXPECT_EQ(0, EEntityIter::GetNumActive());
}

TEST_F(EntityWorld, EntitiesRegisteredDuringAnIterationAreVisitedAndTrimmingEndsIt) {
  EMeshEntity* a = Make<EMeshEntity>(m_pMain, "a");
  std::string seen;
  for (EEntityIter it(m_pMain); it; ++it) {
    seen += it->GetName();
    if (seen == "a") Make<EMeshEntity>(m_pMain, "b");
  }
  EXPECT_EQ("ab", seen);

  // Deleting the entity being visited and the one after it trims the table
  // below the iteration's index: the iteration ends.
  EEntity* b = m_made.back();
  seen.clear();
  for (EEntityIter it(m_pMain); it; ++it) {
    seen += it->GetName();
    if (*it == a) {
      b->InternalDelayedDelete();
      a->InternalDelayedDelete();
    }
  }
  EXPECT_EQ("a", seen);
  EXPECT_EQ(0, gEntities.GetNumSlots());
}

TEST_F(EntityWorld, ASecondRestrictedIterationIsFatalEvenForTheSameDomain) {
  EXPECT_DEATH(
      {
        g_ErrorManager.SetConsoleCallback(nullptr);
        EEntityIter first(m_pMain);
        EEntityIter second(m_pMain);
      },
      "sm_iNumActive == 0");
  EXPECT_DEATH(
      {
        g_ErrorManager.SetConsoleCallback(nullptr);
        EEntityIter first(m_pMain, true);
        EEntityIter second(m_pInv);
      },
      "sm_iNumActive == 0");
  // Unrestricted iterations may run inside a restricted one.
  Make<EMeshEntity>(m_pLevel, "x");
  int n = 0;
  for (EEntityIter outer(m_pMain, true); outer; ++outer) {
    for (EEntityIter inner(nullptr); inner; ++inner) ++n;
  }
  EXPECT_EQ(1, n);
}

TEST_F(EntityWorld, RegistrationBeyondTheLastSlotIsRefused) {
  // Take every slot without entities, then ask for one more.
  for (int i = 0; i < EEntityManager::kMAX_ENTITIES; ++i) ASSERT_EQ(i, gEntities.GetFreeIndex());
  EXPECT_EQ(EEntityManager::kNO_SLOT, gEntities.GetFreeIndex());
  EXPECT_EQ(nullptr, EMeshEntity::Create(m_pMain, "one too many"));
  EXPECT_EQ(1, Count("65535"));
  EXPECT_EQ(1, Count("one too many"));
  EXPECT_EQ(0, ECollisionManager::sm_CM.GetNumRegistered());
  for (int i = 0; i < EEntityManager::kMAX_ENTITIES; ++i) gEntities.AddFreeIndex((uint16_t)i);
  EXPECT_EQ(0, gEntities.GetNumSlots());
  EXPECT_EQ(0, gEntities.GetNumFree());
}

TEST_F(EntityWorld, ClearingADomainRequestsTheDeletionOfItsOwnEntities) {
  EMeshEntity* a = Make<EMeshEntity>(m_pMain, "a");
  EMeshEntity* b = Make<EMeshEntity>(m_pLevel, "b");
  EMeshEntity* c = Make<EMeshEntity>(m_pMain, "c");
  m_pLevel->Clear();
  EXPECT_TRUE(b->IsDead());
  EXPECT_FALSE(a->IsDead());
  m_pMain->Clear();
  EXPECT_TRUE(a->IsDead());
  EXPECT_TRUE(c->IsDead());
  EXPECT_EQ(nullptr, m_pMain->FindDomain("Level")) << "the children went with it";
  EXPECT_EQ(0, gEntities.GetNumSlots());
}

}  // namespace
