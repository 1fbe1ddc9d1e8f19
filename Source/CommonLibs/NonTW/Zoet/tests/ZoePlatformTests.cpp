#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include "ZoePlatform.h"
#include "ZoeTestSupport.h"

namespace {

// ---- Memory ---------------------------------------------------------------

struct InstalledAllocator {
  static int allocs;
  static int frees;
  static void* lastRaw;
  static void* answer;  // what Allocate answers instead of real memory (when set)
  static bool useAnswer;
  static void* Allocate(uint32_t bytes) {
    ++allocs;
    if (useAnswer) return answer;
    lastRaw = malloc(bytes);
    return lastRaw;
  }
  static void Free(void* raw) {
    ++frees;
    EXPECT_EQ(raw, lastRaw);
    free(raw);
  }
  static void Reset() {
    allocs = frees = 0;
    lastRaw = answer = nullptr;
    useAnswer = false;
  }
};
int InstalledAllocator::allocs = 0;
int InstalledAllocator::frees = 0;
void* InstalledAllocator::lastRaw = nullptr;
void* InstalledAllocator::answer = nullptr;
bool InstalledAllocator::useAnswer = false;

class ZoeRadMalloc : public ::testing::Test {
 protected:
  void SetUp() override { InstalledAllocator::Reset(); }
  void TearDown() override { ZoeSetMemory(nullptr, nullptr); }
};

TEST_F(ZoeRadMalloc, RefusesZeroAndSizesThatWrapWithTheBookkeeping) {
  for (uint32_t size : {0u, 0xFFFFFFFFu, 0xFFFFFFC0u, 0xFFFFFFFFu - 63u}) {
    EXPECT_EQ(radmalloc(size), nullptr) << size;
  }
}

TEST_F(ZoeRadMalloc, BlocksAreAlignedAndUsable) {
  std::vector<void*> blocks;
  for (uint32_t size : {1u, 3u, 31u, 32u, 33u, 100u, 4096u, 100000u}) {
    uint8_t* p = static_cast<uint8_t*>(radmalloc(size));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ((uintptr_t)p % 32, 0u) << size;
    EXPECT_GE(p[-1], 33);
    EXPECT_LE(p[-1], 64);
    memset(p, 0xAB, size);
    blocks.push_back(p);
  }
  for (void* p : blocks) radfree(p);
  radfree(nullptr);
}

TEST_F(ZoeRadMalloc, InstalledAllocatorIsAskedFirstAndGetsItsBlockBack) {
  ZoeSetMemory(&InstalledAllocator::Allocate, &InstalledAllocator::Free);
  uint8_t* p = static_cast<uint8_t*>(radmalloc(200));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(InstalledAllocator::allocs, 1);
  EXPECT_EQ((uintptr_t)p % 32, 0u);
  EXPECT_EQ(p - p[-1], InstalledAllocator::lastRaw);
  // The block goes back to the free function it came with, even after the
  // allocator was removed.
  ZoeSetMemory(nullptr, nullptr);
  radfree(p);
  EXPECT_EQ(InstalledAllocator::frees, 1);
}

TEST_F(ZoeRadMalloc, InstalledAllocatorAnsweringNullFallsBackToMalloc) {
  ZoeSetMemory(&InstalledAllocator::Allocate, &InstalledAllocator::Free);
  InstalledAllocator::useAnswer = true;
  void* p = radmalloc(64);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(InstalledAllocator::allocs, 1);
  radfree(p);  // to free(), not to the installed function
  EXPECT_EQ(InstalledAllocator::frees, 0);
}

TEST_F(ZoeRadMalloc, InstalledAllocatorAnsweringAllOnesRefuses) {
  ZoeSetMemory(&InstalledAllocator::Allocate, &InstalledAllocator::Free);
  InstalledAllocator::useAnswer = true;
  InstalledAllocator::answer = reinterpret_cast<void*>(~(uintptr_t)0);
  EXPECT_EQ(radmalloc(64), nullptr);
}

// ---- Timer and files --------------------------------------------------------

TEST(ZoeTimer, DeadlinesCarryNanosecondsIntoSeconds) {
  struct Case {
    time_t sec;
    long nsec;
    uint32_t ms;
    time_t wantSec;
    long wantNsec;
  } cases[] = {
      {10, 600000000L, 1500, 12, 100000000L},
      {10, 400000000L, 1500, 11, 900000000L},
      {10, 999999999L, 1, 11, 999999L},
      {10, 0, 0, 10, 0},
      {10, 500000000L, 500, 11, 0},
  };
  for (const Case& c : cases) {
    timespec now{c.sec, c.nsec};
    timespec t = ZoeDeadlineAfter(now, c.ms);
    EXPECT_EQ(t.tv_sec, c.wantSec) << c.ms;
    EXPECT_EQ(t.tv_nsec, c.wantNsec) << c.ms;
  }
}

TEST(ZoeTimer, FollowsRealTimeInMilliseconds) {
  uint32_t a = ZoeTimerRead();
  Sleep(20);
  uint32_t elapsed = ZoeTimerRead() - a;
  EXPECT_GE(elapsed, 20u);
  EXPECT_LT(elapsed, 5000u);
}

TEST(ZoeFiles, OpenSeekReadAndShortReads) {
  zoetest::TempDir dir;
  std::vector<uint8_t> bytes = zoetest::PatternBytes(1000);
  ASSERT_TRUE(zoetest::WriteFile(dir.File("data.bin"), bytes));
  EXPECT_EQ(radopen(dir.File("missing.bin").c_str(), 0), -1);
  int32_t fd = radopen(dir.File("data.bin").c_str(), 0);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(radseekbegin(fd, 100), 100);
  EXPECT_EQ(radseekcur(fd, 50), 150);
  uint8_t buf[1000];
  uint32_t count = 12345;
  EXPECT_EQ(radread(fd, buf, 10, &count), 10u);
  EXPECT_EQ(count, 10u);
  EXPECT_EQ(memcmp(buf, &bytes[150], 10), 0);
  EXPECT_EQ(radread(fd, buf, 1000, &count), 840u);  // to the end only
  EXPECT_EQ(count, 840u);
  radclose(fd);
  // Opened for writing, the file takes bytes.
  fd = radopen(dir.File("data.bin").c_str(), 1);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(write(fd, "x", 1), 1);
  radclose(fd);
}

// ---- Processor features -----------------------------------------------------

TEST(ZoeCpu, CheckCombinesEnableAndDisableMasks) {
  uint32_t none = CPU_check(0, 0);
  ASSERT_NE(cpu_features_avail & ZOE_CPU_DETECTED, 0u);
  EXPECT_EQ(none, cpu_features_to_use);
  uint32_t avail = cpu_features_avail;
#if defined(__x86_64__)
  // Every x86-64 processor has MMX, SSE and SSE2.
  EXPECT_EQ(avail & (ZOE_CPU_MMX | ZOE_CPU_SSE | ZOE_CPU_SSE2), ZOE_CPU_MMX | ZOE_CPU_SSE | ZOE_CPU_SSE2);
#endif
  struct Case {
    uint32_t use, enable, disable;
  } cases[] = {
      {0, 0xF, 0},       {0xFFFFFFFF, 0, 0xF}, {avail, 0, ZOE_CPU_SSE2}, {ZOE_CPU_MMX, ZOE_CPU_SSE, ZOE_CPU_MMX},
      {0, 0x10, 0},      {avail, 0, 0},        {0, 0xFFFFFFFF, 0x8},
  };
  for (const Case& c : cases) {
    cpu_features_to_use = c.use;
    uint32_t want = ((avail & c.enable) | c.use) & ~(avail & c.disable);
    EXPECT_EQ(CPU_check(c.enable, c.disable), want);
    EXPECT_EQ(cpu_features_to_use, want);
    EXPECT_EQ(cpu_features_avail, avail);
  }
  cpu_features_to_use = avail;
}

// ---- Threads, mutexes, events ---------------------------------------------

// A thread that takes the given mutexes, says so, and lets them go when told.
struct Holder {
  std::vector<ZoeHandle> mutexes;
  ZoeHandle taken = CreateEvent();
  ZoeHandle release = CreateEvent();
  ZoeHandle thread = nullptr;
  std::atomic<bool> done{false};  // the thread touches nothing of this after it

  static uint32_t Run(void* p) {
    Holder* h = static_cast<Holder*>(p);
    for (ZoeHandle m : h->mutexes) WaitForSingleObject(m, ZOE_INFINITE);
    SetEvent(h->taken);
    WaitForSingleObject(h->release, ZOE_INFINITE);
    for (ZoeHandle m : h->mutexes) ReleaseMutex(m);
    h->done = true;
    return 0;
  }
  void Start() {
    uint32_t id = 99;
    thread = CreateThread(nullptr, 0, &Run, this, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(ResumeThread(thread), 0u);
    ASSERT_EQ(WaitForSingleObject(taken, 10000), ZOE_WAIT_OBJECT_0);
  }
  void Finish() {
    SetEvent(release);
    EXPECT_EQ(WaitForSingleObject(thread, ZOE_INFINITE), ZOE_WAIT_OBJECT_0);
    CloseHandle(thread);
    CloseHandle(taken);
    CloseHandle(release);
  }
};

TEST(ZoeThreads, MutexWaitWithTimeOutZeroOnlyTries) {
  ZoeHandle m = CreateMutex();
  ASSERT_NE(m, nullptr);
  Holder h;
  h.mutexes = {m};
  h.Start();
  uint32_t before = ZoeTimerRead();
  EXPECT_EQ(WaitForSingleObject(m, 0), ZOE_WAIT_TIMEOUT);
  EXPECT_LT(ZoeTimerRead() - before, 1000u);
  h.Finish();
  // Free now: acquired and held, and taken again by the same thread.
  EXPECT_EQ(WaitForSingleObject(m, 0), ZOE_WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(m, 0), ZOE_WAIT_OBJECT_0);
  Holder other;
  other.mutexes = {m};
  uint32_t id;
  other.thread = CreateThread(nullptr, 0, &Holder::Run, &other, 0, &id);
  ResumeThread(other.thread);
  // Held twice by this thread: the other one gets it only after both releases.
  EXPECT_EQ(WaitForSingleObject(other.taken, 50), ZOE_WAIT_TIMEOUT);
  EXPECT_EQ(ReleaseMutex(m), 1);
  EXPECT_EQ(WaitForSingleObject(other.taken, 50), ZOE_WAIT_TIMEOUT);
  EXPECT_EQ(ReleaseMutex(m), 1);
  EXPECT_EQ(WaitForSingleObject(other.taken, 10000), ZOE_WAIT_OBJECT_0);
  other.Finish();
  EXPECT_EQ(CloseHandle(m), 1);
}

TEST(ZoeThreads, TimedMutexWaitGivesUpAfterItsTime) {
  ZoeHandle m = CreateMutex();
  Holder h;
  h.mutexes = {m};
  h.Start();
  uint32_t before = ZoeTimerRead();
  EXPECT_EQ(WaitForSingleObject(m, 30), ZOE_WAIT_TIMEOUT);
  EXPECT_GE(ZoeTimerRead() - before, 29u);
  h.Finish();
  EXPECT_EQ(WaitForSingleObject(m, 1500), ZOE_WAIT_OBJECT_0);
  ReleaseMutex(m);
  CloseHandle(m);
}

TEST(ZoeThreads, WaitForMultipleObjectsNeverBlocks) {
  ZoeHandle m[3] = {CreateMutex(), CreateMutex(), CreateMutex()};
  Holder h;
  h.mutexes = {m[0], m[1], m[2]};
  h.Start();
  uint32_t before = ZoeTimerRead();
  EXPECT_EQ(WaitForMultipleObjects(3, m), ZOE_WAIT_NONE_FREE);
  EXPECT_LT(ZoeTimerRead() - before, 1000u);
  h.Finish();
  Holder first;
  first.mutexes = {m[0]};
  first.Start();
  EXPECT_EQ(WaitForMultipleObjects(3, m), 1u);  // the first free one, and only it
  first.Finish();
  Holder probe;
  probe.mutexes = {m[2]};
  probe.Start();  // m[2] was not taken by the call above
  probe.Finish();
  ReleaseMutex(m[1]);
  for (ZoeHandle x : m) CloseHandle(x);
}

TEST(ZoeThreads, EventsResetWhenConsumed) {
  ZoeHandle e = CreateEvent();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(WaitForSingleObject(e, 0), ZOE_WAIT_TIMEOUT);
  EXPECT_EQ(SetEvent(e), 1);
  EXPECT_EQ(WaitForSingleObject(e, 0), ZOE_WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(e, 0), ZOE_WAIT_TIMEOUT);
  uint32_t before = ZoeTimerRead();
  EXPECT_EQ(WaitForSingleObject(e, 20), ZOE_WAIT_TIMEOUT);
  EXPECT_GE(ZoeTimerRead() - before, 19u);
  CloseHandle(e);
}

std::atomic<int> s_ranWith{0};
uint32_t RecordArgument(void* p) {
  s_ranWith = *static_cast<int*>(p);
  return 0;
}

TEST(ZoeThreads, ThreadsStartOnlyWhenResumed) {
  static int value = 7;
  s_ranWith = 0;
  uint32_t id;
  ZoeHandle t = CreateThread(nullptr, 32768, &RecordArgument, &value, 0, &id);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(SetThreadPriority(t, 2), 1);
  // Not started: waiting for it answers at once and it never runs.
  EXPECT_EQ(WaitForSingleObject(t, ZOE_INFINITE), ZOE_WAIT_OBJECT_0);
  EXPECT_EQ(s_ranWith.load(), 0);
  ResumeThread(t);
  ResumeThread(t);  // a second resume starts nothing
  EXPECT_EQ(WaitForSingleObject(t, ZOE_INFINITE), ZOE_WAIT_OBJECT_0);
  EXPECT_EQ(s_ranWith.load(), 7);
  CloseHandle(t);
  CloseHandle(nullptr);
}

TEST(ZoeThreads, ClosingAThreadNobodyWaitedForLetsItFinish) {
  Holder h;
  ZoeHandle m = CreateMutex();
  h.mutexes = {m};
  h.Start();
  CloseHandle(h.thread);  // detached, still running
  SetEvent(h.release);
  // It lets go of the mutex when it ends.
  EXPECT_EQ(WaitForSingleObject(m, 10000), ZOE_WAIT_OBJECT_0);
  ReleaseMutex(m);
  ASSERT_TRUE(zoetest::WaitUntil([&] { return h.done.load(); }));
  CloseHandle(m);
  CloseHandle(h.taken);
  CloseHandle(h.release);
}

}  // namespace
