// The cost of the frame cycle around the decoder: one second of a 640 x 480
// movie with stereo sound played with ZoetDoFrame, ZoetCopyToBuffer (whole
// frames, 32-bit pixels) and ZoetNextFrame, against decoding and converting
// the same frames by calling ExpandZoet and YUV_blit directly.

#include <cstring>
#include <vector>

#include "BenchRatios.h"
#include "NonTW/Zoet/ZoeBlit.h"
#include "NonTW/Zoet/ZoeMovie.h"
#include "NonTW/Zoet/ZoePlatform.h"
#include "NonTW/Zoet/ZoeSound.h"
#include "ZoeSampleMovie.h"

namespace {

const uint32_t kWidth = 640, kHeight = 480, kFrames = 30;

// A clock that never moves: no frame is ever late, no copy dropped.
uint32_t StillClock() { return 5000; }

uint8_t g_sink[1 << 16];
int SinkCanTake(TrackSound*) { return 1; }
int SinkLock(TrackSound*, void** at, uint32_t* size) {
  *at = g_sink;
  *size = sizeof(g_sink);
  return 1;
}
void SinkSubmit(TrackSound*, uint32_t) {}
int SinkOpener(TrackSound* s, uint32_t, uint32_t, uint32_t, uint32_t, void*) {
  memset(s, 0, sizeof(*s));
  s->canTakeData = SinkCanTake;
  s->lockBuffer = SinkLock;
  s->submitBuffer = SinkSubmit;
  s->noBackground = 1;
  return 1;
}
SoundOutputOpener SinkStartup(uintptr_t) { return SinkOpener; }

struct Film {
  std::vector<uint32_t> image;
  Film() {
    zoeenc::SampleMovieSpec spec;
    spec.width = kWidth;
    spec.height = kHeight;
    spec.frames = kFrames;
    spec.quant = 4;
    spec.keyFrames = {1};
    zoeenc::SampleSound sound;
    sound.rate = 44100;
    sound.channels = 2;
    spec.sounds = {sound};
    const std::vector<uint8_t> bytes = zoeenc::MakeSampleMovie(spec);
    image.resize((bytes.size() + 3) / 4);
    memcpy(image.data(), bytes.data(), bytes.size());
    ZoeSetTimerSource(&StillClock);
    ZoetSetSoundSystem(SinkStartup, 0);
  }
};

const Film& TheFilm() {
  static Film film;
  return film;
}

void BM_PlayCycle(benchmark::State& state) {
  const Film& film = TheFilm();
  ZoetMovie* m = ZoetOpen(film.image.data(), OpenFromMemory);
  std::vector<uint8_t> pixels((size_t)kWidth * kHeight * 4);
  for (auto _ : state) {
    for (uint32_t f = 0; f < kFrames; f++) {
      ZoetDoFrame(m);
      ZoetCopyToBuffer(m, pixels.data(), kWidth * 4, kHeight, 0, 0, 0x80000003u);
      ZoetNextFrame(m);
    }
    benchmark::ClobberMemory();
  }
  if (m->openTrackCount != 1 || m->skippedCopies) state.SkipWithError("the film played without sound or dropped copies");
  ZoetClose(m);
}
BENCHMARK(BM_PlayCycle)->Unit(benchmark::kMillisecond);

// Baseline: the decoder and the converter on the same frames.
void BM_DecodeAndBlit(benchmark::State& state) {
  const Film& film = TheFilm();
  ZoetMovie* m = ZoetOpen(film.image.data(), OpenFromMemory);
  std::vector<const uint8_t*> video(kFrames);
  std::vector<uint32_t> bytes(kFrames), key(kFrames);
  for (uint32_t f = 0; f < kFrames; f++) {
    video[f] = ZoeFrameVideo(m, &bytes[f]);
    key[f] = ZoetIndexEntry(m, f) & 1;
    ZoeLoadFrame(m, f + 2 > kFrames ? 1 : f + 2);
  }
  std::vector<uint8_t> pixels((size_t)kWidth * kHeight * 4);
  for (auto _ : state) {
    for (uint32_t f = 0; f < kFrames; f++) {
      memset(m->changeMap, 0, m->changeMapSize);
      ExpandZoet(m->frameBuffers, m->changeMap, m->changeMapPitch, reinterpret_cast<const uint32_t*>(video[f]),
                 bytes[f], (int)key[f], m->bundles, m->openFlags, m->fileFlags);
      YUV_init(0x80000003u, 0);
      YUV_blit(pixels.data(), 0, 0, kWidth * 4, kHeight, &m->frameBuffers->frames[m->frameBuffers->frameNum & 1], 0,
               0, kWidth, kHeight, 0x80000003u);
    }
    benchmark::ClobberMemory();
  }
  ZoetClose(m);
}
BENCHMARK(BM_DecodeAndBlit)->Unit(benchmark::kMillisecond);

const std::vector<benchratios::Ratio> kRatios = {
    {"frame cycle vs decode and blit (target <= 1.5)", "BM_PlayCycle", "BM_DecodeAndBlit"},
};

}  // namespace

int main(int argc, char** argv) {
  benchratios::TimesReporter reporter;
  return benchratios::RunAndPrintRatios(argc, argv, kRatios, &reporter);
}
