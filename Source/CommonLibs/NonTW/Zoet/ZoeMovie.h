// An open ".zoe" movie: the handle that ZoetOpen makes in one allocation with
// its buffers, its reader and its sound tracks, and the calls that open and
// close it and hand it frame buffers.
#pragma once

#include <cstdint>

#include "ZoeCallback.h"
#include "ZoeDecode.h"
#include "ZoeMovieIO.h"

struct TrackSound;
struct ZoetAudioDecoder;

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
  uint32_t memoryTotal;  // bytes allocated for the movie
  uint32_t fileRate, fileRateDiv;

  // Frame cycle (ZoePlay.cpp).
  uint32_t playedFrames;
  uint32_t clockStart;  // 0: the clock is not running
  uint32_t clockStartFrame;
  uint32_t drift, driftStep, driftStepDecrease;  // 16.16 milliseconds
  uint32_t pauseElapsed;
  uint32_t lateCount;
  uint32_t copySkipped, skipNextCopy, skippedCopies;
  uint32_t lastDecodedFrame;
  uint32_t restartMark, restartPending, soundRestarts;
  uint32_t unchangedBlocks, maskThreshold;
  uint32_t lastCopyFlags;
  uint32_t soundNodePass;  // the pass in which the sound node last ran

  // Statistics (ZoeTrackAccess.cpp).
  uint32_t firstDecodeTime;  // 0 until the first frame is decoded
  uint32_t decodeStart, decodeEnd;
  uint32_t frameTimePending;  // a decoded frame whose time is not recorded yet
  uint32_t idleMark;          // 0: not outside the library
  uint32_t idleTotal, videoTime, audioTime;
  uint32_t slowTime[2], slowFrame[2];
  uint32_t ringPos;
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

// ---- The frame cycle --------------------------------------------------------

// 0 when the next frame should be shown now, 1 when the caller should wait.
int32_t ZoetWait(ZoetMovie* movie);
// Decodes the loaded frame's sound and picture; 1 after a read error.
int32_t ZoetDoFrame(ZoetMovie* movie);
// Loads the next frame; after the last one, frame 1.
void ZoetNextFrame(ZoetMovie* movie);
// 1 when the caller should not show the frame just decoded.
int32_t ZoetShouldSkip(ZoetMovie* movie);
// Converts the picture into the caller's pixels; 1 when the copy was dropped
// or made late. A negative pitch stores the rows bottom up.
int32_t ZoetCopyToBuffer(ZoetMovie* movie, void* dest, int32_t pitch, uint32_t destHeight, uint32_t destX,
                         uint32_t destY, uint32_t flags);
int32_t ZoetCopyToBufferRect(ZoetMovie* movie, void* dest, int32_t pitch, uint32_t destHeight, uint32_t destX,
                             uint32_t destY, uint32_t srcX, uint32_t srcY, uint32_t srcW, uint32_t srcH,
                             uint32_t flags);
// Changed rectangles of the last decoded frame (0 to 8) into movie->rects.
int32_t ZoetGetRects(ZoetMovie* movie, uint32_t flags);
// Makes `frame` (1-based) the loaded frame with a correct picture. Bit 0:
// start at the frame itself; bit 1: no sound pre-roll; both: load only.
void ZoetGoto(ZoetMovie* movie, uint32_t frame, uint32_t flags);
// Modes (flags & 0x7f): 0 the key frame before, 1 the next, 2 the nearest;
// without bit 7 a key frame answers itself. 0 when none.
uint32_t ZoetGetKeyFrame(ZoetMovie* movie, uint32_t frame, uint32_t flags);
int32_t ZoetPause(ZoetMovie* movie, int32_t pause);
// Hands waiting sound to the outputs.
int32_t ZoetService(ZoetMovie* movie);
int32_t ZoetSetVideoOnOff(ZoetMovie* movie, int32_t on);
int32_t ZoetSetSoundOnOff(ZoetMovie* movie, int32_t on);
int32_t ZoetControlBackgroundIO(ZoetMovie* movie, uint32_t flags);

// The movie's sound node for the background sound handler.
int32_t ZoeSoundNodeCheck(CallbackNode* node, uint32_t pass);
void ZoeSoundNodeRun(CallbackNode* node, uint32_t pass);

// Statistics kept by the frame cycle (ZoeTrackAccess.cpp): the time spent
// outside the library since the last mark, the time of the frame decoded
// last, and the one-second rings filled before each decode.
void ZoeAddIdleTime(ZoetMovie* movie, uint32_t now);
void ZoeRecordFrameTime(ZoetMovie* movie, uint32_t now);
void ZoePushTimingRings(ZoetMovie* movie, uint32_t decodeStart);

// ---- Sound tracks and statistics ---------------------------------------------

struct TrackDecoder {
  uint32_t rate, bits, channels;
  uint32_t maxBytes;  // the most one call of ZoetGetTrackData writes
  ZoetMovie* movie;
  ZoetAudioDecoder* decoder;
  uint32_t index;  // into the file's track table
};

uint32_t ZoetGetTrackType(ZoetMovie* movie, int32_t index);
uint32_t ZoetGetTrackMaxSize(ZoetMovie* movie, int32_t index);
int32_t ZoetGetTrackID(ZoetMovie* movie, int32_t index);
TrackDecoder* ZoetOpenTrack(ZoetMovie* movie, int32_t index);
void ZoetCloseTrack(TrackDecoder* track);
uint32_t ZoetGetTrackData(TrackDecoder* track, void* dest);
void ZoetSetVolume(ZoetMovie* movie, int32_t id, int32_t volume);
void ZoetSetPan(ZoetMovie* movie, int32_t id, int32_t pan);
void ZoetSetMixBins(ZoetMovie* movie, int32_t id, const uint32_t* bins, uint32_t count);
void ZoetSetMixBinVolumes(ZoetMovie* movie, int32_t id, const uint32_t* bins, const int32_t* volumes,
                          uint32_t count);

enum : uint32_t { ZOE_SUMMARY_WORDS = 31, ZOE_REALTIME_WORDS = 14 };
struct PlaybackSummary {
  uint32_t words[ZOE_SUMMARY_WORDS];
};
struct RealtimeStats {
  uint32_t words[ZOE_REALTIME_WORDS];
};
void ZoetGetSummary(ZoetMovie* movie, PlaybackSummary* summary);
void ZoetGetRealtime(ZoetMovie* movie, RealtimeStats* record, uint32_t frames);

// A track's packet in the loaded frame: its data and length (0 when the
// frame has none that fits). Walks the length words from the frame's start
// and never past its end.
const uint8_t* ZoeFramePacket(const ZoetMovie* movie, int32_t track, uint32_t* length);
// Where the loaded frame's video data starts and how long it is.
const uint8_t* ZoeFrameVideo(const ZoetMovie* movie, uint32_t* length);
