// Decodes movie sound frames: the first byte picks the decoder (bit 0 cosine
// mode, bit 1 stereo, bits 2-3 the sample rate), the rest is frame after
// frame until the data runs out.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "NonTW/Zoet/ZoeAudio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const uint32_t rates[4] = {11025, 22050, 44100, 48000};
  uint32_t flags = data[0] & 1, channels = data[0] & 2 ? 2 : 1, rate = rates[(data[0] >> 2) & 3];
  ZoetAudioDecoder* d = ZoetAudioDecompressOpen(rate, channels, flags);
  if (!d) return 0;
  size_t n = size - 1;
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[n ? n : 1]);
  memcpy(bytes.get(), data + 1, n);
  const uint8_t* at = bytes.get();
  const uint8_t* end = bytes.get() + n;
  volatile int sum = 0;
  for (int f = 0; f < 16 && (f == 0 || at < end); f++) {
    int16_t* samples = nullptr;
    uint32_t count = 0;
    ZoetAudioDecompress(d, &samples, &count, at, end, &at);
    for (uint32_t i = 0; i < count / 2; i += 97) sum = sum + samples[i];
  }
  ZoetAudioDecompressClose(d);
  return 0;
}
