// Opening movies: header checks, the error text and the one-shot settings.
#include "ZoeOpen.h"

#include <cstring>

#include "TWUtil/ByteOrder.h"

const char* const kZoeErrorOpening = "Error opening file.";
const char* const kZoeErrorNotZoet = "Not a Zoet file.";
const char* const kZoeErrorNoFrames = "The file doesn't contain any compressed frames yet.";
const char* const kZoeErrorHeader = "Error reading Zoet header.";
const char* const kZoeErrorMemory = "Out of memory.";

namespace zoeopen {

char s_error[256];

ZoeOpenSettings MakeDefaults() {
  ZoeOpenSettings s;
  memset(&s, 0, sizeof(s));
  s.trackCount = 1;
  s.frameRate = ZOE_SETTING_NONE;
  s.ioSize = ZOE_SETTING_NONE;
  s.simulate = ZOE_SETTING_NONE;
  return s;
}

ZoeOpenSettings s_settings = MakeDefaults();

}  // namespace zoeopen

char* ZoetGetError() { return zoeopen::s_error; }

void ZoetSetError(const char* text) {
  if (!text) text = "";
  size_t n = strnlen(text, sizeof(zoeopen::s_error) - 1);
  memcpy(zoeopen::s_error, text, n);
  zoeopen::s_error[n] = 0;
}

ZoeOpenSettings& ZoeSettings() { return zoeopen::s_settings; }

void ZoeResetSoundTracks() {
  zoeopen::s_settings.trackCount = 1;
  zoeopen::s_settings.trackIds[0] = 0;
}

uint32_t ZoetSetSoundTrack(uint32_t count, const int32_t* ids) {
  if (count > ZOE_MAX_SOUND_TRACKS) count = ZOE_MAX_SOUND_TRACKS;
  if (!ids) count = 0;
  for (uint32_t i = 0; i < count; i++) zoeopen::s_settings.trackIds[i] = ids[i];
  zoeopen::s_settings.trackCount = count;
  return count;
}

void ZoetSetFrameRate(uint32_t rate, uint32_t divisor) {
  zoeopen::s_settings.frameRate = rate;
  zoeopen::s_settings.frameRateDiv = divisor;
}

void ZoetSetIOSize(uint32_t size) { zoeopen::s_settings.ioSize = size; }
void ZoetSetSimulate(uint32_t rate) { zoeopen::s_settings.simulate = rate; }
void ZoetSetIO(ZoetIOOpen open) { zoeopen::s_settings.ioOpen = open; }
void ZoetSetMemory(ZoeAllocFn allocate, ZoeFreeFn release) { ZoeSetMemory(allocate, release); }

const char* ZoeParseHeader(const uint8_t b[ZOE_HEADER_BYTES], ZoeFileHeader* h) {
  if (memcmp(b, "ZOE", 3) != 0 || b[3] < 'f' || b[3] > 'i') return kZoeErrorNotZoet;
  h->letter = (char)b[3];
  h->sizeField = GetLE32(b + 4);
  h->frameCount = GetLE32(b + 8);
  h->largestFrame = GetLE32(b + 12);
  h->indexFrames = GetLE32(b + 16);
  h->width = GetLE32(b + 20);
  h->height = GetLE32(b + 24);
  h->rate = GetLE32(b + 28);
  h->divisor = GetLE32(b + 32);
  h->fileFlags = GetLE32(b + 36);
  h->trackCount = GetLE32(b + 40);
  if (h->frameCount == 0) return kZoeErrorNoFrames;
  if (h->divisor == 0 || h->width == 0 || h->height == 0 || h->width > ZOE_MAX_DIMENSION ||
      h->height > ZOE_MAX_DIMENSION)
    return kZoeErrorNotZoet;
  // The tables and the index must fit in the file.
  uint64_t fileBytes = (uint64_t)h->sizeField + 8;
  uint64_t tables = ZOE_HEADER_BYTES + 12ull * h->trackCount;
  if (tables > fileBytes) return kZoeErrorNotZoet;
  if (tables + 4ull * ((uint64_t)h->indexFrames + 1) > fileBytes) return kZoeErrorHeader;
  if (h->indexFrames < h->frameCount) return kZoeErrorHeader;
  return nullptr;
}

const char* ZoeCheckIndex(const ZoeFileHeader& h, const uint32_t* index) {
  uint64_t fileBytes = (uint64_t)h.sizeField + 8;
  uint64_t previous = ZOE_HEADER_BYTES + 12ull * h.trackCount + 4ull * ((uint64_t)h.indexFrames + 1);
  for (uint32_t k = 0; k <= h.frameCount; k++) {
    uint64_t at = index[k] & ~1u;
    if (at < previous || at > fileBytes) return kZoeErrorHeader;
    if (k > 0 && at - previous > h.largestFrame) return kZoeErrorHeader;
    previous = at;
  }
  return nullptr;
}
