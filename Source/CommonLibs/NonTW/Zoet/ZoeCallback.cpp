#include "ZoeCallback.h"

#include <cstring>
#include <mutex>

namespace zoecb {

const uint32_t kPoolSize = 8;
const uint32_t kRunCandidates = 16;

CallbackHandler s_pool[kPoolSize];
bool s_inUse[kPoolSize];
std::mutex s_poolLock;

uint32_t LoadState(const CallbackHandler* h) { return __atomic_load_n(&h->state, __ATOMIC_ACQUIRE); }
void StoreState(CallbackHandler* h, uint32_t s) { __atomic_store_n(&h->state, s, __ATOMIC_RELEASE); }

void ReleaseSlot(CallbackHandler* h) {
  std::lock_guard<std::mutex> guard(s_poolLock);
  s_inUse[h - s_pool] = false;
}

uint32_t Worker(void* argument) {
  CallbackHandler* h = static_cast<CallbackHandler*>(argument);
  for (;;) {
    if (WaitForSingleObject(h->quit, h->period) == ZOE_WAIT_OBJECT_0) return 0;
    WaitForSingleObject(h->lock, ZOE_INFINITE);
    if (LoadState(h) == ZOECB_RUNNING && __atomic_load_n(&h->callbacks, __ATOMIC_ACQUIRE)) ZOECB_run_pass(h);
    if (LoadState(h) == ZOECB_STOPPING) {
      ReleaseMutex(h->lock);
      return 0;
    }
    ReleaseMutex(h->lock);
  }
}

// Tells the worker to end and lets it get to its quit check; the caller
// waits for the thread afterwards.
void StartStopping(CallbackHandler* h) {
  SetEvent(h->quit);
  uint32_t was = LoadState(h);
  StoreState(h, ZOECB_STOPPING);
  SetThreadPriority(h->thread, 1);
  if (was == ZOECB_CREATED)
    ResumeThread(h->thread);
  else if (was == ZOECB_SUSPENDED)
    ReleaseMutex(h->lock);
}

void FinishStopping(CallbackHandler* h) {
  WaitForSingleObject(h->thread, ZOE_INFINITE);
  CloseHandle(h->lock);
  CloseHandle(h->thread);
  CloseHandle(h->quit);
  memset(h, 0, sizeof(*h));
  ReleaseSlot(h);
}

}  // namespace zoecb

uint32_t ZOECB_callback_size() { return (uint32_t)sizeof(CallbackNode); }

CallbackHandler* ZOECB_allocate_handler(int32_t rate) {
  using namespace zoecb;
  if (rate == 0) return nullptr;
  CallbackHandler* h = nullptr;
  {
    std::lock_guard<std::mutex> guard(s_poolLock);
    for (uint32_t i = 0; i < kPoolSize; ++i) {
      if (!s_inUse[i]) {
        s_inUse[i] = true;
        h = &s_pool[i];
        break;
      }
    }
  }
  if (!h) return nullptr;
  memset(h, 0, sizeof(*h));
  int64_t magnitude = rate < 0 ? -(int64_t)rate : (int64_t)rate;
  h->period = (uint32_t)(1000 / magnitude);
  h->pass = 1;
  h->thread = CreateThread(nullptr, 32 * 1024, &Worker, h, 0, &h->threadId);
  if (!h->thread) {
    ReleaseSlot(h);
    return nullptr;
  }
  if (rate < 0) SetThreadPriority(h->thread, 1);
  h->lock = CreateMutex();
  h->quit = CreateEvent();
  if (!h->lock || !h->quit) {
    CloseHandle(h->lock);
    CloseHandle(h->quit);
    CloseHandle(h->thread);
    ReleaseSlot(h);
    return nullptr;
  }
  return h;
}

void ZOECB_resume_handler(CallbackHandler* handler) {
  if (!handler) return;
  uint32_t was = zoecb::LoadState(handler);
  zoecb::StoreState(handler, ZOECB_RUNNING);
  if (was == ZOECB_CREATED)
    ResumeThread(handler->thread);
  else
    ReleaseMutex(handler->lock);
}

int32_t ZOECB_try_to_suspend_handler(CallbackHandler* handler) {
  if (!handler) return 1;
  if (WaitForSingleObject(handler->lock, 0) != ZOE_WAIT_OBJECT_0) return 0;
  zoecb::StoreState(handler, ZOECB_SUSPENDED);
  return 1;
}

void ZOECB_suspend_handler(CallbackHandler* handler) {
  if (!handler) return;
  zoecb::StoreState(handler, ZOECB_SUSPENDING);
  WaitForSingleObject(handler->lock, ZOE_INFINITE);
  zoecb::StoreState(handler, ZOECB_SUSPENDED);
}

void ZOECB_suspend_2_handlers(CallbackHandler* a, CallbackHandler* b) {
  ZOECB_suspend_handler(a);
  ZOECB_suspend_handler(b);
}

void ZOECB_free_handler(CallbackHandler* handler) {
  if (!handler) return;
  zoecb::StartStopping(handler);
  zoecb::FinishStopping(handler);
}

void ZOECB_free_2_handlers(CallbackHandler* a, CallbackHandler* b) {
  if (a) zoecb::StartStopping(a);
  if (b) zoecb::StartStopping(b);
  if (a) zoecb::FinishStopping(a);
  if (b) zoecb::FinishStopping(b);
}

void ZOECB_register_callback(CallbackHandler* handler, CallbackNode* node, ZoeCallbackCheck check,
                             ZoeCallbackRun run) {
  if (!handler || !node) return;
  node->check = check;
  node->run = run;
  node->runNext = nullptr;
  node->priority = 0;
  node->lock = CreateMutex();
  node->next = __atomic_load_n(&handler->callbacks, __ATOMIC_ACQUIRE);
  __atomic_store_n(&handler->callbacks, node, __ATOMIC_RELEASE);
  __atomic_add_fetch(&handler->count, 1u, __ATOMIC_ACQ_REL);
}

int32_t ZOECB_unregister_callback(CallbackHandler* handler, CallbackNode* node, uint32_t flags) {
  if (!handler || !node) return 0;
  CallbackNode** link = &handler->callbacks;
  while (*link && *link != node) link = &(*link)->next;
  if (!*link) return 0;
  // The node keeps its own next link, so a pass walking the list right now
  // goes on past it.
  __atomic_store_n(link, node->next, __ATOMIC_RELEASE);
  uint32_t left = __atomic_sub_fetch(&handler->count, 1u, __ATOMIC_ACQ_REL);
  int32_t freed = 0;
  if ((flags & 1u) && left == 0) {
    ZOECB_free_handler(handler);
    freed = 1;
  } else {
    // Wait for a running pass to end before the node goes.
    uint32_t was = zoecb::LoadState(handler);
    zoecb::StoreState(handler, ZOECB_SUSPENDING);
    WaitForSingleObject(handler->lock, ZOE_INFINITE);
    ReleaseMutex(handler->lock);
    zoecb::StoreState(handler, was == ZOECB_SUSPENDING ? ZOECB_RUNNING : was);
  }
  CloseHandle(node->lock);
  node->lock = nullptr;
  return freed;
}

int32_t ZOECB_unregister_2_callbacks(CallbackHandler* ha, CallbackNode* na, CallbackHandler* hb,
                                     CallbackNode* nb, uint32_t flags) {
  int32_t result = 0;
  if (ha && ZOECB_unregister_callback(ha, na, flags)) result |= 1;
  if (hb && ZOECB_unregister_callback(hb, nb, flags)) result |= 2;
  return result;
}

uint32_t ZOECB_registered_count(CallbackHandler* handler) {
  return handler ? __atomic_load_n(&handler->count, __ATOMIC_ACQUIRE) : 0;
}

int32_t ZOECB_try_to_suspend_callback(CallbackHandler*, CallbackNode* node) {
  if (!node || !node->lock) return 1;
  return WaitForSingleObject(node->lock, 0) == ZOE_WAIT_OBJECT_0 ? 1 : 0;
}

void ZOECB_suspend_callback(CallbackHandler*, CallbackNode* node) {
  if (node && node->lock) WaitForSingleObject(node->lock, ZOE_INFINITE);
}

void ZOECB_suspend_2_callbacks(CallbackHandler* ha, CallbackNode* na, CallbackHandler* hb, CallbackNode* nb) {
  ZOECB_suspend_callback(ha, na);
  ZOECB_suspend_callback(hb, nb);
}

void ZOECB_resume_callback(CallbackHandler*, CallbackNode* node) {
  if (node && node->lock) ReleaseMutex(node->lock);
}

void ZOECB_idle_on_callbacks() { Sleep(0); }

void ZOECB_run_pass(CallbackHandler* handler) {
  using namespace zoecb;
  __atomic_add_fetch(&handler->pass, 1u, __ATOMIC_RELAXED);
  for (;;) {
    CallbackNode* order = nullptr;
    for (CallbackNode* n = __atomic_load_n(&handler->callbacks, __ATOMIC_ACQUIRE); n;
         n = __atomic_load_n(&n->next, __ATOMIC_ACQUIRE)) {
      if (LoadState(handler) != ZOECB_RUNNING) return;
      int32_t priority = n->check(n, handler->pass);
      n->priority = priority;
      if (priority == 0) continue;
      // Larger first; a newcomer goes before nodes of equal priority.
      CallbackNode** at = &order;
      while (*at && (*at)->priority > priority) at = &(*at)->runNext;
      n->runNext = *at;
      *at = n;
    }
    if (!order) return;
    CallbackNode* chosen = nullptr;
    uint32_t tried = 0;
    for (CallbackNode* n = order; n && tried < kRunCandidates; n = n->runNext, ++tried) {
      if (WaitForSingleObject(n->lock, 0) == ZOE_WAIT_OBJECT_0) {
        chosen = n;
        break;
      }
    }
    // Every candidate is held by a caller: leave the rest to the next wake-up
    // instead of asking again at once.
    if (!chosen) return;
    chosen->run(chosen, handler->pass);
    ReleaseMutex(chosen->lock);
  }
}
