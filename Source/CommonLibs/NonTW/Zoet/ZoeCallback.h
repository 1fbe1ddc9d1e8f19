// Background callback service of the video library: a handler is one worker
// thread that wakes every `period` milliseconds and runs the callbacks
// registered with it by priority; callers keep a callback from running while
// they touch the same data by suspending it (taking its lock).
#pragma once

#include <cstdint>

#include "ZoePlatform.h"

struct CallbackNode;

// Answers the node's priority in this pass (0 = nothing to do).
typedef int32_t (*ZoeCallbackCheck)(CallbackNode* node, uint32_t pass);
typedef void (*ZoeCallbackRun)(CallbackNode* node, uint32_t pass);

enum : uint32_t {
  ZOECB_CREATED = 0,
  ZOECB_RUNNING = 1,
  ZOECB_SUSPENDED = 2,
  ZOECB_STOPPING = 3,
  ZOECB_SUSPENDING = 4,
};

struct CallbackHandler {
  uint32_t state;  // ZOECB_CREATED .. ZOECB_SUSPENDING, read and written atomically
  uint32_t period;
  ZoeHandle quit;
  ZoeHandle thread;
  uint32_t threadId;
  ZoeHandle lock;
  CallbackNode* callbacks;  // newest first
  uint32_t pass;
  uint32_t count;
};

// Owned by the registrant.
struct CallbackNode {
  CallbackNode* next;
  ZoeHandle lock;
  CallbackNode* runNext;
  int32_t priority;
  ZoeCallbackCheck check;
  ZoeCallbackRun run;
};

uint32_t ZOECB_callback_size();

// A handler of a pool of eight with period 1000 / |rate| ms, its thread not
// started; null when the pool is used up, the rate is 0 or the thread cannot
// be made.
CallbackHandler* ZOECB_allocate_handler(int32_t rate);
void ZOECB_resume_handler(CallbackHandler* handler);
int32_t ZOECB_try_to_suspend_handler(CallbackHandler* handler);
void ZOECB_suspend_handler(CallbackHandler* handler);
void ZOECB_suspend_2_handlers(CallbackHandler* a, CallbackHandler* b);
void ZOECB_free_handler(CallbackHandler* handler);
void ZOECB_free_2_handlers(CallbackHandler* a, CallbackHandler* b);

void ZOECB_register_callback(CallbackHandler* handler, CallbackNode* node, ZoeCallbackCheck check,
                             ZoeCallbackRun run);
// 1 when the handler was freed with its last node (flag bit 0), else 0 (also
// for a null handler or a node that is not registered with it).
int32_t ZOECB_unregister_callback(CallbackHandler* handler, CallbackNode* node, uint32_t flags);
// 1 when a was freed, 2 when b was, 3 when both were.
int32_t ZOECB_unregister_2_callbacks(CallbackHandler* ha, CallbackNode* na, CallbackHandler* hb,
                                     CallbackNode* nb, uint32_t flags);
uint32_t ZOECB_registered_count(CallbackHandler* handler);

// 1 when the node's lock was taken at once, or the node or its lock is
// missing; 0 while the node runs.
int32_t ZOECB_try_to_suspend_callback(CallbackHandler* handler, CallbackNode* node);
void ZOECB_suspend_callback(CallbackHandler* handler, CallbackNode* node);
void ZOECB_suspend_2_callbacks(CallbackHandler* ha, CallbackNode* na, CallbackHandler* hb, CallbackNode* nb);
void ZOECB_resume_callback(CallbackHandler* handler, CallbackNode* node);
// Yields the processor so that a worker can run.
void ZOECB_idle_on_callbacks();

// One pass over the handler's callbacks as its worker runs it (the caller
// holds the handler's lock).
void ZOECB_run_pass(CallbackHandler* handler);
