// The movie file reader of the video library: a reader record whose
// operations the library calls by pointer. The library's own reader keeps a
// ring of 128 KB blocks, aligned with the file's 128 KB grid, filled ahead of
// the frame reads by a background callback.
#pragma once

#include <cstdint>

#include "ZoeCallback.h"


enum : uint32_t {
  ZOE_IO_BLOCK = 128 * 1024,
  // ZoetFileOpen takes its argument as an open descriptor, not a name.
  OpenFileHandle = 0x800000,
  // backgroundControl flags
  ZOE_IO_SUSPEND = 1,
  ZOE_IO_RESUME = 2,
  ZOE_IO_AT_ONCE = 0x80000000u,
};

struct MovieIO {
  // A direct read at a file offset (0xFFFFFFFF: where the last read ended).
  uint32_t (*readHeader)(MovieIO* io, uint32_t offset, void* dest, uint32_t size);
  // Bytes delivered from the ring or the file (the frame index is not used).
  uint32_t (*readFrame)(MovieIO* io, uint32_t frame, uint32_t offset, void* dest, uint32_t size);
  uint32_t (*bufferSize)(MovieIO* io, uint32_t wanted);
  int32_t (*setInfo)(MovieIO* io, void* buffer, uint32_t size, uint32_t fileSize, uint32_t simulatedRate);
  // One background read step: bytes read, 0 with nothing to do, -1 when the
  // background callback could not be held off.
  int32_t (*idle)(MovieIO* io);
  void (*close)(MovieIO* io);
  // Returns `suspended`.
  uint32_t (*backgroundControl)(MovieIO* io, uint32_t flags);

  uint32_t readError;  // read and written atomically, like `suspended`
  uint32_t reading;
  uint32_t bytesRead;
  uint32_t busy;
  uint32_t readTime;
  uint32_t frameTime;
  uint32_t idleTime;
  uint32_t idleBusyTime;
  uint32_t ringSize;
  uint32_t peakFill;
  uint32_t targetFill;
  uint32_t filled;  // changed by atomic additions
  uint32_t suspended;
  int32_t file;
  uint32_t filePos;
  uint32_t readPos;
  uint8_t* readPtr;
  uint32_t free;  // changed by atomic additions
  uint8_t* ringStart;
  uint8_t* ringEnd;
  uint8_t* writePtr;
  uint32_t notOwned;
  uint32_t base;
  uint32_t fileSize;
  uint32_t simulatedRate;
  int32_t simulationDebt;

  // Background-callback operations (any may be null).
  void (*suspendCallback)(MovieIO* io);
  int32_t (*trySuspendCallback)(MovieIO* io);
  int32_t (*resumeCallback)(MovieIO* io);
  void (*idleCallbacks)(MovieIO* io);
  // The read node and the handler it is registered with.
  CallbackNode readNode;
  CallbackHandler* readHandler;
  // The pass in which the read node last ran.
  uint32_t lastPass;
  // The movie that owns the reader.
  void* movie;
};

// Opens the named file (or, with OpenFileHandle, takes `name` as a descriptor
// cast to a pointer, remembering its current offset as the file's start) and
// installs the seven operations. 1 on success, 0 when the file cannot be
// opened.
int32_t ZoetFileOpen(MovieIO* io, const char* name, uint32_t flags);

// The read node's check and run for the background read handler.
int32_t ZoetIOBackgroundCheck(CallbackNode* node, uint32_t pass);
void ZoetIOBackgroundRun(CallbackNode* node, uint32_t pass);

// The background-callback operations over the read node.
void ZoetIOSuspend(MovieIO* io);
int32_t ZoetIOTrySuspend(MovieIO* io);
int32_t ZoetIOResume(MovieIO* io);
void ZoetIOIdle(MovieIO* io);

// Registers the reader's node with the read handler and gives the reader the
// four background-callback operations.
void ZoetIOAttachBackground(MovieIO* io, CallbackHandler* handler);
// Unregisters the node; the answer of ZOECB_unregister_callback.
int32_t ZoetIODetachBackground(MovieIO* io, uint32_t flags);
