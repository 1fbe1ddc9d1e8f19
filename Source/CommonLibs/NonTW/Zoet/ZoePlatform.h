// Platform services of the Zoet video library on POSIX: a millisecond timer,
// file access, memory with an installable allocator, processor feature bits,
// and Windows-style threads, recursive mutexes and auto-reset events.
#pragma once

#include <cstdint>
#include <ctime>

// ---- Timer ----------------------------------------------------------------

// Milliseconds of a monotonic clock, 32-bit and wrapping.
uint32_t ZoeTimerRead();
// Replaces the clock behind ZoeTimerRead (null: the monotonic clock again);
// tests drive playback timing with it.
typedef uint32_t (*ZoeTimerSource)();
void ZoeSetTimerSource(ZoeTimerSource source);

// ---- Files ----------------------------------------------------------------

// Opens read-only, or read-write when `write` is nonzero; -1 on failure.
int32_t radopen(const char* name, uint32_t write);
void radclose(int32_t fd);
// Seeks from the start; returns the new offset or -1.
int64_t radseekbegin(int32_t fd, uint32_t offset);
// Seeks from the current position; returns the new offset or -1.
int64_t radseekcur(int32_t fd, int32_t offset);
// Reads up to `size` bytes; stores the count read in *count (when given) and
// returns it. Fewer than `size` only at the end of the file or on an error.
uint32_t radread(int32_t fd, void* buffer, uint32_t size, uint32_t* count);

// ---- Memory ---------------------------------------------------------------

typedef void* (*ZoeAllocFn)(uint32_t bytes);
typedef void (*ZoeFreeFn)(void* block);

// Installs the allocator that radmalloc asks first (null functions remove it).
void ZoeSetMemory(ZoeAllocFn allocate, ZoeFreeFn release);

// A 32-byte aligned block, or null for 0 bytes, for sizes that cannot carry
// the 64 bytes of bookkeeping, when the installed allocator answers all ones,
// or when malloc fails. An installed allocator answering null falls back to
// malloc.
void* radmalloc(uint32_t size);
void radfree(void* p);

// ---- Processor features ---------------------------------------------------

enum : uint32_t {
  ZOE_CPU_MMX = 1,
  ZOE_CPU_3DNOW = 2,
  ZOE_CPU_SSE = 4,
  ZOE_CPU_SSE2 = 8,
  ZOE_CPU_DETECTED = 0x80000000u,
};

extern uint32_t cpu_features_avail;
extern uint32_t cpu_features_to_use;

// Detects the features on the first call; then
// to_use = ((avail & enable) | to_use) & ~(avail & disable). Returns to_use.
uint32_t CPU_check(uint32_t enable, uint32_t disable);

// ---- Threads, mutexes, events ---------------------------------------------

struct PlatformHandle;
typedef PlatformHandle* ZoeHandle;
typedef uint32_t (*ZoeThreadProc)(void* argument);

enum : uint32_t {
  ZOE_INFINITE = 0xFFFFFFFFu,
  ZOE_WAIT_OBJECT_0 = 0,
  ZOE_WAIT_TIMEOUT = 258,
  ZOE_WAIT_NONE_FREE = 0x40000000u,
};

// A thread object that is not started yet (attributes, stack size and flags
// are not used; *id is set to 0); null when memory runs out.
ZoeHandle CreateThread(void* attributes, uint32_t stackSize, ZoeThreadProc start, void* argument,
                       uint32_t flags, uint32_t* id);
// Starts the thread unless it was started; returns 0.
uint32_t ResumeThread(ZoeHandle thread);
// Thread priorities are not changed on this platform; returns 1.
int32_t SetThreadPriority(ZoeHandle thread, int32_t priority);

// A recursive mutex, not held; null when memory runs out.
ZoeHandle CreateMutex();
// An auto-reset event, not signalled; null when memory runs out.
ZoeHandle CreateEvent();
// Signals the event; returns 1.
int32_t SetEvent(ZoeHandle event);
// Releases one level of the recursive lock; returns 1.
int32_t ReleaseMutex(ZoeHandle mutex);

// 0 when the thread ended, the mutex was acquired or the event's signal was
// consumed; 258 when the time ran out. ZOE_INFINITE waits for ever, 0 only
// tries. A started thread is waited for without a time limit.
uint32_t WaitForSingleObject(ZoeHandle object, uint32_t milliseconds);
// Tries the mutexes in order without waiting; the index of the first one
// acquired, or 0x40000000 when none was free.
uint32_t WaitForMultipleObjects(uint32_t count, const ZoeHandle* objects);
// Frees the object; a started thread nobody waited for is detached. Null is
// accepted. Returns 1.
int32_t CloseHandle(ZoeHandle object);
// Sleeps that many milliseconds; 0 yields.
void Sleep(uint32_t milliseconds);

// The absolute time `milliseconds` after `now`, nanoseconds carried into the
// seconds.
timespec ZoeDeadlineAfter(const timespec& now, uint32_t milliseconds);
