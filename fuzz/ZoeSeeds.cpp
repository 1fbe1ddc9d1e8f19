// Writes the seed corpora of the video harnesses with the movie encoder:
//   zoe_seeds <corpus folder>

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ZoeAudioEncode.h"
#include "ZoeEncode.h"
#include "ZoeMovieWrite.h"
#include "ZoeSampleMovie.h"
#include "ZoeFuzzSupport.h"
#include "NonTW/Zoet/ZoeMovie.h"

namespace {

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

// Two frames of a small film: a gradient with a moving square.
std::vector<uint8_t> Film(uint32_t w, uint32_t h, uint8_t flags, bool lossless, int quant) {
  bool grey = flags & zoefuzz::kGrey, alpha = flags & zoefuzz::kFileAlpha;
  zoeenc::FrameEncoder enc(w, h, grey, alpha);
  std::vector<uint8_t> frames[2];
  for (int t = 0; t < 2; t++) {
    std::vector<uint8_t> y(enc.lumaWidth * enc.lumaHeight), c(enc.chromaWidth * enc.chromaHeight);
    for (uint32_t j = 0; j < enc.lumaHeight; j++)
      for (uint32_t i = 0; i < enc.lumaWidth; i++) {
        bool square = i >= 2u + 3 * t && i < 14u + 3 * t && j >= 4 && j < 16;
        y[j * enc.lumaWidth + i] = (uint8_t)(square ? 200 - (i * j) % 50 : 30 + i + 2 * j);
      }
    for (size_t i = 0; i < c.size(); i++) c[i] = (uint8_t)(100 + i % 13 + t);
    zoeenc::EncodeOptions o;
    o.keyFrame = t == 0;
    o.lossless = lossless;
    o.quant = quant;
    frames[t] = enc.Encode(y.data(), c.data(), c.data(), y.data(), o);
  }
  return zoefuzz::VideoInput(w, h, flags, frames[0], frames[1]);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: zoe_seeds <corpus folder>\n");
    return 2;
  }
  const std::string video = std::string(argv[1]) + "/zoe_video_fuzzer";
  const std::string bitplane = std::string(argv[1]) + "/zoe_bitplane_fuzzer";
  mkdir(argv[1], 0755);
  mkdir(video.c_str(), 0755);
  mkdir(bitplane.c_str(), 0755);
  bool ok = WriteFile(video + "/lossless.bin", Film(40, 24, zoefuzz::kKey, true, 0)) &&
            WriteFile(video + "/dct.bin", Film(32, 32, zoefuzz::kKey, false, 2)) &&
            WriteFile(video + "/grey.bin", Film(24, 16, zoefuzz::kGrey, true, 0)) &&
            WriteFile(video + "/alpha.bin",
                      Film(16, 16, zoefuzz::kFileAlpha | zoefuzz::kDecodeAlpha | zoefuzz::kSingleSet, false, 0));

  for (int s = 0; s < 4 && ok; s++) {
    zoeenc::BitWriter w;
    for (int b = 0; b < 3; b++) {
      int16_t block[64] = {};
      int8_t residue[64] = {};
      for (int i = 1; i < 64; i += 1 + s + b) block[i] = (int16_t)((i * 37 * (s + 1)) % 300 - 150);
      for (int i = 0; i < 64; i += 2 + b) residue[i] = (int8_t)((i * 11 + s) % 40 - 20);
      zoeenc::WriteBPLossless(w, block);
      zoeenc::WriteResidue(w, residue, 40 * s, nullptr);
      zoeenc::WriteResidue(w, residue, 40 * s, nullptr);
    }
    std::vector<uint8_t> bytes = w.Bytes();
    bytes.insert(bytes.begin(), (uint8_t)(40 * s));
    ok = WriteFile(bitplane + "/blocks" + std::to_string(s) + ".bin", bytes);
  }
  // Sound frames: a chord with a noise burst, one seed per decoder choice.
  const std::string audio = std::string(argv[1]) + "/zoe_audio_fuzzer";
  mkdir(audio.c_str(), 0755);
  static const uint32_t rates[4] = {11025, 22050, 44100, 48000};
  for (uint32_t choice = 0; choice < 16 && ok; choice += 3) {
    uint32_t flags = choice & 1, channels = choice & 2 ? 2 : 1, rate = rates[(choice >> 2) & 3];
    zoeenc::AudioEncoder enc(rate, channels, flags, choice);
    const uint32_t sampleFrames = enc.FrameLength() * 2;
    std::vector<int16_t> pcm(sampleFrames * channels);
    uint32_t seed = choice + 1;
    for (size_t i = 0; i < pcm.size(); i++) {
      seed = seed * 1103515245u + 12345u;
      int noise = i > pcm.size() / 2 && i < pcm.size() * 3 / 4 ? (int)(seed >> 20) - 2048 : 0;
      pcm[i] = (int16_t)((int)((i * 97 + (i / channels) * 31) % 4000) - 2000 + noise);
    }
    std::vector<uint8_t> bytes = enc.EncodeTrack(pcm.data(), sampleFrames, nullptr);
    bytes.insert(bytes.begin(), (uint8_t)choice);
    ok = WriteFile(audio + "/track" + std::to_string(choice) + ".bin", bytes);
  }
  // Movie files: pictures only, and pictures with two sound tracks.
  const std::string open = std::string(argv[1]) + "/zoe_open_fuzzer";
  mkdir(open.c_str(), 0755);
  for (int tracks = 0; tracks < 3 && ok; tracks += 2) {
    zoeenc::FrameEncoder enc(32, 16);
    zoeenc::MovieDescription m;
    m.width = 32;
    m.height = 16;
    m.rate = 10;
    std::vector<uint8_t> y(enc.lumaWidth * enc.lumaHeight), c(enc.chromaWidth * enc.chromaHeight, 128);
    for (int t = 0; t < 3; t++) {
      for (size_t i = 0; i < y.size(); i++) y[i] = (uint8_t)(i * 3 + t * 17);
      zoeenc::EncodeOptions o;
      o.keyFrame = t == 0;
      m.video.push_back(enc.Encode(y.data(), c.data(), c.data(), nullptr, o));
      m.key.push_back(o.keyFrame);
    }
    for (int t = 0; t < tracks; t++) {
      zoeenc::AudioEncoder audio(11025, 1, (uint32_t)t, 10);
      std::vector<int16_t> pcm(3300);
      for (size_t i = 0; i < pcm.size(); i++) pcm[i] = (int16_t)((i * 131) % 3000);
      zoeenc::MovieTrack track;
      track.id = t;
      track.word = 11025 | (t ? zoeenc::kTrackDct : zoeenc::kTrackFourier) | zoeenc::kTrack16Bit;
      track.packets = zoeenc::PacketiseSound(audio.EncodeTrackFrames(pcm.data(), 3300), audio.FrameYield(), 6600,
                                             3, 22050, 10, 1);
      m.tracks.push_back(track);
    }
    ok = WriteFile(open + "/movie" + std::to_string(tracks) + ".zoe", zoeenc::WriteMovie(m));
  }
  // Movies to play: a picture with a key frame inside, and sound tracks of
  // every kind (16 and 8 bits, mono and stereo, both codings).
  const std::string play = std::string(argv[1]) + "/zoe_movie_fuzzer";
  mkdir(play.c_str(), 0755);
  for (int kind = 0; kind < 3 && ok; kind++) {
    zoeenc::SampleMovieSpec spec;
    spec.width = 24 + 8 * kind;
    spec.height = 16;
    spec.frames = 6;
    spec.rate = 10;
    spec.keyFrames = {1, 4};
    zoeenc::SampleSound s;
    s.rate = 11025;
    s.channels = kind == 1 ? 2 : 1;
    s.eightBit = kind == 2;
    s.dct = kind == 1;
    if (kind > 0) spec.sounds.push_back(s);
    s.id = 1;
    s.dct = !s.dct;
    if (kind == 2) spec.sounds.push_back(s);
    ok = WriteFile(play + "/play" + std::to_string(kind) + ".zoe", zoeenc::MakeSampleMovie(spec));
  }
  // The library's own logo movie.
  const uint8_t* logo = static_cast<const uint8_t*>(ZoetLogoAddress());
  if (ok) ok = WriteFile(open + "/logo.zoe", std::vector<uint8_t>(logo, logo + ZOE_LOGO_BYTES));
  if (!ok) {
    fprintf(stderr, "zoe_seeds: cannot write the seeds into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
