// Plays a movie file image from memory through the frame cycle: every frame
// decoded and copied (whole, and as its changed rectangles), each sound track
// decoded on the caller's behalf, and one jump back, with an output that
// takes all the sound it is handed and a clock that moves on by itself.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "NonTW/Zoet/ZoeMovie.h"
#include "NonTW/Zoet/ZoeOpen.h"
#include "NonTW/Zoet/ZoePlatform.h"
#include "NonTW/Zoet/ZoeSound.h"
#include "TWUtil/ByteOrder.h"

namespace {

uint32_t g_zoeMovieFuzzNow = 1000;
uint32_t ZoeMovieFuzzClock() { return g_zoeMovieFuzzNow += 7; }

uint8_t g_zoeMovieFuzzBuffer[4096];
int ZoeMovieFuzzCanTake(TrackSound*) { return 1; }
int ZoeMovieFuzzLock(TrackSound*, void** at, uint32_t* size) {
  *at = g_zoeMovieFuzzBuffer;
  *size = sizeof(g_zoeMovieFuzzBuffer);
  return 1;
}
void ZoeMovieFuzzSubmit(TrackSound*, uint32_t bytes) {
  if (bytes > sizeof(g_zoeMovieFuzzBuffer)) __builtin_trap();
}
int ZoeMovieFuzzEnable(TrackSound*, int32_t on) { return on; }
int ZoeMovieFuzzOpener(TrackSound* s, uint32_t, uint32_t, uint32_t, uint32_t, void*) {
  memset(s, 0, sizeof(*s));
  s->canTakeData = ZoeMovieFuzzCanTake;
  s->lockBuffer = ZoeMovieFuzzLock;
  s->submitBuffer = ZoeMovieFuzzSubmit;
  s->setEnabled = ZoeMovieFuzzEnable;
  s->noBackground = 1;
  return 1;
}
SoundOutputOpener ZoeMovieFuzzStartup(uintptr_t) { return ZoeMovieFuzzOpener; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    ZoeSetTimerSource(&ZoeMovieFuzzClock);
    ZoetSetSoundSystem(ZoeMovieFuzzStartup, 0);
    ready = true;
  }
  if (size < ZOE_HEADER_BYTES || (uint64_t)GetLE32(data + 4) + 8 > size) return 0;
  // Pictures past a quarter of a million pixels would only slow the search.
  const uint64_t pixels = (uint64_t)GetLE32(data + 20) * GetLE32(data + 24);
  if (pixels > (1u << 18)) return 0;
  std::vector<uint32_t> image((size + 3) / 4);
  memcpy(image.data(), data, size);
  const int32_t ids[] = {0, 1, 2};
  ZoetSetSoundTrack(3, ids);
  ZoetMovie* m = ZoetOpen(image.data(), OpenFromMemory | OpenSoundTracks);
  if (!m) return 0;
  std::vector<uint8_t> pixelsOut((size_t)m->width * m->height * 4 + 64);
  std::vector<TrackDecoder*> tracks;
  for (int32_t t = 0; t < m->trackCount && t < 4; t++) tracks.push_back(ZoetOpenTrack(m, t));
  std::vector<uint8_t> sound;
  for (TrackDecoder* t : tracks)
    if (t && t->maxBytes + 64 > sound.size()) sound.resize(t->maxBytes + 64);
  const uint32_t frames = m->frameCount < 24 ? m->frameCount : 24;
  for (uint32_t f = 0; f < frames; f++) {
    ZoetWait(m);
    ZoetDoFrame(m);
    ZoetShouldSkip(m);
    ZoetCopyToBuffer(m, pixelsOut.data(), (int32_t)m->width * 4, m->height, 0, 0, f & 1 ? 3u : 0x80000003u);
    for (TrackDecoder* t : tracks)
      if (t && ZoetGetTrackData(t, sound.data()) > t->maxBytes) __builtin_trap();
    ZoetGetRects(m, 0);
    if (f == frames / 2) ZoetGoto(m, 1 + f / 2, 0);
    ZoetNextFrame(m);
  }
  for (TrackDecoder* t : tracks) ZoetCloseTrack(t);
  ZoetClose(m);
  return 0;
}
