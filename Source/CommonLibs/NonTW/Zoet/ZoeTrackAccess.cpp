// Sound-track access and playback statistics: the track tables, decoding a
// track's sound for the loaded frame on the caller's behalf, steering an open
// track's output, and the summary and real-time records.
#include <cstring>

#include "TWUtil/ByteOrder.h"
#include "ZoeAlloc.h"
#include "ZoeAudio.h"
#include "ZoeMovie.h"
#include "ZoeSound.h"

namespace zoetracks {

uint32_t TableWord(const void* table, int32_t index) {
  return GetLE32(static_cast<const uint8_t*>(table) + 4 * (size_t)index);
}

bool ValidIndex(const ZoetMovie* m, int32_t index) { return m && index >= 0 && index < m->trackCount; }

// The output of the first open track whose file track has the id.
TrackSound* OpenTrackWithId(ZoetMovie* m, int32_t id) {
  if (!m) return nullptr;
  for (int32_t i = 0; i < m->openTrackCount; i++)
    if ((int32_t)TableWord(m->trackIds, m->openTracks[i]) == id) return &m->tracks[i];
  return nullptr;
}

uint32_t Window(const ZoetMovie* m, uint32_t ring, uint32_t older) {
  return m->timingRings[ring][m->ringPos] - m->timingRings[ring][older];
}

}  // namespace zoetracks

using namespace zoetracks;

const uint8_t* ZoeFramePacket(const ZoetMovie* m, int32_t track, uint32_t* length) {
  *length = 0;
  if (!m || !m->frameData || track < 0 || track >= m->trackCount) return nullptr;
  const uint8_t* p = m->frameData;
  uint32_t left = m->frameBytes;
  for (int32_t t = 0;; t++) {
    if (left < 4) return nullptr;
    uint32_t bytes = GetLE32(p);
    p += 4;
    left -= 4;
    if (bytes > left) return nullptr;  // runs past the frame: not decoded
    if (t == track) {
      *length = bytes;
      return bytes ? p : nullptr;
    }
    p += bytes;
    left -= bytes;
  }
}

const uint8_t* ZoeFrameVideo(const ZoetMovie* m, uint32_t* length) {
  *length = 0;
  if (!m->frameData) return nullptr;
  const uint8_t* p = m->frameData;
  uint32_t left = m->frameBytes;
  for (int32_t t = 0; t < m->trackCount; t++) {
    if (left < 4) return p + left;
    uint32_t bytes = GetLE32(p);
    if (bytes > left - 4) return p + left;
    p += 4 + bytes;
    left -= 4 + bytes;
  }
  *length = left;
  return p;
}

void ZoeAddIdleTime(ZoetMovie* m, uint32_t now) {
  if (m->idleMark) m->idleTotal += now - m->idleMark;
  m->idleMark = now ? now : 1;
}

void ZoeRecordFrameTime(ZoetMovie* m, uint32_t now) {
  if (!m->frameTimePending) return;
  m->frameTimePending = 0;
  uint32_t t = now - m->decodeStart, frame = m->lastDecodedFrame;
  if (t > m->slowTime[0]) {
    m->slowTime[1] = m->slowTime[0];
    m->slowFrame[1] = m->slowFrame[0];
    m->slowTime[0] = t;
    m->slowFrame[0] = frame;
  } else if (t > m->slowTime[1]) {
    m->slowTime[1] = t;
    m->slowFrame[1] = frame;
  }
}

void ZoePushTimingRings(ZoetMovie* m, uint32_t decodeStart) {
  const uint32_t size = m->timingRingSize;
  if (!size) return;
  m->ringPos = m->ringPos ? m->ringPos - 1 : size - 1;
  const MovieIO* io = m->io;
  const uint32_t values[ZOE_TIMING_RINGS] = {decodeStart,
                                             m->videoTime,
                                             m->audioTime,
                                             m->idleTotal,
                                             io ? io->frameTime : 0,
                                             io ? io->idleTime : 0,
                                             io ? io->idleBusyTime : 0};
  for (uint32_t r = 0; r < ZOE_TIMING_RINGS; r++) m->timingRings[r][m->ringPos] = values[r];
}

uint32_t ZoetGetTrackType(ZoetMovie* m, int32_t index) {
  return ValidIndex(m, index) ? TableWord(m->trackWords, index) : 0;
}

uint32_t ZoetGetTrackMaxSize(ZoetMovie* m, int32_t index) {
  return ValidIndex(m, index) ? TableWord(m->trackMaxSizes, index) : 0;
}

int32_t ZoetGetTrackID(ZoetMovie* m, int32_t index) {
  return ValidIndex(m, index) ? (int32_t)TableWord(m->trackIds, index) : 0;
}

TrackDecoder* ZoetOpenTrack(ZoetMovie* m, int32_t index) {
  if (!ValidIndex(m, index)) return nullptr;
  const uint32_t word = TableWord(m->trackWords, index);
  uint32_t mode;
  if (word & (1u << 31))
    mode = 0;
  else if (word & (1u << 28))
    mode = ZOET_AUDIO_DCT;
  else
    return nullptr;
  const uint32_t rate = word & 0xFFFF, channels = (word & (1u << 29)) ? 2 : 1, bits = (word & (1u << 30)) ? 16 : 8;
  ZoetAudioDecoder* decoder = ZoetAudioDecompressOpen(rate, channels, mode);
  if (!decoder) return nullptr;
  const uint32_t bytes = popmalloctotal() + (uint32_t)((sizeof(TrackDecoder) + 31) & ~(size_t)31);
  TrackDecoder* t = static_cast<TrackDecoder*>(popmalloc(sizeof(TrackDecoder)));
  if (!t) {
    ZoetAudioDecompressClose(decoder);
    return nullptr;
  }
  m->memoryTotal += bytes;
  uint64_t most = ((uint64_t)TableWord(m->trackMaxSizes, index) + 3) & ~3ull;
  if (bits == 8) most /= 2;
  t->rate = rate;
  t->bits = bits;
  t->channels = channels;
  t->maxBytes = most > 0xFFFFFFFFu ? 0xFFFFFFFCu : (uint32_t)most;
  t->movie = m;
  t->decoder = decoder;
  t->index = (uint32_t)index;
  return t;
}

void ZoetCloseTrack(TrackDecoder* t) {
  if (!t) return;
  ZoetAudioDecompressClose(t->decoder);
  radfree(t);
}

uint32_t ZoetGetTrackData(TrackDecoder* t, void* dest) {
  if (!t || !dest || !t->movie) return 0;
  uint32_t length = 0;
  const uint8_t* packet = ZoeFramePacket(t->movie, (int32_t)t->index, &length);
  if (!packet || length < 4) return 0;
  uint32_t remaining = GetLE32(packet);
  // Never more than the record promises its caller.
  const uint64_t cap = t->bits == 8 ? 2ull * t->maxBytes : t->maxBytes;
  if (remaining > cap) remaining = (uint32_t)cap;
  const uint8_t* data = packet + 4;
  const uint8_t* limit = packet + length;
  uint8_t* out = static_cast<uint8_t*>(dest);
  uint32_t written = 0;
  while (remaining && data < limit) {
    int16_t* samples = nullptr;
    uint32_t bytes = 0;
    const uint8_t* end = data;
    ZoetAudioDecompress(t->decoder, &samples, &bytes, data, limit, &end);
    if (bytes > remaining) bytes = remaining;
    if (t->bits == 8) {
      const uint8_t* in = reinterpret_cast<const uint8_t*>(samples);
      for (uint32_t b = 0; b + 1 < bytes; b += 2) out[written++] = (uint8_t)(in[b + 1] + 128);
    } else {
      memcpy(out + written, samples, bytes);
      written += bytes;
    }
    remaining -= bytes;
    if (end <= data) break;
    data = end;
  }
  return written;
}

void ZoetSetVolume(ZoetMovie* m, int32_t id, int32_t volume) {
  TrackSound* s = OpenTrackWithId(m, id);
  if (s && s->setVolume) s->setVolume(s, volume);
}

void ZoetSetPan(ZoetMovie* m, int32_t id, int32_t pan) {
  TrackSound* s = OpenTrackWithId(m, id);
  if (s && s->setPan) s->setPan(s, pan);
}

void ZoetSetMixBins(ZoetMovie* m, int32_t id, const uint32_t* bins, uint32_t count) {
  TrackSound* s = OpenTrackWithId(m, id);
  if (s && s->setMixBins) s->setMixBins(s, bins, count);
}

void ZoetSetMixBinVolumes(ZoetMovie* m, int32_t id, const uint32_t* bins, const int32_t* volumes,
                          uint32_t count) {
  TrackSound* s = OpenTrackWithId(m, id);
  if (s && s->setMixBinVolumes) s->setMixBinVolumes(s, bins, volumes, count);
}

void ZoetGetSummary(ZoetMovie* m, PlaybackSummary* summary) {
  if (!m || !summary) return;
  const uint32_t now = ZoeTimerRead();
  ZoeAddIdleTime(m, now);
  ZoeRecordFrameTime(m, now);
  uint32_t* w = summary->words;
  memset(w, 0, sizeof(summary->words));
  const MovieIO* io = m->io;
  w[0] = m->width;
  w[1] = m->height;
  w[2] = m->firstDecodeTime ? now - m->firstDecodeTime : 0;
  w[3] = m->fileRate;
  w[4] = m->fileRateDiv;
  w[5] = m->frameRate;
  w[6] = m->frameRateDiv;
  w[7] = m->openTime;
  w[8] = m->frameCount;
  w[9] = m->playedFrames;
  w[11] = m->skippedCopies;
  w[12] = m->soundRestarts;
  w[13] = m->idleTotal;
  w[14] = io ? io->frameTime : 0;
  w[15] = m->videoTime;
  w[16] = m->audioTime;
  w[17] = io ? io->idleTime : 0;
  w[18] = io ? io->idleBusyTime : 0;
  w[19] = io ? (uint32_t)((uint64_t)io->bytesRead * 1000 / ((uint64_t)io->readTime + 1)) : 0;
  w[20] = m->slowTime[0];
  w[21] = m->slowTime[1];
  w[22] = m->slowFrame[0];
  w[23] = m->slowFrame[1];
  const uint32_t first = ZoetIndexEntry(m, 0) & ~1u;
  const uint64_t data = m->fileSize > first ? m->fileSize - first : 0;
  const uint64_t per = (uint64_t)m->frameCount * m->fileRateDiv;
  w[24] = per ? (uint32_t)(data * m->fileRate / per) : 0;
  w[25] = m->frameCount ? (uint32_t)(data / m->frameCount) : 0;
  w[26] = m->memoryTotal;
  w[27] = io ? io->ringSize : 0;
  w[28] = io ? io->peakFill : 0;
  w[29] = m->peakSecondBytes;
  w[30] = m->peakSecondFrame + 1;
}

void ZoetGetRealtime(ZoetMovie* m, RealtimeStats* record, uint32_t frames) {
  if (!m || !record) return;
  const uint32_t now = ZoeTimerRead();
  ZoeAddIdleTime(m, now);
  ZoeRecordFrameTime(m, now);
  const uint32_t size = m->timingRingSize ? m->timingRingSize : 1;
  uint32_t n = frames;
  if (n == 0 || n >= size) n = size - 1;
  if (m->currentFrame < n) n = m->currentFrame - 1;
  if (n == 0) n = 1;
  const uint32_t older = (uint32_t)(((uint64_t)m->ringPos + n) % size);
  uint32_t* w = record->words;
  memset(w, 0, sizeof(record->words));
  const MovieIO* io = m->io;
  w[0] = m->lastDecodedFrame;
  w[1] = m->frameRate;
  w[2] = m->frameRateDiv;
  w[3] = n;
  w[4] = Window(m, 0, older);
  if (!w[4]) w[4] = 1;
  w[5] = Window(m, 1, older);
  w[6] = Window(m, 2, older);
  w[7] = Window(m, 4, older);
  w[8] = Window(m, 5, older);
  w[9] = Window(m, 6, older);
  w[10] = Window(m, 3, older);
  w[11] = io ? io->targetFill : 0;
  w[12] = io ? __atomic_load_n(&io->filled, __ATOMIC_SEQ_CST) : 0;
  if (m->currentFrame >= 1 && m->currentFrame <= m->frameCount) {
    const uint32_t at = m->currentFrame - 1, back = at > n ? at - n : 0;
    const uint64_t bytes = (ZoetIndexEntry(m, at) & ~1u) - (ZoetIndexEntry(m, back) & ~1u);
    const uint64_t per = (uint64_t)n * m->fileRateDiv;
    w[13] = per ? (uint32_t)(bytes * m->fileRate / per) : 0;
  }
}
