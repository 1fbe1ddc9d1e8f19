// Opening and closing movies: the header and tables, the one block holding
// the handle and its buffers, the frame buffers, the reader, the sound
// tracks and the first frame.
#include "ZoeMovie.h"

#include <cstring>

#include "TWUtil/ByteOrder.h"
#include "ZoeAlloc.h"
#include "ZoeAudio.h"
#include "ZoeOpen.h"
#include "ZoeSound.h"

namespace zoemovie {

// The process-wide background handlers, made by the first movie that needs
// them and freed with their last callback.
CallbackHandler* s_readHandler = nullptr;
CallbackHandler* s_soundHandler = nullptr;

uint32_t RoundUp(uint32_t v, uint32_t to) { return (v + to - 1) / to * to; }

// Width and height doubling of the scale modes.
bool DoublesWidth(uint32_t mode) { return mode == 0x30000000 || mode == 0x40000000 || mode == 0x50000000; }
bool DoublesHeight(uint32_t mode) {
  return mode == 0x10000000 || mode == 0x20000000 || mode == 0x40000000 || mode == 0x50000000;
}

bool FromImage(const ZoetMovie* m) { return m->preloaded != nullptr || m->fromMemory; }

// Checks the index the way the header check does for tables read into host
// order, over little-endian entries.
const char* CheckIndex(const ZoeFileHeader& h, const ZoetMovie* m) {
  uint64_t fileBytes = (uint64_t)h.sizeField + 8;
  uint64_t previous = ZOE_HEADER_BYTES + 12ull * h.trackCount + 4ull * ((uint64_t)h.indexFrames + 1);
  for (uint32_t k = 0; k <= h.frameCount; k++) {
    uint64_t at = ZoetIndexEntry(m, k) & ~1u;
    if (at < previous || at > fileBytes) return kZoeErrorHeader;
    if (k > 0 && at - previous > h.largestFrame) return kZoeErrorHeader;
    previous = at;
  }
  return nullptr;
}

// Rate x file divisor x new rate / (file rate x new divisor), rounded.
uint32_t ScaledRate(uint32_t rate, uint32_t fileRate, uint32_t fileDiv, uint32_t newRate, uint32_t newDiv) {
  uint64_t den = (uint64_t)fileRate * newDiv;
  if (!den) return rate;
  unsigned __int128 num = (unsigned __int128)rate * fileDiv * newRate;
  unsigned __int128 r = (num + den / 2) / den;
  return r > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)r;
}

void CloseReader(ZoetMovie* m) {
  if (m->io && m->io->close) m->io->close(m->io);
}

void OpenTracks(ZoetMovie* m, uint32_t fileRate, uint32_t fileDiv, bool rateChanged) {
  ZoeOpenSettings& st = ZoeSettings();
  uint32_t count = 0;
  for (uint32_t i = 0; i < st.trackCount; i++)
    for (int32_t t = 0; t < m->trackCount; t++)
      if ((int32_t)GetLE32((const uint8_t*)&m->trackIds[t]) == st.trackIds[i]) {
        m->openTracks[count++] = t;
        break;
      }
  ZoeResetSoundTracks();
  uint32_t kept = 0;
  for (uint32_t i = 0; i < count; i++) {
    int32_t t = m->openTracks[i];
    TrackSound* s = &m->tracks[kept];
    uint32_t word = GetLE32((const uint8_t*)&m->trackWords[t]);
    uint32_t speed = s->speed;
    memset(s, 0, sizeof(*s));
    s->speed = speed;
    if (!(word & ((1u << 28) | (1u << 31)))) continue;
    uint32_t rate = word & 0xFFFF;
    if (rateChanged) rate = ScaledRate(rate, fileRate, fileDiv, m->frameRate, m->frameRateDiv);
    uint32_t bits = (word & (1u << 30)) ? 16 : 8;
    uint32_t channels = (word & (1u << 29)) ? 2 : 1;
    if (!ZoetOpenSoundOutput(s, rate, bits, channels, m->openFlags, m)) continue;
    if (s->alignMask == 0) s->alignMask = 0xFFFFFFFFu;
    uint64_t ringBytes = ((uint64_t)GetLE32((const uint8_t*)&m->trackMaxSizes[t]) + 255) / 256 * 256;
    uint8_t* ring = ringBytes && ringBytes <= 0x7FFFFFFF ? (uint8_t*)radmalloc((uint32_t)ringBytes) : nullptr;
    if (!ring) {
      if (s->close) s->close(s);
      continue;
    }
    s->ringSize = (uint32_t)ringBytes;
    s->ringStart = ring;
    s->ringEnd = ring + ringBytes;
    s->readPos = s->writePos = ring;
    s->eightBit = (word & (1u << 30)) ? 0 : 1;
    uint32_t latency = s->latencyMs < 750 ? 750 - s->latencyMs : 0;
    uint64_t pre = (uint64_t)channels * rate * 2 * latency / 1000 & ~3ull;
    s->preBufferSize = pre < ringBytes ? (uint32_t)pre : (uint32_t)ringBytes;
    bool dct = (word & (1u << 28)) && !(word & (1u << 31));
    s->decoder = ZoetAudioDecompressOpen(word & 0xFFFF, channels, dct ? (uint32_t)ZOET_AUDIO_DCT : 0u);
    if (!s->decoder) {
      if (s->close) s->close(s);
      radfree(ring);
      continue;
    }
    uint64_t lead = fileDiv ? (3ull * fileRate) / (4ull * fileDiv) : 0;
    s->bufferingFrame = lead < m->frameCount ? m->frameCount - (uint32_t)lead : 0;
    s->waiting = 0;
    if (s->speed == 0) s->speed = 0x10000;
    m->openTracks[kept++] = t;
  }
  m->openTrackCount = (int32_t)kept;
}

}  // namespace zoemovie

uint32_t ZoetIndexEntry(const ZoetMovie* movie, uint32_t k) {
  return GetLE32(reinterpret_cast<const uint8_t*>(movie->frameIndex) + 4 * (size_t)k);
}

int32_t ZoeLoadFrame(ZoetMovie* m, uint32_t frame) {
  if (frame < 1 || frame > m->frameCount) return 0;
  if (frame == 1) {
    // Five-minute mark: a movie looping for longer restarts sound and clock.
    uint32_t now = ZoeTimerRead();
    if (!m->restartMark) {
      m->restartMark = now;
    } else if (now - m->restartMark > 300000) {
      m->restartMark = now;
      m->restartPending = 1;
    }
  }
  m->lastFrame = m->currentFrame;
  uint32_t at = ZoetIndexEntry(m, frame - 1) & ~1u, end = ZoetIndexEntry(m, frame) & ~1u;
  m->frameBytes = end - at;
  if (m->fromMemory) {
    m->frameData = reinterpret_cast<uint8_t*>(m->frameIndex) - (ZOE_HEADER_BYTES + 12 * m->trackCount) + at;
  } else if (m->preloaded) {
    m->frameData = m->preloaded + (at - (ZoetIndexEntry(m, 0) & ~1u));
  } else if (m->io->readFrame(m->io, frame - 1, at, m->frameData, m->frameBytes) != m->frameBytes) {
    m->readError = 1;
    return 0;
  }
  m->currentFrame = frame;
  return 1;
}

FrameBufferSet* ZoetGetFrameBuffersInfo(ZoetMovie* m, FrameBufferSet* set) {
  memset(set, 0, sizeof(*set));
  set->lumaWidth = zoemovie::RoundUp(m->decodeWidth, 8);
  set->lumaHeight = zoemovie::RoundUp(m->decodeHeight, 8);
  set->chromaWidth = zoemovie::RoundUp((m->decodeWidth + 1) / 2, 8);
  set->chromaHeight = zoemovie::RoundUp((m->decodeHeight + 1) / 2, 8);
  set->frameNum = 0;
  set->frames[0].Y.allocate = set->frames[0].cR.allocate = set->frames[0].cB.allocate = 1;
  set->frames[0].A.allocate = (m->openFlags & OpenAlpha) ? 1 : 0;
  set->totalFrames = m->allKeyFrames ? 1 : 2;
  if (set->totalFrames == 2) set->frames[1] = set->frames[0];
  return set;
}

void ZoetRegisterFrameBuffers(ZoetMovie* movie, FrameBufferSet* set) {
  if (movie) movie->frameBuffers = set;
}

ZoetMovie* ZoetOpen(const void* nameOrAddress, uint32_t flags) {
  ZoeOpenSettings& st = ZoeSettings();
  // 1.
  if (!(flags & OpenSoundTracks)) ZoeResetSoundTracks();
  ZoetMovie image;
  memset(&image, 0, sizeof(image));
  uint32_t started = ZoeTimerRead();
  ZoetSetError("");
  const bool fromMemory = (flags & OpenFromMemory) != 0;
  const uint8_t* file = static_cast<const uint8_t*>(nameOrAddress);
  uint8_t head[ZOE_HEADER_BYTES];
  // 2.
  if (fromMemory) {
    memcpy(head, file, ZOE_HEADER_BYTES);
    image.fromMemory = 1;
  } else {
    ZoetIOOpen opener = &ZoetFileOpen;
    if ((flags & OpenCustomIO) && st.ioOpen) opener = st.ioOpen;
    st.ioOpen = nullptr;
    image.io = &image.reader;
    if (!opener(image.io, static_cast<const char*>(nameOrAddress), flags)) {
      if (!ZoetGetError()[0]) ZoetSetError(kZoeErrorOpening);
      return nullptr;
    }
    if (image.io->readHeader(image.io, 0, head, ZOE_HEADER_BYTES) != ZOE_HEADER_BYTES || image.io->readError)
      memset(head, 0, sizeof(head));
  }
  // 3.
  ZoeFileHeader h;
  if (const char* error = ZoeParseHeader(head, &h)) {
    ZoetSetError(error);
    zoemovie::CloseReader(&image);
    return nullptr;
  }
  // 4.
  uint32_t open = (flags | (h.fileFlags & ZOE_FILE_GREY)) & ~OpenScaleMask;
  if (!(h.fileFlags & ZOE_FILE_ALPHA)) open &= ~OpenAlpha;
  uint32_t width = h.width, height = h.height;
  if ((flags & OpenScaleMask) != OpenScaleMask) {
    uint32_t mode = flags & OpenScaleMask;
    if (!mode) mode = h.fileFlags & OpenScaleMask;
    open |= mode;
    if (zoemovie::DoublesWidth(mode)) width *= 2;
    if (zoemovie::DoublesHeight(mode)) height *= 2;
  }
  if (h.letter == 'f' || h.letter == 'g') open |= 0x18000;
  if (h.letter == 'h') open |= 0x8000;
  // 5.
  bool rateChanged = false;
  image.frameRate = h.rate;
  image.fileRate = h.rate;
  image.fileRateDiv = h.divisor;
  image.frameRateDiv = h.divisor;
  if ((flags & OpenFrameRate) && st.frameRate != ZOE_SETTING_NONE) {
    image.frameRate = st.frameRate;
    image.frameRateDiv = st.frameRateDiv ? st.frameRateDiv : 1;
    rateChanged = true;
    st.frameRate = ZOE_SETTING_NONE;
  }
  uint64_t fps = ((uint64_t)h.rate + h.divisor / 2) / h.divisor;
  if (fps < 1) fps = 1;
  image.framesPerSecond = (uint32_t)fps;
  // A ring never needs more entries than the file has frames.
  image.timingRingSize = (uint32_t)(fps < h.frameCount + 1ull ? fps : h.frameCount + 1ull);
  image.width = width;
  image.height = height;
  image.frameCount = h.frameCount;
  image.openFlags = open;
  image.fileFlags = h.fileFlags;
  image.fileSize = h.sizeField;
  image.rectCount = -1;
  image.largestFrameSize = h.largestFrame;
  image.indexFrames = h.indexFrames;
  image.trackCount = (int32_t)h.trackCount;
  image.decodeWidth = h.width;
  image.decodeHeight = h.height;
  image.changeMapPitch = (width + 15) / 16;
  image.changeMapSize = image.changeMapPitch * ((height + 15) / 16);
  image.videoOn = 1;
  image.maskThreshold = image.changeMapSize / 4;
  // 6.
  const uint32_t listCount = st.trackCount;
  pushmalloc((void**)&image.changeMap, image.changeMapSize + 16);
  for (uint32_t r = 0; r < ZOE_TIMING_RINGS; r++) pushmalloc((void**)&image.timingRings[r], image.timingRingSize * 4);
  pushmalloc((void**)&image.tracks, (uint32_t)sizeof(TrackSound) * (listCount ? listCount : 1));
  pushmalloc((void**)&image.openTracks, 4 * (listCount ? listCount : 1));
  uint32_t bundleSizes[ZOE_BUNDLE_COUNT];
  ExpandBundleSizes(bundleSizes, zoemovie::RoundUp(width, 16));
  for (int b = 0; b < ZOE_BUNDLE_COUNT; b++) pushmalloc((void**)&image.bundles[b], bundleSizes[b]);
  if (!fromMemory) {
    pushmalloc((void**)&image.frameIndex, (h.indexFrames + 1) * 4);
    pushmalloc((void**)&image.trackMaxSizes, 4 * h.trackCount);
    pushmalloc((void**)&image.trackWords, 4 * h.trackCount);
    pushmalloc((void**)&image.trackIds, 4 * h.trackCount);
  }
  const uint32_t blockBytes = popmalloctotal() + (uint32_t)((sizeof(ZoetMovie) + 31) & ~(size_t)31);
  ZoetMovie* m = static_cast<ZoetMovie*>(popmalloc(sizeof(ZoetMovie)));
  if (!m) {
    ZoetSetError(kZoeErrorMemory);
    zoemovie::CloseReader(&image);
    return nullptr;
  }
  memcpy(m, &image, sizeof(image));
  m->memoryTotal = blockBytes;
  for (uint32_t r = 1; r < ZOE_TIMING_RINGS; r++) m->timingRings[r][0] = 0;
  if (!fromMemory) {
    m->io = &m->reader;
    m->io->movie = m;
  }
  // 7.
  const char* failure = nullptr;
  if (fromMemory) {
    m->trackMaxSizes = (uint32_t*)(file + ZOE_HEADER_BYTES);
    m->trackWords = (uint32_t*)(file + ZOE_HEADER_BYTES + 4 * h.trackCount);
    m->trackIds = (int32_t*)(file + ZOE_HEADER_BYTES + 8 * h.trackCount);
    m->frameIndex = (uint32_t*)(file + ZOE_HEADER_BYTES + 12 * h.trackCount);
  } else {
    MovieIO* io = m->io;
    io->readHeader(io, 0xFFFFFFFFu, m->trackMaxSizes, 4 * h.trackCount);
    io->readHeader(io, 0xFFFFFFFFu, m->trackWords, 4 * h.trackCount);
    io->readHeader(io, 0xFFFFFFFFu, m->trackIds, 4 * h.trackCount);
    if (io->readHeader(io, 0xFFFFFFFFu, m->frameIndex, 4 * (h.indexFrames + 1)) != 4 * (h.indexFrames + 1) ||
        io->readError)
      failure = kZoeErrorHeader;
  }
  if (!failure) failure = zoemovie::CheckIndex(h, m);
  if (failure) {
    ZoetSetError(failure);
    zoemovie::CloseReader(m);
    radfree(m);
    return nullptr;
  }
  // 8.
  uint32_t F = m->framesPerSecond;
  uint64_t peak = 0;
  for (uint32_t e = 0; (uint64_t)e + F < h.frameCount; e++) {
    uint32_t bytes = ZoetIndexEntry(m, e + F) - ZoetIndexEntry(m, e);
    if (bytes > peak) {
      peak = bytes;
      m->peakSecondFrame = e;
    }
  }
  if (!peak) {
    peak = (uint64_t)((unsigned __int128)(ZoetIndexEntry(m, h.frameCount) - ZoetIndexEntry(m, 0)) * F / h.frameCount);
    m->peakSecondFrame = 0;
  }
  m->peakSecondBytes = peak > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)peak;
  m->allKeyFrames = 1;
  for (uint32_t k = 0; k < h.frameCount; k++)
    if (!(ZoetIndexEntry(m, k) & 1)) {
      m->allKeyFrames = 0;
      break;
    }
  // 9.
  if (!(open & OpenNoFrameBuffers)) {
    FrameBufferSet info;
    ZoetGetFrameBuffersInfo(m, &info);
    for (int32_t s = 0; s < 2; s++) {
      if (s >= info.totalFrames) {
        memset(&info.frames[s], 0, sizeof(info.frames[s]));
        continue;
      }
      PlaneBuffer* planes[4] = {&info.frames[s].Y, &info.frames[s].cR, &info.frames[s].cB, &info.frames[s].A};
      for (int p = 0; p < 4; p++) {
        if (!planes[p]->allocate) continue;
        bool chroma = p == 1 || p == 2;
        uint32_t pitch = chroma ? zoemovie::RoundUp(info.chromaWidth, 16) : info.lumaWidth;
        uint32_t rows = chroma ? info.chromaHeight : info.lumaHeight;
        planes[p]->pitch = pitch;
        pushmalloc((void**)&planes[p]->buffer, pitch * rows);
      }
    }
    const uint32_t setBytes = popmalloctotal() + (uint32_t)((sizeof(FrameBufferSet) + 31) & ~(size_t)31);
    FrameBufferSet* set = static_cast<FrameBufferSet*>(popmalloc(sizeof(FrameBufferSet)));
    if (!set) {
      ZoetSetError(kZoeErrorMemory);
      zoemovie::CloseReader(m);
      radfree(m);
      return nullptr;
    }
    m->memoryTotal += setBytes;
    memcpy(set, &info, sizeof(info));
    m->frameBuffers = set;
    m->frameBufferBlock = set;
  }
  // 10.
  uint32_t ioSize = m->peakSecondBytes;
  if ((flags & OpenIOSize) && st.ioSize != ZOE_SETTING_NONE) {
    ioSize = st.ioSize;
    st.ioSize = ZOE_SETTING_NONE;
  }
  uint32_t simulate = 0;
  if ((flags & OpenSimulate) && st.simulate != ZOE_SETTING_NONE) {
    simulate = st.simulate;
    st.simulate = ZOE_SETTING_NONE;
  }
  // 11.
  if (!fromMemory) {
    MovieIO* io = m->io;
    ioSize = io->bufferSize(io, ioSize);
    if ((uint64_t)ioSize * 10 >= (uint64_t)h.sizeField * 9) m->openFlags |= OpenPreload;
    const uint32_t first = ZoetIndexEntry(m, 0) & ~1u;
    if (m->openFlags & OpenPreload) {
      const uint32_t bytes = (uint32_t)((uint64_t)h.sizeField + 8 - first);
      m->preloaded = static_cast<uint8_t*>(radmalloc(bytes ? bytes : 1));
      if (!m->preloaded) {
        ZoetSetError(kZoeErrorMemory);
        zoemovie::CloseReader(m);
        if (m->frameBufferBlock) radfree(m->frameBufferBlock);
        radfree(m);
        return nullptr;
      }
      io->setInfo(io, nullptr, 0, h.sizeField + 8, 0);
      if (io->readFrame(io, 0, first, m->preloaded, bytes) != bytes) m->readError = 1;
      io->close(io);
    } else {
      m->frameData = static_cast<uint8_t*>(radmalloc(h.largestFrame ? h.largestFrame : 1));
      if (!m->frameData) {
        ZoetSetError(kZoeErrorMemory);
        zoemovie::CloseReader(m);
        if (m->frameBufferBlock) radfree(m->frameBufferBlock);
        radfree(m);
        return nullptr;
      }
      m->ioBuffer = static_cast<uint8_t*>(radmalloc(ioSize));
      m->ioBufferSize = m->ioBuffer ? ioSize : 0;
      m->memoryTotal += m->ioBufferSize + h.largestFrame;
      io->setInfo(io, m->ioBuffer, m->ioBufferSize, h.sizeField + 8, simulate);
    }
  }
  // 12.
  m->currentFrame = 0xFFFFFFFFu;
  m->twoFrameTime = m->frameRate ? (uint32_t)(2000ull * m->frameRateDiv / m->frameRate) : 2000;
  if (!m->readError && !ZoeLoadFrame(m, 1)) m->readError = 1;
  m->openTime = ZoeTimerRead() - started;
  // 13.
  m->tracks[0].speed = 0x10000;
  zoemovie::OpenTracks(m, h.rate, h.divisor, rateChanged);
  // 14.
  if (m->openTrackCount > 0) {
    m->soundOn = 1;
    if (!m->tracks[0].noBackground) {
      if (!zoemovie::s_soundHandler) {
        zoemovie::s_soundHandler = ZOECB_allocate_handler(-13);
        if (zoemovie::s_soundHandler) ZOECB_resume_handler(zoemovie::s_soundHandler);
      }
      if (zoemovie::s_soundHandler) {
        m->soundHandler = zoemovie::s_soundHandler;
        ZOECB_register_callback(m->soundHandler, &m->soundNode, &ZoeSoundNodeCheck, &ZoeSoundNodeRun);
      }
    }
  }
  // 15.
  if (!(m->openFlags & OpenNoBackgroundIO) && !zoemovie::FromImage(m)) {
    if (!zoemovie::s_readHandler) {
      zoemovie::s_readHandler = ZOECB_allocate_handler(60);
      if (zoemovie::s_readHandler) ZOECB_resume_handler(zoemovie::s_readHandler);
    }
    ZoetIOAttachBackground(m->io, zoemovie::s_readHandler);
  }
  // 16.
  if (!zoemovie::FromImage(m) && !(m->openFlags & OpenNoInitialFill)) {
    for (;;) {
      int32_t r = m->io->idle(m->io);
      if (r == 0) break;
      if (r < 0) ZOECB_idle_on_callbacks();
    }
  }
  return m;
}

void ZoetClose(ZoetMovie* m) {
  if (!m) return;
  m->paused = 1;
  for (int32_t i = 0; i < m->openTrackCount; i++)
    if (m->tracks[i].setPaused) m->tracks[i].setPaused(&m->tracks[i], 1);
  CallbackHandler* readHandler = (!zoemovie::FromImage(m) && m->io) ? m->io->readHandler : nullptr;
  if (readHandler || m->soundHandler) {
    int32_t freed = ZOECB_unregister_2_callbacks(readHandler, readHandler ? &m->io->readNode : nullptr,
                                                 m->soundHandler, m->soundHandler ? &m->soundNode : nullptr, 1);
    if (readHandler) {
      m->io->suspendCallback = nullptr;
      m->io->trySuspendCallback = nullptr;
      m->io->resumeCallback = nullptr;
      m->io->idleCallbacks = nullptr;
      m->io->readHandler = nullptr;
    }
    if ((freed & 1) && readHandler == zoemovie::s_readHandler) zoemovie::s_readHandler = nullptr;
    if ((freed & 2) && m->soundHandler == zoemovie::s_soundHandler) zoemovie::s_soundHandler = nullptr;
  }
  for (int32_t i = 0; i < m->openTrackCount; i++) {
    TrackSound* s = &m->tracks[i];
    if (s->close) s->close(s);
    ZoetAudioDecompressClose(s->decoder);
    radfree(s->ringStart);
  }
  if (m->preloaded) {
    radfree(m->preloaded);
  } else if (!m->fromMemory) {
    m->io->close(m->io);
    radfree(m->ioBuffer);
    radfree(m->frameData);
  }
  if (m->frameBufferBlock) radfree(m->frameBufferBlock);
  memset(m, 0, sizeof(*m));
  radfree(m);
}
