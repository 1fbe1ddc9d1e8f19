// The frame cycle of an open movie: the playback clock and its lateness,
// decoding a frame's sound into the tracks' rings and its picture into the
// frame buffers, handing sound to the outputs, copying the picture out,
// random access, pausing and the on/off switches.
#include <cstddef>
#include <cstring>

#include "TWUtil/ByteOrder.h"
#include "ZoeAudio.h"
#include "ZoeBlit.h"
#include "ZoeMovie.h"
#include "ZoeSound.h"

namespace zoeplay {

bool FromImage(const ZoetMovie* m) { return m->preloaded != nullptr || m->fromMemory; }

uint32_t FramePeriod(const ZoetMovie* m) {
  return m->frameRate ? (uint32_t)(1000ull * m->frameRateDiv / m->frameRate) : 0;
}

void ClearDrift(ZoetMovie* m) { m->drift = m->driftStep = m->driftStepDecrease = 0; }

void StartClock(ZoetMovie* m, uint32_t now) {
  m->clockStart = now;
  m->clockStartFrame = m->playedFrames - 1;
  m->pauseElapsed = 0;
}

// The clock starts again with the next frame shown.
void RestartClock(ZoetMovie* m) {
  m->clockStart = 0;
  m->pauseElapsed = 0;
  ClearDrift(m);
}

// Milliseconds the movie is behind its clock (negative: ahead).
int32_t Lateness(const ZoetMovie* m, uint32_t now) {
  uint32_t speed = m->tracks && m->tracks[0].speed ? m->tracks[0].speed : 0x10000;
  uint32_t frames = m->playedFrames - m->clockStartFrame;
  uint32_t t = (uint32_t)((uint64_t)frames * 1000u * m->frameRateDiv / m->frameRate);
  t = (uint32_t)(((uint64_t)t * speed) >> 16);
  uint32_t drift = (uint32_t)(((uint64_t)m->drift + 0x7fff) >> 16);
  return (int32_t)(now - drift - m->clockStart - t);
}

void CatchUp(ZoetMovie* m, int32_t late, uint32_t now) {
  if (m->openTrackCount <= 0) {
    StartClock(m, now);
    return;
  }
  uint64_t drift = (uint64_t)m->drift + ((uint64_t)(uint32_t)late << 16);
  if (drift > 0x3e80000) {
    ClearDrift(m);
    return;
  }
  m->drift = (uint32_t)drift;
  m->driftStep = (uint32_t)(2ull * m->drift * m->frameRateDiv / ((uint64_t)m->frameRate + m->frameRateDiv));
  m->driftStepDecrease = (uint32_t)((uint64_t)m->driftStep * m->frameRateDiv / m->frameRate);
}

void ApplyDriftStep(ZoetMovie* m) {
  if (m->driftStep && m->driftStepDecrease < m->driftStep && m->driftStep < m->drift) {
    m->drift -= m->driftStep;
    m->driftStep -= m->driftStepDecrease;
  } else {
    ClearDrift(m);
  }
}

// Holds the movie's sound callback off; false when it is running right now.
bool TrySuspendSound(ZoetMovie* m) { return ZOECB_try_to_suspend_callback(m->soundHandler, &m->soundNode) != 0; }
void SuspendSound(ZoetMovie* m) { ZOECB_suspend_callback(m->soundHandler, &m->soundNode); }
void ResumeSound(ZoetMovie* m) { ZOECB_resume_callback(m->soundHandler, &m->soundNode); }

uint32_t AtomicAdd(uint32_t* word, uint32_t v) { return __atomic_add_fetch(word, v, __ATOMIC_SEQ_CST); }
uint32_t AtomicSub(uint32_t* word, uint32_t v) { return __atomic_sub_fetch(word, v, __ATOMIC_SEQ_CST); }
uint32_t AtomicLoad(const uint32_t* word) { return __atomic_load_n(word, __ATOMIC_SEQ_CST); }

uint8_t* RingAdvance(const TrackSound* s, uint8_t* at, uint32_t n) {
  uint32_t offset = (uint32_t)(at - s->ringStart);
  return s->ringStart + (uint32_t)(((uint64_t)offset + n) % s->ringSize);
}

// Puts decoded bytes at the write position; the oldest waiting bytes make
// room when the ring lacks it.
void RingPut(TrackSound* s, const uint8_t* src, uint32_t n) {
  if (!s->ringSize || !n) return;
  if (n > s->ringSize) {
    src += n - s->ringSize;
    n = s->ringSize;
  }
  uint32_t room = s->ringSize - AtomicLoad(&s->waiting);
  if (n > room) {
    uint32_t shortfall = n - room;
    s->readPos = RingAdvance(s, s->readPos, shortfall);
    AtomicSub(&s->waiting, shortfall);
  }
  uint32_t first = (uint32_t)(s->ringEnd - s->writePos);
  if (first > n) first = n;
  memcpy(s->writePos, src, first);
  if (n > first) memcpy(s->ringStart, src + first, n - first);
  s->writePos = RingAdvance(s, s->writePos, n);
  AtomicAdd(&s->waiting, n);
}

// Zero bytes in front of the read position up to the pre-buffer size; the
// milliseconds they last.
uint32_t SilenceFill(ZoetMovie* m, int32_t i) {
  TrackSound* s = &m->tracks[i];
  uint32_t waiting = AtomicLoad(&s->waiting);
  if (waiting >= s->preBufferSize || !s->ringSize) return 0;
  uint32_t n = s->preBufferSize - waiting;
  uint32_t offset = (uint32_t)(s->readPos - s->ringStart);
  offset = (uint32_t)(((uint64_t)offset + s->ringSize - n % s->ringSize) % s->ringSize);
  s->readPos = s->ringStart + offset;
  uint32_t first = s->ringSize - offset;
  if (first > n) first = n;
  memset(s->readPos, 0, first);
  if (n > first) memset(s->ringStart, 0, n - first);
  AtomicAdd(&s->waiting, n);
  uint32_t word = GetLE32((const uint8_t*)&m->trackWords[m->openTracks[i]]);
  uint64_t perSecond = (uint64_t)(word & 0xFFFF) * ((word & (1u << 30)) ? 16 : 8) * ((word & (1u << 29)) ? 2 : 1) / 8;
  return perSecond ? (uint32_t)(n * 1000ull / perSecond) : 0;
}

void EmptyRing(TrackSound* s) {
  s->readPos = s->writePos = s->ringStart;
  __atomic_store_n(&s->waiting, 0u, __ATOMIC_SEQ_CST);
}

// Hands one track's waiting sound to its output; true when any was handed.
bool ServiceTrack(ZoetMovie* m, TrackSound* s) {
  bool handed = false;
  while (s->canTakeData && s->canTakeData(s)) {
    uint32_t waiting = AtomicLoad(&s->waiting);
    bool buffering = m->currentFrame <= s->bufferingFrame;
    if (waiting <= s->holdBack && (buffering || !waiting)) break;
    void* to = nullptr;
    uint32_t size = 0;
    if (!s->lockBuffer || !s->lockBuffer(s, &to, &size) || !to) break;
    uint64_t amount = s->eightBit ? 2ull * size : size;
    if (amount > waiting) amount = waiting;
    if (buffering) amount &= s->eightBit ? (uint64_t)s->alignMask << 1 : s->alignMask;
    uint32_t n = (uint32_t)amount & ~1u;
    if (!n) break;
    uint8_t* out = static_cast<uint8_t*>(to);
    uint32_t first = (uint32_t)(s->ringEnd - s->readPos);
    if (first > n) first = n;
    if (s->eightBit) {
      // One byte per 16-bit sample: its high byte made unsigned.
      uint32_t k = 0;
      for (uint32_t b = 0; b < n; b += 2) {
        const uint8_t* at = b < first ? s->readPos + b : s->ringStart + (b - first);
        out[k++] = (uint8_t)(at[1] + 128);
      }
      if (s->submitBuffer) s->submitBuffer(s, n / 2);
    } else {
      memcpy(out, s->readPos, first);
      if (n > first) memcpy(out + first, s->ringStart, n - first);
      if (s->submitBuffer) s->submitBuffer(s, n);
    }
    s->readPos = RingAdvance(s, s->readPos, n);
    AtomicSub(&s->waiting, n);
    handed = true;
  }
  return handed;
}

int32_t Service(ZoetMovie* m) {
  if (m->openTrackCount <= 0) return 0;
  if (!m->tracks[m->openTrackCount - 1].canTakeData) return 0;
  if (!TrySuspendSound(m)) return 0;
  int32_t handed = 0;
  for (int32_t i = 0; i < m->openTrackCount; i++)
    if (ServiceTrack(m, &m->tracks[i])) handed = 1;
  ResumeSound(m);
  return handed;
}

uint32_t TopUpLimit(const ZoetMovie* m) {
  uint32_t target = m->io ? m->io->targetFill : 0;
  return m->peakSecondBytes < target ? m->peakSecondBytes : target;
}

// Runs one read step on this thread when the read buffer holds less than
// num/den of what playback needs.
void TopUp(ZoetMovie* m, uint32_t num, uint32_t den) {
  if (FromImage(m) || !m->io || AtomicLoad(&m->io->reading)) return;
  MovieIO* io = m->io;
  if ((uint64_t)AtomicLoad(&io->filled) * den >= (uint64_t)TopUpLimit(m) * num) return;
  if (!io->trySuspendCallback || io->trySuspendCallback(io)) {
    io->idle(io);
    if (io->resumeCallback) io->resumeCallback(io);
  } else if (!(m->openFlags & OpenNoBackgroundIO)) {
    ZOECB_idle_on_callbacks();
  }
}

// Loads frame n with the sound service around the read.
void LoadFrame(ZoetMovie* m, uint32_t n) {
  if (n == 0) n = 1;
  Service(m);
  if (!ZoeLoadFrame(m, n)) m->readError = 1;
  Service(m);
}

int32_t OpenIndex(const ZoetMovie* m, int32_t track) {
  for (int32_t i = 0; i < m->openTrackCount; i++)
    if (m->openTracks[i] == track) return i;
  return -1;
}

// Decodes one packet into the track's ring.
uint32_t DecodeSound(TrackSound* s, const uint8_t* packet, uint32_t length) {
  if (length < 4 || !s->decoder) return 0;
  uint32_t remaining = GetLE32(packet);
  const uint8_t* data = packet + 4;
  const uint8_t* limit = packet + length;
  uint32_t produced = 0;
  while (remaining && data < limit) {
    int16_t* samples = nullptr;
    uint32_t bytes = 0;
    const uint8_t* end = data;
    ZoetAudioDecompress(s->decoder, &samples, &bytes, data, limit, &end);
    if (bytes > remaining) bytes = remaining;
    RingPut(s, reinterpret_cast<const uint8_t*>(samples), bytes);
    remaining -= bytes;
    produced += bytes;
    if (end <= data) break;
    data = end;
  }
  return produced;
}

bool IsKey(const ZoetMovie* m, uint32_t frame) { return (ZoetIndexEntry(m, frame - 1) & 1) != 0; }

// Greedy split of changed-block rectangles (in blocks).
struct BlockRect {
  int32_t x0, y0, x1, y1;  // inclusive
};

bool BoundingBox(const ZoetMovie* m, BlockRect area, BlockRect* box) {
  int32_t top = -1, bottom = -1, left = 0x7fffffff, right = -1;
  for (int32_t y = area.y0; y <= area.y1; y++) {
    const uint8_t* row = m->changeMap + (size_t)y * m->changeMapPitch;
    for (int32_t x = area.x0; x <= area.x1; x++)
      if (row[x]) {
        if (top < 0) top = y;
        bottom = y;
        if (x < left) left = x;
        if (x > right) right = x;
      }
  }
  if (top < 0) return false;
  *box = {left, top, right, bottom};
  return true;
}

int64_t Area(const BlockRect& r) { return (int64_t)(r.x1 - r.x0 + 1) * (r.y1 - r.y0 + 1); }

struct SplitChoice {
  int64_t saving = 0;
  int halves = 0;
  BlockRect a{}, b{};
};

// Splits at half the width (rounded up) or half the height; each half shrinks
// to its bounding box. The width split wins ties.
SplitChoice BestSplit(const ZoetMovie* m, const BlockRect& r) {
  SplitChoice best;
  for (int pass = 0; pass < 2; pass++) {
    int32_t extent = pass == 0 ? r.x1 - r.x0 + 1 : r.y1 - r.y0 + 1;
    if (extent < 2) continue;
    int32_t half = (extent + 1) / 2;
    BlockRect p = r, q = r;
    if (pass == 0) {
      p.x1 = r.x0 + half - 1;
      q.x0 = r.x0 + half;
    } else {
      p.y1 = r.y0 + half - 1;
      q.y0 = r.y0 + half;
    }
    BlockRect pb{}, qb{};
    bool hp = BoundingBox(m, p, &pb), hq = BoundingBox(m, q, &qb);
    SplitChoice c;
    c.saving = Area(r) - (hp ? Area(pb) : 0) - (hq ? Area(qb) : 0);
    c.halves = 0;
    if (hp) c.a = pb, c.halves++;
    if (hq) (c.halves ? c.b : c.a) = qb, c.halves++;
    if (c.saving > best.saving) best = c;
  }
  return best;
}

}  // namespace zoeplay

using namespace zoeplay;

int32_t ZoetService(ZoetMovie* m) { return m ? Service(m) : 0; }

int32_t ZoeSoundNodeCheck(CallbackNode* node, uint32_t pass) {
  ZoetMovie* m = reinterpret_cast<ZoetMovie*>(reinterpret_cast<uint8_t*>(node) - offsetof(ZoetMovie, soundNode));
  return m->soundNodePass == pass ? 0 : (int32_t)~m->soundNodePass;
}

void ZoeSoundNodeRun(CallbackNode* node, uint32_t pass) {
  ZoetMovie* m = reinterpret_cast<ZoetMovie*>(reinterpret_cast<uint8_t*>(node) - offsetof(ZoetMovie, soundNode));
  if (m->openTrackCount > 0) Service(m);
  m->soundNodePass = pass;
}

int32_t ZoetWait(ZoetMovie* m) {
  if (!m || (m->playedFrames == 0 && !m->paused) || m->readError) return 0;
  uint32_t now = ZoeTimerRead();
  if (!m->clockStart) StartClock(m, now);
  if (m->openTrackCount > 0) Service(m);
  ZoeAddIdleTime(m, now);
  ZoeRecordFrameTime(m, now);
  if (!m->paused && (m->openTrackCount <= 0 || m->soundOn)) {
    if (!m->frameRate) return 0;
    int32_t late = Lateness(m, now);
    if (late >= 0) {
      if (late > (int32_t)m->twoFrameTime) CatchUp(m, late, now);
      return 0;
    }
  }
  if (FromImage(m) || !m->io) return 1;
  MovieIO* io = m->io;
  if (!(m->openFlags & OpenNoBackgroundIO) && 2ull * AtomicLoad(&io->filled) >= TopUpLimit(m)) return 1;
  if (!io->trySuspendCallback || io->trySuspendCallback(io)) {
    io->idle(io);
    if (io->resumeCallback) io->resumeCallback(io);
  }
  return 1;
}

int32_t ZoetDoFrame(ZoetMovie* m) {
  if (!m || m->lastDecodedFrame == m->currentFrame) return 0;
  ApplyDriftStep(m);
  if (m->restartPending) {
    m->restartPending = 0;
    if (m->soundOn) {
      ZoetSetSoundOnOff(m, 0);
      ZoetSetSoundOnOff(m, 1);
    }
    RestartClock(m);
  }
  if (m->paused) RestartClock(m);
  m->skipNextCopy = 0;
  if (m->io) m->io->busy = 1;
  uint32_t start = ZoeTimerRead();
  ZoeAddIdleTime(m, start);
  m->decodeStart = start;
  ZoePushTimingRings(m, start);
  if (m->playedFrames == 0 && !m->firstDecodeTime) {
    m->timingRings[0][m->ringPos] = start - FramePeriod(m);
    if (m->io) m->io->bytesRead = m->io->readTime = 0;
  } else if (m->openTrackCount > 0) {
    Service(m);
  }
  if (!m->firstDecodeTime) m->firstDecodeTime = start ? start : 1;
  if (m->io && AtomicLoad(&m->io->readError)) m->readError = 1;
  if (m->readError) {
    if (m->io) m->io->busy = 0;
    return 1;
  }

  // Sound: every open track's packet into its ring.
  bool suspended = false;
  for (int32_t t = 0; t < m->trackCount; t++) {
    int32_t i = OpenIndex(m, t);
    if (i < 0) continue;
    uint32_t length = 0;
    const uint8_t* packet = ZoeFramePacket(m, t, &length);
    if (!packet || !length) continue;
    if (!suspended) {
      SuspendSound(m);
      suspended = true;
    }
    DecodeSound(&m->tracks[i], packet, length);
  }
  if (suspended) ResumeSound(m);
  uint32_t afterSound = ZoeTimerRead();
  m->audioTime += afterSound - start;

  // Picture.
  if (m->videoOn && m->frameBuffers) {
    if (!m->copySkipped) memset(m->changeMap, 0, m->changeMapSize);
    TopUp(m, 3, 4);
    uint32_t videoBytes = 0;
    const uint8_t* video = ZoeFrameVideo(m, &videoBytes);
    m->unchangedBlocks =
        ExpandZoet(m->frameBuffers, m->changeMap, m->changeMapPitch, reinterpret_cast<const uint32_t*>(video),
                   videoBytes, IsKey(m, m->currentFrame) ? 1 : 0, m->bundles, m->openFlags, m->fileFlags);
  }
  uint32_t end = ZoeTimerRead();
  m->videoTime += end - afterSound;

  if (m->openTrackCount > 0) Service(m);
  m->rectCount = -1;
  m->playedFrames++;
  if (!m->clockStart) StartClock(m, end);
  m->frameTimePending = 1;
  m->decodeEnd = end;
  m->idleMark = end;
  if (m->io) m->io->busy = 0;
  m->lastDecodedFrame = m->lastFrame = m->currentFrame;
  return 0;
}

void ZoetNextFrame(ZoetMovie* m) {
  if (!m) return;
  m->skipNextCopy = 0;
  bool restart = false;
  for (int32_t i = 0; i < m->openTrackCount; i++) {
    TrackSound* s = &m->tracks[i];
    if (!s->starved) continue;
    s->starved = 0;
    if (m->currentFrame > 1 && s->bufferingFrame >= m->currentFrame) restart = true;
  }
  if (restart) {
    m->soundRestarts++;
    MovieIO* io = FromImage(m) ? nullptr : m->io;
    CallbackHandler* readHandler = io ? io->readHandler : nullptr;
    ZOECB_suspend_2_callbacks(m->soundHandler, &m->soundNode, readHandler, io ? &io->readNode : nullptr);
    ZoetSetSoundOnOff(m, 0);
    while (io && (uint64_t)AtomicLoad(&io->filled) * 32 < (uint64_t)io->targetFill * 29 && io->idle(io) > 0) {
    }
    RestartClock(m);
    ZoetSetSoundOnOff(m, 1);
    ZOECB_resume_callback(m->soundHandler, &m->soundNode);
    if (io) ZOECB_resume_callback(readHandler, &io->readNode);
  }
  if (m->io) m->io->busy = 1;
  Service(m);
  ZoeAddIdleTime(m, ZoeTimerRead());
  LoadFrame(m, m->currentFrame >= m->frameCount ? 1 : m->currentFrame + 1);
  if (m->io) m->io->busy = 0;
}

int32_t ZoetShouldSkip(ZoetMovie* m) {
  if (!m || m->paused || m->openTrackCount <= 0 || !m->soundOn || m->currentFrame >= m->frameCount ||
      !m->frameRate || !m->clockStart)
    return 0;
  uint32_t now = ZoeTimerRead();
  int32_t late = Lateness(m, now);
  if (late > (int32_t)m->twoFrameTime) {
    CatchUp(m, late, now);
    if (++m->lateCount <= 3) return 1;
    m->lateCount = 0;
    return 0;
  }
  m->lateCount = 0;
  return 0;
}

int32_t ZoetCopyToBuffer(ZoetMovie* m, void* dest, int32_t pitch, uint32_t destHeight, uint32_t destX,
                         uint32_t destY, uint32_t flags) {
  if (!m) return 0;
  return ZoetCopyToBufferRect(m, dest, pitch, destHeight, destX, destY, 0, 0, m->width, m->height, flags);
}

int32_t ZoetCopyToBufferRect(ZoetMovie* m, void* dest, int32_t pitch, uint32_t destHeight, uint32_t destX,
                             uint32_t destY, uint32_t srcX, uint32_t srcY, uint32_t srcW, uint32_t srcH,
                             uint32_t copyFlags) {
  if (!m || !dest || !m->frameBuffers || !m->width || !m->height) return 0;
  // Picture to decoded coordinates.
  uint64_t x = (uint64_t)srcX * m->decodeWidth / m->width, w = (uint64_t)srcW * m->decodeWidth / m->width;
  uint64_t y = (uint64_t)srcY * m->decodeHeight / m->height, h = (uint64_t)srcH * m->decodeHeight / m->height;
  if (x > m->decodeWidth) x = m->decodeWidth;
  if (y > m->decodeHeight) y = m->decodeHeight;
  if (w > m->decodeWidth - x) w = m->decodeWidth - x;
  if (h > m->decodeHeight - y) h = m->decodeHeight - y;
  if (!w || !h || m->skipNextCopy) return 0;

  uint32_t flags = copyFlags + (m->openFlags & 0x70030000u);
  if (m->io) m->io->busy = 1;
  const FramePlaneSet& planes = m->frameBuffers->frames[m->frameBuffers->frameNum & 1];
  const uint32_t hasAlpha = planes.A.buffer ? 1 : 0;
  if (!hasAlpha) flags &= ~0x800u;
  YUV_init(flags, hasAlpha);
  uint8_t* to = static_cast<uint8_t*>(dest);
  if (pitch < 0) {
    to -= (ptrdiff_t)pitch * ((ptrdiff_t)destHeight - destY - 1);
    destY = 0;
  }

  int32_t result = 0;
  if (m->openTrackCount > 0 && m->frameRate && !m->paused) {
    uint32_t now = ZoeTimerRead();
    if (!m->clockStart) StartClock(m, now);
    int32_t late = Lateness(m, now);
    if (late < 0) {
      m->copySkipped = 0;
    } else if (late <= (int32_t)m->twoFrameTime) {
      m->lateCount = 0;
      m->copySkipped = 0;
    } else if (++m->lateCount > 3) {
      m->lateCount = 0;  // made, late
      result = 1;
    } else {
      result = 1;
      if (!((copyFlags | m->openFlags) & OpenNeverSkip)) {
        m->skipNextCopy = 1;
        m->copySkipped = 1;
        m->skippedCopies++;
        if (m->io) m->io->busy = 0;
        return 1;
      }
    }
  }
  if (!(copyFlags & 0x200000)) TopUp(m, 3, 4);
  m->lastCopyFlags = flags;
  if (!(flags & CopyAllPixels) && m->unchangedBlocks >= m->maskThreshold)
    YUV_blit_mask(to, destX, destY, (uint32_t)pitch, destHeight, m->changeMap, m->changeMapPitch, &planes,
                  (uint32_t)x, (uint32_t)y, (uint32_t)w, (uint32_t)h, flags);
  else
    YUV_blit(to, destX, destY, (uint32_t)pitch, destHeight, &planes, (uint32_t)x, (uint32_t)y, (uint32_t)w,
             (uint32_t)h, flags);
  if (m->io) m->io->busy = 0;
  return result;
}

int32_t ZoetGetRects(ZoetMovie* m, uint32_t flags) {
  if (!m || (flags & 0x4000000)) return 0;
  if (!((flags | m->openFlags) & OpenNeverSkip) && m->skipNextCopy) return 0;
  if (m->rectCount != -1) return m->rectCount;
  m->rectCount = 0;
  if (!m->changeMap || !m->changeMapPitch) return 0;
  // The map covers the decoded picture.
  int32_t cols = (int32_t)((m->decodeWidth + 15) / 16), rows = (int32_t)((m->decodeHeight + 15) / 16);
  if (cols > (int32_t)m->changeMapPitch) cols = (int32_t)m->changeMapPitch;
  if ((uint64_t)rows * m->changeMapPitch > m->changeMapSize) rows = (int32_t)(m->changeMapSize / m->changeMapPitch);
  BlockRect all{0, 0, cols - 1, rows - 1}, box{};
  if (cols <= 0 || rows <= 0 || !BoundingBox(m, all, &box)) return 0;
  BlockRect found[8];
  int count = 1;
  found[0] = box;
  if (!(flags & 0x8000000)) {
    SplitChoice choice[8];
    choice[0] = BestSplit(m, found[0]);
    while (count < 8) {
      int best = -1;
      for (int i = 0; i < count; i++)
        if (choice[i].saving > 0 && (best < 0 || choice[i].saving > choice[best].saving)) best = i;
      if (best < 0) break;
      SplitChoice c = choice[best];
      found[best] = c.a;
      choice[best] = BestSplit(m, c.a);
      if (c.halves == 2) {
        found[count] = c.b;
        choice[count] = BestSplit(m, c.b);
        count++;
      }
    }
  }
  // Top then left.
  for (int i = 1; i < count; i++)
    for (int j = i; j > 0; j--) {
      const BlockRect &p = found[j - 1], &q = found[j];
      if (q.y0 < p.y0 || (q.y0 == p.y0 && q.x0 < p.x0)) {
        BlockRect t = found[j];
        found[j] = found[j - 1];
        found[j - 1] = t;
      }
    }
  uint32_t mode = m->lastCopyFlags & CopyScaleMode;
  int32_t sx = (mode == ScaleWidth2x || mode == ScaleBoth2x || mode == ScaleWidth2xInterlaced) ? 2 : 1;
  int32_t sy = (mode == ScaleHeight2x || mode == ScaleHeight2xInterlaced || mode == ScaleBoth2x ||
                mode == ScaleWidth2xInterlaced)
                   ? 2
                   : 1;
  int32_t out = 0;
  for (int i = 0; i < count; i++) {
    int64_t left = (int64_t)found[i].x0 * 16 * sx, top = (int64_t)found[i].y0 * 16 * sy;
    int64_t right = (int64_t)(found[i].x1 + 1) * 16 * sx, bottom = (int64_t)(found[i].y1 + 1) * 16 * sy;
    if (right > m->width) right = m->width;
    if (bottom > m->height) bottom = m->height;
    if (left >= right || top >= bottom) continue;
    m->rects[out++] = {(int32_t)left, (int32_t)top, (int32_t)(right - left), (int32_t)(bottom - top)};
  }
  m->rectCount = out;
  return out;
}

uint32_t ZoetGetKeyFrame(ZoetMovie* m, uint32_t frame, uint32_t flags) {
  if (!m || !m->frameCount) return 0;
  if (frame < 1) frame = 1;
  if (frame > m->frameCount) frame = m->frameCount;
  if (!(flags & 0x80) && IsKey(m, frame)) return frame;
  switch (flags & 0x7f) {
    case 0:
      if (frame == 1) return 0;
      for (uint32_t f = frame - 1; f > 1; f--)
        if (IsKey(m, f)) return f;
      return 1;
    case 1:
      for (uint32_t f = frame + 1; f <= m->frameCount; f++)
        if (IsKey(m, f)) return f;
      return 0;
    case 2:
      for (uint32_t d = 1; d < m->frameCount; d++) {
        if (d < frame && IsKey(m, frame - d)) return frame - d;
        if ((uint64_t)frame + d <= m->frameCount && IsKey(m, frame + d)) return frame + d;
      }
      return 0;
    default:
      return 0;
  }
}

void ZoetGoto(ZoetMovie* m, uint32_t frame, uint32_t flags) {
  if (!m || !m->frameCount) return;
  uint32_t a = frame ? frame : 1;
  if (a > m->frameCount) a = m->frameCount;
  if (m->io) m->io->busy = 1;
  uint32_t b = a;
  if (!(flags & 2) && m->openTrackCount > 0 && m->frameRateDiv) {
    uint32_t second = (uint32_t)(((uint64_t)m->frameRate + m->frameRateDiv - 1) / m->frameRateDiv);
    b = a > second ? a - second : 1;
  }
  if (m->currentFrame == a && !m->readError) {
    if (m->io) m->io->busy = 0;
    return;
  }
  if ((flags & 3) == 3) {
    LoadFrame(m, a);
    if (m->io) m->io->busy = 0;
    return;
  }
  uint32_t c = (flags & 1) ? a : ZoetGetKeyFrame(m, a, 0);
  if (c == 0) c = 1;
  const uint32_t videoWasOn = m->videoOn;
  bool videoOff = false;
  if (b < c) {
    if (m->videoOn) videoOff = true;
    m->videoOn = 0;
  } else {
    b = c;
  }
  bool loadedInRange = m->currentFrame >= b && m->currentFrame <= a && m->currentFrame <= m->frameCount;
  if (!loadedInRange) LoadFrame(m, b);
  if (m->currentFrame != a && !m->readError) {
    SuspendSound(m);
    const uint32_t soundWasOn = m->soundOn;
    if (soundWasOn) ZoetSetSoundOnOff(m, 0);
    if (m->lastDecodedFrame != m->currentFrame) {
      if (m->currentFrame == c && videoOff) m->videoOn = videoWasOn;
      ZoetDoFrame(m);
    }
    while (m->currentFrame != a && !m->readError) {
      m->copySkipped = 1;
      ZoetNextFrame(m);
      if (m->currentFrame == c && videoOff) m->videoOn = videoWasOn;
      if (m->currentFrame == a) break;
      ZoetDoFrame(m);
    }
    RestartClock(m);
    if (videoOff && !m->videoOn) m->videoOn = videoWasOn;
    ResumeSound(m);
    if (soundWasOn) ZoetSetSoundOnOff(m, 1);
  } else if (videoOff) {
    m->videoOn = videoWasOn;
  }
  if (m->io) m->io->busy = 0;
}

int32_t ZoetPause(ZoetMovie* m, int32_t pause) {
  if (!m) return 0;
  uint32_t now = ZoeTimerRead();
  ZoeAddIdleTime(m, now);
  ZoeRecordFrameTime(m, now);
  const bool resuming = !pause && m->paused;
  if (pause && !m->paused) m->pauseElapsed = m->clockStart ? now - m->clockStart : 0;
  m->paused = pause ? 1 : 0;
  SuspendSound(m);
  for (int32_t i = 0; i < m->openTrackCount; i++)
    if (m->tracks[i].setPaused) m->tracks[i].setPaused(&m->tracks[i], m->paused);
  ResumeSound(m);
  if (resuming) m->clockStart = now - m->pauseElapsed;
  if (m->lastDecodedFrame && m->openTrackCount > 0) Service(m);
  return m->paused;
}

int32_t ZoetSetVideoOnOff(ZoetMovie* m, int32_t on) {
  if (m) m->videoOn = on ? 1 : 0;
  return on;
}

int32_t ZoetSetSoundOnOff(ZoetMovie* m, int32_t on) {
  if (!m) return 0;
  bool suspended = false;
  int32_t any = 0;
  const uint32_t wasOn = m->soundOn;
  for (int32_t i = 0; i < m->openTrackCount; i++) {
    TrackSound* s = &m->tracks[i];
    if (!s->setEnabled) continue;
    if (!on && !suspended) {
      SuspendSound(m);
      suspended = true;
    }
    if (s->setEnabled(s, on ? 1 : 0)) {
      any = 1;
      if (!m->soundOn) {
        m->soundOn = 1;
        RestartClock(m);
      }
    } else if (wasOn) {
      EmptyRing(s);
      bool wrapped = m->currentFrame == 1 && m->lastDecodedFrame && m->lastDecodedFrame != 1;
      if (!wrapped) SilenceFill(m, i);
      m->soundOn = 0;
    }
  }
  if (suspended) ResumeSound(m);
  return any;
}

int32_t ZoetControlBackgroundIO(ZoetMovie* m, uint32_t flags) {
  if (!m || FromImage(m) || !m->io || !m->io->backgroundControl) return -1;
  return (int32_t)m->io->backgroundControl(m->io, flags);
}
