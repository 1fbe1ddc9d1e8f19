// An open ".zoe" movie: the handle that ZoetOpen makes in one allocation with
// its buffers, its reader and its sound tracks, and the calls that open and
// close it and hand it frame buffers.
#pragma once

#include <cstdint>

#include "ZoeCallback.h"
#include "ZoeDecode.h"
#include "ZoeMovieIO.h"

struct TrackSound;

// Open flags (OpenFileHandle is the reader's, ZoeMovieIO.h).
enum : uint32_t {
  OpenNoFrameBuffers = 0x400,
  OpenFrameRate = 0x1000,
  OpenPreload = 0x2000,
  OpenSoundTracks = 0x4000,
  OpenNeverSkip = 0x80000,
  OpenAlpha = 0x100000,
  OpenNoInitialFill = 0x200000,
  OpenSimulate = 0x400000,
  OpenIOSize = 0x1000000,
  OpenCustomIO = 0x2000000,
  OpenFromMemory = 0x4000000,
  OpenNoBackgroundIO = 0x8000000,
  OpenScaleMask = 0x70000000,
};

// File flags.
enum : uint32_t {
  ZOE_FILE_GREY = 0x20000,
  ZOE_FILE_ALPHA = 0x100000,
};

enum : uint32_t { ZOE_TIMING_RINGS = 7 };

struct ZoetRect {
  int32_t left, top, width, height;
};

struct ZoetMovie {
  uint32_t width, height;
  uint32_t frameCount;
  uint32_t currentFrame;  // 1-based; all ones before the first frame is loaded
  uint32_t lastFrame;
  uint32_t frameRate, frameRateDiv;
  uint32_t readError;
  uint32_t openFlags;
  uint32_t fileFlags;
  uint32_t fileSize;  // file size minus 8
  ZoetRect rects[8];
  int32_t rectCount;
  FrameBufferSet* frameBuffers;
  uint8_t* changeMap;
  uint32_t changeMapPitch, changeMapSize;
  uint32_t largestFrameSize, indexFrames;
  int32_t trackCount;
  uint32_t peakSecondBytes, peakSecondFrame;
  int32_t paused;
  uint8_t* frameData;
  uint8_t* preloaded;
  uint32_t* frameIndex;  // indexFrames + 1 little-endian entries
  MovieIO* io;
  uint8_t* ioBuffer;
  uint32_t ioBufferSize;
  uint32_t decodeWidth, decodeHeight;
  int32_t* openTracks;
  // The file's three track tables, as little-endian words.
  uint32_t* trackMaxSizes;
  uint32_t* trackWords;
  int32_t* trackIds;

  // Playback state.
  uint32_t openTime;
  uint32_t twoFrameTime;
  uint32_t framesPerSecond;  // for the one-second statistics windows
  uint32_t timingRingSize;  // framesPerSecond entries, at most frame count + 1
  uint32_t* timingRings[ZOE_TIMING_RINGS];
  uint8_t* bundles[ZOE_BUNDLE_COUNT];
  uint32_t videoOn, soundOn;
  uint32_t frameBytes;  // bytes of the loaded frame
  uint32_t fromMemory;  // the file is the caller's memory image
  int32_t openTrackCount;
  TrackSound* tracks;
  CallbackNode soundNode;
  CallbackHandler* soundHandler;
  uint32_t allKeyFrames;
  void* frameBufferBlock;
  MovieIO reader;
};

// Opens a movie from a name, a descriptor (OpenFileHandle) or a memory image
// (OpenFromMemory); null with the reason in ZoetGetError.
ZoetMovie* ZoetOpen(const void* nameOrAddress, uint32_t flags);
// Frees everything the movie holds; null is ignored.
void ZoetClose(ZoetMovie* movie);
// Fills `set` with the frame buffers the movie needs (no buffers) and returns it.
FrameBufferSet* ZoetGetFrameBuffersInfo(ZoetMovie* movie, FrameBufferSet* set);
// Makes `set` the movie's frame buffers.
void ZoetRegisterFrameBuffers(ZoetMovie* movie, FrameBufferSet* set);
// The library's built-in logo movie (14848 bytes).
const void* ZoetLogoAddress();

enum : uint32_t { ZOE_LOGO_BYTES = 14848 };

// Frame index entry k in host order (bit 0: key frame).
uint32_t ZoetIndexEntry(const ZoetMovie* movie, uint32_t k);
// Makes frame `frame` (1-based) the loaded one: its bytes in frameData.
// 0 after a read error.
int32_t ZoeLoadFrame(ZoetMovie* movie, uint32_t frame);
