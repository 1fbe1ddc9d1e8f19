// Fixtures of the sample tests: Ogg Vorbis tones encoded at run time with
// libvorbisenc, a plain libvorbisfile decode to compare against, and sample
// banks loaded from mkriff files.
#pragma once

#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "NonTW/IAUDEng/IAUDSampleBank.h"

namespace iaudtest {

// A sine tone of the given length as an Ogg Vorbis stream.
inline std::vector<uint8_t> EncodeVorbisTone(double seconds, int rate, int channels, double frequency = 440.0) {
  std::vector<uint8_t> out;
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, channels, rate, 0.4f) != 0) {
    vorbis_info_clear(&vi);
    return out;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 1);
  ogg_packet header, comment, code;
  vorbis_analysis_headerout(&vd, &vc, &header, &comment, &code);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &comment);
  ogg_stream_packetin(&os, &code);
  ogg_page og;
  auto put = [&](const ogg_page& page) {
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
  };
  while (ogg_stream_flush(&os, &og)) put(og);
  const long frames = (long)(seconds * rate);
  const long chunk = 1024;
  long done = 0;
  bool eos = false;
  while (!eos) {
    long n = frames - done < chunk ? frames - done : chunk;
    if (n > 0) {
      float** buffer = vorbis_analysis_buffer(&vd, (int)n);
      for (long i = 0; i < n; ++i)
        for (int c = 0; c < channels; ++c)
          buffer[c][i] = (float)(0.5 * std::sin(2.0 * M_PI * frequency * (double)(done + i) / rate + c));
      vorbis_analysis_wrote(&vd, (int)n);
      done += n;
    } else {
      vorbis_analysis_wrote(&vd, 0);
    }
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet op;
      while (vorbis_bitrate_flushpacket(&vd, &op)) {
        ogg_stream_packetin(&os, &op);
        while (ogg_stream_pageout(&os, &og)) {
          put(og);
          if (ogg_page_eos(&og)) eos = true;
        }
      }
    }
  }
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return out;
}

struct VorbisMemory {
  const std::vector<uint8_t>* data;
  size_t at;
};

inline size_t VorbisMemoryRead(void* dest, size_t size, size_t count, void* source) {
  VorbisMemory* m = static_cast<VorbisMemory*>(source);
  size_t n = size * count;
  if (n > m->data->size() - m->at) n = m->data->size() - m->at;
  memcpy(dest, m->data->data() + m->at, n);
  m->at += n;
  return n;
}

// The whole stream decoded by libvorbisfile as 16-bit little-endian PCM.
inline std::vector<uint8_t> DecodeVorbis(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> pcm;
  VorbisMemory m{&data, 0};
  ov_callbacks cb = {VorbisMemoryRead, nullptr, nullptr, nullptr};
  OggVorbis_File vf;
  if (ov_open_callbacks(&m, &vf, nullptr, 0, cb) != 0) return pcm;
  char buf[4096];
  int section = 0;
  long got;
  while ((got = ov_read(&vf, buf, sizeof(buf), 0, 2, 1, &section)) > 0) pcm.insert(pcm.end(), buf, buf + got);
  ov_clear(&vf);
  return pcm;
}

// Loads a sample bank as the loader does: parse, close the file unless the
// bank streams from it, complete.
inline IAUDSampleBank* LoadSampleBank(const std::string& path, uint32_t packetTime = 0, int32_t forcedPreload = 0) {
  IAUDSampleBank* bank = new IAUDSampleBank(packetTime, forcedPreload);
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return bank;
  bank->ParseFile(f);
  if (bank->GetBankFileHandle() != f) fclose(f);
  bank->ProcessUnArchivedObject();
  return bank;
}

inline void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return;
  if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

// 16-bit samples as the little-endian bytes of a sample's "data" chunk.
inline std::vector<uint8_t> PcmBytes(const std::vector<short>& samples) {
  std::vector<uint8_t> bytes(samples.size() * 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    bytes[2 * i] = (uint8_t)samples[i];
    bytes[2 * i + 1] = (uint8_t)((uint16_t)samples[i] >> 8);
  }
  return bytes;
}

}  // namespace iaudtest
