// mkzoe: makes a ".zoe" movie from numbered TGA pictures and sound tracks.
//   mkzoe [options] out.zoe picture.tga...
//     -r RATE[/DIVISOR]        frame rate (30/1)
//     -k N                     a key frame every N frames (0: the first only)
//     -q Q                     picture quantiser 0-15 (pictures are lossless without it)
//     -pad BYTES               pad the movie to this many bytes
//     -wav ID FILE             a sound track from a 8- or 16-bit PCM WAV file
//     -raw ID RATE CHANNELS FILE  a sound track of raw 16-bit little-endian PCM
//     -dct                     code the sound tracks with the cosine transform
//     -sq N                    finest band quantiser of the sound (0-95, default 0)
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "TWUtil/ByteOrder.h"
#include "ZoeAudioEncode.h"
#include "ZoeEncode.h"
#include "ZoeMovieWrite.h"

namespace {

bool ReadAll(const std::string& path, std::vector<uint8_t>* out) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  uint8_t buf[65536];
  size_t n;
  out->clear();
  while ((n = fread(buf, 1, sizeof(buf), f)) > 0) out->insert(out->end(), buf, buf + n);
  fclose(f);
  return true;
}

struct Picture {
  uint32_t width = 0, height = 0;
  bool grey = false;
  std::vector<uint8_t> rgba;  // top row first
};

// Uncompressed or run-length TGA, true colour (24/32 bits) or grey (8 bits).
bool ReadTga(const std::string& path, Picture* pic, std::string* why) {
  std::vector<uint8_t> b;
  if (!ReadAll(path, &b)) return *why = "cannot read", false;
  if (b.size() < 18) return *why = "too short", false;
  uint32_t type = b[2], bpp = b[16], desc = b[17];
  uint32_t w = GetLE16(&b[12]), h = GetLE16(&b[14]);
  bool rle = type == 10 || type == 11;
  bool grey = type == 3 || type == 11;
  if (b[1] != 0 || !(type == 2 || type == 3 || type == 10 || type == 11)) return *why = "unsupported TGA type", false;
  if ((grey && bpp != 8) || (!grey && bpp != 24 && bpp != 32)) return *why = "unsupported pixel size", false;
  if (w == 0 || h == 0) return *why = "empty picture", false;
  const uint32_t px = bpp / 8;
  size_t at = 18 + b[0];
  std::vector<uint8_t> raw((size_t)w * h * px);
  size_t got = 0;
  while (got < raw.size()) {
    uint32_t count = 1;
    bool repeat = false;
    if (rle) {
      if (at >= b.size()) return *why = "truncated", false;
      repeat = b[at] & 0x80;
      count = (b[at] & 0x7F) + 1u;
      at++;
    } else {
      count = (uint32_t)((raw.size() - got) / px);
    }
    if (got + (size_t)count * px > raw.size()) return *why = "run past the picture", false;
    size_t need = repeat ? px : (size_t)count * px;
    if (at + need > b.size()) return *why = "truncated", false;
    for (uint32_t i = 0; i < count; i++) memcpy(&raw[got + (size_t)i * px], &b[at + (repeat ? 0 : (size_t)i * px)], px);
    at += need;
    got += (size_t)count * px;
  }
  pic->width = w;
  pic->height = h;
  pic->grey = grey;
  pic->rgba.assign((size_t)w * h * 4, 255);
  bool topFirst = desc & 0x20;
  for (uint32_t y = 0; y < h; y++) {
    uint32_t srcRow = topFirst ? y : h - 1 - y;
    for (uint32_t x = 0; x < w; x++) {
      const uint8_t* s = &raw[((size_t)srcRow * w + x) * px];
      uint8_t* d = &pic->rgba[((size_t)y * w + x) * 4];
      if (grey) {
        d[0] = d[1] = d[2] = s[0];
      } else {
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
        if (px == 4) d[3] = s[3];
      }
    }
  }
  return true;
}

struct Sound {
  int32_t id = 0;
  uint32_t rate = 0, channels = 0;
  bool eightBit = false;
  std::vector<int16_t> samples;
};

bool ReadWav(const std::string& path, Sound* s, std::string* why) {
  std::vector<uint8_t> b;
  if (!ReadAll(path, &b)) return *why = "cannot read", false;
  if (b.size() < 12 || memcmp(b.data(), "RIFF", 4) || memcmp(&b[8], "WAVE", 4)) return *why = "not a WAV file", false;
  uint32_t bits = 0;
  bool fmt = false;
  for (size_t at = 12; at + 8 <= b.size();) {
    uint32_t size = GetLE32(&b[at + 4]);
    if (size > b.size() - at - 8) return *why = "truncated chunk", false;
    const uint8_t* c = &b[at + 8];
    if (!memcmp(&b[at], "fmt ", 4) && size >= 16) {
      if (GetLE16(c) != 1) return *why = "not PCM", false;
      s->channels = GetLE16(c + 2);
      s->rate = GetLE32(c + 4);
      bits = GetLE16(c + 14);
      fmt = true;
    } else if (!memcmp(&b[at], "data", 4)) {
      if (!fmt) return *why = "data before format", false;
      if (bits == 16) {
        for (uint32_t i = 0; i + 1 < size; i += 2) s->samples.push_back((int16_t)GetLE16(c + i));
      } else if (bits == 8) {
        for (uint32_t i = 0; i < size; i++) s->samples.push_back((int16_t)((c[i] - 128) * 256));
        s->eightBit = true;
      } else {
        return *why = "only 8- and 16-bit samples", false;
      }
      return true;
    }
    at += 8 + size + (size & 1);
  }
  return *why = "no data", false;
}

void Usage() {
  fprintf(stderr,
          "usage: mkzoe [-r RATE[/DIV]] [-k N] [-q Q] [-pad BYTES] [-wav ID FILE] [-raw ID RATE CHANNELS FILE]\n"
          "             [-dct] [-sq N] out.zoe picture.tga...\n");
}

uint8_t Clamp(double v) { return (uint8_t)(v < 0 ? 0 : v > 255 ? 255 : std::lround(v)); }

}  // namespace

int main(int argc, char** argv) {
  uint32_t rate = 30, divisor = 1, keyEvery = 0, pad = 0, soundQuant = 0;
  int quant = -1;
  bool dct = false;
  std::vector<Sound> sounds;
  std::vector<std::string> args;
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    auto need = [&](int n) {
      if (i + n >= argc) {
        Usage();
        exit(2);
      }
    };
    if (a == "-r") {
      need(1);
      if (sscanf(argv[++i], "%u/%u", &rate, &divisor) < 1) divisor = 0;
    } else if (a == "-k") {
      need(1);
      keyEvery = (uint32_t)atoi(argv[++i]);
    } else if (a == "-q") {
      need(1);
      quant = atoi(argv[++i]);
    } else if (a == "-pad") {
      need(1);
      pad = (uint32_t)strtoul(argv[++i], nullptr, 10);
    } else if (a == "-dct") {
      dct = true;
    } else if (a == "-sq") {
      need(1);
      soundQuant = (uint32_t)atoi(argv[++i]);
    } else if (a == "-wav") {
      need(2);
      Sound s;
      s.id = atoi(argv[++i]);
      std::string why;
      if (!ReadWav(argv[++i], &s, &why)) {
        fprintf(stderr, "mkzoe: %s: %s\n", argv[i], why.c_str());
        return 1;
      }
      sounds.push_back(s);
    } else if (a == "-raw") {
      need(4);
      Sound s;
      s.id = atoi(argv[++i]);
      s.rate = (uint32_t)atoi(argv[++i]);
      s.channels = (uint32_t)atoi(argv[++i]);
      std::vector<uint8_t> b;
      if (!ReadAll(argv[++i], &b)) {
        fprintf(stderr, "mkzoe: cannot read %s\n", argv[i]);
        return 1;
      }
      for (size_t k = 0; k + 1 < b.size(); k += 2) s.samples.push_back((int16_t)GetLE16(&b[k]));
      sounds.push_back(s);
    } else if (!a.empty() && a[0] == '-') {
      Usage();
      return 2;
    } else {
      args.push_back(a);
    }
  }
  if (args.size() < 2 || rate == 0 || divisor == 0 || quant > 15) {
    Usage();
    return 2;
  }
  for (const Sound& s : sounds)
    if ((s.channels != 1 && s.channels != 2) || s.rate == 0 || s.rate > 65535) {
      fprintf(stderr, "mkzoe: sound tracks must be mono or stereo at 1 to 65535 Hz\n");
      return 1;
    }

  std::vector<Picture> pictures(args.size() - 1);
  bool grey = true, alpha = false;
  for (size_t k = 0; k < pictures.size(); k++) {
    std::string why;
    if (!ReadTga(args[k + 1], &pictures[k], &why)) {
      fprintf(stderr, "mkzoe: %s: %s\n", args[k + 1].c_str(), why.c_str());
      return 1;
    }
    if (pictures[k].width != pictures[0].width || pictures[k].height != pictures[0].height) {
      fprintf(stderr, "mkzoe: %s: not the size of the first picture\n", args[k + 1].c_str());
      return 1;
    }
    grey = grey && pictures[k].grey;
    for (size_t p = 3; p < pictures[k].rgba.size(); p += 4) alpha = alpha || pictures[k].rgba[p] != 255;
  }
  const uint32_t w = pictures[0].width, h = pictures[0].height;
  if (w > 16384 || h > 16384) {
    fprintf(stderr, "mkzoe: pictures above 16384 pixels\n");
    return 1;
  }

  zoeenc::MovieDescription movie;
  movie.width = w;
  movie.height = h;
  movie.rate = rate;
  movie.divisor = divisor;
  movie.fileFlags = (grey ? 0x20000u : 0) | (alpha ? 0x100000u : 0);
  movie.padTo = pad;
  zoeenc::FrameEncoder enc(w, h, grey, alpha);
  const uint32_t lw = enc.lumaWidth, lh = enc.lumaHeight, cw = enc.chromaWidth, ch = enc.chromaHeight;
  for (size_t k = 0; k < pictures.size(); k++) {
    const Picture& p = pictures[k];
    std::vector<uint8_t> y((size_t)lw * lh), a((size_t)lw * lh), cr((size_t)cw * ch), cb((size_t)cw * ch);
    auto pixel = [&](uint32_t x, uint32_t yy) {
      return &p.rgba[((size_t)std::min(yy, h - 1) * w + std::min(x, w - 1)) * 4];
    };
    for (uint32_t j = 0; j < lh; j++)
      for (uint32_t i = 0; i < lw; i++) {
        const uint8_t* c = pixel(i, j);
        y[(size_t)j * lw + i] = Clamp(16 + (65.738 * c[0] + 129.057 * c[1] + 25.064 * c[2]) / 256);
        a[(size_t)j * lw + i] = c[3];
      }
    for (uint32_t j = 0; j < ch; j++)
      for (uint32_t i = 0; i < cw; i++) {
        double r = 0, g = 0, bl = 0;
        for (uint32_t d = 0; d < 4; d++) {
          const uint8_t* c = pixel(2 * i + (d & 1), 2 * j + (d >> 1));
          r += c[0] / 4.0;
          g += c[1] / 4.0;
          bl += c[2] / 4.0;
        }
        cr[(size_t)j * cw + i] = Clamp(128 + (112.439 * r - 94.154 * g - 18.285 * bl) / 256);
        cb[(size_t)j * cw + i] = Clamp(128 + (-37.945 * r - 74.494 * g + 112.439 * bl) / 256);
      }
    zoeenc::EncodeOptions o;
    o.keyFrame = k == 0 || (keyEvery && k % keyEvery == 0);
    o.lossless = quant < 0;
    o.quant = quant < 0 ? 0 : quant;
    movie.video.push_back(enc.Encode(y.data(), cr.data(), cb.data(), alpha ? a.data() : nullptr, o));
    movie.key.push_back(o.keyFrame);
  }

  for (const Sound& s : sounds) {
    zoeenc::AudioEncoder audio(s.rate, s.channels, dct ? 1u : 0u, soundQuant);
    uint32_t sampleFrames = (uint32_t)(s.samples.size() / s.channels);
    zoeenc::MovieTrack t;
    t.id = s.id;
    t.word = s.rate | (dct ? zoeenc::kTrackDct : zoeenc::kTrackFourier) | (s.channels == 2 ? (uint32_t)zoeenc::kTrackStereo : 0u) |
             (s.eightBit ? 0u : (uint32_t)zoeenc::kTrack16Bit);
    t.packets = zoeenc::PacketiseSound(audio.EncodeTrackFrames(s.samples.data(), sampleFrames), audio.FrameYield(),
                                       (uint64_t)sampleFrames * s.channels * 2, (uint32_t)pictures.size(),
                                       (uint64_t)s.rate * s.channels * 2, rate, divisor);
    movie.tracks.push_back(t);
  }

  std::vector<uint8_t> file = zoeenc::WriteMovie(movie);
  if (file.empty()) {
    fprintf(stderr, "mkzoe: the movie needs more than %u bytes\n", pad);
    return 1;
  }
  if (!zoeenc::WriteBytes(args[0], file)) {
    fprintf(stderr, "mkzoe: cannot write %s\n", args[0].c_str());
    return 1;
  }
  printf("%s: %zu frames, %zu tracks, %zu bytes\n", args[0].c_str(), pictures.size(), sounds.size(), file.size());
  return 0;
}
