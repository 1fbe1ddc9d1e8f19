#include "ZoeMovieIO.h"

#include <cstddef>
#include <cstring>

#include "ZoePlatform.h"

namespace zoeio {

const uint32_t kNoOffset = 0xFFFFFFFFu;

uint32_t Load(const uint32_t* p) { return __atomic_load_n(p, __ATOMIC_ACQUIRE); }
void Add(uint32_t* p, uint32_t v) { __atomic_add_fetch(p, v, __ATOMIC_ACQ_REL); }
void Sub(uint32_t* p, uint32_t v) { __atomic_sub_fetch(p, v, __ATOMIC_ACQ_REL); }
void Store(uint32_t* p, uint32_t v) { __atomic_store_n(p, v, __ATOMIC_RELEASE); }
void SetTarget(MovieIO* io, uint32_t v) { __atomic_store_n(&io->targetFill, v, __ATOMIC_RELAXED); }

void Suspend(MovieIO* io) {
  if (io->suspendCallback) io->suspendCallback(io);
}

int32_t Resume(MovieIO* io) { return io->resumeCallback ? io->resumeCallback(io) : 0; }

uint8_t* Advance(MovieIO* io, uint8_t* p, uint32_t by) {
  uint32_t ring = (uint32_t)(io->ringEnd - io->ringStart);
  if (!ring) return p;
  uint32_t at = (uint32_t)(p - io->ringStart);
  return io->ringStart + (uint32_t)(((uint64_t)at + by) % ring);
}

void EmptyRing(MovieIO* io) {
  __atomic_store_n(&io->free, io->ringSize, __ATOMIC_RELEASE);
  __atomic_store_n(&io->filled, 0u, __ATOMIC_RELEASE);
  io->readPtr = io->writePtr = io->ringStart;
}

// Reading takes at least as long as the simulated data rate allows.
void Simulate(MovieIO* io, uint32_t bytes, uint32_t started) {
  if (!io->simulatedRate) return;
  int64_t owed = (int64_t)((uint64_t)bytes * 1000u / io->simulatedRate) + (int32_t)(started - ZoeTimerRead());
  int64_t debt = (int64_t)io->simulationDebt + owed;
  while (debt >= 1) {
    uint32_t from = ZoeTimerRead();
    Sleep((uint32_t)(debt > 0x7FFFFFFF ? 0x7FFFFFFF : debt));
    debt -= (int32_t)(ZoeTimerRead() - from);
  }
  io->simulationDebt = (int32_t)debt;
}

// Reads from the file's current position; a short read is final.
uint32_t FileRead(MovieIO* io, void* dest, uint32_t size) {
  uint32_t got = radread(io->file, dest, size, nullptr);
  if (got < size) zoeio::Store(&io->readError, 1);
  return got;
}

bool Seek(MovieIO* io, uint32_t offset) {
  if (radseekbegin(io->file, io->base + offset) < 0) {
    zoeio::Store(&io->readError, 1);
    return false;
  }
  io->filePos = offset;
  return true;
}

uint32_t ReadHeader(MovieIO* io, uint32_t offset, void* dest, uint32_t size) {
  Suspend(io);
  uint32_t got = 0;
  if (!Load(&io->readError)) {
    bool placed = true;
    if (offset != kNoOffset && offset != io->filePos) placed = Seek(io, offset);
    if (placed) {
      got = FileRead(io, dest, size);
      io->bytesRead += got;
      io->filePos += got;
      io->readPos = io->filePos;
      // The ring's data no longer follows the read position.
      EmptyRing(io);
      uint32_t left = io->fileSize > io->filePos ? io->fileSize - io->filePos : 0;
      SetTarget(io, left < io->ringSize ? left : io->ringSize);
    }
  }
  Resume(io);
  return got;
}

uint32_t BufferSize(MovieIO*, uint32_t wanted) {
  uint64_t rounded = ((uint64_t)wanted + ZOE_IO_BLOCK - 1) / ZOE_IO_BLOCK * ZOE_IO_BLOCK;
  if (rounded > 2u * ZOE_IO_BLOCK) {
    uint64_t size = rounded + 4096u;
    return size > 0xFFFFFFFFu ? 0xFFFFFFFFu / ZOE_IO_BLOCK * ZOE_IO_BLOCK : (uint32_t)size;
  }
  return 2u * ZOE_IO_BLOCK + 4096u;
}

int32_t SetInfo(MovieIO* io, void* buffer, uint32_t size, uint32_t fileSize, uint32_t simulatedRate) {
  Suspend(io);
  uint8_t* start = static_cast<uint8_t*>(buffer);
  uint32_t usable = 0;
  if (start) {
    uint32_t lead = (uint32_t)((4096u - ((uintptr_t)start & 4095u)) & 4095u);
    // Only whole blocks after the alignment fit into the buffer.
    usable = size > lead ? (size - lead) / ZOE_IO_BLOCK * ZOE_IO_BLOCK : 0;
    start += lead;
  }
  io->ringStart = start;
  io->ringEnd = start + usable;
  io->ringSize = usable;
  EmptyRing(io);
  io->fileSize = fileSize;
  io->simulatedRate = simulatedRate;
  return io->resumeCallback ? io->resumeCallback(io) : 0;
}

int32_t Idle(MovieIO* io) {
  if (Load(&io->readError) || Load(&io->suspended)) return 0;
  if (io->trySuspendCallback && !io->trySuspendCallback(io)) {
    if (io->idleCallbacks) io->idleCallbacks(io);
    return -1;
  }
  int32_t result = 0;
  uint32_t remaining = io->fileSize > io->filePos ? io->fileSize - io->filePos : 0;
  if (Load(&io->free) >= ZOE_IO_BLOCK && remaining && io->ringSize >= ZOE_IO_BLOCK) {
    uint32_t wasBusy = io->busy;
    uint32_t started = ZoeTimerRead();
    uint32_t chunk = remaining < ZOE_IO_BLOCK ? remaining : ZOE_IO_BLOCK;
    uint32_t skip = io->filePos % ZOE_IO_BLOCK;
    if (skip > chunk || chunk == remaining) skip = 0;
    io->reading = 1;
    uint32_t got = radread(io->file, io->writePtr + skip, chunk - skip, nullptr);
    io->reading = 0;
    if (got < chunk - skip) zoeio::Store(&io->readError, 1);
    if (got) {
      io->bytesRead += got;
      io->filePos += got;
      // The ring stays on the file's 128 KB grid: the data starts `skip`
      // bytes into its block.
      if (skip) io->readPtr = io->writePtr + skip;
      io->writePtr = Advance(io, io->writePtr, ZOE_IO_BLOCK);
      Sub(&io->free, got);
      Add(&io->filled, got);
      uint32_t filled = Load(&io->filled);
      if (filled > io->peakFill) io->peakFill = filled;
      Simulate(io, got, started);
      uint32_t spent = ZoeTimerRead() - started;
      io->readTime += spent;
      if (wasBusy || io->busy)
        io->idleBusyTime += spent;
      else
        io->idleTime += spent;
    }
    result = (int32_t)got;
  } else {
    SetTarget(io, Load(&io->filled));
  }
  Resume(io);
  return result;
}

// Copies what the ring holds, up to `size` bytes, into dest.
uint32_t TakeFromRing(MovieIO* io, uint8_t* dest, uint32_t size) {
  uint32_t filled = Load(&io->filled);
  uint32_t n = filled < size ? filled : size;
  if (!n) return 0;
  uint32_t toEnd = (uint32_t)(io->ringEnd - io->readPtr);
  uint32_t first = n < toEnd ? n : toEnd;
  memcpy(dest, io->readPtr, first);
  if (n > first) memcpy(dest + first, io->ringStart, n - first);
  io->readPtr = Advance(io, io->readPtr, n);
  io->readPos += n;
  Sub(&io->filled, n);
  Add(&io->free, n);
  return n;
}

uint32_t ReadFrame(MovieIO* io, uint32_t, uint32_t offset, void* destination, uint32_t size) {
  if (Load(&io->readError)) return 0;
  uint8_t* dest = static_cast<uint8_t*>(destination);
  uint32_t started = ZoeTimerRead();
  bool held = false;
  if (offset != kNoOffset && offset != io->readPos) {
    Suspend(io);
    held = true;
    uint32_t filled = Load(&io->filled);
    if (offset < io->readPos || offset > io->filePos || offset - io->readPos > filled) {
      if (Seek(io, offset)) {
        io->readPos = offset;
        EmptyRing(io);
      }
    } else {
      uint32_t skip = offset - io->readPos;
      io->readPos = offset;
      io->readPtr = Advance(io, io->readPtr, skip);
      Sub(&io->filled, skip);
      Add(&io->free, skip);
    }
  }
  uint32_t delivered = 0;
  if (!Load(&io->readError)) {
    for (;;) {
      delivered += TakeFromRing(io, dest + delivered, size - delivered);
      if (delivered == size || held) break;
      // The background read may have added data meanwhile.
      Suspend(io);
      held = true;
    }
    if (delivered < size && Load(&io->filled) == 0) {
      uint32_t from = ZoeTimerRead();
      uint32_t got = FileRead(io, dest + delivered, size - delivered);
      io->filePos += got;
      io->readPos += got;
      io->bytesRead += got;
      delivered += got;
      Simulate(io, got, from);
      io->readTime += ZoeTimerRead() - from;
    }
  }
  io->frameTime += ZoeTimerRead() - started;
  uint32_t left = io->fileSize > io->readPos ? io->fileSize - io->readPos : 0;
  uint32_t target = left < io->ringSize ? left : io->ringSize;
  uint32_t filled = Load(&io->filled);
  if ((uint64_t)target < (uint64_t)filled + ZOE_IO_BLOCK) target = filled;
  SetTarget(io, target);
  if (held) Resume(io);
  return delivered;
}

void Close(MovieIO* io) {
  Suspend(io);
  if (!io->notOwned && io->file >= 0) radclose(io->file);
  io->file = -1;
  Resume(io);
}

uint32_t BackgroundControl(MovieIO* io, uint32_t flags) {
  if (flags & ZOE_IO_SUSPEND) {
    Store(&io->suspended, 1);
    if (flags & ZOE_IO_AT_ONCE) {
      Suspend(io);
      Resume(io);
    }
  }
  if (flags & ZOE_IO_RESUME) {
    Store(&io->suspended, 0);
    if (flags & ZOE_IO_AT_ONCE) Idle(io);
  }
  return Load(&io->suspended);
}

MovieIO* FromNode(CallbackNode* node) {
  return reinterpret_cast<MovieIO*>(reinterpret_cast<uint8_t*>(node) - offsetof(MovieIO, readNode));
}

}  // namespace zoeio

int32_t ZoetFileOpen(MovieIO* io, const char* name, uint32_t flags) {
  memset(io, 0, sizeof(*io));
  io->file = -1;
  if (flags & OpenFileHandle) {
    io->file = (int32_t)(intptr_t)name;
    io->notOwned = 1;
    int64_t at = radseekcur(io->file, 0);
    io->base = at > 0 ? (uint32_t)at : 0;
  } else {
    io->file = radopen(name, 0);
    if (io->file < 0) io->file = radopen(name, 0);
    if (io->file < 0) return 0;
  }
  io->readHeader = &zoeio::ReadHeader;
  io->readFrame = &zoeio::ReadFrame;
  io->bufferSize = &zoeio::BufferSize;
  io->setInfo = &zoeio::SetInfo;
  io->idle = &zoeio::Idle;
  io->close = &zoeio::Close;
  io->backgroundControl = &zoeio::BackgroundControl;
  return 1;
}

int32_t ZoetIOBackgroundCheck(CallbackNode* node, uint32_t pass) {
  MovieIO* io = zoeio::FromNode(node);
  // A reader that will not read asks for nothing; otherwise the worker would
  // ask it again and again within one pass.
  if (zoeio::Load(&io->readError) || zoeio::Load(&io->suspended)) return 0;
  uint64_t percent =
      ((uint64_t)zoeio::Load(&io->filled) + 1u) * 100u / ((uint64_t)__atomic_load_n(&io->targetFill, __ATOMIC_RELAXED) + 1u);
  if (percent < 50) return -1 - (int32_t)percent;
  uint32_t last = __atomic_load_n(&io->lastPass, __ATOMIC_RELAXED);
  if (last == pass) return 0;
  return (int32_t)(0u - last - 0x80000000u);
}

void ZoetIOBackgroundRun(CallbackNode* node, uint32_t pass) {
  MovieIO* io = zoeio::FromNode(node);
  io->idle(io);
  __atomic_store_n(&io->lastPass, pass, __ATOMIC_RELAXED);
}

void ZoetIOSuspend(MovieIO* io) { ZOECB_suspend_callback(io->readHandler, &io->readNode); }

int32_t ZoetIOTrySuspend(MovieIO* io) { return ZOECB_try_to_suspend_callback(io->readHandler, &io->readNode); }

int32_t ZoetIOResume(MovieIO* io) {
  ZOECB_resume_callback(io->readHandler, &io->readNode);
  return 0;
}

void ZoetIOIdle(MovieIO*) { ZOECB_idle_on_callbacks(); }

void ZoetIOAttachBackground(MovieIO* io, CallbackHandler* handler) {
  if (!handler) return;
  io->readHandler = handler;
  ZOECB_register_callback(handler, &io->readNode, &ZoetIOBackgroundCheck, &ZoetIOBackgroundRun);
  io->suspendCallback = &ZoetIOSuspend;
  io->trySuspendCallback = &ZoetIOTrySuspend;
  io->resumeCallback = &ZoetIOResume;
  io->idleCallbacks = &ZoetIOIdle;
}

int32_t ZoetIODetachBackground(MovieIO* io, uint32_t flags) {
  if (!io->readHandler) return 0;
  int32_t freed = ZOECB_unregister_callback(io->readHandler, &io->readNode, flags);
  io->suspendCallback = nullptr;
  io->trySuspendCallback = nullptr;
  io->resumeCallback = nullptr;
  io->idleCallbacks = nullptr;
  io->readHandler = nullptr;
  return freed;
}
