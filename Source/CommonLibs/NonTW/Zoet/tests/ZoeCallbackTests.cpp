#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "ZoeCallback.h"
#include "ZoeTestSupport.h"

namespace {

// A node that asks to run with a fixed priority until it has run once.
struct TestNode {
  CallbackNode node;  // first, so the callbacks find the rest
  int32_t priority = 0;
  char name = '?';
  bool ran = false;
  int checks = 0;
  std::string* log = nullptr;

  static int32_t Check(CallbackNode* n, uint32_t) {
    TestNode* t = reinterpret_cast<TestNode*>(n);
    ++t->checks;
    return t->ran ? 0 : t->priority;
  }
  static void Run(CallbackNode* n, uint32_t) {
    TestNode* t = reinterpret_cast<TestNode*>(n);
    t->ran = true;
    if (t->log) *t->log += t->name;
  }
};

// A handler record without a thread, for driving passes on the test thread.
struct ManualHandler {
  CallbackHandler h{};
  ManualHandler() {
    h.state = ZOECB_RUNNING;
    h.lock = CreateMutex();
    h.pass = 1;
  }
  ~ManualHandler() { CloseHandle(h.lock); }
};

// Holds a mutex on a thread of its own until told to let go.
struct LockHolder {
  ZoeHandle mutex;
  ZoeHandle taken = CreateEvent();
  ZoeHandle release = CreateEvent();
  ZoeHandle thread = nullptr;
  static uint32_t Run(void* p) {
    LockHolder* l = static_cast<LockHolder*>(p);
    WaitForSingleObject(l->mutex, ZOE_INFINITE);
    SetEvent(l->taken);
    WaitForSingleObject(l->release, ZOE_INFINITE);
    ReleaseMutex(l->mutex);
    return 0;
  }
  explicit LockHolder(ZoeHandle m) : mutex(m) {
    uint32_t id;
    thread = CreateThread(nullptr, 0, &Run, this, 0, &id);
    ResumeThread(thread);
    EXPECT_EQ(WaitForSingleObject(taken, 10000), ZOE_WAIT_OBJECT_0);
  }
  ~LockHolder() {
    SetEvent(release);
    WaitForSingleObject(thread, ZOE_INFINITE);
    CloseHandle(thread);
    CloseHandle(taken);
    CloseHandle(release);
  }
};

TEST(ZoeCallbacks, HandlerPeriodsAndPool) {
  EXPECT_EQ(ZOECB_callback_size(), sizeof(CallbackNode));
  CallbackHandler* read = ZOECB_allocate_handler(60);
  CallbackHandler* sound = ZOECB_allocate_handler(-13);
  ASSERT_NE(read, nullptr);
  ASSERT_NE(sound, nullptr);
  EXPECT_EQ(read->period, 16u);
  EXPECT_EQ(sound->period, 76u);
  EXPECT_EQ(read->pass, 1u);
  EXPECT_EQ(read->state, (uint32_t)ZOECB_CREATED);
  EXPECT_EQ(ZOECB_allocate_handler(0), nullptr);
  std::vector<CallbackHandler*> more;
  while (CallbackHandler* h = ZOECB_allocate_handler(100)) more.push_back(h);
  EXPECT_EQ(more.size(), 6u);  // eight in all
  ZOECB_resume_handler(read);
  ZOECB_free_2_handlers(read, sound);  // one started, one never started
  for (CallbackHandler* h : more) ZOECB_free_handler(h);
  ZOECB_free_2_handlers(nullptr, nullptr);
  // The pool is whole again.
  for (int i = 0; i < 8; ++i) {
    more[0] = ZOECB_allocate_handler(10);
    ASSERT_NE(more[0], nullptr) << i;
    ZOECB_free_handler(more[0]);
  }
}

TEST(ZoeCallbacks, PassRunsBySignedPriorityAndAsksEveryCheckAgain) {
  ManualHandler mh;
  std::string log;
  // Registered in this order: a first.
  TestNode nodes[6];
  const char names[] = "abcdef";
  const int32_t priorities[] = {5, 5, -3, 10, 0, -2147483647 - 1};
  for (int i = 0; i < 6; ++i) {
    nodes[i].name = names[i];
    nodes[i].priority = priorities[i];
    nodes[i].log = &log;
    ZOECB_register_callback(&mh.h, &nodes[i].node, &TestNode::Check, &TestNode::Run);
  }
  EXPECT_EQ(ZOECB_registered_count(&mh.h), 6u);
  ZOECB_run_pass(&mh.h);
  EXPECT_EQ(log, "dabcf");
  EXPECT_EQ(mh.h.pass, 2u);
  // Five runs, each followed by a new round of checks, and the last round.
  for (const TestNode& n : nodes) EXPECT_EQ(n.checks, 6) << n.name;
  for (TestNode& n : nodes) ZOECB_unregister_callback(&mh.h, &n.node, 0);
  EXPECT_EQ(ZOECB_registered_count(&mh.h), 0u);
}

TEST(ZoeCallbacks, PassStopsWhenNoLongerRunning) {
  ManualHandler mh;
  mh.h.state = ZOECB_SUSPENDING;
  TestNode n;
  n.priority = 1;
  ZOECB_register_callback(&mh.h, &n.node, &TestNode::Check, &TestNode::Run);
  ZOECB_run_pass(&mh.h);
  EXPECT_EQ(n.checks, 0);
  mh.h.state = ZOECB_RUNNING;
  ZOECB_unregister_callback(&mh.h, &n.node, 0);
}

TEST(ZoeCallbacks, PassSkipsHeldNodesAndEndsWhenAllAreHeld) {
  ManualHandler mh;
  std::string log;
  TestNode low, high;
  low.name = 'l';
  low.priority = 1;
  low.log = &log;
  high.name = 'h';
  high.priority = 9;
  high.log = &log;
  ZOECB_register_callback(&mh.h, &low.node, &TestNode::Check, &TestNode::Run);
  ZOECB_register_callback(&mh.h, &high.node, &TestNode::Check, &TestNode::Run);
  {
    LockHolder holdHigh(high.node.lock);
    ZOECB_run_pass(&mh.h);  // runs the free one, then finds only the held one
    EXPECT_EQ(log, "l");
    EXPECT_EQ(high.checks, 2);
    // Everything that wants to run is held: the pass ends instead of spinning.
    ZOECB_run_pass(&mh.h);
    EXPECT_EQ(high.checks, 3);
    EXPECT_FALSE(high.ran);
  }
  ZOECB_run_pass(&mh.h);
  EXPECT_EQ(log, "lh");
  ZOECB_unregister_callback(&mh.h, &low.node, 0);
  ZOECB_unregister_callback(&mh.h, &high.node, 0);
}

TEST(ZoeCallbacks, UnregisteringAnUnknownNodeChangesNothing) {
  ManualHandler mh;
  TestNode a, stranger;
  ZOECB_register_callback(&mh.h, &a.node, &TestNode::Check, &TestNode::Run);
  EXPECT_EQ(ZOECB_unregister_callback(&mh.h, &stranger.node, 1), 0);
  EXPECT_EQ(ZOECB_unregister_callback(nullptr, &a.node, 1), 0);
  EXPECT_EQ(ZOECB_registered_count(&mh.h), 1u);
  EXPECT_EQ(ZOECB_unregister_callback(&mh.h, &a.node, 0), 0);
  EXPECT_EQ(a.node.lock, nullptr);
  EXPECT_EQ(ZOECB_registered_count(nullptr), 0u);
}

// A node whose run waits until the test lets it finish.
struct BlockingNode {
  CallbackNode node;
  ZoeHandle running = CreateEvent();
  ZoeHandle finish = CreateEvent();
  std::atomic<int> runs{0};
  std::atomic<int> checks{0};
  std::atomic<bool> block{true};
  static int32_t Check(CallbackNode* n, uint32_t) {
    BlockingNode* b = reinterpret_cast<BlockingNode*>(n);
    ++b->checks;
    return b->runs.load() == 0 ? 1 : 0;
  }
  static void Run(CallbackNode* n, uint32_t) {
    BlockingNode* b = reinterpret_cast<BlockingNode*>(n);
    ++b->runs;
    if (b->block) {
      SetEvent(b->running);
      WaitForSingleObject(b->finish, ZOE_INFINITE);
    }
  }
  ~BlockingNode() {
    CloseHandle(running);
    CloseHandle(finish);
  }
};

TEST(ZoeCallbacks, TryToSuspendAnswersZeroWhileTheNodeRuns) {
  EXPECT_EQ(ZOECB_try_to_suspend_callback(nullptr, nullptr), 1);
  CallbackHandler* h = ZOECB_allocate_handler(60);
  ASSERT_NE(h, nullptr);
  BlockingNode b;
  ZOECB_register_callback(h, &b.node, &BlockingNode::Check, &BlockingNode::Run);
  ZOECB_resume_handler(h);
  ASSERT_EQ(WaitForSingleObject(b.running, 10000), ZOE_WAIT_OBJECT_0);
  EXPECT_EQ(ZOECB_try_to_suspend_callback(h, &b.node), 0);
  EXPECT_EQ(ZOECB_try_to_suspend_handler(h), 0);  // a pass is on
  SetEvent(b.finish);
  ZOECB_suspend_callback(h, &b.node);  // waits for the run to end
  EXPECT_EQ(b.runs.load(), 1);
  EXPECT_EQ(ZOECB_try_to_suspend_callback(h, &b.node), 1);  // taken again by its holder
  ZOECB_resume_callback(h, &b.node);
  ZOECB_resume_callback(h, &b.node);
  // The last node with flag bit 0 takes its handler with it.
  EXPECT_EQ(ZOECB_unregister_callback(h, &b.node, 1), 1);
  EXPECT_EQ(b.node.lock, nullptr);
}

TEST(ZoeCallbacks, SuspendedHandlerRunsNoPasses) {
  CallbackHandler* h = ZOECB_allocate_handler(100);
  ASSERT_NE(h, nullptr);
  BlockingNode b;
  b.block = false;
  ZOECB_register_callback(h, &b.node, &BlockingNode::Check, &BlockingNode::Run);
  ZOECB_resume_handler(h);
  ASSERT_TRUE(zoetest::WaitUntil([&] { return b.checks.load() >= 2; }));
  ZOECB_suspend_handler(h);
  EXPECT_EQ(h->state, (uint32_t)ZOECB_SUSPENDED);
  int seen = b.checks.load();
  Sleep(60);  // several periods pass
  EXPECT_EQ(b.checks.load(), seen);
  ZOECB_resume_handler(h);
  ASSERT_TRUE(zoetest::WaitUntil([&] { return b.checks.load() > seen; }));
  EXPECT_EQ(ZOECB_try_to_suspend_handler(nullptr), 1);
  ZOECB_suspend_2_handlers(h, nullptr);
  // Freeing a suspended handler with its last node lets its thread go.
  EXPECT_EQ(ZOECB_unregister_callback(h, &b.node, 1), 1);
}

TEST(ZoeCallbacks, PairedUnregisterReportsWhichHandlersWentAway) {
  struct Case {
    bool useA, useB;
    int extraOnA;  // nodes left behind on handler a
    uint32_t flags;
    int32_t want;
  } cases[] = {
      {true, true, 0, 1, 3}, {true, true, 1, 1, 2}, {false, true, 0, 1, 2},
      {true, false, 0, 1, 1}, {true, true, 0, 0, 0},
  };
  for (const Case& c : cases) {
    CallbackHandler* ha = ZOECB_allocate_handler(60);
    CallbackHandler* hb = ZOECB_allocate_handler(-13);
    ASSERT_TRUE(ha && hb);
    TestNode na, nb, extra;
    ZOECB_register_callback(ha, &na.node, &TestNode::Check, &TestNode::Run);
    ZOECB_register_callback(hb, &nb.node, &TestNode::Check, &TestNode::Run);
    if (c.extraOnA) ZOECB_register_callback(ha, &extra.node, &TestNode::Check, &TestNode::Run);
    ZOECB_resume_handler(ha);
    ZOECB_resume_handler(hb);
    ZOECB_suspend_2_callbacks(ha, &na.node, hb, &nb.node);
    ZOECB_resume_callback(ha, &na.node);
    ZOECB_resume_callback(hb, &nb.node);
    EXPECT_EQ(ZOECB_unregister_2_callbacks(c.useA ? ha : nullptr, &na.node, c.useB ? hb : nullptr, &nb.node,
                                           c.flags),
              c.want);
    bool aFreed = c.want & 1, bFreed = c.want & 2;
    if (!aFreed) {
      if (!c.useA) ZOECB_unregister_callback(ha, &na.node, 0);
      if (c.extraOnA) ZOECB_unregister_callback(ha, &extra.node, 0);
      ZOECB_free_handler(ha);
    }
    if (!bFreed) {
      if (!c.useB) ZOECB_unregister_callback(hb, &nb.node, 0);
      ZOECB_free_handler(hb);
    }
  }
}

}  // namespace
