#include "ZoePlatform.h"

#include <atomic>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

uint32_t cpu_features_avail = 0;
uint32_t cpu_features_to_use = 0;

namespace zoeplatform {

ZoeAllocFn s_allocate = nullptr;
ZoeFreeFn s_release = nullptr;

enum : uint32_t { KIND_THREAD = 0, KIND_MUTEX = 1, KIND_EVENT = 2 };
enum : uint8_t { BLOCK_MALLOC = 0, BLOCK_INSTALLED = 3 };

}  // namespace zoeplatform

struct PlatformHandle {
  uint32_t type;
  // Thread
  pthread_t thread;
  bool started;
  bool joined;
  ZoeThreadProc start;
  void* argument;
  // Mutex, and the lock of an event
  pthread_mutex_t mutex;
  // Event
  pthread_cond_t cond;
  bool signalled;
};

// ---- Timer ----------------------------------------------------------------

namespace zoeplatform {
std::atomic<ZoeTimerSource> s_timerSource{nullptr};
}

void ZoeSetTimerSource(ZoeTimerSource source) { zoeplatform::s_timerSource.store(source); }

uint32_t ZoeTimerRead() {
  if (ZoeTimerSource source = zoeplatform::s_timerSource.load()) return source();
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t ms = (uint64_t)ts.tv_sec * 1000u + (uint64_t)ts.tv_nsec / 1000000u;
  return (uint32_t)ms;
}

// ---- Files ----------------------------------------------------------------

int32_t radopen(const char* name, uint32_t write) {
  if (!name) return -1;
  int fd;
  do {
    fd = open(name, write ? O_RDWR : O_RDONLY);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

void radclose(int32_t fd) {
  if (fd >= 0) close(fd);
}

int64_t radseekbegin(int32_t fd, uint32_t offset) { return (int64_t)lseek(fd, (off_t)offset, SEEK_SET); }

int64_t radseekcur(int32_t fd, int32_t offset) { return (int64_t)lseek(fd, (off_t)offset, SEEK_CUR); }

uint32_t radread(int32_t fd, void* buffer, uint32_t size, uint32_t* count) {
  uint32_t done = 0;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  while (done < size) {
    ssize_t got = read(fd, out + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += (uint32_t)got;
  }
  if (count) *count = done;
  return done;
}

// ---- Memory ---------------------------------------------------------------

void ZoeSetMemory(ZoeAllocFn allocate, ZoeFreeFn release) {
  zoeplatform::s_allocate = allocate;
  zoeplatform::s_release = release;
}

void* radmalloc(uint32_t size) {
  // The 64 bytes of bookkeeping must not wrap the size into a tiny block.
  if (size == 0 || size > 0xFFFFFFFFu - 64u) return nullptr;
  uint8_t* raw = nullptr;
  uint8_t kind = zoeplatform::BLOCK_MALLOC;
  ZoeFreeFn release = zoeplatform::s_release;
  if (zoeplatform::s_allocate) {
    void* got = zoeplatform::s_allocate(size + 64u);
    if (got == reinterpret_cast<void*>(~(uintptr_t)0)) return nullptr;
    if (got) {
      raw = static_cast<uint8_t*>(got);
      kind = zoeplatform::BLOCK_INSTALLED;
    }
  }
  if (!raw) {
    raw = static_cast<uint8_t*>(malloc((size_t)size + 64u));
    if (!raw) return nullptr;
  }
  uint8_t* user = reinterpret_cast<uint8_t*>(((uintptr_t)raw + 64u) & ~(uintptr_t)31);
  user[-1] = (uint8_t)(user - raw);
  user[-2] = kind;
  if (kind == zoeplatform::BLOCK_INSTALLED) memcpy(user - 4 - sizeof(release), &release, sizeof(release));
  return user;
}

void radfree(void* p) {
  if (!p) return;
  uint8_t* user = static_cast<uint8_t*>(p);
  uint8_t* raw = user - user[-1];
  if (user[-2] == zoeplatform::BLOCK_INSTALLED) {
    ZoeFreeFn release;
    memcpy(&release, user - 4 - sizeof(release), sizeof(release));
    if (release) release(raw);
    return;
  }
  free(raw);
}

// ---- Processor features ---------------------------------------------------

namespace zoeplatform {

uint32_t DetectFeatures() {
  uint32_t bits = 0;
#if defined(__i386__) || defined(__x86_64__)
  unsigned a, b, c, d;
  // __get_cpuid answers 0 when the identification instruction or the
  // function is missing.
  if (!__get_cpuid(1, &a, &b, &c, &d)) return 0;
  if (!(d & (1u << 23))) return 0;
  bits |= ZOE_CPU_MMX;
  if (d & (1u << 25)) {
    bits |= ZOE_CPU_SSE;
    if (d & (1u << 26)) bits |= ZOE_CPU_SSE2;
  }
  if ((unsigned)__get_cpuid_max(0x80000000u, nullptr) > 0x80000000u) {
    __cpuid(0x80000001u, a, b, c, d);
    if (d & (1u << 31)) bits |= ZOE_CPU_3DNOW;
  }
#endif
  return bits;
}

}  // namespace zoeplatform

uint32_t CPU_check(uint32_t enable, uint32_t disable) {
  if (!cpu_features_avail) {
    cpu_features_avail = zoeplatform::DetectFeatures() | ZOE_CPU_DETECTED;
    cpu_features_to_use = cpu_features_avail;
  }
  cpu_features_to_use = ((cpu_features_avail & enable) | cpu_features_to_use) & ~(cpu_features_avail & disable);
  return cpu_features_to_use;
}

// ---- Threads, mutexes, events ---------------------------------------------

timespec ZoeDeadlineAfter(const timespec& now, uint32_t milliseconds) {
  timespec t;
  t.tv_sec = now.tv_sec + (time_t)(milliseconds / 1000u);
  long ns = now.tv_nsec + (long)(milliseconds % 1000u) * 1000000L;
  if (ns >= 1000000000L) {
    ns -= 1000000000L;
    t.tv_sec += 1;
  }
  t.tv_nsec = ns;
  return t;
}

namespace zoeplatform {

PlatformHandle* NewHandle(uint32_t type) {
  void* mem = radmalloc(sizeof(PlatformHandle));
  if (!mem) return nullptr;
  PlatformHandle* h = new (mem) PlatformHandle();
  h->type = type;
  return h;
}

// The thread gets its own copy of what it runs, so a thread object closed
// before the thread gets going is not touched by it.
struct ThreadStart {
  ZoeThreadProc start;
  void* argument;
};

void* ThreadTrampoline(void* p) {
  ThreadStart run = *static_cast<ThreadStart*>(p);
  free(p);
  run.start(run.argument);
  return nullptr;
}

timespec MonotonicDeadline(uint32_t milliseconds) {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return ZoeDeadlineAfter(now, milliseconds);
}

}  // namespace zoeplatform

ZoeHandle CreateThread(void*, uint32_t, ZoeThreadProc start, void* argument, uint32_t, uint32_t* id) {
  if (id) *id = 0;
  PlatformHandle* h = zoeplatform::NewHandle(zoeplatform::KIND_THREAD);
  if (!h) return nullptr;
  h->start = start;
  h->argument = argument;
  return h;
}

uint32_t ResumeThread(ZoeHandle thread) {
  if (thread && thread->type == zoeplatform::KIND_THREAD && !thread->started) {
    auto* run = static_cast<zoeplatform::ThreadStart*>(malloc(sizeof(zoeplatform::ThreadStart)));
    if (!run) return 0;
    run->start = thread->start;
    run->argument = thread->argument;
    if (pthread_create(&thread->thread, nullptr, &zoeplatform::ThreadTrampoline, run) == 0)
      thread->started = true;
    else
      free(run);
  }
  return 0;
}

int32_t SetThreadPriority(ZoeHandle, int32_t) { return 1; }

ZoeHandle CreateMutex() {
  PlatformHandle* h = zoeplatform::NewHandle(zoeplatform::KIND_MUTEX);
  if (!h) return nullptr;
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&h->mutex, &attr);
  pthread_mutexattr_destroy(&attr);
  return h;
}

ZoeHandle CreateEvent() {
  PlatformHandle* h = zoeplatform::NewHandle(zoeplatform::KIND_EVENT);
  if (!h) return nullptr;
  pthread_mutex_init(&h->mutex, nullptr);
  pthread_condattr_t attr;
  pthread_condattr_init(&attr);
  pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
  pthread_cond_init(&h->cond, &attr);
  pthread_condattr_destroy(&attr);
  h->signalled = false;
  return h;
}

int32_t SetEvent(ZoeHandle event) {
  if (event && event->type == zoeplatform::KIND_EVENT) {
    pthread_mutex_lock(&event->mutex);
    event->signalled = true;
    pthread_cond_signal(&event->cond);
    pthread_mutex_unlock(&event->mutex);
  }
  return 1;
}

int32_t ReleaseMutex(ZoeHandle mutex) {
  if (mutex && mutex->type == zoeplatform::KIND_MUTEX) pthread_mutex_unlock(&mutex->mutex);
  return 1;
}

uint32_t WaitForSingleObject(ZoeHandle object, uint32_t milliseconds) {
  if (!object) return ZOE_WAIT_OBJECT_0;
  switch (object->type) {
    case zoeplatform::KIND_THREAD:
      if (object->started && !object->joined) {
        pthread_join(object->thread, nullptr);
        object->joined = true;
      }
      return ZOE_WAIT_OBJECT_0;
    case zoeplatform::KIND_MUTEX: {
      int rc;
      if (milliseconds == 0) {
        rc = pthread_mutex_trylock(&object->mutex);
      } else if (milliseconds == ZOE_INFINITE) {
        rc = pthread_mutex_lock(&object->mutex);
      } else {
        timespec deadline = zoeplatform::MonotonicDeadline(milliseconds);
        do {
          rc = pthread_mutex_clocklock(&object->mutex, CLOCK_MONOTONIC, &deadline);
        } while (rc == EINTR);
      }
      return rc == 0 ? ZOE_WAIT_OBJECT_0 : ZOE_WAIT_TIMEOUT;
    }
    case zoeplatform::KIND_EVENT: {
      pthread_mutex_lock(&object->mutex);
      if (milliseconds == ZOE_INFINITE) {
        while (!object->signalled) pthread_cond_wait(&object->cond, &object->mutex);
      } else if (milliseconds != 0) {
        timespec deadline = zoeplatform::MonotonicDeadline(milliseconds);
        while (!object->signalled) {
          if (pthread_cond_timedwait(&object->cond, &object->mutex, &deadline) == ETIMEDOUT) break;
        }
      }
      bool got = object->signalled;
      object->signalled = false;
      pthread_mutex_unlock(&object->mutex);
      return got ? ZOE_WAIT_OBJECT_0 : ZOE_WAIT_TIMEOUT;
    }
  }
  return ZOE_WAIT_TIMEOUT;
}

uint32_t WaitForMultipleObjects(uint32_t count, const ZoeHandle* objects) {
  for (uint32_t i = 0; i < count; ++i) {
    ZoeHandle h = objects[i];
    if (h && h->type == zoeplatform::KIND_MUTEX && pthread_mutex_trylock(&h->mutex) == 0) return i;
  }
  return ZOE_WAIT_NONE_FREE;
}

int32_t CloseHandle(ZoeHandle object) {
  if (!object) return 1;
  switch (object->type) {
    case zoeplatform::KIND_THREAD:
      // Nobody waited for it: let it clean up after itself when it ends.
      if (object->started && !object->joined) pthread_detach(object->thread);
      break;
    case zoeplatform::KIND_MUTEX:
      pthread_mutex_destroy(&object->mutex);
      break;
    case zoeplatform::KIND_EVENT:
      pthread_cond_destroy(&object->cond);
      pthread_mutex_destroy(&object->mutex);
      break;
  }
  object->~PlatformHandle();
  radfree(object);
  return 1;
}

void Sleep(uint32_t milliseconds) {
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  timespec t;
  t.tv_sec = (time_t)(milliseconds / 1000u);
  t.tv_nsec = (long)(milliseconds % 1000u) * 1000000L;
  while (nanosleep(&t, &t) != 0 && errno == EINTR) {
  }
}
