// Audio players at work: 32 players each play a looping one-second 48 kHz
// mono sample as content for 10 s of audio, the scheduler cycling them on the
// driver's 10 ms timer thread, OpenAL Soft mixing into its null output at
// 48 kHz. The figure is the process's CPU time (every thread) against the
// same 10 s of an idle runtime, of the same 32 loops played on bare driver
// tracks without players, and against the 10 s of audio itself.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "BenchRatios.h"
#include "NonTW/AudioDrv/AudioIAUD.h"
#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/CSample.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDSampleBank.h"
#include "TWUtil/ByteOrder.h"

namespace {

const double kAudioSeconds = 10.0;
const int kPlayers = 32;
const int kRate = 48000;

void PutChunkHeader(std::vector<uint8_t>& out, const char* id, uint32_t size) {
  out.insert(out.end(), id, id + 4);
  uint8_t b[4];
  PutLE32(b, size);
  out.insert(out.end(), b, b + 4);
}

void PutLong(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t b[4];
  PutLE32(b, v);
  out.insert(out.end(), b, b + 4);
}

// A sample bank file holding one second of a 16-bit mono tone.
std::string WriteToneBank(const std::string& dir) {
  std::vector<uint8_t> pcm((size_t)kRate * 2);
  for (int i = 0; i < kRate; ++i) {
    int16_t s = (int16_t)(i % 109 < 54 ? 8000 : -8000);
    pcm[2 * i] = (uint8_t)s;
    pcm[2 * i + 1] = (uint8_t)((uint16_t)s >> 8);
  }
  std::vector<uint8_t> list;
  list.insert(list.end(), {'s', 'a', 'm', 'p'});
  PutChunkHeader(list, "indx", 4);
  PutLong(list, 0);
  PutChunkHeader(list, "sinf", 20);
  PutLong(list, 0);
  PutLong(list, 1000);
  PutLong(list, (uint32_t)kRate);
  PutLong(list, (uint32_t)pcm.size());
  PutLong(list, 16);  // bits, then the stored word
  PutChunkHeader(list, "data", (uint32_t)pcm.size());
  list.insert(list.end(), pcm.begin(), pcm.end());
  std::vector<uint8_t> file;
  PutChunkHeader(file, "RIFF", (uint32_t)(4 + 8 + list.size()));
  file.insert(file.end(), {'i', 's', 'b', 'f'});
  PutChunkHeader(file, "LIST", (uint32_t)list.size());
  file.insert(file.end(), list.begin(), list.end());
  std::string path = dir + "/tone.isb";
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return std::string();
  fwrite(file.data(), 1, file.size(), f);
  fclose(f);
  return path;
}

std::string& BenchDir() {
  static std::string dir;
  return dir;
}

// The runtime open on the OpenAL driver for one benchmark.
struct BenchRuntime {
  IAUDRenderInterface* ri = nullptr;
  std::vector<CPlayer*> players;
  int bare = 0;

  // players < 0: as many loops straight on driver tracks, no players.
  explicit BenchRuntime(int players) {
    ri = RetrieveIAUDRenderInterface(nullptr, 64);
    if (!ri) return;
    new IAUDResourceManager(ri);
    if (players == 0) return;
    IAUDSampleBank* bank = new IAUDSampleBank();
    std::string path = WriteToneBank(BenchDir());
    if (FILE* f = fopen(path.c_str(), "rb")) {
      bank->ParseFile(f);
      if (bank->GetBankFileHandle() != f) fclose(f);
      bank->ProcessUnArchivedObject();
    }
    IAUDResourceManager::AddSampleBank(bank, 0);
    CSample* sample = bank->GetBankSample(0);
    if (players < 0 && sample) {
      std::vector<long> tracks;
      for (long t = 0; t < -players; ++t) {
        sample->AttachSample((int32_t)t);
        tracks.push_back(t);
      }
      ri->PlayTracks(tracks.data(), (long)tracks.size(), 1);
      bare = -players;
    }
    for (int i = 0; i < players && sample; ++i) {
      CPlayer* p = new CPlayer();
      p->SetMode(1);
      p->AttachPrimaryContent(sample);
      p->StartPlayer(-1, nullptr);  // loops for ever
      this->players.push_back(p);
    }
  }
  ~BenchRuntime() {
    if (!ri) return;
    if (bare) {
      std::vector<long> tracks;
      for (long t = 0; t < bare; ++t) tracks.push_back(t);
      ri->StopTracks(tracks.data(), bare);
    }
    IAUDResourceManager::ReleaseAll();
    delete m_papiResourceManager;
    m_papiResourceManager = nullptr;
    ri->ReleaseInterface();
  }
  bool AllPlaying() const {
    int playing = 0;
    for (CPlayer* p : players) {
      SPlayerStatus s;
      p->GetStatus(&s);
      if (s.nStatus == CPlayer::kPlaying) ++playing;
    }
    return playing == (int)players.size();
  }
};

void RunFor(benchmark::State& state, int players) {
  BenchRuntime runtime(players);
  if (!runtime.ri || (int)runtime.players.size() + runtime.bare != (players < 0 ? -players : players)) {
    state.SkipWithError("runtime");
    return;
  }
  for (auto _ : state) std::this_thread::sleep_for(std::chrono::duration<double>(kAudioSeconds));
  if (!runtime.AllPlaying()) state.SkipWithError("a player stopped");
}

void BM_IdleRuntime(benchmark::State& state) { RunFor(state, 0); }
BENCHMARK(BM_IdleRuntime)->Iterations(1)->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_LoopingTracks(benchmark::State& state) { RunFor(state, -kPlayers); }
BENCHMARK(BM_LoopingTracks)->Iterations(1)->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_LoopingPlayers(benchmark::State& state) { RunFor(state, kPlayers); }
BENCHMARK(BM_LoopingPlayers)->Iterations(1)->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMillisecond);

const char* kIdle = "BM_IdleRuntime/iterations:1/process_time/real_time";
const char* kTracks = "BM_LoopingTracks/iterations:1/process_time/real_time";
const char* kPlaying = "BM_LoopingPlayers/iterations:1/process_time/real_time";

const std::vector<benchratios::Ratio> kRatios = {
    {"32 looping players / idle runtime, 10 s each", kPlaying, kIdle},
    {"32 looping players / 32 bare looping tracks", kPlaying, kTracks},
};

}  // namespace

int main(int argc, char** argv) {
  // OpenAL Soft reads its configuration once: the null output at 48 kHz.
  char dir[] = "/tmp/audioplayerbench.XXXXXX";
  if (!mkdtemp(dir)) return 1;
  BenchDir() = dir;
  std::string conf = BenchDir() + "/alsoft.conf";
  if (FILE* f = fopen(conf.c_str(), "w")) {
    fprintf(f, "[general]\ndrivers = null\nchannels = stereo\nsample-type = int16\nfrequency = 48000\nhrtf = false\n");
    fclose(f);
  }
  setenv("ALSOFT_CONF", conf.c_str(), 1);
  benchratios::TimesReporter reporter;
  const int rc = benchratios::RunAndPrintRatios(argc, argv, kRatios, &reporter);
  double cpu = reporter.CpuSeconds(kPlaying);
  if (rc == 0 && cpu > 0) {
    double ratio = cpu / kAudioSeconds;
    printf("32 looping players: process cpu / audio time = %.4f (target <= 0.02 %s)\n", ratio,
           ratio <= 0.02 ? "met" : "MISSED");
  }
  remove((BenchDir() + "/tone.isb").c_str());
  remove(conf.c_str());
  rmdir(dir);
  return rc;
}
