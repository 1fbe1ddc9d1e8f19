// Opening movies: the ".zoe" header and its checks, the error text and the
// one-shot settings that the next open consumes.
#pragma once

#include <cstdint>

#include "ZoePlatform.h"

struct MovieIO;

// A reader open function: (reader record, name, open flags) -> 1 on success.
typedef int32_t (*ZoetIOOpen)(MovieIO* io, const char* name, uint32_t flags);

// The error text of the last failed open (256 bytes, process-wide).
char* ZoetGetError();
// Copies at most 255 characters of text into the error text.
void ZoetSetError(const char* text);

// Settings for the next open that asks for them.
uint32_t ZoetSetSoundTrack(uint32_t count, const int32_t* ids);  // stores at most 32 ids
void ZoetSetFrameRate(uint32_t rate, uint32_t divisor);
void ZoetSetIOSize(uint32_t size);
void ZoetSetSimulate(uint32_t rate);
void ZoetSetIO(ZoetIOOpen open);
void ZoetSetMemory(ZoeAllocFn allocate, ZoeFreeFn release);

enum : uint32_t {
  ZOE_HEADER_BYTES = 44,
  ZOE_MAX_SOUND_TRACKS = 32,
  ZOE_MAX_DIMENSION = 16384,
  ZOE_SETTING_NONE = 0xFFFFFFFFu,
};

// The fixed part of a movie file's header.
struct ZoeFileHeader {
  char letter;  // 'f', 'g', 'h' or 'i'
  uint32_t sizeField;  // file size minus 8
  uint32_t frameCount;
  uint32_t largestFrame;
  uint32_t indexFrames;
  uint32_t width, height;
  uint32_t rate, divisor;
  uint32_t fileFlags;
  uint32_t trackCount;
};

extern const char* const kZoeErrorOpening;     // "Error opening file."
extern const char* const kZoeErrorNotZoet;     // "Not a Zoet file."
extern const char* const kZoeErrorNoFrames;    // "The file doesn't contain any compressed frames yet."
extern const char* const kZoeErrorHeader;      // "Error reading Zoet header."
extern const char* const kZoeErrorMemory;      // "Out of memory."

// Reads and checks the 44 header bytes: null when they describe a movie
// whose tables and index fit in the file, else the error text to report.
const char* ZoeParseHeader(const uint8_t bytes[ZOE_HEADER_BYTES], ZoeFileHeader* out);

// Checks the frame index (indexFrames + 1 entries, host order): every frame
// inside the file after the tables, in order, and none larger than the
// largest-frame field. Null when it holds, else the error text.
const char* ZoeCheckIndex(const ZoeFileHeader& h, const uint32_t* index);

// The settings as the next open sees them (for the opener).
struct ZoeOpenSettings {
  uint32_t trackCount;
  int32_t trackIds[ZOE_MAX_SOUND_TRACKS];
  uint32_t frameRate, frameRateDiv;  // frameRate ZOE_SETTING_NONE: none stored
  uint32_t ioSize;                   // ZOE_SETTING_NONE: none stored
  uint32_t simulate;                 // ZOE_SETTING_NONE: none stored
  ZoetIOOpen ioOpen;                 // null: none stored
};
ZoeOpenSettings& ZoeSettings();
// Back to one sound track, id 0.
void ZoeResetSoundTracks();
