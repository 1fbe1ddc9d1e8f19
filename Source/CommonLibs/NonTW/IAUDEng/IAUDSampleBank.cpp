#include "NonTW/IAUDEng/IAUDSampleBank.h"

#include <cstdlib>
#include <cstring>

#include "NonTW/AudioDrv/AudioIAUD.h"
#include "NonTW/IAUDEng/CAudioBuffer.h"
#include "NonTW/IAUDEng/CSample.h"
#include "NonTW/IAUDEng/IAUDBankSlots.h"
#include "NonTW/IAUDEng/IAUDFile.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDVorbis.h"

// The bank whose file the stream decoders read while it refills.
IAUDSampleBank* g_pActiveSampleBank = nullptr;
IAUDStreamTracks* g_pStreamTracks = nullptr;

namespace {

size_t SampleBankOggRead(void* dest, size_t size, size_t count, void* key) {
  return g_pActiveSampleBank ? g_pActiveSampleBank->ReadStreamFile(dest, size * count, key) : 0;
}
int SampleBankOggSeek(void*, ogg_int64_t, int) { return -1; }
int SampleBankOggClose(void*) { return 0; }
long SampleBankOggTell(void*) { return 0; }
const ov_callbacks kSampleBankFileCallbacks = {SampleBankOggRead, SampleBankOggSeek, SampleBankOggClose,
                                               SampleBankOggTell};

void SampleBankFreeDecoder(SStreamInstance& s) {
  if (!s.pDecoder) return;
  if (fn_ov_clear) fn_ov_clear(static_cast<OggVorbis_File*>(s.pDecoder));
  free(s.pDecoder);
  s.pDecoder = nullptr;
}

}  // namespace

IAUDSampleBank::IAUDSampleBank() : IAUDSampleBank(0, 0) {}

IAUDSampleBank::IAUDSampleBank(uint32_t packetTime, int32_t forcedPreload)
    : m_dwPacketTime(packetTime), m_nForcePreload(forcedPreload) {
  SetChunk(IAUDFourCC("RIFF"), IAUDFourCC("isbf"));
  SetBank(this);
}

// Under the driver's exclusive mode: the timer thread may be asking about
// the tracks that play this bank's samples.
IAUDSampleBank::~IAUDSampleBank() {
  IAUDRenderInterface* driver = IAUDResourceManager::GetRenderInterface();
  if (driver) driver->BeginExclusiveMode();
  RemoveAllChildren();
  uint32_t slot = GetResourceIndex();
  if (slot <= 255 && IAUDResourceManager::m_pSampleBanks[slot] == this) IAUDResourceManager::m_pSampleBanks[slot] = nullptr;
  for (int32_t i = 0; i < m_aStreams.GetElementCount(); ++i) SampleBankFreeDecoder(*m_aStreams.GetElementMember(i));
  m_aStreams.RemoveAllElements();
  if (g_pActiveSampleBank == this) g_pActiveSampleBank = nullptr;
  free(m_pPacketBuffer);
  free(m_pDecodeBuffer);
  m_pPacketBuffer = m_pDecodeBuffer = nullptr;
  if (m_dwPacketTime && m_pFile) fclose(m_pFile);
  m_pFile = nullptr;
  if (driver) driver->EndExclusiveMode();
}

// ---------------------------------------------------------------- files

void IAUDSampleBank::ParseFile(void* file) {
  RiffChunk root;
  if (!DescendFile(file, &root, nullptr)) return;
  if (root.dwChunkId == IAUDFourCC("RIFF") && root.dwFormType == IAUDFourCC("isbf")) {
    m_pFile = static_cast<FILE*>(file);
    UnArchiveObject(file, root);
    // Only a streaming bank reads its file later; the loader closes the others.
    if (!m_dwPacketTime) m_pFile = nullptr;
  }
  AscendFile(file, &root);
}

void IAUDSampleBank::UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) {
  if (chunk.dwChunkId == IAUDFourCC("indx")) return;
  IAUDBankObject::UnArchiveObjectDataChunk(file, chunk);
  if (chunk.dwChunkId == IAUDFourCC("stri") && chunk.dwSize >= 4) {
    uint32_t time = 0;
    IAUDFileSeek(file, chunk.dwDataPosition);
    if (IAUDFileReadLongs(&time, 1, file) != 1) return;
    if (m_dwPacketTime == 0xFFFFFFFFu)
      m_dwPacketTime = 0;
    else if (m_dwPacketTime == 0)
      m_dwPacketTime = time;
  }
}

void IAUDSampleBank::ProcessUnArchivedObject() {
  IAUDBankObject::ProcessUnArchivedObject();
  if (!m_dwPacketTime || m_pPacketBuffer) return;
  uint32_t size = GetStreamPacketSize(48000, 2, 16, 32, 1.0f);
  m_pPacketBuffer = static_cast<uint8_t*>(calloc(size ? size : 1, 1));
  m_pDecodeBuffer = static_cast<uint8_t*>(calloc(size ? size : 1, 1));
  m_dwPacketSize = m_pPacketBuffer ? size : 0;
  m_dwDecodeSize = m_pDecodeBuffer ? size : 0;
}

void IAUDSampleBank::ArchiveObjectDataChunks(void* file) {
  IAUDBankObject::ArchiveObjectDataChunks(file);
  WriteLongChunk(file, IAUDFourCC("stri"), m_dwPacketTime);
}

IAUDContentObject* IAUDSampleBank::CreateContentObject(uint32_t type) {
  if (type == IAUDFourCC("samp")) return new CSample(this);
  if (type == IAUDFourCC("bfob")) return new CAudioBuffer(this);
  if (type == IAUDFourCC("fldr")) return new IAUDContentObject(this);
  return nullptr;
}

uint32_t IAUDSampleBank::GetStreamPacketSize(uint32_t rate, uint32_t channels, uint16_t bits, uint32_t block,
                                             float ratio) const {
  if (!m_dwPacketTime) return block;
  uint32_t frames = (uint32_t)(m_dwPacketTime * rate) / 1000;
  double raw = (double)frames * channels * ratio * (bits / 8);
  uint64_t bytes = raw > 0 ? (uint64_t)raw : 0;
  if (block) bytes = (bytes + block - 1) / block * block;
  return bytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : (uint32_t)bytes;
}

// ---------------------------------------------------------------- slots

int32_t IAUDSampleBank::AddNewSample(CSample* sample) { return iaudslots::BankAddNew(m_aSamples, sample); }
void IAUDSampleBank::AddSample(CSample* sample, uint32_t slot) { iaudslots::BankAddAt(m_aSamples, sample, slot); }
CSample* IAUDSampleBank::GetBankSample(uint32_t slot) { return iaudslots::BankGet(m_aSamples, slot); }
int32_t IAUDSampleBank::GetBankSampleSlotCount() { return iaudslots::BankSlotCount(m_aSamples); }

void IAUDSampleBank::NullOutSample(CSample* sample) {
  if (!sample) return;
  for (int32_t i = 0; i < m_aSamples.GetElementCount(); ++i)
    if (*m_aSamples.GetElementMember(i) == sample) *m_aSamples.GetElementMember(i) = nullptr;
  sample->SetResourceIndex(kIAUD_NO_INDEX);
}

int32_t IAUDSampleBank::AddNewAudioBuffer(CAudioBuffer* buffer) { return iaudslots::BankAddNew(m_aBuffers, buffer); }

// The buffer's resource index stays as it is.
void IAUDSampleBank::AddAudioBuffer(CAudioBuffer* buffer, uint32_t slot) {
  if (slot >= iaudslots::kBankSlotLimit) {
    iaudslots::BankAddNew(m_aBuffers, buffer);
    return;
  }
  if ((int32_t)slot < m_aBuffers.GetElementCount()) {
    CAudioBuffer* old = *m_aBuffers.GetElementMember((int32_t)slot);
    if (old && old != buffer) {
      *m_aBuffers.GetElementMember((int32_t)slot) = nullptr;
      old->RemoveObject();
    }
    *m_aBuffers.GetElementMember((int32_t)slot) = buffer;
    return;
  }
  CAudioBuffer* none = nullptr;
  while ((uint32_t)m_aBuffers.GetElementCount() < slot) m_aBuffers.AddElement(&none);
  m_aBuffers.AddElement(&buffer);
}

CAudioBuffer* IAUDSampleBank::GetAudioBuffer(uint32_t slot) { return iaudslots::BankGet(m_aBuffers, slot); }
int32_t IAUDSampleBank::GetBankBufferSlotCount() { return iaudslots::BankSlotCount(m_aBuffers); }

void IAUDSampleBank::NullOutBuffer(CAudioBuffer* buffer) {
  for (int32_t i = 0; i < m_aBuffers.GetElementCount(); ++i)
    if (*m_aBuffers.GetElementMember(i) == buffer) *m_aBuffers.GetElementMember(i) = nullptr;
}

// ---------------------------------------------------------------- streams

uint8_t* IAUDSampleBank::LoadFirstSamplePacket(uint32_t offset, uint32_t size) {
  if (!m_pPacketBuffer || !m_pFile) return m_pPacketBuffer;
  if (size > m_dwPacketSize) size = m_dwPacketSize;
  if (IAUDFileSeek(m_pFile, offset)) IAUDFileRead(m_pPacketBuffer, 1, size, m_pFile);
  return m_pPacketBuffer;
}

void IAUDSampleBank::InsertStream(const SStreamInstance& instance) {
  for (int32_t i = 0; i < m_aStreams.GetElementCount(); ++i) {
    const SStreamInstance* s = m_aStreams.GetElementMember(i);
    if (s->dwDataOffset > instance.dwDataOffset ||
        (s->dwDataOffset == instance.dwDataOffset && s->dwConsumed >= instance.dwConsumed)) {
      m_aStreams.InsertElement(&instance, i);
      return;
    }
  }
  m_aStreams.AddElement(&instance);
}

void IAUDSampleBank::RemoveStream(int32_t i) {
  SampleBankFreeDecoder(*m_aStreams.GetElementMember(i));
  m_aStreams.RemoveElement(i);
}

void IAUDSampleBank::CreateTrackStreamInstance(int32_t track, uint32_t offset, uint32_t total, uint32_t packet,
                                               CSample* sample) {
  if (packet > m_dwPacketSize) packet = m_dwPacketSize;
  if (!packet) return;
  SStreamInstance s = {track, offset, packet, packet, total, sample, nullptr};
  InsertStream(s);
}

bool IAUDSampleBank::LoadAndCreateTrackOggStreamInstance(int32_t track, uint32_t packet, CSample* sample,
                                                         void** handle) {
  if (!sample || !m_pFile || !fn_ov_open_callbacks) return false;
  if (packet > m_dwPacketSize) packet = m_dwPacketSize;
  if (packet > m_dwDecodeSize) packet = m_dwDecodeSize;
  OggVorbis_File* decoder = static_cast<OggVorbis_File*>(calloc(1, sizeof(OggVorbis_File)));
  if (!decoder) return false;
  SStreamInstance s = {track, sample->GetDataFileOffset(), 0, packet, sample->GetCompressionInfo()->dwCompressedSize,
                       sample, decoder};
  InsertStream(s);
  IAUDFileSeek(m_pFile, s.dwDataOffset);
  g_pActiveSampleBank = this;
  if (fn_ov_open_callbacks(decoder, decoder, nullptr, 0, kSampleBankFileCallbacks) != 0) {
    // The instance stays and yields nothing; its decoder is not open.
    for (int32_t i = 0; i < m_aStreams.GetElementCount(); ++i) {
      if (m_aStreams.GetElementMember(i)->pDecoder == decoder) {
        free(decoder);
        m_aStreams.GetElementMember(i)->pDecoder = nullptr;
        break;
      }
    }
    return false;
  }
  uint32_t done = CSample::DecodeOggVorbis(decoder, reinterpret_cast<char*>(m_pDecodeBuffer), packet);
  IAUDRenderInterface* driver = IAUDResourceManager::GetRenderInterface();
  const SSampleInfo* info = sample->GetSampleInfo();
  if (!driver || !done) return false;
  return driver->LoadAudioStreamingSample(sample->GetSampleChannels(), info->wBits, info->dwRate, done,
                                          m_pDecodeBuffer, handle, true);
}

size_t IAUDSampleBank::ReadStreamFile(void* dest, size_t bytes, void* decoder) {
  if (!m_pFile) return 0;
  for (int32_t i = 0; i < m_aStreams.GetElementCount(); ++i) {
    SStreamInstance* s = m_aStreams.GetElementMember(i);
    if (s->pDecoder != decoder) continue;
    size_t left = s->dwTotal > s->dwConsumed ? s->dwTotal - s->dwConsumed : 0;
    size_t n = bytes < left ? bytes : left;
    size_t got = n ? IAUDFileRead(dest, 1, n, m_pFile) : 0;
    s->dwConsumed += (uint32_t)got;
    return got;
  }
  return 0;
}

void IAUDSampleBank::KillTrackStream(int32_t track, CSample* sample) {
  for (int32_t i = 0; i < m_aStreams.GetElementCount(); ++i) {
    const SStreamInstance* s = m_aStreams.GetElementMember(i);
    if (s->lTrack == track && s->pSample == sample) {
      RemoveStream(i);
      return;
    }
  }
}

void IAUDSampleBank::ProcessActiveStreams() {
  IAUDRenderInterface* driver = IAUDResourceManager::GetRenderInterface();
  if (!driver || !m_dwPacketTime || !m_pFile || !g_pStreamTracks) return;
  g_pActiveSampleBank = this;
  driver->BeginExclusiveMode();
  for (int32_t i = 0; i < m_aStreams.GetElementCount();) {
    SStreamInstance* s = m_aStreams.GetElementMember(i);
    if (!g_pStreamTracks->IsTrackPlaying(s->lTrack, nullptr, nullptr) || g_pStreamTracks->GetTrackSample(s->lTrack, nullptr) != s->pSample) {
      RemoveStream(i);
      continue;
    }
    CSample* sample = s->pSample;
    const uint32_t kind = sample->GetCompressionInfo()->dwKind;
    bool removed = false;
    long buffers = driver->GetTrackProcessedStreamBufferCount(s->lTrack);
    for (long n = 0; n < buffers && !removed; ++n) {
      IAUDFileSeek(m_pFile, s->dwDataOffset + s->dwConsumed);
      if (kind == CSample::kSampleVorbis) {
        if (!s->pDecoder || !m_pDecodeBuffer) break;
        uint32_t packet = s->dwPacket < m_dwDecodeSize ? s->dwPacket : m_dwDecodeSize;
        char* out = reinterpret_cast<char*>(m_pDecodeBuffer);
        uint32_t got = CSample::DecodeOggVorbis(s->pDecoder, out, packet);
        if (got != packet && g_pStreamTracks->GetTrackLoopCount(s->lTrack) != 0) {
          OggVorbis_File* vf = static_cast<OggVorbis_File*>(s->pDecoder);
          fn_ov_clear(vf);
          s->dwConsumed = 0;
          memset(vf, 0, sizeof(*vf));
          IAUDFileSeek(m_pFile, s->dwDataOffset);
          if (fn_ov_open_callbacks(vf, vf, nullptr, 0, kSampleBankFileCallbacks) != 0) {
            free(vf);
            s->pDecoder = nullptr;
          }
          g_pStreamTracks->DecrementTrackLoopCount(s->lTrack);
          if (s->pDecoder) got += CSample::DecodeOggVorbis(s->pDecoder, out + got, packet - got);
        }
        driver->UpdateTrackStreamBuffer(s->lTrack, out, got);
        continue;
      }
      if (!m_pPacketBuffer) break;
      uint32_t packet = s->dwPacket < m_dwPacketSize ? s->dwPacket : m_dwPacketSize;
      uint32_t remaining = s->dwTotal > s->dwConsumed ? s->dwTotal - s->dwConsumed : 0;
      uint32_t len = packet < remaining ? packet : remaining;
      uint32_t split = packet == remaining ? remaining : 0;
      len = (uint32_t)IAUDFileRead(m_pPacketBuffer, 1, len, m_pFile);
      if (packet > len && g_pStreamTracks->GetTrackLoopCount(s->lTrack) != 0) {
        s->dwConsumed = 0;
        g_pStreamTracks->DecrementTrackLoopCount(s->lTrack);
        IAUDFileSeek(m_pFile, s->dwDataOffset);
        uint32_t more = (uint32_t)IAUDFileRead(m_pPacketBuffer + len, 1, packet - len, m_pFile);
        split = len;
        len += more;
      }
      bool ok = false;
      if (kind == CSample::kSamplePCM) {
        ok = len && driver->UpdateTrackStreamBuffer(s->lTrack, m_pPacketBuffer, len);
      } else if (kind == CSample::kSampleADPCM && m_pDecodeBuffer) {
        int16_t* pcm = reinterpret_cast<int16_t*>(m_pDecodeBuffer);
        uint32_t decoded = 0;
        if (split) {
          decoded = sample->DecodeIMA4ADPCM(m_pPacketBuffer, split, pcm, m_dwDecodeSize);
          uint32_t whole = sample->GetIMA4ADPCMDecodeSize(s->dwTotal);
          uint32_t padding = whole > sample->GetSampleInfo()->dwPCMSize ? whole - sample->GetSampleInfo()->dwPCMSize : 0;
          decoded = decoded > padding ? decoded - padding : 0;
          if (len != split) {
            uint32_t at = decoded & ~1u;
            decoded = at + sample->DecodeIMA4ADPCM(m_pPacketBuffer + split, len - split,
                                                   reinterpret_cast<int16_t*>(m_pDecodeBuffer + at),
                                                   m_dwDecodeSize - at);
          }
          ok = driver->UpdateTrackStreamBuffer(s->lTrack, m_pDecodeBuffer, decoded);
        } else {
          decoded = sample->DecodeIMA4ADPCM(m_pPacketBuffer, len, pcm, m_dwDecodeSize);
          ok = decoded && driver->UpdateTrackStreamBuffer(s->lTrack, m_pDecodeBuffer, decoded);
        }
      }
      if (!ok) continue;
      s->dwConsumed += (split && len != split) ? len - split : len;
      if (s->dwConsumed >= s->dwTotal) {
        if (g_pStreamTracks->GetTrackLoopCount(s->lTrack) != 0) {
          s->dwConsumed = 0;
          g_pStreamTracks->DecrementTrackLoopCount(s->lTrack);
        } else {
          RemoveStream(i);
          removed = true;
        }
      }
    }
    if (!removed) ++i;
  }
  driver->EndExclusiveMode();
}
