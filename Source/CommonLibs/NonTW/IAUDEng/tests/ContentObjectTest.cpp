#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "IAUDTestSupport.h"
#include "NonTW/IAUDEng/CGroup.h"
#include "NonTW/IAUDEng/CPath.h"
#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/CTransition.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDMarkerGrid.h"
#include "NonTW/IAUDEng/IAUDString.h"

namespace {

using namespace iaudtest;

struct BankDeleter {
  void operator()(IAUDContentObject* o) const { o->RemoveObject(); }
};
using BankPtr = std::unique_ptr<IAUDContentBank, BankDeleter>;

const char* const kTransitionAb = R"(
LIST tran
  chunk titl text "Ab"
  chunk indx u32 3
  chunk geix u32 0x80000000
  chunk trks u32 1
  chunk tmcd u32 0x00190028
  chunk dtmp u32 500000
  chunk dtsg u32 0x00040004
  chunk dsec u32 0xE0000000
  chunk sync u32 0 1
  chunk loop u32 0
  chunk gbst f32 1.0
  chunk tnst u32 0 f32 5.0 5.0 0 0 0
end
)";

TEST(IAUDContentObject, TransitionWritesTheCommonChunksByteForByte) {
  TempDir dir;
  std::string expected = MakeRiff(dir, "ab", kTransitionAb);
  ASSERT_FALSE(expected.empty());
  BankPtr bank(new IAUDContentBank());
  CTransition* t = static_cast<CTransition*>(bank->CreateNewContentObject(IAUDFourCC("tran"), nullptr));
  ASSERT_NE(t, nullptr);
  t->SetTitle(W(U16("Ab")));
  t->SetResourceIndex(3);
  std::vector<uint8_t> bytes = Archive(t);
  EXPECT_EQ(bytes.size(), 182u);
  EXPECT_EQ(bytes, ReadBytes(expected));

  // Read back from the fixture, every field returns.
  FILE* f = fopen(expected.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  RiffChunk chunk;
  ASSERT_TRUE(IAUDContentObject::DescendFile(f, &chunk, nullptr));
  CTransition* back = static_cast<CTransition*>(bank->CreateContentObject(chunk.dwFormType));
  ASSERT_NE(back, nullptr);
  bank->LinkObject(back);
  back->UnArchiveObject(f, chunk);
  fclose(f);
  EXPECT_EQ(Narrow(back->GetTitle()), "Ab");
  EXPECT_EQ(back->GetResourceIndex(), 3u);
  EXPECT_EQ(back->GetGroupIndex(), -1);
  EXPECT_EQ(back->GetNumMarkers(), 0);
  EXPECT_EQ(Archive(back), bytes);
}

TEST(IAUDContentObject, BankSlotsByResourceIndex) {
  TempDir dir;
  std::string path = MakeRiff(dir, "slots", R"(
RIFF icbf
  LIST tran
    chunk titl text "first"
    chunk indx u32 2
  end
  LIST tran
    chunk titl text "second"
    chunk indx u32 2
  end
  LIST tran
    chunk titl text "far"
    chunk indx u32 0x7FFFFFFF
  end
end
)");
  BankPtr bank(LoadBank(path));
  // The second object in slot 2 takes the first one's place in the tree too.
  EXPECT_EQ(ChildTitles(bank.get()), (std::vector<std::string>{"second", "far"}));
  EXPECT_EQ(bank->GetTransition(2), bank->GetChild());
  EXPECT_EQ(bank->GetTransition(1), nullptr);
  // An index past the slot range is not a slot: the first free one is taken.
  IAUDContentObject* far = bank->GetChild()->GetAfter();
  EXPECT_EQ(far->GetResourceIndex(), 0u);
  EXPECT_EQ(bank->GetTransition(0), far);
  EXPECT_EQ(bank->GetTransition(0x7FFFFFFF), nullptr);
}

TEST(IAUDContentObject, EveryCommonFieldReadsBack) {
  TempDir dir;
  std::string path = MakeRiff(dir, "fields", R"(
RIFF icbf
  LIST tran
    chunk titl text "Name"
    chunk indx u32 7
    chunk geix u32 2
    chunk trks u32 4
    chunk tmcd u32 0x001E0050
    chunk dtmp u32 400000
    chunk dtsg u32 0x00030008
    chunk dsec u32 0x80000002
    chunk sync u32 2 3
    chunk loop u32 5
    chunk gbst f32 0.5
    chunk isgn text "Music"
    chunk tnst u32 1 f32 2.0 1.0 0.5 0.25 0.0
  end
end
)");
  ASSERT_FALSE(path.empty());
  BankPtr bank(LoadBank(path));
  IAUDContentObject* o = bank->GetChild();
  ASSERT_NE(o, nullptr);
  EXPECT_EQ(o->GetObjectType(), IAUDFourCC("tran"));
  EXPECT_EQ(Narrow(o->GetTitle()), "Name");
  EXPECT_EQ(o->GetResourceIndex(), 7u);
  EXPECT_EQ(o->GetGlobalEffectIndex(), 2u);
  EXPECT_EQ(o->GetNumTracks(), 4u);
  EXPECT_EQ(o->GetBaseTimeCode(), 0x001E0050u);
  EXPECT_EQ(o->GetBaseTempo(), 400000u);
  EXPECT_EQ(o->GetBaseTimeSignature(), 0x00030008u);
  EXPECT_EQ(o->GetMarkerDivision(), 0x80000002u);
  EXPECT_EQ(o->GetSyncStartType(), 2u);
  EXPECT_EQ(o->GetSyncStartMultiple(), 3u);
  EXPECT_EQ(o->GetLoopCount(), 5u);
  EXPECT_EQ(o->GetGainBoost(), 0.5f);
  CGroup* group = IAUDResourceManager::GetGroup((uint32_t)o->GetGroupIndex());
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(Narrow(group->GetTitle()), "Music");
  EXPECT_EQ(bank->GetTransition(7), o);  // registered at its index
  STransition tr;
  static_cast<CTransition*>(o)->GetTransition(&tr);
  EXPECT_EQ(tr.dwType, 1u);
  EXPECT_EQ(tr.flTotalTime, 2.0f);
  EXPECT_EQ(tr.flFadeOutTime, 1.0f);
  EXPECT_EQ(tr.flFadeOutLevel, 0.5f);
  EXPECT_EQ(tr.flStartDelay, 0.25f);
  EXPECT_EQ(tr.flStartLevel, 0.0f);

  // Written and read again, the object is the same, group name included.
  BankPtr again(SaveAndReload(bank.get(), dir, "again.riff"));
  IAUDContentObject* o2 = again->GetChild();
  ASSERT_NE(o2, nullptr);
  EXPECT_EQ(Archive(o2), Archive(o));
  EXPECT_EQ(o2->GetGroupIndex(), o->GetGroupIndex());
}

TEST(IAUDContentObject, ShortTransitionChunkKeepsTheRestDefault) {
  TempDir dir;
  std::string path = MakeRiff(dir, "short", R"(
RIFF icbf
  LIST tran
    chunk tnst u32 2 f32 1.5
  end
end
)");
  BankPtr bank(LoadBank(path));
  ASSERT_NE(bank->GetChild(), nullptr);
  STransition* tr = static_cast<CTransition*>(bank->GetChild())->GetTransitionPointer();
  EXPECT_EQ(tr->dwType, 2u);
  EXPECT_EQ(tr->flTotalTime, 1.5f);
  EXPECT_EQ(tr->flFadeOutTime, 5.0f);
  EXPECT_EQ(tr->flFadeOutLevel, 0.0f);
}

TEST(IAUDContentObject, LoadingPutsFoldersAfterContentInReverse) {
  TempDir dir;
  std::string path = MakeRiff(dir, "order", R"(
RIFF icbf
  LIST fldr
    chunk titl text "F1"
  end
  LIST path
    chunk titl text "S1"
  end
  LIST fldr
    chunk titl text "F2"
  end
  LIST path
    chunk titl text "S2"
  end
end
)");
  BankPtr bank(LoadBank(path));
  EXPECT_EQ(ChildTitles(bank.get()), (std::vector<std::string>{"S1", "S2", "F2", "F1"}));
  BankPtr again(SaveAndReload(bank.get(), dir, "again.riff"));
  EXPECT_EQ(ChildTitles(again.get()), (std::vector<std::string>{"S1", "S2", "F1", "F2"}));
}

TEST(IAUDContentObject, RunTimeLinkingAndFolders) {
  TempDir dir;
  BankPtr bank(new IAUDContentBank());
  IAUDContentObject* s1 = bank->CreateNewContentObject(IAUDFourCC("path"), nullptr);
  IAUDContentObject* f1 = bank->CreateChildFolder();
  ASSERT_NE(f1, nullptr);
  EXPECT_EQ(f1->GetObjectType(), IAUDFourCC("fldr"));
  IAUDContentObject* s2 = bank->CreateNewContentObject(IAUDFourCC("path"), nullptr);
  s1->SetTitle(W(U16("S1")));
  f1->SetTitle(W(U16("F1")));
  s2->SetTitle(W(U16("S2")));
  EXPECT_EQ(ChildTitles(bank.get()), (std::vector<std::string>{"S1", "S2", "F1"}));

  // A folder made at run time keeps its contents through a save.
  IAUDContentObject* inner = bank->CreateNewContentObject(IAUDFourCC("tran"), f1);
  inner->SetTitle(W(U16("T")));
  EXPECT_EQ(f1->CreateChildFolder() != nullptr, true);
  EXPECT_EQ(s1->CreateChildFolder(), nullptr);  // a path holds no folders
  BankPtr again(SaveAndReload(bank.get(), dir, "again.riff"));
  std::vector<std::string> top = ChildTitles(again.get());
  ASSERT_EQ(top, (std::vector<std::string>{"S1", "S2", "F1"}));
  IAUDContentObject* folder = again->GetChild()->GetAfter()->GetAfter();
  EXPECT_EQ(folder->GetObjectType(), IAUDFourCC("fldr"));
  EXPECT_EQ(ChildTitles(folder), (std::vector<std::string>{"T", ""}));
}

TEST(IAUDContentObject, RemoveObjectTakesTheSubtreeAndClearsSlots) {
  BankPtr bank(new IAUDContentBank());
  IAUDContentObject* folder = bank->CreateChildFolder();
  IAUDContentObject* p = bank->CreateNewContentObject(IAUDFourCC("path"), folder);
  IAUDContentObject* t = bank->CreateNewContentObject(IAUDFourCC("tran"), folder);
  IAUDContentObject* keep = bank->CreateNewContentObject(IAUDFourCC("tran"), nullptr);
  ASSERT_EQ(p->GetResourceIndex(), 0u);
  EXPECT_EQ(bank->GetPath(0), p);
  EXPECT_EQ(bank->GetTransition(0), t);
  EXPECT_EQ(bank->GetTransition(1), keep);
  folder->RemoveObject();
  EXPECT_EQ(bank->GetPath(0), nullptr);
  EXPECT_EQ(bank->GetTransition(0), nullptr);
  EXPECT_EQ(bank->GetTransition(1), keep);
  EXPECT_EQ(bank->GetChild(), keep);
  EXPECT_EQ(keep->GetAfter(), nullptr);
  EXPECT_EQ(keep->GetBefore(), nullptr);
}

TEST(IAUDContentObject, TitlesAreCutAndTerminated) {
  BankPtr bank(new IAUDContentBank());
  IAUDContentObject* o = bank->CreateNewContentObject(IAUDFourCC("tran"), nullptr);
  std::u16string longTitle(200, u'x');
  o->SetTitle(W(longTitle));
  EXPECT_EQ(IAUDGetStringLength(o->GetTitle()), 127);
  o->SetTitle(nullptr);
  EXPECT_EQ(IAUDGetStringLength(o->GetTitle()), 0);

  TempDir dir;
  std::string path = MakeRiff(dir, "long", "RIFF icbf\n LIST tran\n  chunk titl text \"" + std::string(200, 'y') +
                                               "\"\n  chunk isgn text \"" + std::string(200, 'g') + "\"\n end\nend\n");
  BankPtr loaded(LoadBank(path));
  IAUDContentObject* t = loaded->GetChild();
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(IAUDGetStringLength(t->GetTitle()), 127);
  CGroup* group = IAUDResourceManager::GetGroup((uint32_t)t->GetGroupIndex());
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(IAUDGetStringLength(group->GetTitle()), 127);
}

TEST(IAUDContentObject, SkipsWhatItDoesNotKnow) {
  TempDir dir;
  std::string path = MakeRiff(dir, "skip", R"(
RIFF icbf
  LIST zzzz
    LIST tran
      chunk titl text "hidden"
    end
  end
  chunk odd! u8 1 2 3
  LIST tran
    chunk odd! u8 9
    chunk titl text "T"
    chunk xxxx u32 1 2 3
    LIST qqqq
    end
    chunk loop u32 4
  end
end
)");
  BankPtr bank(LoadBank(path));
  EXPECT_EQ(ChildTitles(bank.get()), (std::vector<std::string>{"T"}));
  EXPECT_EQ(bank->GetChild()->GetLoopCount(), 4u);
  EXPECT_EQ(bank->GetChild()->GetChild(), nullptr);
}

TEST(IAUDContentObject, AChunkPastItsParentEndsOnlyThatList) {
  TempDir dir;
  for (const char* size : {"size=0x7FFFFFF0", "size=0xFFFFFFFF", "size=40"}) {
    std::string path = MakeRiff(dir, "past", std::string(R"(
RIFF icbf
  LIST tran
    chunk titl text "A"
    chunk junk )") + size + R"( u32 1
    chunk loop u32 9
  end
  LIST tran
    chunk titl text "B"
  end
end
)");
    BankPtr bank(LoadBank(path));
    EXPECT_EQ(ChildTitles(bank.get()), (std::vector<std::string>{"A", "B"})) << size;
    EXPECT_EQ(bank->GetChild()->GetLoopCount(), 0u) << size;
  }
}

TEST(IAUDContentObject, DeepNestingStopsAtALimit) {
  TempDir dir;
  std::string text = "RIFF icbf\n";
  for (int i = 0; i < 300; ++i) text += "LIST fldr\n";
  for (int i = 0; i < 300; ++i) text += "end\n";
  text += "LIST tran\n chunk titl text \"after\"\nend\nend\n";
  BankPtr bank(LoadBank(MakeRiff(dir, "deep", text)));
  int depth = 0;
  for (IAUDContentObject* o = bank->GetChild()->GetAfter(); o && o->GetObjectType() == IAUDFourCC("fldr"); o = o->GetChild())
    ++depth;
  EXPECT_EQ(depth, 128);
  EXPECT_EQ(ChildTitles(bank.get()), (std::vector<std::string>{"after", ""}));
}

TEST(IAUDContentObject, MarkersFromBothLayouts) {
  TempDir dir;
  // imrk: one 296-byte record; a second object with 300 bytes has none.
  // mark: one 308-byte record at the legacy offsets.
  std::string path = MakeRiff(dir, "markers", R"(
RIFF icbf
  LIST tran
    chunk titl text "new"
    chunk imrk text:128 "M1" u32 11 12 96 13 14 15 16 17 18 0xFFFFFFFF
  end
  LIST tran
    chunk titl text "bad"
    chunk imrk text:128 "M1" u32 0*11
  end
  LIST tran
    chunk titl text "old"
    chunk mark text:128 "Old" u32 100 0 0x00010203 480 500000 0x00040004 77 88 5 0 0 200 0
  end
end
)");
  BankPtr bank(LoadBank(path));
  IAUDContentObject* n = bank->GetChild();
  ASSERT_EQ(n->GetNumMarkers(), 1);
  const IAUDContentMarker* m = n->GetMarkerByIndex(0);
  EXPECT_EQ(Narrow(m->wszTitle), "M1");
  EXPECT_EQ(m->dwContentPosition, 11u);
  EXPECT_EQ(m->dwMetricPosition, 96u);
  EXPECT_EQ(m->dwSubframe, 18u);
  EXPECT_EQ(m->nRepeatLimit, -1);
  EXPECT_EQ(n->GetMarkerByIndex(1), nullptr);
  EXPECT_EQ(n->GetMarkerByIndex(-1), nullptr);
  EXPECT_EQ(n->FindMarkerIndex(m), 0);

  EXPECT_EQ(n->GetAfter()->GetNumMarkers(), 0);
  EXPECT_EQ(n->GetAfter()->GetMarkers(), nullptr);

  IAUDContentObject* o = n->GetAfter()->GetAfter();
  ASSERT_EQ(o->GetNumMarkers(), 1);
  m = o->GetMarkerByIndex(0);
  EXPECT_EQ(Narrow(m->wszTitle), "Old");
  EXPECT_EQ(m->dwContentPosition, 100u);
  EXPECT_EQ(m->dwMusicalPosition, 0x00010203u);
  EXPECT_EQ(m->dwMetricPosition, 480u);
  EXPECT_EQ(m->dwTempo, 500000u);
  EXPECT_EQ(m->dwTimeSignature, 0x00040004u);
  EXPECT_EQ(m->dwTimeCode, 77u);
  EXPECT_EQ(m->dwTotalSubframes, 88u);
  EXPECT_EQ(m->nRepeatLimit, 5);
  EXPECT_EQ(m->dwClock, 0u);
  EXPECT_EQ(m->dwSubframe, 0u);

  // Markers are written as "imrk" and read back whole.
  BankPtr again(SaveAndReload(bank.get(), dir, "again.riff"));
  IAUDContentObject* n2 = again->GetChild();
  ASSERT_EQ(n2->GetNumMarkers(), 1);
  EXPECT_EQ(memcmp(n2->GetMarkers(), n->GetMarkers(), sizeof(IAUDContentMarker)), 0);
}

TEST(IAUDContentObject, FindMarkerIndexFromMetric) {
  IAUDContentMarker markers[3] = {};
  markers[0].dwMetricPosition = 0;
  markers[1].dwMetricPosition = 96;
  markers[2].dwMetricPosition = 192;
  BankPtr bank(new IAUDContentBank());
  IAUDContentObject* o = bank->CreateNewContentObject(IAUDFourCC("tran"), nullptr);
  EXPECT_EQ(o->FindMarkerIndexFromMetric(50), 0);  // no markers
  o->SetMarkers(markers, 3);
  const uint32_t positions[] = {96, 100, 50, 500, 0, 192};
  const int32_t expect[] = {1, 1, 0, 0, 0, 2};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(o->FindMarkerIndexFromMetric(positions[i]), expect[i]) << positions[i];
}

// A player running 96 clocks a beat and 4 beats a bar through pending clocks.
struct FakeClockPlayer {
  uint32_t pending = 0, clocks = 0, beats = 0, bars = 0, status = 0;
  bool answer = true;
  int timeCodeCalls = 0;
  std::vector<uint32_t> markerBeats;
  uint32_t GetInProcessStatusFlags() { return status; }
  uint32_t GetMetricProcessClockCount() {
    if (!pending) return 0;
    --pending;
    status = 1;
    if (++clocks == 96) {
      clocks = 0;
      status |= 2;
      if (++beats % 4 == 0) {
        status |= 4;
        ++bars;
      }
    }
    return 1;
  }
  uint32_t GetProcessBars() { return bars; }
  uint32_t GetProcessBeats() { return beats; }
  uint32_t GetProcessClocks() { return clocks; }
  void ProcessMetricTimeCode() {
    ++timeCodeCalls;
    pending = 0;
  }
  bool ProcessContentMarker() {
    markerBeats.push_back(beats);
    return answer;
  }
};

TEST(IAUDContentObject, MarkerGridRaisesMarkersByDivision) {
  struct Case {
    uint32_t division;
    std::vector<uint32_t> beats;
  } cases[] = {
      {0x80000002, {2, 4, 6, 8}},  // every second beat
      {0xC0000001, {4, 8}},        // every bar
      {0xE0000000, {}},            // the default: off
      {0x80000000, {}},            // a count of 0: off
      {0x20000001, {}},            // undefined units: off
      {0x40000030, {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1}},  // clocks 48 and 0 of each beat
  };
  for (const Case& c : cases) {
    FakeClockPlayer p;
    p.pending = 96 * 8;
    EXPECT_TRUE(IAUDProcessMarkerGrid(c.division, p));
    EXPECT_EQ(p.pending, 0u);
    if (c.division == 0x40000030) {
      EXPECT_EQ(p.markerBeats.size(), 16u);
    } else {
      EXPECT_EQ(p.markerBeats, c.beats) << std::hex << c.division;
    }
    EXPECT_EQ(p.timeCodeCalls, 0);
  }

  FakeClockPlayer none;
  none.pending = 96;
  EXPECT_TRUE(IAUDProcessMarkerGrid(0x00000004, none));
  EXPECT_EQ(none.timeCodeCalls, 1);
  EXPECT_TRUE(none.markerBeats.empty());

  FakeClockPlayer starting;  // content starting this period gets a marker first
  starting.status = 0x10000000;
  starting.answer = false;
  starting.pending = 96;
  EXPECT_FALSE(IAUDProcessMarkerGrid(0x80000001, starting));
  EXPECT_EQ(starting.pending, 96u);

  FakeClockPlayer refuses;
  refuses.pending = 96 * 4;
  refuses.answer = false;
  EXPECT_FALSE(IAUDProcessMarkerGrid(0x80000002, refuses));
  EXPECT_EQ(refuses.markerBeats, (std::vector<uint32_t>{2}));
  EXPECT_EQ(refuses.pending, 96u * 2);

  // Through the object, with a player that has no clocks to give.
  BankPtr bank(new IAUDContentBank());
  IAUDContentObject* o = bank->CreateNewContentObject(IAUDFourCC("tran"), nullptr);
  CPlayer player;
  EXPECT_TRUE(o->ProcessMetricClocks(&player));
}

TEST(IAUDContentObject, ObjectDataRoundTrip) {
  BankPtr bank(new IAUDContentBank());
  IAUDContentObject* a = bank->CreateNewContentObject(IAUDFourCC("tran"), nullptr);
  IAUDContentObject* b = bank->CreateNewContentObject(IAUDFourCC("tran"), nullptr);
  OBJECTDATA d;
  a->GetObjectData(&d);
  EXPECT_EQ(d.dwBaseTempo, 500000u);
  EXPECT_EQ(d.nGroupIndex, -1);
  IAUDCopyNumString(d.wszTitle, W(U16("Copy")), 128);
  d.dwBaseTempo = 300000;
  d.syncStart = SSyncStart{1, 4};
  d.nNumMarkers = 5;
  b->SetObjectData(&d);
  EXPECT_EQ(Narrow(b->GetTitle()), "Copy");
  EXPECT_EQ(b->GetBaseTempo(), 300000u);
  EXPECT_EQ(b->GetSyncStartMultiple(), 4u);
  EXPECT_EQ(b->GetNumMarkers(), 0);
}

}  // namespace
